#include "StateFolder.h"

#include "DriverSetting.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>

namespace vandreth::bench {

StateFolder::StateFolder()
    : folder_(std::filesystem::temp_directory_path() / ("vandreth-bench-" + std::to_string(GetCurrentProcessId())))
{
    std::filesystem::create_directories(folder_ / "Vandreth");
    _putenv_s("APPDATA", folder_.string().c_str());
}

StateFolder::~StateFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void StateFolder::write(const std::string& origin, bool linked) const
{
    nlohmann::json state = {{"device_id", "vdwin-benchmark"}, {"origin", origin}};
    if (linked) {
        state["access_token"] = kToken;
    }
    std::ofstream(folder_ / "Vandreth" / "pc-client-state.json", std::ios::binary | std::ios::trunc) << state.dump(2);
}

}  // namespace vandreth::bench
