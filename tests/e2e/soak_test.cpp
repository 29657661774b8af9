// Soak: thousands of double-clicks among transient messages; windows, GDI objects and memory stay flat.
#include "tessel_session.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {
constexpr WORD Clicked = 0;        // BN_CLICKED
constexpr WORD DoubleClicked = 1;  // STN_DBLCLK
constexpr int TransientEvery = 20;
constexpr int WarmUp = 1000;  // figures are compared from here on: first uses fill caches
// A page that Wine touches late is not a leak; a few bytes per double-click over a soak's length are.
constexpr SIZE_T MemorySlackKiB = 64;

void Report(const char* when, const Resources& r)
{
    std::printf("soak: %-22s %s\n", when, (testing::Message() << r).GetString().c_str());
}

// Every twentieth double-click is followed by a transient message: in turn a "Checkbox clicked" notice,
// or a message box (the nine test commands and F1) opened and dismissed.
void Transient(Tessel& tessel, int n)
{
    if (n % 2 == 1) {
        tessel.Notify(800 + n % 26, Clicked);
        return;
    }
    int kind = n / 2 % 10;
    if (kind < 9)
        PostMessageA(tessel.Main(), WM_COMMAND, static_cast<WPARAM>(50 + kind), 0);
    else
        PostMessageA(tessel.Main(), WM_KEYUP, VK_F1, static_cast<LPARAM>(0xC03B0001u));
    std::vector<MessageBoxSeen> boxes;
    ASSERT_TRUE(WaitFor([&] { return (boxes = tessel.Boxes()).size() == 1; }))
        << "transient message " << n << ": expected one message box, found " << boxes.size();
    ASSERT_TRUE(DismissBox(boxes[0].window)) << "message box \"" << boxes[0].text << "\" stays after OK";
}

TEST(Soak, DoubleClicksAndTransientMessagesHoldNothing)
{
    const int clicks = EnvNumber("TESSEL_SOAK_CLICKS", 2000);
    ASSERT_GE(clicks, 2 * WarmUp) << "TESSEL_SOAK_CLICKS";
    Tessel tessel;
    ASSERT_TRUE(tessel.Start());
    Resources first = tessel.Held(), start{};
    ASSERT_NE(-1, first.gdiObjects) << "the probe cannot count GDI objects here";
    ASSERT_NE(-1, first.vmRssKiB) << "the probe cannot read VmRSS and RssFile from /proc";
    PortModel model;
    for (int n = 1; n <= clicks; ++n) {
        int id = BitCellId(n * 37 % 64);  // every cell in turn, never two neighbours in a row
        tessel.Notify(id, DoubleClicked);
        model.DoubleClick(id);
        if (n % TransientEvery == 0)
            Transient(tessel, n / TransientEvery);
        if (HasFatalFailure())
            return;
        if (n == WarmUp)
            start = tessel.Held();
    }
    Resources end = tessel.Held();
    std::printf("soak: %d double-clicks, %d transient messages\n", clicks, clicks / TransientEvery);
    Report("before the first:", first);
    Report(("after " + std::to_string(WarmUp) + ":").c_str(), start);
    Report(("after " + std::to_string(clicks) + ":").c_str(), end);

    for (int n = 0; n < 64; ++n) {
        int id = BitCellId(n);
        EXPECT_EQ(model.Caption(id), TextOf(tessel.Item(id))) << ControlName(id);
    }
    EXPECT_EQ(start.windows, end.windows) << "windows of tessel.exe after " << WarmUp << " and " << clicks
                                          << " double-clicks";
    EXPECT_EQ(start.gdiObjects, end.gdiObjects) << "GDI objects of tessel.exe after " << WarmUp << " and " << clicks
                                                << " double-clicks";
    EXPECT_LE(end.pagefileKiB, start.pagefileKiB + MemorySlackKiB)
        << "PagefileUsage (KiB) after " << clicks << " double-clicks, against " << start.pagefileKiB << " after "
        << WarmUp;
    // The memory of the process's own: its program's pages come and go with the kernel's page cache,
    // whatever the process does.
    EXPECT_LE(end.vmRssKiB - end.rssFileKiB, start.vmRssKiB - start.rssFileKiB + static_cast<int>(MemorySlackKiB))
        << "VmRSS less RssFile (KiB) after " << clicks << " double-clicks, against "
        << start.vmRssKiB - start.rssFileKiB << " after " << WarmUp;
    EXPECT_EQ(0u, tessel.Close()) << "exit code after the soak";
}
}
