// Identifier plan, fixed layout and control table of the main window, free of any Win32 type: read by every
// shell, by the resource script and by the tools and tests that address the window's controls.
#pragma once

// The application icon, group resource 500: a macro, for windres reads the resource script with the C
// preprocessor and knows nothing of C++ (it defines RC_INVOKED).
#define IdAppIcon 500

#ifndef RC_INVOKED

// The main window's class: a second start finds the first by it, and so do the tools that drive the window.
constexpr char WindowClassName[] = "TesselClass";

// Status bar.
constexpr int IdStatusBar = 200;

// Listing lines 500..507 (503 is shared by two lines) and bit-number labels 508 + 8 * port + column.
constexpr int IdListingFirst = 500;
constexpr int IdBitLabelBase = 508;

// Port panels 600 + port.
constexpr int IdPanelBase = 600;

// Bit cells: base + 8 * port + bit.
constexpr int IdLatchBase = 700;
constexpr int IdDirectionBase = 750;
constexpr int BitsPerPort = 8;
constexpr int CellsPerRow = 4 * BitsPerPort;

// Instruction check boxes 800 + set position, then the loop check box; clicks report up to 826.
constexpr int IdInstructionBase = 800;
constexpr int IdInstructionLast = IdInstructionBase + 24;  // its caption is written last of all
constexpr int IdLoopCheckBox = 825;
constexpr int IdCheckBoxReportLast = 826;

// Push buttons 900 + index: "New Set", "New Game", "Click Instruction".
constexpr int IdButtonBase = 900;
constexpr int ButtonCount = 3;

// Test commands: a whole wParam of 50..58, sent by no control.
constexpr int IdTestCommandFirst = 50;
constexpr int IdTestCommandLast = 58;

// Port panels: A and B side by side, C and D below them.
constexpr int PanelLeft = 16;
constexpr int PanelTop = 20;
constexpr int PanelColumnStep = 284;
constexpr int PanelRowStep = 150;
constexpr int PanelWidth = 270;
constexpr int PanelHeight = 135;

// Bit labels and cells: ports B and D sit one column step to the right, C and D one row step down.
constexpr int CellColumnStep = 285;
constexpr int CellRowStep = 150;
constexpr int CellPitch = 30;
constexpr int BitLabelLeft = 42;  // column 0, which names bit 7
constexpr int BitLabelTop = 45;
constexpr int BitLabelWidth = 20;
constexpr int BitLabelHeight = 12;
constexpr int CellBit0Left = 245;  // bit 0 is the rightmost cell
constexpr int LatchTop = 65;
constexpr int DirectionTop = 95;
constexpr int CellWidth = 31;
constexpr int CellHeight = 25;

// The C listing on the right.
constexpr int ListingLineWidth = 150;
constexpr int ListingLineHeight = 12;
constexpr int InstructionLeft = 720;
constexpr int InstructionTop = 130;
constexpr int InstructionPitch = 15;
constexpr int InstructionWidth = 190;
constexpr int InstructionHeight = 12;
constexpr int LoopCheckBoxLeft = 720;
constexpr int LoopCheckBoxTop = 62;

// Push buttons along the bottom.
constexpr int ButtonLeft = 50;
constexpr int ButtonTop = 520;
constexpr int ButtonPitch = 200;
constexpr int ButtonWidth = 120;
constexpr int ButtonHeight = 25;

// Status bar parts.
constexpr int StatusPartCount = 10;
constexpr unsigned StatusClearTimer = 1;
constexpr unsigned StatusClearDelay = 2000;

// What a control is; each shell maps a kind to its own class, style and font.
enum ControlKind : unsigned char {
    PanelKind,          // group box of a port, captioned in the system font
    LabelKind,          // listing line or bit-number label
    LatchCellKind,      // sunken bit cell of a latch register, double-clicked to flip
    DirectionCellKind,  // flat bit cell of a direction register, double-clicked to flip
    CheckBoxKind,       // instruction or loop check box
    PushButtonKind,
};
constexpr int ControlKindCount = 6;

struct ControlSpot {
    int id;
    int x;
    int y;
    const char* caption;
};

// A run of controls of one kind and size; spot(n) places the n-th, before() runs ahead of the first.
struct ControlGroup {
    ControlKind kind;
    int width;
    int height;
    int count;
    ControlSpot (*spot)(int n);
    void (*before)();
};

// layout_table.cpp: the groups in creation order, the status parts and their fixed texts.
constexpr int ControlGroupCount = 8;
extern const ControlGroup ControlGroups[ControlGroupCount];
extern const int StatusPartRightEdges[StatusPartCount];

struct StatusLabel {
    int part;
    const char* text;
};
constexpr int StatusLabelCount = 5;
extern const StatusLabel StatusLabels[StatusLabelCount];

#endif
