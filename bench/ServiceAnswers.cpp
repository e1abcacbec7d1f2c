#include "ServiceAnswers.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdio>

namespace vandreth::bench {

std::string accountAnswer()
{
    const nlohmann::json answer = {
        {"user", {{"display_name", "Benchmark Account"}, {"plan_name", "Studio"}, {"reri_limit_label", "10000 RERIs"}}},
        {"available_cores", nlohmann::json::array()}};
    return answer.dump();
}

std::string projectsAnswer(std::size_t count, const std::string& origin)
{
    static constexpr std::array<const char*, 3> kStatuses{"running", "stopped", "maintenance"};
    static constexpr std::array<const char*, 3> kCores{"Paper 1.21", "Fabric 1.20.4", "Vanilla 1.21"};
    nlohmann::json instances = nlohmann::json::array();
    for (std::size_t i = 0; i < count; ++i) {
        char number[16];
        std::snprintf(number, sizeof(number), "%05zu", i + 1);
        const std::string slug = std::string("bench-project-") + number;
        instances.push_back({{"core_label", kCores[i % kCores.size()]},
                             {"display_name", std::string("Benchmark Project ") + number},
                             {"manage_url", origin + "/manage/" + slug},
                             {"public_url", origin + "/p/" + slug},
                             {"slug", slug},
                             {"status", kStatuses[i % kStatuses.size()]}});
    }
    return nlohmann::json{{"instances", std::move(instances)}}.dump();
}

}  // namespace vandreth::bench
