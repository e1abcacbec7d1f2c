#include "RefreshPhases.h"

#include "AnswerReaders.h"
#include "AppTypes.h"
#include "Clock.h"
#include "DriverSetting.h"
#include "FloorRequest.h"
#include "HttpClient.h"
#include "InProcessClient.h"
#include "ListReplica.h"
#include "RowsFromBytes.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace vandreth::bench {

namespace {

// Posted to a message-only window of this program when a worker's hand-over is timed: the
// benchmark's own message, unrelated to the client's kAsyncMessage.
constexpr UINT kHandOverMessage = WM_APP + 7;

// One way of refilling the list box, with the time of each refill and of painting after it.
struct ListFill {
    FillVariant variant;
    const char* name;
    bool tookTheLines = false;
    std::vector<double> fills{};
    std::vector<double> paints{};
};

INTERNET_PORT portOf(const std::string& origin)
{
    return static_cast<INTERNET_PORT>(std::stoi(origin.substr(origin.rfind(':') + 1)));
}

// Runs `step` `runs` times and summarises its times.
Summary timed(int runs, const std::function<double()>& step)
{
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        times.push_back(step());
    }
    return summarize(std::move(times));
}

void printPhase(const char* name, const Summary& summary)
{
    std::printf("    %-68s %9.1f ms  (%.1f to %.1f)\n", name, summary.median, summary.min, summary.max);
}

void printMegabytes(const char* name, double megabytes)
{
    std::printf("    %-68s %9.1f MB\n", name, megabytes);
}

// A worker's hand-over of its result, as a task's, to a window of this thread: from the
// thread's start until the window thread has the message.
double timeWorkerHandOver()
{
    HWND target =
        CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
    const double start = nowMs();
    std::thread([target] { PostMessageA(target, kHandOverMessage, 0, 0); }).detach();
    MSG message{};
    while (GetMessageA(&message, target, 0, 0) > 0 && message.message != kHandOverMessage) {
    }
    const double end = nowMs();
    DestroyWindow(target);
    return end - start;
}

// Every way refills a list box of its own in each run, in turn, so that a busy moment of the
// machine falls on all of them.
std::vector<ListFill> timeListFills(const std::vector<std::string>& lines, int runs)
{
    std::vector<ListFill> fills{
        {FillVariant::AsTheClient, "  refilling the list box (the client's messages, replayed)"},
        {FillVariant::PreallocatedToo, "LB_INITSTORAGE first, then the same messages"},
        {FillVariant::WideLines, "lines widened here, sent as LB_ADDSTRING to the wide list"},
        {FillVariant::OwnerData, "owner-data list (LBS_NODATA): LB_SETCOUNT only"},
    };
    std::vector<std::unique_ptr<ListReplica>> replicas;
    for (const ListFill& fill : fills) {
        replicas.push_back(std::make_unique<ListReplica>(fill.variant, lines));
        replicas.back()->refill();
    }
    for (int run = 0; run < runs; ++run) {
        for (std::size_t i = 0; i < fills.size(); ++i) {
            const auto [filled, painted] = replicas[i]->refill();
            fills[i].fills.push_back(filled);
            fills[i].paints.push_back(painted);
        }
    }
    for (std::size_t i = 0; i < fills.size(); ++i) {
        fills[i].tookTheLines = replicas[i]->ready() && replicas[i]->count() == lines.size();
    }
    return fills;
}

// The fill's time, then the painting's when `paintName` is given.
void printFill(const std::vector<ListFill>& fills, FillVariant variant, const char* paintName)
{
    const auto fill =
        std::find_if(fills.begin(), fills.end(), [&](const ListFill& one) { return one.variant == variant; });
    if (fill == fills.end()) {
        return;
    }
    if (!fill->tookTheLines) {
        std::printf("    %s: the list box did not take the lines\n", fill->name);
        return;
    }
    printPhase(fill->name, summarize(fill->fills));
    if (paintName != nullptr) {
        printPhase(paintName, summarize(fill->paints));
    }
}

