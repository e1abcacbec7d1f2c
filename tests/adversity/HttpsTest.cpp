// The client over HTTPS against loopback TLS servers that tests/adversity/https_adversity.py
// runs: one whose certificate comes from a test authority in this Wine prefix's Root store, and
// three that must be refused (self-signed, another host's name, expired). The script passes
// the servers' ports, and that of a plain-HTTP control server that reports what each TLS
// server has seen, in VANDRETH_TLS_PORTS as a JSON object.
#include "CaseName.h"
#include "ClientHarness.h"
#include "ClientTexts.h"
#include "HttpClient.h"
#include "LoopbackServer.h"
#include "TextHelpers.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace vandreth::test {
namespace {

using nlohmann::json;

// The token that the TLS stand-in service hands out and takes (tools/tls/tls_service.py).
constexpr const char* kServiceToken = "tok-over-tls";

std::string port(const std::string& server)
{
    const char* ports = std::getenv("VANDRETH_TLS_PORTS");
    const json parsed = json::parse(ports != nullptr ? ports : "{}", nullptr, false);
    return parsed.is_object() && parsed.contains(server) ? std::to_string(parsed[server].get<int>()) : "";
}

// What the TLS server of that name has seen so far: the connections it accepted and the
// requests it read.
json seenBy(const std::string& server)
{
    const HttpResult answer = HttpClient().request("GET", "http://127.0.0.1:" + port("control") + "/seen", {}, "");
    return answer.json.is_object() && answer.json.contains(server) ? answer.json[server] : json();
}

std::size_t requestCount(const json& seen)
{
    return seen.is_object() ? seen["requests"].size() : 0;
}

int connectionCount(const json& seen)
{
    return seen.is_object() ? seen["connections"].get<int>() : 0;
}

class ServersRunning : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(port("control").empty()) << "run by https_adversity.py, which sets VANDRETH_TLS_PORTS";
    }
};

struct CertificateCase {
    std::string name;
    std::string server;
    int status;
    std::string error;
    std::string accountName;  // the answer's user, empty for none
    std::size_t requestsSeen;
};

void PrintTo(const CertificateCase& row, std::ostream* out)
{
    *out << row.name;
}

class Certificates : public ServersRunning, public testing::WithParamInterface<CertificateCase> {};

TEST_P(Certificates, DecideWhetherTheRequestGoesOut)
{
    const CertificateCase& c = GetParam();
    ASSERT_FALSE(port(c.server).empty());
    const json before = seenBy(c.server);

    const HttpResult result =
        HttpClient().request("GET", "https://localhost:" + port(c.server) + kMePath, {}, kServiceToken);

    EXPECT_EQ(result.statusCode, c.status);
    EXPECT_EQ(result.error, c.error);
    if (c.accountName.empty()) {
        EXPECT_TRUE(result.json.is_null()) << result.json.dump();
    } else {
        EXPECT_EQ(jsonString(result.json.value("user", json()), "display_name", ""), c.accountName);
    }
    // The client did reach the server (a connection, whatever became of it), and the server
    // read the request only when the certificate was trusted. The server's thread may note the
    // end of a refused connection a moment after the client has given up on it.
    const auto seenAsExpected = [&] {
        const json after = seenBy(c.server);
        return connectionCount(after) > connectionCount(before) &&
               requestCount(after) - requestCount(before) == c.requestsSeen;
    };
    EXPECT_TRUE(ClientHarness::waitFor(seenAsExpected, std::chrono::seconds(10))) << seenBy(c.server).dump();
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Certificates,
    testing::Values(CertificateCase{"TrustedAuthority", "trusted", 200, "", "Tess Layer", 1},
                    CertificateCase{"SelfSigned", "self_signed", 0, kNoAnswer, "", 0},
                    CertificateCase{"OtherHostName", "wrong_host", 0, kNoAnswer, "", 0},
                    CertificateCase{"Expired", "expired", 0, kNoAnswer, "", 0}),
    CaseName());

// The trusted server redirects the account check: within its origin the request goes on over
// TLS with the token; to plain HTTP, or to the same server under another name, nothing goes.
struct RedirectCase {
    std::string name;
    std::string location;  // "{plain}" stands for a plain-HTTP loopback server's port, "{tls}" for the server's
    int status;
    std::string error;
    std::string accountName;  // the answer's user, empty for none
};

