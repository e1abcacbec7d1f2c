#pragma once
// When the client follows a redirect, and how it asks again. WinHTTP's own following is off:
// it would send the request's header lines, the bearer token included, and a 307's body to
// whatever address the service names. The client follows only what stays on the origin.

#include <cstdint>
#include <string>

namespace vandreth {

// How many redirects one request follows at most (WinHTTP's own default).
inline constexpr int kMaxRedirects = 10;

// 301, 302, 303, 307 and 308: the statuses whose Location names where to ask again.
bool isRedirectStatus(std::int32_t status);

// Where a redirect leads, as far as the client is concerned.
struct RedirectTarget {
    enum class Verdict {
        Follow,       // `url` is on the request's origin
        OtherOrigin,  // another scheme, host or port: not followed
        Unreadable,   // names no address that could be asked: not followed
    };
    Verdict verdict = Verdict::Unreadable;
    std::string url;  // the absolute URL to ask next; empty unless followed

    bool operator==(const RedirectTarget&) const = default;
};

// The Location of a redirect resolved against `requestUrl` as a URI reference (absolute,
// scheme-relative, an absolute or relative path, a query alone), without its fragment, and
// judged by its origin (scheme, host, port) against `requestUrl`'s.
RedirectTarget redirectTarget(const std::string& requestUrl, const std::string& location);

struct RedirectedRequest {
    std::string method;
    bool keepsBody = true;
};

// How the request is sent again after `status`: 307 and 308 keep the method and the body;
// 303, and 301 or 302 after a POST, ask with GET and no body; anything else keeps both.
RedirectedRequest redirectedRequest(std::int32_t status, const std::string& method);

}  // namespace vandreth
