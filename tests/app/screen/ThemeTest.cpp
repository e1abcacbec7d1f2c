// The controls of the client's window as users get them: the test program carries the client's
// manifest, which asks for the common controls version 6, and the Wine prefix of the tests has
// the visual style on, as Windows 10 and 11 have theirs.

#include "FlowFixture.h"

#include <windows.h>

#include <commctrl.h>
#include <uxtheme.h>

#include <string>
#include <vector>

namespace vandreth::test {
namespace {

// The main window's controls other than its labels, which no visual style draws.
std::vector<HWND> controlsButLabels(HWND window)
{
    std::vector<HWND> controls;
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        char className[32] = {};
        GetClassNameA(child, className, sizeof(className));
        if (lstrcmpiA(className, "Static") != 0) {
            controls.push_back(child);
        }
    }
    return controls;
}

class Theme : public FlowTest {};

TEST_F(Theme, EveryControlButTheLabelsIsDrawnInTheVisualStyle)
{
    ASSERT_TRUE(startClient());
    const std::vector<HWND> controls = controlsButLabels(client.window());
    // The boxes, buttons, check boxes, the list and the drop-down lists.
    ASSERT_EQ(controls.size(), 18u);
    for (HWND control : controls) {
        SCOPED_TRACE(GetDlgCtrlID(control));
        EXPECT_NE(GetWindowTheme(control), nullptr);
    }
}

TEST_F(Theme, ButtonsAndCheckBoxesAreThoseOfTheCommonControlsVersionSix)
{
    ASSERT_TRUE(startClient());
    // Only version 6 buttons tell their ideal size, with a visual style or without one.
    for (int id : {kGenerateButton, kPairingButton, kRefreshButton, kUnlinkButton, kOpenProjectButton,
                   kPublicListingCheck, kMaintenanceCheck, kCreateButton}) {
        SCOPED_TRACE(id);
        SIZE ideal{};
        EXPECT_TRUE(SendMessageW(client.control(id), BCM_GETIDEALSIZE, 0, reinterpret_cast<LPARAM>(&ideal)));
        EXPECT_GT(ideal.cx, 0);
    }
}

}  // namespace
}  // namespace vandreth::test
