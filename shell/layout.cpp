// Every control of the client area, created from the control table, and the instruction captions.
#include "controls.h"
#include "tessel.h"

#include "instruction_table.h"
#include "instruction_text.h"

HFONT SharedFont;

// Zeroes through kernel32 itself rather than a C runtime's memset.
#undef RtlZeroMemory
extern "C" DECLSPEC_IMPORT void WINAPI RtlZeroMemory(void* destination, SIZE_T length);

namespace {
constexpr DWORD GroupBoxStyle = WS_CHILD | WS_VISIBLE | BS_GROUPBOX;
constexpr DWORD LabelStyle = WS_CHILD | WS_VISIBLE;
constexpr DWORD LatchCellStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | SS_SUNKEN | SS_NOTIFY | SS_CENTER;
constexpr DWORD DirectionCellStyle = WS_CHILD | WS_VISIBLE | SS_NOTIFY | SS_CENTER;
constexpr DWORD CheckBoxStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD PushButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP;

// Indexed by ControlKind.
const char* const KindClassNames[ControlKindCount] = {"BUTTON", "STATIC", "STATIC", "STATIC", "BUTTON", "BUTTON"};
const DWORD KindStyles[ControlKindCount] = {GroupBoxStyle,      LabelStyle,    LatchCellStyle,
                                            DirectionCellStyle, CheckBoxStyle, PushButtonStyle};
}

void CreateSharedFont()
{
    LOGFONTA font;
    RtlZeroMemory(&font, sizeof font);
    lstrcpyA(font.lfFaceName, "MS Sans Serif");
    font.lfHeight = -8;
    font.lfWeight = FW_NORMAL;
    SharedFont = CreateFontIndirectA(&font);
}

void CreateControls(HWND window)
{
    for (const ControlGroup& group : ControlGroups) {
        if (group.before != nullptr)
            group.before();
        for (int n = 0; n < group.count; ++n) {
            ControlSpot spot = group.spot(n);
            HWND control = CreateWindowExA(0, KindClassNames[group.kind], spot.caption, KindStyles[group.kind], spot.x,
                                           spot.y, group.width, group.height, window,
                                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(spot.id)), Instance, nullptr);
            // The port panels keep the system font.
            if (group.kind != PanelKind)
                SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(SharedFont), TRUE);
        }
    }
}

void FillInstructionSet(HWND window)
{
    for (unsigned position = 0; position < InstructionsPerSet; ++position) {
        LoadCurrentInstruction(SetRecordNumber(position));
        SetDlgItemTextA(window, IdInstructionBase + static_cast<int>(position), RenderInstruction());
    }
}
