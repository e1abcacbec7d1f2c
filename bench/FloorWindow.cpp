// The start-up floor: the least a Win32 program does to show a window. It opens one empty window
// of the client's size, shows it, puts "Ready" in its title once it is on screen, and quits
// when it is closed.
//
// Built twice more, as measuring sticks for what the client's start-up is made of:
// - FLOOR_WITH_CLIENT_DLLS: it also loads the DLLs the client imports, with one cheap call into
//   each, as the client's loader has to before WinMain (and carries the client's manifest);
// - FLOOR_WITH_CLIENT_CONTROLS: that, and the client's 33 controls (classes, styles, places,
//   texts and font as the client makes them), with "Ready" put on the status line instead.

#include <windows.h>

#if defined(FLOOR_WITH_CLIENT_DLLS) || defined(FLOOR_WITH_CLIENT_CONTROLS)
#include <commctrl.h>
#include <shellapi.h>
#include <winhttp.h>
#endif

#ifdef FLOOR_WITH_CLIENT_CONTROLS
#include "ControlStyles.h"
#endif

namespace {

constexpr const char* kFloorClass = "VandrethBenchFloorWindow";

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
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);
    WinHttpCheckPlatform();
    int count = 0;
    LocalFree(CommandLineToArgvW(GetCommandLineW(), &count));
}
#endif

#ifdef FLOOR_WITH_CLIENT_CONTROLS
struct ControlRow {
    DWORD exStyle;
    const char* className;
    const char* text;
    DWORD style;
    int x, y, width, height, id;
};

constexpr int kStatusLineId = 1019;

// The client's main window, control by control.
constexpr ControlRow kControls[] = {
    {0, "STATIC", "Vandreth URL", vandreth::kLabelStyle, 20, 18, 150, 20, -1},
    {vandreth::kSunkenStyle, "EDIT", "https://vandreth.example", vandreth::kEditStyle, 20, 40, 430, 26, 1001},
    {0, "STATIC", "Link Code", vandreth::kLabelStyle, 20, 76, 150, 20, -1},
    {vandreth::kSunkenStyle, "EDIT", "", vandreth::kReadOnlyEditStyle, 20, 98, 430, 26, 1002},
    {0, "BUTTON", "Generate Link Code", vandreth::kPushButtonStyle, 20, 136, 205, 30, 1003},
    {0, "BUTTON", "Open Pairing Page", vandreth::kPushButtonStyle, 245, 136, 205, 30, 1004},
    {0, "STATIC", "Linked Account", vandreth::kLabelStyle, 490, 18, 180, 20, -1},
    {0, "STATIC", "Not linked yet", vandreth::kLabelStyle, 490, 44, 420, 20, 1020},
    {0, "STATIC", "Plan: -", vandreth::kLabelStyle, 490, 70, 220, 20, 1021},
    {0, "STATIC", "Limit: -", vandreth::kLabelStyle, 490, 96, 220, 20, 1022},
    {0, "BUTTON", "Refresh", vandreth::kPushButtonStyle, 490, 136, 120, 30, 1005},
    {0, "BUTTON", "Unlink", vandreth::kPushButtonStyle, 620, 136, 120, 30, 1006},
    {0, "STATIC", "Starting...", vandreth::kLabelStyle, 20, 182, 1020, 20, kStatusLineId},
    {0, "STATIC", "Your Vandreth Projects", vandreth::kLabelStyle, 20, 220, 220, 20, -1},
    {vandreth::kSunkenStyle, "LISTBOX", "", vandreth::kListStyle, 20, 246, 500, 360, 1007},
    {0, "BUTTON", "Open Selected Project", vandreth::kPushButtonStyle, 20, 620, 220, 30, 1008},
    {0, "STATIC", "RERI Name", vandreth::kLabelStyle, 560, 220, 140, 20, -1},
    {vandreth::kSunkenStyle, "EDIT", "", vandreth::kEditStyle, 560, 242, 470, 26, 1009},
    {0, "STATIC", "Description", vandreth::kLabelStyle, 560, 278, 140, 20, -1},
    {vandreth::kSunkenStyle, "EDIT", "", vandreth::kEditStyle, 560, 300, 470, 26, 1010},
    {0, "STATIC", "Emoji", vandreth::kLabelStyle, 560, 336, 100, 20, -1},
    {vandreth::kSunkenStyle, "EDIT", "\xF0\x9F\x94\xA5", vandreth::kEditStyle, 560, 358, 90, 26, 1011},
    {0, "STATIC", "Accent", vandreth::kLabelStyle, 670, 336, 100, 20, -1},
    {vandreth::kSunkenStyle, "EDIT", "#ff8f1f", vandreth::kEditStyle, 670, 358, 150, 26, 1012},
    {0, "STATIC", "Tags", vandreth::kLabelStyle, 840, 336, 140, 20, -1},
    {vandreth::kSunkenStyle, "EDIT", "", vandreth::kEditStyle, 840, 358, 190, 26, 1013},
    {0, "STATIC", "Core", vandreth::kLabelStyle, 560, 394, 100, 20, -1},
    {0, "COMBOBOX", "", vandreth::kDropDownListStyle, 560, 416, 220, 300, 1014},
    {0, "STATIC", "Preset", vandreth::kLabelStyle, 810, 394, 100, 20, -1},
    {0, "COMBOBOX", "", vandreth::kDropDownListStyle, 810, 416, 220, 200, 1015},
    {0, "BUTTON", "Show this RERI in the public recent list", vandreth::kCheckBoxStyle, 560, 462, 470, 24, 1016},
    {0, "BUTTON", "Start this RERI in maintenance mode", vandreth::kCheckBoxStyle, 560, 492, 470, 24, 1017},
    {0, "BUTTON", "Create RERI", vandreth::kPushButtonStyle, 560, 536, 220, 34, 1018},
};

// The controls in the client's font; the status line's handle.
HWND createClientControls(HWND window, HINSTANCE instance)
{
    HFONT font = CreateFontA(-18, 0, 0, 0, FW_MEDIUM, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Segoe UI");
    HWND statusLine = nullptr;
    for (const ControlRow& row : kControls) {
        HWND control = CreateWindowExA(row.exStyle, row.className, row.text, row.style, row.x, row.y, row.width,
                                       row.height, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)),
                                       instance, nullptr);
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
        if (row.id == kStatusLineId) {
            statusLine = control;
        }
    }
    return statusLine;
}
#endif

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
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

    HWND window = CreateWindowExA(0, kFloorClass, "Starting...", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 1080,
                                  760, nullptr, nullptr, instance, nullptr);
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
    SetWindowTextA(readyWindow, "Ready");

    MSG message{};
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
