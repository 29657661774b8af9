// Every control of the client area, created from a table of groups, and the instruction captions.
#include "controls.h"
#include "tessel.h"

#include "instruction_table.h"
#include "instruction_text.h"
#include "port_registers.h"

HFONT SharedFont;

// Zeroes through kernel32 itself rather than a C runtime's memset.
#undef RtlZeroMemory
extern "C" DECLSPEC_IMPORT void WINAPI RtlZeroMemory(void* destination, SIZE_T length);

namespace {
struct ControlSpot {
    int id;
    int x;
    int y;
    const char* caption;
};

struct ControlGroup {
    const char* className;
    DWORD style;
    int width;
    int height;
    bool sharedFont;
    int count;
    ControlSpot (*spot)(int n);
    void (*before)();  // runs once before the group's first control
};

constexpr DWORD GroupBoxStyle = WS_CHILD | WS_VISIBLE | BS_GROUPBOX;
constexpr DWORD LabelStyle = WS_CHILD | WS_VISIBLE;
constexpr DWORD LatchCellStyle = WS_CHILD | WS_VISIBLE | WS_BORDER | SS_SUNKEN | SS_NOTIFY | SS_CENTER;
constexpr DWORD DirectionCellStyle = WS_CHILD | WS_VISIBLE | SS_NOTIFY | SS_CENTER;
constexpr DWORD CheckBoxStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX;
constexpr DWORD PushButtonStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP;

const char* const PanelCaptions[] = {"  Port A ", "  Port B ", "  Port C ", "  Port D "};
const char* const BitLabelCaptions[] = {" 7 ", " 6 ", " 5 ", " 4 ", " 3 ", " 2 ", " 1 ", " 0 "};
const char* const ButtonCaptions[ButtonCount] = {"New Set", "New Game", "Click Instruction"};

const ControlSpot ListingLines[] = {
    {500, 700, 10, "#include <p18f4520.h>"},
    {501, 700, 23, "void ShortDelay (void)"},
    {502, 700, 36, "{"},
    {503, 740, 49, "int i ;"},
    {503, 740, 75, "Nop() ;"},
    {504, 700, 88, "}"},
    {505, 700, 101, "void main (void)"},
    {506, 700, 114, "{"},
    {507, 700, 505, "}"},
};

// Bit labels and cells are made column by column, each column in the port order A, C, B, D.
const int CellPortOrder[] = {0, 2, 1, 3};

int CellPort(int n)
{
    return CellPortOrder[n % 4];
}

int CellLeft(int port)
{
    return CellBit0Left + CellColumnStep * (port & 1);
}

int CellRowOffset(int port)
{
    return CellRowStep * (port >> 1);
}

ControlSpot PanelSpot(int port)
{
    return {IdPanelBase + port, PanelLeft + PanelColumnStep * (port & 1), PanelTop + PanelRowStep * (port >> 1),
            PanelCaptions[port]};
}

ControlSpot ListingSpot(int n)
{
    return ListingLines[n];
}

ControlSpot BitLabelSpot(int n)
{
    int column = n / 4, port = CellPort(n);
    return {IdBitLabelBase + BitsPerPort * port + column,
            BitLabelLeft + CellColumnStep * (port & 1) + CellPitch * column, BitLabelTop + CellRowOffset(port),
            BitLabelCaptions[column]};
}

ControlSpot LatchSpot(int n)
{
    int bit = n / 4, port = CellPort(n);
    return {IdLatchBase + BitsPerPort * port + bit, CellLeft(port) - CellPitch * bit, LatchTop + CellRowOffset(port),
            " 0 "};
}

ControlSpot DirectionSpot(int n)
{
    int bit = n / 4, port = CellPort(n);
    return {IdDirectionBase + BitsPerPort * port + bit, CellLeft(port) - CellPitch * bit,
            DirectionTop + CellRowOffset(port), "Out"};
}

ControlSpot InstructionSpot(int position)
{
    return {IdInstructionBase + position, InstructionLeft, InstructionTop + InstructionPitch * position, "Out"};
}

ControlSpot LoopSpot(int)
{
    return {IdLoopCheckBox, LoopCheckBoxLeft, LoopCheckBoxTop, "for (i=0 ; i < 10000; i++)"};
}

ControlSpot ButtonSpot(int n)
{
    return {IdButtonBase + n, ButtonLeft + ButtonPitch * n, ButtonTop, ButtonCaptions[n]};
}

// Creation order matters: it is the order of the children in the window list.
// The registers are zeroed just before the first cell shows them.
const ControlGroup Groups[] = {
    {"BUTTON", GroupBoxStyle, PanelWidth, PanelHeight, false, 4, PanelSpot, nullptr},
    {"STATIC", LabelStyle, ListingLineWidth, ListingLineHeight, true, 9, ListingSpot, nullptr},
    {"STATIC", LabelStyle, BitLabelWidth, BitLabelHeight, true, CellsPerRow, BitLabelSpot, nullptr},
    {"STATIC", LatchCellStyle, CellWidth, CellHeight, true, CellsPerRow, LatchSpot, ResetPortRegisters},
    {"STATIC", DirectionCellStyle, CellWidth, CellHeight, true, CellsPerRow, DirectionSpot, nullptr},
    {"BUTTON", CheckBoxStyle, InstructionWidth, InstructionHeight, true, static_cast<int>(InstructionsPerSet),
     InstructionSpot, nullptr},
    {"BUTTON", CheckBoxStyle, ListingLineWidth, ListingLineHeight, true, 1, LoopSpot, nullptr},
    {"BUTTON", PushButtonStyle, ButtonWidth, ButtonHeight, true, ButtonCount, ButtonSpot, nullptr},
};
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
    for (const ControlGroup& group : Groups) {
        if (group.before != nullptr)
            group.before();
        for (int n = 0; n < group.count; ++n) {
            ControlSpot spot = group.spot(n);
            HWND control = CreateWindowExA(0, group.className, spot.caption, group.style, spot.x, spot.y, group.width,
                                           group.height, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(spot.id)),
                                           Instance, nullptr);
            if (group.sharedFont)
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
