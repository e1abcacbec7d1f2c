#include "RefreshPhases.h"

#include "AnswerReaders.h"
#include "AppTypes.h"
#include "ChildProcess.h"
#include "Clock.h"
#include "FloorRequest.h"
#include "HttpClient.h"
#include "TextHelpers.h"
#include "VandrethWinApp.h"
#include "WindowIds.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace vandreth::bench {

namespace {

constexpr const char* kReplicaClass = "VandrethBenchListParent";
// Posted to a message-only window of this program when a worker's hand-over is timed: the
// benchmark's own message, unrelated to the client's kAsyncMessage.
constexpr UINT kHandOverMessage = WM_APP + 7;
// The project list as the main window makes it: style, extended style, place and font.
constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY;

// The client's main window and message loop on a thread of this process, unlinked, so that an
// answer can be handed to its window thread and timed there exactly.
class InProcessClient {
public:
    InProcessClient()
        : thread_([] {
              INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
              InitCommonControlsEx(&controls);
              VandrethWinApp app;
              app.run(GetModuleHandleW(nullptr), SW_SHOWNOACTIVATE);
          })
    {
        const double deadline = nowMs() + 20000;
        while (window_ == nullptr && nowMs() < deadline) {
            window_ = findProcessWindow(GetCurrentProcessId(), kWindowClass);
            Sleep(1);
        }
        if (window_ != nullptr) {
            status_ = waitForControl(window_, kStatusLine, 10000);
        }
    }
    ~InProcessClient()
    {
        if (window_ != nullptr) {
            PostMessageA(window_, WM_CLOSE, 0, 0);
        }
        thread_.join();
    }
    InProcessClient(const InProcessClient&) = delete;
    InProcessClient& operator=(const InProcessClient&) = delete;

    bool ready() const { return status_ != nullptr; }

    // Hands over a project-list answer as a worker does, but sent rather than posted, so the
    // call returns when the window thread has finished with it (its freeing included).
    double deliver(nlohmann::json answer) const
    {
        auto result = std::make_unique<TaskResult>();
        result->kind = TaskKind::Instances;
        result->http.statusCode = 200;
        result->http.json = std::move(answer);
        const double start = nowMs();
        SendMessageA(window_, kAsyncMessage, 0, reinterpret_cast<LPARAM>(result.release()));
        return nowMs() - start;
    }

