#pragma once
// Finding a program's top-level window from outside it, by the process (or thread) that made it
// and its class. A window is listed while its WM_CREATE is still making its controls, and a
// window of an earlier, closing run of the same program may still be listed: so the window is
// looked for by its maker, and a caller that needs more than its being listed (shown, its
// controls made, a first text) waits for that as well.

#include "WindowIds.h"

#include <windows.h>

namespace vandreth::test {

// The top-level window of `className` that process `processId` made; null when there is none.
HWND findProcessWindow(DWORD processId, const char* className = kWindowClass);

// The top-level window of `className` that thread `threadId` made; null when there is none.
HWND findThreadWindow(DWORD threadId, const char* className = kWindowClass);

// How far a window has come when a wait for it ends.
enum class WindowState {
    Listed,   // it exists; its controls may not yet
    Visible,  // it has been shown
};

// Polls about once a millisecond for the window of `className` that process `processId` made,
// until it has come as far as `state`. Null when `timeoutMs` runs out or, when `process` (a
// handle to that process) is given, the process ends first.
HWND waitForProcessWindow(DWORD processId, HANDLE process, const char* className, WindowState state,
                          DWORD timeoutMs);

}  // namespace vandreth::test
