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
#include "WindowIds.h"
#endif

namespace vandreth::bench {

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

// The client's main window, control by control.
constexpr ControlRow kControls[] = {
    {0, "STATIC", "Vandreth URL", kLabelStyle, 20, 18, 150, 20, kNoId},
    {kSunkenStyle, "EDIT", "https://vandreth.example", kEditStyle, 20, 40, 430, 26, kOriginEdit},
    {0, "STATIC", "Link Code", kLabelStyle, 20, 76, 150, 20, kNoId},
    {kSunkenStyle, "EDIT", "", kReadOnlyEditStyle, 20, 98, 430, 26, kLinkCodeEdit},
    {0, "BUTTON", "Generate Link Code", kPushButtonStyle, 20, 136, 205, 30, kGenerateButton},
    {0, "BUTTON", "Open Pairing Page", kPushButtonStyle, 245, 136, 205, 30, kPairingButton},
    {0, "STATIC", "Linked Account", kLabelStyle, 490, 18, 180, 20, kNoId},
    {0, "STATIC", "Not linked yet", kLabelStyle, 490, 44, 420, 20, kAccountLine},
    {0, "STATIC", "Plan: -", kLabelStyle, 490, 70, 220, 20, kPlanLine},
    {0, "STATIC", "Limit: -", kLabelStyle, 490, 96, 220, 20, kLimitLine},
    {0, "BUTTON", "Refresh", kPushButtonStyle, 490, 136, 120, 30, kRefreshButton},
    {0, "BUTTON", "Unlink", kPushButtonStyle, 620, 136, 120, 30, kUnlinkButton},
    {0, "STATIC", "Starting...", kLabelStyle, 20, 182, 1020, 20, kStatusLine},
    {0, "STATIC", "Your Vandreth Projects", kLabelStyle, 20, 220, 220, 20, kNoId},
    {kSunkenStyle, "LISTBOX", "", kListStyle, 20, 246, 500, 360, kProjectList},
    {0, "BUTTON", "Open Selected Project", kPushButtonStyle, 20, 620, 220, 30, kOpenProjectButton},
    {0, "STATIC", "RERI Name", kLabelStyle, 560, 220, 140, 20, kNoId},
    {kSunkenStyle, "EDIT", "", kEditStyle, 560, 242, 470, 26, kNameEdit},
    {0, "STATIC", "Description", kLabelStyle, 560, 278, 140, 20, kNoId},
    {kSunkenStyle, "EDIT", "", kEditStyle, 560, 300, 470, 26, kDescriptionEdit},
    {0, "STATIC", "Emoji", kLabelStyle, 560, 336, 100, 20, kNoId},
    {kSunkenStyle, "EDIT", "\xF0\x9F\x94\xA5", kEditStyle, 560, 358, 90, 26, kEmojiEdit},
    {0, "STATIC", "Accent", kLabelStyle, 670, 336, 100, 20, kNoId},
    {kSunkenStyle, "EDIT", "#ff8f1f", kEditStyle, 670, 358, 150, 26, kAccentEdit},
    {0, "STATIC", "Tags", kLabelStyle, 840, 336, 140, 20, kNoId},
    {kSunkenStyle, "EDIT", "", kEditStyle, 840, 358, 190, 26, kTagsEdit},
    {0, "STATIC", "Core", kLabelStyle, 560, 394, 100, 20, kNoId},
    {0, "COMBOBOX", "", kDropDownListStyle, 560, 416, 220, 300, kCoreCombo},
    {0, "STATIC", "Preset", kLabelStyle, 810, 394, 100, 20, kNoId},
    {0, "COMBOBOX", "", kDropDownListStyle, 810, 416, 220, 200, kPresetCombo},
    {0, "BUTTON", "Show this RERI in the public recent list", kCheckBoxStyle, 560, 462, 470, 24, kPublicListingCheck},
    {0, "BUTTON", "Start this RERI in maintenance mode", kCheckBoxStyle, 560, 492, 470, 24, kMaintenanceCheck},
    {0, "BUTTON", "Create RERI", kPushButtonStyle, 560, 536, 220, 34, kCreateButton},
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

}  // namespace vandreth::bench

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    return vandreth::bench::runFloorWindow(instance, showCommand);
}
