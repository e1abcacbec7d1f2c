#include "StateFile.h"

#include "TextHelpers.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>

namespace vandreth {

namespace {

constexpr const char* kFolderName = "Vandreth";
constexpr const char* kFileName = "pc-client-state.json";

// Environment text is in the process code page, which the manifest makes UTF-8.
std::filesystem::path pathFromUtf8(const std::string& text)
{
    return std::filesystem::path(widen(text));
}

}  // namespace

std::filesystem::path appDataDirectory()
{
    const char* appData = std::getenv("APPDATA");
    const std::filesystem::path base = appData != nullptr ? pathFromUtf8(appData) : std::filesystem::temp_directory_path();
    return base / kFolderName;
}

std::filesystem::path statePath()
{
    const std::filesystem::path folder = appDataDirectory();
    std::filesystem::create_directories(folder);
    return folder / kFileName;
}

StoredState readStoredState(std::istream& in)
{
    nlohmann::json value;
    in >> value;
    return StoredState{jsonString(value, "origin", ""), jsonString(value, "device_id", ""),
                       jsonString(value, "access_token", "")};
}

std::string stateText(const std::string& origin, const std::string& deviceId, const std::string& accessToken)
{
    nlohmann::json state{{"origin", origin}, {"device_id", deviceId}};
    if (!accessToken.empty()) {
        state["access_token"] = accessToken;
    }
    return state.dump(2, ' ', false, nlohmann::json::error_handler_t::strict);
}

bool replaceFileText(const std::filesystem::path& path, const std::string& text)
{
    std::filesystem::path partial = path;
    partial += L".partial";
    {
        std::ofstream out(partial, std::ios::out | std::ios::trunc);
        out << text;
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(partial, ignored);
            return false;
        }
    }
    if (!MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        return false;
    }
    return true;
}

}  // namespace vandreth
