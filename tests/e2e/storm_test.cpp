// Message storm: random commands posted and sent among double-clicks, resizes, timers and WM_SIZE floods.
#include "tessel_session.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {
constexpr WORD DoubleClicked = 1;  // STN_DBLCLK
constexpr UINT_PTR ClearTimer = 1;

// Which windows, not their z-order: Wine versions stack the hidden helper windows differently.
std::set<HWND> TopLevelSet(DWORD pid)
{
    std::vector<HWND> windows = TopLevelWindowsOf(pid);
    return {windows.begin(), windows.end()};
}

// What the storm threw, by kind, for the report.
struct Tally {
    int commandsPosted = 0, commandsSent = 0, commandFlips = 0, testCommandsLeftOut = 0;
    int doubleClicksPosted = 0, doubleClicksSent = 0, mouseDoubleClicks = 0;
    int timersPosted = 0, timersSent = 0, timerOnes = 0;
    int sizesPosted = 0, windowMoves = 0;

    int Messages() const
    {
        return commandsPosted + commandsSent + doubleClicksPosted + doubleClicksSent + timersPosted + timersSent +
               sizesPosted;
    }
};

class Storm : public testing::Test {
protected:
    void SetUp() override
    {
        seed = static_cast<unsigned>(EnvNumber("TESSEL_STORM_SEED", static_cast<int>(GetTickCount() & 0x7FFFFFFF)));
        std::printf("storm: seed %u (replay with TESSEL_STORM_SEED=%u)\n", seed, seed);
        rng.seed(seed);
        ASSERT_TRUE(tessel.Start());
        placed = ScreenRect(tessel.Main());
        topLevel = TopLevelSet(tessel.Pid());
        for (HWND w = GetWindow(tessel.Main(), GW_CHILD); w != nullptr; w = GetWindow(w, GW_HWNDNEXT))
            children.push_back({w, TextOf(w), ChildRect(w)});
        for (int part = 1; part < 10; ++part)
            labels.push_back(tessel.StatusText(part));
    }

