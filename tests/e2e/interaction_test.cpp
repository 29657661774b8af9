// Interaction: bit-cell double-clicks, the summary and its clearing, check boxes, buttons, command and F1 boxes.
#include "tessel_session.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
constexpr WORD Clicked = 0;        // BN_CLICKED, STN_CLICKED
constexpr WORD DoubleClicked = 1;  // STN_DBLCLK
constexpr const char* Title = "Tessel C-Language Simulator";
constexpr const char* Credit = "Tessel team - version 1.0";
constexpr const char* CheckboxClicked = "Checkbox clicked";

POINT CentreOf(HWND control)
{
    Rect r = ScreenRect(control);
    return {r.x + r.width / 2, r.y + r.height / 2};
}

class Interaction : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tessel.Start()); }

    std::string Caption(int id) { return TextOf(tessel.Item(id)); }
    std::string Part0() { return tessel.StatusText(0); }

    std::vector<std::string> AllCaptions()
    {
        std::vector<std::string> captions;
        for (HWND w = GetWindow(tessel.Main(), GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT))
            captions.push_back(TextOf(w));
        return captions;
    }

    // Waits for part 0 to leave `text`; returns the milliseconds from `since` until it was seen gone.
    DWORD MillisecondsUntilReplaced(const std::string& text, DWORD since)
    {
        EXPECT_TRUE(WaitFor([&] { return Part0() != text; })) << "status part 0 kept \"" << text << "\"";
        return GetTickCount() - since;
    }

    // Posted messages are handled in order, so once the box of the sentinel command shows,
    // everything posted before it has been handled: it must be the only box.
    void ExpectNoBoxBeforeSentinel(const char* what)
    {
        PostMessageA(tessel.Main(), WM_COMMAND, 50, 0);
        ASSERT_TRUE(WaitFor([&] { return !tessel.Boxes().empty(); })) << "no box for the sentinel command 50";
        std::vector<MessageBoxSeen> boxes = tessel.Boxes();
        EXPECT_EQ(1u, boxes.size()) << "message boxes after " << what;
        for (const MessageBoxSeen& box : boxes) {
            EXPECT_EQ("WM_COMMAND ID 50", box.text) << "a box appeared for " << what;
            DismissBox(box.window);
        }
    }

    // Exactly one box, with this text, owned by the main window; then closes it.
    void ExpectBoxAndDismiss(const std::string& text)
    {
        ASSERT_TRUE(WaitFor([&] { return !tessel.Boxes().empty(); })) << "no message box \"" << text << "\"";
        std::vector<MessageBoxSeen> boxes = tessel.Boxes();
        ASSERT_EQ(1u, boxes.size()) << "message boxes while expecting \"" << text << "\"";
        EXPECT_EQ(text, boxes[0].text) << "message box text";
        EXPECT_EQ(Title, boxes[0].caption) << "message box caption of \"" << text << "\"";
        EXPECT_EQ(tessel.Main(), boxes[0].owner) << "owner of message box \"" << text << "\"";
        EXPECT_EQ(1, boxes[0].buttons) << "buttons of message box \"" << text << "\"";
        EXPECT_TRUE(DismissBox(boxes[0].window)) << "message box \"" << text << "\" stays after OK";
    }

    Tessel tessel;
};

TEST_F(Interaction, LatchDoubleClickFlipsTheBitAndShowsTheSummary)
{
    tessel.Notify(711, DoubleClicked);
    EXPECT_EQ(" 1 ", Caption(711)) << ControlName(711);
    EXPECT_EQ("Port A:00 Port B:08 Port C:00 Port D:00 Port B was clicked", Part0());
    tessel.Notify(711, DoubleClicked);
    EXPECT_EQ(" 0 ", Caption(711)) << ControlName(711);
    EXPECT_EQ("Port A:00 Port B:00 Port C:00 Port D:00 Port B was clicked", Part0());
}

TEST_F(Interaction, DirectionDoubleClickFirstLeavesTheLetterBlank)
{
    tessel.Notify(750, DoubleClicked);
    EXPECT_EQ("In", Caption(750)) << ControlName(750);
    EXPECT_EQ("Port A:00 Port B:00 Port C:00 Port D:00 Port   was clicked", Part0());
    tessel.Notify(750, DoubleClicked);
    EXPECT_EQ("Out", Caption(750)) << ControlName(750);
}

TEST_F(Interaction, DirectionDoubleClickKeepsTheLastLatchLetter)
{
    tessel.Notify(724, DoubleClicked);
    tessel.Notify(758, DoubleClicked);
    EXPECT_EQ("In", Caption(758)) << ControlName(758);
    EXPECT_EQ("Port A:00 Port B:00 Port C:00 Port D:01 Port D was clicked", Part0()) << "after " << ControlName(758);
}

