#include "FlowFixture.h"

#include <nlohmann/json.hpp>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace vandreth::test {

std::string uniqueMarker()
{
    static std::atomic<unsigned> counter{0};
    char text[64];
    std::snprintf(text, sizeof(text), "m%lx-%llx-%x", GetCurrentProcessId(),
                  static_cast<unsigned long long>(GetTickCount64()), counter++);
    return text;
}

OpenedLog::OpenedLog()
{
    if (const char* linuxPath = std::getenv("VANDRETH_OPENED_LOG"); linuxPath != nullptr && *linuxPath == '/') {
        file_ = std::filesystem::path(std::string("Z:") + linuxPath);
    }
}

std::size_t OpenedLog::mark() const
{
    std::error_code error;
    const auto size = std::filesystem::file_size(file_, error);
    return error ? 0 : static_cast<std::size_t>(size);
}

std::vector<std::string> OpenedLog::linesSince(std::size_t mark) const
{
    std::ifstream in(file_, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(mark));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> OpenedLog::waitForLinesWith(const std::string& marker, std::size_t mark,
                                                     std::chrono::milliseconds timeout) const
{
    std::vector<std::string> found;
    ClientHarness::waitFor(
        [&] {
            found.clear();
            for (const std::string& line : linesSince(mark)) {
                if (line.find(marker) != std::string::npos) {
                    found.push_back(line);
                }
            }
            return !found.empty();
        },
        timeout);
    return found;
}

FastTicker::FastTicker(const ClientHarness& client)
    : thread_([this, &client] {
          while (!stop_) {
              client.sendTimerTick();
              std::this_thread::sleep_for(25ms);
          }
      })
{
}

FastTicker::~FastTicker()
{
    stop_ = true;
    thread_.join();
}

::testing::AssertionResult FlowTest::startClient(const std::string& token)
{
    appData.writeState(stateFile(token));
    if (!client.start()) {
        return ::testing::AssertionFailure() << "the client's window did not appear";
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult FlowTest::startLinked(const std::string& meBody, const std::string& instancesBody)
{
    server.replyOnce("GET", kMePath, ScriptedReply::json(200, meBody));
    server.replyOnce("GET", kInstancesPath, ScriptedReply::json(200, instancesBody));
    if (auto started = startClient(kToken); !started) {
        return started;
    }
    if (!client.waitFor([&] { return client.text(kStatusLine).rfind("Loaded ", 0) == 0; })) {
        return ::testing::AssertionFailure() << "the projects never loaded; the status says \""
                                             << client.text(kStatusLine) << '"';
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult FlowTest::issueCode(const std::string& code, const std::string& approveUrl)
{
    nlohmann::json answer{{"code", code}};
    if (!approveUrl.empty()) {
        answer["approve_url"] = approveUrl;
    }
    server.replyOnce("POST", kLinkStartPath, ScriptedReply::json(200, answer.dump()));
    client.click(kGenerateButton);
    if (!client.waitFor([&] { return client.text(kLinkCodeEdit) == code && client.text(kStatusLine) == kCodeReady; })) {
        return ::testing::AssertionFailure() << "the code never showed; the status says \"" << client.text(kStatusLine)
                                             << '"';
    }
    return ::testing::AssertionSuccess();
}

bool FlowTest::waitForRequestsTo(std::string_view path, std::size_t count, std::chrono::milliseconds timeout) const
{
    return ClientHarness::waitFor([&] { return requestCount(path) >= count; }, timeout);
}

std::string jsonWith(const std::string& name, const std::string& value)
{
    return nlohmann::json{{name, value}}.dump();
}

void expectUnlinkedWindow(const ClientHarness& client)
{
    EXPECT_EQ(client.text(kAccountLine), kNotLinkedYet);
    EXPECT_EQ(client.text(kPlanLine), kNoPlan);
    EXPECT_EQ(client.text(kLimitLine), kNoLimit);
    EXPECT_EQ(client.listLines(), std::vector<std::string>{});
    EXPECT_EQ(client.comboEntries(kCoreCombo), std::vector<std::string>{kNoCores});
    EXPECT_EQ(client.comboSelection(kCoreCombo), 0);
    EXPECT_FALSE(client.enabled(kRefreshButton));
    EXPECT_FALSE(client.enabled(kUnlinkButton));
    EXPECT_FALSE(client.enabled(kCreateButton));
    EXPECT_FALSE(client.enabled(kOpenProjectButton));
    EXPECT_TRUE(client.enabled(kGenerateButton));
}

void FlowTest::expectOnlyALinkCodeRequestFollows()
{
    server.replyOnce("POST", kLinkStartPath, ScriptedReply::json(200, "{}"));
    client.click(kGenerateButton);
    ASSERT_TRUE(server.waitForRequests(1, 10s));
    std::this_thread::sleep_for(200ms);
    ASSERT_EQ(server.requests().size(), 1u);
    EXPECT_EQ(server.requests()[0].path, kLinkStartPath);
}

}  // namespace vandreth::test
