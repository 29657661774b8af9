// WM_COMMAND: test commands, check-box clicks and double-clicks on bit cells.
#include "bit_cells.h"
#include "controls.h"
#include "tessel.h"

#include "port_summary.h"

namespace {
constexpr WORD NotifyClicked = 0;        // BN_CLICKED, STN_CLICKED
constexpr WORD NotifyDoubleClicked = 1;  // STN_DBLCLK

void ShowTestCommandBox(HWND window, WPARAM id)
{
    char text[] = "WM_COMMAND ID 5?";
    text[sizeof text - 2] = static_cast<char>('0' + (id - IdTestCommandFirst));
    MessageBoxA(window, text, WindowTitle, MB_OK);
}

void OnClicked(int id)
{
    if (id >= IdInstructionBase && id <= IdCheckBoxReportLast)
        ShowStatusText("Checkbox clicked");
}

void OnBitCellDoubleClicked(HWND window, int id)
{
    const char* text = FlipBitCell(id);
    if (text == nullptr)
        return;
    SetDlgItemTextA(window, id, text);
    ShowTransientStatus(window, PortSummary);
}
}

void HandleCommand(HWND window, WPARAM wParam)
{
    if (wParam >= IdTestCommandFirst && wParam <= IdTestCommandLast) {
        ShowTestCommandBox(window, wParam);
        return;
    }
    int id = LOWORD(wParam);
    switch (HIWORD(wParam)) {
    case NotifyClicked:
        OnClicked(id);
        break;
    case NotifyDoubleClicked:
        OnBitCellDoubleClicked(window, id);
        break;
    }
}
