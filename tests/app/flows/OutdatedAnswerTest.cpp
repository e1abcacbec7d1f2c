// Answers that arrive after the user has moved on: each one acts only for the link it was made
// for. The server holds the answer until Unlink, another account's approval or a new link code
// has come; then the window, the state file and the requests that follow are read.

#include "AppTypes.h"
#include "CaseName.h"
#include "FlowFixture.h"

#include <optional>

namespace vandreth::test {
namespace {

enum class Change { Unlink, Approval, NewCode };

struct OutdatedCase {
    const char* name;
    TaskKind inFlight;
    Change between;
    // The window once the late answer, and what it may start, has been handled.
    std::vector<std::string> list;
    std::string account;
    std::string code;
    std::string status;
    // The token of the link held then ("" for none): the buttons and what the change saved.
    std::string token;
    // Every request after the late answer, as "METHOD target" and the bearer token if any.
    std::vector<std::string> followingRequests;
};

constexpr const char* kOldAccount =
    R"({"user":{"display_name":"Old"},"available_cores":[{"key":"core-old","label":"Old Core"}]})";
constexpr const char* kLateList = R"({"instances":[{"display_name":"Late","slug":"late-1","status":"active"}]})";
constexpr const char* kLaterList = R"({"instances":[{"display_name":"Later","slug":"later-1","status":"active"}]})";
const std::string kLateLine = "Late  [late-1]  active";
const std::string kLaterLine = "Later  [later-1]  active";
constexpr const char* kLateCreated = "Late RERI was made.";
constexpr const char* kSecondToken = "tok-2";
const std::string kOldToken = kToken;

std::string described(const RecordedRequest& request)
{
    const auto authorization = request.header("Authorization");
    return request.method + " " + request.target + (authorization ? " " + *authorization : "");
}

std::string pollOf(const std::string& code)
{
    return std::string("GET ") + kLinkPollPath + "?code=" + code + "&device_id=" + kDeviceId;
}

std::string listRequestWith(const std::string& token)
{
    return std::string("GET ") + kInstancesPath + " Bearer " + token;
}

class OutdatedAnswerTest : public FlowTest, public ::testing::WithParamInterface<OutdatedCase> {
protected:
    void SetUp() override
    {
        // Whatever asks for the projects after the start gets the later list; polls of the
        // codes issued in between are never answered.
        server.reply("GET", kInstancesPath, ScriptedReply::json(200, kLaterList));
        server.reply("GET", kLinkPollPath, ScriptedReply::hang());
        ASSERT_TRUE(startLinked(kOldAccount, kOneProjectAnswer));
    }

    // An approval of another account's token is made ready before the request goes out: its
    // code's poll is held until the change.
    void prepareApproval()
    {
        server.replyOnce("GET", kLinkPollPath,
                         ScriptedReply::json(200, jsonWith("access_token", kSecondToken)).heldUntil("approval"));
        server.replyOnce("GET", kMePath, ScriptedReply::json(200, R"({"user":{"display_name":"Second"}})"));
        ASSERT_TRUE(issueCode("NEW-2"));
        ASSERT_TRUE(waitForRequestsTo(kLinkPollPath, 1));
    }

    // Sends the request of `kind`, whose answer the server holds until released.
    void sendHeldRequest(TaskKind kind)
    {
        switch (kind) {
        case TaskKind::Instances:
            server.replyOnce("GET", kInstancesPath, ScriptedReply::json(200, kLateList).heldUntil("late"));
            client.click(kRefreshButton);
            ASSERT_TRUE(waitForRequestsTo(kInstancesPath, 2));
            break;
        case TaskKind::CreateInstance:
            server.replyOnce("POST", kCreatePath,
                             ScriptedReply::json(200, jsonWith("message", kLateCreated)).heldUntil("late"));
            client.setText(kNameEdit, "Late RERI");
            client.click(kCreateButton);
            ASSERT_TRUE(waitForRequestsTo(kCreatePath, 1));
            break;
        case TaskKind::LinkPoll:
            server.replyOnce("GET", kLinkPollPath,
                             ScriptedReply::json(200, R"({"access_token":"tok-late"})").heldUntil("late"));
            ASSERT_TRUE(issueCode("POLL-1"));
            ASSERT_TRUE(waitForRequestsTo(kLinkPollPath, 1));
            break;
        case TaskKind::LinkStart: {
            server.replyOnce("POST", kLinkStartPath,
                             ScriptedReply::json(200, R"({"code":"LATE-CODE"})").heldUntil("late"));
            const std::size_t codesBefore = requestCount(kLinkStartPath);
            client.click(kGenerateButton);
            ASSERT_TRUE(waitForRequestsTo(kLinkStartPath, codesBefore + 1));
            break;
        }
        case TaskKind::Me:
            FAIL() << "not a row of this table";
        }
    }