    int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }
    bool Chance(int percent) { return Uniform(1, 100) <= percent; }

    // Half anywhere in the 16 bits, half close to the families of the identifier plan.
    int RandomId()
    {
        static const int bases[] = {0, 50, 200, 500, 600, 700, 750, 800, 900, 0xFFE0};
        if (Chance(50))
            return Uniform(0, 0xFFFF);
        return (bases[Uniform(0, 9)] + Uniform(-8, 40)) & 0xFFFF;
    }
    WORD RandomCode()
    {
        switch (Uniform(0, 3)) {
        case 0: return 0;
        case 1: return DoubleClicked;
        case 2: return static_cast<WORD>(Uniform(2, 10));
        default: return static_cast<WORD>(Uniform(0, 0xFFFF));
        }
    }
    LPARAM RandomLParam()
    {
        if (Chance(50))
            return 0;
        if (Chance(50))
            return reinterpret_cast<LPARAM>(children[static_cast<size_t>(Uniform(0, static_cast<int>(children.size()) - 1))].window);
        return static_cast<LPARAM>(rng());
    }

    // Posted or sent; sent ones must be answered.
    void Deliver(UINT message, WPARAM wParam, LPARAM lParam, int& posted, int& sent)
    {
        if (Chance(50)) {
            ASSERT_TRUE(PostMessageA(tessel.Main(), message, wParam, lParam))
                << "cannot post message " << Hex(message) << ": error " << GetLastError();
            ++posted;
        } else {
            Send(tessel.Main(), message, wParam, lParam);
            ++sent;
        }
    }

    void RandomCommand()
    {
        WPARAM wParam;
        // The test commands open modal boxes; the storm leaves them out. A command that happens to be a
        // cell's double-click is one, whoever sends it, and the model counts it.
        while ((wParam = MAKEWPARAM(RandomId(), RandomCode())) >= 50 && wParam <= 58)
            ++tally.testCommandsLeftOut;
        if (HIWORD(wParam) == DoubleClicked && IsBitCell(LOWORD(wParam))) {
            model.DoubleClick(LOWORD(wParam));
            ++tally.commandFlips;
        }
        Deliver(WM_COMMAND, wParam, RandomLParam(), tally.commandsPosted, tally.commandsSent);
    }

    void CellDoubleClick()
    {
        int id = BitCellId(Uniform(0, 63));
        model.DoubleClick(id);
        Deliver(WM_COMMAND, MAKEWPARAM(id, DoubleClicked), reinterpret_cast<LPARAM>(tessel.Item(id)),
                tally.doubleClicksPosted, tally.doubleClicksSent);
    }

    void ForeignTimer()
    {
        UINT_PTR id = Chance(25) ? ClearTimer : static_cast<UINT_PTR>(rng());
        tally.timerOnes += id == ClearTimer;
        // Half of them name a callback that was never set; DispatchMessage must refuse to call it.
        Deliver(WM_TIMER, id, Chance(50) ? 0 : static_cast<LPARAM>(rng()), tally.timersPosted, tally.timersSent);
    }

    void SizeFlood()
    {
        for (int n = 0; n < 25; ++n, ++tally.sizesPosted)
            PostMessageA(tessel.Main(), WM_SIZE, static_cast<WPARAM>(Uniform(0, 4)), static_cast<LPARAM>(rng()));
    }

    void MoveTheWindow()
    {
        HWND main = tessel.Main();
        switch (Uniform(0, 3)) {
        case 0: ShowWindow(main, SW_MINIMIZE); break;
        case 1: ShowWindow(main, SW_MAXIMIZE); break;
        case 2: ShowWindow(main, SW_RESTORE); break;
        default:
            SetWindowPos(main, nullptr, Uniform(-200, 800), Uniform(-200, 600), Uniform(0, 2500), Uniform(0, 2000),
                         SWP_NOZORDER | SWP_NOACTIVATE);
        }
        ++tally.windowMoves;
    }

    void PutBack()
    {
        ShowWindow(tessel.Main(), SW_RESTORE);
        SetWindowPos(tessel.Main(), nullptr, placed.x, placed.y, placed.width, placed.height, SWP_NOZORDER);
        EXPECT_TRUE(WaitFor([&] { return ScreenRect(tessel.Main()) == placed && !IsIconic(tessel.Main()); }))
            << "main window never came back to " << placed << "; it is at " << ScreenRect(tessel.Main());
    }

    // A real double-click through the system's queue, once nothing else is in flight.
    void MouseDoubleClick()
    {
        tessel.Settle();
        PutBack();
        int id = BitCellId(Uniform(0, 63));
        model.DoubleClick(id);
        Rect r = ScreenRect(tessel.Item(id));
        ClickAt(r.x + r.width / 2, r.y + r.height / 2, 2);
        EXPECT_TRUE(WaitFor([&] { return TextOf(tessel.Item(id)) == model.Caption(id); }))
            << ControlName(id) << " after a real double-click: expected \"" << model.Caption(id) << "\", shows \""
            << TextOf(tessel.Item(id)) << "\"";
        ++tally.mouseDoubleClicks;
    }

    struct ChildSeen {
        HWND window;
        std::string caption;
        Rect rect;
    };

    Tessel tessel;
    unsigned seed = 0;
    std::mt19937 rng;
    PortModel model;
    Tally tally;
    Rect placed{};
    std::set<HWND> topLevel;
    std::vector<ChildSeen> children;
    std::vector<std::string> labels;
};

