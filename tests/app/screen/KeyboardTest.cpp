// The main window at the keyboard, with keys typed as a user types them: where the focus starts,
// how Tab and Shift+Tab move it, that typed text reaches the boxes, what Enter and Esc do, and
// that the focus comes back when the window is activated again.

#include "CaseName.h"
#include "FlowFixture.h"
#include "ScreenSupport.h"

#include <array>
#include <initializer_list>

namespace vandreth::test {
namespace {

class Keyboard : public FlowTest {
protected:
    // Starts the client, linked with one project or not, and waits until it is in the
    // foreground.
    ::testing::AssertionResult show(bool linked)
    {
        auto started = linked ? startLinked("{}", kOneProjectAnswer) : startClient();
        if (!started) {
            return started;
        }
        if (!bringToForeground(client.window())) {
            return ::testing::AssertionFailure() << "the client's window never came to the foreground";
        }
        return ::testing::AssertionSuccess();
    }

    // The id of the control with the focus; 0 for none (or the main window itself).
    int focusedId() const
    {
        const HWND focus = focusOn(client.window());
        return focus != nullptr && GetParent(focus) == client.window() ? GetDlgCtrlID(focus) : 0;
    }

    ::testing::AssertionResult focusReaches(int id) const
    {
        if (ClientHarness::waitFor([&] { return focusedId() == id; })) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "the focus is on " << focusedId() << ", not on " << id;
    }

    // Presses Tab until the control has the focus; each press has to move it.
    ::testing::AssertionResult tabTo(int id) const
    {
        for (int presses = 0; presses < 40 && focusedId() != id; ++presses) {
            const int before = focusedId();
            pressKey(VK_TAB);
            if (!ClientHarness::waitFor([&] { return focusedId() != before; })) {
                return ::testing::AssertionFailure() << "Tab left the focus on " << before;
            }
        }
        return focusReaches(id);
    }