void PrintTo(const RedirectCase& row, std::ostream* out)
{
    *out << row.name;
}

class HttpsRedirects : public ServersRunning, public testing::WithParamInterface<RedirectCase> {};

TEST_P(HttpsRedirects, StayOnTheOriginOrAreRefused)
{
    const RedirectCase& c = GetParam();
    LoopbackServer plain;
    plain.reply("GET", kMePath, ScriptedReply::json(200, R"({"user":{"display_name":"Plain Text"}})"));
    std::string location = c.location;
    for (const auto& [mark, value] : {std::pair<std::string, std::string>{"{plain}", std::to_string(plain.port())},
                                      std::pair<std::string, std::string>{"{tls}", port("trusted")}}) {
        if (const auto at = location.find(mark); at != std::string::npos) {
            location.replace(at, mark.size(), value);
        }
    }
    const std::string url = "https://localhost:" + port("trusted") + "/redirect?to=" + percentEncode(location);

    const HttpResult result = HttpClient().request("GET", url, {}, kServiceToken);

    EXPECT_EQ(result.statusCode, c.status);
    EXPECT_EQ(result.error, c.error);
    EXPECT_EQ(jsonString(result.json.value("user", json()), "display_name", ""), c.accountName);
    for (const RecordedRequest& leaked : plain.requests()) {
        ADD_FAILURE() << "the plain-HTTP server received: " << leaked.raw;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, HttpsRedirects,
    testing::Values(RedirectCase{"WithinTheOrigin", kMePath, 200, "", "Tess Layer"},
                    RedirectCase{"ToPlainHttp", "http://127.0.0.1:{plain}/api/pc/me", 302, kRedirectRefused, ""},
                    RedirectCase{"ToPlainHttpOnTheSamePort", "http://localhost:{tls}/api/pc/me", 302,
                                 kRedirectRefused, ""},
                    RedirectCase{"ToTheSameServerUnderAnotherName", "https://127.0.0.1:{tls}/api/pc/me", 302,
                                 kRedirectRefused, ""}),
    CaseName());

using HttpsClient = ServersRunning;

TEST_F(HttpsClient, LinksAndListsProjectsEndToEnd)
{
    const std::string origin = "https://localhost:" + port("trusted");
    const std::size_t earlier = requestCount(seenBy("trusted"));
    ScopedAppData appData;
    appData.writeState(stateFileBytes(origin, kDeviceId));
    ClientHarness client;
    ASSERT_TRUE(client.start());
    EXPECT_EQ(client.text(kOriginEdit), origin);

    client.click(kGenerateButton);
    ASSERT_TRUE(client.waitForStatus(loadedStatus(1), std::chrono::seconds(15)))
        << client.text(kStatusLine);
    EXPECT_EQ(client.text(kLinkCodeEdit), "TLS-0001");
    EXPECT_EQ(client.text(kAccountLine), "Signed in as Tess Layer");
    EXPECT_EQ(client.listLines(), std::vector<std::string>{"Secure Arena  [secure-arena]  active"});
    EXPECT_EQ(client.close(), 0);
    EXPECT_EQ(appData.stateBytes(), stateFileBytes(origin, kDeviceId, kServiceToken));

    const json requests = seenBy("trusted")["requests"];
    ASSERT_EQ(requests.size(), earlier + 4);
    const std::string bearer = std::string("Bearer ") + kServiceToken;
    const std::vector<json> expected{
        {{"method", "POST"}, {"path", kLinkStartPath}, {"authorization", nullptr},
         {"body", std::string("device_id=") + kDeviceId}},
        {{"method", "GET"}, {"path", std::string(kLinkPollPath) + "?code=TLS-0001&device_id=" + kDeviceId},
         {"authorization", nullptr}, {"body", ""}},
        {{"method", "GET"}, {"path", kMePath}, {"authorization", bearer}, {"body", ""}},
        {{"method", "GET"}, {"path", kInstancesPath}, {"authorization", bearer}, {"body", ""}},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(requests[earlier + i], expected[i]) << "request " << i;
    }
}

}  // namespace
}  // namespace vandreth::test
