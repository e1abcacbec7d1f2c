// Linking: the link-code request, the polls and what each answer does to the window, the
// polling and the state file.

#include "CaseName.h"
#include "FlowFixture.h"

#include <nlohmann/json.hpp>

#include <regex>
#include <tuple>

namespace vandreth::test {
namespace {

using Clock = std::chrono::steady_clock;

class LinkFlowTest : public FlowTest {};

TEST_F(LinkFlowTest, CodeAnswerShowsTheCodeSavesTheStateAndStartsPolling)
{
    // No device id stored: the client makes one, sends it and keeps it.
    appData.writeState("{\"origin\": \"" + server.origin() + "\"}");
    ASSERT_TRUE(client.start());
    const std::string approveUrl = server.origin() + "/approve/K7-Q2";
    server.replyOnce("POST", kLinkStartPath,
                     ScriptedReply::json(200, nlohmann::json{{"code", "K7-Q2"}, {"approve_url", approveUrl}}.dump()));
    server.reply("GET", kLinkPollPath, ScriptedReply::json(202, "{}"));

    client.click(kGenerateButton);
    ASSERT_TRUE(client.waitForStatus(kCodeReady)) << client.text(kStatusLine);
    EXPECT_EQ(client.text(kLinkCodeEdit), "K7-Q2");
    EXPECT_TRUE(client.enabled(kGenerateButton));

    const auto starts = server.requestsTo(kLinkStartPath);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0].method, "POST");
    EXPECT_EQ(starts[0].target, kLinkStartPath);
    EXPECT_FALSE(starts[0].header("Authorization").has_value());
    std::smatch body;
    ASSERT_TRUE(std::regex_match(starts[0].body, body, std::regex("device_id=(vdwin-[0-9a-f]{11})"))) << starts[0].body;
    const std::string deviceId = body[1];
    EXPECT_EQ(appData.stateBytes(), stateFileBytes(server.origin(), deviceId));

    ASSERT_TRUE(waitForRequestsTo(kLinkPollPath, 1));
    const auto poll = server.requestsTo(kLinkPollPath)[0];
    EXPECT_EQ(poll.method, "GET");
    EXPECT_EQ(poll.target, std::string(kLinkPollPath) + "?code=K7-Q2&device_id=" + deviceId);
    EXPECT_FALSE(poll.header("Authorization").has_value());
}

TEST_F(LinkFlowTest, PollQueryFormEncodesTheCodeAndTheDeviceId)
{
    appData.writeState(stateFileBytes(server.origin(), "vdwin x+\xC3\xA9"));
    ASSERT_TRUE(client.start());
    server.reply("GET", kLinkPollPath, ScriptedReply::json(202, "{}"));
    ASSERT_TRUE(issueCode("AB C+\xC3\xA9"));

    ASSERT_TRUE(waitForRequestsTo(kLinkPollPath, 1));
    EXPECT_EQ(server.requestsTo(kLinkStartPath)[0].body, "device_id=vdwin+x%2B%C3%A9");
    EXPECT_EQ(server.requestsTo(kLinkPollPath)[0].target,
              std::string(kLinkPollPath) + "?code=AB+C%2B%C3%A9&device_id=vdwin+x%2B%C3%A9");
}

