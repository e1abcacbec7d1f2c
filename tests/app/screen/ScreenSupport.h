#pragma once
// What the screen tests share: the client's painted pixels, read back from its windows, and the
// fonts and texts of its controls, measured in the client's process.

#include <windows.h>

#include <cstddef>
#include <set>
#include <string>
#include <vector>

namespace vandreth::test {

// A rectangle of pixels, one COLORREF each, row by row from the top.
class Pixels {
public:
    Pixels(int width, int height);

    int width() const { return width_; }
    int height() const { return height_; }
    COLORREF at(int x, int y) const { return colours_[index(x, y)]; }
    void set(int x, int y, COLORREF colour) { colours_[index(x, y)] = colour; }
    // The colours of the columns from `left` to the right edge, each once.
    std::set<COLORREF> coloursRightOf(int left) const;
    // The colour that most pixels have.
    COLORREF commonest() const;
    // How many pixels differ from the same place in `other` (of the same size).
    std::size_t differencesFrom(const Pixels& other) const;

private:
    std::size_t index(int x, int y) const { return static_cast<std::size_t>(y) * width_ + x; }

    int width_;
    int height_;
    std::vector<COLORREF> colours_;
};

// The control's client area as it shows now, after it has painted itself whole.
Pixels paintedPixels(HWND control);
// `text` as DrawText draws it with `format` in `font` on a surface of the given size, in the
// window's own colours (COLOR_WINDOWTEXT on COLOR_WINDOW).
Pixels drawnText(HFONT font, const std::string& text, int width, int height, UINT format);

HFONT controlFont(HWND control);
std::string windowTextOf(HWND window);
// The size of `text` in `font`; its average character width in `averageWidth` when asked.
SIZE textExtent(HFONT font, const std::string& text, int* averageWidth = nullptr);

// Makes `window` the foreground window and waits until it is.
bool bringToForeground(HWND window);

}  // namespace vandreth::test
