#pragma once
// When the client follows a redirect, and how it asks again. WinHTTP's own following is off:
// it would send the request's header lines, the bearer token included, and a 307's body to
// whatever address the service names. The client follows only what stays on the origin.

#include <cstdint>
#include <optional>
#include <string>

namespace vandreth {

// How many redirects one request follows at most (WinHTTP's own default).
inline constexpr int kMaxRedirects = 10;

// 301, 302, 303, 307 and 308: the statuses whose Location names where to ask again.
bool isRedirectStatus(std::int32_t status);

// The absolute URL that `location` names, resolved against `requestUrl`, when it stays on
// `requestUrl`'s origin (scheme, host, port); nothing when it leaves it or cannot be followed.
// Followed: absolute http(s) URLs, "//host/..." and "/path"; any fragment is dropped. Other
// relative references are not followed.
std::optional<std::string> sameOriginLocation(const std::string& requestUrl, const std::string& location);

struct RedirectedRequest {
    std::string method;
    bool keepsBody = true;
};

// How the request is sent again after `status`: 307 and 308 keep the method and the body;
// 303, and 301 or 302 after a POST, ask with GET and no body; anything else keeps both.
RedirectedRequest redirectedRequest(std::int32_t status, const std::string& method);

}  // namespace vandreth
