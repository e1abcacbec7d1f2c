#include "VandrethWinApp.h"

#include "AnswerReaders.h"
#include "Origin.h"
#include "TaskRequest.h"

#include <atomic>
#include <cstddef>
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
    std::unique_ptr<TaskResult> result;
    TaskInputs inputs;
    HWND window;

    void operator()() noexcept
    {
        try {
            const TaskRequest request = taskRequest(result->kind, std::move(inputs));
            result->http = client.request(request.method, request.url, request.fields, request.bearerToken);
        } catch (...) {
            // Only memory exhaustion gets here. A result still goes back when it can say so, so
            // that the task's busy flag is cleared.
            if (!markOutOfMemory(result->http)) {
                abandon();
                return;
            }
        }
        deliver();
    }

    // Hands the result to the window thread; a result whose window is gone is freed here.
    void deliver() noexcept
    {
        if (IsWindow(window) == FALSE) {
            return;
        }
        result->complete.store(true, std::memory_order_release);
        // From here on the window thread may take the result at any moment, so nothing here
        // touches it again: if the post fails (the window went just now), it stays allocated.
        PostMessageA(window, kAsyncMessage, 0, reinterpret_cast<LPARAM>(result.release()));
    }

    // For a result that cannot be sent: freed when the window is gone; otherwise left allocated,
    // since the window counts it as outstanding and may still look at it.
    void abandon() noexcept
    {
        if (IsWindow(window) != FALSE) {
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

TaskResult*& VandrethWinApp::outstandingResult(TaskKind kind)
{
    return outstandingResults[static_cast<std::size_t>(kind)];
}

void VandrethWinApp::enqueueTask(TaskKind kind, FormFields fields)
{
    if (window == nullptr || busyFlag(kind)) {
        return;
    }
    // Everything that can fail comes before the flag is set, so a failure leaves the kind free.
    auto result = std::make_unique<TaskResult>();
    result->kind = kind;
    result->madeFor = heldLink();
    result->origin = requestOrigin(kind);
    TaskResult* const handedOut = result.get();
    TaskWorker worker{httpClient, std::move(result),
                      TaskInputs{handedOut->origin, accessToken, linkCode, deviceId, std::move(fields)}, window};
    markBusy(kind, true);
    outstandingResult(kind) = handedOut;
    try {
        std::thread(std::move(worker)).detach();
    } catch (...) {
        // No thread, so no result will ever clear the flag: clear it here. The result went with
        // the worker that never ran.
        outstandingResult(kind) = nullptr;
        markBusy(kind, false);
        setStatus(kThreadFailed);
    }
}

std::string VandrethWinApp::requestOrigin(TaskKind kind) const
{
    switch (kind) {
    case TaskKind::LinkStart:
        return serviceOrigin();
    case TaskKind::LinkPoll:
        return linkCodeOrigin;
    case TaskKind::Me:
    case TaskKind::Instances:
    case TaskKind::CreateInstance:
        break;
    }
    return tokenOrigin;
}

LinkSnapshot VandrethWinApp::heldLink() const
{
    return LinkSnapshot{accessToken, linkChanges};
}

void VandrethWinApp::requestForHeldToken(TaskKind kind)
{
    if (busyFlag(kind)) {
        followsBusyRequest[static_cast<std::size_t>(kind)] = true;
        return;
    }
    enqueueTask(kind, {});
}

std::unique_ptr<TaskResult> VandrethWinApp::takeResult(WPARAM wParam, LPARAM lParam)
{
    // Any program may post this message. Only a result handed to a worker and not yet received
    // counts, and its address is compared before anything of it is read.
    if (wParam != 0 || lParam == 0) {
        return nullptr;
    }
    for (TaskResult*& outstanding : outstandingResults) {
        if (reinterpret_cast<LPARAM>(outstanding) == lParam) {
            if (!outstanding->complete.load(std::memory_order_acquire)) {
                return nullptr;
            }
            return std::unique_ptr<TaskResult>(std::exchange(outstanding, nullptr));
        }
    }
    return nullptr;
}

void VandrethWinApp::handleTaskResult(WPARAM wParam, LPARAM lParam)
{
    const std::unique_ptr<TaskResult> result = takeResult(wParam, lParam);
    if (!result) {
        return;
    }
    markBusy(result->kind, false);
    const bool requestWaits = std::exchange(followsBusyRequest[static_cast<std::size_t>(result->kind)], false);
    if (!belongsToHeldLink(result->kind, result->madeFor, heldLink())) {
        onOutdatedResult(*result);
        // The held token's own request, which this outdated one kept back, goes out now.
        if (requestWaits && !accessToken.empty()) {
            enqueueTask(result->kind, {});
        }
        return;
    }
    switch (result->kind) {
    case TaskKind::LinkStart:
        onLinkStartResult(result->http, result->origin);
        break;
    case TaskKind::LinkPoll:
        onLinkPollResult(result->http, result->origin);
        break;
    case TaskKind::Me:
        onMeResult(result->http);
        break;
    case TaskKind::Instances:
        onInstancesResult(result->http);
        break;
    case TaskKind::CreateInstance:
        onCreateInstanceResult(result->http);
        break;
    }
}

void VandrethWinApp::onOutdatedResult(const TaskResult& result)
{
    // The service may have made the RERI all the same: say what became of it, and nothing more.
    if (result.kind == TaskKind::CreateInstance) {
        setStatus(createOutcomeText(result.http));
    }
}

}  // namespace vandreth
