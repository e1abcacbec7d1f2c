// The account check and the project list: the summary lines, the cores, the list box, and what
// a failed check takes away.

#include "CaseName.h"
#include "FlowFixture.h"

namespace vandreth::test {
namespace {

struct MeCase {
    const char* name;
    std::string body;
    std::string account;
    std::string plan;
    std::string limit;
    std::vector<std::string> cores;
};

class MeAnswerTest : public FlowTest, public ::testing::WithParamInterface<MeCase> {};

TEST_P(MeAnswerTest, FillsTheSummaryAndTheCoresThenLoadsTheProjects)
{
    server.reply("GET", kMePath, ScriptedReply::json(200, GetParam().body));
    // The project list stays unanswered, so the account check's own text stays on the status line.
    server.reply("GET", kInstancesPath, ScriptedReply::hang());
    ASSERT_TRUE(startClient(kToken));

    ASSERT_TRUE(client.waitForStatus(kSessionReady)) << client.text(kStatusLine);
    EXPECT_EQ(client.text(kAccountLine), GetParam().account);
    EXPECT_EQ(client.text(kPlanLine), GetParam().plan);
    EXPECT_EQ(client.text(kLimitLine), GetParam().limit);
    EXPECT_EQ(client.comboEntries(kCoreCombo), GetParam().cores);
    EXPECT_EQ(client.comboSelection(kCoreCombo), 0);

    EXPECT_EQ(server.requestsTo(kMePath)[0].header("Authorization"), std::string("Bearer ") + kToken);
    ASSERT_TRUE(waitForRequestsTo(kInstancesPath, 1));
    const auto list = server.requestsTo(kInstancesPath)[0];
    EXPECT_EQ(list.method, "GET");
    EXPECT_EQ(list.header("Authorization"), std::string("Bearer ") + kToken);
    EXPECT_EQ(appData.stateBytes(), stateFile(kToken));
}

const std::vector<std::string> kNoCoreEntries{kNoCores};

INSTANTIATE_TEST_SUITE_P(
    Answers, MeAnswerTest,
    ::testing::Values(
        MeCase{"Complete",
               R"({"user":{"display_name":"Mira Okafor","plan_name":"Creator","reri_limit_label":"3 of 5"},)"
               R"("available_cores":[{"key":"core-1","label":"Forge One"},{"key":"core-2"},{},17,)"
               R"({"label":"Label only"}]})",
               "Signed in as Mira Okafor", "Plan: Creator", "Limit: 3 of 5",
               {"Forge One", "core-2", "", "", "Label only"}},
        MeCase{"EmptyBody", "", "Signed in as Vandreth user", "Plan: Free", "Limit: -", kNoCoreEntries},
        MeCase{"NotJson", "<html>ok</html>", "Signed in as Vandreth user", "Plan: Free", "Limit: -", kNoCoreEntries},
        MeCase{"NotAnObject", R"([{"user":{"display_name":"Mira"}}])", "Signed in as Vandreth user", "Plan: Free",
               "Limit: -", kNoCoreEntries},
        MeCase{"UserEmpty", R"({"display_name":"Top level","plan_name":"Top","user":{}})", "Signed in as Vandreth user",
               "Plan: Free", "Limit: -", kNoCoreEntries},
        MeCase{"UserNotAnObject", R"({"user":"Mira"})", "Signed in as Vandreth user", "Plan: Free", "Limit: -",
               kNoCoreEntries},
        MeCase{"MembersNotStrings", R"({"user":{"display_name":7,"plan_name":null,"reri_limit_label":[]}})",
               "Signed in as Vandreth user", "Plan: Free", "Limit: -", kNoCoreEntries},
        MeCase{"MembersEmpty", R"({"user":{"display_name":"","plan_name":"","reri_limit_label":""}})", "Signed in as ",
               "Plan: ", "Limit: ", kNoCoreEntries},
        MeCase{"CoresNotAnArray", R"({"user":{"display_name":"Mira"},"available_cores":{"key":"core-1"}})",
               "Signed in as Mira", "Plan: Free", "Limit: -", kNoCoreEntries}),
    CaseName());

struct MeFailureCase {
    const char* name;
    ScriptedReply reply;
    std::string status;
};

class MeRefusalTest : public FlowTest, public ::testing::WithParamInterface<MeFailureCase> {};

TEST_P(MeRefusalTest, AtStartDropsTheTokenAndSavesTheStateWithoutIt)
{
    server.reply("GET", kMePath, GetParam().reply);
    ASSERT_TRUE(startClient(kToken));

    ASSERT_TRUE(client.waitForStatus(GetParam().status)) << client.text(kStatusLine);
    expectUnlinkedWindow(client);
    EXPECT_EQ(appData.stateBytes(), stateFile());
    EXPECT_EQ(requestCount(kInstancesPath), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, MeRefusalTest,
    ::testing::Values(
        MeFailureCase{"Unauthorized", ScriptedReply::json(401, R"({"message":"Your Vandreth session has expired."})"),
                      "Your Vandreth session has expired."},
        MeFailureCase{"Forbidden", ScriptedReply::json(403, R"({"error":"This PC was removed from the account."})"),
                      "This PC was removed from the account."},
        MeFailureCase{"NotFound", ScriptedReply::json(404, R"({"message":"No such Vandreth session."})"),
                      "No such Vandreth session."}),
    CaseName());

const char* const kCheckedAccount =
    R"({"user":{"display_name":"Mira","plan_name":"Creator","reri_limit_label":"3 of 5"},)"
    R"("available_cores":[{"key":"core-1","label":"Forge One"}]})";

// A linked client whose account could not be checked: the token stays, and with it every button
// that needs one.
void expectUncheckedWindow(const ClientHarness& client)
{
    EXPECT_EQ(client.text(kAccountLine), kAccountUnchecked);
    EXPECT_EQ(client.text(kPlanLine), kNoPlan);
    EXPECT_EQ(client.text(kLimitLine), kNoLimit);
    EXPECT_EQ(client.listLines(), std::vector<std::string>{});
    EXPECT_EQ(client.comboEntries(kCoreCombo), std::vector<std::string>{kNoCores});
    EXPECT_TRUE(client.enabled(kRefreshButton));
    EXPECT_TRUE(client.enabled(kUnlinkButton));
    EXPECT_TRUE(client.enabled(kCreateButton));
    EXPECT_TRUE(client.enabled(kGenerateButton));
}

class AccountTest : public FlowTest {
protected:
    // The state file as a person might have left it, on one line: a rewrite would show.
    std::string handWrittenState(const std::string& origin) const
    {
        return std::string(R"({"access_token":")") + kToken + R"(","device_id":")" + kDeviceId + R"(","origin":")" +
               origin + R"("})";
    }

