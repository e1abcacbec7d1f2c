// The benchmark driver. It serves a stand-in for the Vandreth service on 127.0.0.1, starts the
// client and a bare window as processes of their own, drives and watches their windows from
// outside, and prints each figure beside a floor measured in the same run. It reports figures
// and judges none: the exit code says only whether everything could be measured.
//
//   VandrethBench.exe --client <VandrethClient.exe> [--runs N]
//
// The floors and the start-up probe are found next to this program.

#include "ChildProcess.h"
#include "Clock.h"
#include "FloorRequest.h"
#include "LoopbackServer.h"
#include "PeImports.h"
#include "RefreshPhases.h"
#include "Responsiveness.h"
#include "ServiceAnswers.h"
#include "StartupSteps.h"
#include "WindowIds.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace vandreth::bench {

namespace {

using test::LoopbackServer;
using test::ScriptedReply;

constexpr const char* kFloorClass = "VandrethBenchFloorWindow";
constexpr const char* kUnlinkedStatus = "Ready to link your Vandreth account.";
constexpr const char* kLinkedStatus = "Checking linked Vandreth session...";
constexpr const char* kRefreshingStatus = "Refreshing your Vandreth projects...";
constexpr const char* kFloorReady = "Ready";
constexpr const char* kToken = "benchmark-token";
constexpr const char* kInstancesPath = "/api/pc/instances";

constexpr double kWindowTimeoutMs = 30000;
constexpr double kAnswerTimeoutMs = 120000;
// How long sampling goes on after a figure's end, so that what follows it is seen too.
constexpr double kSettleMs = 300;
constexpr double kHangMs = 2000;
constexpr DWORD kCloseTimeoutMs = 10000;
constexpr std::size_t kProjectCounts[] = {10, 1000, 10000};
constexpr std::size_t kStartupProjects = 10;

std::string loadedStatus(std::size_t count)
{
    return "Loaded " + std::to_string(count) + " Vandreth project(s).";
}

double megabytes(std::size_t bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

// The client's state folder: a fresh APPDATA that children inherit.
class StateFolder {
public:
    StateFolder()
        : folder_(std::filesystem::temp_directory_path() /
                  ("vandreth-bench-" + std::to_string(GetCurrentProcessId())))
    {
        std::filesystem::create_directories(folder_ / "Vandreth");
        _putenv_s("APPDATA", folder_.string().c_str());
    }
    ~StateFolder()
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    StateFolder(const StateFolder&) = delete;
    StateFolder& operator=(const StateFolder&) = delete;

    void write(const std::string& origin, bool linked) const
    {
        nlohmann::json state = {{"device_id", "vdwin-benchmark"}, {"origin", origin}};
        if (linked) {
            state["access_token"] = kToken;
        }
        std::ofstream(folder_ / "Vandreth" / "pc-client-state.json", std::ios::binary | std::ios::trunc)
            << state.dump(2);
    }

private:
    std::filesystem::path folder_;
};

struct StartupRun {
    bool ok = false;
    std::string failure;
    double toFirstText = 0;
    double madeUntilLoop = 0;   // from the window's creation to the first answer
    double shownUntilLoop = 0;  // the first round trip, sent as soon as the window is visible
    double afterwards = 0;      // the longest of the others
    MemoryFigures memory;
};

// One start of a program, from process start to its first text; sampling goes on until
// `settledText` shows (when given) and kSettleMs after that.
StartupRun startOnce(const std::wstring& program, const char* className, int textId, const std::string& firstText,
                     const std::string& settledText)
{
    StartupRun run;
    auto child = ChildProcess::start(program);
    if (!child) {
        run.failure = "could not start the program";
        return run;
    }
    HWND window = child->waitForWindow(className, kWindowTimeoutMs);
    if (window == nullptr) {
        run.failure = "no window appeared";
        return run;
    }
    const double madeAt = nowMs();
    RoundTripSampler sampler(window, RoundTripSampler::Start::OnceShown);
    HWND textWindow = textId != 0 ? waitForControl(window, textId, kWindowTimeoutMs) : window;
    const auto shown = textWindow != nullptr ? waitForText(textWindow, firstText, kWindowTimeoutMs) : std::nullopt;
    if (!shown) {
        run.failure = "the first text never showed (it says \"" + windowText(textWindow) + "\")";
        return run;
    }
    run.toFirstText = *shown - child->startedAt();
    if (!settledText.empty() && !waitForText(textWindow, settledText, kAnswerTimeoutMs)) {
        run.failure = "\"" + settledText + "\" never showed";
        return run;
    }
    sleepMs(kSettleMs);
    const std::vector<RoundTrip> samples = sampler.stop();
    if (!samples.empty()) {
        run.madeUntilLoop = samples.front().answeredAt - madeAt;
        run.shownUntilLoop = samples.front().ms();
        run.afterwards = longestRoundTrip(samples, [&](const RoundTrip& trip) { return &trip != &samples.front(); });
    }
    run.memory = child->memory();
    const auto exitCode = child->close(window, kCloseTimeoutMs);
    if (exitCode != DWORD{0}) {
        run.failure = exitCode ? "exit code " + std::to_string(*exitCode) : "it did not end when closed";
        return run;
    }
    run.ok = true;
    return run;
}

struct RefreshRun {
    double clientMs = 0;
    double floorMs = 0;
    double outsideRefill = 0;
    double refill = 0;
};

struct RefreshSession {
    std::string failure;
    std::vector<RefreshRun> runs;
    MemoryFigures memory;
    std::optional<double> hanging;  // longest round trip while a request hangs
};

// The floor of a refresh: a bare GET of the same answer from the same server, parsed.
std::optional<double> floorRefresh(INTERNET_PORT port, std::size_t count)
{
    const double start = nowMs();
    const FetchedBody body = fetchBody(L"127.0.0.1", port, L"/api/pc/instances", kToken);
    if (!body.ok || body.status != 200) {
        return std::nullopt;
    }
    const nlohmann::json answer = nlohmann::json::parse(body.bytes, nullptr, false);
    const double end = nowMs();
    if (!answer.is_object() || !answer.contains("instances") || answer["instances"].size() != count) {
        return std::nullopt;
    }
    return end - start;
}

// Clicks Refresh; the moment the click was sent. The click is handled before SendMessage
// returns, so the status already says that the refresh started, or (for a small list) that it
// has already ended.
std::optional<double> clickRefresh(HWND refreshButton, HWND statusLine, const std::string& loaded)
{
    const double clickedAt = nowMs();
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(refreshButton, BM_CLICK, 0, 0, SMTO_NORMAL, kCloseTimeoutMs, &ignored);
    const std::string status = windowText(statusLine);
    if (status != kRefreshingStatus && status != loaded) {
        return std::nullopt;
    }
    return clickedAt;
}

RefreshSession refreshSession(const std::wstring& client, LoopbackServer& server, const StateFolder& state,
                              std::size_t count, int runs, bool withHang)
{
    RefreshSession session;
    const auto port = server.port();
    const std::string loaded = loadedStatus(count);
    server.reply("GET", kInstancesPath, ScriptedReply::json(200, projectsAnswer(count, server.origin())));
    state.write(server.origin(), true);

    auto child = ChildProcess::start(client);
    HWND window = child ? child->waitForWindow(kWindowClass, kWindowTimeoutMs) : nullptr;
    HWND status = window != nullptr ? waitForControl(window, kStatusLine, kWindowTimeoutMs) : nullptr;
    HWND refresh = window != nullptr ? waitForControl(window, kRefreshButton, kWindowTimeoutMs) : nullptr;
    if (status == nullptr || refresh == nullptr) {
        session.failure = "the client's window did not come up";
        return session;
    }
    if (!waitForText(status, loaded, kAnswerTimeoutMs)) {
        session.failure = "the first load ended with \"" + windowText(status) + "\"";
        return session;
    }
    sleepMs(kSettleMs);

    for (int run = 0; run < runs; ++run) {
        RefreshRun figures;
        const auto floor = floorRefresh(port, count);
        if (!floor) {
            session.failure = "the floor's request failed";
            return session;
        }
        figures.floorMs = *floor;
        sleepMs(100);

        const std::size_t requestsBefore = server.requestsTo(kInstancesPath).size();
        RoundTripSampler sampler(window);
        sleepMs(50);
        const auto clickedAt = clickRefresh(refresh, status, loaded);
        const auto loadedAt = clickedAt ? waitForText(status, loaded, kAnswerTimeoutMs) : std::nullopt;
        sleepMs(kSettleMs);
        const std::vector<RoundTrip> samples = sampler.stop();
        if (!loadedAt || server.requestsTo(kInstancesPath).size() != requestsBefore + 1) {
            session.failure = "a refresh ended with \"" + windowText(status) + "\"";
            return session;
        }
        figures.clientMs = *loadedAt - *clickedAt;
        // The window thread refills the list and then sets the status text: the round trip
        // in flight around that moment (or the first one sent right after it) waited for the
        // refill.
        const auto duringRefill = [&](const RoundTrip& trip) {
            return trip.sentAt <= *loadedAt + RoundTripSampler::kPeriodMs + 2 && trip.answeredAt >= *loadedAt - 2;
        };
        figures.refill = longestRoundTrip(samples, duringRefill);
        figures.outsideRefill = longestRoundTrip(samples, [&](const RoundTrip& trip) { return !duringRefill(trip); });
        session.runs.push_back(figures);
        sleepMs(200);
    }
    session.memory = child->memory();

    if (withHang) {
        server.reply("GET", kInstancesPath, ScriptedReply::hang());
        RoundTripSampler sampler(window);
        sleepMs(50);
        const auto clickedAt = clickRefresh(refresh, status, loaded);
        sleepMs(kHangMs);
        const std::vector<RoundTrip> samples = sampler.stop();
        if (clickedAt && windowText(status) == kRefreshingStatus) {
            session.hanging = longestRoundTrip(samples);
        }
        server.reply("GET", kInstancesPath, ScriptedReply::json(200, projectsAnswer(count, server.origin())));
    }
    if (child->close(window, kCloseTimeoutMs) != DWORD{0}) {
        session.failure = "the client did not end cleanly when closed";
    }
    return session;
}

std::string ratio(double value, double floor)
{
    if (floor <= 0) {
        return "-";
    }
    char text[32];
    std::snprintf(text, sizeof(text), "%.2fx", value / floor);
    return text;
}

std::string spread(const Summary& summary, const char* unit = "ms")
{
    char text[64];
    std::snprintf(text, sizeof(text), "%8.1f %s (%.1f-%.1f)", summary.median, unit, summary.min, summary.max);
    return text;
}

const char* verdict(bool met)
{
    return met ? "met" : "MISSED";
}

template <typename Run, typename Field>
Summary summaryOf(const std::vector<Run>& runs, Field field)
{
    std::vector<double> values;
    for (const Run& run : runs) {
        values.push_back(field(run));
    }
    return summarize(std::move(values));
}

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

}  // namespace

int runBenchmark(int argc, wchar_t** argv)
{
    const auto options = parseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: VandrethBench --client <VandrethClient.exe> [--runs N]\n");
        return 2;
    }
    const int runs = options->runs;
    bool complete = true;

