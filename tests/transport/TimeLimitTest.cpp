// Every exchange ends: a server that answers too slowly, or not at all, cannot keep a request
// in flight beyond the client's limits, and an answer that comes within them is taken. The
// limits here are the program's own, scaled down: a second here stands for 30 seconds.
#include "HttpClient.h"

#include "CaseName.h"
#include "ClientTexts.h"
#include "LoopbackServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

namespace vandreth {
namespace {

using nlohmann::json;
using test::CaseName;
using test::kNoAnswer;
using test::kTooSlow;
using test::LoopbackServer;
using test::ScriptedReply;
using namespace std::chrono_literals;

constexpr int kScale = 30;

HttpLimits scaledLimits()
{
    HttpLimits limits;
    for (std::chrono::milliseconds* limit :
         {&limits.resolve, &limits.connect, &limits.send, &limits.receive, &limits.head, &limits.exchange}) {
        *limit /= kScale;
    }
    return limits;
}

ScriptedReply redirectToItself(std::chrono::milliseconds after)
{
    return ScriptedReply::withHeaders(302, {"Location: /slow"}, "{}").delayed(after);
}

struct SlowCase {
    std::string name;
    // The answers to the requests, in order; the last one answers every request after it too.
    std::vector<ScriptedReply> replies;
    int expectedStatus;
    json expectedJson;
    std::string expectedError;
};

void PrintTo(const SlowCase& row, std::ostream* out)
{
    *out << row.name;
}

class SlowAnswer : public testing::TestWithParam<SlowCase> {};

TEST_P(SlowAnswer, EndsWithinTheLimitsAndIsTakenWhenItComesInTime)
{
    const SlowCase& c = GetParam();
    LoopbackServer server;
    for (std::size_t i = 0; i + 1 < c.replies.size(); ++i) {
        server.replyOnce("GET", "/slow", c.replies[i]);
    }
    server.reply("GET", "/slow", c.replies.back());
    const HttpLimits limits = scaledLimits();
    const auto started = std::chrono::steady_clock::now();

    const HttpResult result = HttpClient(limits).request("GET", server.origin() + "/slow", {}, "tok");

    // The exchange may run past its limit by one read of the body at the most.
    EXPECT_LT(std::chrono::steady_clock::now() - started, limits.exchange + limits.receive);
    EXPECT_EQ(result.statusCode, c.expectedStatus);
    EXPECT_EQ(result.json, c.expectedJson) << result.json.dump();
    EXPECT_EQ(result.error, c.expectedError);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SlowAnswer,
    testing::Values(
        // A byte every 50 ms: every read comes in time, but the body would take hours.
        SlowCase{"BodyDripsForEver", {ScriptedReply::slowDrip(200, std::string(1000000, ' '), 50ms)}, 0, json(),
                 kTooSlow},
        SlowCase{"ErrorBodyDripsForEver", {ScriptedReply::slowDrip(500, std::string(1000000, ' '), 50ms)}, 0, json(),
                 kTooSlow},
        // Each request answers in time, but together they take longer than the exchange may.
        SlowCase{"RedirectsWithinTheOriginForTooLong", {redirectToItself(600ms)}, 0, json(), kTooSlow},
        // Three redirects use up most of the limit; the request after them would get no answer
        // within its own waits, which are cut to what is left.
        SlowCase{"RedirectsUseUpMostOfTheLimit",
                 {redirectToItself(1200ms), redirectToItself(1200ms), redirectToItself(1200ms), ScriptedReply::hang()},
                 0,
                 json(),
                 kTooSlow},
        // Within the limit, the wait for an answer's head ends first.
        SlowCase{"NoAnswerAtAll", {ScriptedReply::hang()}, 0, json(), kNoAnswer},
        // 60 s of the program's: past the 30 s that every wait once had, within WinHTTP's own
        // wait for the head.
        SlowCase{"HeadAfterTwiceTheReadWait", {ScriptedReply::json(200, "[1]").delayed(2s)}, 200, json::array({1}), ""},
        SlowCase{"SlowButWithinTheLimit", {ScriptedReply::slowDrip(200, "[1,2]", 50ms)}, 200, json::array({1, 2}), ""}),
    CaseName());

}  // namespace
}  // namespace vandreth
