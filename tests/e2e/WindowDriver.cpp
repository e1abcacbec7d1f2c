// Drives the Vandreth Client's main window from another process, for the end-to-end test.
//
// Reads one command per line on standard input and answers each with one line of JSON on
// standard output: {"ok":true,"value":...} or {"ok":false,"error":"..."}. Arguments are
// separated by single blanks; an argument that starts with a quotation mark is a JSON string,
// and the last argument of a command, when not quoted, is the rest of the line.
//
//   launch <exe> <appdata-dir>   start the client with APPDATA set; value: its process id
//   wait-window <ms>             wait for its main window to be visible
//   text <id>                    a control's text (id 0: the main window's title)
//   set-text <id> <text>
//   click <id>                   BM_CLICK; refused for a disabled control, as for a user
//   enabled <id>                 true or false
//   check <id>                   BM_GETCHECK: 0, 1 or 2
//   list <id> / combo <id>       {"items": [...], "selected": index or -1}
//   select-list <id> <i> / select-combo <id> <i>
//   screenshot <path>            the main window as it is on screen, a 24-bit BMP file
//   close <ms>                   WM_CLOSE, then wait for the process; value: its exit code
//   quit                         end; a client still running then is terminated
//
// Texts are UTF-8 on this program's streams. They cross to the client as UTF-16 (the wide
// messages): Wine does not convert every 8-bit list message sent to another process.

#include "ChildProcess.h"
#include "WindowIds.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using nlohmann::json;

// Long enough for any message the client handles, short enough that a hung client ends the run.
constexpr UINT kMessageTimeoutMs = 30000;