    LoopbackServer server;
    server.reply("GET", "/api/pc/me", ScriptedReply::json(200, accountAnswer()));
    server.reply("GET", kInstancesPath, ScriptedReply::json(200, projectsAnswer(kStartupProjects, server.origin())));
    const StateFolder state;

    std::printf("Vandreth Client benchmark: %d runs of each figure; medians, with the least and greatest in\n"
                "brackets; ratio = client / floor, both measured in this run. Service: %s.\n\n",
                runs, server.origin().c_str());

    // 1. Start-up, interleaved so that each start of the client has a floor beside it.
    std::vector<StartupRun> floorStarts;
    std::vector<StartupRun> dllStarts;
    std::vector<StartupRun> controlStarts;
    std::vector<StartupRun> unlinkedStarts;
    std::vector<StartupRun> linkedStarts;
    std::vector<ProbeRun> probeStarts;
    const auto startAll = [&](bool keep) {
        StartupRun floor = startOnce(options->floor, kFloorClass, 0, kFloorReady, "");
        StartupRun withDlls = startOnce(options->floorWithDlls, kFloorClass, 0, kFloorReady, "");
        StartupRun withControls = startOnce(options->floorWithControls, kFloorClass, kStatusLine, kFloorReady, "");
        state.write(server.origin(), false);
        StartupRun unlinked = startOnce(options->client, kWindowClass, kStatusLine, kUnlinkedStatus, "");
        ProbeRun probe = probeOnce(options->probe);
        state.write(server.origin(), true);
        StartupRun linked =
            startOnce(options->client, kWindowClass, kStatusLine, kLinkedStatus, loadedStatus(kStartupProjects));
        for (const StartupRun* run : {&floor, &withDlls, &withControls, &unlinked, &linked}) {
            if (!run->ok) {
                std::printf("  a start failed: %s\n", run->failure.c_str());
                complete = false;
            }
        }
        if (!probe.ok) {
            std::printf("  a start of the probe failed: %s\n", probe.failure.c_str());
            complete = false;
        }
        if (keep) {
            floorStarts.push_back(floor);
            dllStarts.push_back(withDlls);
            controlStarts.push_back(withControls);
            unlinkedStarts.push_back(unlinked);
            linkedStarts.push_back(linked);
            probeStarts.push_back(probe);
        }
    };
    startAll(false);
    for (int run = 0; run < runs; ++run) {
        startAll(true);
    }
    const auto toText = [](const StartupRun& run) { return run.toFirstText; };
    const Summary floorStart = summaryOf(floorStarts, toText);
    const Summary dllStart = summaryOf(dllStarts, toText);
    const Summary controlStart = summaryOf(controlStarts, toText);
    const Summary unlinkedStart = summaryOf(unlinkedStarts, toText);
    const Summary linkedStart = summaryOf(linkedStarts, toText);
    std::printf("1. Start-up: process start -> the main window shows its first status text\n"
                "   (floor: a bare Win32 program that opens one empty window and quits)\n");
    std::printf("   %-40s %-28s %-28s %-8s %s\n", "", "client", "floor", "ratio", "goal <= 1.20x");
    std::printf("   %-40s %-28s %-28s %-8s %s\n", "no token: \"Ready to link ...\"", spread(unlinkedStart).c_str(),
                spread(floorStart).c_str(), ratio(unlinkedStart.median, floorStart.median).c_str(),
                verdict(unlinkedStart.median <= 1.2 * floorStart.median));
    std::printf("   %-40s %-28s %-28s %-8s %s\n", "token: \"Checking linked ...\"", spread(linkedStart).c_str(),
                spread(floorStart).c_str(), ratio(linkedStart.median, floorStart.median).c_str(),
                verdict(linkedStart.median <= 1.2 * floorStart.median));
    std::printf("   measuring sticks: the bare window, made to do part of what the client does\n");
    std::printf("   %-40s %-28s %-28s %-8s\n", "+ the client's manifest and DLLs", spread(dllStart).c_str(),
                spread(floorStart).c_str(), ratio(dllStart.median, floorStart.median).c_str());
    std::printf("   %-40s %-28s %-28s %-8s\n", "+ the client's 33 controls too", spread(controlStart).c_str(),
                spread(floorStart).c_str(), ratio(controlStart.median, floorStart.median).c_str());
    std::printf("   %-40s %-28s %-28s %-8s\n", "client (no token) / that window", spread(unlinkedStart).c_str(),
                spread(controlStart).c_str(), ratio(unlinkedStart.median, controlStart.median).c_str());
    printStartupSteps(probeStarts);
    std::printf("\n");

