// HttpClient against the loopback server: what goes out on the wire, and what each kind of
// answer (or its absence) turns into.
#include "HttpClient.h"

#include "CaseName.h"
#include "ClientTexts.h"
#include "LoopbackServer.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <thread>
#include <vector>

namespace vandreth {
namespace {

using nlohmann::json;
using test::CaseName;
using test::closedLoopbackPort;
using test::kNoAnswer;
using test::LoopbackServer;
using test::RecordedRequest;
using test::ScriptedReply;
using namespace std::chrono_literals;

constexpr const char* kAccept = "Accept: application/json";
constexpr const char* kFormType = "Content-Type: application/x-www-form-urlencoded";
constexpr const char* kParseFailed = "Vandreth could not parse the request URL.";
const std::string kBearer = "Authorization: Bearer ";

bool startsWithIgnoringCase(const std::string& line, const std::string& prefix)
{
    if (line.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(line[i])) != std::tolower(static_cast<unsigned char>(prefix[i]))) {
            return false;
        }
    }
    return true;
}

// The lines of the request that the client writes itself (WinHTTP adds Host, User-Agent,
// Content-Length and Connection of its own).
std::vector<std::string> ownHeaderLines(const RecordedRequest& request)
{
    std::vector<std::string> own;
    for (const auto& line : request.headerLines) {
        for (const char* name : {"Accept:", "Authorization:", "Content-Type:"}) {
            if (startsWithIgnoringCase(line, name)) {
                own.push_back(line);
            }
        }
    }
    return own;
}

std::size_t linesNamed(const RecordedRequest& request, const std::string& name)
{
    std::size_t count = 0;
    for (const auto& line : request.headerLines) {
        count += startsWithIgnoringCase(line, name + ":") ? 1 : 0;
    }
    return count;
}

struct FramingCase {
    std::string name;
    std::string method;
    std::string urlAfterOrigin;
    FormFields fields;
    std::string token;
    std::string expectedTarget;
    std::vector<std::string> expectedOwnLines;
    std::string expectedBody;
};

// Rows print as their names, also in the test names that CTest lists.
void PrintTo(const FramingCase& row, std::ostream* out)
{
    *out << row.name;
}

class RequestFraming : public testing::TestWithParam<FramingCase> {
protected:
    LoopbackServer server;
    HttpClient client;
};

