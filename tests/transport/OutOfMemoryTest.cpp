// Memory runs out while an answer is parsed: the exchange ends with the out-of-memory text. It
// must not read as an answer with an empty body, which a project list would show as no projects.
#include "HttpClient.h"

#include "ClientTexts.h"
#include "FailingAllocation.h"
#include "LoopbackServer.h"

#include <gtest/gtest.h>

#include <string>

namespace vandreth {
namespace {

using test::FailingAllocation;
using test::kOutOfMemory;
using test::LoopbackServer;
using test::ScriptedReply;

constexpr int kStrings = 100000;

// A JSON array of many short strings: parsing it makes an allocation for each string, while
// reading the body makes a few hundred at the most (its chunks and the body's growth).
std::string manyStrings()
{
    std::string body = "[";
    for (int i = 0; i < kStrings; ++i) {
        body += i == 0 ? "\"ab\"" : ",\"ab\"";
    }
    return body + "]";
}

TEST(OutOfMemory, WhileTheAnswerIsParsedEndsTheExchangeWithItsText)
{
    LoopbackServer server;
    server.reply("GET", "/big", ScriptedReply::json(200, manyStrings()));
    const HttpClient client;
    HttpResult result;
    {
        const FailingAllocation failing(kStrings / 2);
        result = client.request("GET", server.origin() + "/big", {}, "tok");
        ASSERT_TRUE(failing.failed());
    }

    EXPECT_EQ(result.statusCode, 0);
    EXPECT_TRUE(result.json.is_null()) << result.json.dump().substr(0, 200);
    EXPECT_EQ(result.error, kOutOfMemory);

    // With memory to spare again, the same answer parses whole.
    const HttpResult again = client.request("GET", server.origin() + "/big", {}, "tok");
    EXPECT_EQ(again.statusCode, 200);
    EXPECT_EQ(again.json.size(), static_cast<std::size_t>(kStrings));
}

}  // namespace
}  // namespace vandreth
