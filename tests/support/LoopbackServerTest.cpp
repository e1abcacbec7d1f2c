// The loopback server, driven by a plain socket client, so that the HTTP tests can trust what
// it records and what it sends.
#include "LoopbackServer.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vandreth::test {
namespace {

using namespace std::chrono_literals;

class SocketClient {
public:
    explicit SocketClient(std::uint16_t port)
    {
        WSADATA data{};
        WSAStartup(MAKEWORD(2, 2), &data);
        socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = connect(socket_, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~SocketClient()
    {
        closesocket(socket_);
        WSACleanup();
    }
    SocketClient(const SocketClient&) = delete;
    SocketClient& operator=(const SocketClient&) = delete;

    bool connected() const { return connected_; }

    void send(const std::string& bytes) const { ::send(socket_, bytes.data(), static_cast<int>(bytes.size()), 0); }

    // What the server sends until `end` has come (or the connection closes), `end` included.
    std::string receiveUntil(const std::string& end) const
    {
        std::string received;
        char byte = 0;
        while (received.find(end) == std::string::npos && recv(socket_, &byte, 1, 0) == 1) {
            received += byte;
        }
        return received;
    }

    // Everything the server sends until it closes the connection.
    std::string receiveAll() const
    {
        std::string received;
        char chunk[4096];
        int count = 0;
        while ((count = recv(socket_, chunk, sizeof(chunk), 0)) > 0) {
            received.append(chunk, static_cast<std::size_t>(count));
        }
        return received;
    }

private:
    SOCKET socket_ = INVALID_SOCKET;
    bool connected_ = false;
};

std::string exchange(std::uint16_t port, const std::vector<std::string>& pieces)
{
    const SocketClient client(port);
    EXPECT_TRUE(client.connected());
    for (const auto& piece : pieces) {
        client.send(piece);
    }
    return client.receiveAll();
}

std::string requestTo(const std::string& method, const std::string& target)
{
    return method + " " + target + " HTTP/1.1\r\nHost: test\r\n\r\n";
}

std::string bodyOf(const std::string& response)
{
    const auto end = response.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : response.substr(end + 4);
}

TEST(LoopbackServer, RecordsARequestSentInPiecesAndAnswersUnknownRoutesWith404)
{
    LoopbackServer server;
    const std::string head =
        "POST /api/thing?x=1&y=2 HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Mixed-Case:  spaced value \t\r\n"
        "content-length: 11\r\n\r\n";
    const std::string response = exchange(server.port(), {head.substr(0, 20), head.substr(20), "hello", " world"});

    EXPECT_EQ(response,
              "HTTP/1.1 404 Not Found\r\nContent-Type: application/json\r\nContent-Length: 22\r\n"
              "Connection: close\r\n\r\n{\"message\":\"no route\"}");
    ASSERT_EQ(server.requests().size(), 1u);
    const RecordedRequest request = server.requests().front();
    EXPECT_EQ(request.raw, head + "hello world");
    EXPECT_EQ(request.requestLine, "POST /api/thing?x=1&y=2 HTTP/1.1");
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.target, "/api/thing?x=1&y=2");
    EXPECT_EQ(request.path, "/api/thing");
    EXPECT_EQ(request.headerLines,
              (std::vector<std::string>{"Host: 127.0.0.1", "X-Mixed-Case:  spaced value \t", "content-length: 11"}));
    EXPECT_EQ(request.body, "hello world");
    EXPECT_EQ(request.header("x-mixed-case"), "spaced value");
    EXPECT_EQ(request.header("Content-Length"), "11");
    EXPECT_EQ(request.header("X-Mixed"), std::nullopt);
    EXPECT_EQ(server.requestsTo("/api/thing").size(), 1u);
    EXPECT_TRUE(server.requestsTo("/api/thing?x=1&y=2").empty());
}

TEST(LoopbackServer, OneShotRepliesGoFirstInOrderThenTheStandingReply)
{
    LoopbackServer server;
    server.reply("GET", "/r", ScriptedReply::json(200, "standing"));
    server.replyOnce("GET", "/r", ScriptedReply::json(201, "first"));
    server.replyOnce("GET", "/other", ScriptedReply::json(200, "elsewhere"));
    server.replyOnce("GET", "/r", ScriptedReply::json(202, "second"));

    std::vector<std::string> bodies;
    for (int i = 0; i < 4; ++i) {
        bodies.push_back(bodyOf(exchange(server.port(), {requestTo("GET", "/r?n=" + std::to_string(i))})));
    }
    EXPECT_EQ(bodies, (std::vector<std::string>{"first", "second", "standing", "standing"}));
    EXPECT_EQ(bodyOf(exchange(server.port(), {requestTo("POST", "/r")})), R"({"message":"no route"})");
    EXPECT_EQ(bodyOf(exchange(server.port(), {requestTo("GET", "/other")})), "elsewhere");
    EXPECT_TRUE(server.waitForRequests(6, 10s));
}

TEST(LoopbackServer, SendsScriptedBytes)
{
    struct Case {
        const char* name;
        ScriptedReply reply;
        std::string expected;
    };
    const Case cases[] = {
        {"with headers", ScriptedReply::withHeaders(302, {"X-A: 1", "Location: /x"}, "moved"),
         "HTTP/1.1 302 Found\r\nX-A: 1\r\nLocation: /x\r\nContent-Length: 5\r\nConnection: close\r\n\r\nmoved"},
        {"raw", ScriptedReply::raw("not http at all"), "not http at all"},
        {"chunked", ScriptedReply::chunked(200, {"[1,", "", std::string(17, ' '), "2]"}),
         "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n"
         "3\r\n[1,\r\n11\r\n" + std::string(17, ' ') + "\r\n2\r\n2]\r\n0\r\n\r\n"},
        {"cut short", ScriptedReply::cutShort(200, "0123456789", 4),
         "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 10\r\nConnection: close\r\n\r\n0123"},
        {"close without answer", ScriptedReply::closeWithoutAnswer(), ""},
        {"slow drip", ScriptedReply::slowDrip(200, "[1]", 5ms),
         "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 3\r\nConnection: close\r\n\r\n[1]"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server;
        server.reply("GET", "/", c.reply);
        EXPECT_EQ(exchange(server.port(), {requestTo("GET", "/")}), c.expected);
    }
}

TEST(LoopbackServer, HeldRepliesGoWhenTheirGateIsReleased)
{
    LoopbackServer server;
    server.replyOnce("GET", "/first", ScriptedReply::json(200, "first").heldUntil("one"));
    server.reply("GET", "/second", ScriptedReply::json(200, "second").heldUntil("two"));
    const SocketClient first(server.port());
    const SocketClient second(server.port());
    first.send(requestTo("GET", "/first"));
    second.send(requestTo("GET", "/second"));
    ASSERT_TRUE(server.waitForRequests(2, 10s));

    server.release("one");
    EXPECT_EQ(bodyOf(first.receiveAll()), "first");
    server.release("two");
    EXPECT_EQ(bodyOf(second.receiveAll()), "second");
    // A gate once released holds nothing back.
    EXPECT_EQ(bodyOf(exchange(server.port(), {requestTo("GET", "/second")})), "second");
}

TEST(LoopbackServer, StoppingEndsHangingDelayedDrippingHeldAndIdleConnections)
{
    auto server = std::make_unique<LoopbackServer>();
    server->reply("GET", "/hang", ScriptedReply::hang());
    server->reply("GET", "/slow", ScriptedReply::json(200, "{}").delayed(std::chrono::hours(1)));
    server->reply("GET", "/drip", ScriptedReply::slowDrip(200, "[1]", std::chrono::hours(1)));
    server->reply("GET", "/held", ScriptedReply::json(200, "{}").heldUntil("never"));
    const SocketClient hanging(server->port());
    const SocketClient slow(server->port());
    const SocketClient dripping(server->port());
    const SocketClient held(server->port());
    const SocketClient idle(server->port());
    hanging.send(requestTo("GET", "/hang"));
    slow.send(requestTo("GET", "/slow"));
    dripping.send(requestTo("GET", "/drip"));
    held.send(requestTo("GET", "/held"));
    ASSERT_TRUE(server->waitForRequests(4, 30s));
    EXPECT_EQ(dripping.receiveUntil("\r\n\r\n"),
              "HTTP/1.1 200 OK\r\nContent-Type: application/json\r\nContent-Length: 3\r\nConnection: close\r\n\r\n");

    server.reset();

    EXPECT_EQ(hanging.receiveAll(), "");
    EXPECT_EQ(slow.receiveAll(), "");
    EXPECT_EQ(dripping.receiveAll(), "");
    EXPECT_EQ(held.receiveAll(), "");
    EXPECT_EQ(idle.receiveAll(), "");
}

TEST(LoopbackServer, ClosedPortRefusesConnections)
{
    const SocketClient client(closedLoopbackPort());
    EXPECT_FALSE(client.connected());
}

}  // namespace
}  // namespace vandreth::test
