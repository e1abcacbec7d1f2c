#include "LoopbackServer.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <utility>

namespace vandreth::test {

namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";

class WinsockUser {
public:
    WinsockUser()
    {
        WSADATA data{};
        if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
            throw std::runtime_error("WSAStartup failed");
        }
    }
    ~WinsockUser() { WSACleanup(); }
    WinsockUser(const WinsockUser&) = delete;
    WinsockUser& operator=(const WinsockUser&) = delete;
};

sockaddr_in loopbackAddress(std::uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// The port that the system gave the socket; 0 when it cannot say.
std::uint16_t boundPort(SOCKET socket)
{
    sockaddr_in address{};
    int length = sizeof(address);
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trimmed(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 201: return "Created";
    case 202: return "Accepted";
    case 204: return "No Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 410: return "Gone";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

std::string head(int status, const std::vector<std::string>& headerLines)
{
    std::string text = "HTTP/1.1 " + std::to_string(status) + " " + reasonPhrase(status) + "\r\n";
    for (const auto& line : headerLines) {
        text += line + "\r\n";
    }
    text += "Connection: close\r\n\r\n";
    return text;
}

std::string jsonHead(int status, std::size_t contentLength)
{
    return head(status, {"Content-Type: application/json", "Content-Length: " + std::to_string(contentLength)});
}

std::string hexLength(std::size_t length)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string text;
    do {
        text.insert(text.begin(), digits[length % 16]);
        length /= 16;
    } while (length != 0);
    return text;
}

enum class Readiness { Read, Write };

// How long one wait for a socket lasts before it looks at the stop event again.
constexpr timeval kReadinessPoll{0, 20000};

// Waits until `socket` can be read (or accepted from) or written without blocking. False when
// the socket failed or the server stops.
//
// select() reports the socket's state at the moment it is called. Event notifications
// (WSAEventSelect) report changes instead, and under Wine one connection of a burst now and
// then raised no FD_ACCEPT: it sat in the backlog unserved and its client waited for ever.
// Wine's shutdown() does not wake a blocked recv either, so every wait is bounded and the stop
// event is looked at between waits.
bool waitUntilReady(SOCKET socket, Readiness readiness, HANDLE stopEvent)
{
    while (WaitForSingleObject(stopEvent, 0) == WAIT_TIMEOUT) {
        fd_set ready;
        FD_ZERO(&ready);
        FD_SET(socket, &ready);
        fd_set failed = ready;
        timeval wait = kReadinessPoll;
        const int count = select(0, readiness == Readiness::Read ? &ready : nullptr,
                                 readiness == Readiness::Write ? &ready : nullptr, &failed, &wait);
        if (count != 0) {
            return count > 0 && FD_ISSET(socket, &ready);
        }
    }
    return false;
}

void makeNonBlocking(SOCKET socket)
{
    u_long nonBlocking = 1;
    ioctlsocket(socket, FIONBIO, &nonBlocking);
}

// A served connection. Its socket is non-blocking, so a call never waits; waits happen in
// waitUntilReady, which also watches the server's stop event.
class ServedSocket {
public:
    ServedSocket(SOCKET socket, HANDLE stopEvent) : socket_(socket), stopEvent_(stopEvent) { makeNonBlocking(socket_); }
    ~ServedSocket()
    {
        if (!resetOnClose_) {
            shutdown(socket_, SD_SEND);
        }
        closesocket(socket_);
    }
    ServedSocket(const ServedSocket&) = delete;
    ServedSocket& operator=(const ServedSocket&) = delete;

    // Appends what arrives next; false when the peer closed, the socket failed or the server stops.
    bool receiveMore(std::string& buffer)
    {
        char chunk[16384];
        for (;;) {
            const int received = recv(socket_, chunk, sizeof(chunk), 0);
            if (received > 0) {
                buffer.append(chunk, static_cast<std::size_t>(received));
                return true;
            }
            if (received == 0 || !waitWhenBlocked(Readiness::Read)) {
                return false;
            }
        }
    }

    // A zero linger time makes closing send an RST instead of an orderly end.
    void resetOnClose()
    {
        const linger abort{1, 0};
        setsockopt(socket_, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort), sizeof(abort));
        resetOnClose_ = true;
    }

    bool sendAll(std::string_view bytes)
    {
        while (!bytes.empty()) {
            const int piece = static_cast<int>(std::min<std::size_t>(bytes.size(), 1 << 20));
            const int sent = send(socket_, bytes.data(), piece, 0);
            if (sent > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(sent));
            } else if (!waitWhenBlocked(Readiness::Write)) {
                return false;
            }
        }
        return true;
    }

private:
    // After a call that failed: true once the socket may be ready again, false for a real
    // failure or when the server stops.
    bool waitWhenBlocked(Readiness readiness)
    {
        return WSAGetLastError() == WSAEWOULDBLOCK && waitUntilReady(socket_, readiness, stopEvent_);
    }

    SOCKET socket_;
    HANDLE stopEvent_;
    bool resetOnClose_ = false;
};