TEST_F(LinkFlowTest, PollsComeNoSoonerThanOneSecondAfterTheCodeAndTwoAfterEachPendingAnswer)
{
    ASSERT_TRUE(startClient());
    // The pending answers leave late on purpose: the client counts its two seconds from the
    // answer, this test from the moment it notices the poll, which may itself come a little late.
    server.replyOnce("GET", kLinkPollPath,
                     ScriptedReply::json(202, R"({"message":"Approve K7 in your browser."})").delayed(600ms));
    server.replyOnce("GET", kLinkPollPath, ScriptedReply::json(202, "{}").delayed(600ms));
    server.reply("GET", kLinkPollPath, ScriptedReply::hang());
    server.replyOnce("POST", kLinkStartPath, ScriptedReply::json(200, R"({"code":"K7"})"));
    const FastTicker ticker(client);

    const auto clicked = Clock::now();
    client.click(kGenerateButton);
    ASSERT_TRUE(server.waitForRequests(2, 10s));
    const auto firstPoll = Clock::now();
    EXPECT_GE(firstPoll - clicked, 1000ms);

    ASSERT_TRUE(client.waitForStatus("Approve K7 in your browser.")) << client.text(kStatusLine);
    ASSERT_TRUE(server.waitForRequests(3, 10s));
    const auto secondPoll = Clock::now();
    EXPECT_GE(secondPoll - firstPoll, 2000ms);

    ASSERT_TRUE(client.waitForStatus(kWaitingForApproval)) << client.text(kStatusLine);
    ASSERT_TRUE(server.waitForRequests(4, 10s));
    EXPECT_GE(Clock::now() - secondPoll, 2000ms);

    for (const auto& poll : server.requestsTo(kLinkPollPath)) {
        EXPECT_EQ(poll.target, std::string(kLinkPollPath) + "?code=K7&device_id=" + kDeviceId);
    }
}

struct PendingCase {
    const char* name;
    std::string body;
    std::string status;
};

class PendingAnswerTest : public FlowTest, public ::testing::WithParamInterface<PendingCase> {};

TEST_P(PendingAnswerTest, ShowsTheMessageOrTheWaitingTextAndKeepsTheCode)
{
    ASSERT_TRUE(startClient());
    server.replyOnce("GET", kLinkPollPath, ScriptedReply::json(202, GetParam().body));
    server.reply("GET", kLinkPollPath, ScriptedReply::hang());
    ASSERT_TRUE(issueCode("PEND-1"));

    ASSERT_TRUE(waitForRequestsTo(kLinkPollPath, 1));
    EXPECT_TRUE(client.waitForStatus(GetParam().status)) << client.text(kStatusLine);
    EXPECT_EQ(client.text(kLinkCodeEdit), "PEND-1");
    // Polling goes on: the next poll leaves two seconds later.
    EXPECT_TRUE(waitForRequestsTo(kLinkPollPath, 2));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PendingAnswerTest,
    ::testing::Values(PendingCase{"Message", R"({"message":"Approve PEND-1 on your phone."})",
                                  "Approve PEND-1 on your phone."},
                      PendingCase{"EmptyMessage", R"({"message":""})", ""},
                      PendingCase{"NoMessage", "{}", kWaitingForApproval},
                      PendingCase{"MessageNotAString", R"({"message":5})", kWaitingForApproval},
                      PendingCase{"NotAnObject", R"(["message"])", kWaitingForApproval},
                      PendingCase{"NotJson", "<p>pending</p>", kWaitingForApproval}),
    CaseName());

struct PollEndCase {
    const char* name;
    ScriptedReply reply;
    std::string status;
    bool forgetsCode;
};

class PollEndTest : public FlowTest, public ::testing::WithParamInterface<PollEndCase> {};

TEST_P(PollEndTest, EndsPollingAndForgetsTheCodeOnlyWhenItIsGone)
{
    ASSERT_TRUE(startClient());
    const std::string marker = uniqueMarker();
    const std::string approveUrl = server.origin() + "/approve/" + marker;
    server.replyOnce("GET", kLinkPollPath, GetParam().reply);
    server.reply("GET", kLinkPollPath, ScriptedReply::json(202, "{}"));
    ASSERT_TRUE(issueCode("END-1", approveUrl));

    ASSERT_TRUE(client.waitForStatus(GetParam().status)) << client.text(kStatusLine);
    EXPECT_EQ(client.text(kLinkCodeEdit), GetParam().forgetsCode ? "" : "END-1");
    {
        const FastTicker ticker(client);
        std::this_thread::sleep_for(1500ms);
    }
    EXPECT_EQ(requestCount(kLinkPollPath), 1u) << "polling went on";

    // Open Pairing Page shows whether the approval page is still known.
    const OpenedLog opened;
    ASSERT_FALSE(opened.file().empty()) << "VANDRETH_OPENED_LOG is not set";
    const auto mark = opened.mark();
    client.setText(kOriginEdit, marker + ".test/");
    client.click(kPairingButton);
    const std::string expected = GetParam().forgetsCode ? "https://" + marker + ".test/link/pc" : approveUrl;
    EXPECT_EQ(opened.waitForLinesWith(marker, mark), std::vector<std::string>{expected});
}