// Bytes in use in all heaps of this process (the C runtime's and the system's), block by block.
std::size_t heapBytesInUse()
{
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    std::size_t total = 0;
    for (HANDLE heap : heaps) {
        if (!HeapLock(heap)) {
            continue;
        }
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heap, &entry)) {
            if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) {
                total += entry.cbData;
            }
        }
        HeapUnlock(heap);
    }
    return total;
}

double megabytesBetween(std::size_t before, std::size_t after)
{
    return (static_cast<double>(after) - static_cast<double>(before)) / (1024.0 * 1024.0);
}

// The heap megabytes that what `make` returns holds.
template <typename Make>
double heapMegabytesOf(Make make)
{
    const std::size_t before = heapBytesInUse();
    const auto kept = make();
    return megabytesBetween(before, heapBytesInUse());
}

bool sameRows(const std::vector<ProjectRow>& some, const std::vector<ProjectRow>& others)
{
    const auto sameRow = [](const ProjectRow& a, const ProjectRow& b) {
        return a.coreLabel == b.coreLabel && a.displayName == b.displayName && a.manageUrl == b.manageUrl &&
               a.publicUrl == b.publicUrl && a.slug == b.slug && a.status == b.status;
    };
    return std::equal(some.begin(), some.end(), others.begin(), others.end(), sameRow);
}

}  // namespace

// What the section on where a refresh goes measured and keeps for the experiments, and the
// client's window in this process, which stays up until both sections are done.
struct RefreshPhases::Measured {
    FetchedBody body;
    nlohmann::json answer;
    std::optional<InProcessClient> client;
    std::vector<ProjectRow> rows;    // as the client reads them
    std::vector<std::string> lines;  // as the client shows them
    std::vector<ListFill> fills;     // the client's way and the experiments', timed in turn
};

RefreshPhases::RefreshPhases(PhaseSetting setting)
    : setting_(std::move(setting)), measured_(std::make_unique<Measured>())
{
}

RefreshPhases::~RefreshPhases() = default;

void RefreshPhases::reportWhereARefreshGoes()
{
    std::printf("5. Where a refresh of %zu projects spends its time, step by step inside this program,\n"
                "   on the client's own code where it can be called and replays of its window messages\n",
                setting_.count);
    measured_->body = fetchProjectList(portOf(setting_.origin));
    measured_->answer = nlohmann::json::parse(measured_->body.bytes);
    std::printf("    answer: %zu projects, %.2f MB\n", setting_.count,
                static_cast<double>(measured_->body.bytes.size()) / 1e6);
    printWorkerThreadSteps();
    printWindowThreadSteps();
    std::printf("\n");
}

void RefreshPhases::printWorkerThreadSteps() const
{
    const std::string& bytes = measured_->body.bytes;
    const INTERNET_PORT port = portOf(setting_.origin);
    const std::string url = setting_.origin + kInstancesPath;
    // The three are taken in turn in each run, so that a busy moment of the machine falls on all.
    std::vector<double> gets;
    std::vector<double> parses;
    std::vector<double> requests;
    const HttpClient client;
    for (int run = 0; run < setting_.runs; ++run) {
        double start = nowMs();
        fetchProjectList(port);
        gets.push_back(nowMs() - start);
        {
            start = nowMs();
            const nlohmann::json parsed = nlohmann::json::parse(bytes);
            parses.push_back(nowMs() - start);
        }
        start = nowMs();
        const HttpResult result = client.request("GET", url, {}, kToken);
        requests.push_back(nowMs() - start);
    }
    std::printf("  on the worker thread (no window waits for it):\n");
    printPhase("WinHTTP GET of the whole body (the floor's request)", summarize(gets));
    printPhase("nlohmann::json::parse of the body", summarize(parses));
    printPhase("the client's HttpClient::request (GET, read, parse)", summarize(requests));
    printPhase("a worker thread started and its message handled", timed(setting_.runs, timeWorkerHandOver));
}

