// The main window and its 33 controls: what the client asks the window system to create (seen
// through a CBT hook on the client's thread), what the live windows then are, and the states
// they start in.

#include "ClientHarness.h"
#include "ClientTexts.h"
#include "SpineSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <mutex>
#include <string>
#include <vector>

namespace vandreth::test {
namespace {

// One CreateWindowExA call on the client's thread, as the CBT hook saw its arguments.
struct Creation {
    HWND handle = nullptr;
    HWND parent = nullptr;
    std::string className;
    std::string text;
    DWORD style = 0;
    DWORD exStyle = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    LONG_PTR menu = 0;
};

std::mutex creationsMutex;
std::vector<Creation> creations;

LRESULT CALLBACK recordCreation(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HCBT_CREATEWND) {
        const CREATESTRUCTA& args = *reinterpret_cast<CBT_CREATEWNDA*>(lParam)->lpcs;
        Creation creation;
        creation.handle = reinterpret_cast<HWND>(wParam);
        creation.parent = args.hwndParent;
        if (!IS_INTRESOURCE(args.lpszClass)) {
            creation.className = args.lpszClass;
        }
        if (args.lpszName != nullptr) {
            creation.text = args.lpszName;
        }
        creation.style = static_cast<DWORD>(args.style);
        creation.exStyle = args.dwExStyle;
        creation.x = args.x;
        creation.y = args.y;
        creation.width = args.cx;
        creation.height = args.cy;
        creation.menu = reinterpret_cast<LONG_PTR>(args.hMenu);
        const std::lock_guard lock(creationsMutex);
        creations.push_back(creation);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The client, started with the CBT hook on its thread (the hook ends with the thread).
class MainWindow : public testing::Test {
protected:
    void SetUp() override
    {
        appData.writeState(unlinkedStateFile("https://lab.vandreth.test/base"));
        {
            const std::lock_guard lock(creationsMutex);
            creations.clear();
        }
        ASSERT_TRUE(client.start([] { SetWindowsHookExA(WH_CBT, &recordCreation, nullptr, GetCurrentThreadId()); }));
    }

    std::vector<Creation> recorded() const
    {
        const std::lock_guard lock(creationsMutex);
        return creations;
    }

    std::vector<Creation> recordedControls() const
    {
        std::vector<Creation> controls;
        for (const Creation& creation : recorded()) {
            if (creation.parent == client.window()) {
                controls.push_back(creation);
            }
        }
        return controls;
    }

    ScopedAppData appData;
    ClientHarness client;
};

BOOL CALLBACK collectChild(HWND child, LPARAM children)
{
    reinterpret_cast<std::vector<HWND>*>(children)->push_back(child);
    return TRUE;
}

bool sameClassName(const std::string& live, const std::string& created)
{
    return live.size() == created.size() && std::equal(live.begin(), live.end(), created.begin(), [](char a, char b) {
               return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
           });
}

// The class as the client named it. The controls come from the common controls version 6, and
// the hook may be handed the name of that version's class instead ("6.0.2600.2982!Static").
std::string requestedClassName(const std::string& created)
{
    const std::size_t versionEnd = created.find('!');
    return versionEnd == std::string::npos ? created : created.substr(versionEnd + 1);
}

struct ControlRow {
    const char* className;
    std::string text;
    DWORD style;
    DWORD exStyle;
    int x;
    int y;
    int width;
    int height;
    int id;
};

// Labels carry SS_NOPREFIX (0x80): the texts they show keep their '&'.
constexpr DWORD kLabel = 0x50000080;
constexpr DWORD kEdit = 0x50010080;
constexpr DWORD kReadOnlyEdit = 0x50000880;
constexpr DWORD kPushButton = 0x50010000;
constexpr DWORD kList = 0x50210001;
constexpr DWORD kDropDownList = 0x50010003;
constexpr DWORD kCheckBox = 0x50010003;
constexpr DWORD kClientEdge = 0x200;

const std::vector<ControlRow> kControlTable = {
    {"STATIC", "Vandreth URL", kLabel, 0, 20, 18, 150, 20, -1},
    {"EDIT", "https://lab.vandreth.test/base", kEdit, kClientEdge, 20, 40, 430, 26, 1001},
    {"STATIC", "Link Code", kLabel, 0, 20, 76, 150, 20, -1},
    {"EDIT", "", kReadOnlyEdit, kClientEdge, 20, 98, 430, 26, 1002},
    {"BUTTON", "Generate Link Code", kPushButton, 0, 20, 136, 205, 30, 1003},
    {"BUTTON", "Open Pairing Page", kPushButton, 0, 245, 136, 205, 30, 1004},
    {"STATIC", "Linked Account", kLabel, 0, 490, 18, 180, 20, -1},
    {"STATIC", "Not linked yet", kLabel, 0, 490, 44, 420, 20, 1020},
    {"STATIC", "Plan: -", kLabel, 0, 490, 70, 220, 20, 1021},
    {"STATIC", "Limit: -", kLabel, 0, 490, 96, 220, 20, 1022},
    {"BUTTON", "Refresh", kPushButton, 0, 490, 136, 120, 30, 1005},
    {"BUTTON", "Unlink", kPushButton, 0, 620, 136, 120, 30, 1006},
    {"STATIC", "Starting...", kLabel, 0, 20, 182, 1020, 20, 1019},
    {"STATIC", "Your Vandreth Projects", kLabel, 0, 20, 220, 220, 20, -1},
    {"LISTBOX", "", kList, kClientEdge, 20, 246, 500, 360, 1007},
    {"BUTTON", "Open Selected Project", kPushButton, 0, 20, 620, 220, 30, 1008},
    {"STATIC", "RERI Name", kLabel, 0, 560, 220, 140, 20, -1},
    {"EDIT", "", kEdit, kClientEdge, 560, 242, 470, 26, 1009},
    {"STATIC", "Description", kLabel, 0, 560, 278, 140, 20, -1},
    {"EDIT", "", kEdit, kClientEdge, 560, 300, 470, 26, 1010},
    {"STATIC", "Emoji", kLabel, 0, 560, 336, 100, 20, -1},
    {"EDIT", "\xF0\x9F\x94\xA5", kEdit, kClientEdge, 560, 358, 90, 26, 1011},
    {"STATIC", "Accent", kLabel, 0, 670, 336, 100, 20, -1},
    {"EDIT", "#ff8f1f", kEdit, kClientEdge, 670, 358, 150, 26, 1012},
    {"STATIC", "Tags", kLabel, 0, 840, 336, 140, 20, -1},
    {"EDIT", "", kEdit, kClientEdge, 840, 358, 190, 26, 1013},
    {"STATIC", "Core", kLabel, 0, 560, 394, 100, 20, -1},
    {"COMBOBOX", "", kDropDownList, 0, 560, 416, 220, 300, 1014},
    {"STATIC", "Preset", kLabel, 0, 810, 394, 100, 20, -1},
    {"COMBOBOX", "", kDropDownList, 0, 810, 416, 220, 200, 1015},
    {"BUTTON", "Show this RERI in the public recent list", kCheckBox, 0, 560, 462, 470, 24, 1016},
    {"BUTTON", "Start this RERI in maintenance mode", kCheckBox, 0, 560, 492, 470, 24, 1017},
    {"BUTTON", "Create RERI", kPushButton, 0, 560, 536, 220, 34, 1018},
};

TEST_F(MainWindow, CreatesTheControlsOfTheTableInOrder)
{
    const std::vector<Creation> controls = recordedControls();
    std::vector<HWND> children;
    EnumChildWindows(client.window(), collectChild, reinterpret_cast<LPARAM>(&children));
    ASSERT_EQ(controls.size(), kControlTable.size());
    ASSERT_EQ(children.size(), kControlTable.size());

    const HFONT font = reinterpret_cast<HFONT>(SendMessageA(children[0], WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    for (std::size_t i = 0; i < kControlTable.size(); ++i) {
        const ControlRow& row = kControlTable[i];
        const Creation& created = controls[i];
        SCOPED_TRACE(testing::Message() << "control " << i + 1 << " (" << row.className << " \"" << row.text << "\")");

        EXPECT_TRUE(sameClassName(requestedClassName(created.className), row.className)) << created.className;
        EXPECT_EQ(created.text, row.text);
        EXPECT_EQ(created.style, row.style) << std::hex << created.style;
        EXPECT_EQ(created.exStyle, row.exStyle) << std::hex << created.exStyle;
        EXPECT_EQ(created.x, row.x);
        EXPECT_EQ(created.y, row.y);
        EXPECT_EQ(created.width, row.width);
        EXPECT_EQ(created.height, row.height);
        // The id goes in as the menu argument, widened with its sign: -1 has all bits set.
        EXPECT_EQ(created.menu, static_cast<LONG_PTR>(row.id));

        // The live control: same order among the window's children, same id, class and place.
        HWND child = children[i];
        EXPECT_EQ(child, created.handle);
        EXPECT_EQ(GetWindowLongPtrA(child, GWLP_ID), static_cast<LONG_PTR>(row.id));
        char className[32] = {};
        GetClassNameA(child, className, sizeof(className));
        EXPECT_TRUE(sameClassName(className, row.className)) << className;
        EXPECT_EQ(static_cast<DWORD>(GetWindowLongA(child, GWL_EXSTYLE)), row.exStyle);
        RECT place{};
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, client.window(), reinterpret_cast<POINT*>(&place), 2);
        EXPECT_EQ(place.left, row.x);
        EXPECT_EQ(place.top, row.y);
        EXPECT_EQ(place.right - place.left, row.width);
        // A list box rounds its height to whole lines; a drop-down list's height is that of
        // its open list.
        if (std::string(row.className) != "LISTBOX" && std::string(row.className) != "COMBOBOX") {
            EXPECT_EQ(place.bottom - place.top, row.height);
        }
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageA(child, WM_GETFONT, 0, 0)), font);
    }
}

TEST_F(MainWindow, GivesEveryControlOneMediumSegoeUiFont)
{
    const HFONT font = reinterpret_cast<HFONT>(SendMessageA(client.control(kStatusLine), WM_GETFONT, 0, 0));
    LOGFONTA face{};
    ASSERT_EQ(GetObjectA(font, sizeof(face), &face), static_cast<int>(sizeof(face)));
    EXPECT_STREQ(face.lfFaceName, "Segoe UI");
    EXPECT_EQ(face.lfHeight, -18);
    EXPECT_EQ(face.lfWidth, 0);
    EXPECT_EQ(face.lfEscapement, 0);
    EXPECT_EQ(face.lfOrientation, 0);
    EXPECT_EQ(face.lfWeight, 500);
    EXPECT_EQ(face.lfItalic, 0);
    EXPECT_EQ(face.lfUnderline, 0);
    EXPECT_EQ(face.lfStrikeOut, 0);
    EXPECT_EQ(face.lfCharSet, 0);
    EXPECT_EQ(face.lfOutPrecision, 0);
    EXPECT_EQ(face.lfClipPrecision, 0);
    EXPECT_EQ(face.lfQuality, 5);
    EXPECT_EQ(face.lfPitchAndFamily, 0);
    // The main window itself is never given the font.
    EXPECT_EQ(SendMessageA(client.window(), WM_GETFONT, 0, 0), 0);

    EXPECT_EQ(client.close(), 0);
    // Deleted when the window was destroyed.
    EXPECT_EQ(GetObjectType(font), 0u);
}

TEST_F(MainWindow, IsAnOverlappedWindowWithoutMaximiseBox)
{
    const std::vector<Creation> all = recorded();
    const auto main =
        std::find_if(all.begin(), all.end(), [&](const Creation& c) { return c.handle == client.window(); });
    ASSERT_NE(main, all.end());
    EXPECT_EQ(main->className, "VandrethClientWindow");
    EXPECT_EQ(main->text, "Vandreth Client");
    EXPECT_EQ(main->style, 0x00CE0000u) << std::hex << main->style;
    // The system adds WS_EX_WINDOWEDGE to every window with a caption before the hook sees it.
    EXPECT_EQ(main->exStyle & ~static_cast<DWORD>(WS_EX_WINDOWEDGE), 0u);
    EXPECT_EQ(main->parent, nullptr);
    EXPECT_EQ(main->menu, 0);
    EXPECT_EQ(main->width, 1080);
    EXPECT_EQ(main->height, 760);

    char title[64] = {};
    GetWindowTextA(client.window(), title, sizeof(title));
    EXPECT_STREQ(title, "Vandreth Client");
    const auto style = static_cast<DWORD>(GetWindowLongA(client.window(), GWL_STYLE));
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX),
              static_cast<DWORD>(WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX));
    EXPECT_TRUE(IsWindowVisible(client.window()));
    RECT frame{};
    GetWindowRect(client.window(), &frame);
    EXPECT_EQ(frame.right - frame.left, 1080);
    EXPECT_EQ(frame.bottom - frame.top, 760);

    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    ASSERT_TRUE(GetClassInfoExA(GetModuleHandleA(nullptr), "VandrethClientWindow", &windowClass));
    EXPECT_EQ(windowClass.style, 0u);
    EXPECT_EQ(windowClass.cbClsExtra, 0);
    EXPECT_EQ(windowClass.cbWndExtra, 0);
    EXPECT_EQ(windowClass.hIcon, nullptr);
    EXPECT_EQ(windowClass.hIconSm, nullptr);
    EXPECT_EQ(windowClass.hCursor, LoadCursorW(nullptr, MAKEINTRESOURCEW(32512)));
    EXPECT_EQ(windowClass.hbrBackground, reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1)));
    EXPECT_EQ(windowClass.lpszMenuName, nullptr);
}