INSTANTIATE_TEST_SUITE_P(
    Answers, PollEndTest,
    ::testing::Values(
        PollEndCase{"NotFound", ScriptedReply::json(404, R"({"message":"This link code is unknown."})"),
                    "This link code is unknown.", true},
        PollEndCase{"Gone", ScriptedReply::json(410, R"({"message":"This link code has expired."})"),
                    "This link code has expired.", true},
        PollEndCase{"ServerError", ScriptedReply::json(500, R"({"message":"The link service failed."})"),
                    "The link service failed.", false},
        PollEndCase{"NoAnswer", ScriptedReply::closeWithoutAnswer(), kNoAnswer, false}),
    CaseName());

struct ApprovalCase {
    const char* name;
    int status;
    std::string body;
    std::string token;
    std::string statusText;
};

class ApprovalTest : public FlowTest, public ::testing::WithParamInterface<ApprovalCase> {};

TEST_P(ApprovalTest, StoresTheTrimmedTokenSavesItAndChecksTheAccount)
{
    ASSERT_TRUE(startClient());
    server.replyOnce("GET", kLinkPollPath, ScriptedReply::json(GetParam().status, GetParam().body));
    server.reply("GET", kLinkPollPath, ScriptedReply::json(202, "{}"));
    // The account check stays unanswered, so the approval's own text stays on the status line.
    server.reply("GET", kMePath, ScriptedReply::hang());
    ASSERT_TRUE(issueCode("OK-1"));

    ASSERT_TRUE(waitForRequestsTo(kMePath, 1));
    EXPECT_TRUE(client.waitForStatus(GetParam().statusText)) << client.text(kStatusLine);
    EXPECT_EQ(server.requestsTo(kMePath)[0].header("Authorization"), "Bearer " + GetParam().token);
    EXPECT_EQ(appData.stateBytes(), stateFile(GetParam().token));
    EXPECT_EQ(client.text(kLinkCodeEdit), "OK-1");
    EXPECT_TRUE(client.enabled(kUnlinkButton));
    EXPECT_TRUE(client.enabled(kRefreshButton));
    {
        const FastTicker ticker(client);
        std::this_thread::sleep_for(1500ms);
    }
    EXPECT_EQ(requestCount(kLinkPollPath), 1u) << "polling went on after the approval";
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ApprovalTest,
    ::testing::Values(ApprovalCase{"WithMessage", 200,
                                   R"({"access_token":"  tok-new-1\t\n","message":"PC linked to Mira's account."})",
                                   "tok-new-1", "PC linked to Mira's account."},
                      ApprovalCase{"WithoutMessage", 201, R"({"access_token":"tok-new-2"})", "tok-new-2",
                                   "Vandreth desktop client linked."},
                      ApprovalCase{"MessageNotAString", 200, R"({"access_token":"tok-new-3","message":7})",
                                   "tok-new-3", "Vandreth desktop client linked."}),
    CaseName());

// Poll answers that count as approval but carry no usable access token.
struct TokenlessCase {
    const char* name;
    ScriptedReply reply;
    const char* status = kApprovedWithoutToken;
};

class TokenlessApprovalTest : public FlowTest,
                              public ::testing::WithParamInterface<std::tuple<TokenlessCase, bool>> {
protected:
    const TokenlessCase& answer() const { return std::get<0>(GetParam()); }
    bool linked() const { return std::get<1>(GetParam()); }
};

