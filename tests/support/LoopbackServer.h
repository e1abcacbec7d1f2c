#pragma once
// A small HTTP/1.1 server on 127.0.0.1 for tests. It records every request byte for byte and
// answers each one from a script, one request per connection ("Connection: close"). The
// destructor closes every connection and joins every thread, so a test that ends while a
// request still hangs does not leave anything running.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace vandreth::test {

struct RecordedRequest {
    std::string raw;          // everything read from the connection, headers and body
    std::string requestLine;  // e.g. "GET /api/pc/me HTTP/1.1"
    std::string method;
    std::string target;       // as sent, query included
    std::string path;         // the target without "?query"
    std::vector<std::string> headerLines;  // in the order received, without CR LF
    std::string body;         // read by Content-Length

    // The value of the first header line of that name (compared without regard to case),
    // with the white space around it trimmed.
    std::optional<std::string> header(std::string_view name) const;
};

struct ScriptedReply {
    // A JSON body with Content-Type application/json and Content-Length.
    static ScriptedReply json(int status, std::string body);
    // The given header lines (without CR LF), then Content-Length and the body.
    static ScriptedReply withHeaders(int status, std::vector<std::string> headerLines, std::string body);
    // Exactly these bytes, then the connection closes.
    static ScriptedReply raw(std::string bytes);
    // A JSON body sent with chunked transfer encoding, one chunk per element.
    static ScriptedReply chunked(int status, std::vector<std::string> chunks);
    // Declares the length of `fullBody` but sends only its first `bytesSent` bytes, then closes.
    static ScriptedReply cutShort(int status, std::string fullBody, std::size_t bytesSent);
    // Reads the request, then closes without sending anything.
    static ScriptedReply closeWithoutAnswer();
    // Reads the request and never answers; the connection ends when the server stops.
    static ScriptedReply hang();
    // A JSON head that declares the whole of `body` at once, then the body one byte every
    // `every`; the drip ends with the body, when the client goes away or when the server stops.
    static ScriptedReply slowDrip(int status, std::string body, std::chrono::milliseconds every);

    // Waits this long before answering (cut short when the server stops).
    ScriptedReply& delayed(std::chrono::milliseconds delay);
    // Answers only once the server's release(gate) has been called (or not at all when the
    // server stops first).
    ScriptedReply& heldUntil(std::string gate);
    // Resets the connection (an RST) after the reply's bytes instead of closing it in order.
    ScriptedReply& thenReset();

private:
    friend class LoopbackServer;
    ScriptedReply() = default;

    std::string bytes_;
    bool hang_ = false;
    std::chrono::milliseconds delay_{0};
    // Bytes from this offset on go out one at a time, `dripEvery_` apart.
    std::size_t dripFrom_ = std::string::npos;
    std::chrono::milliseconds dripEvery_{0};
    std::string gate_;
    bool reset_ = false;
};

class LoopbackServer {
public:
    // Listens on 127.0.0.1 on a port that the system picks.
    LoopbackServer();
    // Listens on 127.0.0.1 on `port` (0: one that the system picks).
    explicit LoopbackServer(std::uint16_t port);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t port() const;
    std::string origin() const;  // "http://127.0.0.1:PORT"
    // The same server under another name for 127.0.0.1 ("http://localhost:PORT"): another origin.
    std::string origin(std::string_view hostName) const;

    // A standing reply for every request with this method and path (query ignored); a later
    // call for the same route replaces it.
    void reply(std::string method, std::string path, ScriptedReply reply);
    // A one-shot reply, used before any standing one; several for one route go out in order.
    void replyOnce(std::string method, std::string path, ScriptedReply reply);
    // Requests that match nothing get 404 {"message":"no route"}.

    // Lets every reply held until `gate` go, now and later.
    void release(const std::string& gate);

    // Every request read so far, in the order in which each was complete.
    std::vector<RecordedRequest> requests() const;
    std::vector<RecordedRequest> requestsTo(std::string_view path) const;
    // True once at least `count` requests have been recorded; false when `timeout` runs out.
    bool waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    struct Route {
        std::string method;
        std::string path;
        ScriptedReply reply;
    };
    struct Connection;

    void acceptLoop();
    void serve(Connection& connection);
    // Waits `pause` unless the server stops first; true when it stops.
    bool stopsWithin(std::chrono::milliseconds pause) const;
    ScriptedReply replyFor(const RecordedRequest& request);

    std::uintptr_t listener_;
    void* stopEvent_;
    std::uint16_t port_ = 0;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    bool stopping_ = false;
    std::deque<Route> once_;
    std::vector<Route> standing_;
    std::set<std::string> released_;
    std::vector<RecordedRequest> requests_;
    std::list<std::unique_ptr<Connection>> connections_;

    std::thread acceptThread_;
};

// The length of the one whole request at the start of `received` (its head and the body that
// its Content-Length names), or nothing while more is to come.
std::optional<std::size_t> requestLength(std::string_view received);

// A port on 127.0.0.1 on which nothing listens (it was free a moment ago), for tests of a
// refused connection.
std::uint16_t closedLoopbackPort();

}  // namespace vandreth::test
