// The benchmark driver. It serves a stand-in for the Vandreth service on 127.0.0.1, starts the
// client and a bare window as processes of their own, drives and watches their windows from
// outside, and prints each figure beside a floor measured in the same run, section by section as
// the report reads: start-up, refresh, responsiveness, memory and footprint, where a refresh goes,
// and experiments. A figure with a goal says whether it met it; the exit code says only whether
// the figures of the first four sections could all be measured.
//
//   VandrethBench.exe --client <VandrethClient.exe> [--runs N]
//
// The floors and the start-up probe are found next to this program.

#include "Clock.h"
#include "DriverSetting.h"
#include "FloorRequest.h"
#include "LoopbackServer.h"
#include "PeImports.h"
#include "RefreshPhases.h"
#include "RefreshSessions.h"
#include "ReportTable.h"
#include "ServiceAnswers.h"
#include "StartupRuns.h"
#include "StartupSteps.h"
#include "StateFolder.h"
#include "WindowIds.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace vandreth::bench {

namespace {

using test::LoopbackServer;
using test::ScriptedReply;

constexpr std::size_t kProjectCounts[] = {10, 1000, 10000};
constexpr std::size_t kLargestCount = kProjectCounts[std::size(kProjectCounts) - 1];
constexpr std::size_t kStartupProjects = 10;

struct Options {
    std::wstring client;
    std::wstring floor;
    std::wstring floorWithDlls;
    std::wstring floorWithControls;
    std::wstring probe;
    int runs = 5;
};

std::wstring besideThisProgram(const wchar_t* name)
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return (std::filesystem::path(std::wstring(path, length)).parent_path() / name).wstring();
}

std::optional<Options> parseOptions(int argc, wchar_t** argv)
{
    Options options;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::wstring name = argv[i];
        if (name == L"--client") {
            options.client = argv[i + 1];
        } else if (name == L"--runs") {
            options.runs = std::max(1, _wtoi(argv[i + 1]));
        } else {
            return std::nullopt;
        }
    }
    if (options.client.empty()) {
        return std::nullopt;
    }
    options.floor = besideThisProgram(L"BenchFloorWindow.exe");
    options.floorWithDlls = besideThisProgram(L"BenchFloorDlls.exe");
    options.floorWithControls = besideThisProgram(L"BenchFloorControls.exe");
    options.probe = besideThisProgram(L"StartupProbe.exe");
    return options;
}

