#include "ProcessWindow.h"

namespace vandreth::test {

namespace {

// The first top-level window of `className` for which `madeBy(thread id, process id)` holds.
template <class MadeBy>
HWND findTopWindow(const char* className, MadeBy madeBy)
{
    HWND candidate = nullptr;
    while ((candidate = FindWindowExA(nullptr, candidate, className, nullptr)) != nullptr) {
        DWORD processId = 0;
        const DWORD threadId = GetWindowThreadProcessId(candidate, &processId);
        if (madeBy(threadId, processId)) {
            return candidate;
        }
    }
    return nullptr;
}

// Waits about a millisecond; false when `process` is given and has ended.
bool stillRunningAfterAWhile(HANDLE process)
{
    if (process == nullptr) {
        Sleep(1);
        return true;
    }
    return WaitForSingleObject(process, 1) == WAIT_TIMEOUT;
}

}  // namespace

HWND findProcessWindow(DWORD processId, const char* className)
{
    return findTopWindow(className, [processId](DWORD, DWORD owner) { return owner == processId; });
}

HWND findThreadWindow(DWORD threadId, const char* className)
{
    return findTopWindow(className, [threadId](DWORD maker, DWORD) { return maker == threadId; });
}

HWND waitForProcessWindow(DWORD processId, HANDLE process, const char* className, WindowState state,
                          DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const HWND window = findProcessWindow(processId, className);
        if (window != nullptr && (state == WindowState::Listed || IsWindowVisible(window))) {
            return window;
        }
        if (GetTickCount64() > deadline || !stillRunningAfterAWhile(process)) {
            return nullptr;
        }
    }
}

}  // namespace vandreth::test
