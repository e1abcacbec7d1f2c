#include "HttpClient.h"

#include "Redirect.h"
#include "RequestUrl.h"
#include "TextHelpers.h"
#include "WinHttpHandle.h"

#include <algorithm>
#include <new>

namespace vandreth {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char* kParseUrlFailed = "Vandreth could not parse the request URL.";
constexpr const char* kSessionFailed = "Vandreth could not open a WinHTTP session.";
constexpr const char* kConnectFailed = "Vandreth could not open the HTTPS connection.";
constexpr const char* kPrepareFailed = "Vandreth could not prepare the HTTP request.";
constexpr const char* kSendFailed = "Vandreth request failed before the server responded.";
constexpr const char* kTooSlow = "Vandreth stopped waiting: the server took too long to answer.";
constexpr const char* kRedirectRefused = "Vandreth did not follow the service's redirect to another address.";
constexpr const char* kRedirectUnreadable = "Vandreth could not read the address that the service redirected to.";
constexpr const char* kOutOfMemory = "Vandreth ran out of memory while reading the server's answer.";

// One request of an exchange: the first, or one that a redirect asks for.
struct Hop {
    std::string method;
    std::string url;
    std::string body;
};

// What one hop brought back: its result, and the Location of a redirect (empty for none).
struct HopAnswer {
    HttpResult result;
    std::string location;
};

int asInt(milliseconds duration)
{
    return static_cast<int>(duration.count());
}

// The waits of one request of an exchange that has `left` to go: each its own, or `left` when
// that is shorter, so that no wait of the request outlasts the exchange. Never 0, which would be
// no bound at all to WinHTTP.
HttpLimits waitsWithin(const HttpLimits& limits, milliseconds left)
{
    left = std::max(left, milliseconds(1));
    HttpLimits waits = limits;
    for (milliseconds* wait : {&waits.resolve, &waits.connect, &waits.send, &waits.receive, &waits.head}) {
        *wait = std::min(*wait, left);
    }
    return waits;
}

// The token comes from the service; a line break in it would end the Authorization line and
// start header lines of the sender's choosing, and other bytes would be left to WinHTTP's
// narrowing. A token with nothing usable sends no Authorization line.
std::wstring headerBlock(const std::string& bearerToken, bool hasBody)
{
    std::wstring headers = L"Accept: application/json\r\n";
    if (const std::string token = headerSafeToken(bearerToken); !token.empty()) {
        headers += L"Authorization: Bearer " + widen(token) + L"\r\n";
    }
    if (hasBody) {
        headers += L"Content-Type: application/x-www-form-urlencoded\r\n";
    }
    return headers;
}

// Every wait for the network gets a bound. False when WinHTTP refuses, and then nothing is sent.
bool setWaits(HINTERNET session, const HttpLimits& waits)
{
    return WinHttpSetTimeouts(session, asInt(waits.resolve), asInt(waits.connect), asInt(waits.send),
                              asInt(waits.receive)) != FALSE;
}

// WinHTTP's own redirect following is off (see Redirect.h), and the wait for the answer's head
// gets its bound. False when WinHTTP refuses either; nothing is sent then.
bool prepareRequest(HINTERNET request, const HttpLimits& waits)
{
    DWORD disabled = WINHTTP_DISABLE_REDIRECTS;
    DWORD responseTimeout = static_cast<DWORD>(waits.head.count());
    return WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &disabled, sizeof(disabled)) &&
           WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                            sizeof(responseTimeout));
}

// The response's Location header; empty when it has none.
std::string responseLocation(HINTERNET request)
{
    DWORD size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) {
        return {};
    }
    std::wstring value(size / sizeof(wchar_t), L'\0');
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, value.data(), &size,
                             WINHTTP_NO_HEADER_INDEX)) {
        return {};
    }
    value.resize(size / sizeof(wchar_t));
    return narrow(value);
}

// Reads until the end of the body; a failed step ends the body where it stands. False when
// the deadline passes first.
bool readBody(HINTERNET request, Clock::time_point deadline, std::string& body)
{
    for (;;) {
        if (Clock::now() >= deadline) {
            return false;
        }
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available) || available == 0) {
            return true;
        }
        std::string chunk(available, '\0');
        DWORD read = 0;
        if (!WinHttpReadData(request, chunk.data(), available, &read) || read == 0) {
            return true;
        }
        body.append(chunk, 0, read);
    }
}

// A body that is no JSON reads as an empty object. Running out of memory is no answer of the
// server's: it ends the exchange (see HttpClient::request).
nlohmann::json parseBody(const std::string& body)
{
    if (body.empty()) {
        return nlohmann::json::object();
    }
    try {
        return nlohmann::json::parse(body, nullptr, true, false);
    } catch (const std::bad_alloc&) {
        throw;
    } catch (...) {
        return nlohmann::json::object();
    }
}

// Sends the request and waits for the response's head; false when that fails.
bool sendAndReceive(HINTERNET request, const std::string& bearerToken, std::string& body)
{
    const std::wstring headers = headerBlock(bearerToken, !body.empty());
    const auto bodyLength = static_cast<DWORD>(body.size());
    void* bodyData = body.empty() ? WINHTTP_NO_REQUEST_DATA : body.data();
    return WinHttpSendRequest(request, headers.c_str(), static_cast<DWORD>(-1), bodyData, bodyLength, bodyLength, 0) &&
           WinHttpReceiveResponse(request, nullptr);
}

