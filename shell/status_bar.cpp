// The ten-part status bar: credit, counter labels and short-lived messages in part 0.
#include "controls.h"
#include "tessel.h"

#include <commctrl.h>

HWND StatusBar;

namespace {
constexpr DWORD StatusBarStyle = WS_CHILD | WS_VISIBLE | 0x10;

void SetPartText(int part, const char* text)
{
    SendMessageA(StatusBar, SB_SETTEXTA, static_cast<WPARAM>(part), reinterpret_cast<LPARAM>(text));
}
}

void CreateStatusBar(HWND parent)
{
    StatusBar = CreateStatusWindowA(StatusBarStyle, nullptr, parent, IdStatusBar);
    SendMessageA(StatusBar, SB_SETPARTS, StatusPartCount, reinterpret_cast<LPARAM>(StatusPartRightEdges));
}

void SetStatusLabels()
{
    for (const StatusLabel& label : StatusLabels)
        SetPartText(label.part, label.text);
}

void ShowStatusText(const char* text)
{
    SetPartText(0, text);
}

// Showing another message before the timer fires restarts the two seconds.
void ShowTransientStatus(HWND window, const char* text)
{
    ShowStatusText(text);
    SetTimer(window, StatusClearTimer, StatusClearDelay, nullptr);
}

// The status bar places itself along the bottom of its parent when moved at all.
void DockStatusBar()
{
    MoveWindow(StatusBar, 0, 0, 0, 0, TRUE);
}

void ClearTransientStatus(HWND window, WPARAM timerId)
{
    if (timerId != StatusClearTimer)
        return;
    KillTimer(window, StatusClearTimer);
    ShowStatusText("");
}
