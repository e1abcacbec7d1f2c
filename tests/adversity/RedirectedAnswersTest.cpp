// A service that answers the client's requests with a redirect to another address: nothing
// reaches that address, the token least of all, and the status line says why nothing came.
#include "AdversityFixture.h"
#include "CaseName.h"

#include <gtest/gtest.h>

#include <ostream>
#include <cstddef>
#include <string>
#include <vector>

namespace vandreth::test {
namespace {

struct RedirectCase {
    std::string name;
    TaskKind kind;
    std::string method;
    std::string path;
    int status;
    std::size_t requestsToPath;  // by the end, the start's own requests included
    int button;  // enabled again once the answer is handled
};

void PrintTo(const RedirectCase& row, std::ostream* out)
{
    *out << row.name;
}

class RedirectedRequests : public testing::TestWithParam<RedirectCase> {
protected:
    void redirectToElsewhere(const RedirectCase& c)
    {
        server.replyOnce(c.method, c.path,
                         ScriptedReply::withHeaders(c.status, {"Location: " + elsewhere.origin("localhost") + c.path},
                                                    R"({"message":"moved"})"));
    }

    ScopedAppData appData;
    LoopbackServer server;
    // Answers everything as a healthy service would, a link poll with a token of its own.
    LoopbackServer elsewhere;
    ClientHarness client;
};

TEST_P(RedirectedRequests, ReachNoOtherOriginAndSayWhy)
{
    const RedirectCase& c = GetParam();
    serveHealthyService(server);
    serveHealthyService(elsewhere);
    elsewhere.reply("GET", kLinkPollPath, ScriptedReply::json(200, R"({"access_token":"tok-elsewhere"})"));
    if (c.kind == TaskKind::Me) {
        redirectToElsewhere(c);
    }
    appData.writeState(stateFileBytes(server.origin(), kDeviceId, kToken));
    ASSERT_TRUE(client.start());
    if (c.kind != TaskKind::Me) {
        ASSERT_TRUE(client.waitForStatus(loadedStatus(1))) << client.text(kStatusLine);
        redirectToElsewhere(c);
    }

    sendRequestOf(c.kind, client);

    EXPECT_TRUE(client.waitForStatus(kRedirectRefused, std::chrono::seconds(10))) << client.text(kStatusLine);
    EXPECT_EQ(server.requestsTo(c.path).size(), c.requestsToPath);
    for (const RecordedRequest& leaked : elsewhere.requests()) {
        ADD_FAILURE() << "the other origin received: " << leaked.raw;
    }
    EXPECT_TRUE(client.enabled(c.button));
    if (c.kind == TaskKind::Instances) {
        EXPECT_EQ(client.listLines(), std::vector<std::string>{kHealthyProjectLine});
    }
    if (c.kind == TaskKind::CreateInstance) {
        // A create that did not happen keeps the form for another try.
        EXPECT_EQ(client.text(kNameEdit), "Forge");
    }
    // A redirect says nothing against the token: the link stays, and the token was sent to the
    // origin alone.
    EXPECT_TRUE(client.enabled(kUnlinkButton));
    EXPECT_EQ(client.close(), 0);
    EXPECT_EQ(appData.stateBytes(), stateFileBytes(server.origin(), kDeviceId, kToken));
    for (const RecordedRequest& request : server.requests()) {
        if (request.header("Authorization")) {
            EXPECT_EQ(request.header("Authorization"), std::string("Bearer ") + kToken) << request.requestLine;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RedirectedRequests,
    testing::Values(RedirectCase{"AccountCheckAtStart302", TaskKind::Me, "GET", kMePath, 302, 1, kGenerateButton},
                    RedirectCase{"Refresh301", TaskKind::Instances, "GET", kInstancesPath, 301, 2, kRefreshButton},
                    RedirectCase{"Create307", TaskKind::CreateInstance, "POST", kCreatePath, 307, 1, kCreateButton},
                    RedirectCase{"LinkPoll302", TaskKind::LinkPoll, "GET", kLinkPollPath, 302, 1, kGenerateButton}),
    CaseName());

// A redirect to a relative address on the same service, as web frameworks send it: the client
// asks there, with the token, and shows what it finds.
TEST(RelativeRedirect, OfARefreshIsFollowedAndTheListLoads)
{
    ScopedAppData appData;
    LoopbackServer server;
    ClientHarness client;
    serveHealthyService(server);
    appData.writeState(stateFileBytes(server.origin(), kDeviceId, kToken));
    ASSERT_TRUE(client.start());
    ASSERT_TRUE(client.waitForStatus(loadedStatus(1))) << client.text(kStatusLine);
    server.replyOnce("GET", kInstancesPath, ScriptedReply::withHeaders(302, {"Location: instances?page=1"}, "{}"));
    server.replyOnce("GET", kInstancesPath,
                     ScriptedReply::json(200, R"({"instances":[{"display_name":"Arena","slug":"arena-1"},)"
                                              R"({"display_name":"Forge","slug":"forge-2"}]})"));

    client.click(kRefreshButton);

    ASSERT_TRUE(client.waitForStatus(loadedStatus(2))) << client.text(kStatusLine);
    EXPECT_EQ(client.listCount(), 2);
    const auto asked = server.requestsTo(kInstancesPath);
    ASSERT_EQ(asked.size(), 3u);
    EXPECT_EQ(asked[2].target, std::string(kInstancesPath) + "?page=1");
    EXPECT_EQ(asked[2].header("Authorization"), std::string("Bearer ") + kToken);
}

}  // namespace
}  // namespace vandreth::test
