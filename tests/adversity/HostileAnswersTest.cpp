// Answers that a broken or hostile service could send, for each of the five requests: the
// client must survive them, say something sensible, keep its other buttons working and keep
// the state file (token and device id): none of them is the service refusing the token.
#include "AdversityFixture.h"
#include "AppTypes.h"
#include "CaseName.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vandreth::test {
namespace {

enum class Answer {
    HtmlPage,
    ErrorPage,
    InvalidUtf8,
    LoneSurrogate,
    NulInside,
    Nested,
    HugeString,
    ManyElements,
    WrongNull,
    WrongBoolean,
    WrongNumber,
    WrongArray,
    WrongObject,
    WrongContainers,
    WrongElements,
    CutShort,
    Reset,
    ClosedUnanswered,
    Hang,
};

constexpr std::size_t kHugeLength = 50u * 1024u * 1024u;
constexpr char kHugeFill = 'x';
constexpr int kManyElements = 100000;
constexpr std::size_t kNestingDepth = 100000;
// The 50 MB and 100,000-element answers take a while to cross and to show under Wine, and far
// longer on a busy machine.
constexpr auto kAnswerLimit = std::chrono::seconds(120);

const char* kindName(TaskKind kind)
{
    switch (kind) {
    case TaskKind::LinkStart:
        return "LinkStart";
    case TaskKind::LinkPoll:
        return "LinkPoll";
    case TaskKind::Me:
        return "Me";
    case TaskKind::Instances:
        return "Instances";
    case TaskKind::CreateInstance:
        break;
    }
    return "CreateInstance";
}

const char* answerName(Answer answer)
{
    switch (answer) {
    case Answer::HtmlPage:
        return "HtmlPage";
    case Answer::ErrorPage:
        return "ErrorPage";
    case Answer::InvalidUtf8:
        return "InvalidUtf8";
    case Answer::LoneSurrogate:
        return "LoneSurrogate";
    case Answer::NulInside:
        return "NulInside";
    case Answer::Nested:
        return "Nested100000Deep";
    case Answer::HugeString:
        return "String50MB";
    case Answer::ManyElements:
        return "Elements100000";
    case Answer::WrongNull:
        return "WrongTypeNull";
    case Answer::WrongBoolean:
        return "WrongTypeBoolean";
    case Answer::WrongNumber:
        return "WrongTypeNumber";
    case Answer::WrongArray:
        return "WrongTypeArray";
    case Answer::WrongObject:
        return "WrongTypeObject";
    case Answer::WrongContainers:
        return "WrongTypeContainers";
    case Answer::WrongElements:
        return "WrongTypeElements";
    case Answer::CutShort:
        return "ClosedMidBody";
    case Answer::Reset:
        return "ResetMidBody";
    case Answer::ClosedUnanswered:
        return "ClosedUnanswered";
    case Answer::Hang:
        break;
    }
    return "NeverAnswers";
}

// A window text as expected: `head`, then `filler` times kHugeFill, then `tail`.
struct Text {
    Text(const char* text) : head(text) {}
    Text(std::string text) : head(std::move(text)) {}
    Text(std::string start, std::size_t fill, std::string end = "")
        : head(std::move(start)), filler(fill), tail(std::move(end))
    {
    }

