// WM_COMMAND: test commands, check-box clicks and double-clicks on bit cells.
#include "controls.h"
#include "tessel.h"

#include "port_registers.h"
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
    int offset;
    uint8_t kind;
    if (id >= IdLatchBase && id < IdLatchBase + CellsPerRow) {
        offset = id - IdLatchBase;
        kind = Latch;
    } else if (id >= IdDirectionBase && id < IdDirectionBase + CellsPerRow) {
        offset = id - IdDirectionBase;
        kind = Direction;
    } else {
        return;
    }
    uint8_t port = static_cast<uint8_t>(offset / BitsPerPort);
    uint8_t bit = static_cast<uint8_t>(offset % BitsPerPort);
    // Only latch clicks name their port; a direction click keeps the previous letter.
    if (kind == Latch)
        SetSummaryPortLetter(static_cast<char>('A' + port));
    ToggleResult result = ToggleRegisterBit(port, kind, bit);
    SetDlgItemTextA(window, id, result.cellText);
    ShowTransientStatus(window, ComposePortSummary());
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
