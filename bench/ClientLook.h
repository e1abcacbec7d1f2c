#pragma once
// The client's main window as the benchmark's imitations of it make it (the floor window and its
// measuring sticks, the list box that replays the client's refill, the client started in the
// benchmark's own code): the first step of its WinMain, its size, its font and its 33 controls
// with their classes, texts, styles, places and ids, in the client's order of creation.

#include "ControlStyles.h"
#include "WindowIds.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <iterator>

namespace vandreth::bench {

// What the client's WinMain does before anything else.
inline void initCommonControlsAsTheClient()
{
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);
}

inline constexpr int kClientWidth = 1080;
inline constexpr int kClientHeight = 760;

// The caller deletes it.
inline HFONT createClientFont()
{
    return CreateFontA(-18, 0, 0, 0, FW_MEDIUM, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Segoe UI");
}

struct ControlRow {
    DWORD exStyle;
    const char* className;
    const char* text;
    DWORD style;
    int x, y, width, height, id;
};

inline constexpr ControlRow kClientControls[] = {
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

// The row of the control with this id; one that is not in the table does not compile where the
// call is evaluated at compile time.
constexpr const ControlRow& clientControl(ControlId id)
{
    return *std::find_if(std::begin(kClientControls), std::end(kClientControls),
                         [id](const ControlRow& row) { return row.id == id; });
}

}  // namespace vandreth::bench