    std::string status() const { return windowText(status_); }

private:
    HWND window_ = nullptr;
    HWND status_ = nullptr;
    std::thread thread_;
};

enum class FillVariant {
    AsTheClient,     // the client's messages: redraw off, reset, one LB_ADDSTRING a line, select, redraw on
    PreallocatedToo, // the same after LB_INITSTORAGE for every line and its bytes
    WideLines,       // the same with the lines converted to UTF-16 here and sent with the wide message
    OwnerData,       // LBS_NODATA | LBS_OWNERDRAWFIXED: the list box keeps a count, the lines stay in the program
};

// Reads the rows straight from the answer's bytes, without building the parsed answer: the
// variant that shows what the parsed answer costs. Members other than the six strings of a
// project are skipped; the answer is one object whose "instances" is an array of objects.
class RowsReader : public nlohmann::json_sax<nlohmann::json> {
public:
    std::vector<ProjectRow> rows;

    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool string(string_t& value) override
    {
        if (depth_ == 3 && field_ != nullptr) {
            *field_ = std::move(value);
        }
        return true;
    }
    bool start_object(std::size_t) override
    {
        ++depth_;
        if (depth_ == 3 && inInstances_) {
            rows.emplace_back();
        }
        return true;
    }
    bool key(string_t& name) override
    {
        if (depth_ == 1) {
            instancesNext_ = name == "instances";
        } else if (depth_ == 3 && inInstances_) {
            field_ = fieldNamed(rows.back(), name);
        }
        return true;
    }
    bool end_object() override
    {
        --depth_;
        field_ = nullptr;
        return true;
    }
    bool start_array(std::size_t) override
    {
        ++depth_;
        inInstances_ = depth_ == 2 && instancesNext_;
        return true;
    }
    bool end_array() override
    {
        if (depth_ == 2) {
            inInstances_ = false;
        }
        --depth_;
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override { return false; }

private:
    static std::string* fieldNamed(ProjectRow& row, const std::string& name)
    {
        if (name == "core_label") {
            return &row.coreLabel;
        }
        if (name == "display_name") {
            return &row.displayName;
        }
        if (name == "manage_url") {
            return &row.manageUrl;
        }
        if (name == "public_url") {
            return &row.publicUrl;
        }
        if (name == "slug") {
            return &row.slug;
        }
        return name == "status" ? &row.status : nullptr;
    }

    int depth_ = 0;
    bool instancesNext_ = false;
    bool inInstances_ = false;
    std::string* field_ = nullptr;
};

std::vector<ProjectRow> rowsStraightFromBytes(const std::string& bytes)
{
    RowsReader reader;
    nlohmann::json::sax_parse(bytes, &reader);
    return std::move(reader.rows);
}

// A window of the main window's size that holds one list box placed and styled as the client's
// project list, on this thread.
class ListReplica {
public:
    ListReplica(FillVariant variant, const std::vector<std::string>& lines) : variant_(variant), lines_(lines)
    {
        static const bool registered = [] {
            WNDCLASSEXA windowClass{};
            windowClass.cbSize = sizeof(windowClass);
            windowClass.lpfnWndProc = parentProc;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
            windowClass.lpszClassName = kReplicaClass;
            return RegisterClassExA(&windowClass) != 0;
        }();
        font_ = CreateFontA(-18, 0, 0, 0, FW_MEDIUM, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Segoe UI");
        parent_ = registered ? CreateWindowExA(0, kReplicaClass, "List replica", WS_OVERLAPPED | WS_CAPTION,
                                               CW_USEDEFAULT, CW_USEDEFAULT, 1080, 760, nullptr, nullptr,
                                               GetModuleHandleW(nullptr), this)
                             : nullptr;
        const DWORD style = variant == FillVariant::OwnerData ? kListStyle | LBS_NODATA | LBS_OWNERDRAWFIXED : kListStyle;
        list_ = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "", style, 20, 246, 500, 360, parent_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kProjectList)), GetModuleHandleW(nullptr), nullptr);
        SendMessageA(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), TRUE);
        ShowWindow(parent_, SW_SHOWNOACTIVATE);
        UpdateWindow(parent_);
    }
    ~ListReplica()
    {
        DestroyWindow(parent_);
        DeleteObject(font_);
    }
    ListReplica(const ListReplica&) = delete;
    ListReplica& operator=(const ListReplica&) = delete;

    bool ready() const { return list_ != nullptr; }

    // Refills the list from `lines_`; its time, then the time of painting what is visible.
    std::pair<double, double> refill() const
    {
        const double start = nowMs();
        SendMessageA(list_, WM_SETREDRAW, FALSE, 0);
        SendMessageA(list_, LB_RESETCONTENT, 0, 0);
        switch (variant_) {
        case FillVariant::AsTheClient:
            addLines();
            break;
        case FillVariant::PreallocatedToo: {
            std::size_t bytes = 0;
            for (const std::string& line : lines_) {
                bytes += line.size() + 1;
            }
            SendMessageA(list_, LB_INITSTORAGE, lines_.size(), static_cast<LPARAM>(bytes));
            addLines();
            break;
        }
        case FillVariant::WideLines:
            for (const std::string& line : lines_) {
                const std::wstring wide = widen(line);
                SendMessageW(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str()));
            }
            break;
        case FillVariant::OwnerData:
            SendMessageA(list_, LB_SETCOUNT, lines_.size(), 0);
            break;
        }
        if (!lines_.empty()) {
            SendMessageA(list_, LB_SETCURSEL, 0, 0);
        }
        SendMessageA(list_, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list_, nullptr, TRUE);
        const double filled = nowMs();
        UpdateWindow(list_);
        return {filled - start, nowMs() - filled};
    }

    std::size_t count() const { return static_cast<std::size_t>(SendMessageA(list_, LB_GETCOUNT, 0, 0)); }

