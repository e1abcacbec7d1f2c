#include "AnswerReaders.h"

#include "TextHelpers.h"

namespace vandreth {

namespace {

// The elements of `answer[name]` when that is an array, else nothing.
const nlohmann::json* arrayMember(const nlohmann::json& answer, const char* name)
{
    if (!answer.is_object()) {
        return nullptr;
    }
    const auto member = answer.find(name);
    return member != answer.end() && member->is_array() ? &*member : nullptr;
}

}  // namespace

AccountSummary readAccountSummary(const nlohmann::json& answer)
{
    static const nlohmann::json noUser;
    const nlohmann::json& user = answer.is_object() && answer.contains("user") ? answer["user"] : noUser;
    AccountSummary summary;
    summary.limit = "Limit: " + jsonString(user, "reri_limit_label", "-");
    summary.plan = "Plan: " + jsonString(user, "plan_name", "Free");
    summary.account = "Signed in as " + jsonString(user, "display_name", "Vandreth user");
    return summary;
}

std::vector<CoreOption> readCores(const nlohmann::json& answer)
{
    std::vector<CoreOption> cores;
    if (const nlohmann::json* elements = arrayMember(answer, "available_cores")) {
        cores.reserve(elements->size());
        for (const nlohmann::json& element : *elements) {
            std::string key = jsonString(element, "key", "");
            std::string label = jsonString(element, "label", key);
            cores.push_back(CoreOption{std::move(key), std::move(label)});
        }
    }
    return cores;
}

std::vector<ProjectRow> readProjects(const nlohmann::json& answer)
{
    std::vector<ProjectRow> projects;
    if (const nlohmann::json* elements = arrayMember(answer, "instances")) {
        projects.reserve(elements->size());
        for (const nlohmann::json& element : *elements) {
            projects.push_back(ProjectRow{jsonString(element, "core_label", ""),
                                          jsonString(element, "display_name", ""),
                                          jsonString(element, "manage_url", ""), jsonString(element, "public_url", ""),
                                          jsonString(element, "slug", ""), jsonString(element, "status", "")});
        }
    }
    return projects;
}

std::string createOutcomeText(const HttpResult& http)
{
    if (!http.error.empty()) {
        return http.error;
    }
    return jsonString(http.json, "message", "Vandreth created your RERI from the desktop client.");
}

std::string projectLine(const ProjectRow& project)
{
    return project.displayName + "  [" + project.slug + "]  " + project.status;
}

}  // namespace vandreth
