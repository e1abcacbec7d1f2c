#include "FromOutside.h"

#include "Clock.h"

#include <psapi.h>

#include <vector>

namespace vandreth::bench {

MemoryFigures memoryOf(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    MemoryFigures figures;
    if (GetProcessMemoryInfo(process, &counters, sizeof(counters))) {
        figures.peakWorkingSet = counters.PeakWorkingSetSize;
        figures.workingSet = counters.WorkingSetSize;
    }
    return figures;
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
