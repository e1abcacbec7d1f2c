#pragma once
// What the screen tests share: the fonts and texts of the client's controls, measured in the
// client's process.

#include <windows.h>

#include <string>

namespace vandreth::test {

HFONT controlFont(HWND control);
std::string windowTextOf(HWND window);
// The size of `text` in `font`; its average character width in `averageWidth` when asked.
SIZE textExtent(HFONT font, const std::string& text, int* averageWidth = nullptr);

}  // namespace vandreth::test
