#pragma once
// A program started by the benchmark, watched and driven from outside the way a user's desktop
// would: through its windows, never through its code.

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>

namespace vandreth::bench {

struct MemoryFigures {
    std::size_t peakWorkingSet = 0;
    std::size_t workingSet = 0;
};

class ChildProcess {
public:
    // Starts the program with this process's environment, its standard output on
    // `standardOutput` when given (an inheritable handle); the start time is taken just before
    // the process is created. Nothing when it cannot be started.
    static std::optional<ChildProcess> start(const std::wstring& program, HANDLE standardOutput = nullptr);

    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&&) = delete;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    // A child still running then (it did not close when asked) is ended.
    ~ChildProcess();

    double startedAt() const { return startedAt_; }

    // Its top-level window of this class, once there is one; null when `timeoutMs` runs out
    // or the process ends first.
    HWND waitForWindow(const char* className, double timeoutMs) const;

    MemoryFigures memory() const;

    // Closes the window as a user would (WM_CLOSE) and waits for the process to end; its exit
    // code, or nothing when it did not end in time (it is then ended).
    std::optional<DWORD> close(HWND window, DWORD timeoutMs);

private:
    ChildProcess(HANDLE process, DWORD id, double startedAt) : process_(process), id_(id), startedAt_(startedAt) {}

    HANDLE process_ = nullptr;
    DWORD id_ = 0;
    double startedAt_ = 0;
};

// The process's top-level window of this class, once there is one, polled about once a
// millisecond; null when `timeoutMs` runs out or, when `process` is given, that process ends first.
HWND waitForProcessWindow(DWORD processId, const char* className, double timeoutMs, HANDLE process = nullptr);

// A window's text. For a window of another process this reads what the system keeps for it and
// sends nothing, so it neither waits for nor disturbs that process's window thread.
std::string windowText(HWND window);

// The moment `window` first showed `expected`, polled about once a millisecond; nothing when
// `timeoutMs` runs out.
std::optional<double> waitForText(HWND window, const std::string& expected, double timeoutMs);

// The child control with this id, once it exists; null when `timeoutMs` runs out.
HWND waitForControl(HWND window, int id, double timeoutMs);

}  // namespace vandreth::bench
