#pragma once
// UTF-8 text in and out of windows through the 8-bit window functions (the manifest makes
// their code page UTF-8).

#include <windows.h>

#include <string>

namespace vandreth {

// The window's text as the bytes GetWindowTextA copies; empty for no text.
std::string windowText(HWND window);

// Sets the window's text to `text` up to its first NUL byte.
void setWindowTextUtf8(HWND window, const std::string& text);

}  // namespace vandreth
