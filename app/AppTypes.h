#pragma once
// Records and constants shared by the parts of the application.

#include "HttpClient.h"
#include "LinkSnapshot.h"
#include "WindowIds.h"

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace vandreth {

// The five background requests. Each kind has its own busy flag: at most one task of a kind
// is in flight, tasks of different kinds run side by side.
enum class TaskKind : std::int32_t { LinkStart = 0, LinkPoll = 1, Me = 2, Instances = 3, CreateInstance = 4 };
inline constexpr std::size_t kTaskKindCount = 5;

// What a worker hands back to the window thread. The window thread allocates it and hands it to
// the worker, which fills it in and owns it until it posts it as kAsyncMessage; from then on the
// window thread owns it again.
struct TaskResult {
    TaskKind kind = TaskKind::LinkStart;
    HttpResult http;
    // What the request was made for, as the window held it then: an answer that no longer
    // belongs to the link the window holds acts on nothing.
    LinkSnapshot madeFor;
    // Where the request went. A link code, and the token of an approval, belong to that origin.
    std::string origin;
    // Set by the worker once it will write nothing more, just before it posts the result: the
    // window thread takes no result before, even when a forged message names it early.
    std::atomic<bool> complete{false};
};

// One core that the create form can select.
struct CoreOption {
    std::string key;
    std::string label;
};

// One project (RERI) of the account.
struct ProjectRow {
    std::string coreLabel;
    std::string displayName;
    std::string manageUrl;
    std::string publicUrl;
    std::string slug;
    std::string status;
};

// How often the link-poll timer (kPollTimerId) fires.
inline constexpr UINT kPollIntervalMs = 1000;

}  // namespace vandreth
