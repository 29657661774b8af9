// Waits for tessel.exe's window to be ready, reports or minimises it, double-clicks its bit cells, or closes it: a
// tool for scripts outside Wine.
#include "controls.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
HWND FindMain()
{
    return FindWindowA(WindowClassName, nullptr);
}

// Ready once the last instruction caption has been written over its placeholder.
bool IsReady(HWND main)
{
    char text[64] = "";
    GetDlgItemTextA(main, IdInstructionLast, text, sizeof text);
    return IsWindowVisible(main) && std::strcmp(text, "Out") != 0 && text[0] != '\0';
}

bool WaitFor(DWORD limit, bool (*done)())
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < limit; Sleep(20))
        if (done())
            return true;
    return done();
}
}

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tessel_remote ready|place|minimize|close [milliseconds]\n"
                             "       tessel_remote dblclick ID...\n");
        return 2;
    }
    DWORD limit = argc > 2 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) : 20000;
    if (std::strcmp(argv[1], "ready") == 0) {
        // Whether the captions were there at the first look tells a timing script that they came with the
        // window, not after it: this program's own start comes after the window's.
        auto ready = [] { HWND main = FindMain(); return main != nullptr && IsReady(main); };
        if (ready()) {
            std::printf("ready at the first look\n");
            return 0;
        }
        DWORD start = GetTickCount();
        if (WaitFor(limit, ready)) {
            std::printf("ready once looked for %lu ms\n", GetTickCount() - start);
            return 0;
        }
        std::fprintf(stderr, "tessel_remote: no ready Tessel window within %lu ms\n", limit);
        return 1;
    }
    // The window's screen rectangle and its client area's, as "x y width height" each, for comparing with X's view.
    if (std::strcmp(argv[1], "place") == 0 || std::strcmp(argv[1], "minimize") == 0) {
        HWND main = FindMain();
        if (main == nullptr) {
            std::fprintf(stderr, "tessel_remote: no Tessel window\n");
            return 1;
        }
        if (argv[1][0] == 'm') {
            ShowWindow(main, SW_MINIMIZE);
            return 0;
        }
        RECT window, client;
        POINT origin = {0, 0};
        GetWindowRect(main, &window);
        GetClientRect(main, &client);
        ClientToScreen(main, &origin);
        std::printf("window %ld %ld %ld %ld client %ld %ld %ld %ld\n", window.left, window.top,
                    window.right - window.left, window.bottom - window.top, origin.x, origin.y, client.right,
                    client.bottom);
        return 0;
    }
    // What a bit cell tells the window when it is double-clicked, in the order given: the window then shows the
    // status line for its two seconds.
    if (std::strcmp(argv[1], "dblclick") == 0) {
        HWND main = FindMain();
        if (main == nullptr) {
            std::fprintf(stderr, "tessel_remote: no Tessel window\n");
            return 1;
        }
        for (int n = 2; n < argc; ++n) {
            int id = std::atoi(argv[n]);
            SendMessageA(main, WM_COMMAND, MAKEWPARAM(id, STN_DBLCLK), reinterpret_cast<LPARAM>(GetDlgItem(main, id)));
        }
        return 0;
    }
    if (std::strcmp(argv[1], "close") == 0) {
        HWND main = FindMain();
        if (main != nullptr)
            PostMessageA(main, WM_CLOSE, 0, 0);
        if (WaitFor(limit, [] { return FindMain() == nullptr; }))
            return 0;
        std::fprintf(stderr, "tessel_remote: the Tessel window is still open after %lu ms\n", limit);
        return 1;
    }
    std::fprintf(stderr, "tessel_remote: unknown command %s\n", argv[1]);
    return 2;
}
