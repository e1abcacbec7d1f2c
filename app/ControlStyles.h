#pragma once
// The window styles of the main window's controls.

#include <windows.h>

namespace vandreth {

// Labels show the service's and the user's texts as they are: no '&' becomes an underline.
inline constexpr DWORD kLabelStyle = WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX;
inline constexpr DWORD kEditStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
inline constexpr DWORD kReadOnlyEditStyle = WS_CHILD | WS_VISIBLE | ES_READONLY | ES_AUTOHSCROLL;
inline constexpr DWORD kPushButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;
inline constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY;
inline constexpr DWORD kDropDownListStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | CBS_DROPDOWNLIST;
inline constexpr DWORD kCheckBoxStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
// Edit boxes and the project list are sunken; every other control is flat.
inline constexpr DWORD kSunkenStyle = WS_EX_CLIENTEDGE;

}  // namespace vandreth
