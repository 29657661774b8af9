// Entry of the end-to-end driver: GoogleTest's flags, then the Windows path of tessel.exe.
#include "tessel_session.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {
// Whatever a failed test left running is ended before the next suite and at exit.
class StopLeftovers : public testing::Environment {
public:
    void TearDown() override { StopEveryLaunch(); }
};
}

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tessel_e2e [GoogleTest flags] PATH\\TO\\tessel.exe\n");
        return 2;
    }
    TesselPath = argv[1];
    testing::AddGlobalTestEnvironment(new StopLeftovers);
    return RUN_ALL_TESTS();
}
