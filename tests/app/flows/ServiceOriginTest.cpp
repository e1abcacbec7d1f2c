// The access token and a link code go only to the service that issued them, whatever the URL
// box says by now. A second service, reached under another name, stands in for a mistyped
// address.

#include "CaseName.h"
#include "FlowFixture.h"

namespace vandreth::test {
namespace {

constexpr const char* kAccount =
    R"({"user":{"display_name":"Mira"},"available_cores":[{"key":"core-1","label":"Forge One"}]})";

class ServiceOriginTest : public FlowTest {
protected:
    // Requests that reached `service` with an Authorization line.
    static std::vector<std::string> credentialed(const LoopbackServer& service)
    {
        std::vector<std::string> lines;
        for (const auto& request : service.requests()) {
            if (request.header("Authorization")) {
                lines.push_back(request.requestLine);
            }
        }
        return lines;
    }

    LoopbackServer other;
};

TEST_F(ServiceOriginTest, AnotherAddressInTheBoxGetsNoCredentialAndTheFileKeepsTheTokensService)
{
    ASSERT_TRUE(startLinked(kAccount, kOneProjectAnswer));
    const std::size_t requestsBefore = server.requests().size();
    const std::string elsewhere = other.origin("localhost");
    client.setText(kOriginEdit, elsewhere);

    client.click(kRefreshButton);
    EXPECT_EQ(client.text(kStatusLine), linkedElsewhere(server.origin()));
    client.setText(kNameEdit, "Typo Forge");
    client.setText(kTagsEdit, "pvp");
    client.click(kCreateButton);
    EXPECT_EQ(client.text(kStatusLine), linkedElsewhere(server.origin()));
    EXPECT_EQ(client.text(kNameEdit), "Typo Forge");
    EXPECT_EQ(client.text(kTagsEdit), "pvp");
    EXPECT_TRUE(client.enabled(kRefreshButton));
    EXPECT_TRUE(client.enabled(kCreateButton));

    // A link code carries no credential, and is still asked for at the box's address.
    other.replyOnce("POST", kLinkStartPath, ScriptedReply::json(200, R"({"code":"ELSE-1"})"));
    other.reply("GET", kLinkPollPath, ScriptedReply::json(202, "{}"));
    client.click(kGenerateButton);
    ASSERT_TRUE(client.waitForStatus(kCodeReady)) << client.text(kStatusLine);
    EXPECT_EQ(appData.stateBytes(), stateFile(kToken));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(other.requestsTo(kLinkStartPath).size(), 1u);
    EXPECT_EQ(credentialed(other), std::vector<std::string>{});
    EXPECT_EQ(server.requests().size(), requestsBefore);

    EXPECT_EQ(client.close(), 0);
    EXPECT_EQ(appData.stateBytes(), stateFile(kToken));

    // The next start checks the account where the token came from, and nowhere else.
    server.replyOnce("GET", kMePath, ScriptedReply::json(200, kAccount));
    ClientHarness next;
    ASSERT_TRUE(next.start());
    EXPECT_EQ(next.text(kOriginEdit), server.origin());
    ASSERT_TRUE(waitForRequestsTo(kMePath, 2));
    EXPECT_EQ(server.requestsTo(kMePath)[1].header("Authorization"), std::string("Bearer ") + kToken);
    EXPECT_EQ(credentialed(other), std::vector<std::string>{});
}

// The token's service, spelt in the box another way.
struct SpellingCase {
    const char* name;
    std::string (*box)(const std::string& origin);
};

class SameServiceSpeltOtherwiseTest : public ServiceOriginTest, public ::testing::WithParamInterface<SpellingCase> {};

TEST_P(SameServiceSpeltOtherwiseTest, StillGetsTheRequestsAndTheFileKeepsTheTokensSpelling)
{
    // Linked at the server's "localhost" name, which has letters whose case can change.
    const std::string origin = server.origin("localhost");
    appData.writeState(stateFileBytes(origin, kDeviceId, kToken));
    server.replyOnce("GET", kMePath, ScriptedReply::json(200, kAccount));
    server.reply("GET", kInstancesPath, ScriptedReply::json(200, kOneProjectAnswer));
    ASSERT_TRUE(client.start());
    ASSERT_TRUE(client.waitForStatus(loadedStatus(1))) << client.text(kStatusLine);

    client.setText(kOriginEdit, GetParam().box(origin));
    server.replyOnce("GET", kInstancesPath, ScriptedReply::json(200, kOneProjectAnswer).heldUntil("list"));
    client.click(kRefreshButton);
    EXPECT_EQ(client.text(kStatusLine), kRefreshing);
    server.release("list");
    // The refresh is over before the create goes out, so that its answer cannot hide the create's.
    ASSERT_TRUE(client.waitForStatus(loadedStatus(1))) << client.text(kStatusLine);
    server.replyOnce("POST", kCreatePath, ScriptedReply::json(200, R"({"message":"Made."})"));
    // The list that the made RERI reloads waits until the create's text has been read.
    server.replyOnce("GET", kInstancesPath, ScriptedReply::json(200, kOneProjectAnswer).heldUntil("reload"));
    client.setText(kNameEdit, "Spelt");
    client.click(kCreateButton);
    ASSERT_TRUE(client.waitForStatus("Made.")) << client.text(kStatusLine);
    server.release("reload");
    ASSERT_TRUE(waitForRequestsTo(kInstancesPath, 3));
    ASSERT_TRUE(client.waitForStatus(loadedStatus(1))) << client.text(kStatusLine);
    for (const auto& request : server.requests()) {
        EXPECT_EQ(request.header("Authorization"), std::string("Bearer ") + kToken) << request.requestLine;
    }

    EXPECT_EQ(client.close(), 0);
    EXPECT_EQ(appData.stateBytes(), stateFileBytes(origin, kDeviceId, kToken));
}

INSTANTIATE_TEST_SUITE_P(
    Spellings, SameServiceSpeltOtherwiseTest,
    ::testing::Values(
        SpellingCase{"HostInCapitals",
                     [](const std::string& origin) {
                         std::string box = origin;
                         box.replace(box.find("localhost"), 9, "LocalHOST");
                         return box;
                     }},
        SpellingCase{"TrailingSlash", [](const std::string& origin) { return origin + "/"; }},
        SpellingCase{"SurroundedByBlanks", [](const std::string& origin) { return "  " + origin + " \t"; }}),
    CaseName());

TEST_F(ServiceOriginTest, ACodeIsPolledForOnlyWhereItWasIssued)
{
    OpenedLog opened;
    ASSERT_FALSE(opened.file().empty()) << "VANDRETH_OPENED_LOG is not set: run through CTest";
    ASSERT_TRUE(startClient());
    server.reply("GET", kLinkPollPath, ScriptedReply::json(202, "{}"));
    ASSERT_TRUE(issueCode("HERE-1"));
    ASSERT_TRUE(waitForRequestsTo(kLinkPollPath, 1));

    client.setText(kOriginEdit, other.origin("localhost"));
    {
        const FastTicker ticker(client);
        ASSERT_TRUE(waitForRequestsTo(kLinkPollPath, 3, 15s));
    }
    for (const auto& poll : server.requestsTo(kLinkPollPath)) {
        EXPECT_EQ(poll.target, std::string(kLinkPollPath) + "?code=HERE-1&device_id=" + kDeviceId);
    }
    // The pairing page of the service that issued the code.
    const auto mark = opened.mark();
    client.click(kPairingButton);
    EXPECT_EQ(opened.waitForLinesWith(server.origin(), mark),
              std::vector<std::string>{server.origin() + "/link/pc"});

    server.replyOnce("GET", kLinkPollPath, ScriptedReply::json(200, R"({"access_token":"tok-here"})"));
    server.replyOnce("GET", kMePath, ScriptedReply::json(200, kAccount));
    server.replyOnce("GET", kInstancesPath, ScriptedReply::json(200, kOneProjectAnswer));
    {
        const FastTicker ticker(client);
        ASSERT_TRUE(client.waitForStatus(loadedStatus(1), 15s)) << client.text(kStatusLine);
    }
    EXPECT_EQ(server.requestsTo(kMePath).at(0).header("Authorization"), "Bearer tok-here");
    EXPECT_EQ(appData.stateBytes(), stateFile("tok-here"));
    EXPECT_EQ(other.requests().size(), 0u);

    EXPECT_EQ(client.close(), 0);
    EXPECT_EQ(appData.stateBytes(), stateFile("tok-here"));
}

}  // namespace
}  // namespace vandreth::test
