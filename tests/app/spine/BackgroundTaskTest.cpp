// Background tasks as the wire and the window show them: one task of a kind at a time, kinds
// side by side, the origin taken when a task starts, and a worker that outlives its window.

#include "CaseName.h"
#include "ClientHarness.h"
#include "ClientTexts.h"
#include "LoopbackServer.h"
#include "SpineSupport.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace vandreth::test {
namespace {

constexpr const char* kLinkStartAnswer = R"({"code":"KQ7-4M2","approve_url":""})";
constexpr const char* kMeAnswer =
    R"({"user":{"display_name":"Mira","plan_name":"Pro","reri_limit_label":"3 of 5"},"available_cores":[]})";

// A task kind started by a button, and another kind's button whose visible result shows that
// it ran beside it.
struct BusyCase {
    const char* name;
    int button;
    const char* method;
    const char* path;
    const char* statusText;
    int besideButton;
    const char* besidePath;
    int besideControl;
    std::string besideText;
};

// Failure messages name the row.
void PrintTo(const BusyCase& row, std::ostream* out)
{
    *out << row.name;
}

class BusyTask : public testing::TestWithParam<BusyCase> {};

TEST_P(BusyTask, StartsNothingMoreWhileInFlight)
{
    const BusyCase& c = GetParam();
    LoopbackServer server;
    // The session check hangs throughout: every task below runs beside it.
    server.reply("GET", kMePath, ScriptedReply::hang());
    server.reply("POST", kLinkStartPath, ScriptedReply::json(200, kLinkStartAnswer));
    server.reply("GET", kInstancesPath, ScriptedReply::json(200, kOneProjectAnswer));
    server.reply(c.method, c.path, ScriptedReply::hang());
    ScopedAppData appData;
    appData.writeState(linkedStateFile(server.origin()));
    ClientHarness client;
    ASSERT_TRUE(client.start());
    ASSERT_TRUE(server.waitForRequests(1, 10s));
    client.setText(kNameEdit, "Arena");

    ASSERT_TRUE(client.enabled(c.button));
    client.click(c.button);
    ASSERT_TRUE(server.waitForRequests(2, 10s));
    EXPECT_EQ(server.requestsTo(c.path).size(), 1u);
    EXPECT_FALSE(client.enabled(c.button));

    // Another text on the status line, then the command again, as if the button were enabled:
    // the command's own text is shown and stays, and nothing is sent.
    client.command(kOpenProjectButton);
    ASSERT_EQ(client.text(kStatusLine), "Select a project first.");
    client.command(c.button);
    EXPECT_EQ(client.text(kStatusLine), c.statusText);
    EXPECT_FALSE(client.enabled(c.button));

    // Another kind starts and finishes beside the two in flight; a second request of the busy
    // kind would have reached the server before it.
    client.click(c.besideButton);
    EXPECT_TRUE(client.waitFor([&] { return client.text(c.besideControl) == c.besideText; }));
    EXPECT_EQ(server.requestsTo(c.besidePath).size(), 1u);
    EXPECT_EQ(server.requestsTo(c.path).size(), 1u);
    EXPECT_EQ(server.requestsTo(kMePath).size(), 1u);
    EXPECT_FALSE(client.enabled(c.button));
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, BusyTask,
    testing::Values(BusyCase{"LinkStart", kGenerateButton, "POST", kLinkStartPath, kRequestingCode, kRefreshButton,
                             kInstancesPath, kStatusLine, loadedStatus(1)},
                    BusyCase{"Instances", kRefreshButton, "GET", kInstancesPath, kRefreshing, kGenerateButton,
                             kLinkStartPath, kLinkCodeEdit, "KQ7-4M2"},
                    BusyCase{"CreateInstance", kCreateButton, "POST", kCreatePath, kCreating, kGenerateButton,
                             kLinkStartPath, kLinkCodeEdit, "KQ7-4M2"}),
    CaseName());

TEST(BusyTask, FailedRequestClearsItsKind)
{
    LoopbackServer server;
    server.reply("GET", kMePath, ScriptedReply::hang());
    server.reply("GET", kInstancesPath, ScriptedReply::closeWithoutAnswer());
    ScopedAppData appData;
    appData.writeState(linkedStateFile(server.origin()));
    ClientHarness client;
    ASSERT_TRUE(client.start());

    for (std::size_t attempt = 1; attempt <= 2; ++attempt) {
        SCOPED_TRACE(attempt);
        ASSERT_TRUE(client.enabled(kRefreshButton));
        client.click(kRefreshButton);
        // The failure comes back as a text of its own and enables the button again.
        ASSERT_TRUE(client.waitFor([&] {
            return client.enabled(kRefreshButton) && client.text(kStatusLine) != kRefreshing;
        }));
        EXPECT_NE(client.text(kStatusLine), "");
        EXPECT_EQ(server.requestsTo(kInstancesPath).size(), attempt);
    }
}

TEST(TaskOrigin, IsTakenWhenTheTaskStarts)
{
    LoopbackServer first;
    LoopbackServer second;
    second.reply("POST", kLinkStartPath, ScriptedReply::json(200, "{}"));
    ScopedAppData appData;
    appData.writeState(stateFileBytes(first.origin(), kDeviceId));
    ClientHarness client;
    ASSERT_TRUE(client.start());

    client.setText(kOriginEdit, "  " + second.origin() + "///  ");
    client.click(kGenerateButton);
    ASSERT_TRUE(client.waitForStatus(kCodeReady));

    EXPECT_TRUE(first.requests().empty());
    const auto toSecond = second.requests();
    ASSERT_EQ(toSecond.size(), 1u);
    // The new text, normalised: no blanks, no trailing slashes.
    EXPECT_EQ(toSecond[0].requestLine, "POST /api/pc/link/start HTTP/1.1");
    EXPECT_EQ(toSecond[0].header("Host"), "127.0.0.1:" + std::to_string(second.port()));
}

TEST(Worker, OutlivesItsWindowHarmlessly)
{
    LoopbackServer server;
    ScopedAppData appData;
    appData.writeState(linkedStateFile(server.origin()));

    // The first client's check is answered only after that client has gone.
    server.replyOnce("GET", kMePath,
                     ScriptedReply::json(200, R"({"user":{"display_name":"Gone"},"available_cores":[]})")
                         .delayed(1500ms));
    {
        ClientHarness client;
        ASSERT_TRUE(client.start());
        ASSERT_TRUE(server.waitForRequests(1, 10s));
        EXPECT_EQ(client.close(), 0);
    }

    // A later client in the same process works, and only its own answers reach its window.
    // Its check is answered after the first client's, which is then long delivered (or not).
    server.replyOnce("GET", kMePath, ScriptedReply::json(200, kMeAnswer).delayed(3000ms));
    server.reply("GET", kInstancesPath, ScriptedReply::json(200, kOneProjectAnswer));
    ClientHarness later;
    ASSERT_TRUE(later.start());
    ASSERT_TRUE(later.waitForStatus(loadedStatus(1), 15s));
    EXPECT_EQ(later.text(kAccountLine), "Signed in as Mira");
    EXPECT_EQ(later.listLines(), std::vector<std::string>{kOneProjectLine});
    EXPECT_EQ(server.requestsTo(kMePath).size(), 2u);
    EXPECT_EQ(later.close(), 0);
}

}  // namespace
}  // namespace vandreth::test