// Fills in everything but `raw` and `body` from the head (request line and header lines).
void parseHead(std::string_view headText, RecordedRequest& request)
{
    std::size_t lineStart = 0;
    bool first = true;
    while (lineStart < headText.size()) {
        std::size_t lineEnd = headText.find("\r\n", lineStart);
        if (lineEnd == std::string_view::npos) {
            lineEnd = headText.size();
        }
        const std::string line(headText.substr(lineStart, lineEnd - lineStart));
        if (first) {
            request.requestLine = line;
            first = false;
        } else {
            request.headerLines.push_back(line);
        }
        lineStart = lineEnd + 2;
    }
    const std::string_view requestLine = request.requestLine;
    const std::size_t methodEnd = requestLine.find(' ');
    request.method = std::string(requestLine.substr(0, methodEnd));
    if (methodEnd != std::string_view::npos) {
        const std::size_t targetEnd = requestLine.find(' ', methodEnd + 1);
        request.target = std::string(requestLine.substr(methodEnd + 1, targetEnd - (methodEnd + 1)));
    }
    request.path = request.target.substr(0, request.target.find('?'));
}

std::size_t contentLength(const RecordedRequest& request)
{
    const auto value = request.header("Content-Length");
    if (!value || value->empty()) {
        return 0;
    }
    try {
        return static_cast<std::size_t>(std::stoull(*value));
    } catch (...) {
        return 0;
    }
}

}  // namespace

std::optional<std::size_t> requestLength(std::string_view received)
{
    const std::size_t headEnd = received.find(kHeaderEnd);
    if (headEnd == std::string_view::npos) {
        return std::nullopt;
    }
    RecordedRequest request;
    parseHead(received.substr(0, headEnd), request);
    const std::size_t length = headEnd + kHeaderEnd.size() + contentLength(request);
    return received.size() >= length ? std::optional<std::size_t>(length) : std::nullopt;
}

std::optional<std::string> RecordedRequest::header(std::string_view name) const
{
    for (const auto& line : headerLines) {
        const std::size_t colon = line.find(':');
        if (colon != std::string::npos && equalsIgnoringCase(trimmed(std::string_view(line).substr(0, colon)), name)) {
            return std::string(trimmed(std::string_view(line).substr(colon + 1)));
        }
    }
    return std::nullopt;
}

ScriptedReply ScriptedReply::json(int status, std::string body)
{
    ScriptedReply reply;
    reply.bytes_ = jsonHead(status, body.size()) + body;
    return reply;
}

ScriptedReply ScriptedReply::withHeaders(int status, std::vector<std::string> headerLines, std::string body)
{
    headerLines.push_back("Content-Length: " + std::to_string(body.size()));
    ScriptedReply reply;
    reply.bytes_ = head(status, headerLines) + body;
    return reply;
}

ScriptedReply ScriptedReply::raw(std::string bytes)
{
    ScriptedReply reply;
    reply.bytes_ = std::move(bytes);
    return reply;
}

ScriptedReply ScriptedReply::chunked(int status, std::vector<std::string> chunks)
{
    ScriptedReply reply;
    reply.bytes_ = head(status, {"Content-Type: application/json", "Transfer-Encoding: chunked"});
    for (const auto& chunk : chunks) {
        // A chunk of size 0 would end the body early.
        if (!chunk.empty()) {
            reply.bytes_ += hexLength(chunk.size()) + "\r\n" + chunk + "\r\n";
        }
    }
    reply.bytes_ += "0\r\n\r\n";
    return reply;
}

ScriptedReply ScriptedReply::cutShort(int status, std::string fullBody, std::size_t bytesSent)
{
    ScriptedReply reply;
    reply.bytes_ = jsonHead(status, fullBody.size()) + fullBody.substr(0, std::min(bytesSent, fullBody.size()));
    return reply;
}

