// The status line with the four latch bytes in hex and the port clicked last.
#include "port_summary.h"
#include "port_registers.h"

char PortSummary[PortSummaryLength + 1] = "Port A:   Port B:   Port C:   Port D:   Port   was clicked";

namespace {
constexpr unsigned FirstFieldAt = 7;
constexpr unsigned FieldStride = 10;
constexpr unsigned LetterAt = 45;

char HexDigit(unsigned nibble)
{
    return static_cast<char>(nibble < 10 ? '0' + nibble : 'A' + (nibble - 10));
}
}

char* FormatHexByte(uint8_t byte, char* destination)
{
    destination[0] = HexDigit(byte >> 4);
    destination[1] = HexDigit(byte & 0x0Fu);
    return destination + 2;
}

void SetSummaryPortLetter(char letter)
{
    unsigned char code = static_cast<unsigned char>(letter);
    PortSummary[LetterAt] = code >= 0x20 && code != 0x7F ? letter : ' ';
}

const char* ComposePortSummary()
{
    for (uint8_t p = 0; p < PortCount; ++p)
        FormatHexByte(LatchByte(p), PortSummary + FirstFieldAt + FieldStride * p);
    return PortSummary;
}