std::uintmax_t fileSize(const std::wstring& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

// One start of each program.
struct StartupRound {
    StartupRun floor;
    StartupRun withDlls;
    StartupRun withControls;
    StartupRun unlinked;
    ProbeRun probe;
    StartupRun linked;
};

// Every start that was kept, by program; responsiveness and memory read them again.
struct StartupFigures {
    bool complete = true;
    std::vector<StartupRun> floor;
    std::vector<StartupRun> withDlls;
    std::vector<StartupRun> withControls;
    std::vector<StartupRun> unlinked;
    std::vector<StartupRun> linked;
    std::vector<ProbeRun> probe;

    void keep(const StartupRound& round)
    {
        floor.push_back(round.floor);
        withDlls.push_back(round.withDlls);
        withControls.push_back(round.withControls);
        unlinked.push_back(round.unlinked);
        linked.push_back(round.linked);
        probe.push_back(round.probe);
    }
};

// The refresh sessions, one a project count in kProjectCounts.
struct RefreshFigures {
    bool complete = true;
    std::vector<RefreshSession> sessions;
};

// Each start of the client has a floor's beside it: the programs start in turn.
StartupRound startEachOnce(const Options& options, const std::string& origin, const StateFolder& state)
{
    StartupRound round;
    round.floor = startOnce(options.floor, kFloorClass, 0, kFloorReady, "");
    round.withDlls = startOnce(options.floorWithDlls, kFloorClass, 0, kFloorReady, "");
    round.withControls = startOnce(options.floorWithControls, kFloorClass, kStatusLine, kFloorReady, "");
    state.write(origin, false);
    round.unlinked = startOnce(options.client, kWindowClass, kStatusLine, kReadyToLink, "");
    round.probe = probeOnce(options.probe);
    state.write(origin, true);
    round.linked = startOnce(options.client, kWindowClass, kStatusLine, kCheckingSession, loadedStatus(kStartupProjects));
    return round;
}

// Prints what failed; true when nothing did.
bool reportFailedStarts(const StartupRound& round)
{
    bool allStarted = true;
    for (const StartupRun* run : {&round.floor, &round.withDlls, &round.withControls, &round.unlinked, &round.linked}) {
        if (!run->ok) {
            std::printf("  a start failed: %s\n", run->failure.c_str());
            allStarted = false;
        }
    }
    if (!round.probe.ok) {
        std::printf("  a start of the probe failed: %s\n", round.probe.failure.c_str());
        allStarted = false;
    }
    return allStarted;
}

// A first round warms up what every start shares and is not kept.
StartupFigures measureStartUps(const Options& options, const std::string& origin, const StateFolder& state)
{
    StartupFigures figures;
    figures.complete = reportFailedStarts(startEachOnce(options, origin, state));
    for (int run = 0; run < options.runs; ++run) {
        const StartupRound round = startEachOnce(options, origin, state);
        figures.complete = reportFailedStarts(round) && figures.complete;
        figures.keep(round);
    }
    return figures;
}

void printStartUp(const StartupFigures& starts)
{
    const auto toText = [](const StartupRun& run) { return run.toFirstText; };
    const Summary floor = summaryOf(starts.floor, toText);
    const Summary withDlls = summaryOf(starts.withDlls, toText);
    const Summary withControls = summaryOf(starts.withControls, toText);
    const Summary unlinked = summaryOf(starts.unlinked, toText);
    const Summary linked = summaryOf(starts.linked, toText);
    std::printf("1. Start-up: process start -> the main window shows its first status text\n"
                "   (floor: a bare Win32 program that opens one empty window and quits)\n");
    printRow("", "client", "floor", "ratio", "goal <= 1.20x");
    printRow("no token: \"Ready to link ...\"", spread(unlinked), spread(floor), ratio(unlinked.median, floor.median),
             verdict(unlinked.median <= 1.2 * floor.median));
    printRow("token: \"Checking linked ...\"", spread(linked), spread(floor), ratio(linked.median, floor.median),
             verdict(linked.median <= 1.2 * floor.median));
    std::printf("   measuring sticks: the bare window, made to do part of what the client does\n");
    printRow("+ the client's manifest and DLLs", spread(withDlls), spread(floor), ratio(withDlls.median, floor.median));
    printRow("+ the client's 33 controls too", spread(withControls), spread(floor),
             ratio(withControls.median, floor.median));
    printRow("client (no token) / that window", spread(unlinked), spread(withControls),
             ratio(unlinked.median, withControls.median));
    printStartupSteps(starts.probe);
    std::printf("\n");
}

StartupFigures reportStartUp(const Options& options, const std::string& origin, const StateFolder& state)
{
    const StartupFigures starts = measureStartUps(options, origin, state);
    printStartUp(starts);
    return starts;
}

RefreshFigures measureRefreshes(const Options& options, LoopbackServer& server, const StateFolder& state)
{
    RefreshFigures figures;
    // WinHTTP's first request in this process sets it up; no floor should pay for that.
    fetchProjectList(server.port());
    for (const std::size_t count : kProjectCounts) {
        figures.sessions.push_back(
            refreshSession(options.client, server, state, count, options.runs, count == kLargestCount));
        if (!figures.sessions.back().failure.empty()) {
            std::printf("  the session of %zu projects failed: %s\n", count, figures.sessions.back().failure.c_str());
            figures.complete = false;
        }
    }
    return figures;
}

void printRefresh(const RefreshFigures& refreshes)
{
    std::printf("2. Refresh: Refresh click -> \"Loaded N Vandreth project(s).\"\n"
                "   (floor: a bare WinHTTP GET of the same answer from the same server, parsed with nlohmann)\n");
    printRow("", "client", "floor", "ratio", "goal <= 2.00x at 10000");
    for (std::size_t i = 0; i < refreshes.sessions.size(); ++i) {
        const std::vector<RefreshRun>& runs = refreshes.sessions[i].runs;
        const Summary client = summaryOf(runs, [](const RefreshRun& run) { return run.clientMs; });
        const Summary floor = summaryOf(runs, [](const RefreshRun& run) { return run.floorMs; });
        printRow("N = " + std::to_string(kProjectCounts[i]), spread(client), spread(floor),
                 ratio(client.median, floor.median),
                 kProjectCounts[i] == kLargestCount ? verdict(client.median <= 2 * floor.median) : "");
    }
    std::printf("\n");
}

RefreshFigures reportRefresh(const Options& options, LoopbackServer& server, const StateFolder& state)
{
    const RefreshFigures refreshes = measureRefreshes(options, server, state);
    printRefresh(refreshes);
    return refreshes;
}

// A row whose goal, when `limitMs` is above 0, is that every run's longest round trip stays under it.
void printResponsivenessRow(const std::string& name, const Summary& client, const Summary& floor, double limitMs)
{
    const std::string goal = limitMs <= 0 ? std::string()
                                          : std::string(verdict(client.max <= limitMs)) + " (every run < " +
                                                std::to_string(static_cast<int>(limitMs)) + " ms)";
    printRow(name, spread(client), spread(floor), ratio(client.median, floor.median), goal.c_str());
}

void printStartUpResponsiveness(const StartupFigures& starts, const Summary& floorIdle)
{
    const auto madeUntilLoop = [](const StartupRun& run) { return run.madeUntilLoop; };
    const auto shownUntilLoop = [](const StartupRun& run) { return run.shownUntilLoop; };
    const auto afterwards = [](const StartupRun& run) { return run.afterwards; };
    const Summary floorShown = summaryOf(starts.floor, shownUntilLoop);
    printResponsivenessRow("start-up: window made -> loop", summaryOf(starts.unlinked, madeUntilLoop),
                           summaryOf(starts.floor, madeUntilLoop), 0);
    printResponsivenessRow("start-up: window shown -> loop", summaryOf(starts.unlinked, shownUntilLoop), floorShown,
                           50);
    printResponsivenessRow("  the same, bare window + 33 controls", summaryOf(starts.withControls, shownUntilLoop),
                           floorShown, 0);
    printResponsivenessRow("start-up: once the loop runs", summaryOf(starts.unlinked, afterwards), floorIdle, 50);
    printResponsivenessRow("start-up, token: window shown -> loop", summaryOf(starts.linked, shownUntilLoop),
                           floorShown, 50);
    printResponsivenessRow("start-up, token: through the load", summaryOf(starts.linked, afterwards), floorIdle, 50);
}

// False when the hanging request could not be measured.
bool printRefreshResponsiveness(const RefreshFigures& refreshes, const Summary& floorIdle)
{
    for (std::size_t i = 0; i < refreshes.sessions.size(); ++i) {
        const std::string name = "refresh N = " + std::to_string(kProjectCounts[i]);
        const std::vector<RefreshRun>& runs = refreshes.sessions[i].runs;
        printResponsivenessRow(name + ": outside the refill",
                               summaryOf(runs, [](const RefreshRun& run) { return run.outsideRefill; }), floorIdle, 50);
        printResponsivenessRow(name + ": the list refill",
                               summaryOf(runs, [](const RefreshRun& run) { return run.refill; }), floorIdle, 100);
    }
    const std::optional<double>& hanging = refreshes.sessions.back().hanging;
    if (!hanging) {
        std::printf("   a request hanging: not measured (the refresh did not start)\n");
        return false;
    }
    printResponsivenessRow("a request hanging (2 s)", summarize({*hanging}), floorIdle, 50);
    return true;
}

// False when something could not be measured.
bool reportResponsiveness(const StartupFigures& starts, const RefreshFigures& refreshes)
{
    // The bare window's longest round trip once its loop runs: what a window that does nothing
    // costs, the floor for every figure not taken during a start.
    const Summary floorIdle = summaryOf(starts.floor, [](const StartupRun& run) { return run.afterwards; });
    std::printf("3. Responsiveness: longest round trip of WM_NULL (SendMessageTimeout every 10 ms);\n"
                "   the median of the runs' longest, the least and greatest of them in brackets\n"
                "   (floor: the bare window; at start-up its own start, otherwise while it idles)\n");
    printRow("", "client", "floor", "ratio", "goal");
    printStartUpResponsiveness(starts, floorIdle);
    const bool measured = printRefreshResponsiveness(refreshes, floorIdle);
    std::printf("\n");
    return measured;
}

void printPeakWorkingSets(const StartupFigures& starts, const RefreshFigures& refreshes)
{
    const auto peak = [](const StartupRun& run) { return megabytes(run.memory.peakWorkingSet); };
    const Summary floorPeak = summaryOf(starts.floor, peak);
    const Summary startedPeak = summaryOf(starts.unlinked, peak);
    const Summary controlsPeak = summaryOf(starts.withControls, peak);
    printRow("peak working set, just started", spread(startedPeak, "MB"), spread(floorPeak, "MB"),
             ratio(startedPeak.median, floorPeak.median));
    printRow("  bare window + 33 controls", spread(controlsPeak, "MB"), spread(floorPeak, "MB"),
             ratio(controlsPeak.median, floorPeak.median));
    for (std::size_t i = 0; i < refreshes.sessions.size(); ++i) {
        const double sessionPeak = megabytes(refreshes.sessions[i].memory.peakWorkingSet);
        const std::string goal =
            kProjectCounts[i] == kLargestCount ? std::string(verdict(sessionPeak < 25)) + " (< 25 MB)" : "";
        printRow("peak working set, " + std::to_string(kProjectCounts[i]) + " projects", single(sessionPeak, "MB"),
                 spread(floorPeak, "MB"), ratio(sessionPeak, floorPeak.median), goal.c_str());
    }
    std::printf("   %-40s %-28s\n", "working set after those refreshes",
                single(megabytes(refreshes.sessions.back().memory.workingSet), "MB").c_str());
}

// False when the exe's import tables could not be read.
bool printImportedDlls(const std::wstring& client)
{
    const auto imports = importedDlls(client);
    if (!imports) {
        std::printf("   imported DLLs: the exe could not be read\n");
        return false;
    }
    bool allSystem = true;
    std::printf("   DLLs the exe imports (goal: only DLLs that Windows ships):\n");
    for (const ImportedDll& dll : *imports) {
        const bool system = shipsWithWindows(dll.name);
        allSystem = allSystem && system;
        std::printf("     %-20s %s%s\n", dll.name.c_str(), system ? "ships with Windows" : "NOT a Windows DLL",
                    dll.delayLoaded ? " (delay-loaded)" : "");
    }
    std::printf("   %-40s %s\n", "only DLLs that Windows ships", verdict(allSystem));
    return true;
}

// False when something could not be measured.
bool reportMemoryAndFootprint(const Options& options, const StartupFigures& starts, const RefreshFigures& refreshes)
{
    std::printf("4. Memory and footprint (MB = 2^20 bytes; floor: the bare window)\n");
    printRow("", "client", "floor", "ratio", "goal");
    printPeakWorkingSets(starts, refreshes);
    const auto clientSize = fileSize(options.client);
    const auto floorSize = fileSize(options.floor);
    printRow("size of the exe", single(megabytes(clientSize), "MB", 2), single(megabytes(floorSize), "MB", 2),
             ratio(static_cast<double>(clientSize), static_cast<double>(floorSize)));
    const bool measured = printImportedDlls(options.client);
    std::printf("\n");
    return measured;
}

}  // namespace