TEST_P(TokenlessApprovalTest, EndsPollingAndKeepsTheTokenHeld)
{
    if (linked()) {
        ASSERT_TRUE(startLinked(R"({"user":{"display_name":"Mira"}})", R"({"instances":[]})"));
    } else {
        ASSERT_TRUE(startClient());
    }
    const std::string token = linked() ? kToken : "";
    const std::size_t checks = requestCount(kMePath);
    server.replyOnce("GET", kLinkPollPath, answer().reply);
    server.reply("GET", kLinkPollPath, ScriptedReply::json(202, "{}"));
    ASSERT_TRUE(issueCode("NOTOKEN-1"));

    ASSERT_TRUE(client.waitForStatus(answer().status)) << client.text(kStatusLine);
    EXPECT_EQ(client.text(kLinkCodeEdit), "NOTOKEN-1");
    EXPECT_EQ(appData.stateBytes(), stateFile(token));
    EXPECT_EQ(client.enabled(kUnlinkButton), linked());
    EXPECT_EQ(client.enabled(kRefreshButton), linked());
    {
        const FastTicker ticker(client);
        std::this_thread::sleep_for(1500ms);
    }
    EXPECT_EQ(requestCount(kLinkPollPath), 1u) << "polling went on";
    EXPECT_EQ(requestCount(kMePath), checks);
    EXPECT_EQ(client.text(kStatusLine), answer().status);

    if (linked()) {
        server.replyOnce("GET", kInstancesPath, ScriptedReply::json(200, R"({"instances":[]})"));
        client.click(kRefreshButton);
        ASSERT_TRUE(client.waitForStatus(loadedStatus(0))) << client.text(kStatusLine);
        EXPECT_EQ(server.requestsTo(kInstancesPath).back().header("Authorization"), std::string("Bearer ") + kToken);
    }
    EXPECT_EQ(client.close(), 0);
    EXPECT_EQ(appData.stateBytes(), stateFile(token));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, TokenlessApprovalTest,
    ::testing::Combine(
        ::testing::Values(
            TokenlessCase{"NoToken", ScriptedReply::json(200, R"({"message":"Approved."})")},
            TokenlessCase{"TokenNumber", ScriptedReply::json(200, R"({"access_token":42})")},
            TokenlessCase{"TokenBlank", ScriptedReply::json(200, R"({"access_token":" \t\r\n "})")},
            TokenlessCase{"NotJson", ScriptedReply::withHeaders(200, {"Content-Type: text/html"}, "<p>approved</p>")},
            TokenlessCase{"NoContent", ScriptedReply::withHeaders(204, {}, "")},
            TokenlessCase{"SeeOtherNowhere", ScriptedReply::withHeaders(303, {}, "")},
            TokenlessCase{"PermanentRedirectNowhere", ScriptedReply::withHeaders(308, {}, "")},
            TokenlessCase{"UnreadableStatus",
                          ScriptedReply::raw("HTTP/1.1 abc OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}")},
            // Tokens that no Authorization line can carry whole.
            TokenlessCase{"TokenAfterNoBreakSpace", ScriptedReply::json(200, R"({"access_token":"\u00a0tok-nbsp"})"),
                          kApprovedWithUnusableToken},
            TokenlessCase{"TokenWithLetterBeyondAscii", ScriptedReply::json(200, R"({"access_token":"t\u00f6k-1"})"),
                          kApprovedWithUnusableToken},
            TokenlessCase{"TokenWithInnerSpace", ScriptedReply::json(200, R"({"access_token":"tok 1"})"),
                          kApprovedWithUnusableToken},
            TokenlessCase{"TokenWithControlByte", ScriptedReply::json(200, R"({"access_token":"tok\u0001"})"),
                          kApprovedWithUnusableToken}),
        ::testing::Bool()),
    [](const ::testing::TestParamInfo<std::tuple<TokenlessCase, bool>>& test) {
        return std::string(std::get<0>(test.param).name) + (std::get<1>(test.param) ? "_Linked" : "_Unlinked");
    });