struct CommandError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Splits the arguments that follow the command word; see the header comment for the rules.
std::vector<std::string> splitArguments(const std::string& text, std::size_t count)
{
    std::vector<std::string> args;
    std::size_t pos = 0;
    while (args.size() < count) {
        if (pos >= text.size()) {
            throw CommandError("expected " + std::to_string(count) + " argument(s)");
        }
        const bool last = args.size() + 1 == count;
        if (text[pos] == '"') {
            std::size_t end = pos + 1;
            while (end < text.size() && text[end] != '"') {
                end += text[end] == '\\' ? 2 : 1;
            }
            if (end >= text.size()) {
                throw CommandError("unterminated quoted argument");
            }
            try {
                args.push_back(json::parse(text.substr(pos, end - pos + 1)).get<std::string>());
            } catch (const json::exception& e) {
                throw CommandError(std::string("bad quoted argument: ") + e.what());
            }
            pos = end + 2;
        } else if (last) {
            args.push_back(text.substr(pos));
            pos = text.size();
        } else {
            const std::size_t end = text.find(' ', pos);
            args.push_back(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
            pos = end == std::string::npos ? text.size() : end + 1;
        }
    }
    return args;
}

std::wstring widen(const std::string& text)
{
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    std::wstring wide(static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

std::string narrow(const wchar_t* text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, bytes.data(), size, nullptr, nullptr);
    bytes.pop_back();  // the terminator
    return bytes;
}

int toInt(const std::string& text)
{
    try {
        std::size_t used = 0;
        const int value = std::stoi(text, &used);
        if (used == text.size()) {
            return value;
        }
    } catch (const std::exception&) {
        // std::stoi's own errors become the message below.
    }
    throw CommandError("not a number: " + text);
}

// A client left running when the driver ends would outlive the test run that started it: the
// child process that holds it ends it.
class Driver {
public:
    json run(const std::string& command, const std::string& rest)
    {
        if (command == "launch") {
            const auto args = splitArguments(rest, 2);
            return launch(args[0], args[1]);
        }
        if (command == "wait-window") {
            return waitWindow(static_cast<DWORD>(toInt(splitArguments(rest, 1)[0])));
        }
        if (command == "text") {
            return text(handleOf(toInt(splitArguments(rest, 1)[0])));
        }
        if (command == "set-text") {
            const auto args = splitArguments(rest, 2);
            const std::wstring wide = widen(args[1]);
            send(control(toInt(args[0])), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
            return nullptr;
        }
        if (command == "click") {
            const HWND button = control(toInt(splitArguments(rest, 1)[0]));
            if (!IsWindowEnabled(button)) {
                throw CommandError("disabled");
            }
            send(button, BM_CLICK, 0, 0);
            return nullptr;
        }
        if (command == "enabled") {
            return IsWindowEnabled(control(toInt(splitArguments(rest, 1)[0]))) != FALSE;
        }
        if (command == "check") {
            return send(control(toInt(splitArguments(rest, 1)[0])), BM_GETCHECK, 0, 0);
        }
        if (command == "list") {
            return items(control(toInt(splitArguments(rest, 1)[0])), LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT, LB_GETCURSEL);
        }
        if (command == "combo") {
            return items(control(toInt(splitArguments(rest, 1)[0])), CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT,
                         CB_GETCURSEL);
        }
        if (command == "select-list" || command == "select-combo") {
            const auto args = splitArguments(rest, 2);
            const UINT message = command == "select-list" ? LB_SETCURSEL : CB_SETCURSEL;
            const LRESULT result = send(control(toInt(args[0])), message, static_cast<WPARAM>(toInt(args[1])), 0);
            if (result < 0) {
                throw CommandError("no such entry");
            }
            return result;
        }
        if (command == "screenshot") {
            screenshot(splitArguments(rest, 1)[0]);
            return nullptr;
        }
        if (command == "close") {
            return close(static_cast<DWORD>(toInt(splitArguments(rest, 1)[0])));
        }
        throw CommandError("unknown command: " + command);
    }

private:
    json launch(const std::string& exe, const std::string& appData)
    {
        if (client_) {
            throw CommandError("a client is already running");
        }
        vandreth::test::ChildSetup setup;
        setup.environment.push_back({L"APPDATA", widen(appData)});
        client_.emplace(widen(exe), setup);
        if (!client_->started()) {
            const DWORD error = client_->startError();
            client_.reset();
            throw CommandError("CreateProcess failed with error " + std::to_string(error));
        }
        window_ = nullptr;
        return client_->id();
    }

    json waitWindow(DWORD timeoutMs)
    {
        requireClient();
        const HWND window = client_->waitForWindow(vandreth::test::WindowState::Visible, timeoutMs);
        if (window == nullptr) {
            throw CommandError(client_->exitCode() ? "the client ended before showing its window"
                                                   : "no visible client window");
        }
        window_ = window;
        return reinterpret_cast<std::uintptr_t>(window_);
    }

    json close(DWORD timeoutMs)
    {
        requireClient();
        const auto exitCode = client_->close(window_, timeoutMs);
        if (!exitCode) {
            throw CommandError("the client is still running");
        }
        client_.reset();
        window_ = nullptr;
        return *exitCode;
    }

    void requireClient() const
    {
        if (!client_) {
            throw CommandError("no client launched");
        }
    }

    HWND handleOf(int id) const
    {
        return id == 0 ? mainWindow() : control(id);
    }

    HWND mainWindow() const
    {
        if (window_ == nullptr) {
            throw CommandError("no client window (use wait-window)");
        }
        return window_;
    }

    HWND control(int id) const
    {
        const HWND handle = GetDlgItem(mainWindow(), id);
        if (handle == nullptr) {
            throw CommandError("no control with id " + std::to_string(id));
        }
        return handle;
    }

    static LRESULT send(HWND target, UINT message, WPARAM wParam, LPARAM lParam)
    {
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutW(target, message, wParam, lParam, SMTO_ABORTIFHUNG, kMessageTimeoutMs, &result)) {
            throw CommandError("the client did not answer message " + std::to_string(message));
        }
        return static_cast<LRESULT>(result);
    }

    static std::string fetchText(HWND target, UINT lengthMessage, UINT textMessage, WPARAM index, bool sized)
    {
        const LRESULT length = send(target, lengthMessage, index, 0);
        if (length < 0) {
            throw CommandError("cannot read the text");
        }
        std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
        const WPARAM wParam = sized ? static_cast<WPARAM>(buffer.size()) : index;
        if (send(target, textMessage, wParam, reinterpret_cast<LPARAM>(buffer.data())) < 0) {
            throw CommandError("cannot read the text");
        }
        return narrow(buffer.data());
    }

    static json text(HWND target)
    {
        return fetchText(target, WM_GETTEXTLENGTH, WM_GETTEXT, 0, true);
    }

    static json items(HWND target, UINT countMessage, UINT lengthMessage, UINT textMessage, UINT selectionMessage)
    {
        const LRESULT count = send(target, countMessage, 0, 0);
        json lines = json::array();
        for (LRESULT i = 0; i < count; ++i) {
            lines.push_back(fetchText(target, lengthMessage, textMessage, static_cast<WPARAM>(i), false));
        }
        return {{"items", lines}, {"selected", send(target, selectionMessage, 0, 0)}};
    }

    void screenshot(const std::string& path) const
    {
        const HWND window = mainWindow();
        SetForegroundWindow(window);
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        RECT rect{};
        GetWindowRect(window, &rect);
        const int width = rect.right - rect.left;
        const int height = rect.bottom - rect.top;
        if (width <= 0 || height <= 0) {
            throw CommandError("the window has no area");
        }

        const HDC screen = GetDC(nullptr);
        const HDC memory = CreateCompatibleDC(screen);
        const HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
        const HGDIOBJ previous = SelectObject(memory, bitmap);
        const BOOL copied = BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
        SelectObject(memory, previous);

        BITMAPINFOHEADER header{};
        header.biSize = sizeof header;
        header.biWidth = width;
        header.biHeight = height;  // bottom-up rows, as a BMP file stores them
        header.biPlanes = 1;
        header.biBitCount = 24;
        header.biCompression = BI_RGB;
        const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~static_cast<std::size_t>(3);
        std::vector<char> pixels(stride * static_cast<std::size_t>(height));
        const int rows = copied ? GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                                            reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS)
                                : 0;
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
        if (rows != height) {
            throw CommandError("cannot copy the screen");
        }

        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;  // "BM"
        file.bfOffBits = sizeof file + sizeof header;
        file.bfSize = static_cast<DWORD>(file.bfOffBits + pixels.size());
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(&file), sizeof file);
        out.write(reinterpret_cast<const char*>(&header), sizeof header);
        out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
        if (!out) {
            throw CommandError("cannot write " + path);
        }
    }

    std::optional<vandreth::test::ChildProcess> client_;
    HWND window_ = nullptr;
};

void answer(const json& reply)
{
    std::cout << reply.dump(-1, ' ', false, json::error_handler_t::replace) << '\n' << std::flush;
}

}  // namespace

int main()
{
    // Binary streams: the Linux side writes and reads bare line feeds, and texts are UTF-8 bytes.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);

    Driver driver;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::size_t space = line.find(' ');
        const std::string command = line.substr(0, space);
        const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
        if (command == "quit") {
            answer({{"ok", true}, {"value", nullptr}});
            break;
        }
        try {
            answer({{"ok", true}, {"value", driver.run(command, rest)}});
        } catch (const std::exception& e) {
            answer({{"ok", false}, {"error", e.what()}});
        }
    }
    return 0;
}