    // Types `typed` into the focused box and waits until the box shows `expected`: the keys
    // pressed before it have then been handled too.
    ::testing::AssertionResult typedTextArrives(int id, const std::string& typed, const std::string& expected) const
    {
        typeText(typed);
        if (client.waitFor([&] { return client.text(id) == expected; })) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "box " << id << " holds \"" << client.text(id) << '"';
    }
};

TEST_F(Keyboard, FocusStartsInTheUrlBox)
{
    ASSERT_TRUE(show(false));
    EXPECT_TRUE(focusReaches(kOriginEdit));
}

struct TabCase {
    const char* name;
    bool linked;
    // The controls that six Tabs from the URL box reach, in order (disabled buttons are passed).
    std::array<int, 6> forward;
    // Where Shift+Tab from the URL box goes: round to the last enabled tab stop.
    int last;
};

class TabOrder : public Keyboard, public ::testing::WithParamInterface<TabCase> {};

TEST_P(TabOrder, TabAndShiftTabWalkTheTabStopsInCreationOrder)
{
    const TabCase& tabs = GetParam();
    ASSERT_TRUE(show(tabs.linked));
    ASSERT_TRUE(focusReaches(kOriginEdit));

    for (int id : tabs.forward) {
        pressKey(VK_TAB);
        ASSERT_TRUE(focusReaches(id));
    }
    for (auto id = tabs.forward.rbegin() + 1; id != tabs.forward.rend(); ++id) {
        pressKey(VK_TAB, true);
        ASSERT_TRUE(focusReaches(*id));
    }
    pressKey(VK_TAB, true);
    ASSERT_TRUE(focusReaches(kOriginEdit));
    pressKey(VK_TAB, true);
    EXPECT_TRUE(focusReaches(tabs.last));
}

INSTANTIATE_TEST_SUITE_P(
    States, TabOrder,
    ::testing::Values(TabCase{"Unlinked",
                              false,
                              {kGenerateButton, kPairingButton, kProjectList, kNameEdit, kDescriptionEdit, kEmojiEdit},
                              kMaintenanceCheck},
                      TabCase{"LinkedWithAProject",
                              true,
                              {kGenerateButton, kPairingButton, kRefreshButton, kUnlinkButton, kProjectList,
                               kOpenProjectButton},
                              kCreateButton}),
    CaseName());

TEST_F(Keyboard, TypedTextReachesTheBoxThatTabReached)
{
    ASSERT_TRUE(show(false));
    const std::pair<int, std::string> boxes[] = {
        {kNameEdit, "Sky Forge"},
        // Tab selects a box's whole text, so typing replaces it.
        {kAccentEdit, "#00aaff"},
        {kTagsEdit, "pvp, mods"},
    };
    for (const auto& [id, text] : boxes) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(tabTo(id));
        EXPECT_TRUE(typedTextArrives(id, text, text));
    }
}

TEST_F(Keyboard, EnterAndEscInABoxStartNothing)
{
    ASSERT_TRUE(show(true));
    ASSERT_EQ(client.text(kStatusLine), loadedStatus(1));
    ASSERT_TRUE(tabTo(kNameEdit));
    ASSERT_TRUE(typedTextArrives(kNameEdit, "Sky Forge", "Sky Forge"));

    for (int id : {kNameEdit, kOriginEdit}) {
        SCOPED_TRACE(id);
        ASSERT_TRUE(tabTo(id));
        const std::string before = client.text(id);
        pressKey(VK_END);
        pressKey(VK_RETURN);
        pressKey(VK_ESCAPE);
        ASSERT_TRUE(typedTextArrives(id, "!", before + "!"));
        client.setText(id, before);
        // A command would have said so at once, and a create or refresh in flight would have
        // disabled its button.
        EXPECT_EQ(client.text(kStatusLine), loadedStatus(1));
        EXPECT_TRUE(client.enabled(kCreateButton));
        EXPECT_TRUE(client.enabled(kRefreshButton));
        EXPECT_TRUE(IsWindowVisible(client.window()));
    }

    // A request that does go out, after the keys, finds only the start's two before it.
    server.replyOnce("GET", kInstancesPath, ScriptedReply::json(200, kOneProjectAnswer));
    client.click(kRefreshButton);
    ASSERT_TRUE(waitForRequestsTo(kInstancesPath, 2));
    ASSERT_TRUE(client.waitForStatus(loadedStatus(1))) << client.text(kStatusLine);
    std::vector<std::string> paths;
    for (const RecordedRequest& request : server.requests()) {
        paths.push_back(request.path);
    }
    EXPECT_EQ(paths, (std::vector<std::string>{kMePath, kInstancesPath, kInstancesPath}));
}

TEST_F(Keyboard, EnterOrSpaceOnAFocusedButtonClicksItAndTheKeyboardStaysWithTheWindow)
{
    ASSERT_TRUE(show(true));
    std::size_t refreshes = requestCount(kInstancesPath);
    for (const WORD key : std::initializer_list<WORD>{VK_RETURN, VK_SPACE}) {
        SCOPED_TRACE(key);
        ASSERT_TRUE(tabTo(kRefreshButton));
        server.replyOnce("GET", kInstancesPath, ScriptedReply::json(200, kOneProjectAnswer));
        pressKey(key);
        ASSERT_TRUE(waitForRequestsTo(kInstancesPath, ++refreshes));
        ASSERT_TRUE(client.waitForStatus(loadedStatus(1))) << client.text(kStatusLine);
        // Refresh lost the focus when it was disabled for its request; the window took it, so
        // Tab starts again from the first control.
        pressKey(VK_TAB);
        ASSERT_TRUE(focusReaches(kOriginEdit));
    }
}

TEST_F(Keyboard, FocusComesBackWhenTheWindowIsActivatedAgain)
{
    ASSERT_TRUE(show(false));
    ASSERT_TRUE(tabTo(kDescriptionEdit));
    {
        const OtherWindow other;
        ASSERT_NE(other.handle(), nullptr);
        ASSERT_TRUE(bringToForeground(other.handle()));
        ASSERT_TRUE(bringToForeground(client.window()));
        EXPECT_TRUE(focusReaches(kDescriptionEdit));
    }
    EXPECT_TRUE(typedTextArrives(kDescriptionEdit, "calm", "calm"));
}

}  // namespace
}  // namespace vandreth::test
