// The start-up floor: the least a Win32 program does to show a window. It opens one empty window
// of the client's size, shows it, puts "Ready" in its title once it is on screen, and quits
// when it is closed.
//
// Built twice more, as measuring sticks for what the client's start-up is made of:
// - FLOOR_WITH_CLIENT_DLLS: it also loads the DLLs the client imports, with one cheap call into
//   each, as the client's loader has to before WinMain (and carries the client's manifest);
// - FLOOR_WITH_CLIENT_CONTROLS: that, and the client's 33 controls (classes, styles, places,
//   texts and font as the client makes them), with "Ready" put on the status line instead.

#include "ClientLook.h"
#include "DriverSetting.h"

#include <windows.h>

#if defined(FLOOR_WITH_CLIENT_DLLS) || defined(FLOOR_WITH_CLIENT_CONTROLS)
#include <shellapi.h>
#include <winhttp.h>
#endif

namespace vandreth::bench {

namespace {

LRESULT CALLBACK floorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

#if defined(FLOOR_WITH_CLIENT_DLLS) || defined(FLOOR_WITH_CLIENT_CONTROLS)
void touchClientDlls()
{
    initCommonControlsAsTheClient();
    WinHttpCheckPlatform();
    int count = 0;
    LocalFree(CommandLineToArgvW(GetCommandLineW(), &count));
}
#endif

#ifdef FLOOR_WITH_CLIENT_CONTROLS
// The controls in the client's font; the status line's handle.
HWND createClientControls(HWND window, HINSTANCE instance)
{
    HFONT font = createClientFont();
    HWND statusLine = nullptr;
    for (const ControlRow& row : kClientControls) {
        HWND control = CreateWindowExA(row.exStyle, row.className, row.text, row.style, row.x, row.y, row.width,
                                       row.height, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)),
                                       instance, nullptr);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        if (row.id == kStatusLine) {
            statusLine = control;
        }
    }
    return statusLine;
}
#endif

}  // namespace

int runFloorWindow(HINSTANCE instance, int showCommand)
{
#if defined(FLOOR_WITH_CLIENT_DLLS) || defined(FLOOR_WITH_CLIENT_CONTROLS)
    touchClientDlls();
#endif
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = floorWindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = kFloorClass;
    RegisterClassExA(&windowClass);

    HWND window = CreateWindowExA(0, kFloorClass, "Starting...", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                                  kClientWidth, kClientHeight, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
#ifdef FLOOR_WITH_CLIENT_CONTROLS
    HWND readyWindow = createClientControls(window, instance);
#else
    HWND readyWindow = window;
#endif
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    SetWindowTextA(readyWindow, kFloorReady);

    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace vandreth::bench

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    return vandreth::bench::runFloorWindow(instance, showCommand);
}
