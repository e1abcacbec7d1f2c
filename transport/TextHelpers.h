#pragma once
// Small text helpers shared by the transport and the application. Text is UTF-8 in byte
// strings everywhere; UTF-16 appears only at the Windows API boundary (widen / narrow).

#include <nlohmann/json.hpp>

#include <string>

namespace vandreth {

// The text without leading and trailing ASCII white space (tab, LF, VT, FF, CR, space).
// Bytes of 0x80 and above are never white space, so UTF-8 text is never cut into.
std::string trim(const std::string& text);

// The string member `name` of `value` when `value` is an object holding a string there,
// `fallback` otherwise. Never throws for a value of any type.
std::string jsonString(const nlohmann::json& value, const char* name, const std::string& fallback);

// UTF-8 to UTF-16 and back with the platform converter. Conversion stops at the first NUL;
// malformed input is replaced (U+FFFD), never refused.
std::wstring widen(const std::string& text);
std::string narrow(const std::wstring& wide);

// HTML form encoding: unreserved characters stay, a space becomes '+', every other byte
// becomes %XX with upper-case hex digits.
std::string percentEncode(const std::string& text);

}  // namespace vandreth
