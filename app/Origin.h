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

// System time in milliseconds since 1970-01-01 UTC; follows changes of the system clock.
std::uint64_t nowMs();

// "vdwin-" and `milliseconds` in lower-case hexadecimal.
std::string deviceIdAt(std::uint64_t milliseconds);

// A new device id from the current time.
std::string generateDeviceId();

}  // namespace vandreth
