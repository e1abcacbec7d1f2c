#include "RequestUrl.h"

#include "TextHelpers.h"

#include <algorithm>

namespace vandreth {

namespace {

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

wchar_t asciiLower(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

}  // namespace

std::optional<UrlParts> splitRequestUrl(const std::string& givenUrl)
{
    const std::wstring url = withPathBeforeQuery(widen(givenUrl));
    URL_COMPONENTS components{};
    components.dwStructSize = sizeof(components);
    components.dwSchemeLength = static_cast<DWORD>(-1);
    components.dwHostNameLength = static_cast<DWORD>(-1);
    components.dwUrlPathLength = static_cast<DWORD>(-1);
    components.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &components) ||
        (components.nScheme != INTERNET_SCHEME_HTTP && components.nScheme != INTERNET_SCHEME_HTTPS)) {
        return std::nullopt;
    }
    UrlParts parts;
    parts.secure = components.nScheme == INTERNET_SCHEME_HTTPS;
    parts.host.assign(components.lpszHostName, components.dwHostNameLength);
    parts.port = components.nPort;
    parts.objectName = components.dwUrlPathLength != 0
                           ? std::wstring(components.lpszUrlPath, components.dwUrlPathLength)
                           : std::wstring(L"/");
    if (components.dwExtraInfoLength != 0) {
        parts.objectName.append(components.lpszExtraInfo, components.dwExtraInfoLength);
    }
    return parts;
}

bool sameOrigin(const UrlParts& a, const UrlParts& b)
{
    return a.secure == b.secure && a.port == b.port &&
           std::equal(a.host.begin(), a.host.end(), b.host.begin(), b.host.end(),
                      [](wchar_t x, wchar_t y) { return asciiLower(x) == asciiLower(y); });
}

}  // namespace vandreth
