// Main window size and position: 75 % by 80 % of the screen, rounded half to even, centred.
#include "placement.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(Placement, CommonScreens)
{
    struct Case {
        int screenWidth, screenHeight;
        WindowPlacement expected;
    };
    const Case cases[] = {
        {1024, 768, {128, 77, 768, 614}},
        {1280, 1024, {160, 103, 960, 819}},
        {1920, 1080, {240, 108, 1440, 864}},
        {1366, 768, {171, 77, 1024, 614}},  // 1024.5 goes to the even 1024
        {800, 600, {100, 60, 600, 480}},
    };
    for (const Case& c : cases) {
        WindowPlacement p = CentredMainWindow(c.screenWidth, c.screenHeight);
        EXPECT_EQ(p.width, c.expected.width) << c.screenWidth << "x" << c.screenHeight;
        EXPECT_EQ(p.height, c.expected.height) << c.screenWidth << "x" << c.screenHeight;
        EXPECT_EQ(p.x, c.expected.x) << c.screenWidth << "x" << c.screenHeight;
        EXPECT_EQ(p.y, c.expected.y) << c.screenWidth << "x" << c.screenHeight;
    }
}

// Compares with the double arithmetic done in memory, one rounding per operation,
// which excess x87 precision would not match for widths like 1366.
TEST(Placement, MatchesDoublePrecisionForEveryScreenUpTo8K)
{
    for (int size = 1; size <= 8192; ++size) {
        volatile double quotient = size / 100.0;
        volatile double widthExact = quotient * 75.0;
        volatile double heightQuotient = size / 100.0;
        volatile double heightExact = heightQuotient * 80.0;
        WindowPlacement p = CentredMainWindow(size, size);
        ASSERT_EQ(p.width, static_cast<int>(std::nearbyint(widthExact))) << "screen width " << size;
        ASSERT_EQ(p.height, static_cast<int>(std::nearbyint(heightExact))) << "screen height " << size;
        ASSERT_EQ(p.x, (size >> 1) - (p.width >> 1)) << "screen width " << size;
        ASSERT_EQ(p.y, (size >> 1) - (p.height >> 1)) << "screen height " << size;
    }
}

}
