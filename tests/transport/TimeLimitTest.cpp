// Every exchange ends: a server that answers too slowly, or not at all, cannot keep a request
// in flight beyond the client's limits. The limits here are short stand-ins for the program's.
#include "HttpClient.h"

#include "CaseName.h"
#include "ClientTexts.h"
#include "LoopbackServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ostream>
#include <string>

namespace vandreth {
namespace {

using nlohmann::json;
using test::CaseName;
using test::kNoAnswer;
using test::kTooSlow;
using test::LoopbackServer;
using test::ScriptedReply;
using namespace std::chrono_literals;

// Far beyond any of the limits below, yet far below the test's own time-out: an exchange that
// takes this long was not bounded by them.
constexpr auto kUnbounded = std::chrono::seconds(60);

HttpLimits shortLimits()
{
    HttpLimits limits;
    limits.receive = 2s;
    limits.exchange = 1500ms;
    return limits;
}

ScriptedReply redirectToItself(const std::string& path)
{
    return ScriptedReply::withHeaders(302, {"Location: " + path}, "{}").delayed(400ms);
}

struct SlowCase {
    std::string name;
    ScriptedReply reply;
    int expectedStatus;
    json expectedJson;
    std::string expectedError;
};

void PrintTo(const SlowCase& row, std::ostream* out)
{
    *out << row.name;
}

class SlowAnswer : public testing::TestWithParam<SlowCase> {};

TEST_P(SlowAnswer, EndsWithinTheLimits)
{
    const SlowCase& c = GetParam();
    LoopbackServer server;
    server.reply("GET", "/slow", c.reply);
    const auto started = std::chrono::steady_clock::now();

    const HttpResult result = HttpClient(shortLimits()).request("GET", server.origin() + "/slow", {}, "tok");

    EXPECT_LT(std::chrono::steady_clock::now() - started, kUnbounded);
    EXPECT_EQ(result.statusCode, c.expectedStatus);
    EXPECT_EQ(result.json, c.expectedJson) << result.json.dump();
    EXPECT_EQ(result.error, c.expectedError);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, SlowAnswer,
    testing::Values(
        // A byte every 50 ms: every read comes in time, but the body would take hours.
        SlowCase{"BodyDripsForEver", ScriptedReply::slowDrip(200, std::string(1000000, ' '), 50ms), 0, json(),
                 kTooSlow},
        SlowCase{"ErrorBodyDripsForEver", ScriptedReply::slowDrip(500, std::string(1000000, ' '), 50ms), 0, json(),
                 kTooSlow},
        // Each hop answers in time, but the hops together take longer than the exchange may.
        SlowCase{"RedirectsWithinTheOriginForTooLong", redirectToItself("/slow"), 0, json(), kTooSlow},
        SlowCase{"NoAnswerAtAll", ScriptedReply::hang(), 0, json(), kNoAnswer},
        SlowCase{"SlowButWithinTheLimit", ScriptedReply::slowDrip(200, "[1,2]", 50ms), 200, json::array({1, 2}), ""}),
    CaseName());

}  // namespace
}  // namespace vandreth