    std::string head;
    std::size_t filler = 0;
    std::string tail;
};

// Compares without ever printing 50 MB: a mismatch names the lengths and the first difference.
testing::AssertionResult shows(const std::string& actual, const Text& expected)
{
    const std::size_t length = expected.head.size() + expected.filler + expected.tail.size();
    const auto expectedAt = [&](std::size_t i) {
        if (i < expected.head.size()) {
            return expected.head[i];
        }
        i -= expected.head.size();
        return i < expected.filler ? kHugeFill : expected.tail[i - expected.filler];
    };
    std::size_t same = 0;
    while (same < actual.size() && same < length && actual[same] == expectedAt(same)) {
        ++same;
    }
    if (same == length && actual.size() == length) {
        return testing::AssertionSuccess();
    }
    const std::size_t from = same > 20 ? same - 20 : 0;
    return testing::AssertionFailure() << "length " << actual.size() << " (expected " << length
                                       << "), first difference at byte " << same << ", actual from byte " << from
                                       << ": \"" << actual.substr(from, 60) << "\"";
}

struct ListShape {
    int count;
    Text first = "";
    Text last = "";
};

struct Outcome {
    Text status;
    std::vector<std::pair<int, Text>> texts = {};
    std::optional<ListShape> projects = std::nullopt;
    std::optional<ListShape> cores = std::nullopt;
};

struct HostileCase {
    TaskKind kind;
    Answer answer;
    Outcome outcome;
};

void PrintTo(const HostileCase& row, std::ostream* out)
{
    *out << kindName(row.kind) << '_' << answerName(row.answer);
}

std::string rowName(const testing::TestParamInfo<HostileCase>& info)
{
    return std::string(kindName(info.param.kind)) + "_" + answerName(info.param.answer);
}

const std::vector<std::pair<int, Text>> kHealthySummary{
    {kAccountLine, "Signed in as Ada Lovelace"}, {kPlanLine, "Plan: Pro"}, {kLimitLine, "Limit: 5 RERIs"}};
const std::vector<std::pair<int, Text>> kFallbackSummary{
    {kAccountLine, "Signed in as Vandreth user"}, {kPlanLine, "Plan: Free"}, {kLimitLine, kNoLimit}};
const ListShape kNoCoreList{1, kNoCores, kNoCores};

// The answer counts as a success, but nothing in it can be used: every reader falls back.
Outcome fallbackOf(TaskKind kind)
{
    switch (kind) {
    case TaskKind::LinkStart:
        return {kCodeReady, {{kLinkCodeEdit, ""}}};
    case TaskKind::LinkPoll:
        return {kWaitingForApproval, {{kLinkCodeEdit, kCode}}};
    case TaskKind::Me:
        return {loadedStatus(1), kFallbackSummary, std::nullopt, kNoCoreList};
    case TaskKind::Instances:
        return {loadedStatus(0), {}, ListShape{0}};
    case TaskKind::CreateInstance:
        break;
    }
    return {"Vandreth created your RERI from the desktop client.", {{kNameEdit, ""}}};
}

// Every string member holds a value of another type; list elements are still objects.
Outcome wrongTypedOf(TaskKind kind)
{
    switch (kind) {
    case TaskKind::Me:
        return {loadedStatus(1), kFallbackSummary, std::nullopt, ListShape{1, "", ""}};
    case TaskKind::Instances:
        return {loadedStatus(1), {}, ListShape{1, "  []  ", "  []  "}};
    default:
        return fallbackOf(kind);
    }
}

// The request failed with `error`.
Outcome failureOf(TaskKind kind, const std::string& error)
{
    switch (kind) {
    case TaskKind::LinkStart:
        return {error, {{kLinkCodeEdit, ""}}};
    case TaskKind::LinkPoll:
        return {error, {{kLinkCodeEdit, kCode}}};
    case TaskKind::Me:
        return {error,
                {{kAccountLine, kAccountUnchecked}, {kPlanLine, kNoPlan}, {kLimitLine, kNoLimit}},
                ListShape{0},
                kNoCoreList};
    case TaskKind::Instances:
        return {error, {}, ListShape{1, kHealthyProjectLine, kHealthyProjectLine}};
    case TaskKind::CreateInstance:
        break;
    }
    return {error, {{kNameEdit, "Forge"}}};
}

// The request is still out.
Outcome pendingOf(TaskKind kind)
{
    switch (kind) {
    case TaskKind::LinkStart:
        return {kRequestingCode, {{kLinkCodeEdit, ""}}};
    case TaskKind::LinkPoll:
        return {kCodeReady, {{kLinkCodeEdit, kCode}}};
    case TaskKind::Me:
        return {kCheckingSession, {{kAccountLine, kNotLinkedYet}}};
    case TaskKind::Instances:
        return {kRefreshing, {}, ListShape{1, kHealthyProjectLine, kHealthyProjectLine}};
    case TaskKind::CreateInstance:
        break;
    }
    return {kCreating, {{kNameEdit, "Forge"}}};
}

// Every string member holds "Ada", a NUL, then "hidden": windows show the text up to the NUL.
Outcome nulCutOf(TaskKind kind)
{
    switch (kind) {
    case TaskKind::LinkStart:
        return {kCodeReady, {{kLinkCodeEdit, "Ada"}}};
    case TaskKind::LinkPoll:
        return {"Ada", {{kLinkCodeEdit, kCode}}};
    case TaskKind::Me:
        return {loadedStatus(1),
                {{kAccountLine, "Signed in as Ada"}, {kPlanLine, "Plan: Ada"}, {kLimitLine, "Limit: Ada"}},
                std::nullopt,
                ListShape{1, "Ada", "Ada"}};
    case TaskKind::Instances:
        return {loadedStatus(1), {}, ListShape{1, "Ada", "Ada"}};
    case TaskKind::CreateInstance:
        break;
    }
    return {"Ada", {{kNameEdit, ""}}};
}

// The member that the kind shows holds 50 MB; the others hold "Pro". A link code is the
// exception: a 50 MB code keeps the edit box busy for half a minute under Wine, so the code
// stays short and its approval URL holds the 50 MB.
Outcome hugeOf(TaskKind kind)
{
    const Text huge("", kHugeLength);
    switch (kind) {
    case TaskKind::LinkStart:
        return {kCodeReady, {{kLinkCodeEdit, kCode}}};
    case TaskKind::LinkPoll:
        return {huge, {{kLinkCodeEdit, kCode}}};
    case TaskKind::Me:
        return {loadedStatus(1),
                {{kAccountLine, Text("Signed in as ", kHugeLength)},
                 {kPlanLine, "Plan: Pro"},
                 {kLimitLine, "Limit: Pro"}},
                std::nullopt,
                ListShape{1, "Pro", "Pro"}};
    case TaskKind::Instances: {
        const Text line("", kHugeLength, "  [Pro]  Pro");
        return {loadedStatus(1), {}, ListShape{1, line, line}};
    }
    case TaskKind::CreateInstance:
        break;
    }
    return {huge, {{kNameEdit, ""}}};
}

// 100,000 list elements where the kind reads a list; a top-level array of 100,000 otherwise.
Outcome manyOf(TaskKind kind)
{
    switch (kind) {
    case TaskKind::Me:
        return {loadedStatus(1), kHealthySummary, std::nullopt, ListShape{kManyElements, "Core 0", "Core 99999"}};
    case TaskKind::Instances:
        return {loadedStatus(100000),
                {},
                ListShape{kManyElements, "Project 0  [p-0]  live", "Project 99999  [p-99999]  live"}};
    default:
        return fallbackOf(kind);
    }
}

// Lists whose elements are numbers, strings, null, booleans, arrays and one partial object.
Outcome wrongElementsOf(TaskKind kind)
{
    if (kind == TaskKind::Me) {
        return {loadedStatus(1), kHealthySummary, std::nullopt, ListShape{6, "", "k-only"}};
    }
    return {loadedStatus(6), {}, ListShape{6, "  []  ", "  [s-only]  "}};
}

std::vector<HostileCase> hostileCases()
{
    std::vector<HostileCase> rows;
    for (const TaskKind kind :
         {TaskKind::LinkStart, TaskKind::LinkPoll, TaskKind::Me, TaskKind::Instances, TaskKind::CreateInstance}) {
        const auto add = [&](Answer answer, Outcome outcome) { rows.push_back({kind, answer, std::move(outcome)}); };
        add(Answer::HtmlPage, fallbackOf(kind));
        add(Answer::ErrorPage, failureOf(kind, "Vandreth returned HTTP 502."));
        add(Answer::InvalidUtf8, fallbackOf(kind));
        add(Answer::LoneSurrogate, fallbackOf(kind));
        add(Answer::NulInside, nulCutOf(kind));
        add(Answer::Nested, wrongTypedOf(kind));
        add(Answer::HugeString, hugeOf(kind));
        add(Answer::ManyElements, manyOf(kind));
        add(Answer::WrongNull, wrongTypedOf(kind));
        add(Answer::WrongBoolean, wrongTypedOf(kind));
        add(Answer::WrongNumber, wrongTypedOf(kind));
        add(Answer::WrongArray, wrongTypedOf(kind));
        add(Answer::WrongObject, wrongTypedOf(kind));
        add(Answer::WrongContainers, fallbackOf(kind));
        if (kind == TaskKind::Me || kind == TaskKind::Instances) {
            add(Answer::WrongElements, wrongElementsOf(kind));
        }
        add(Answer::CutShort, fallbackOf(kind));
        add(Answer::Reset, fallbackOf(kind));
        add(Answer::ClosedUnanswered, failureOf(kind, kNoAnswer));
        add(Answer::Hang, pendingOf(kind));
    }
    return rows;
}

const char* methodOf(TaskKind kind)
{
    return kind == TaskKind::LinkStart || kind == TaskKind::CreateInstance ? "POST" : "GET";
}

const char* pathOf(TaskKind kind)
{
    switch (kind) {
    case TaskKind::LinkStart:
        return kLinkStartPath;
    case TaskKind::LinkPoll:
        return kLinkPollPath;
    case TaskKind::Me:
        return kMePath;
    case TaskKind::Instances:
        return kInstancesPath;
    case TaskKind::CreateInstance:
        break;
    }
    return kCreatePath;
}

// A poll is answered 202 (still pending), as the service answers it most of the time: a
// hostile body then cannot approve anything.
int statusOf(TaskKind kind)
{
    return kind == TaskKind::LinkPoll ? 202 : 200;
}

// The kind's answer with `shown` (JSON text) in the member that the kind shows and `rest` in
// every other string member it reads.
std::string shapedBody(TaskKind kind, const std::string& shown, const std::string& rest)
{
    switch (kind) {
    case TaskKind::LinkStart:
        return R"({"code":)" + shown + R"(,"approve_url":)" + rest + "}";
    case TaskKind::Me:
        return R"({"user":{"display_name":)" + shown + R"(,"plan_name":)" + rest + R"(,"reri_limit_label":)" + rest +
               R"(},"available_cores":[{"key":)" + rest + R"(,"label":)" + rest + "}]}";
    case TaskKind::Instances:
        return R"({"instances":[{"core_label":)" + rest + R"(,"display_name":)" + shown + R"(,"manage_url":)" + rest +
               R"(,"public_url":)" + rest + R"(,"slug":)" + rest + R"(,"status":)" + rest + "}]}";
    default:
        return R"({"message":)" + shown + "}";
    }
}

std::string everywhere(TaskKind kind, const std::string& value)
{
    return shapedBody(kind, value, value);
}

std::string healthyShapedBody(TaskKind kind)
{
    return shapedBody(kind, R"("Ada Lovelace")", R"("Pro")");
}

std::string manyBody(TaskKind kind)
{
    std::string body;
    const auto each = [&](const char* opening, auto element) {
        body = opening;
        for (int i = 0; i < kManyElements; ++i) {
            body += i == 0 ? "" : ",";
            body += element(std::to_string(i));
        }
        body += "]";
    };
    if (kind == TaskKind::Me) {
        each(R"({"user":{"display_name":"Ada Lovelace","plan_name":"Pro","reri_limit_label":"5 RERIs"},)"
             R"("available_cores":[)",
             [](const std::string& n) { return R"({"key":"core-)" + n + R"(","label":"Core )" + n + R"("})"; });
        body += "}";
    } else if (kind == TaskKind::Instances) {
        each(R"({"instances":[)", [](const std::string& n) {
            return R"({"display_name":"Project )" + n + R"(","slug":"p-)" + n + R"(","status":"live"})";
        });
        body += "}";
    } else {
        each("[", [kind](const std::string&) { return healthyShapedBody(kind); });
    }
    return body;
}

std::string wrongContainersBody(TaskKind kind)
{
    switch (kind) {
    case TaskKind::Me:
        return R"({"user":"Ada Lovelace","available_cores":{"key":"paper","label":"Paper 1.21"}})";
    case TaskKind::Instances:
        return R"({"instances":{"display_name":"Arena","slug":"arena-1","status":"active"}})";
    default:
        return R"("WXYZ-1234")";
    }
}

std::string wrongElementsBody(TaskKind kind)
{
    if (kind == TaskKind::Me) {
        return R"({"user":{"display_name":"Ada Lovelace","plan_name":"Pro","reri_limit_label":"5 RERIs"},)"
               R"("available_cores":[42,"paper",null,true,[],{"key":"k-only"}]})";
    }
    return R"({"instances":[42,"Arena",null,true,[],{"slug":"s-only"}]})";
}

const std::string kHtml =
    "<!DOCTYPE html><html><head><title>Bad Gateway</title></head><body><h1>Bad Gateway</h1></body></html>";

// The bytes of a JSON answer whose body stops halfway, for a server that then drops the line.
std::string halfAnswer(TaskKind kind)
{
    const std::string body = healthyShapedBody(kind);
    return "HTTP/1.1 " + std::to_string(statusOf(kind)) +
           " Status\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body.substr(0, body.size() / 2);
}

ScriptedReply hostileReply(TaskKind kind, Answer answer)
{
    const int status = statusOf(kind);
    const auto json = [&](const std::string& body) { return ScriptedReply::json(status, body); };
    switch (answer) {
    case Answer::HtmlPage:
        return ScriptedReply::withHeaders(status, {"Content-Type: text/html"}, kHtml);
    case Answer::ErrorPage:
        return ScriptedReply::withHeaders(502, {"Content-Type: text/html"}, kHtml);
    case Answer::InvalidUtf8:
        return json(everywhere(kind, "\"Ada \xC3\x28 Love\xFFlace\""));
    case Answer::LoneSurrogate:
        return json(everywhere(kind, R"("Ada \ud800 Lovelace")"));
    case Answer::NulInside:
        return json(everywhere(kind, R"("Ada\u0000hidden")"));
    case Answer::Nested:
        return json(everywhere(kind, std::string(kNestingDepth, '[') + std::string(kNestingDepth, ']')));
    case Answer::HugeString: {
        const std::string huge = "\"" + std::string(kHugeLength, kHugeFill) + "\"";
        return json(kind == TaskKind::LinkStart ? shapedBody(kind, R"("WXYZ-1234")", huge)
                                            : shapedBody(kind, huge, R"("Pro")"));
    }
    case Answer::ManyElements:
        return json(manyBody(kind));
    case Answer::WrongNull:
        return json(everywhere(kind, "null"));
    case Answer::WrongBoolean:
        return json(everywhere(kind, "true"));
    case Answer::WrongNumber:
        return json(everywhere(kind, "-12.5e300"));
    case Answer::WrongArray:
        return json(everywhere(kind, R"([1,"two"])"));
    case Answer::WrongObject:
        return json(everywhere(kind, R"({"text":"Ada"})"));
    case Answer::WrongContainers:
        return json(wrongContainersBody(kind));
    case Answer::WrongElements:
        return json(wrongElementsBody(kind));
    case Answer::CutShort: {
        const std::string body = healthyShapedBody(kind);
        return ScriptedReply::cutShort(status, body, body.size() / 2);
    }
    case Answer::ClosedUnanswered:
        return ScriptedReply::closeWithoutAnswer();
    case Answer::Reset:
        return ScriptedReply::raw(halfAnswer(kind)).thenReset();
    case Answer::Hang:
        break;
    }
    return ScriptedReply::hang();
}

// The button that stays disabled while a request of the kind is out, if it has one.
std::optional<int> buttonOf(TaskKind kind)
{
    switch (kind) {
    case TaskKind::LinkStart:
        return kGenerateButton;
    case TaskKind::Instances:
        return kRefreshButton;
    case TaskKind::CreateInstance:
        return kCreateButton;
    default:
        return std::nullopt;
    }
}

class HostileAnswers : public testing::TestWithParam<HostileCase> {
protected:
    // Another kind's button, and that it still brings its answer.
    void expectOtherKindWorks(TaskKind kind)
    {
        if (kind == TaskKind::LinkStart || kind == TaskKind::LinkPoll) {
            client.click(kRefreshButton);
            EXPECT_TRUE(client.waitForStatus(loadedStatus(1))) << client.text(kStatusLine).substr(0, 200);
            EXPECT_EQ(client.listLine(kProjectList, 0), kHealthyProjectLine);
        } else {
            client.click(kGenerateButton);
            EXPECT_TRUE(client.waitForStatus(kCodeReady)) << client.text(kStatusLine).substr(0, 200);
            EXPECT_EQ(client.text(kLinkCodeEdit), kCode);
        }
    }

