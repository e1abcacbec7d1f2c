#pragma once
// The service origin, the millisecond clock and the device id.

#include <cstdint>
#include <string>

namespace vandreth {

// The service's host, as the texts that name the pairing page show it.
inline constexpr const char* kServiceHost = "vandreth.example";

// "https://" and the service's host.
std::string defaultOrigin();

// Trimmed, the default origin for empty text, "https://" in front unless the text starts with
// "http://" or "https://" (exactly), and no trailing '/'.
std::string normalizedOrigin(const std::string& text);

// True when both origins name one service: the same scheme, host (ASCII letters compared
// without case) and port, the scheme's default port when none is named. Origins that cannot be
// split as URLs are the same only when they are the same text.
bool sameServiceOrigin(const std::string& a, const std::string& b);

// System time in milliseconds since 1970-01-01 UTC; follows changes of the system clock.
std::uint64_t nowMs();

// "vdwin-" and `milliseconds` in lower-case hexadecimal.
std::string deviceIdAt(std::uint64_t milliseconds);

// A new device id from the current time.
std::string generateDeviceId();

}  // namespace vandreth