TEST_F(Interaction, EveryCellFlipsOnlyItsOwnBit)
{
    PortModel model;
    for (int pass = 0; pass < 2; ++pass) {
        for (int id = 700; id < 732; ++id) {
            tessel.Notify(id, DoubleClicked);
            model.DoubleClick(id);
            EXPECT_EQ(model.Caption(id), Caption(id)) << ControlName(id) << " in pass " << pass;
            EXPECT_EQ(model.Summary(), Part0()) << "after " << ControlName(id) << " in pass " << pass;
        }
        for (int id = 750; id < 782; ++id) {
            tessel.Notify(id, DoubleClicked);
            model.DoubleClick(id);
            EXPECT_EQ(pass == 0 ? "In" : "Out", Caption(id)) << ControlName(id) << " in pass " << pass;
            EXPECT_EQ(model.Summary(), Part0()) << "after " << ControlName(id) << " in pass " << pass;
        }
        for (int id = 700; id < 732; ++id)
            EXPECT_EQ(pass == 0 ? " 1 " : " 0 ", Caption(id)) << ControlName(id) << " after pass " << pass;
    }
}

TEST_F(Interaction, SingleClicksAndOtherNotificationsChangeNothing)
{
    std::vector<std::string> before = AllCaptions();
    for (int id = 700; id < 782; ++id)
        for (WORD code : {Clicked, WORD{2}, WORD{3}, WORD{0x100}})
            tessel.Notify(id, code);
    // Double-clicks outside the cell rows.
    for (int id : {200, 500, 539, 600, 699, 732, 749, 782, 800, 825, 900})
        tessel.Notify(id, DoubleClicked);
    EXPECT_EQ(before, AllCaptions()) << "captions changed without a double-click on a cell";
    EXPECT_EQ(Credit, Part0());
    // The registers were left alone too.
    tessel.Notify(711, DoubleClicked);
    EXPECT_EQ("Port A:00 Port B:08 Port C:00 Port D:00 Port B was clicked", Part0());
}

TEST_F(Interaction, CheckBoxIdentifiersReportTheirClicks)
{
    for (int id = 799; id <= 827; ++id) {
        tessel.SetStatusText(0, "-");
        tessel.Notify(id, Clicked);
        bool reported = id >= 800 && id <= 826;
        EXPECT_EQ(reported ? CheckboxClicked : "-", Part0()) << "after a click notification from " << id;
    }
}

TEST_F(Interaction, PushButtonsDoNothing)
{
    std::vector<std::string> before = AllCaptions();
    for (int id = 900; id <= 902; ++id)
        Send(tessel.Item(id), BM_CLICK, 0, 0);
    EXPECT_EQ(before, AllCaptions()) << "captions changed after clicking the push buttons";
    EXPECT_EQ(Credit, Part0()) << "status part 0 after clicking the push buttons";
    ExpectNoBoxBeforeSentinel("the push buttons");
    EXPECT_EQ(1u, TesselWindows().size());
}

TEST_F(Interaction, SummaryClearsAfterTwoSecondsLeavingPart0Empty)
{
    DWORD shown = GetTickCount();
    tessel.Notify(711, DoubleClicked);
    std::string summary = Part0();
    ASSERT_EQ("Port A:00 Port B:08 Port C:00 Port D:00 Port B was clicked", summary);
    EXPECT_GE(MillisecondsUntilReplaced(summary, shown), 1950u) << "the summary went before two seconds";
    EXPECT_EQ("", Part0()) << "status part 0 after the summary cleared";
}

TEST_F(Interaction, AnotherSummaryRestartsTheTwoSeconds)
{
    tessel.Notify(711, DoubleClicked);
    DWORD first = GetTickCount();
    Sleep(1200);  // well inside the first summary's two seconds
    DWORD second = GetTickCount();
    tessel.Notify(700, DoubleClicked);
    std::string summary = Part0();
    ASSERT_EQ("Port A:01 Port B:08 Port C:00 Port D:00 Port A was clicked", summary);
    EXPECT_GE(MillisecondsUntilReplaced(summary, second), 1950u)
        << "cleared by the first summary's timer, started " << second - first << " ms earlier";
    EXPECT_EQ("", Part0());
}

TEST_F(Interaction, CheckboxTextStaysUntilAPendingTimerClearsIt)
{
    tessel.Notify(812, Clicked);
    EXPECT_FALSE(WaitFor([&] { return Part0() != CheckboxClicked; }, 2500)) << "\"Checkbox clicked\" went away";
    EXPECT_EQ(CheckboxClicked, Part0());

    DWORD shown = GetTickCount();
    tessel.Notify(711, DoubleClicked);
    tessel.Notify(812, Clicked);
    EXPECT_GE(MillisecondsUntilReplaced(CheckboxClicked, shown), 1950u);
    EXPECT_EQ("", Part0()) << "the summary's timer should clear the check-box text";
}