TEST_P(RequestFraming, SendsTheRequestLineHeadersAndBody)
{
    const FramingCase& c = GetParam();
    server.reply(c.method, c.expectedTarget.substr(0, c.expectedTarget.find('?')), ScriptedReply::json(200, "{}"));

    const HttpResult result = client.request(c.method, server.origin() + c.urlAfterOrigin, c.fields, c.token);

    EXPECT_EQ(result.statusCode, 200);
    EXPECT_EQ(result.error, "");
    ASSERT_EQ(server.requests().size(), 1u);
    const RecordedRequest request = server.requests().front();
    EXPECT_EQ(request.requestLine, c.method + " " + c.expectedTarget + " HTTP/1.1");
    EXPECT_EQ(ownHeaderLines(request), c.expectedOwnLines);
    EXPECT_EQ(request.header("User-Agent"), "Vandreth-WindowsClient/1.0");
    EXPECT_EQ(linesNamed(request, "User-Agent"), 1u);
    EXPECT_EQ(request.header("Host"), "127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(request.body, c.expectedBody);
    EXPECT_EQ(request.header("Content-Length").value_or("0"), std::to_string(c.expectedBody.size()));
    EXPECT_LE(linesNamed(request, "Content-Length"), 1u);
}


INSTANTIATE_TEST_SUITE_P(
    Rows, RequestFraming,
    testing::Values(
        FramingCase{"GetPlain", "GET", "/api/pc/me", {}, "", "/api/pc/me", {kAccept}, ""},
        FramingCase{"GetWithToken", "GET", "/api/pc/instances", {}, "tok-123", "/api/pc/instances",
                    {kAccept, kBearer + "tok-123"}, ""},
        FramingCase{"TokenSentUnchanged", "GET", "/api/pc/me", {}, "a.B-c_d~e+f/g==", "/api/pc/me",
                    {kAccept, kBearer + "a.B-c_d~e+f/g=="}, ""},
        FramingCase{"TokenCutAtLineBreak", "GET", "/api/pc/me", {}, "tok\r\nX-Injected: yes", "/api/pc/me",
                    {kAccept, kBearer + "tok"}, ""},
        FramingCase{"TokenCutAtTab", "GET", "/api/pc/me", {}, "tok\tX-Injected: yes", "/api/pc/me",
                    {kAccept, kBearer + "tok"}, ""},
        FramingCase{"TokenCutAtSpace", "GET", "/api/pc/me", {}, "tok more", "/api/pc/me", {kAccept, kBearer + "tok"},
                    ""},
        FramingCase{"TokenCutAtDelete", "GET", "/api/pc/me", {}, "tok\x7Fmore", "/api/pc/me",
                    {kAccept, kBearer + "tok"}, ""},
        FramingCase{"TokenCutAtControl", "GET", "/api/pc/me", {}, std::string("tok\x00more", 8), "/api/pc/me",
                    {kAccept, kBearer + "tok"}, ""},
        FramingCase{"TokenCutAtUtf8Letter", "GET", "/api/pc/me", {}, "tok\xC3\xA9more", "/api/pc/me",
                    {kAccept, kBearer + "tok"}, ""},
        FramingCase{"TokenWithNothingUsableSendsNoLine", "POST", "/f", {{"k", "v"}}, "\x7Ftok", "/f",
                    {kAccept, kFormType}, "k=v"},
        FramingCase{"PostWithoutFieldsHasNoBody", "POST", "/api/pc/link/start", {}, "tok", "/api/pc/link/start",
                    {kAccept, kBearer + "tok"}, ""},
        FramingCase{"PostFieldsWithoutToken", "POST", "/api/pc/link/start", {{"a", "1"}, {"b c", "x&y"}}, "",
                    "/api/pc/link/start", {kAccept, kFormType}, "a=1&b+c=x%26y"},
        FramingCase{"PostFieldsAndToken", "POST", "/api/pc/instances/create", {{"display_name", "My RERI \xC3\xA9"}},
                    "tok", "/api/pc/instances/create", {kAccept, kBearer + "tok", kFormType},
                    "display_name=My+RERI+%C3%A9"},
        FramingCase{"OneEmptyPairIsAnEqualsSign", "POST", "/f", {{"", ""}}, "", "/f", {kAccept, kFormType}, "="},
        FramingCase{"RepeatedNameSentTwiceInOrder", "POST", "/f", {{"tag", "b"}, {"other", ""}, {"tag", "a"}}, "",
                    "/f", {kAccept, kFormType}, "tag=b&other=&tag=a"},
        FramingCase{"GetWithFieldsHasABody", "GET", "/f", {{"k", "v"}}, "", "/f", {kAccept, kFormType}, "k=v"},
        FramingCase{"NoPathAsksForRoot", "GET", "", {}, "", "/", {kAccept}, ""},
        FramingCase{"QueryKept", "GET", "/api/pc/link/poll?code=AB%2BC&device_id=vdwin-1a", {}, "",
                    "/api/pc/link/poll?code=AB%2BC&device_id=vdwin-1a", {kAccept}, ""},
        FramingCase{"QueryWithoutPathGoesToRoot", "GET", "?code=x", {}, "", "/?code=x", {kAccept}, ""}),
    CaseName());

TEST(HeaderSafeToken, KeepsPrintableAsciiAndEndsAtAnyOtherByte)
{
    for (int byte = 0; byte < 256; ++byte) {
        SCOPED_TRACE(byte);
        const std::string token = std::string("a") + static_cast<char>(byte) + "b";
        EXPECT_EQ(headerSafeToken(token), byte >= 0x21 && byte <= 0x7E ? token : "a");
    }
    EXPECT_EQ(headerSafeToken(""), "");
    EXPECT_EQ(headerSafeToken(" tok"), "");
}

struct NoResponseCase {
    std::string name;
    std::string url;  // "{closed}" stands for a loopback port on which nothing listens
    std::string expectedError;
};

void PrintTo(const NoResponseCase& row, std::ostream* out)
{
    *out << row.name;
}

class NoResponse : public testing::TestWithParam<NoResponseCase> {};

TEST_P(NoResponse, GivesErrorTextStatusZeroAndNullJson)
{
    std::string url = GetParam().url;
    if (const auto at = url.find("{closed}"); at != std::string::npos) {
        url.replace(at, 8, std::to_string(closedLoopbackPort()));
    }
    const HttpResult result = HttpClient().request("POST", url, {{"a", "1"}}, "tok");

    EXPECT_EQ(result.error, GetParam().expectedError);
    EXPECT_EQ(result.statusCode, 0);
    EXPECT_TRUE(result.json.is_null()) << result.json.dump();
}


INSTANTIATE_TEST_SUITE_P(
    Rows, NoResponse,
    testing::Values(NoResponseCase{"EmptyUrl", "", kParseFailed}, NoResponseCase{"NoScheme", "127.0.0.1/api", kParseFailed},
                    NoResponseCase{"NotAUrl", "not a url", kParseFailed},
                    NoResponseCase{"SchemeWithoutColon", "http//127.0.0.1/api", kParseFailed},
                    NoResponseCase{"UnknownScheme", "ftp://127.0.0.1/api", kParseFailed},
                    NoResponseCase{"NoHost", "http://", kParseFailed},
                    NoResponseCase{"ConnectionRefused", "http://127.0.0.1:{closed}/api/pc/me", kNoAnswer}),
    CaseName());

class HttpClientTest : public testing::Test {
protected:
    HttpResult get(const std::string& path) { return client.request("GET", server.origin() + path, {}, ""); }

    LoopbackServer server;
    HttpClient client;
};

TEST_F(HttpClientTest, ConnectionClosedWithoutAnAnswerIsASendFailure)
{
    server.reply("GET", "/gone", ScriptedReply::closeWithoutAnswer());

    const HttpResult result = get("/gone");

    EXPECT_EQ(result.error, kNoAnswer);
    EXPECT_EQ(result.statusCode, 0);
    EXPECT_TRUE(result.json.is_null());
}

struct AnswerCase {
    std::string name;
    ScriptedReply reply;
    int expectedStatus;
    json expectedJson;
    std::string expectedError;
};

void PrintTo(const AnswerCase& row, std::ostream* out)
{
    *out << row.name;
}

class Answer : public testing::TestWithParam<AnswerCase> {
protected:
    LoopbackServer server;
    HttpClient client;
};

TEST_P(Answer, GivesStatusBodyAndErrorText)
{
    server.reply("GET", "/answer", GetParam().reply);

    const HttpResult result = client.request("GET", server.origin() + "/answer", {}, "");

    EXPECT_EQ(result.statusCode, GetParam().expectedStatus);
    EXPECT_EQ(result.json, GetParam().expectedJson) << result.json.dump();
    EXPECT_EQ(result.error, GetParam().expectedError);
}

ScriptedReply htmlPage(int status)
{
    return ScriptedReply::withHeaders(status, {"Content-Type: text/html"}, "<html><body>Bad gateway</body></html>");
}

INSTANTIATE_TEST_SUITE_P(
    Success, Answer,
    testing::Values(
        AnswerCase{"Ok", ScriptedReply::json(200, R"({"instances":[{"slug":"a"}]})"), 200,
                   json{{"instances", json::array({json{{"slug", "a"}}})}}, ""},
        AnswerCase{"AcceptedWithMessage", ScriptedReply::json(202, R"({"message":"Waiting for approval."})"), 202,
                   json{{"message", "Waiting for approval."}}, ""},
        AnswerCase{"NoContent", ScriptedReply::withHeaders(204, {}, ""), 204, json::object(), ""},
        AnswerCase{"EmptyOkBody", ScriptedReply::json(200, ""), 200, json::object(), ""},
        // A redirect that names no address is an answer like any other.
        AnswerCase{"MovedWithoutLocation", ScriptedReply::json(301, R"({"message":"moved"})"), 301,
                   json{{"message", "moved"}}, ""},
        AnswerCase{"FoundWithoutLocation", ScriptedReply::json(302, "[1]"), 302, json::array({1}), ""},
        AnswerCase{"SeeOtherWithoutLocation", ScriptedReply::json(303, R"({"message":"moved"})"), 303,
                   json{{"message", "moved"}}, ""},
        AnswerCase{"TemporaryRedirectWithoutLocation", ScriptedReply::withHeaders(307, {}, ""), 307, json::object(),
                   ""},
        AnswerCase{"PermanentRedirectWithoutLocation", ScriptedReply::json(308, ""), 308, json::object(), ""},
        AnswerCase{"RedirectWithEmptyLocation", ScriptedReply::withHeaders(302, {"Location: "}, R"({"a":1})"), 302,
                   json{{"a", 1}}, ""},
        AnswerCase{"MultipleChoices", ScriptedReply::json(300, R"({"message":"pick one"})"), 300,
                   json{{"message", "pick one"}}, ""},
        AnswerCase{"NotModified", ScriptedReply::withHeaders(304, {}, ""), 304, json::object(), ""},
        AnswerCase{"HighestStatusWithoutError",
                   ScriptedReply::raw("HTTP/1.1 399 Odd\r\nContent-Length: 16\r\nConnection: close\r\n\r\n"
                                      R"({"message":"no"})"),
                   399, json{{"message", "no"}}, ""},
        AnswerCase{"UnreadableStatusStillReadsTheBody",
                   ScriptedReply::raw("HTTP/1.1 abc OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\n"
                                      R"({"x":1})"),
                   0, json{{"x", 1}}, ""},
        AnswerCase{"BodyEndsWhenTheConnectionCloses", ScriptedReply::raw("HTTP/1.0 200 OK\r\n\r\n[true]"), 200,
                   json::array({true}), ""}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Failure, Answer,
    testing::Values(
        AnswerCase{"LowestErrorStatus", ScriptedReply::json(400, R"({"message":"Bad code."})"), 400,
                   json{{"message", "Bad code."}}, "Bad code."},
        AnswerCase{"MessageWinsOverError", ScriptedReply::json(409, R"({"error":"e","message":"m"})"), 409,
                   json{{"error", "e"}, {"message", "m"}}, "m"},
        AnswerCase{"EmptyMessageFallsToError", ScriptedReply::json(401, R"({"message":"","error":"Token expired."})"),
                   401, json{{"message", ""}, {"error", "Token expired."}}, "Token expired."},
        AnswerCase{"NumberMessageFallsToError", ScriptedReply::json(403, R"({"message":5,"error":"Denied."})"), 403,
                   json{{"message", 5}, {"error", "Denied."}}, "Denied."},
        AnswerCase{"OnlyError", ScriptedReply::json(503, R"({"error":"down for repairs"})"), 503,
                   json{{"error", "down for repairs"}}, "down for repairs"},
        AnswerCase{"NeitherUsableGivesGenericText", ScriptedReply::json(404, R"({"message":null,"error":""})"), 404,
                   json{{"message", nullptr}, {"error", ""}}, "Vandreth returned HTTP 404."},
        AnswerCase{"ObjectMembersAreNoText", ScriptedReply::json(422, R"({"message":{"text":"x"},"error":["y"]})"),
                   422, json{{"message", json{{"text", "x"}}}, {"error", json::array({"y"})}},
                   "Vandreth returned HTTP 422."},
        AnswerCase{"BlankMessageUsedUnchanged", ScriptedReply::json(400, R"({"message":"  \t "})"), 400,
                   json{{"message", "  \t "}}, "  \t "},
        AnswerCase{"EmptyBody", ScriptedReply::json(500, ""), 500, json::object(), "Vandreth returned HTTP 500."},
        AnswerCase{"ArrayBody", ScriptedReply::json(400, R"(["message","x"])"), 400, json::array({"message", "x"}),
                   "Vandreth returned HTTP 400."},
        AnswerCase{"StringBody", ScriptedReply::json(400, R"("Bad code.")"), 400, json("Bad code."),
                   "Vandreth returned HTTP 400."},
        AnswerCase{"HtmlPage", htmlPage(502), 502, json::object(), "Vandreth returned HTTP 502."},
        AnswerCase{"LargeStatus", ScriptedReply::json(599, "{}"), 599, json::object(), "Vandreth returned HTTP 599."}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    BodyShapes, Answer,
    testing::Values(
        AnswerCase{"HtmlPage", htmlPage(200), 200, json::object(), ""},
        AnswerCase{"JsonFollowedByText", ScriptedReply::json(200, R"({"a":1} and more)"), 200, json::object(), ""},
        AnswerCase{"JsonWithBlockComment", ScriptedReply::json(200, R"({"a":1 /* note */})"), 200, json::object(), ""},
        AnswerCase{"JsonWithLineComment", ScriptedReply::json(200, "// note\n{\"a\":1}"), 200, json::object(), ""},
        AnswerCase{"ErrorJsonFollowedByText", ScriptedReply::json(400, R"({"message":"m"}x)"), 400, json::object(),
                   "Vandreth returned HTTP 400."},
        AnswerCase{"WhiteSpaceAroundJson", ScriptedReply::json(200, " \r\n\t{\"a\":1}\r\n "), 200, json{{"a", 1}}, ""},
        AnswerCase{"NullLiteral", ScriptedReply::json(200, "null"), 200, json(), ""},
        AnswerCase{"StringLiteral", ScriptedReply::json(200, R"("text")"), 200, json("text"), ""},
        AnswerCase{"NumberLiteral", ScriptedReply::json(200, "42"), 200, json(42), ""},
        AnswerCase{"Utf8Text", ScriptedReply::json(200, "{\"name\":\"\xC3\xA9\xF0\x9F\x94\xA5\"}"), 200,
                   json{{"name", "\xC3\xA9\xF0\x9F\x94\xA5"}}, ""},
        AnswerCase{"ChunkedBody", ScriptedReply::chunked(200, {"{\"a\"", ":", "[1,2]}"}), 200,
                   json{{"a", json::array({1, 2})}}, ""},
        AnswerCase{"CutShortKeepsWhatCame", ScriptedReply::cutShort(200, "123456789", 3), 200, json(123), ""},
        AnswerCase{"CutShortUnparsable", ScriptedReply::cutShort(200, R"({"message":"hello"})", 8), 200,
                   json::object(), ""},
        AnswerCase{"CutShortErrorStillReadsWhatCame",
                   ScriptedReply::cutShort(500, std::string(R"({"message":"boom"})") + std::string(64, ' '), 18), 500,
                   json{{"message", "boom"}}, "boom"}),
    CaseName());

TEST_F(HttpClientTest, ChunkedBodyOfSeveralMegabytesArrivesWhole)
{
    // About 6 MB of JSON in chunks of uneven sizes, so that reads straddle chunk borders.
    json expected = json::array();
    for (int i = 0; i < 60000; ++i) {
        expected.push_back(std::to_string(i) + std::string(90, static_cast<char>('a' + i % 26)));
    }
    const std::string whole = expected.dump();
    std::vector<std::string> chunks;
    for (std::size_t at = 0, size = 1; at < whole.size(); at += size, size = size * 7 % 300007 + 1) {
        chunks.push_back(whole.substr(at, size));
    }
    server.reply("GET", "/big", ScriptedReply::chunked(200, chunks));

    const HttpResult result = get("/big");

    EXPECT_EQ(result.statusCode, 200);
    EXPECT_EQ(result.error, "");
    ASSERT_TRUE(result.json.is_array()) << result.json.dump().substr(0, 200);
    EXPECT_EQ(result.json.size(), expected.size());
    EXPECT_TRUE(result.json == expected);
}

TEST_F(HttpClientTest, SeveralThreadsShareOneClient)
{
    constexpr int kThreads = 8;
    for (int i = 0; i < kThreads; ++i) {
        // The delay keeps the exchanges in flight together.
        server.reply("POST", "/n/" + std::to_string(i),
                     ScriptedReply::json(200, json{{"n", i}}.dump()).delayed(200ms));
    }
    std::vector<HttpResult> results(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            results[i] = client.request("POST", server.origin() + "/n/" + std::to_string(i), {{"n", std::to_string(i)}},
                                        "token-" + std::to_string(i));
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }

    for (int i = 0; i < kThreads; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(results[i].statusCode, 200);
        EXPECT_EQ(results[i].json, (json{{"n", i}}));
        EXPECT_EQ(results[i].error, "");
        const auto received = server.requestsTo("/n/" + std::to_string(i));
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(received.front().body, "n=" + std::to_string(i));
        EXPECT_EQ(received.front().header("Authorization"), "Bearer token-" + std::to_string(i));
    }
}

HttpResult filledResult()
{
    HttpResult result;
    result.statusCode = 404;
    result.json = json{{"message", "gone"}};
    result.error = "gone";
    return result;
}

TEST(HttpResultMove, AssignmentCopiesStatusAndEmptiesTheSource)
{
    HttpResult source = filledResult();
    HttpResult target;
    target.statusCode = 200;
    target.json = json::array({1});
    target.error = "old";

    target = std::move(source);

    EXPECT_EQ(target.statusCode, 404);
    EXPECT_EQ(target.json, (json{{"message", "gone"}}));
    EXPECT_EQ(target.error, "gone");
    EXPECT_EQ(source.statusCode, 404);
    EXPECT_TRUE(source.json.is_null());
    EXPECT_EQ(source.error, "");
}

TEST(HttpResultMove, ConstructionTakesEverythingAndEmptiesTheSource)
{
    HttpResult source = filledResult();

    const HttpResult target(std::move(source));

    EXPECT_EQ(target.statusCode, 404);
    EXPECT_EQ(target.json, (json{{"message", "gone"}}));
    EXPECT_EQ(target.error, "gone");
    EXPECT_TRUE(source.json.is_null());
    EXPECT_EQ(source.error, "");
}

TEST(HttpResultMove, FreshResultIsEmpty)
{
    const HttpResult result;
    EXPECT_EQ(result.statusCode, 0);
    EXPECT_TRUE(result.json.is_null());
    EXPECT_EQ(result.error, "");
}

}  // namespace
}  // namespace vandreth
