#pragma once
// A program started as a child process and worked from outside, as a user's desktop would: its
// window found by its process id, closed with WM_CLOSE, its exit code read. The tests that run
// the real program, the end-to-end window driver and the benchmark all start their programs
// through it. A child still running when the object goes is ended.

#include "ProcessWindow.h"
#include "WindowIds.h"

#include <windows.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vandreth::test {

// One change of the child's environment: the variable set to `value`, or removed when there is none.
struct EnvironmentChange {
    std::wstring name;
    std::optional<std::wstring> value;
};

// How a child starts. By default: this process's environment and working folder, and no
// redirected output.
struct ChildSetup {
    // Applied to a copy of this process's environment.
    std::vector<EnvironmentChange> environment;
    // Empty: this process's working folder.
    std::filesystem::path workingFolder;
    // The child's standard output, when given (an inheritable handle).
    HANDLE standardOutput = nullptr;
};

// The program at `relative` from the folder of this process's own program.
std::filesystem::path besideThisProgram(const std::filesystem::path& relative);

class ChildProcess {
public:
    // Starts `program` as `setup` says; started() tells whether that worked.
    explicit ChildProcess(const std::filesystem::path& program);
    ChildProcess(const std::filesystem::path& program, const ChildSetup& setup);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool started() const { return process_.hProcess != nullptr; }
    // Why CreateProcessW failed (its GetLastError); ERROR_SUCCESS once started.
    DWORD startError() const { return startError_; }
    DWORD id() const { return process_.dwProcessId; }
    HANDLE handle() const { return process_.hProcess; }
    // The performance counter (QueryPerformanceCounter) as read just before the process was created.
    LONGLONG startCounter() const { return startCounter_; }

    // Its exit code once it has ended; nothing while it runs or when it never started.
    std::optional<DWORD> exitCode() const;

    // Its top-level window of `className`, once it has come as far as `state`; null when
    // `timeoutMs` runs out or the process ends first.
    HWND waitForWindow(WindowState state, DWORD timeoutMs, const char* className = kWindowClass) const;

    // Closes `window` (when there is one) as a user would (WM_CLOSE) and waits for the process
    // to end; its exit code, or nothing when it did not end within `timeoutMs` (or never started).
    std::optional<DWORD> close(HWND window, DWORD timeoutMs);

private:
    PROCESS_INFORMATION process_{};
    DWORD startError_ = ERROR_SUCCESS;
    LONGLONG startCounter_ = 0;
};

}  // namespace vandreth::test
