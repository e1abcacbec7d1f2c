#include "StartupSteps.h"

#include "ChildProcess.h"
#include "Clock.h"
#include "DriverSetting.h"
#include "FromOutside.h"
#include "WindowIds.h"

#include <windows.h>

#include <array>
#include <cstdio>
#include <sstream>

namespace vandreth::bench {

namespace {

struct StepLabel {
    const char* step;
    const char* label;
};
// In the order the steps happen; each label names what lies between the previous step and this one.
constexpr std::array<StepLabel, 7> kSteps{{
    {"entry", "process start -> WinMain (loader, DLLs, C++ runtime)"},
    {"common-controls", "InitCommonControlsEx"},
    {"main-window", "state file read, window class registered"},
    {"first-control", "the main window's own creation"},
    {"last-control", "the 33 controls made, up to the last one"},
    {"activated", "the last control, ShowWindow until activation"},
    {"status", "the rest of ShowWindow, UpdateWindow (painting), status text"},
}};

// A line from the pipe, waiting at most until `deadline`.
std::string readLine(HANDLE pipe, double deadline)
{
    std::string line;
    while (nowMs() < deadline) {
        DWORD available = 0;
        if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr)) {
            break;
        }
        if (available == 0) {
            Sleep(1);
            continue;
        }
        char chunk[512];
        DWORD read = 0;
        if (!ReadFile(pipe, chunk, std::min<DWORD>(available, sizeof(chunk)), &read, nullptr)) {
            break;
        }
        line.append(chunk, read);
        if (const std::size_t end = line.find('\n'); end != std::string::npos) {
            return line.substr(0, end);
        }
    }
    return line;
}

}  // namespace

ProbeRun probeOnce(const std::wstring& probe)
{
    ProbeRun run;
    SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0)) {
        run.failure = "no pipe";
        return run;
    }
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    test::ChildSetup setup;
    setup.standardOutput = writeEnd;
    test::ChildProcess child(probe, setup);
    CloseHandle(writeEnd);
    HWND window = child.started() ? child.waitForWindow(test::WindowState::Listed, kWindowTimeoutMs) : nullptr;
    HWND status = window != nullptr ? waitForControl(window, kStatusLine, kWindowTimeoutMs) : nullptr;
    const auto shown = status != nullptr ? waitForText(status, kReadyToLink, kWindowTimeoutMs) : std::nullopt;
    // The probe reports once it has ended.
    const auto exitCode = shown ? child.close(window, kCloseTimeoutMs) : std::nullopt;
    const std::string line = exitCode ? readLine(readEnd, nowMs() + kWindowTimeoutMs) : std::string();
    CloseHandle(readEnd);
    if (!shown || exitCode != DWORD{0} || line.empty()) {
        run.failure = "the probe did not come up, end cleanly or report";
        return run;
    }
    run.toFirstText = *shown - counterMs(child.startCounter());
    run.steps["status"] = run.toFirstText;
    std::istringstream fields(line);
    std::string field;
    while (fields >> field) {
        const std::size_t equals = field.find('=');
        if (equals == std::string::npos) {
            continue;
        }
        const std::string name = field.substr(0, equals);
        const double value = std::stod(field.substr(equals + 1));
        if (name == "windows") {
            run.windows = static_cast<int>(value);
        } else {
            run.steps[name] = value - counterMs(child.startCounter());
        }
    }
    run.ok = true;
    return run;
}

void printStartupSteps(const std::vector<ProbeRun>& runs)
{
    std::vector<double> totals;
    for (const ProbeRun& run : runs) {
        totals.push_back(run.toFirstText);
    }
    std::printf("   where the client's start-up goes: StartupProbe.exe, the client's own WinMain and code with\n"
                "   window hooks noting each step (no token); median time of each step, after the previous one\n");
    const char* previous = nullptr;
    for (const StepLabel& step : kSteps) {
        std::vector<double> shares;
        for (const ProbeRun& run : runs) {
            // A step that was never noted has no time; neither has the share after it.
            const auto at = run.steps.find(step.step);
            const double start = previous != nullptr && run.steps.count(previous) != 0 ? run.steps.at(previous)
                                 : previous != nullptr                                ? -1
                                                                                      : 0;
            if (at != run.steps.end() && at->second > 0 && start >= 0) {
                shares.push_back(at->second - start);
            }
        }
        const Summary summary = summarize(shares);
        std::printf("     %-68s %8.1f ms (%.1f-%.1f)\n", step.label, summary.median, summary.min, summary.max);
        previous = step.step;
    }
    const Summary total = summarize(totals);
    if (!runs.empty()) {
        std::printf("     (%d windows created in all, the main window included)\n", runs.front().windows);
    }
    std::printf("     %-68s %8.1f ms (%.1f-%.1f)\n", "all of it: the probe's first status text, seen from outside",
                total.median, total.min, total.max);
}

}  // namespace vandreth::bench
