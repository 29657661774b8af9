// The main window's controls and status parts as plain data, read by both the Win32 and the web shells.
#include "controls.h"

#include "instruction_table.h"
#include "port_registers.h"

namespace {
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
}

// Creation order matters: it is the order of the children in the window list.
// The registers are zeroed just before the first cell shows them.
const ControlGroup ControlGroups[ControlGroupCount] = {
    {PanelKind, PanelWidth, PanelHeight, 4, PanelSpot, nullptr},
    {LabelKind, ListingLineWidth, ListingLineHeight, 9, ListingSpot, nullptr},
    {LabelKind, BitLabelWidth, BitLabelHeight, CellsPerRow, BitLabelSpot, nullptr},
    {LatchCellKind, CellWidth, CellHeight, CellsPerRow, LatchSpot, ResetPortRegisters},
    {DirectionCellKind, CellWidth, CellHeight, CellsPerRow, DirectionSpot, nullptr},
    {CheckBoxKind, InstructionWidth, InstructionHeight, static_cast<int>(InstructionsPerSet), InstructionSpot, nullptr},
    {CheckBoxKind, ListingLineWidth, ListingLineHeight, 1, LoopSpot, nullptr},
    {PushButtonKind, ButtonWidth, ButtonHeight, ButtonCount, ButtonSpot, nullptr},
};

// Right edges of the parts in client pixels; the last part runs to the window's edge.
const int StatusPartRightEdges[StatusPartCount] = {300, 355, 390, 460, 505, 570, 615, 685, 780, -1};

const StatusLabel StatusLabels[StatusLabelCount] = {
    {0, "Tessel team - version 1.0"},
    {1, "Set count:"},
    {3, "Game count:"},
    {5, "Energy left:"},
    {7, "Elapsed time:"},
};