    // With `service` answering again, one Refresh checks the account and loads the projects;
    // the next one only reloads the projects.
    void expectOneRefreshRestoresTheAccount(LoopbackServer& service)
    {
        // Each answer is held until the text shown while it is awaited has been read.
        service.replyOnce("GET", kMePath, ScriptedReply::json(200, kCheckedAccount).heldUntil("check"));
        service.reply("GET", kInstancesPath, ScriptedReply::json(200, kOneProjectAnswer));
        const std::size_t checksBefore = service.requestsTo(kMePath).size();

        client.click(kRefreshButton);
        EXPECT_EQ(client.text(kStatusLine), kCheckingSession);
        service.release("check");
        ASSERT_TRUE(client.waitForStatus(loadedStatus(1))) << client.text(kStatusLine);
        EXPECT_EQ(client.text(kAccountLine), "Signed in as Mira");
        EXPECT_EQ(client.text(kPlanLine), "Plan: Creator");
        EXPECT_EQ(client.text(kLimitLine), "Limit: 3 of 5");
        EXPECT_EQ(client.comboEntries(kCoreCombo), std::vector<std::string>{"Forge One"});
        EXPECT_EQ(client.listLines(), std::vector<std::string>{kOneProjectLine});
        EXPECT_EQ(service.requestsTo(kMePath).size(), checksBefore + 1);
        ASSERT_EQ(service.requestsTo(kInstancesPath).size(), 1u);

        service.replyOnce("GET", kInstancesPath, ScriptedReply::json(200, kOneProjectAnswer).heldUntil("reload"));
        client.click(kRefreshButton);
        EXPECT_EQ(client.text(kStatusLine), kRefreshing);
        service.release("reload");
        ASSERT_TRUE(client.waitFor([&] { return service.requestsTo(kInstancesPath).size() >= 2; }));
        ASSERT_TRUE(client.waitForStatus(loadedStatus(1))) << client.text(kStatusLine);
        EXPECT_EQ(service.requestsTo(kMePath).size(), checksBefore + 1);
        for (const auto& request : service.requests()) {
            EXPECT_EQ(request.header("Authorization"), std::string("Bearer ") + kToken) << request.requestLine;
        }
    }
};

class MeUncheckedTest : public AccountTest, public ::testing::WithParamInterface<MeFailureCase> {};

TEST_P(MeUncheckedTest, AtStartKeepsTheLinkAndOneRefreshChecksAgain)
{
    server.replyOnce("GET", kMePath, GetParam().reply);
    const std::string written = handWrittenState(server.origin());
    appData.writeState(written);
    ASSERT_TRUE(client.start());

    ASSERT_TRUE(client.waitForStatus(GetParam().status)) << client.text(kStatusLine);
    expectUncheckedWindow(client);
    EXPECT_EQ(appData.stateBytes(), written);
    EXPECT_EQ(requestCount(kInstancesPath), 0u);

    expectOneRefreshRestoresTheAccount(server);
    EXPECT_EQ(appData.stateBytes(), written);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, MeUncheckedTest,
    ::testing::Values(
        MeFailureCase{"ServerError", ScriptedReply::json(500, R"({"error":"Accounts are unavailable."})"),
                      "Accounts are unavailable."},
        MeFailureCase{"Unavailable", ScriptedReply::json(503, R"({"message":"Vandreth is down for a minute."})"),
                      "Vandreth is down for a minute."},
        MeFailureCase{"NoAnswer", ScriptedReply::closeWithoutAnswer(), kNoAnswer}),
    CaseName());

TEST_F(AccountTest, StartWithoutNetworkKeepsTheLinkAndARefreshRestoresIt)
{
    // The service's address answers nothing at first: no one listens there yet.
    const std::uint16_t port = closedLoopbackPort();
    const std::string origin = "http://127.0.0.1:" + std::to_string(port);
    const std::string written = handWrittenState(origin);
    appData.writeState(written);
    ASSERT_TRUE(client.start());

    ASSERT_TRUE(client.waitForStatus(kNoAnswer)) << client.text(kStatusLine);
    expectUncheckedWindow(client);
    EXPECT_EQ(appData.stateBytes(), written);

    LoopbackServer later(port);
    expectOneRefreshRestoresTheAccount(later);
    EXPECT_EQ(client.close(), 0);
    EXPECT_EQ(appData.stateBytes(), stateFileBytes(origin, kDeviceId, kToken));
}

// The answer to an account check made with a token that has since been replaced.
struct StaleCase {
    const char* name;
    ScriptedReply reply;
};

class StaleCheckTest : public AccountTest, public ::testing::WithParamInterface<StaleCase> {
protected:
    // Starts linked with kToken, its account check held by the server until released.
    void startWithTheCheckHeld()
    {
        ScriptedReply held = GetParam().reply;
        server.replyOnce("GET", kMePath, std::move(held.heldUntil("stale check")));
        server.reply("GET", kInstancesPath, ScriptedReply::json(200, kOneProjectAnswer));
        ASSERT_TRUE(startClient(kToken));
        ASSERT_TRUE(waitForRequestsTo(kMePath, 1));
    }
};

TEST_P(StaleCheckTest, AfterUnlinkChangesNothing)
{
    ASSERT_NO_FATAL_FAILURE(startWithTheCheckHeld());
    client.click(kUnlinkButton);
    ASSERT_EQ(client.text(kStatusLine), kUnlinked);

    server.release("stale check");
    ASSERT_TRUE(client.waitForResultsHandled(1));
    EXPECT_EQ(client.text(kStatusLine), kUnlinked);
    expectUnlinkedWindow(client);
    EXPECT_EQ(appData.stateBytes(), stateFile());
    EXPECT_EQ(requestCount(kInstancesPath), 0u);
}

TEST_P(StaleCheckTest, AfterAnApprovalIsFollowedByACheckOfTheNewToken)
{
    ASSERT_NO_FATAL_FAILURE(startWithTheCheckHeld());
    server.replyOnce("GET", kLinkPollPath, ScriptedReply::json(200, R"({"access_token":"tok-new"})"));
    server.replyOnce("GET", kMePath, ScriptedReply::json(200, R"({"user":{"display_name":"Fresh"}})"));
    ASSERT_TRUE(issueCode("NEW-1"));
    ASSERT_TRUE(client.waitForStatus("Vandreth desktop client linked.")) << client.text(kStatusLine);
    EXPECT_EQ(appData.stateBytes(), stateFile("tok-new"));
    // The new token's check waits for the old one's answer.
    EXPECT_EQ(requestCount(kMePath), 1u);

    server.release("stale check");
    ASSERT_TRUE(client.waitForStatus(loadedStatus(1))) << client.text(kStatusLine);
    EXPECT_EQ(client.text(kAccountLine), "Signed in as Fresh");
    const auto checks = server.requestsTo(kMePath);
    ASSERT_EQ(checks.size(), 2u);
    EXPECT_EQ(checks[1].header("Authorization"), "Bearer tok-new");
    for (const auto& request : server.requestsTo(kInstancesPath)) {
        EXPECT_EQ(request.header("Authorization"), "Bearer tok-new");
    }
    EXPECT_TRUE(client.enabled(kUnlinkButton));
    EXPECT_EQ(appData.stateBytes(), stateFile("tok-new"));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, StaleCheckTest,
    ::testing::Values(StaleCase{"Account", ScriptedReply::json(200, R"({"user":{"display_name":"Stale"}})")},
                      StaleCase{"Refused", ScriptedReply::json(401, R"({"message":"Old token refused."})")},
                      StaleCase{"Unavailable", ScriptedReply::json(503, R"({"message":"Try again soon."})")}),
    CaseName());


TEST_F(AccountTest, FailedCheckAfterALinkDropsTheListsTheSummaryAndTheToken)
{
    ASSERT_TRUE(startLinked(R"({"user":{"display_name":"Mira","plan_name":"Creator","reri_limit_label":"5"},)"
                            R"("available_cores":[{"key":"core-1","label":"Forge One"}]})",
                            kOneProjectAnswer));
    ASSERT_EQ(client.listLines(), std::vector<std::string>{kOneProjectLine});
    ASSERT_EQ(client.comboEntries(kCoreCombo), std::vector<std::string>{"Forge One"});

    server.replyOnce("GET", kLinkPollPath, ScriptedReply::json(200, R"({"access_token":"tok-2"})"));
    server.reply("GET", kMePath, ScriptedReply::json(401, R"({"message":"This token was refused."})"));
    ASSERT_TRUE(issueCode("RELINK-1"));

    ASSERT_TRUE(client.waitForStatus("This token was refused.")) << client.text(kStatusLine);
    EXPECT_EQ(server.requestsTo(kMePath).back().header("Authorization"), "Bearer tok-2");
    expectUnlinkedWindow(client);
    EXPECT_EQ(appData.stateBytes(), stateFile());
    // The code is the link flow's, and stays.
    EXPECT_EQ(client.text(kLinkCodeEdit), "RELINK-1");
}

// A new link whose account cannot be checked shows nothing of the account linked before: no
// projects to open, no cores whose key a create would send with the new token.
class NewLinkUncheckedTest : public AccountTest, public ::testing::WithParamInterface<MeFailureCase> {};

TEST_P(NewLinkUncheckedTest, ShowsNothingOfThePreviousAccount)
{
    ASSERT_TRUE(startLinked(kCheckedAccount, kOneProjectAnswer));
    ASSERT_EQ(client.listLines(), std::vector<std::string>{kOneProjectLine});
    ASSERT_EQ(client.comboEntries(kCoreCombo), std::vector<std::string>{"Forge One"});
    server.replyOnce("GET", kLinkPollPath, ScriptedReply::json(200, R"({"access_token":"tok-other"})"));
    server.replyOnce("GET", kMePath, GetParam().reply);
    ASSERT_TRUE(issueCode("OTHER-1"));

    ASSERT_TRUE(client.waitForStatus(GetParam().status)) << client.text(kStatusLine);
    EXPECT_EQ(server.requestsTo(kMePath).back().header("Authorization"), "Bearer tok-other");
    expectUncheckedWindow(client);
    EXPECT_FALSE(client.enabled(kOpenProjectButton));
    EXPECT_EQ(appData.stateBytes(), stateFile("tok-other"));

    server.replyOnce("POST", kCreatePath, ScriptedReply::json(200, "{}"));
    client.setText(kNameEdit, "Fresh");
    client.click(kCreateButton);
    ASSERT_TRUE(waitForRequestsTo(kCreatePath, 1));
    const auto create = server.requestsTo(kCreatePath)[0];
    EXPECT_EQ(create.header("Authorization"), "Bearer tok-other");
    EXPECT_EQ(create.body.find("core_key"), std::string::npos) << create.body;
}

INSTANTIATE_TEST_SUITE_P(
    Answers, NewLinkUncheckedTest,
    ::testing::Values(
        MeFailureCase{"Unavailable", ScriptedReply::json(503, R"({"message":"Vandreth is down for a minute."})"),
                      "Vandreth is down for a minute."},
        MeFailureCase{"NoAnswer", ScriptedReply::closeWithoutAnswer(), kNoAnswer}),
    CaseName());

TEST_F(AccountTest, ProjectListFollowsEachAnswerAndAFailureKeepsIt)
{
    ASSERT_TRUE(startLinked(
        "{}", R"({"instances":[{"core_label":"Forge One","display_name":"Arena","manage_url":"https://x.test/m",)"
              R"("public_url":"https://x.test/p","slug":"arena-1","status":"active"},42,)"
              R"({"display_name":"B\u00e9ta \u2713","slug":"b-2","status":"paused"}]})"));
    const std::vector<std::string> three{"Arena  [arena-1]  active", "  []  ", "B\xC3\xA9ta \xE2\x9C\x93  [b-2]  paused"};
    EXPECT_EQ(client.text(kStatusLine), loadedStatus(3));
    EXPECT_EQ(client.listLines(), three);
    EXPECT_EQ(client.listSelection(), 0);
    EXPECT_TRUE(client.enabled(kOpenProjectButton));

    client.selectListLine(2);
    server.replyOnce("GET", kInstancesPath, ScriptedReply::json(500, R"({"message":"Projects are unavailable."})"));
    client.click(kRefreshButton);
    ASSERT_TRUE(client.waitForStatus("Projects are unavailable.")) << client.text(kStatusLine);
    EXPECT_EQ(client.listLines(), three);
    EXPECT_EQ(client.listSelection(), 2);
    EXPECT_TRUE(client.enabled(kOpenProjectButton));

    server.replyOnce("GET", kInstancesPath,
                     ScriptedReply::json(200, R"({"instances":[{"slug":"a"},{"display_name":"Second"}]})"));
    client.click(kRefreshButton);
    ASSERT_TRUE(client.waitForStatus(loadedStatus(2))) << client.text(kStatusLine);
    EXPECT_EQ(client.listLines(), (std::vector<std::string>{"  [a]  ", "Second  []  "}));
    EXPECT_EQ(client.listSelection(), 0);

    for (const char* empty : {R"({"instances":[]})", R"({"instances":{"slug":"a"}})", "{}"}) {
        SCOPED_TRACE(empty);
        server.replyOnce("GET", kInstancesPath, ScriptedReply::json(200, R"({"instances":[{"slug":"refill"}]})"));
        client.click(kRefreshButton);
        ASSERT_TRUE(client.waitForStatus(loadedStatus(1))) << client.text(kStatusLine);
        server.replyOnce("GET", kInstancesPath, ScriptedReply::json(200, empty));
        client.click(kRefreshButton);
        ASSERT_TRUE(client.waitForStatus(loadedStatus(0))) << client.text(kStatusLine);
        EXPECT_EQ(client.listLines(), std::vector<std::string>{});
        EXPECT_EQ(client.listSelection(), -1);
        EXPECT_FALSE(client.enabled(kOpenProjectButton));
    }
    for (const auto& request : server.requestsTo(kInstancesPath)) {
        EXPECT_EQ(request.header("Authorization"), std::string("Bearer ") + kToken);
    }
}

}  // namespace
}  // namespace vandreth::test