struct FailedStartCase {
    const char* name;
    ScriptedReply reply;
    std::string status;
};

class FailedLinkStartTest : public FlowTest, public ::testing::WithParamInterface<FailedStartCase> {};

TEST_P(FailedLinkStartTest, ShowsTheErrorAndLeavesTheEarlierCodePolling)
{
    ASSERT_TRUE(startClient());
    server.reply("GET", kLinkPollPath, ScriptedReply::json(202, "{}"));
    ASSERT_TRUE(issueCode("KEEP-1"));
    ASSERT_TRUE(client.waitForStatus(kWaitingForApproval)) << client.text(kStatusLine);
    std::filesystem::remove(appData.stateFile());

    server.replyOnce("POST", kLinkStartPath, GetParam().reply);
    client.click(kGenerateButton);
    ASSERT_TRUE(client.waitForStatus(GetParam().status)) << client.text(kStatusLine);
    EXPECT_EQ(client.text(kLinkCodeEdit), "KEEP-1");
    EXPECT_FALSE(appData.stateBytes().has_value()) << "a failed link-code request saved the state";

    const auto pollsBefore = requestCount(kLinkPollPath);
    ASSERT_TRUE(waitForRequestsTo(kLinkPollPath, pollsBefore + 1)) << "polling of the earlier code stopped";
    EXPECT_EQ(server.requestsTo(kLinkPollPath).back().target,
              std::string(kLinkPollPath) + "?code=KEEP-1&device_id=" + kDeviceId);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FailedLinkStartTest,
    ::testing::Values(FailedStartCase{"ServerError", ScriptedReply::json(503, R"({"message":"Linking is paused."})"),
                                      "Linking is paused."},
                      FailedStartCase{"NoAnswer", ScriptedReply::closeWithoutAnswer(), kNoAnswer}),
    CaseName());

struct CodelessCase {
    const char* name;
    ScriptedReply reply;
};

class CodelessAnswerTest : public FlowTest, public ::testing::WithParamInterface<CodelessCase> {};

TEST_P(CodelessAnswerTest, EmptiesTheBoxSavesAndEndsPollingOfTheEarlierCode)
{
    ASSERT_TRUE(startClient());
    server.reply("GET", kLinkPollPath, ScriptedReply::json(202, "{}"));
    ASSERT_TRUE(issueCode("OLD-9"));
    // The earlier code's first poll is answered; its next one is two seconds away.
    ASSERT_TRUE(client.waitForStatus(kWaitingForApproval)) << client.text(kStatusLine);
    std::filesystem::remove(appData.stateFile());

    server.replyOnce("POST", kLinkStartPath, GetParam().reply);
    client.click(kGenerateButton);
    ASSERT_TRUE(client.waitFor([&] { return appData.stateBytes().has_value(); })) << "the state was not saved";
    EXPECT_EQ(appData.stateBytes(), stateFile());
    EXPECT_EQ(client.text(kStatusLine), kCodeReady);
    EXPECT_EQ(client.text(kLinkCodeEdit), "");
    {
        const FastTicker ticker(client);
        std::this_thread::sleep_for(3000ms);
    }
    EXPECT_EQ(requestCount(kLinkPollPath), 1u) << "a poll went out without a code";
}

INSTANTIATE_TEST_SUITE_P(
    Answers, CodelessAnswerTest,
    ::testing::Values(CodelessCase{"NoContent", ScriptedReply::withHeaders(204, {}, "")},
                      CodelessCase{"CodeNotAString", ScriptedReply::json(200, R"({"code":42})")},
                      CodelessCase{"EmptyObject", ScriptedReply::json(200, "{}")}),
    CaseName());

}  // namespace
}  // namespace vandreth::test