void RefreshPhases::printWindowThreadSteps()
{
    Measured& measured = *measured_;
    std::printf("  on the window thread (the window answers nothing meanwhile):\n");
    printClientsHandling();
    measured.rows = readProjects(measured.answer);
    printPhase("  reading the rows (readProjects), the old rows replaced", timed(setting_.runs, [&] {
                   const double start = nowMs();
                   measured.rows = readProjects(measured.answer);
                   return nowMs() - start;
               }));
    measured.lines.reserve(measured.rows.size());
    for (const ProjectRow& row : measured.rows) {
        measured.lines.push_back(projectLine(row));
    }
    measured.fills = timeListFills(measured.lines, setting_.runs);
    printFill(measured.fills, FillVariant::AsTheClient, "  painting the visible lines afterwards");
    printPhase("  freeing the parsed answer", timed(setting_.runs, [&] {
                   auto copy = std::make_unique<nlohmann::json>(measured.answer);
                   const double start = nowMs();
                   copy.reset();
                   return nowMs() - start;
               }));
}

void RefreshPhases::printClientsHandling()
{
    Measured& measured = *measured_;
    measured.client.emplace();
    if (!measured.client->ready()) {
        std::printf("    the client's window did not come up in this process\n");
        return;
    }
    measured.client->deliver(measured.answer);
    printPhase("the client's handling of the answer (its own code, all of it)", timed(setting_.runs, [&] {
                   nlohmann::json copy = measured.answer;
                   return measured.client->deliver(std::move(copy));
               }));
    const std::string loaded = loadedStatus(setting_.count);
    if (measured.client->status() != loaded) {
        std::printf("    (the client's status line says \"%s\", not \"%s\")\n", measured.client->status().c_str(),
                    loaded.c_str());
    }
}

void RefreshPhases::reportExperiments() const
{
    std::printf("6. Experiments (in this program only): other ways of taking a refresh's steps, on the same\n"
                "   answer of %zu projects, and the heap bytes that the answer takes in each form\n",
                setting_.count);
    printOtherWays();
    printHeapBytes();
}

void RefreshPhases::printOtherWays() const
{
    const Measured& measured = *measured_;
    std::printf("  other ways of taking the same steps:\n");
    printPhase("rows read straight from the bytes (nlohmann SAX, no parsed answer)", timed(setting_.runs, [&] {
                   const double start = nowMs();
                   const std::vector<ProjectRow> streamed = rowsStraightFromBytes(measured.body.bytes);
                   return nowMs() - start;
               }));
    printFill(measured.fills, FillVariant::PreallocatedToo, nullptr);
    printFill(measured.fills, FillVariant::WideLines, nullptr);
    printFill(measured.fills, FillVariant::OwnerData, "  painting its visible lines");
}

void RefreshPhases::printHeapBytes() const
{
    const Measured& measured = *measured_;
    const std::string& bytes = measured.body.bytes;
    std::printf("  memory that the answer takes (heap bytes in use in this process, MB = 2^20 bytes):\n");
    printMegabytes("the answer's bytes, as read", heapMegabytesOf([&] { return std::string(bytes); }));
    printMegabytes("the parsed answer (nlohmann::json)", heapMegabytesOf([&] { return nlohmann::json::parse(bytes); }));
    printMegabytes("the rows (readProjects)", heapMegabytesOf([&] { return readProjects(measured.answer); }));
    if (!sameRows(rowsStraightFromBytes(bytes), measured.rows)) {
        std::printf("    (the rows read straight from the bytes differ from the client's)\n");
    }
    const ListReplica list(FillVariant::AsTheClient, measured.lines);
    const std::size_t beforeFill = heapBytesInUse();
    list.refill();
    printMegabytes("the list box's lines", megabytesBetween(beforeFill, heapBytesInUse()));
}

}  // namespace vandreth::bench
