#include "VandrethWinApp.h"

#include "AnswerReaders.h"
#include "ControlStyles.h"
#include "CreateForm.h"
#include "WindowIds.h"
#include "WindowText.h"

namespace vandreth {

namespace {

constexpr const char* kNoCores = "No cores available";

void setChecked(HWND checkBox, bool checked)
{
    SendMessageA(checkBox, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void addComboEntry(HWND combo, const std::string& text)
{
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

// The brush of the window's own background (its class brush): a system colour brush, owned by
// the system, never deleted.
LRESULT windowBackground()
{
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
}

}  // namespace

void VandrethWinApp::createUi()
{
    font = GdiFont(CreateFontA(-18, 0, 0, 0, FW_MEDIUM, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "Segoe UI"));

    // Left: origin and link code. Right: the linked account. Below the status line: the project
    // list on the left, the create form on the right.
    createControl(0, "STATIC", "Vandreth URL", kLabelStyle, 20, 18, 150, 20, kNoId);
    originEdit = createControl(kSunkenStyle, "EDIT", storedOrigin.c_str(), kEditStyle, 20, 40, 430, 26, kOriginEdit);
    createControl(0, "STATIC", "Link Code", kLabelStyle, 20, 76, 150, 20, kNoId);
    linkCodeEdit = createControl(kSunkenStyle, "EDIT", "", kReadOnlyEditStyle, 20, 98, 430, 26, kLinkCodeEdit);
    generateButton =
        createControl(0, "BUTTON", "Generate Link Code", kPushButtonStyle, 20, 136, 205, 30, kGenerateButton);
    pairingButton =
        createControl(0, "BUTTON", "Open Pairing Page", kPushButtonStyle, 245, 136, 205, 30, kPairingButton);
    createControl(0, "STATIC", "Linked Account", kLabelStyle, 490, 18, 180, 20, kNoId);
    accountLine = createControl(0, "STATIC", "Not linked yet", kLabelStyle, 490, 44, 420, 20, kAccountLine);
    planLine = createControl(0, "STATIC", "Plan: -", kLabelStyle, 490, 70, 220, 20, kPlanLine);
    limitLine = createControl(0, "STATIC", "Limit: -", kLabelStyle, 490, 96, 220, 20, kLimitLine);
    refreshButton = createControl(0, "BUTTON", "Refresh", kPushButtonStyle, 490, 136, 120, 30, kRefreshButton);
    unlinkButton = createControl(0, "BUTTON", "Unlink", kPushButtonStyle, 620, 136, 120, 30, kUnlinkButton);
    statusLine = createControl(0, "STATIC", "Starting...", kLabelStyle, 20, 182, 1020, 20, kStatusLine);
    createControl(0, "STATIC", "Your Vandreth Projects", kLabelStyle, 20, 220, 220, 20, kNoId);
    projectList = createControl(kSunkenStyle, "LISTBOX", "", kListStyle, 20, 246, 500, 360, kProjectList);
    openProjectButton =
        createControl(0, "BUTTON", "Open Selected Project", kPushButtonStyle, 20, 620, 220, 30, kOpenProjectButton);
    createControl(0, "STATIC", "RERI Name", kLabelStyle, 560, 220, 140, 20, kNoId);
    nameEdit = createControl(kSunkenStyle, "EDIT", "", kEditStyle, 560, 242, 470, 26, kNameEdit);
    createControl(0, "STATIC", "Description", kLabelStyle, 560, 278, 140, 20, kNoId);
    descriptionEdit = createControl(kSunkenStyle, "EDIT", "", kEditStyle, 560, 300, 470, 26, kDescriptionEdit);
    createControl(0, "STATIC", "Emoji", kLabelStyle, 560, 336, 100, 20, kNoId);
    emojiEdit = createControl(kSunkenStyle, "EDIT", kDefaultEmoji, kEditStyle, 560, 358, 90, 26, kEmojiEdit);
    createControl(0, "STATIC", "Accent", kLabelStyle, 670, 336, 100, 20, kNoId);
    accentEdit = createControl(kSunkenStyle, "EDIT", kDefaultAccent, kEditStyle, 670, 358, 150, 26, kAccentEdit);
    createControl(0, "STATIC", "Tags", kLabelStyle, 840, 336, 140, 20, kNoId);
    tagsEdit = createControl(kSunkenStyle, "EDIT", "", kEditStyle, 840, 358, 190, 26, kTagsEdit);
    createControl(0, "STATIC", "Core", kLabelStyle, 560, 394, 100, 20, kNoId);
    coreCombo = createControl(0, "COMBOBOX", "", kDropDownListStyle, 560, 416, 220, 300, kCoreCombo);
    createControl(0, "STATIC", "Preset", kLabelStyle, 810, 394, 100, 20, kNoId);
    presetCombo = createControl(0, "COMBOBOX", "", kDropDownListStyle, 810, 416, 220, 200, kPresetCombo);
    for (const char* preset : {"balanced", "casual", "hardcore"}) {
        addComboEntry(presetCombo, preset);
    }
    SendMessageA(presetCombo, CB_SETCURSEL, 0, 0);
    // The check boxes reach the form's right edge, so their texts show whole in any face that
    // stands in for Segoe UI.
    publicListingCheck = createControl(0, "BUTTON", "Show this RERI in the public recent list", kCheckBoxStyle, 560,
                                       462, 470, 24, kPublicListingCheck);
    maintenanceCheck = createControl(0, "BUTTON", "Start this RERI in maintenance mode", kCheckBoxStyle, 560, 492, 470,
                                     24, kMaintenanceCheck);
    setChecked(publicListingCheck, true);
    createButton = createControl(0, "BUTTON", "Create RERI", kPushButtonStyle, 560, 536, 220, 34, kCreateButton);

    populateCoreCombo();
    syncBusyState();
    SetTimer(window, kPollTimerId, kPollIntervalMs, nullptr);
}

HWND VandrethWinApp::createControl(DWORD exStyle, const char* className, const char* text, DWORD style, int x, int y,
                                   int width, int height, int id)
{
    HWND control = CreateWindowExA(exStyle, className, text, style, x, y, width, height, window,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), moduleHandle, nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    return control;
}

void VandrethWinApp::populateCoreCombo()
{
    SendMessageA(coreCombo, CB_RESETCONTENT, 0, 0);
    if (cores.empty()) {
        addComboEntry(coreCombo, kNoCores);
    }
    for (const CoreOption& core : cores) {
        addComboEntry(coreCombo, core.label);
    }
    SendMessageA(coreCombo, CB_SETCURSEL, 0, 0);
}

void VandrethWinApp::populateProjectsList()
{
    // Redraw once at the end rather than for every line of a long list.
    SendMessageA(projectList, WM_SETREDRAW, FALSE, 0);
    SendMessageA(projectList, LB_RESETCONTENT, 0, 0);
    for (const ProjectRow& project : projects) {
        const std::string line = projectLine(project);
        SendMessageA(projectList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
    }
    if (!projects.empty()) {
        SendMessageA(projectList, LB_SETCURSEL, 0, 0);
    }
    SendMessageA(projectList, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(projectList, nullptr, TRUE);
    syncBusyState();
}

std::optional<std::int32_t> VandrethWinApp::selectedProjectIndex() const
{
    const LRESULT index = SendMessageA(projectList, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(index);
}

void VandrethWinApp::clearForm()
{
    setWindowTextUtf8(nameEdit, "");
    setWindowTextUtf8(descriptionEdit, "");
    setWindowTextUtf8(tagsEdit, "");
    setWindowTextUtf8(emojiEdit, kDefaultEmoji);
    setWindowTextUtf8(accentEdit, kDefaultAccent);
    setChecked(publicListingCheck, true);
    setChecked(maintenanceCheck, false);
}

LRESULT VandrethWinApp::staticControlColours(HDC dc, HWND control) const
{
    // The read-only link-code box keeps the grey that tells a user it cannot be typed into.
    if (control == linkCodeEdit) {
        return DefWindowProcA(window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                              reinterpret_cast<LPARAM>(control));
    }
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return windowBackground();
}

LRESULT VandrethWinApp::pushButtonBackground()
{
    return windowBackground();
}

void VandrethWinApp::onActivate(WPARAM state)
{
    if (LOWORD(state) == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window, focus)) {
            focusOnActivation = focus;
        }
        return;
    }
    // A minimised window takes no focus, as default processing has it.
    if (HIWORD(state) == 0) {
        SetFocus(focusOnActivation != nullptr ? focusOnActivation : originEdit);
    }
}

}  // namespace vandreth
