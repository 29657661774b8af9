// Single instance: a later start raises and restores the running window and exits 0; racing starts leave one.
#include "tessel_session.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
// A window of the driver's own, put in front of tessel's; it has its own thread to answer the
// activation messages while the test waits.
class WindowInFront {
public:
    WindowInFront()
    {
        ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, Run, this, 0, &threadId_);
        WaitForSingleObject(ready_, WaitLimit);
    }
    ~WindowInFront()
    {
        PostThreadMessageA(threadId_, WM_QUIT, 0, 0);
        WaitForSingleObject(thread_, WaitLimit);
        CloseHandle(thread_);
        CloseHandle(ready_);
    }
    HWND Window() const { return window_; }

private:
    static DWORD WINAPI Run(void* param)
    {
        auto* self = static_cast<WindowInFront*>(param);
        self->window_ = CreateWindowExA(0, "STATIC", "in front", WS_POPUP | WS_VISIBLE | WS_BORDER, 0, 0, 200, 100,
                                        nullptr, nullptr, nullptr, nullptr);
        SetForegroundWindow(self->window_);
        SetEvent(self->ready_);
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
        DestroyWindow(self->window_);
        return 0;
    }

    HANDLE ready_ = nullptr;
    HANDLE thread_ = nullptr;
    DWORD threadId_ = 0;
    HWND window_ = nullptr;
};

class SingleInstance : public testing::Test {
protected:
    void TearDown() override { StopEveryLaunch(); }
};

TEST_F(SingleInstance, SecondStartRaisesTheFirstAndExits)
{
    Tessel first;
    ASSERT_TRUE(first.Start());
    WindowInFront front;
    ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == front.Window(); }))
        << "the driver's window never came to the front";

    Launch second = LaunchTessel();
    EXPECT_EQ(0u, ExitCodeWithin(second.process)) << "exit code of the second start";
    EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == first.Main(); }))
        << "the first window was not raised; the foreground window is " << GetForegroundWindow();
    EXPECT_EQ(std::vector<HWND>{first.Main()}, TesselWindows()) << "Tessel windows after the second start";
    EXPECT_EQ(0u, first.Close()) << "exit code of the first start";
}

TEST_F(SingleInstance, SecondStartRestoresTheMinimisedFirst)
{
    Tessel first;
    ASSERT_TRUE(first.Start());
    HWND main = first.Main();
    Rect placed = ScreenRect(main);
    ShowWindow(main, SW_MINIMIZE);
    ASSERT_TRUE(WaitFor([&] { return IsIconic(main) != FALSE; })) << "the window did not minimise";

    Launch second = LaunchTessel();
    EXPECT_EQ(0u, ExitCodeWithin(second.process)) << "exit code of the second start";
    EXPECT_TRUE(WaitFor([&] { return !IsIconic(main) && GetForegroundWindow() == main; }))
        << "the minimised window was not restored and raised";
    EXPECT_EQ(placed, ScreenRect(main)) << "main window after being restored";
    Rect client = ClientRect(main), bar = ChildRect(first.StatusBar());
    EXPECT_EQ(client.height, bar.y + bar.height) << "status bar bottom after being restored";
    EXPECT_EQ(client.width, bar.width) << "status bar width after being restored";
    EXPECT_EQ(std::vector<HWND>{main}, TesselWindows()) << "Tessel windows after the second start";
    EXPECT_EQ(0u, first.Close()) << "exit code of the first start";
}

// Starts launched together race for the instance mutex: one keeps its window, every other waits for
// that window, raises it and exits. The race is narrow, so it is run a few times.
class StartsAtOnce : public SingleInstance, public testing::WithParamInterface<int> {};

TEST_P(StartsAtOnce, LeaveOneRaisedWindowAndExitZero)
{
    const int starts = GetParam();
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(std::to_string(starts) + " starts, round " + std::to_string(round));
        WindowInFront front;
        ASSERT_TRUE(WaitFor([&] { return GetForegroundWindow() == front.Window(); }))
            << "the driver's window never came to the front";
        std::vector<Launch> launches = LaunchTogether(starts);
        auto running = [&] {
            std::vector<Launch> alive;
            for (const Launch& launch : launches)
                if (WaitForSingleObject(launch.process, 0) == WAIT_TIMEOUT)
                    alive.push_back(launch);
            return alive;
        };
        // Settled once every start still running has its window (none, when every start ended without one:
        // the check below then fails at once); the later starts wait a few seconds for the first window
        // before they give up, so the limit is wider.
        ASSERT_TRUE(WaitFor([&] { return running().size() == TesselWindows().size(); }, 3 * WaitLimit))
            << running().size() << " starts still running, " << TesselWindows().size() << " Tessel windows";
        ASSERT_EQ(1u, TesselWindows().size()) << "Tessel windows after " << starts << " starts at once";

        Launch survivor = running()[0];
        for (const Launch& launch : launches)
            if (launch.pid != survivor.pid) {
                EXPECT_EQ(0u, ExitCodeWithin(launch.process, 0)) << "exit code of start " << launch.pid;
            }
        HWND main = TesselWindows()[0];
        DWORD owner = 0;
        GetWindowThreadProcessId(main, &owner);
        EXPECT_EQ(survivor.pid, owner) << "the window belongs to another process than the one still running";
        EXPECT_TRUE(WaitFor([&] { return GetForegroundWindow() == main; }))
            << "the surviving window " << main << " was not raised; the foreground window is "
            << GetForegroundWindow() << " (the driver's is " << front.Window() << ")";
        PostMessageA(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(0u, ExitCodeWithin(survivor.process)) << "exit code of the start that kept its window";
    }
}

INSTANTIATE_TEST_SUITE_P(SingleInstance, StartsAtOnce, testing::Values(5, 10),
                         [](const testing::TestParamInfo<int>& p) { return std::to_string(p.param); });
}
