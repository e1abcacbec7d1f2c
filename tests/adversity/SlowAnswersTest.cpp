// A service that answers a byte at a time for ever: the client's request ends at its time
// limit (shortened here), says so, and gives its button back, while other requests go on.
#include "AdversityFixture.h"

#include "HttpClient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace vandreth::test {
namespace {

using namespace std::chrono_literals;
// Long enough for a create to be answered while the drip goes on, short enough for a test.
HttpClient clientWithShortLimits()
{
    HttpLimits limits;
    limits.exchange = 5s;
    return HttpClient(limits);
}

ScriptedReply endlessDrip()
{
    return ScriptedReply::slowDrip(200, std::string(1000000, ' '), 50ms);
}

class SlowAnswers : public testing::Test {
protected:
    ScopedAppData appData;
    LoopbackServer server;
    ClientHarness client;
};

TEST_F(SlowAnswers, RefreshEndsAtTheLimitWhileOtherRequestsGoOn)
{
    serveHealthyService(server);
    appData.writeState(stateFileBytes(server.origin(), kDeviceId, kToken));
    ASSERT_TRUE(client.start(clientWithShortLimits()));
    ASSERT_TRUE(client.waitForStatus(loadedStatus(1))) << client.text(kStatusLine);
    server.replyOnce("GET", kInstancesPath, endlessDrip());

    client.click(kRefreshButton);
    ASSERT_TRUE(client.waitFor([&] { return server.requestsTo(kInstancesPath).size() == 2; }));
    // A request that starts nothing after it (the list it asks for is still being refreshed),
    // so that no later answer puts its text over the steps below.
    sendRequestOf(TaskKind::CreateInstance, client);

    ASSERT_TRUE(client.waitForStatus(kCreateAnswered)) << client.text(kStatusLine);
    EXPECT_EQ(client.text(kNameEdit), "");
    EXPECT_FALSE(client.enabled(kRefreshButton));
    EXPECT_TRUE(client.waitForStatus(kTooSlow, 20s)) << client.text(kStatusLine);
    EXPECT_TRUE(client.enabled(kRefreshButton));
    EXPECT_EQ(client.listLines(), std::vector<std::string>{kHealthyProjectLine});
    EXPECT_TRUE(answersWmNull(client.window(), kWmNullLimit));

    client.click(kRefreshButton);
    EXPECT_TRUE(client.waitForStatus(loadedStatus(1))) << client.text(kStatusLine);
}

TEST_F(SlowAnswers, AccountCheckAtStartEndsAtTheLimit)
{
    serveHealthyService(server);
    server.replyOnce("GET", kMePath, endlessDrip());
    appData.writeState(stateFileBytes(server.origin(), kDeviceId, kToken));
    ASSERT_TRUE(client.start(clientWithShortLimits()));

    EXPECT_TRUE(client.waitForStatus(kTooSlow, 20s)) << client.text(kStatusLine);
    EXPECT_TRUE(client.enabled(kGenerateButton));
    EXPECT_TRUE(client.enabled(kPairingButton));
    // No answer came, so nothing is known against the token: the link stays.
    EXPECT_EQ(client.text(kAccountLine), kAccountUnchecked);
    EXPECT_TRUE(client.enabled(kRefreshButton));
    EXPECT_TRUE(client.enabled(kUnlinkButton));
    EXPECT_EQ(client.close(), 0);
    EXPECT_EQ(appData.stateBytes(), stateFileBytes(server.origin(), kDeviceId, kToken));
}

}  // namespace
}  // namespace vandreth::test
