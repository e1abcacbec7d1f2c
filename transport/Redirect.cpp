#include "Redirect.h"

#include "RequestUrl.h"
#include "TextHelpers.h"

#include <cctype>

namespace vandreth {

namespace {

// True when `reference` begins with a scheme ("name:"), as an absolute URL does.
bool hasScheme(const std::string& reference)
{
    const std::size_t colon = reference.find(':');
    if (colon == std::string::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(reference[0]))) {
        return false;
    }
    for (std::size_t i = 1; i < colon; ++i) {
        const auto c = static_cast<unsigned char>(reference[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

// `reference` as an absolute URL against `base`, or empty when it is a relative reference
// that the client does not follow.
std::string absoluteUrl(const std::string& base, const std::string& reference)
{
    if (hasScheme(reference)) {
        return reference;
    }
    const std::size_t schemeEnd = base.find("://");
    if (schemeEnd == std::string::npos || reference.empty() || reference[0] != '/') {
        return {};
    }
    if (reference.size() > 1 && reference[1] == '/') {
        return base.substr(0, schemeEnd + 1) + reference;
    }
    const std::size_t authorityEnd = base.find_first_of("/?#", schemeEnd + 3);
    return base.substr(0, authorityEnd) + reference;
}

}  // namespace

bool isRedirectStatus(std::int32_t status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::optional<std::string> sameOriginLocation(const std::string& requestUrl, const std::string& location)
{
    const std::string reference = trim(location.substr(0, location.find('#')));
    const std::string target = absoluteUrl(requestUrl, reference);
    if (target.empty()) {
        return std::nullopt;
    }
    const auto from = splitRequestUrl(requestUrl);
    const auto to = splitRequestUrl(target);
    if (!from || !to || !sameOrigin(*from, *to)) {
        return std::nullopt;
    }
    return target;
}

RedirectedRequest redirectedRequest(std::int32_t status, const std::string& method)
{
    if (status == 303 || ((status == 301 || status == 302) && method == "POST")) {
        return {"GET", false};
    }
    return {method, true};
}

}  // namespace vandreth
