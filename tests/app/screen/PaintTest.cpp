// What the main window shows: the check boxes' whole texts.

#include "FlowFixture.h"
#include "ScreenSupport.h"

namespace vandreth::test {
namespace {

// Where a check box's text may begin: after the check mark and a gap of about one character.
int checkMarkSpace(int averageCharWidth)
{
    return GetSystemMetrics(SM_CXMENUCHECK) + averageCharWidth;
}

using Paint = FlowTest;

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

}  // namespace
}  // namespace vandreth::test
