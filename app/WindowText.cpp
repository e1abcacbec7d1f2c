#include "WindowText.h"

namespace vandreth {

std::string windowText(HWND window)
{
    const int length = GetWindowTextLengthA(window);
    if (length <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    // The length is an upper bound (it may count more than the text holds); keep only the
    // bytes actually copied, so no stray NULs reach names, origins or the state file.
    const int copied = GetWindowTextA(window, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return text;
}

void setWindowTextUtf8(HWND window, const std::string& text)
{
    SetWindowTextA(window, text.c_str());
}

}  // namespace vandreth
