// An exercise of the guide, worked out as a learner does: read each statement, double-click the cells whose
// captions differ from what it says, and read the status line and the direction cells at the end.
#include "exercise.h"

#include "bit_cells.h"
#include "controls.h"
#include "instruction_table.h"
#include "instruction_text.h"
#include "random_source.h"
#include "statement_grammar.h"

namespace {
// The caption of every bit cell, as the window shows it: the layout's start-up text, then each flip's.
const char* Captions[CellsPerRow * 2];

int CellIndex(int id)
{
    return id < IdDirectionBase ? id - IdLatchBase : CellsPerRow + id - IdDirectionBase;
}

void StartUp(uint32_t seed)
{
    // What the window does when it is made: the controls with their captions, then the seed and the table.
    for (const ControlGroup& group : ControlGroups) {
        if (group.before != nullptr)
            group.before();
        if (group.kind == LatchCellKind || group.kind == DirectionCellKind)
            for (int n = 0; n < group.count; ++n)
                Captions[CellIndex(group.spot(n).id)] = group.spot(n).caption;
    }
    SeedFromTickCount(seed);
    BuildInstructionTable();
}

bool ShowsOne(int id)
{
    std::string caption = Captions[CellIndex(id)];
    return caption == " 1 " || caption == "In";
}

// A line of columns without the blanks after its last one.
std::string Line(const std::string& columns)
{
    return columns.substr(0, columns.find_last_not_of(' ') + 1) + "\n";
}

// Brings the cells of one statement's bits to what it says, with a double-click on each that differs.
void CarryOut(const ParsedStatement& s)
{
    bool direction = s.kind == TrisByte || s.kind == TrisBit;
    int first = (direction ? IdDirectionBase : IdLatchBase) + BitsPerPort * s.port;
    for (int bit = BitsPerPort - 1; bit >= 0; --bit) {
        bool whole = s.kind == TrisByte || s.kind == PortByte;
        if (!whole && bit != s.bit)
            continue;
        bool wanted = whole ? ((s.value >> bit) & 1u) != 0 : s.value != 0;
        if (ShowsOne(first + bit) != wanted)
            Captions[CellIndex(first + bit)] = FlipBitCell(first + bit);
    }
}
}

std::string ExerciseText(uint32_t seed)
{
    StartUp(seed);
    std::string text = "The 25 statements:\n\n";
    for (unsigned position = 0; position < InstructionsPerSet; ++position) {
        LoadCurrentInstruction(SetRecordNumber(position));
        const char* statement = RenderInstruction();
        ParsedStatement parsed{};
        if (!ParseStatement(statement, parsed))
            return "no statement of the four forms: " + std::string(statement) + "\n";
        CarryOut(parsed);
        text += "    " + std::string(statement) + "\n";
    }

    // The status line a last double-click shows, up to its fourth byte; the letter after it names whichever
    // port's latch cell was clicked last, which the order of the clicks decides.
    std::string summary = ComposePortSummary();
    text += "\nThe key, after all 25 from the start:\n\n    Status bar: " +
            summary.substr(0, summary.find("Port D:") + 9) + "\n\n";
    // The direction cells in the window's columns, bit 7 first, each row as its port's panel shows it.
    std::string header = "    Direction  ";
    for (int bit = BitsPerPort - 1; bit >= 0; --bit)
        header += std::to_string(bit) + "   ";
    text += Line(header);
    for (int port = 0; port < static_cast<int>(PortCount); ++port) {
        std::string row = std::string("    Port ") + static_cast<char>('A' + port) + "     ";
        for (int bit = BitsPerPort - 1; bit >= 0; --bit) {
            std::string caption = Captions[CellIndex(IdDirectionBase + BitsPerPort * port + bit)];
            row += caption + std::string(4 - caption.size(), ' ');
        }
        text += Line(row);
    }
    return text;
}
