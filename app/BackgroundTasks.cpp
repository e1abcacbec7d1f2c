#include "VandrethWinApp.h"

#include "Origin.h"
#include "TaskRequest.h"

#include <memory>
#include <thread>
#include <utility>

namespace vandreth {

namespace {

constexpr const char* kThreadFailed = "Vandreth could not start a background request. Please try again.";
constexpr const char* kOutOfMemory = "Vandreth ran out of memory for this request. Please try again.";

// Runs one request on its own thread. It owns everything it uses, its own (stateless) client
// included, so it may outlive the application object.
struct TaskWorker {
    HttpClient client;
    TaskKind kind;
    TaskInputs inputs;
    HWND window;

    void operator()() noexcept
    {
        std::unique_ptr<TaskResult> result;
        try {
            result = std::make_unique<TaskResult>();
            result->kind = kind;
            result->accessToken = inputs.accessToken;
            const TaskRequest request = taskRequest(kind, std::move(inputs));
            result->http = client.request(request.method, request.url, request.fields, request.bearerToken);
        } catch (...) {
            // Only memory exhaustion gets here. A result still goes back when one exists, so
            // that the task's busy flag is cleared.
            if (!result || !markOutOfMemory(result->http)) {
                return;
            }
        }
        // Once posted, the result belongs to the window thread; if the window is gone, it is
        // freed here.
        if (PostMessageA(window, kAsyncMessage, 0, reinterpret_cast<LPARAM>(result.get()))) {
            result.release();
        }
    }

    static bool markOutOfMemory(HttpResult& http) noexcept
    {
        try {
            http = HttpResult();
            http.error = kOutOfMemory;
            return true;
        } catch (...) {
            return false;
        }
    }
};

}  // namespace

bool& VandrethWinApp::busyFlag(TaskKind kind)
{
    switch (kind) {
    case TaskKind::LinkStart:
        return linkStartBusy;
    case TaskKind::LinkPoll:
        return linkPollBusy;
    case TaskKind::Me:
        return meBusy;
    case TaskKind::Instances:
        return instancesBusy;
    case TaskKind::CreateInstance:
        break;
    }
    return createInstanceBusy;
}

void VandrethWinApp::markBusy(TaskKind kind, bool busy)
{
    busyFlag(kind) = busy;
    syncBusyState();
}

void VandrethWinApp::enqueueTask(TaskKind kind, FormFields fields)
{
    if (window == nullptr || busyFlag(kind)) {
        return;
    }
    // Everything that can fail comes before the flag is set, so a failure leaves the kind free.
    TaskWorker worker{httpClient, kind,
                      TaskInputs{normalizedOrigin(currentOrigin()), accessToken, linkCode, deviceId, std::move(fields)},
                      window};
    markBusy(kind, true);
    try {
        std::thread(std::move(worker)).detach();
    } catch (...) {
        // No thread, so no result will ever clear the flag: clear it here.
        markBusy(kind, false);
        setStatus(kThreadFailed);
    }
}

void VandrethWinApp::handleTaskResult(TaskResult* raw)
{
    const std::unique_ptr<TaskResult> result(raw);
    markBusy(result->kind, false);
    switch (result->kind) {
    case TaskKind::LinkStart:
        onLinkStartResult(result->http);
        break;
    case TaskKind::LinkPoll:
        onLinkPollResult(result->http);
        break;
    case TaskKind::Me:
        onMeResult(result->http, result->accessToken);
        break;
    case TaskKind::Instances:
        onInstancesResult(result->http);
        break;
    case TaskKind::CreateInstance:
        onCreateInstanceResult(result->http);
        break;
    }
}

}  // namespace vandreth
