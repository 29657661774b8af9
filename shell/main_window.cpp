// The main window procedure and the work done when the window is created.
#include "tessel.h"

#include "instruction_table.h"
#include "random_source.h"

namespace {
void OnCreate(HWND window)
{
    CreateStatusBar(window);
    SetStatusLabels();
    CreateSharedFont();
    CreateControls(window);
    SeedFromTickCount(GetTickCount());
    BuildInstructionTable();
    FillInstructionSet(window);
}

LRESULT OnPaint(HWND window)
{
    PAINTSTRUCT ps;
    BeginPaint(window, &ps);
    EndPaint(window, &ps);
    return 0;
}

LRESULT OnDestroy()
{
    PostQuitMessage(0);
    return 0;
}
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate(window);
        break;
    case WM_COMMAND:
        HandleCommand(window, wParam);
        break;
    case WM_SIZE:
        DockStatusBar();
        break;
    case WM_PAINT:
        return OnPaint(window);
    case WM_TIMER:
        ClearTransientStatus(window, wParam);
        break;
    case WM_DESTROY:
        return OnDestroy();
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