TEST_F(Storm, WindowSurvivesAndKeepsExactlyTheDoubleClickedState)
{
    SCOPED_TRACE("storm seed " + std::to_string(seed));
    const int commands = EnvNumber("TESSEL_STORM_COMMANDS", 20000);
    DWORD began = GetTickCount();
    for (int step = 1; tally.commandsPosted + tally.commandsSent < commands; ++step) {
        int roll = Uniform(1, 1000);
        if (roll <= 922)
            RandomCommand();
        else if (roll <= 942)
            CellDoubleClick();
        else if (roll <= 986)
            ForeignTimer();
        else if (roll <= 994)
            SizeFlood();
        else
            MoveTheWindow();
        // Keeps the posted queue short, and now and then a real double-click.
        if (step % 1000 == 0) {
            if (step % 2000 == 0)
                MouseDoubleClick();
            else
                tessel.Settle();
        }
        if (HasFailure())
            return;
    }
    tessel.Settle();
    PutBack();
    std::printf("storm: %d messages in %lu ms: WM_COMMAND %d posted, %d sent (%d of them double-clicks on cells, "
                "%d test commands left out); cell double-clicks %d posted, %d sent; %d real mouse double-clicks; "
                "WM_TIMER %d posted, %d sent (%d with id 1); WM_SIZE %d posted; %d resizes, minimises, maximises "
                "and restores\n",
                tally.Messages(), GetTickCount() - began, tally.commandsPosted, tally.commandsSent, tally.commandFlips,
                tally.testCommandsLeftOut, tally.doubleClicksPosted, tally.doubleClicksSent, tally.mouseDoubleClicks,
                tally.timersPosted, tally.timersSent, tally.timerOnes, tally.sizesPosted, tally.windowMoves);

    HWND main = tessel.Main();
    ASSERT_TRUE(IsWindow(main)) << "the main window is gone";
    DWORD_PTR answer = 0;
    ASSERT_NE(0, SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, WaitLimit, &answer))
        << "the main window does not answer";
    EXPECT_EQ(topLevel, TopLevelSet(tessel.Pid())) << "top-level windows of tessel.exe";
    EXPECT_TRUE(tessel.Boxes().empty()) << "a message box is open";

    // A last double-click of a latch names its port, so the whole summary is known.
    int last = 700 + Uniform(0, 31);
    model.DoubleClick(last);
    tessel.Notify(last, DoubleClicked);
    EXPECT_EQ(model.Summary(), tessel.StatusText(0)) << "status part 0 after a last double-click on "
                                                     << ControlName(last);
    // A timer message that names a callback comes from elsewhere: Tessel's timers have none. It goes no further,
    // whoever's address it holds; here user32's own PostQuitMessage, which Wine would call and so end Tessel.
    ASSERT_TRUE(PostMessageA(main, WM_TIMER, ClearTimer, reinterpret_cast<LPARAM>(&PostQuitMessage)));
    tessel.Settle();
    ASSERT_TRUE(IsWindow(main)) << "a WM_TIMER naming PostQuitMessage as its callback ended tessel.exe";
    EXPECT_EQ(model.Summary(), tessel.StatusText(0)) << "status part 0 after a timer 1 that names a callback";
    // Only timer 1 clears it.
    for (UINT_PTR id : {UINT_PTR{0}, UINT_PTR{2}, UINT_PTR{0x10001}, ~UINT_PTR{0}})
        Send(main, WM_TIMER, id, 0);
    EXPECT_EQ(model.Summary(), tessel.StatusText(0)) << "status part 0 after timers other than 1";
    Send(main, WM_TIMER, ClearTimer, 0);
    EXPECT_EQ("", tessel.StatusText(0)) << "status part 0 after timer 1";
    for (size_t n = 0; n < labels.size(); ++n)
        EXPECT_EQ(labels[n], tessel.StatusText(static_cast<int>(n) + 1)) << "status part " << n + 1;
    Rect client = ClientRect(main), bar = ChildRect(tessel.StatusBar());
    EXPECT_EQ(client.height, bar.y + bar.height) << "status bar bottom";
    EXPECT_EQ(client.width, bar.width) << "status bar width";

    for (const ChildSeen& child : children) {
        int id = GetDlgCtrlID(child.window);
        std::string expected = IsBitCell(id) ? model.Caption(id) : child.caption;
        if (id != 200) {  // the status bar's text and place are checked above
            EXPECT_EQ(expected, TextOf(child.window)) << "caption of " << ControlName(id);
            EXPECT_EQ(child.rect, ChildRect(child.window)) << "place of " << ControlName(id);
        }
    }
    EXPECT_EQ(0u, tessel.Close()) << "exit code after the storm";
}
}
