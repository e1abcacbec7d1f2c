#pragma once
// Which request each background task sends.

#include "AppTypes.h"
#include "HttpClient.h"

#include <string>

namespace vandreth {

// What a task was given when it was started: copies, so that later changes do not reach it.
struct TaskInputs {
    std::string origin;
    std::string accessToken;
    std::string linkCode;
    std::string deviceId;
    FormFields fields;
};

struct TaskRequest {
    std::string method;
    std::string url;
    FormFields fields;
    std::string bearerToken;
};

// The method, URL, form fields and bearer token of `kind`'s request. Only the create request
// uses the given fields; the link requests never carry the access token.
TaskRequest taskRequest(TaskKind kind, TaskInputs inputs);

}  // namespace vandreth