private:
    void addLines() const
    {
        for (const std::string& line : lines_) {
            SendMessageA(list_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
        }
    }

    static LRESULT CALLBACK parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        if (message == WM_NCCREATE) {
            SetWindowLongPtrA(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams));
        }
        const auto* replica = reinterpret_cast<const ListReplica*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (message == WM_DRAWITEM && replica != nullptr) {
            replica->drawLine(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        if (message == WM_MEASUREITEM) {
            reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)->itemHeight = 24;
            return TRUE;
        }
        return DefWindowProcA(window, message, wParam, lParam);
    }

    void drawLine(const DRAWITEMSTRUCT& item) const
    {
        if (item.itemID >= lines_.size()) {
            return;
        }
        const bool selected = (item.itemState & ODS_SELECTED) != 0;
        FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
        SetBkMode(item.hDC, TRANSPARENT);
        SetTextColor(item.hDC, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
        RECT area = item.rcItem;
        const std::string& line = lines_[item.itemID];
        DrawTextA(item.hDC, line.c_str(), static_cast<int>(line.size()), &area,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }

    FillVariant variant_;
    const std::vector<std::string>& lines_;
    HFONT font_ = nullptr;
    HWND parent_ = nullptr;
    HWND list_ = nullptr;
};

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

// The heap megabytes that what `make` returns holds.
template <typename Make>
double heapMegabytesOf(Make make)
{
    const std::size_t before = heapBytesInUse();
    const auto kept = make();
    const std::size_t after = heapBytesInUse();
    return (static_cast<double>(after) - static_cast<double>(before)) / (1024.0 * 1024.0);
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

}  // namespace

void reportRefreshPhases(const PhaseSetting& setting)
{
    const std::size_t portAt = setting.origin.rfind(':');
    const std::wstring host = L"127.0.0.1";
    const auto port = static_cast<INTERNET_PORT>(std::stoi(setting.origin.substr(portAt + 1)));
    const std::string url = setting.origin + "/api/pc/instances";
    const int runs = setting.runs;

    const FetchedBody body = fetchBody(host, port, L"/api/pc/instances", setting.token);
    const nlohmann::json answer = nlohmann::json::parse(body.bytes);
    std::printf("    answer: %zu projects, %.2f MB\n", setting.count, static_cast<double>(body.bytes.size()) / 1e6);

    // The three are taken in turn in each run, so that a busy moment of the machine falls on all.
    std::vector<double> gets;
    std::vector<double> parses;
    std::vector<double> requests;
    const HttpClient client;
    for (int run = 0; run < runs; ++run) {
        double start = nowMs();
        fetchBody(host, port, L"/api/pc/instances", setting.token);
        gets.push_back(nowMs() - start);
        {
            start = nowMs();
            const nlohmann::json parsed = nlohmann::json::parse(body.bytes);
            parses.push_back(nowMs() - start);
        }
        start = nowMs();
        const HttpResult result = client.request("GET", url, {}, setting.token);
        requests.push_back(nowMs() - start);
    }
    std::printf("  on the worker thread (no window waits for it):\n");
    printPhase("WinHTTP GET of the whole body (the floor's request)", summarize(gets));
    printPhase("nlohmann::json::parse of the body", summarize(parses));
    printPhase("the client's HttpClient::request (GET, read, parse)", summarize(requests));
    printPhase("a worker thread started and its message handled", timed(runs, [&] {
                   // The same hand-over as a task's, to a window of this thread.
                   HWND target = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                                 GetModuleHandleW(nullptr), nullptr);
                   const double start = nowMs();
                   std::thread([target] { PostMessageA(target, kHandOverMessage, 0, 0); }).detach();
                   MSG message{};
                   while (GetMessageA(&message, target, 0, 0) > 0 && message.message != kHandOverMessage) {
                   }
                   const double end = nowMs();
                   DestroyWindow(target);
                   return end - start;
               }));

    std::printf("  on the window thread (the window answers nothing meanwhile):\n");
    const InProcessClient inProcess;
    if (!inProcess.ready()) {
        std::printf("    the client's window did not come up in this process\n");
        return;
    }
    inProcess.deliver(answer);
    const std::string loaded = "Loaded " + std::to_string(setting.count) + " Vandreth project(s).";
    printPhase("the client's handling of the answer (its own code, all of it)", timed(runs, [&] {
                   nlohmann::json copy = answer;
                   return inProcess.deliver(std::move(copy));
               }));
    if (inProcess.status() != loaded) {
        std::printf("    (the client's status line says \"%s\", not \"%s\")\n", inProcess.status().c_str(), loaded.c_str());
    }
    std::vector<ProjectRow> rows = readProjects(answer);
    printPhase("  reading the rows (readProjects), the old rows replaced", timed(runs, [&] {
                   const double start = nowMs();
                   rows = readProjects(answer);
                   return nowMs() - start;
               }));
    std::vector<std::string> lines;
    lines.reserve(rows.size());
    for (const ProjectRow& row : rows) {
        lines.push_back(projectLine(row));
    }
    // Every variant refills its own list box in each run, in turn, so that a busy moment of the
    // machine falls on all of them.
    struct Fill {
        FillVariant variant;
        const char* name;
        std::unique_ptr<ListReplica> replica;
        std::vector<double> fills;
        std::vector<double> paints;
    };
    std::vector<Fill> fills;
    fills.push_back({FillVariant::AsTheClient, "  refilling the list box (the client's messages, replayed)", nullptr, {}, {}});
    fills.push_back({FillVariant::PreallocatedToo, "LB_INITSTORAGE first, then the same messages", nullptr, {}, {}});
    fills.push_back({FillVariant::WideLines, "lines widened here, sent as LB_ADDSTRING to the wide list", nullptr, {}, {}});
    fills.push_back({FillVariant::OwnerData, "owner-data list (LBS_NODATA): LB_SETCOUNT only", nullptr, {}, {}});
    for (Fill& fill : fills) {
        fill.replica = std::make_unique<ListReplica>(fill.variant, lines);
        fill.replica->refill();
    }
    for (int run = 0; run < runs; ++run) {
        for (Fill& fill : fills) {
            const auto [filled, painted] = fill.replica->refill();
            fill.fills.push_back(filled);
            fill.paints.push_back(painted);
        }
    }
    const auto printFill = [&](const Fill& fill, const char* paintName) {
        if (!fill.replica->ready() || fill.replica->count() != lines.size()) {
            std::printf("    %s: the list box did not take the lines\n", fill.name);
            return;
        }
        printPhase(fill.name, summarize(fill.fills));
        if (paintName != nullptr) {
            printPhase(paintName, summarize(fill.paints));
        }
    };
    printFill(fills[0], "  painting the visible lines afterwards");
    printPhase("  freeing the parsed answer", timed(runs, [&] {
                   auto copy = std::make_unique<nlohmann::json>(answer);
                   const double start = nowMs();
                   copy.reset();
                   return nowMs() - start;
               }));

    std::printf("  variants (in this program only):\n");
    printPhase("rows read straight from the bytes (nlohmann SAX, no parsed answer)", timed(runs, [&] {
                   const double start = nowMs();
                   const std::vector<ProjectRow> streamed = rowsStraightFromBytes(body.bytes);
                   return nowMs() - start;
               }));
    printFill(fills[1], nullptr);
    printFill(fills[2], nullptr);
    printFill(fills[3], "  painting its visible lines");
    fills.clear();

    std::printf("  memory that the answer takes (heap bytes in use in this process, MB = 2^20 bytes):\n");
    std::printf("    %-68s %9.1f MB\n", "the answer's bytes, as read",
                heapMegabytesOf([&] { return std::string(body.bytes); }));
    std::printf("    %-68s %9.1f MB\n", "the parsed answer (nlohmann::json)",
                heapMegabytesOf([&] { return nlohmann::json::parse(body.bytes); }));
    std::printf("    %-68s %9.1f MB\n", "the rows (readProjects)", heapMegabytesOf([&] { return readProjects(answer); }));
    const std::vector<ProjectRow> streamed = rowsStraightFromBytes(body.bytes);
    const auto sameRow = [](const ProjectRow& a, const ProjectRow& b) {
        return a.coreLabel == b.coreLabel && a.displayName == b.displayName && a.manageUrl == b.manageUrl &&
               a.publicUrl == b.publicUrl && a.slug == b.slug && a.status == b.status;
    };
    if (!std::equal(streamed.begin(), streamed.end(), rows.begin(), rows.end(), sameRow)) {
        std::printf("    (the rows read straight from the bytes differ from the client's)\n");
    }
    const ListReplica emptyList(FillVariant::AsTheClient, lines);
    const std::size_t beforeFill = heapBytesInUse();
    emptyList.refill();
    std::printf("    %-68s %9.1f MB\n", "the list box's lines",
                (static_cast<double>(heapBytesInUse()) - static_cast<double>(beforeFill)) / (1024.0 * 1024.0));
}

}  // namespace vandreth::bench