    void makeChange(Change change)
    {
        switch (change) {
        case Change::Unlink:
            client.click(kUnlinkButton);
            ASSERT_EQ(client.text(kStatusLine), kUnlinked);
            break;
        case Change::Approval:
            server.release("approval");
            // The new account is checked, and its projects load unless a list request is out.
            ASSERT_TRUE(client.waitForStatus(GetParam().inFlight == TaskKind::Instances ? std::string(kSessionReady)
                                                                                         : loadedStatus(1)))
                << client.text(kStatusLine);
            ASSERT_EQ(client.text(kAccountLine), "Signed in as Second");
            break;
        case Change::NewCode:
            ASSERT_TRUE(issueCode("NEW-3"));
            // Its first poll goes out now unless the poll in flight keeps it back.
            if (GetParam().inFlight != TaskKind::LinkPoll) {
                const FastTicker ticker(client);
                ASSERT_TRUE(client.waitFor([&] { return lastPollIs("NEW-3"); }));
            }
            break;
        }
    }

    bool lastPollIs(const std::string& code) const
    {
        const auto polls = server.requestsTo(kLinkPollPath);
        return !polls.empty() && described(polls.back()) == pollOf(code);
    }

    std::vector<std::string> requestsSince(std::size_t first) const
    {
        const auto all = server.requests();
        std::vector<std::string> lines;
        for (std::size_t i = first; i < all.size(); ++i) {
            lines.push_back(described(all[i]));
        }
        return lines;
    }
};

TEST_P(OutdatedAnswerTest, ActsOnlyForTheLinkItWasMadeFor)
{
    const OutdatedCase& row = GetParam();
    if (row.between == Change::Approval) {
        ASSERT_NO_FATAL_FAILURE(prepareApproval());
    }
    ASSERT_NO_FATAL_FAILURE(sendHeldRequest(row.inFlight));
    ASSERT_NO_FATAL_FAILURE(makeChange(row.between));
    const std::string savedByTheChange = stateFile(row.token);
    EXPECT_EQ(appData.stateBytes(), savedByTheChange);
    // Any save from here on would bring the file back.
    std::filesystem::remove(appData.stateFile());

    const std::size_t requestsBefore = server.requests().size();
    const std::size_t resultsBefore = client.resultsTaken();
    server.release("late");
    ASSERT_TRUE(client.waitForResultsHandled(resultsBefore + 1));
    ASSERT_TRUE(
        client.waitFor([&] { return server.requests().size() >= requestsBefore + row.followingRequests.size(); }));
    ASSERT_TRUE(client.waitForStatus(row.status)) << client.text(kStatusLine);
    {
        // Time for anything more that the answer might wrongly start, polls included.
        const FastTicker ticker(client);
        std::this_thread::sleep_for(1500ms);
    }

    EXPECT_EQ(requestsSince(requestsBefore), row.followingRequests);
    EXPECT_EQ(client.text(kStatusLine), row.status);
    EXPECT_EQ(client.listLines(), row.list);
    EXPECT_EQ(client.text(kAccountLine), row.account);
    EXPECT_EQ(client.text(kLinkCodeEdit), row.code);
    const bool linked = !row.token.empty();
    EXPECT_EQ(client.enabled(kRefreshButton), linked);
    EXPECT_EQ(client.enabled(kUnlinkButton), linked);
    EXPECT_EQ(client.enabled(kCreateButton), linked);
    EXPECT_EQ(client.enabled(kOpenProjectButton), !row.list.empty());
    EXPECT_TRUE(client.enabled(kGenerateButton));
    EXPECT_FALSE(appData.stateBytes().has_value()) << "the late answer saved the state";
    if (row.inFlight == TaskKind::CreateInstance) {
        // Only an answer for the held link clears the form it was sent from.
        EXPECT_EQ(client.text(kNameEdit), row.between == Change::NewCode ? "" : "Late RERI");
    }

    EXPECT_EQ(client.close(), 0);
    EXPECT_EQ(appData.stateBytes(), savedByTheChange);
}

// One link-code request and one poll are out at a time: a poll's answer is the only approval
// that can come while a poll is out, and a new code cannot come while a code is being asked for.
INSTANTIATE_TEST_SUITE_P(
    Table, OutdatedAnswerTest,
    ::testing::Values(
        OutdatedCase{.name = "Instances_Unlink", .inFlight = TaskKind::Instances, .between = Change::Unlink,
                     .list = {}, .account = kNotLinkedYet, .code = "", .status = kUnlinked, .token = ""},
        OutdatedCase{.name = "Instances_Approval", .inFlight = TaskKind::Instances, .between = Change::Approval,
                     .list = {kLaterLine}, .account = "Signed in as Second", .code = "NEW-2",
                     .status = loadedStatus(1), .token = kSecondToken,
                     // The new account's list, which waited for the outdated one.
                     .followingRequests = {listRequestWith(kSecondToken)}},
        OutdatedCase{.name = "Instances_NewCode", .inFlight = TaskKind::Instances, .between = Change::NewCode,
                     .list = {kLateLine}, .account = "Signed in as Old", .code = "NEW-3",
                     .status = loadedStatus(1), .token = kOldToken},
        OutdatedCase{.name = "CreateInstance_Unlink", .inFlight = TaskKind::CreateInstance,
                     .between = Change::Unlink, .list = {}, .account = kNotLinkedYet, .code = "",
                     .status = kLateCreated, .token = ""},
        OutdatedCase{.name = "CreateInstance_Approval", .inFlight = TaskKind::CreateInstance,
                     .between = Change::Approval, .list = {kLaterLine}, .account = "Signed in as Second",
                     .code = "NEW-2", .status = kLateCreated, .token = kSecondToken},
        OutdatedCase{.name = "CreateInstance_NewCode", .inFlight = TaskKind::CreateInstance,
                     .between = Change::NewCode, .list = {kLaterLine}, .account = "Signed in as Old",
                     .code = "NEW-3", .status = loadedStatus(1), .token = kOldToken,
                     .followingRequests = {listRequestWith(kOldToken)}},
        OutdatedCase{.name = "LinkPoll_Unlink", .inFlight = TaskKind::LinkPoll, .between = Change::Unlink,
                     .list = {}, .account = kNotLinkedYet, .code = "", .status = kUnlinked, .token = ""},
        OutdatedCase{.name = "LinkPoll_NewCode", .inFlight = TaskKind::LinkPoll, .between = Change::NewCode,
                     .list = {kOneProjectLine}, .account = "Signed in as Old", .code = "NEW-3",
                     .status = kCodeReady, .token = kOldToken, .followingRequests = {pollOf("NEW-3")}},
        OutdatedCase{.name = "LinkStart_Unlink", .inFlight = TaskKind::LinkStart, .between = Change::Unlink,
                     .list = {}, .account = kNotLinkedYet, .code = "", .status = kUnlinked, .token = ""},
        OutdatedCase{.name = "LinkStart_Approval", .inFlight = TaskKind::LinkStart, .between = Change::Approval,
                     .list = {kLaterLine}, .account = "Signed in as Second", .code = "NEW-2",
                     .status = loadedStatus(1), .token = kSecondToken}),
    CaseName());

}  // namespace
}  // namespace vandreth::test
