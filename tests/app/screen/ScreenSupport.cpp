#include "ScreenSupport.h"

#include <memory>
#include <type_traits>

namespace vandreth::test {

namespace {

struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;

}  // namespace

HFONT controlFont(HWND control)
{
    return reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
}

std::string windowTextOf(HWND window)
{
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(window)) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

SIZE textExtent(HFONT font, const std::string& text, int* averageWidth)
{
    const MemoryDc dc(CreateCompatibleDC(nullptr));
    const HGDIOBJ previous = SelectObject(dc.get(), font);
    SIZE size{};
    GetTextExtentPoint32A(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    if (averageWidth != nullptr) {
        TEXTMETRICA metrics{};
        GetTextMetricsA(dc.get(), &metrics);
        *averageWidth = metrics.tmAveCharWidth;
    }
    SelectObject(dc.get(), previous);
    return size;
}

}  // namespace vandreth::test
