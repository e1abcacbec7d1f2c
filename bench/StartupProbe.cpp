// The client with a stopwatch: the same WinMain as VandrethClient.exe (common controls, then the
// application object), plus a CBT hook on its thread that notes when windows are created and
// activated. Only the CBT hook: it is called a few dozen times in all, where hooks on every
// window message would slow start-up down several times under Wine. When the client has ended,
// the times (milliseconds on the performance counter, the benchmark's own clock) go as one line
// to standard output.

#include "ClientLook.h"
#include "Clock.h"
#include "VandrethWinApp.h"
#include "WindowIds.h"

#include <windows.h>

#include <array>
#include <cstdio>

namespace vandreth::bench {

namespace {

enum Step : std::size_t { Entry, CommonControls, MainWindow, FirstControl, LastControl, Activated, kSteps };
constexpr std::array<const char*, kSteps> kStepNames{"entry",         "common-controls", "main-window",
                                                     "first-control", "last-control",    "activated"};

// Create RERI, the last control the main window makes.
constexpr INT_PTR kLastControlId = kCreateButton;

std::array<double, kSteps> stepTimes{};
HWND mainWindow = nullptr;
int windowsCreated = 0;

void note(Step step)
{
    if (stepTimes[step] == 0) {
        stepTimes[step] = nowMs();
    }
}

LRESULT CALLBACK onCbt(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        ++windowsCreated;
        const CREATESTRUCTA* creation = reinterpret_cast<const CBT_CREATEWNDA*>(lParam)->lpcs;
        if (mainWindow == nullptr) {
            mainWindow = reinterpret_cast<HWND>(wParam);
            note(MainWindow);
        } else if (creation->hwndParent == mainWindow) {
            note(FirstControl);
            if (reinterpret_cast<INT_PTR>(creation->hMenu) == kLastControlId) {
                note(LastControl);
            }
        }
    } else if (code == HCBT_ACTIVATE && reinterpret_cast<HWND>(wParam) == mainWindow) {
        note(Activated);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void report()
{
    char line[512];
    int used = std::snprintf(line, sizeof(line), "windows=%d", windowsCreated);
    for (std::size_t step = 0; step < kSteps; ++step) {
        used += std::snprintf(line + used, sizeof(line) - static_cast<std::size_t>(used), " %s=%.3f",
                              kStepNames[step], stepTimes[step]);
    }
    used += std::snprintf(line + used, sizeof(line) - static_cast<std::size_t>(used), "\n");
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line, static_cast<DWORD>(used), &written, nullptr);
}

}  // namespace

int runProbe(HINSTANCE instance, int showCommand)
{
    note(Entry);
    const HHOOK hook = SetWindowsHookExA(WH_CBT, onCbt, nullptr, GetCurrentThreadId());

    initCommonControlsAsTheClient();
    note(CommonControls);

    int exitCode = 0;
    {
        VandrethWinApp app;
        exitCode = app.run(instance, showCommand);
    }
    UnhookWindowsHookEx(hook);
    report();
    return exitCode;
}

}  // namespace vandreth::bench

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    return vandreth::bench::runProbe(instance, showCommand);
}