int runBenchmark(int argc, wchar_t** argv)
{
    const auto options = parseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: VandrethBench --client <VandrethClient.exe> [--runs N]\n");
        return 2;
    }
    LoopbackServer server;
    server.reply("GET", "/api/pc/me", ScriptedReply::json(200, accountAnswer()));
    server.reply("GET", kInstancesPath, ScriptedReply::json(200, projectsAnswer(kStartupProjects, server.origin())));
    const StateFolder state;

    std::printf("Vandreth Client benchmark: %d runs of each figure; medians, with the least and greatest in\n"
                "brackets; ratio = client / floor, both measured in this run. Service: %s.\n\n",
                options->runs, server.origin().c_str());
    const StartupFigures starts = reportStartUp(*options, server.origin(), state);
    const RefreshFigures refreshes = reportRefresh(*options, server, state);
    const bool responsivenessMeasured = reportResponsiveness(starts, refreshes);
    const bool footprintMeasured = reportMemoryAndFootprint(*options, starts, refreshes);
    // The client in this process starts unlinked, so that nothing but the handed answer reaches it.
    state.write(server.origin(), false);
    RefreshPhases phases(PhaseSetting{server.origin(), kLargestCount, options->runs});
    phases.reportWhereARefreshGoes();
    phases.reportExperiments();

    const bool complete = starts.complete && refreshes.complete && responsivenessMeasured && footprintMeasured;
    return complete ? 0 : 1;
}

}  // namespace vandreth::bench

int wmain(int argc, wchar_t** argv)
{
    return vandreth::bench::runBenchmark(argc, argv);
}
