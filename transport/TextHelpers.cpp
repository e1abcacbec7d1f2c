#include "TextHelpers.h"

#include <windows.h>

#include <cctype>

namespace vandreth {

namespace {

bool isBlank(char byte)
{
    return std::isspace(static_cast<unsigned char>(byte)) != 0;
}

bool staysUnencoded(unsigned char byte)
{
    return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
           byte == '-' || byte == '.' || byte == '_' || byte == '~';
}

}  // namespace

std::string trim(const std::string& text)
{
    std::size_t start = 0;
    while (start < text.size() && isBlank(text[start])) {
        ++start;
    }
    std::size_t end = text.size();
    while (start < end && isBlank(text[end - 1])) {
        --end;
    }
    return text.substr(start, end - start);
}

std::string jsonString(const nlohmann::json& value, const char* name, const std::string& fallback)
{
    if (!value.is_object()) {
        return fallback;
    }
    const auto member = value.find(name);
    if (member == value.end() || !member->is_string()) {
        return fallback;
    }
    return member->get<std::string>();
}

std::wstring widen(const std::string& text)
{
    if (text.empty()) {
        return {};
    }
    const int units = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (units <= 0) {
        return {};
    }
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, wide.data(), units);
    if (!wide.empty() && wide.back() == L'\0') {
        wide.pop_back();
    }
    return wide;
}

std::string narrow(const std::wstring& wide)
{
    if (wide.empty()) {
        return {};
    }
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, text.data(), bytes, nullptr, nullptr);
    if (!text.empty() && text.back() == '\0') {
        text.pop_back();
    }
    return text;
}

std::string percentEncode(const std::string& text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (const char signedByte : text) {
        const auto byte = static_cast<unsigned char>(signedByte);
        if (staysUnencoded(byte)) {
            encoded += static_cast<char>(byte);
        } else if (byte == ' ') {
            encoded += '+';
        } else {
            encoded += '%';
            encoded += hex[byte >> 4];
            encoded += hex[byte & 0x0F];
        }
    }
    return encoded;
}

}  // namespace vandreth
