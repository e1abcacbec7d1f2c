#include "ChildProcess.h"

#include "Clock.h"

#include <psapi.h>

#include <vector>

namespace vandreth::bench {

std::optional<ChildProcess> ChildProcess::start(const std::wstring& program, HANDLE standardOutput)
{
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    if (standardOutput != nullptr) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = standardOutput;
    }
    PROCESS_INFORMATION created{};
    const double startedAt = nowMs();
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, standardOutput != nullptr, 0, nullptr,
                        nullptr, &startup, &created)) {
        return std::nullopt;
    }
    CloseHandle(created.hThread);
    return ChildProcess(created.hProcess, created.dwProcessId, startedAt);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : process_(other.process_), id_(other.id_), startedAt_(other.startedAt_)
{
    other.process_ = nullptr;
}

ChildProcess::~ChildProcess()
{
    if (process_ == nullptr) {
        return;
    }
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 99);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
}

HWND ChildProcess::waitForWindow(const char* className, double timeoutMs) const
{
    return waitForProcessWindow(id_, className, timeoutMs, process_);
}

MemoryFigures ChildProcess::memory() const
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    MemoryFigures figures;
    if (GetProcessMemoryInfo(process_, &counters, sizeof(counters))) {
        figures.peakWorkingSet = counters.PeakWorkingSetSize;
        figures.workingSet = counters.WorkingSetSize;
    }
    return figures;
}

std::optional<DWORD> ChildProcess::close(HWND window, DWORD timeoutMs)
{
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD exitCode = 0;
    GetExitCodeProcess(process_, &exitCode);
    return exitCode;
}

namespace {

// The process's top-level window of this class, or null.
HWND findProcessWindow(DWORD processId, const char* className)
{
    HWND candidate = nullptr;
    while ((candidate = FindWindowExA(nullptr, candidate, className, nullptr)) != nullptr) {
        DWORD owner = 0;
        GetWindowThreadProcessId(candidate, &owner);
        if (owner == processId) {
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

HWND waitForProcessWindow(DWORD processId, const char* className, double timeoutMs, HANDLE process)
{
    const double deadline = nowMs() + timeoutMs;
    for (;;) {
        if (HWND window = findProcessWindow(processId, className)) {
            return window;
        }
        if (nowMs() > deadline || !stillRunningAfterAWhile(process)) {
            return nullptr;
        }
    }
}

std::string windowText(HWND window)
{
    std::vector<char> text(512);
    const int copied = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return std::string(text.data(), copied > 0 ? static_cast<std::size_t>(copied) : 0);
}

std::optional<double> waitForText(HWND window, const std::string& expected, double timeoutMs)
{
    const double deadline = nowMs() + timeoutMs;
    for (;;) {
        const double seenAt = nowMs();
        const std::string text = windowText(window);
        if (text == expected) {
            return seenAt;
        }
        if (seenAt > deadline || !IsWindow(window)) {
            return std::nullopt;
        }
        Sleep(1);
    }
}

HWND waitForControl(HWND window, int id, double timeoutMs)
{
    const double deadline = nowMs() + timeoutMs;
    for (;;) {
        if (HWND control = GetDlgItem(window, id)) {
            return control;
        }
        if (nowMs() > deadline || !IsWindow(window)) {
            return nullptr;
        }
        Sleep(1);
    }
}

}  // namespace vandreth::bench
