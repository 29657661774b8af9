// Size and position of the main window: 75 % by 80 % of the screen, centred.
#include "placement.h"

namespace {
// Halfway goes to the even neighbour, so 1024.5 becomes 1024.
int RoundHalfEven(double value)
{
    int whole = static_cast<int>(value);
    double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && (whole & 1) != 0))
        ++whole;
    return whole;
}

int Half(int value)
{
    return static_cast<int>(static_cast<unsigned>(value) >> 1);
}
}

WindowPlacement CentredMainWindow(int screenWidth, int screenHeight)
{
    WindowPlacement p;
    p.width = RoundHalfEven(screenWidth / 100.0 * 75.0);
    p.height = RoundHalfEven(screenHeight / 100.0 * 80.0);
    p.x = Half(screenWidth) - Half(p.width);
    p.y = Half(screenHeight) - Half(p.height);
    return p;
}
