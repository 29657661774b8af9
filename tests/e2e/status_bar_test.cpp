// Status bar: the ten parts and their edges, the credit and labels, and the docking after a resize.
#include "tessel_session.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <vector>

namespace {
const std::vector<int> PartEdges = {300, 355, 390, 460, 505, 570, 615, 685, 780, -1};
const char* const PartTexts[10] = {"Tessel team - version 1.0", "Set count:", "", "Game count:", "",
                                   "Energy left:", "", "Elapsed time:", "", ""};

class StatusBar : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tessel.Start()); }

    // Along the bottom of the client area, as wide as it.
    void ExpectDocked(const char* when)
    {
        Rect client = ClientRect(tessel.Main()), bar = ChildRect(tessel.StatusBar());
        EXPECT_EQ(0, bar.x) << "status bar left " << when;
        EXPECT_EQ(client.width, bar.width) << "status bar width " << when;
        EXPECT_EQ(client.height, bar.y + bar.height) << "status bar bottom " << when;
        EXPECT_GT(bar.height, 0) << "status bar height " << when;
        EXPECT_EQ(PartEdges, tessel.StatusParts()) << "part edges " << when;
    }

    Tessel tessel;
};

TEST_F(StatusBar, TenPartsWithCreditAndLabels)
{
    HWND bar = tessel.StatusBar();
    ASSERT_NE(nullptr, bar) << "no control 200";
    EXPECT_EQ(10, Send(bar, SB_GETPARTS, 0, 0)) << "part count";
    EXPECT_EQ(PartEdges, tessel.StatusParts()) << "right edges of the parts";
    for (int part = 0; part < 10; ++part) {
        EXPECT_EQ(PartTexts[part], tessel.StatusText(part)) << "text of status part " << part;
        EXPECT_EQ(0, tessel.StatusTextType(part)) << "drawing type of status part " << part;
    }
    EXPECT_FALSE(Send(bar, SB_ISSIMPLE, 0, 0)) << "status bar in simple mode";
}

TEST_F(StatusBar, StaysDockedWhenTheWindowIsResized)
{
    ExpectDocked("after start");
    std::vector<Rect> controls;
    for (HWND w = GetWindow(tessel.Main(), GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT))
        controls.push_back(ChildRect(w));

    const SIZE sizes[] = {{640, 400}, {1100, 900}, {500, 300}};
    for (SIZE size : sizes) {
        SetWindowPos(tessel.Main(), nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_TRUE(WaitFor([&] { return ScreenRect(tessel.Main()).width == size.cx; }))
            << "main window never took the width " << size.cx;
        std::string when = "after resizing to " + std::to_string(size.cx) + " x " + std::to_string(size.cy);
        ExpectDocked(when.c_str());
        // Nothing but the status bar moves.
        size_t n = 0;
        for (HWND w = GetWindow(tessel.Main(), GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT), ++n)
            if (w != tessel.StatusBar() && n < controls.size()) {
                EXPECT_EQ(controls[n], ChildRect(w)) << ControlName(GetDlgCtrlID(w)) << " moved " << when;
            }
    }
    for (int part = 0; part < 10; ++part)
        EXPECT_EQ(PartTexts[part], tessel.StatusText(part)) << "text of status part " << part << " after resizing";
}
}
