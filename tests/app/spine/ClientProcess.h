#pragma once
// The real program, VandrethClient.exe, run as a child process with an environment of the
// test's choosing, and worked from outside through its main window. In-process tests cannot
// leave APPDATA empty or unset (the C runtime's _putenv removes a variable set to empty text),
// and only the program itself carries the program's own manifest.

#include "ChildProcess.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vandreth::test {

// The program's file, VandrethClient.exe, found relative to this test program.
std::filesystem::path clientProgram();

class ClientProcess {
public:
    // Starts the program with this process's environment changed as given, in `workingFolder`.
    // A child still running at the end (a test that failed before closing it) is ended.
    ClientProcess(const std::vector<EnvironmentChange>& changes, const std::filesystem::path& workingFolder);

    // Waits until the main window shows its first status text. A failure says why: the program
    // did not start, ended, or its window never got that far.
    testing::AssertionResult waitUntilReady();

    HWND window() const { return window_; }
    HWND control(int controlId) const;
    std::string text(int controlId) const;
    std::wstring wideText(int controlId) const;
    // A click, as BM_CLICK: a disabled button ignores it.
    void click(int controlId) const;
    bool enabled(int controlId) const;

    // WM_CLOSE to the main window; the exit code, or nothing when the program did not end.
    std::optional<DWORD> close();

private:
    ChildProcess child_;
    HWND window_ = nullptr;
};

}  // namespace vandreth::test