ScriptedReply ScriptedReply::closeWithoutAnswer()
{
    return ScriptedReply{};
}

ScriptedReply ScriptedReply::hang()
{
    ScriptedReply reply;
    reply.hang_ = true;
    return reply;
}

ScriptedReply ScriptedReply::slowDrip(int status, std::string body, std::chrono::milliseconds every)
{
    ScriptedReply reply = json(status, std::move(body));
    reply.dripFrom_ = reply.bytes_.find(kHeaderEnd) + kHeaderEnd.size();
    reply.dripEvery_ = every;
    return reply;
}

ScriptedReply& ScriptedReply::delayed(std::chrono::milliseconds delay)
{
    delay_ = delay;
    return *this;
}

ScriptedReply& ScriptedReply::heldUntil(std::string gate)
{
    gate_ = std::move(gate);
    return *this;
}

ScriptedReply& ScriptedReply::thenReset()
{
    reset_ = true;
    return *this;
}

struct LoopbackServer::Connection {
    SOCKET socket = INVALID_SOCKET;
    bool finished = false;  // guarded by the server's mutex
    std::thread thread;
};

LoopbackServer::LoopbackServer() : LoopbackServer(0) {}

LoopbackServer::LoopbackServer(std::uint16_t port)
    : listener_(INVALID_SOCKET), stopEvent_(nullptr)
{
    WSADATA data{};
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        throw std::runtime_error("WSAStartup failed");
    }
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const sockaddr_in address = loopbackAddress(port);
    const bool listening = listener != INVALID_SOCKET &&
                           bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0 &&
                           listen(listener, SOMAXCONN) == 0;
    port_ = listening ? boundPort(listener) : 0;
    stopEvent_ = port_ != 0 ? CreateEventW(nullptr, TRUE, FALSE, nullptr) : nullptr;
    if (stopEvent_ == nullptr) {
        if (listener != INVALID_SOCKET) {
            closesocket(listener);
        }
        WSACleanup();
        throw std::runtime_error("the loopback server could not listen");
    }
    listener_ = listener;
    acceptThread_ = std::thread([this] { acceptLoop(); });
}

LoopbackServer::~LoopbackServer()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    // The condition variable wakes connections that wait to answer, the event those that wait
    // on their socket and the accept loop.
    changed_.notify_all();
    SetEvent(stopEvent_);
    acceptThread_.join();
    for (const auto& connection : connections_) {
        connection->thread.join();
    }
    closesocket(listener_);
    CloseHandle(stopEvent_);
    WSACleanup();
}

std::uint16_t LoopbackServer::port() const
{
    return port_;
}

std::string LoopbackServer::origin() const
{
    return origin("127.0.0.1");
}

std::string LoopbackServer::origin(std::string_view hostName) const
{
    return "http://" + std::string(hostName) + ":" + std::to_string(port_);
}

void LoopbackServer::reply(std::string method, std::string path, ScriptedReply reply)
{
    const std::lock_guard lock(mutex_);
    for (auto& route : standing_) {
        if (route.method == method && route.path == path) {
            route.reply = std::move(reply);
            return;
        }
    }
    standing_.push_back(Route{std::move(method), std::move(path), std::move(reply)});
}

void LoopbackServer::replyOnce(std::string method, std::string path, ScriptedReply reply)
{
    const std::lock_guard lock(mutex_);
    once_.push_back(Route{std::move(method), std::move(path), std::move(reply)});
}

void LoopbackServer::release(const std::string& gate)
{
    {
        const std::lock_guard lock(mutex_);
        released_.insert(gate);
    }
    changed_.notify_all();
}

std::vector<RecordedRequest> LoopbackServer::requests() const
{
    const std::lock_guard lock(mutex_);
    return requests_;
}

std::vector<RecordedRequest> LoopbackServer::requestsTo(std::string_view path) const
{
    const std::lock_guard lock(mutex_);
    std::vector<RecordedRequest> matching;
    for (const auto& request : requests_) {
        if (request.path == path) {
            matching.push_back(request);
        }
    }
    return matching;
}

bool LoopbackServer::waitForRequests(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return requests_.size() >= count; });
}

