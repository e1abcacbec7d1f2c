#include "HttpClient.h"

#include "TextHelpers.h"
#include "WinHttpHandle.h"

#include <algorithm>
#include <new>

namespace vandreth {

namespace {

constexpr const char* kParseUrlFailed = "Vandreth could not parse the request URL.";
constexpr const char* kSessionFailed = "Vandreth could not open a WinHTTP session.";
constexpr const char* kConnectFailed = "Vandreth could not open the HTTPS connection.";
constexpr const char* kPrepareFailed = "Vandreth could not prepare the HTTP request.";
constexpr const char* kSendFailed = "Vandreth request failed before the server responded.";
constexpr const char* kOutOfMemory = "Vandreth ran out of memory while reading the server's answer.";

struct UrlParts {
    std::wstring host;
    std::wstring objectName;
    INTERNET_PORT port = 0;
    bool secure = false;
};

// Wine's WinHttpCrackUrl loses a query that follows the authority with no path in between
// ("http://host:81?a=1"); a "/" in front of it names the same request on every platform.
std::wstring withPathBeforeQuery(const std::wstring& url)
{
    const std::size_t scheme = url.find(L"://");
    if (scheme == std::wstring::npos) {
        return url;
    }
    const std::size_t authorityEnd = url.find_first_of(L"/?#", scheme + 3);
    if (authorityEnd == std::wstring::npos || url[authorityEnd] == L'/') {
        return url;
    }
    return url.substr(0, authorityEnd) + L'/' + url.substr(authorityEnd);
}

bool crackUrl(const std::wstring& givenUrl, UrlParts& parts)
{
    const std::wstring url = withPathBeforeQuery(givenUrl);
    URL_COMPONENTS components{};
    components.dwStructSize = sizeof(components);
    components.dwSchemeLength = static_cast<DWORD>(-1);
    components.dwHostNameLength = static_cast<DWORD>(-1);
    components.dwUrlPathLength = static_cast<DWORD>(-1);
    components.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &components)) {
        return false;
    }
    parts.host.assign(components.lpszHostName, components.dwHostNameLength);
    parts.objectName = components.dwUrlPathLength != 0
                           ? std::wstring(components.lpszUrlPath, components.dwUrlPathLength)
                           : std::wstring(L"/");
    if (components.dwExtraInfoLength != 0) {
        parts.objectName.append(components.lpszExtraInfo, components.dwExtraInfoLength);
    }
    parts.port = components.nPort;
    parts.secure = components.nScheme == INTERNET_SCHEME_HTTPS;
    return true;
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

// Reads until the end of the body; a failed step ends the body where it stands.
std::string readBody(HINTERNET request)
{
    std::string body;
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request, &available) || available == 0) {
            break;
        }
        std::string chunk(available, '\0');
        DWORD read = 0;
        if (!WinHttpReadData(request, chunk.data(), available, &read) || read == 0) {
            break;
        }
        body.append(chunk, 0, read);
    }
    return body;
}

nlohmann::json parseBody(const std::string& body)
{
    if (body.empty()) {
        return nlohmann::json::object();
    }
    try {
        return nlohmann::json::parse(body, nullptr, true, false);
    } catch (...) {
        return nlohmann::json::object();
    }
}

void exchange(HttpResult& result, const std::string& method, const std::string& url, const FormFields& fields,
              const std::string& bearerToken)
{
    UrlParts parts;
    if (!crackUrl(widen(url), parts)) {
        result.error = kParseUrlFailed;
        return;
    }
    const std::wstring userAgent = widen(kUserAgent);
    const WinHttpHandle session(
        WinHttpOpen(userAgent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) {
        result.error = kSessionFailed;
        return;
    }
    const WinHttpHandle connection(WinHttpConnect(session.get(), parts.host.c_str(), parts.port, 0));
    if (!connection) {
        result.error = kConnectFailed;
        return;
    }
    const std::wstring verb = widen(method);
    const WinHttpHandle request(WinHttpOpenRequest(connection.get(), verb.c_str(), parts.objectName.c_str(), nullptr,
                                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                   parts.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request) {
        result.error = kPrepareFailed;
        return;
    }

    std::string body = formBody(fields);
    const std::wstring headers = headerBlock(bearerToken, !body.empty());
    const auto bodyLength = static_cast<DWORD>(body.size());
    void* bodyData = body.empty() ? WINHTTP_NO_REQUEST_DATA : body.data();
    if (!WinHttpSendRequest(request.get(), headers.c_str(), static_cast<DWORD>(-1), bodyData, bodyLength, bodyLength, 0) ||
        !WinHttpReceiveResponse(request.get(), nullptr)) {
        result.error = kSendFailed;
        return;
    }

    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    if (WinHttpQueryHeaders(request.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX)) {
        result.statusCode = static_cast<std::int32_t>(status);
    }
    result.json = parseBody(readBody(request.get()));
    result.error = responseErrorText(result.statusCode, result.json);
}

}  // namespace

HttpResult::HttpResult(HttpResult&& other) noexcept
    : statusCode(other.statusCode), json(std::move(other.json)), error(std::move(other.error))
{
    other.error.clear();
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
    HttpResult result;
    try {
        exchange(result, method, url, fields, bearerToken);
    } catch (const std::bad_alloc&) {
        // Every handle of the exchange is closed by now; what was gathered is dropped.
        result.statusCode = 0;
        result.json = nullptr;
        result.error = kOutOfMemory;
    }
    return result;
}

}  // namespace vandreth
