#include "Redirect.h"

#include "RequestUrl.h"
#include "TextHelpers.h"
#include "UriReference.h"

#include <algorithm>
#include <utility>

namespace vandreth {

namespace {

using Verdict = RedirectTarget::Verdict;

// Blanks and control characters never stand in a URI; a Location holding them names nothing.
bool isUriText(const std::string& text)
{
    return std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte == 0x7F;
    });
}

// True when `url` begins with "http:" or "https:", in any case.
bool isWebUrl(const std::string& url)
{
    const std::size_t colon = url.find(':');
    if (colon == std::string::npos) {
        return false;
    }
    std::string scheme = url.substr(0, colon);
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return scheme == "http" || scheme == "https";
}

}  // namespace

bool isRedirectStatus(std::int32_t status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

RedirectTarget redirectTarget(const std::string& requestUrl, const std::string& location)
{
    const std::string reference = trim(location);
    if (!isUriText(reference)) {
        return {Verdict::Unreadable, {}};
    }
    std::string target = resolveReference(requestUrl, reference);
    if (!isWebUrl(target)) {
        return {Verdict::OtherOrigin, {}};
    }
    const auto to = splitRequestUrl(target);
    if (!to || to->host.empty()) {
        return {Verdict::Unreadable, {}};
    }
    const auto from = splitRequestUrl(requestUrl);
    if (!from || !sameOrigin(*from, *to)) {
        return {Verdict::OtherOrigin, {}};
    }
    return {Verdict::Follow, std::move(target)};
}

RedirectedRequest redirectedRequest(std::int32_t status, const std::string& method)
{
    if (status == 303 || ((status == 301 || status == 302) && method == "POST")) {
        return {"GET", false};
    }
    return {method, true};
}

}  // namespace vandreth