TEST_F(MainWindow, StartsWithEmptyListsAndTheFormDefaults)
{
    EXPECT_EQ(client.text(kOriginEdit), "https://lab.vandreth.test/base");
    EXPECT_EQ(client.text(kLinkCodeEdit), "");
    EXPECT_EQ(client.text(kAccountLine), kNotLinkedYet);
    EXPECT_EQ(client.text(kPlanLine), kNoPlan);
    EXPECT_EQ(client.text(kLimitLine), kNoLimit);

    EXPECT_TRUE(client.listLines().empty());
    EXPECT_EQ(client.listSelection(), LB_ERR);
    EXPECT_EQ(client.comboEntries(kCoreCombo), std::vector<std::string>{kNoCores});
    EXPECT_EQ(client.comboSelection(kCoreCombo), 0);
    EXPECT_EQ(client.comboEntries(kPresetCombo), (std::vector<std::string>{"balanced", "casual", "hardcore"}));
    EXPECT_EQ(client.comboSelection(kPresetCombo), 0);

    EXPECT_EQ(client.text(kNameEdit), "");
    EXPECT_EQ(client.text(kDescriptionEdit), "");
    EXPECT_EQ(client.text(kTagsEdit), "");
    EXPECT_EQ(client.text(kAccentEdit), "#ff8f1f");
    EXPECT_TRUE(client.checked(kPublicListingCheck));
    EXPECT_FALSE(client.checked(kMaintenanceCheck));
}

TEST_F(MainWindow, EmojiBoxHoldsTheFireEmojiAsUtf16)
{
    // The UTF-8 code page makes the 8-bit window functions carry UTF-8: the box's UTF-16 text
    // is the one character U+1F525, a surrogate pair. Under the legacy code page its four
    // bytes would become four characters.
    EXPECT_EQ(GetACP(), 65001u);
    wchar_t text[8] = {};
    ASSERT_EQ(GetWindowTextW(client.control(kEmojiEdit), text, 8), 2);
    EXPECT_EQ(text[0], 0xD83D);
    EXPECT_EQ(text[1], 0xDD25);
    EXPECT_EQ(client.text(kEmojiEdit), "\xF0\x9F\x94\xA5");
}

}  // namespace
}  // namespace vandreth::test
