#include "Origin.h"

#include "RequestUrl.h"
#include "TextHelpers.h"

#include <windows.h>

#include <cstdio>

namespace vandreth {

namespace {

bool startsWith(const std::string& text, const char* prefix)
{
    return text.rfind(prefix, 0) == 0;
}

// FILETIME counts 100 ns ticks from 1601-01-01; this many of them lie before 1970-01-01.
constexpr std::uint64_t kUnixEpochTicks = 116444736000000000ULL;

}  // namespace

std::string defaultOrigin()
{
    return std::string("https://") + kServiceHost;
}

std::string normalizedOrigin(const std::string& text)
{
    std::string origin = trim(text);
    if (origin.empty()) {
        origin = defaultOrigin();
    }
    if (!startsWith(origin, "http://") && !startsWith(origin, "https://")) {
        origin.insert(0, "https://");
    }
    while (!origin.empty() && origin.back() == '/') {
        origin.pop_back();
    }
    return origin;
}

bool sameServiceOrigin(const std::string& a, const std::string& b)
{
    const auto first = splitRequestUrl(a);
    const auto second = splitRequestUrl(b);
    if (!first || !second) {
        return a == b;
    }
    return sameOrigin(*first, *second);
}

std::uint64_t nowMs()
{
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return (ticks - kUnixEpochTicks) / 10000;
}

std::string deviceIdAt(std::uint64_t milliseconds)
{
    char digits[17];
    std::snprintf(digits, sizeof(digits), "%llx", static_cast<unsigned long long>(milliseconds));
    return std::string("vdwin-") + digits;
}

std::string generateDeviceId()
{
    return deviceIdAt(nowMs());
}

}  // namespace vandreth
