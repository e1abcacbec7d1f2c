#include "ScreenSupport.h"

#include "ClientHarness.h"

#include <algorithm>
#include <map>
#include <memory>
#include <type_traits>

namespace vandreth::test {

namespace {

struct DcDeleter {
    void operator()(HDC dc) const { DeleteDC(dc); }
};
struct ObjectDeleter {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using MemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, DcDeleter>;
using Bitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, ObjectDeleter>;

// A memory DC that draws into a 32-bit top-down bitmap of the given size, whose bits it keeps.
class Surface {
public:
    Surface(int width, int height) : width_(width), height_(height), dc_(CreateCompatibleDC(nullptr))
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        bitmap_.reset(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), nullptr, 0));
        previous_ = SelectObject(dc_.get(), bitmap_.get());
    }
    ~Surface() { SelectObject(dc_.get(), previous_); }
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    HDC dc() const { return dc_.get(); }

    Pixels pixels() const
    {
        GdiFlush();
        Pixels pixels(width_, height_);
        for (int y = 0; y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                // Each pixel of the bitmap is 0x00RRGGBB.
                const DWORD pixel = bits_[static_cast<std::size_t>(y) * width_ + x];
                pixels.set(x, y,
                           RGB(static_cast<BYTE>(pixel >> 16), static_cast<BYTE>(pixel >> 8), static_cast<BYTE>(pixel)));
            }
        }
        return pixels;
    }

private:
    int width_;
    int height_;
    MemoryDc dc_;
    Bitmap bitmap_;
    DWORD* bits_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

INPUT keyInput(WORD key, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = flags;
    return input;
}

INPUT unicodeInput(wchar_t character, DWORD flags)
{
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wScan = character;
    input.ki.dwFlags = KEYEVENTF_UNICODE | flags;
    return input;
}

void send(std::vector<INPUT> inputs)
{
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

constexpr const char* kOtherWindowClass = "VandrethTestOtherWindow";

}  // namespace

Pixels::Pixels(int width, int height)
    : width_(width), height_(height), colours_(static_cast<std::size_t>(width) * height, 0)
{
}

std::set<COLORREF> Pixels::coloursRightOf(int left) const
{
    std::set<COLORREF> colours;
    for (int y = 0; y < height_; ++y) {
        for (int x = std::max(left, 0); x < width_; ++x) {
            colours.insert(at(x, y));
        }
    }
    return colours;
}

COLORREF Pixels::commonest() const
{
    std::map<COLORREF, std::size_t> counts;
    for (COLORREF colour : colours_) {
        ++counts[colour];
    }
    return std::max_element(counts.begin(), counts.end(),
                            [](const auto& a, const auto& b) { return a.second < b.second; })
        ->first;
}

std::size_t Pixels::differencesFrom(const Pixels& other) const
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < colours_.size(); ++i) {
        count += colours_[i] != other.colours_[i] ? 1 : 0;
    }
    return count;
}

std::size_t Pixels::edgeDifferencesFrom(const Pixels& other, int depth) const
{
    std::size_t count = 0;
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            const bool nearEdge = x < depth || y < depth || x >= width_ - depth || y >= height_ - depth;
            count += nearEdge && at(x, y) != other.at(x, y) ? 1 : 0;
        }
    }
    return count;
}

Pixels paintedPixels(HWND control)
{
    // Sent to the control's own thread, so the paint is over when this returns.
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    RECT client{};
    GetClientRect(control, &client);
    Surface surface(client.right, client.bottom);
    const HDC window = GetDC(control);
    BitBlt(surface.dc(), 0, 0, client.right, client.bottom, window, 0, 0, SRCCOPY);
    ReleaseDC(control, window);
    return surface.pixels();
}

Pixels printedPixels(HWND control)
{
    RECT client{};
    GetClientRect(control, &client);
    Surface surface(client.right, client.bottom);
    SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(surface.dc()), PRF_CLIENT | PRF_ERASEBKGND);
    return surface.pixels();
}

Pixels drawnText(HFONT font, const std::string& text, int width, int height, UINT format)
{
    Surface surface(width, height);
    RECT area{0, 0, width, height};
    FillRect(surface.dc(), &area, GetSysColorBrush(COLOR_WINDOW));
    const HGDIOBJ previous = SelectObject(surface.dc(), font);
    SetTextColor(surface.dc(), GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(surface.dc(), GetSysColor(COLOR_WINDOW));
    DrawTextA(surface.dc(), text.c_str(), -1, &area, format);
    SelectObject(surface.dc(), previous);
    return surface.pixels();
}

Pixels drawnThemePart(HTHEME theme, int part, int state, int width, int height)
{
    Surface surface(width, height);
    RECT area{0, 0, width, height};
    FillRect(surface.dc(), &area, GetSysColorBrush(COLOR_WINDOW));
    DrawThemeBackground(theme, surface.dc(), part, state, &area, nullptr);
    return surface.pixels();
}

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

bool bringToForeground(HWND window)
{
    SetForegroundWindow(window);
    return ClientHarness::waitFor([&] { return GetForegroundWindow() == window; });
}

HWND focusOn(HWND window)
{
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) {
        return nullptr;
    }
    return info.hwndFocus;
}

void pressKey(WORD key, bool withShift)
{
    std::vector<INPUT> inputs;
    if (withShift) {
        inputs.push_back(keyInput(VK_SHIFT, 0));
    }
    inputs.push_back(keyInput(key, 0));
    inputs.push_back(keyInput(key, KEYEVENTF_KEYUP));
    if (withShift) {
        inputs.push_back(keyInput(VK_SHIFT, KEYEVENTF_KEYUP));
    }
    send(std::move(inputs));
}

void typeText(const std::string& text)
{
    std::vector<INPUT> inputs;
    for (char character : text) {
        const auto unit = static_cast<wchar_t>(static_cast<unsigned char>(character));
        inputs.push_back(unicodeInput(unit, 0));
        inputs.push_back(unicodeInput(unit, KEYEVENTF_KEYUP));
    }
    send(std::move(inputs));
}

OtherWindow::OtherWindow()
    : thread_([this] {
          WNDCLASSEXA windowClass{};
          windowClass.cbSize = sizeof(windowClass);
          windowClass.lpfnWndProc = DefWindowProcA;
          windowClass.hInstance = GetModuleHandleA(nullptr);
          windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
          windowClass.lpszClassName = kOtherWindowClass;
          RegisterClassExA(&windowClass);
          threadId_ = GetCurrentThreadId();
          const HWND window = CreateWindowExA(0, kOtherWindowClass, "Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                              40, 40, 300, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
          handle_ = window;
          done_ = true;
          MSG message{};
          while (GetMessageA(&message, nullptr, 0, 0) > 0) {
              TranslateMessage(&message);
              DispatchMessageA(&message);
          }
          DestroyWindow(window);
      })
{
    ClientHarness::waitFor([this] { return done_.load(); });
}

OtherWindow::~OtherWindow()
{
    PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
    thread_.join();
}

}  // namespace vandreth::test