    // 2. Refresh, with the responsiveness of each refresh and of a hanging request.
    std::vector<RefreshSession> sessions;
    fetchBody(L"127.0.0.1", server.port(), L"/api/pc/instances", kToken);
    for (const std::size_t count : kProjectCounts) {
        sessions.push_back(refreshSession(options->client, server, state, count, runs, count == kProjectCounts[2]));
        if (!sessions.back().failure.empty()) {
            std::printf("  the session of %zu projects failed: %s\n", count, sessions.back().failure.c_str());
            complete = false;
        }
    }
    std::printf("2. Refresh: Refresh click -> \"Loaded N Vandreth project(s).\"\n"
                "   (floor: a bare WinHTTP GET of the same answer from the same server, parsed with nlohmann)\n");
    std::printf("   %-40s %-28s %-28s %-8s %s\n", "", "client", "floor", "ratio", "goal <= 2.00x at 10000");
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        const Summary client = summaryOf(sessions[i].runs, [](const RefreshRun& run) { return run.clientMs; });
        const Summary floor = summaryOf(sessions[i].runs, [](const RefreshRun& run) { return run.floorMs; });
        const std::string name = "N = " + std::to_string(kProjectCounts[i]);
        std::printf("   %-40s %-28s %-28s %-8s %s\n", name.c_str(), spread(client).c_str(), spread(floor).c_str(),
                    ratio(client.median, floor.median).c_str(),
                    kProjectCounts[i] == 10000 ? verdict(client.median <= 2 * floor.median) : "");
    }
    std::printf("\n");

    // 3. Responsiveness.
    const auto madeUntilLoop = [](const StartupRun& run) { return run.madeUntilLoop; };
    const auto shownUntilLoop = [](const StartupRun& run) { return run.shownUntilLoop; };
    const auto afterwards = [](const StartupRun& run) { return run.afterwards; };
    const Summary floorIdle = summaryOf(floorStarts, afterwards);
    std::printf("3. Responsiveness: longest round trip of WM_NULL (SendMessageTimeout every 10 ms);\n"
                "   the median of the runs' longest, the least and greatest of them in brackets\n"
                "   (floor: the bare window; at start-up its own start, otherwise while it idles)\n");
    std::printf("   %-40s %-28s %-28s %-8s %s\n", "", "client", "floor", "ratio", "goal");
    const auto responsivenessRow = [](const std::string& name, const Summary& client, const Summary& floor,
                                      double limit) {
        const std::string goal = limit <= 0 ? std::string()
                                            : std::string(client.max <= limit ? "met" : "MISSED") + " (every run < " +
                                                  std::to_string(static_cast<int>(limit)) + " ms)";
        std::printf("   %-40s %-28s %-28s %-8s %s\n", name.c_str(), spread(client).c_str(), spread(floor).c_str(),
                    ratio(client.median, floor.median).c_str(), goal.c_str());
    };
    responsivenessRow("start-up: window made -> loop", summaryOf(unlinkedStarts, madeUntilLoop),
                      summaryOf(floorStarts, madeUntilLoop), 0);
    responsivenessRow("start-up: window shown -> loop", summaryOf(unlinkedStarts, shownUntilLoop),
                      summaryOf(floorStarts, shownUntilLoop), 50);
    responsivenessRow("  the same, bare window + 33 controls", summaryOf(controlStarts, shownUntilLoop),
                      summaryOf(floorStarts, shownUntilLoop), 0);
    responsivenessRow("start-up: once the loop runs", summaryOf(unlinkedStarts, afterwards), floorIdle, 50);
    responsivenessRow("start-up, token: window shown -> loop", summaryOf(linkedStarts, shownUntilLoop),
                      summaryOf(floorStarts, shownUntilLoop), 50);
    responsivenessRow("start-up, token: through the load", summaryOf(linkedStarts, afterwards), floorIdle, 50);
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        const std::string name = "refresh N = " + std::to_string(kProjectCounts[i]);
        responsivenessRow(name + ": outside the refill",
                          summaryOf(sessions[i].runs, [](const RefreshRun& run) { return run.outsideRefill; }),
                          floorIdle, 50);
        responsivenessRow(name + ": the list refill",
                          summaryOf(sessions[i].runs, [](const RefreshRun& run) { return run.refill; }), floorIdle,
                          100);
    }
    if (sessions.back().hanging) {
        responsivenessRow("a request hanging (2 s)", summarize({*sessions.back().hanging}), floorIdle, 50);
    } else {
        std::printf("   a request hanging: not measured (the refresh did not start)\n");
        complete = false;
    }
    std::printf("\n");

    // 4. Memory and footprint.
    const auto peak = [](const StartupRun& run) { return megabytes(run.memory.peakWorkingSet); };
    const Summary floorPeak = summaryOf(floorStarts, peak);
    const Summary startedPeak = summaryOf(unlinkedStarts, peak);
    const double loadedPeak = megabytes(sessions.back().memory.peakWorkingSet);
    std::printf("4. Memory and footprint (MB = 2^20 bytes; floor: the bare window)\n");
    std::printf("   %-40s %-28s %-28s %-8s %s\n", "", "client", "floor", "ratio", "goal");
    char figure[64];
    std::printf("   %-40s %-28s %-28s %-8s\n", "peak working set, just started", spread(startedPeak, "MB").c_str(),
                spread(floorPeak, "MB").c_str(), ratio(startedPeak.median, floorPeak.median).c_str());
    const Summary controlsPeak = summaryOf(controlStarts, peak);
    std::printf("   %-40s %-28s %-28s %-8s\n", "  bare window + 33 controls", spread(controlsPeak, "MB").c_str(),
                spread(floorPeak, "MB").c_str(), ratio(controlsPeak.median, floorPeak.median).c_str());
    for (std::size_t i = 0; i < sessions.size(); ++i) {
        const double sessionPeak = megabytes(sessions[i].memory.peakWorkingSet);
        const bool largest = i + 1 == sessions.size();
        const std::string name = "peak working set, " + std::to_string(kProjectCounts[i]) + " projects";
        std::snprintf(figure, sizeof(figure), "%8.1f MB", sessionPeak);
        std::printf("   %-40s %-28s %-28s %-8s %s\n", name.c_str(), figure, spread(floorPeak, "MB").c_str(),
                    ratio(sessionPeak, floorPeak.median).c_str(),
                    largest ? (loadedPeak < 25 ? "met (< 25 MB)" : "MISSED (< 25 MB)") : "");
    }
    std::snprintf(figure, sizeof(figure), "%8.1f MB", megabytes(sessions.back().memory.workingSet));
    std::printf("   %-40s %-28s\n", "working set after those refreshes", figure);
    const auto clientSize = fileSize(options->client);
    const auto floorSize = fileSize(options->floor);
    char clientFigure[64];
    char floorFigure[64];
    std::snprintf(clientFigure, sizeof(clientFigure), "%8.2f MB", megabytes(clientSize));
    std::snprintf(floorFigure, sizeof(floorFigure), "%8.2f MB", megabytes(floorSize));
    std::printf("   %-40s %-28s %-28s %-8s\n", "size of the exe", clientFigure, floorFigure,
                ratio(static_cast<double>(clientSize), static_cast<double>(floorSize)).c_str());
    const auto imports = importedDlls(options->client);
    if (!imports) {
        std::printf("   imported DLLs: the exe could not be read\n");
        complete = false;
    } else {
        bool allSystem = true;
        std::printf("   DLLs the exe imports (goal: only DLLs that Windows ships):\n");
        for (const ImportedDll& dll : *imports) {
            const bool system = shipsWithWindows(dll.name);
            allSystem = allSystem && system;
            std::printf("     %-20s %s%s\n", dll.name.c_str(), system ? "ships with Windows" : "NOT a Windows DLL",
                        dll.delayLoaded ? " (delay-loaded)" : "");
        }
        std::printf("   %-40s %s\n", "only DLLs that Windows ships", verdict(allSystem));
    }
    std::printf("\n");

    // 5. Where a refresh of the largest list spends its time, and 6. the experiments beside it.
    state.write(server.origin(), false);
    RefreshPhases phases(PhaseSetting{server.origin(), kProjectCounts[2], runs});
    phases.reportWhereARefreshGoes();
    phases.reportExperiments();

    return complete ? 0 : 1;
}

}  // namespace vandreth::bench

int wmain(int argc, wchar_t** argv)
{
    return vandreth::bench::runBenchmark(argc, argv);
}
