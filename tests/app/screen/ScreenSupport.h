#pragma once
// What the screen tests share: the client's painted pixels, read back from its windows, and
// keys typed as a user types them (SendInput, which reaches the foreground window).

#include <windows.h>

#include <uxtheme.h>

#include <atomic>
#include <cstddef>
#include <set>
#include <string>
#include <thread>
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
    // The same, counting only the pixels less than `depth` away from an edge.
    std::size_t edgeDifferencesFrom(const Pixels& other, int depth) const;

private:
    std::size_t index(int x, int y) const { return static_cast<std::size_t>(y) * width_ + x; }

    int width_;
    int height_;
    std::vector<COLORREF> colours_;
};

// The control's client area as it shows now, after it has painted itself whole.
Pixels paintedPixels(HWND control);
// The control's client area as the control paints it into a surface of the test's own
// (WM_PRINTCLIENT, handled on the control's thread in one go): no other painting of the window,
// before or after, can mix into it.
Pixels printedPixels(HWND control);
// `text` as DrawText draws it with `format` in `font` on a surface of the given size, in the
// window's own colours (COLOR_WINDOWTEXT on COLOR_WINDOW).
Pixels drawnText(HFONT font, const std::string& text, int width, int height, UINT format);

// Part `part` of `theme` in `state`, as the theme draws it over the window's background
// (COLOR_WINDOW) on a surface of the given size.
Pixels drawnThemePart(HTHEME theme, int part, int state, int width, int height);

HFONT controlFont(HWND control);
std::string windowTextOf(HWND window);
// The size of `text` in `font`; its average character width in `averageWidth` when asked.
SIZE textExtent(HFONT font, const std::string& text, int* averageWidth = nullptr);

// Makes `window` the foreground window and waits until it is.
bool bringToForeground(HWND window);
// The window that has the keyboard focus on `window`'s thread.
HWND focusOn(HWND window);
// One press and release of a virtual key, with Shift held down around it when asked.
void pressKey(WORD key, bool withShift = false);
// Types the characters of `text` (ASCII) as Unicode key strokes.
void typeText(const std::string& text);

// A top-level window of another thread, with a message loop of its own, for the client to lose
// the foreground to.
class OtherWindow {
public:
    OtherWindow();
    ~OtherWindow();
    OtherWindow(const OtherWindow&) = delete;
    OtherWindow& operator=(const OtherWindow&) = delete;

    // Null when the window could not be made.
    HWND handle() const { return handle_; }

private:
    std::atomic<HWND> handle_{nullptr};
    std::atomic<DWORD> threadId_{0};
    std::atomic<bool> done_{false};
    std::thread thread_;
};

}  // namespace vandreth::test
