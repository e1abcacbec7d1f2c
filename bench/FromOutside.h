#pragma once
// What the benchmark reads of a program it started, from outside, the way a user's desktop
// would: its window's texts and controls, and the memory it takes. The programs themselves are
// started through the tests' ChildProcess.

#include <windows.h>

#include <cstddef>
#include <optional>
#include <string>

namespace vandreth::bench {

struct MemoryFigures {
    std::size_t peakWorkingSet = 0;
    std::size_t workingSet = 0;
};

MemoryFigures memoryOf(HANDLE process);

// A window's text. For a window of another process this reads what the system keeps for it and
// sends nothing, so it neither waits for nor disturbs that process's window thread.
std::string windowText(HWND window);

// The moment `window` first showed `expected`, polled about once a millisecond; nothing when
// `timeoutMs` runs out.
std::optional<double> waitForText(HWND window, const std::string& expected, double timeoutMs);

// The child control with this id, once it exists; null when `timeoutMs` runs out.
HWND waitForControl(HWND window, int id, double timeoutMs);

}  // namespace vandreth::bench
