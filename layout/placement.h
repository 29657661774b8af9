// Size and position of the main window: 75 % by 80 % of the screen, centred.
#pragma once

struct WindowPlacement {
    int x;
    int y;
    int width;
    int height;
};

WindowPlacement CentredMainWindow(int screenWidth, int screenHeight);
