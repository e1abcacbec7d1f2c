#include "WebAddress.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <string_view>

namespace vandreth {

namespace {

// Longer addresses are cut or refused by browsers and by the shell's command line alike.
constexpr std::size_t kLongestWebAddress = 2048;

bool hasPrefixIgnoringCase(const std::string& text, const std::string& prefix)
{
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char expected, char actual) {
               return expected == std::tolower(static_cast<unsigned char>(actual));
           });
}

// Bytes that could end the address on a command line, or that a program reading that line
// might take for its own syntax; none of them belongs in an address unencoded.
bool isUnsafeByte(char byte)
{
    constexpr std::string_view kUnsafe = " \"<>\\^`{|}";
    const auto value = static_cast<unsigned char>(byte);
    return value < 0x20 || value == 0x7F || kUnsafe.find(byte) != std::string_view::npos;
}

bool isAsciiByte(char byte)
{
    return static_cast<unsigned char>(byte) < 0x80;
}

}  // namespace

bool isWebAddress(const std::string& url)
{
    if (url.size() > kLongestWebAddress || std::any_of(url.begin(), url.end(), isUnsafeByte)) {
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
    // A host beyond ASCII could pass for another; user and port have no reason to be either.
    return !authority.empty() && std::all_of(authority.begin(), authority.end(), isAsciiByte) &&
           authority.front() != '@' && authority.front() != ':';
}

}  // namespace vandreth