// Reads the status, the Location of a redirect and the body of a response that has arrived.
void readResponse(HINTERNET request, Clock::time_point deadline, HopAnswer& answer)
{
    HttpResult& result = answer.result;
    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    if (WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX)) {
        result.statusCode = static_cast<std::int32_t>(status);
    }
    if (isRedirectStatus(result.statusCode)) {
        answer.location = responseLocation(request);
    }
    std::string body;
    if (!readBody(request, deadline, body)) {
        result.statusCode = 0;
        result.error = kTooSlow;
        answer.location.clear();
        return;
    }
    result.json = parseBody(body);
    result.error = responseErrorText(result.statusCode, result.json);
}

// One request and its response, on handles of its own that are closed (request, connection,
// session) before it returns. Its waits end by the deadline.
HopAnswer sendHop(Hop& hop, const std::string& bearerToken, const HttpLimits& limits, Clock::time_point deadline)
{
    HopAnswer answer;
    HttpResult& result = answer.result;
    const auto parts = splitRequestUrl(hop.url);
    if (!parts) {
        result.error = kParseUrlFailed;
        return answer;
    }
    const std::wstring userAgent = widen(kUserAgent);
    const WinHttpHandle session(WinHttpOpen(userAgent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                            WINHTTP_NO_PROXY_BYPASS, 0));
    // Rounded up: a wait cut to what is left must end at the deadline, not a fraction of a
    // millisecond before it, where its end would read as the server's failure.
    const HttpLimits waits = waitsWithin(limits, std::chrono::ceil<milliseconds>(deadline - Clock::now()));
    if (!session || !setWaits(session.get(), waits)) {
        result.error = kSessionFailed;
        return answer;
    }
    const WinHttpHandle connection(WinHttpConnect(session.get(), parts->host.c_str(), parts->port, 0));
    if (!connection) {
        result.error = kConnectFailed;
        return answer;
    }
    const std::wstring verb = widen(hop.method);
    const WinHttpHandle request(WinHttpOpenRequest(connection.get(), verb.c_str(), parts->objectName.c_str(), nullptr,
                                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                   parts->secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request || !prepareRequest(request.get(), waits)) {
        result.error = kPrepareFailed;
        return answer;
    }
    if (!sendAndReceive(request.get(), bearerToken, hop.body)) {
        // A wait cut short by the deadline ended for want of time, not of a server.
        result.error = Clock::now() >= deadline ? kTooSlow : kSendFailed;
        return answer;
    }
    readResponse(request.get(), deadline, answer);
    return answer;
}

// Makes `hop` the request that a followed redirect with `status` sends to `url`.
void followRedirect(Hop& hop, std::int32_t status, std::string url)
{
    RedirectedRequest again = redirectedRequest(status, hop.method);
    hop.method = std::move(again.method);
    hop.url = std::move(url);
    if (!again.keepsBody) {
        hop.body.clear();
    }
}

HttpResult failure(const char* text)
{
    HttpResult result;
    result.error = text;
    return result;
}

// The whole exchange: the first request and the redirects that stay on its origin.
HttpResult exchange(const std::string& method, const std::string& url, const FormFields& fields,
                    const std::string& bearerToken, const HttpLimits& limits)
{
    const Clock::time_point deadline = Clock::now() + limits.exchange;
    Hop hop{method, url, formBody(fields)};
    for (int redirects = 0;; ++redirects) {
        if (Clock::now() >= deadline) {
            return failure(kTooSlow);
        }
        HopAnswer answer = sendHop(hop, bearerToken, limits, deadline);
        if (answer.location.empty()) {
            return std::move(answer.result);
        }
        RedirectTarget next = redirectTarget(hop.url, answer.location);
        if (next.verdict != RedirectTarget::Verdict::Follow) {
            answer.result.error =
                next.verdict == RedirectTarget::Verdict::OtherOrigin ? kRedirectRefused : kRedirectUnreadable;
            return std::move(answer.result);
        }
        if (redirects == kMaxRedirects) {
            return failure(kSendFailed);
        }
        followRedirect(hop, answer.result.statusCode, std::move(next.url));
    }
}

}  // namespace

HttpResult::HttpResult(HttpResult&& other) noexcept
{
    *this = std::move(other);
}

HttpResult& HttpResult::operator=(HttpResult&& other) noexcept
{
    statusCode = other.statusCode;
    json = std::move(other.json);
    error = std::move(other.error);
    other.json = nullptr;
    other.error.clear();
    return *this;
}

std::string formBody(const FormFields& fields)
{
    std::string body;
    for (const auto& [name, value] : fields) {
        if (!body.empty()) {
            body += '&';
        }
        body += percentEncode(name);
        body += '=';
        body += percentEncode(value);
    }
    return body;
}

std::string responseErrorText(std::int32_t statusCode, const nlohmann::json& body)
{
    if (statusCode <= 399) {
        return {};
    }
    for (const char* member : {"message", "error"}) {
        std::string text = jsonString(body, member, "");
        if (!text.empty()) {
            return text;
        }
    }
    return "Vandreth returned HTTP " + std::to_string(statusCode) + ".";
}

std::string headerSafeToken(const std::string& token)
{
    const auto isHeaderText = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte >= 0x21 && byte <= 0x7E;
    };
    return std::string(token.begin(), std::find_if_not(token.begin(), token.end(), isHeaderText));
}

HttpResult HttpClient::request(const std::string& method, const std::string& url, const FormFields& fields,
                               const std::string& bearerToken) const
{
    try {
        return exchange(method, url, fields, bearerToken, limits_);
    } catch (const std::bad_alloc&) {
        // Every handle of the exchange is closed by now; what was gathered is dropped.
        return failure(kOutOfMemory);
    }
}

}  // namespace vandreth
