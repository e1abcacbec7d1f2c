#include "SpineSupport.h"

#include "ClientHarness.h"

#include <algorithm>
#include <cstring>
#include <regex>
#include <utility>

namespace vandreth::test {

namespace {

constexpr const char* kOverrideProperty = "VandrethTestTextOverride";

}  // namespace

std::string linkedStateFile(const std::string& origin)
{
    return std::string(R"({"access_token":")") + kToken + R"(","device_id":")" + kDeviceId + R"(","origin":")" +
           origin + R"("})";
}

std::string unlinkedStateFile(const std::string& origin)
{
    return std::string(R"({"device_id":")") + kDeviceId + R"(","origin":")" + origin + R"("})";
}

std::string savedDeviceId(const std::string& stateBytes)
{
    static const std::regex member("\"device_id\": \"([^\"]*)\"");
    std::smatch match;
    return std::regex_search(stateBytes, match, member) ? match[1].str() : std::string();
}

bool isDeviceIdMadeBetween(const std::string& id, std::uint64_t earliestMs, std::uint64_t latestMs)
{
    static const std::regex shape("vdwin-([1-9a-f][0-9a-f]*)");
    std::smatch match;
    if (!std::regex_match(id, match, shape)) {
        return false;
    }
    const std::uint64_t madeAt = std::stoull(match[1].str(), nullptr, 16);
    return madeAt >= earliestMs && madeAt <= latestMs;
}

std::uint64_t systemMs()
{
    // The precise clock: a coarser one could lag behind a reading the client took after it.
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    constexpr std::uint64_t kTicksFrom1601To1970 = 116444736000000000ULL;
    return (ticks.QuadPart - kTicksFrom1601To1970) / 10000;
}

TextOverride::TextOverride(HWND control, std::string bytes, int extraLength)
    : control_(control),
      bytes_(std::move(bytes)),
      extraLength_(extraLength),
      previous_(reinterpret_cast<WNDPROC>(GetWindowLongPtrA(control, GWLP_WNDPROC)))
{
    // The control belongs to the client's thread, which may dispatch to it at any moment: all
    // is in place before the procedure is swapped. Set through the 8-bit function, so that the
    // messages of GetWindowTextA arrive unconverted.
    SetPropA(control_, kOverrideProperty, this);
    SetWindowLongPtrA(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TextOverride::procedure));
}

TextOverride::~TextOverride()
{
    if (IsWindow(control_)) {
        SetWindowLongPtrA(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        RemovePropA(control_, kOverrideProperty);
    }
}

LRESULT CALLBACK TextOverride::procedure(HWND control, UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto* self = static_cast<const TextOverride*>(GetPropA(control, kOverrideProperty));
    switch (message) {
    case WM_GETTEXTLENGTH:
        return static_cast<LRESULT>(self->bytes_.size()) + self->extraLength_;
    case WM_GETTEXT: {
        if (wParam == 0) {
            return 0;
        }
        const std::size_t copied = std::min<std::size_t>(self->bytes_.size(), wParam - 1);
        auto* buffer = reinterpret_cast<char*>(lParam);
        std::memcpy(buffer, self->bytes_.data(), copied);
        buffer[copied] = '\0';
        return static_cast<LRESULT>(copied);
    }
    default:
        return CallWindowProcA(self->previous_, control, message, wParam, lParam);
    }
}

}  // namespace vandreth::test