TEST_F(Interaction, RealMouseClicksOnCellsAndCheckBoxes)
{
    // A single click, then a double-click elsewhere: once that shows, the single click was handled.
    POINT single = CentreOf(tessel.Item(700)), cell = CentreOf(tessel.Item(711));
    ClickAt(single.x, single.y, 1);
    ClickAt(cell.x, cell.y, 2);
    ASSERT_TRUE(WaitFor([&] { return Caption(711) == " 1 "; })) << ControlName(711) << " after a real double-click";
    EXPECT_EQ(" 0 ", Caption(700)) << ControlName(700) << " after a real single click";
    EXPECT_EQ("Port A:00 Port B:08 Port C:00 Port D:00 Port B was clicked", Part0());

    POINT direction = CentreOf(tessel.Item(758));
    ClickAt(direction.x, direction.y, 2);
    ASSERT_TRUE(WaitFor([&] { return Caption(758) == "In"; })) << ControlName(758) << " after a real double-click";
    EXPECT_EQ("Port A:00 Port B:08 Port C:00 Port D:00 Port B was clicked", Part0());

    for (int id : {803, 825}) {
        Rect box = ScreenRect(tessel.Item(id));
        for (LRESULT check : {BST_CHECKED, BST_UNCHECKED}) {
            tessel.SetStatusText(0, "-");
            ClickAt(box.x + 6, box.y + box.height / 2, 1);
            EXPECT_TRUE(WaitFor([&] { return Send(tessel.Item(id), BM_GETCHECK, 0, 0) == check; }))
                << ControlName(id) << " should be " << (check == BST_CHECKED ? "checked" : "unchecked");
            EXPECT_TRUE(WaitFor([&] { return Part0() == CheckboxClicked; })) << "after a real click on "
                                                                              << ControlName(id);
        }
    }
}

TEST_F(Interaction, TestCommandsShowTheirBoxes)
{
    for (WPARAM id = 50; id <= 58; ++id) {
        PostMessageA(tessel.Main(), WM_COMMAND, id, 0);
        ExpectBoxAndDismiss("WM_COMMAND ID " + std::to_string(id));
    }
}

TEST_F(Interaction, NoBoxForOtherCommandWords)
{
    for (WPARAM wParam : {MAKEWPARAM(54, 1), MAKEWPARAM(54, 0x300), WPARAM{49}, WPARAM{59}})
        PostMessageA(tessel.Main(), WM_COMMAND, wParam, 0);
    ExpectNoBoxBeforeSentinel("command words other than 50..58");
}

TEST_F(Interaction, F1BoxOnlyWhenTheMainWindowGetsTheRelease)
{
    HWND main = tessel.Main();
    constexpr LPARAM Down = 0x003B0001, Repeat = 0x403B0001, Up = static_cast<LPARAM>(0xC03B0001u);
    PostMessageA(main, WM_KEYDOWN, VK_F1, Down);
    PostMessageA(main, WM_KEYDOWN, VK_F1, Repeat);
    PostMessageA(main, WM_KEYDOWN, VK_F1, Repeat);
    PostMessageA(main, WM_KEYUP, VK_F2, Up);
    PostMessageA(tessel.Item(800), WM_KEYUP, VK_F1, Up);
    PostMessageA(tessel.Item(900), WM_KEYUP, VK_F1, Up);
    ExpectNoBoxBeforeSentinel("F1 held down, F2 released, and F1 released on child controls");

    PostMessageA(main, WM_KEYUP, VK_F1, Up);
    ExpectBoxAndDismiss("Hi, you pressed F1");
}

TEST_F(Interaction, RealF1KeyWithAndWithoutTheFocus)
{
    ASSERT_EQ(tessel.Main(), tessel.Focus()) << "focus after start";
    PressKey(VK_F1);
    ExpectBoxAndDismiss("Hi, you pressed F1");

    // A clicked check box keeps the focus: no dialog keys move it, and F1 released there shows
    // nothing. The double-click after the keys comes through the same queue, so once it shows,
    // the keys have been handled.
    Rect box = ScreenRect(tessel.Item(800));
    ClickAt(box.x + 6, box.y + box.height / 2, 1);
    ASSERT_TRUE(WaitFor([&] { return Part0() == CheckboxClicked; })) << "the real click on " << ControlName(800);
    EXPECT_EQ(tessel.Item(800), tessel.Focus()) << "focus after clicking " << ControlName(800);
    for (WORD key : {WORD{VK_TAB}, WORD{VK_DOWN}, WORD{VK_F1}})
        PressKey(key);
    POINT cell = CentreOf(tessel.Item(716));
    ClickAt(cell.x, cell.y, 2);
    EXPECT_TRUE(WaitFor([&] { return Caption(716) == " 1 "; })) << ControlName(716) << " after a real double-click";
    EXPECT_TRUE(tessel.Boxes().empty()) << "F1 released on a focused check box showed a box";
    EXPECT_EQ(tessel.Item(800), tessel.Focus()) << "focus after Tab, Down and F1";
}
}
