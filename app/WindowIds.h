#pragma once
// The names by which the main window and its parts are found: its class, the ids of its
// controls, the message that brings a finished task and the link-poll timer. The client, its
// tests, the benchmark and the end-to-end driver all take them from here.

#include <windows.h>

namespace vandreth {

inline constexpr const char* kWindowClass = "VandrethClientWindow";

// The controls' ids, in creation order. Labels whose text never changes have none (kNoId).
enum ControlId : int {
    kNoId = -1,
    kOriginEdit = 1001,
    kLinkCodeEdit = 1002,
    kGenerateButton = 1003,
    kPairingButton = 1004,
    kRefreshButton = 1005,
    kUnlinkButton = 1006,
    kProjectList = 1007,
    kOpenProjectButton = 1008,
    kNameEdit = 1009,
    kDescriptionEdit = 1010,
    kEmojiEdit = 1011,
    kAccentEdit = 1012,
    kTagsEdit = 1013,
    kCoreCombo = 1014,
    kPresetCombo = 1015,
    kPublicListingCheck = 1016,
    kMaintenanceCheck = 1017,
    kCreateButton = 1018,
    kStatusLine = 1019,
    kAccountLine = 1020,
    kPlanLine = 1021,
    kLimitLine = 1022,
};

// Posted by a worker to the main window; wParam is 0 and lParam the TaskResult.
inline constexpr UINT kAsyncMessage = WM_APP + 1;
// The main window's link-poll timer.
inline constexpr UINT_PTR kPollTimerId = 41;

}  // namespace vandreth
