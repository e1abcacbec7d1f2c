#pragma once
// What the flow tests share: the client with an APPDATA of its own, pointed at a loopback server
// that stands in for the service, and the record of the addresses that reached the shell.

#include "ClientHarness.h"
#include "ClientTexts.h"
#include "LoopbackServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vandreth::test {

inline constexpr const char* kNotAWebPage =
    "Vandreth opens only web pages (http or https addresses), so this address was not opened.";

// A lower-case name that no other test, in this process or another, uses: for addresses that
// have to be told apart in the opened-address log, which all tests share.
std::string uniqueMarker();

// The addresses that the stand-in xdg-open received, one a line, in the file that
// VANDRETH_OPENED_LOG names (a Linux path, read here through Wine's Z: drive).
class OpenedLog {
public:
    OpenedLog();

    // Empty when the variable is not set (the test was not started by CTest).
    const std::filesystem::path& file() const { return file_; }
    // Where the log ends now; lines written later come after it.
    std::size_t mark() const;
    std::vector<std::string> linesSince(std::size_t mark) const;
    // Waits until a line after `mark` contains `marker`, and gives every such line then.
    std::vector<std::string> waitForLinesWith(const std::string& marker, std::size_t mark,
                                              std::chrono::milliseconds timeout = 20s) const;

private:
    std::filesystem::path file_;
};

// Sends the poll timer's tick every 25 ms while it lives, so that a poll that falls due goes
// out at once instead of at the next one-second tick.
class FastTicker {
public:
    explicit FastTicker(const ClientHarness& client);
    ~FastTicker();
    FastTicker(const FastTicker&) = delete;
    FastTicker& operator=(const FastTicker&) = delete;

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The client against a loopback server; the state file names the server as the origin.
class FlowTest : public ::testing::Test {
protected:
    // Writes the state file (the server's origin, kDeviceId, and `token` when not empty) and
    // starts the client.
    ::testing::AssertionResult startClient(const std::string& token = "");
    // A linked start: Me answers `meBody`, the first project list `instancesBody`; returns once
    // that list is shown.
    ::testing::AssertionResult startLinked(const std::string& meBody, const std::string& instancesBody);
    // Generate Link Code answered with `code` (and the approval page `approveUrl` when not
    // empty); returns once the code is shown. The caller scripts the polls.
    ::testing::AssertionResult issueCode(const std::string& code, const std::string& approveUrl = "");

    std::string stateFile(const std::string& token = "") const { return stateFileBytes(server.origin(), kDeviceId, token); }
    // Waits until at least `count` requests to `path` have arrived.
    bool waitForRequestsTo(std::string_view path, std::size_t count, std::chrono::milliseconds timeout = 10s) const;
    std::size_t requestCount(std::string_view path) const { return server.requestsTo(path).size(); }
    // Clicks Generate Link Code and checks that its request is the only one the server has seen:
    // a request that does go out shows that none went before it.
    void expectOnlyALinkCodeRequestFollows();

    ScopedAppData appData;
    LoopbackServer server;
    ClientHarness client;
};

// The window of a client that holds no link: the account lines reset, both lists empty, only
// Generate Link Code (and Open Pairing Page) enabled.
void expectUnlinkedWindow(const ClientHarness& client);

// A JSON object with one string member, escaped as JSON needs.
std::string jsonWith(const std::string& name, const std::string& value);

}  // namespace vandreth::test
