// The account check and the project list: the summary lines, the cores, the list box, and what
// a failed check takes away.

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

class MeFailureTest : public FlowTest, public ::testing::WithParamInterface<MeFailureCase> {};

TEST_P(MeFailureTest, AtStartDropsTheTokenAndSavesTheStateWithoutIt)
{
    server.reply("GET", kMePath, GetParam().reply);
    ASSERT_TRUE(startClient(kToken));

    ASSERT_TRUE(client.waitForStatus(GetParam().status)) << client.text(kStatusLine);
    expectUnlinkedWindow(client);
    EXPECT_EQ(appData.stateBytes(), stateFile());
    EXPECT_EQ(requestCount(kInstancesPath), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, MeFailureTest,
    ::testing::Values(
        MeFailureCase{"Refused", ScriptedReply::json(401, R"({"message":"Your Vandreth session has expired."})"),
                      "Your Vandreth session has expired."},
        MeFailureCase{"ServerError", ScriptedReply::json(500, R"({"error":"Accounts are unavailable."})"),
                      "Accounts are unavailable."},
        MeFailureCase{"NoAnswer", ScriptedReply::closeWithoutAnswer(), kNoAnswer}),
    CaseName());

TEST(MeWithoutServerTest, DropsTheTokenWhenNothingListens)
{
    ScopedAppData appData;
    const std::string origin = "http://127.0.0.1:" + std::to_string(closedLoopbackPort());
    appData.writeState(stateFileBytes(origin, kDeviceId, kToken));
    ClientHarness client;
    ASSERT_TRUE(client.start());

    ASSERT_TRUE(client.waitForStatus(kNoAnswer)) << client.text(kStatusLine);
    EXPECT_FALSE(client.enabled(kUnlinkButton));
    EXPECT_EQ(client.text(kAccountLine), "Not linked yet");
    EXPECT_EQ(appData.stateBytes(), stateFileBytes(origin, kDeviceId));
}

class AccountTest : public FlowTest {};

TEST_F(AccountTest, FailedCheckAfterALinkDropsTheListsTheSummaryAndTheToken)
{
    ASSERT_TRUE(startLinked(R"({"user":{"display_name":"Mira","plan_name":"Creator","reri_limit_label":"5"},)"
                            R"("available_cores":[{"key":"core-1","label":"Forge One"}]})",
                            R"({"instances":[{"display_name":"Arena","slug":"arena-1","status":"active"}]})"));
    ASSERT_EQ(client.listLines(), std::vector<std::string>{"Arena  [arena-1]  active"});
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

TEST_F(AccountTest, ProjectListFollowsEachAnswerAndAFailureKeepsIt)
{
    ASSERT_TRUE(startLinked(
        "{}", R"({"instances":[{"core_label":"Forge One","display_name":"Arena","manage_url":"https://x.test/m",)"
              R"("public_url":"https://x.test/p","slug":"arena-1","status":"active"},42,)"
              R"({"display_name":"B\u00e9ta \u2713","slug":"b-2","status":"paused"}]})"));
    const std::vector<std::string> three{"Arena  [arena-1]  active", "  []  ", "B\xC3\xA9ta \xE2\x9C\x93  [b-2]  paused"};
    EXPECT_EQ(client.text(kStatusLine), "Loaded 3 Vandreth project(s).");
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
    ASSERT_TRUE(client.waitForStatus("Loaded 2 Vandreth project(s).")) << client.text(kStatusLine);
    EXPECT_EQ(client.listLines(), (std::vector<std::string>{"  [a]  ", "Second  []  "}));
    EXPECT_EQ(client.listSelection(), 0);

    for (const char* empty : {R"({"instances":[]})", R"({"instances":{"slug":"a"}})", "{}"}) {
        SCOPED_TRACE(empty);
        server.replyOnce("GET", kInstancesPath, ScriptedReply::json(200, R"({"instances":[{"slug":"refill"}]})"));
        client.click(kRefreshButton);
        ASSERT_TRUE(client.waitForStatus("Loaded 1 Vandreth project(s).")) << client.text(kStatusLine);
        server.replyOnce("GET", kInstancesPath, ScriptedReply::json(200, empty));
        client.click(kRefreshButton);
        ASSERT_TRUE(client.waitForStatus("Loaded 0 Vandreth project(s).")) << client.text(kStatusLine);
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
