#include "WebAddress.h"

#include <algorithm>
#include <cctype>

namespace vandreth {

namespace {

bool hasPrefixIgnoringCase(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char expected, char actual) {
               return expected == std::tolower(static_cast<unsigned char>(actual));
           });
}

bool isControlByte(char byte)
{
    const auto value = static_cast<unsigned char>(byte);
    return value < 0x20 || value == 0x7F;
}

}  // namespace

bool isWebAddress(const std::string& url)
{
    if (std::any_of(url.begin(), url.end(), isControlByte)) {
        return false;
    }
    std::size_t hostStart = 0;
    if (hasPrefixIgnoringCase(url, "https://")) {
        hostStart = 8;
    } else if (hasPrefixIgnoringCase(url, "http://")) {
        hostStart = 7;
    } else {
        return false;
    }
    const std::size_t hostEnd = std::min(url.find_first_of("/?#", hostStart), url.size());
    const std::string authority = url.substr(hostStart, hostEnd - hostStart);
    return !authority.empty() && authority.find_first_of("\\ ") == std::string::npos && authority.front() != '@' &&
           authority.front() != ':';
}

}  // namespace vandreth
