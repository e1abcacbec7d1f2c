// What the main window shows, read from its pixels: labels, check boxes and the corners of the
// themed push buttons on the window's own background, the check boxes' whole texts, and the
// service's texts drawn as they are.

#include "FlowFixture.h"
#include "ScreenSupport.h"

#include <vsstyle.h>

namespace vandreth::test {
namespace {

// How a label lays out its text: SS_LEFT, as the window system draws it.
constexpr UINT kLabelFormat = DT_LEFT | DT_EXPANDTABS | DT_WORDBREAK;

enum class Background { Window, ReadOnlyBox };

struct BackgroundRow {
    const char* what;
    int id;                 // 0 for a label without an id of its own, found by its text
    const char* labelText;  // that text
    bool checkBox;          // the text begins after the check mark
    Background background;
};

const BackgroundRow kBackgrounds[] = {
    {"URL label", 0, "Vandreth URL", false, Background::Window},
    {"form label", 0, "RERI Name", false, Background::Window},
    {"account line", kAccountLine, nullptr, false, Background::Window},
    {"status line", kStatusLine, nullptr, false, Background::Window},
    {"public-listing box", kPublicListingCheck, nullptr, true, Background::Window},
    {"maintenance box", kMaintenanceCheck, nullptr, true, Background::Window},
    {"read-only link-code box", kLinkCodeEdit, nullptr, false, Background::ReadOnlyBox},
};

// Where a check box's text may begin: after the check mark and a gap of about one character.
int checkMarkSpace(int averageCharWidth)
{
    return GetSystemMetrics(SM_CXMENUCHECK) + averageCharWidth;
}

class Paint : public FlowTest {
protected:
    ::testing::AssertionResult showUnlinked()
    {
        if (auto started = startClient(); !started) {
            return started;
        }
        return bringToForeground(client.window()) ? ::testing::AssertionSuccess()
                                                  : ::testing::AssertionFailure() << "never in the foreground";
    }

    HWND find(const BackgroundRow& row) const
    {
        return row.id != 0 ? client.control(row.id) : FindWindowExA(client.window(), nullptr, "STATIC", row.labelText);
    }
};

TEST_F(Paint, LabelsAndCheckBoxesLieOnTheWindowsBackgroundAndTheReadOnlyBoxStaysGrey)
{
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const COLORREF readOnlyGrey = GetSysColor(COLOR_3DFACE);
    ASSERT_NE(window, readOnlyGrey);
    ASSERT_TRUE(showUnlinked());

    for (const BackgroundRow& row : kBackgrounds) {
        SCOPED_TRACE(row.what);
        const HWND control = find(row);
        ASSERT_NE(control, nullptr);
        const COLORREF expected = row.background == Background::Window ? window : readOnlyGrey;

        int averageWidth = 0;
        const SIZE text = textExtent(controlFont(control), windowTextOf(control), &averageWidth);
        const int textEnd = (row.checkBox ? checkMarkSpace(averageWidth) : 0) + text.cx + averageWidth;
        const Pixels pixels = paintedPixels(control);
        ASSERT_LT(textEnd, pixels.width());
        // Beside the text, nothing but the background; among the letters, mostly the background.
        EXPECT_EQ(pixels.coloursRightOf(textEnd), std::set<COLORREF>{expected});
        EXPECT_EQ(pixels.commonest(), expected);
    }
}

TEST_F(Paint, PushButtonsRoundedCornersShowTheWindowsBackground)
{
    ASSERT_TRUE(showUnlinked());
    // No button under the mouse, so that none is drawn hot.
    SetCursorPos(0, 0);
    const HWND generate = client.control(kGenerateButton);
    const HTHEME theme = GetWindowTheme(generate);
    ASSERT_NE(theme, nullptr) << "the buttons are not themed";

    // Unlinked: nothing focuses or hovers Generate Link Code, and Refresh is disabled.
    const std::pair<int, int> buttons[] = {{kGenerateButton, PBS_NORMAL}, {kRefreshButton, PBS_DISABLED}};
    for (const auto& [id, state] : buttons) {
        SCOPED_TRACE(id);
        const Pixels shown = printedPixels(client.control(id));
        const Pixels onWindow = drawnThemePart(theme, BP_PUSHBUTTON, state, shown.width(), shown.height());
        // The outline and what lies outside its rounded corners; the text lies further in.
        EXPECT_EQ(shown.edgeDifferencesFrom(onWindow, 3), 0u);
    }
}

TEST_F(Paint, CheckBoxTextsFitBesideTheirCheckMarks)
{
    ASSERT_TRUE(startClient());
    for (int id : {kPublicListingCheck, kMaintenanceCheck}) {
        const HWND box = client.control(id);
        SCOPED_TRACE(windowTextOf(box));
        int averageWidth = 0;
        const SIZE text = textExtent(controlFont(box), windowTextOf(box), &averageWidth);
        RECT area{};
        GetClientRect(box, &area);
        EXPECT_LE(checkMarkSpace(averageWidth) + text.cx, area.right);
    }
}

TEST_F(Paint, ServiceTextsShowTheirAmpersands)
{
    ASSERT_TRUE(startLinked(R"({"user":{"display_name":"R&D Team","plan_name":"Pro & Teams",)"
                            R"("reri_limit_label":"3 && more"}})",
                            R"({"instances":[]})"));
    server.replyOnce("GET", kInstancesPath, ScriptedReply::json(503, R"({"message":"Q&A: projects rest today."})"));
    client.click(kRefreshButton);
    ASSERT_TRUE(client.waitForStatus("Q&A: projects rest today.")) << client.text(kStatusLine);

    const std::pair<int, std::string> lines[] = {
        {kAccountLine, "Signed in as R&D Team"},
        {kPlanLine, "Plan: Pro & Teams"},
        {kLimitLine, "Limit: 3 && more"},
        {kStatusLine, "Q&A: projects rest today."},
    };
    for (const auto& [id, text] : lines) {
        SCOPED_TRACE(text);
        const HWND label = client.control(id);
        EXPECT_EQ(client.text(id), text);
        const Pixels shown = printedPixels(label);
        const HFONT font = controlFont(label);
        const Pixels asIs = drawnText(font, text, shown.width(), shown.height(), kLabelFormat | DT_NOPREFIX);
        const Pixels prefixed = drawnText(font, text, shown.width(), shown.height(), kLabelFormat);
        // The two drawings differ, so the comparison below can tell them apart.
        ASSERT_GT(prefixed.differencesFrom(asIs), 0u);
        EXPECT_EQ(shown.differencesFrom(asIs), 0u);
    }
}

}  // namespace
}  // namespace vandreth::test
