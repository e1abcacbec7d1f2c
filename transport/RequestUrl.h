#pragma once
// A request URL as WinHTTP splits it: where the request connects and what it asks for.

#include <windows.h>
#include <winhttp.h>

#include <optional>
#include <string>

namespace vandreth {

struct UrlParts {
    bool secure = false;  // https
    std::wstring host;
    INTERNET_PORT port = 0;   // the scheme's default port when the URL names none
    std::wstring objectName;  // path ("/" when there is none) and query
};

// The parts of an http or https URL; nothing for a URL that WinHTTP cannot split.
std::optional<UrlParts> splitRequestUrl(const std::string& url);

// True when both name the same origin: scheme, host (ASCII letters compared without case)
// and port.
bool sameOrigin(const UrlParts& a, const UrlParts& b);

}  // namespace vandreth