void LoopbackServer::acceptLoop()
{
    makeNonBlocking(listener_);
    while (waitUntilReady(listener_, Readiness::Read, stopEvent_)) {
        for (;;) {
            const SOCKET accepted = accept(listener_, nullptr, nullptr);
            if (accepted == INVALID_SOCKET) {
                break;
            }
            std::list<std::unique_ptr<Connection>> finished;
            const std::lock_guard lock(mutex_);
            for (auto it = connections_.begin(); it != connections_.end();) {
                const auto next = std::next(it);
                if ((*it)->finished) {
                    finished.splice(finished.end(), connections_, it);
                }
                it = next;
            }
            for (const auto& connection : finished) {
                connection->thread.join();
            }
            auto connection = std::make_unique<Connection>();
            connection->socket = accepted;
            Connection& served = *connection;
            connections_.push_back(std::move(connection));
            served.thread = std::thread([this, &served] { serve(served); });
        }
    }
}

void LoopbackServer::serve(Connection& connection)
{
    {
        ServedSocket socket(connection.socket, stopEvent_);
        std::string buffer;
        // Each search starts where the last one could still have missed the end of the head,
        // so a long head costs one pass, not one pass per read.
        std::size_t headEnd = std::string::npos;
        std::size_t searchFrom = 0;
        while ((headEnd = buffer.find(kHeaderEnd, searchFrom)) == std::string::npos) {
            searchFrom = buffer.size() >= kHeaderEnd.size() ? buffer.size() - kHeaderEnd.size() + 1 : 0;
            if (!socket.receiveMore(buffer)) {
                break;
            }
        }
        if (headEnd != std::string::npos) {
            RecordedRequest request;
            parseHead(std::string_view(buffer).substr(0, headEnd), request);
            const std::size_t bodyStart = headEnd + kHeaderEnd.size();
            const std::size_t bodyLength = contentLength(request);
            while (buffer.size() < bodyStart + bodyLength && socket.receiveMore(buffer)) {
            }
            request.body = buffer.substr(bodyStart, bodyLength);
            request.raw = buffer.substr(0, bodyStart + bodyLength);

            std::unique_lock lock(mutex_);
            requests_.push_back(request);
            changed_.notify_all();
            const ScriptedReply reply = replyFor(request);
            changed_.wait_for(lock, reply.delay_, [this] { return stopping_; });
            if (reply.hang_) {
                changed_.wait(lock, [this] { return stopping_; });
            }
            if (!reply.gate_.empty()) {
                changed_.wait(lock, [&] { return stopping_ || released_.count(reply.gate_) != 0; });
            }
            if (!stopping_) {
                lock.unlock();
                const std::string_view bytes = reply.bytes_;
                const std::size_t dripFrom = std::min(reply.dripFrom_, bytes.size());
                bool open = socket.sendAll(bytes.substr(0, dripFrom));
                for (std::size_t at = dripFrom; open && at < bytes.size(); ++at) {
                    open = !stopsWithin(reply.dripEvery_) && socket.sendAll(bytes.substr(at, 1));
                }
                if (reply.reset_) {
                    socket.resetOnClose();
                }
            }
        }
    }
    const std::lock_guard lock(mutex_);
    connection.finished = true;
}

bool LoopbackServer::stopsWithin(std::chrono::milliseconds pause) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, pause, [this] { return stopping_; });
}

ScriptedReply LoopbackServer::replyFor(const RecordedRequest& request)
{
    const auto matches = [&](const Route& route) { return route.method == request.method && route.path == request.path; };
    const auto once = std::find_if(once_.begin(), once_.end(), matches);
    if (once != once_.end()) {
        ScriptedReply reply = std::move(once->reply);
        once_.erase(once);
        return reply;
    }
    const auto standing = std::find_if(standing_.begin(), standing_.end(), matches);
    if (standing != standing_.end()) {
        return standing->reply;
    }
    return ScriptedReply::json(404, R"({"message":"no route"})");
}

std::uint16_t closedLoopbackPort()
{
    const WinsockUser winsock;
    const SOCKET probe = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    const sockaddr_in address = loopbackAddress(0);
    if (probe == INVALID_SOCKET || bind(probe, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        if (probe != INVALID_SOCKET) {
            closesocket(probe);
        }
        throw std::runtime_error("no free loopback port");
    }
    const std::uint16_t port = boundPort(probe);
    closesocket(probe);
    if (port == 0) {
        throw std::runtime_error("no free loopback port");
    }
    return port;
}

}  // namespace vandreth::test
