#pragma once
// Runs the real client (VandrethWinApp::run, its window and message loop) on a thread of its
// own and drives it from the test's thread the way another program would: through the window's
// controls, by their ids. The client's state folder is a fresh APPDATA of the harness's own.

#include "HttpClient.h"

#include "WindowIds.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vandreth::test {


using namespace std::chrono_literals;

// A fresh folder that APPDATA names while the object lives (the previous value comes back after).
class ScopedAppData {
public:
    ScopedAppData();
    ~ScopedAppData();
    ScopedAppData(const ScopedAppData&) = delete;
    ScopedAppData& operator=(const ScopedAppData&) = delete;

    const std::filesystem::path& folder() const { return folder_; }
    std::filesystem::path stateFile() const;
    // The state file's bytes, or nothing when there is no file.
    std::optional<std::string> stateBytes() const;
    void writeState(const std::string& bytes) const;

private:
    std::filesystem::path folder_;
    std::optional<std::string> previous_;
};

// The file's bytes, or nothing when it cannot be read.
std::optional<std::string> fileBytes(const std::filesystem::path& path);

// The device id and access token of the state files that the tests write for the client.
inline constexpr const char* kDeviceId = "vdwin-18c3f2a91b0";
inline constexpr const char* kToken = "tok-7f3a";

// A project list of one project, and the line the client's list shows for it.
inline constexpr const char* kOneProjectAnswer =
    R"({"instances":[{"display_name":"Arena","slug":"arena-1","status":"active"}]})";
inline constexpr const char* kOneProjectLine = "Arena  [arena-1]  active";

// The unlinked and linked state files as the client writes them (CR LF, no final line end).
std::string stateFileBytes(const std::string& origin, const std::string& deviceId, const std::string& accessToken = "");

class ClientHarness {
public:
    ClientHarness() = default;
    ~ClientHarness();
    ClientHarness(const ClientHarness&) = delete;
    ClientHarness& operator=(const ClientHarness&) = delete;

    // Starts the client and waits until its main window exists. False when it never appeared.
    bool start();
    // The same, running `onClientThread` on the client's thread first, before the client creates
    // anything (for a hook that watches the client's thread, for instance).
    bool start(const std::function<void()>& onClientThread);
    // The same, with the HTTP client that the client's requests go through (shorter limits).
    bool start(const HttpClient& httpClient);
    // Closes the window as the user would (WM_CLOSE), waits for run() to return and gives its
    // exit code.
    int close();
    bool running() const { return thread_.joinable(); }
    // The thread the client runs on (0 before it has started).
    DWORD threadId() const { return threadId_; }

    HWND window() const { return window_; }
    HWND control(int id) const;

    std::string text(int id) const;
    void setText(int id, const std::string& text) const;
    // A click, as BM_CLICK: a disabled button ignores it.
    void click(int id) const;
    // WM_COMMAND for the id with notification code 0, whatever the button's state.
    void command(int id) const;
    void sendTimerTick(WPARAM timerId = kPollTimerId) const;
    bool enabled(int id) const;
    bool checked(int id) const;
    void setChecked(int id, bool checked) const;

    std::vector<std::string> listLines(int id = kProjectList) const;
    // Counts and single items, for lists too long to read whole.
    int listCount(int id = kProjectList) const;
    std::string listLine(int id, int index) const;
    int listSelection(int id = kProjectList) const;
    void selectListLine(int index, int id = kProjectList) const;
    std::vector<std::string> comboEntries(int id) const;
    int comboCount(int id) const;
    std::string comboEntry(int id, int index) const;
    int comboSelection(int id) const;
    void selectComboEntry(int id, int index) const;

    // Polls `condition` until it holds or `timeout` passes.
    static bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = 10s);
    bool waitForStatus(const std::string& status, std::chrono::milliseconds timeout = 10s) const;
    // Waits until the client's message loop has taken `count` result messages (the one a worker
    // posts, or a forged one) from its queue since the start, and has handled the last of them:
    // for answers that should change nothing visible. False when that does not happen in time.
    bool waitForResultsHandled(std::size_t count, std::chrono::milliseconds timeout = 10s) const;
    // How many result messages the client's message loop has taken from its queue so far.
    std::size_t resultsTaken() const { return resultsTaken_; }
    // The lParam of the result message taken last.
    LPARAM lastResultTaken() const { return lastResult_; }

private:
    bool start(const std::function<void()>& onClientThread, const HttpClient& httpClient);

    std::thread thread_;
    std::atomic<DWORD> threadId_{0};
    std::atomic<int> exitCode_{-1};
    std::atomic<std::size_t> resultsTaken_{0};
    std::atomic<LPARAM> lastResult_{0};
    HWND window_ = nullptr;
};

}  // namespace vandreth::test
