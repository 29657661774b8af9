// The C statement of the current instruction, written into per-kind template buffers.
#include "instruction_text.h"
#include "instruction_table.h"
#include "port_summary.h"

#include <cstdint>

namespace {
char TrisByteTemplate[] = "TRIS  = 0b          ;  ";
char TrisBitTemplate[] = "TRIS bits.TRIS   = 0 ;";
char PortByteTemplate[] = "PORT  = 0b         ; ";
char PortBitTemplate[] = "PORT bits.R   = 0 ;";

constexpr unsigned LetterAt = 4;
constexpr unsigned LiteralPrefixAt = 9;  // the 'b' or 'x' after the '0'
constexpr unsigned DigitsAt = 10;

uint8_t Clamp(uint8_t field, uint8_t last)
{
    return field > last ? last : field;
}

// Writes " ;" and the terminator after the last character of the statement.
void EndStatement(char* text, unsigned at)
{
    text[at] = ' ';
    text[at + 1] = ';';
    text[at + 2] = '\0';
}

void RenderBit(char* text, unsigned letterAt, char letter)
{
    const InstructionRecord& r = CurrentInstruction;
    unsigned valueAt = letterAt + 5;
    text[letterAt] = letter;
    text[letterAt + 1] = static_cast<char>('0' + r.bit);
    text[valueAt] = static_cast<char>('0' + ((r.value >> r.bit) & 1u));
    EndStatement(text, valueAt + 1);
}

void RenderByte(char* text)
{
    const InstructionRecord& r = CurrentInstruction;
    if (r.radix == 0) {
        text[LiteralPrefixAt] = 'b';
        for (unsigned i = 0; i < 8; ++i)
            text[DigitsAt + i] = static_cast<char>('0' + ((r.value >> (7 - i)) & 1u));
        EndStatement(text, DigitsAt + 8);
    } else {
        text[LiteralPrefixAt] = 'x';
        EndStatement(FormatHexByte(r.value, text + DigitsAt), 0);
    }
}
}

const char* RenderInstruction()
{
    InstructionRecord& r = CurrentInstruction;
    r.kind = Clamp(r.kind, PortBit);
    r.port = Clamp(r.port, 3);
    r.bit = Clamp(r.bit, 7);

    char letter = static_cast<char>('A' + r.port);
    char* text = nullptr;
    switch (r.kind) {
    case TrisByte:
        text = TrisByteTemplate;
        RenderByte(text);
        break;
    case TrisBit:
        text = TrisBitTemplate;
        RenderBit(text, 14, letter);
        break;
    case PortByte:
        text = PortByteTemplate;
        RenderByte(text);
        break;
    default:
        text = PortBitTemplate;
        RenderBit(text, 11, letter);
        break;
    }
    text[LetterAt] = letter;
    return text;
}