    void expectShape(int id, const ListShape& shape, bool combo)
    {
        SCOPED_TRACE(combo ? "core list" : "project list");
        const int count = combo ? client.comboCount(id) : client.listCount(id);
        ASSERT_EQ(count, shape.count);
        if (count > 0) {
            EXPECT_TRUE(shows(combo ? client.comboEntry(id, 0) : client.listLine(id, 0), shape.first));
            EXPECT_TRUE(shows(combo ? client.comboEntry(id, count - 1) : client.listLine(id, count - 1), shape.last));
        }
    }

    void expectOutcome(const Outcome& outcome)
    {
        EXPECT_TRUE(shows(client.text(kStatusLine), outcome.status));
        for (const auto& [id, text] : outcome.texts) {
            SCOPED_TRACE("control " + std::to_string(id));
            EXPECT_TRUE(shows(client.text(id), text));
        }
        if (outcome.projects) {
            expectShape(kProjectList, *outcome.projects, false);
        }
        if (outcome.cores) {
            expectShape(kCoreCombo, *outcome.cores, true);
        }
    }

    ScopedAppData appData;
    LoopbackServer server;
    ClientHarness client;
};

TEST_P(HostileAnswers, LeaveTheClientWorkingAndItsStateKept)
{
    const HostileCase& c = GetParam();
    const Outcome& outcome = c.outcome;
    serveHealthyService(server);
    // Once only: a poll that came again would put its text back over the next step's.
    const auto answerUnderTest = [&] {
        server.replyOnce(methodOf(c.kind), pathOf(c.kind), hostileReply(c.kind, c.answer));
    };

    if (c.kind == TaskKind::Me) {
        answerUnderTest();
    }
    appData.writeState(stateFileBytes(server.origin(), kDeviceId, kToken));
    ASSERT_TRUE(client.start());
    if (c.kind != TaskKind::Me) {
        ASSERT_TRUE(client.waitForStatus(loadedStatus(1))) << client.text(kStatusLine);
        answerUnderTest();
        if (c.kind == TaskKind::CreateInstance) {
            // Holds the project list that a create starts, so that the create's own text stays.
            server.reply("GET", kInstancesPath, ScriptedReply::hang());
        }
    }
    sendRequestOf(c.kind, client);
    const auto arrived = [&] { return !server.requestsTo(pathOf(c.kind)).empty(); };
    ASSERT_TRUE(ClientHarness::waitFor(arrived, std::chrono::seconds(10)));

    if (c.answer == Answer::Hang) {
        EXPECT_TRUE(answersWmNull(client.window(), kWmNullLimit));
        if (const auto button = buttonOf(c.kind)) {
            EXPECT_FALSE(client.enabled(*button));
        }
        expectOutcome(outcome);
        expectOtherKindWorks(c.kind);
        EXPECT_TRUE(answersWmNull(client.window(), kWmNullLimit));
    } else {
        ASSERT_TRUE(client.waitFor([&] { return shows(client.text(kStatusLine), outcome.status); }, kAnswerLimit))
            << shows(client.text(kStatusLine), outcome.status).message();
        expectOutcome(outcome);
        EXPECT_TRUE(answersWmNull(client.window(), kWmNullLimit));
        EXPECT_TRUE(client.enabled(kGenerateButton));
        EXPECT_TRUE(client.enabled(kCreateButton));
        expectOtherKindWorks(c.kind);
    }

    EXPECT_EQ(client.close(), 0);
    EXPECT_EQ(appData.stateBytes(), stateFileBytes(server.origin(), kDeviceId, kToken));
}

INSTANTIATE_TEST_SUITE_P(Rows, HostileAnswers, testing::ValuesIn(hostileCases()), rowName);

// An approving poll answer whose token is odd: the client stores what the answer holds,
// trimmed, and the account check that follows must carry it without breaking its request. An
// answer without a usable token links nothing: no check follows and no token is stored.
struct ApprovalCase {
    std::string name;
    std::string body;
    std::string storedToken;  // as the state file then spells it (JSON escapes included)
    std::string status;
    std::optional<std::string> authorization;  // of the account check; none when no check goes out
};

void PrintTo(const ApprovalCase& row, std::ostream* out)
{
    *out << row.name;
}

class ApprovingPollAnswers : public testing::TestWithParam<ApprovalCase> {
protected:
    ScopedAppData appData;
    LoopbackServer server;
    ClientHarness client;
};

TEST_P(ApprovingPollAnswers, LinkOnlyWithATokenThatCanBeSentWhole)
{
    const ApprovalCase& c = GetParam();
    serveHealthyService(server);
    server.replyOnce("GET", kLinkPollPath, ScriptedReply::json(200, c.body));
    appData.writeState(stateFileBytes(server.origin(), kDeviceId));
    ASSERT_TRUE(client.start());

    client.click(kGenerateButton);
    ASSERT_TRUE(client.waitForStatus(c.status)) << client.text(kStatusLine);

    const auto checks = server.requestsTo(kMePath);
    ASSERT_EQ(checks.size(), c.authorization ? 1u : 0u);
    for (const auto& check : checks) {
        EXPECT_EQ(check.header("Authorization"), c.authorization);
        for (const std::string& line : check.headerLines) {
            EXPECT_EQ(line.find("X-Injected"), std::string::npos) << line;
        }
    }
    EXPECT_EQ(client.enabled(kRefreshButton), c.authorization.has_value());
    EXPECT_TRUE(answersWmNull(client.window(), kWmNullLimit));
    EXPECT_EQ(client.close(), 0);
    EXPECT_EQ(appData.stateBytes(), stateFileBytes(server.origin(), kDeviceId, c.storedToken));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ApprovingPollAnswers,
    testing::Values(
        ApprovalCase{"PaddedToken", R"({"access_token":"  tok-new \t"})", "tok-new", loadedStatus(1),
                     "Bearer tok-new"},
        // A token that no Authorization line can carry whole links nothing.
        ApprovalCase{"NulInsideToken", R"({"access_token":"tok-new\u0000tail"})", "", kApprovedWithUnusableToken,
                     std::nullopt},
        ApprovalCase{"LineBreakInsideToken", R"({"access_token":"tok-new\r\nX-Injected: yes"})", "",
                     kApprovedWithUnusableToken, std::nullopt},
        ApprovalCase{"TabInsideToken", R"({"access_token":"tok-new\tX-Injected: yes"})", "", kApprovedWithUnusableToken,
                     std::nullopt},
        ApprovalCase{"SpaceInsideToken", R"({"access_token":"tok-new X-Injected: yes"})", "",
                     kApprovedWithUnusableToken, std::nullopt},
        ApprovalCase{"DeleteInsideToken", R"({"access_token":"tok-new\u007ftail"})", "", kApprovedWithUnusableToken,
                     std::nullopt},
        ApprovalCase{"ControlInsideToken", R"({"access_token":"tok-new\u0001tail"})", "", kApprovedWithUnusableToken,
                     std::nullopt},
        ApprovalCase{"Utf8LetterInsideToken", R"({"access_token":"tok-new\u00e9tail"})", "",
                     kApprovedWithUnusableToken, std::nullopt},
        ApprovalCase{"TokenOfWrongType", R"({"access_token":42})", "", kApprovedWithoutToken, std::nullopt},
        ApprovalCase{"NotJson", "<html><body>approved</body></html>", "", kApprovedWithoutToken, std::nullopt}),
    CaseName());

}  // namespace
}  // namespace vandreth::test
