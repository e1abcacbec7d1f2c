#pragma once
// Reading the service's answers into the client's records. Lenient: a missing or mistyped
// member takes its fallback, a missing list gives an empty one, an element that is not an
// object gives a record of fallbacks.

#include "AppTypes.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace vandreth {

struct AccountSummary {
    std::string account;
    std::string plan;
    std::string limit;
};

// The three summary lines from the "user" member of an account answer.
AccountSummary readAccountSummary(const nlohmann::json& answer);

// The "available_cores" of an account answer.
std::vector<CoreOption> readCores(const nlohmann::json& answer);

// The "instances" of a project-list answer.
std::vector<ProjectRow> readProjects(const nlohmann::json& answer);

// What became of a create request: the error, else the answer's "message", else the client's
// own text for a RERI made.
std::string createOutcomeText(const HttpResult& http);

// A project's line in the list: name, then "  [slug]  ", then status.
std::string projectLine(const ProjectRow& project);

}  // namespace vandreth
