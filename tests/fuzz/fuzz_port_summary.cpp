// Fuzz target: hex bytes and the summary line under arbitrary letters and register contents.
#include "fuzz_check.h"

#include "port_registers.h"
#include "port_summary.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

const char InitialSummary[] = "Port A:   Port B:   Port C:   Port D:   Port   was clicked";
static_assert(sizeof InitialSummary == PortSummaryLength + 1, "the line keeps its length");

constexpr unsigned LetterAt = 45;

bool IsHexFieldPosition(unsigned at)
{
    return at < 40 && (at % 10 == 7 || at % 10 == 8);
}

unsigned HexValue(char digit)
{
    if (digit >= '0' && digit <= '9')
        return static_cast<unsigned>(digit - '0');
    FUZZ_REQUIRE(digit >= 'A' && digit <= 'F');
    return static_cast<unsigned>(digit - 'A' + 10);
}

void CheckHexByte(uint8_t byte)
{
    // Guards on both sides catch a write outside the two digits, the terminator included.
    char out[6];
    std::memset(out, '#', sizeof out);
    char* end = FormatHexByte(byte, out + 2);
    FUZZ_REQUIRE(end == out + 4);
    FUZZ_REQUIRE(out[0] == '#' && out[1] == '#' && out[4] == '#' && out[5] == '#');
    FUZZ_REQUIRE(HexValue(out[2]) * 16 + HexValue(out[3]) == byte);
}

// The line as it must read, whatever was shown before.
void CheckSummary(const char* line, char shownLetter)
{
    FUZZ_REQUIRE(line == PortSummary);
    FUZZ_REQUIRE(std::memchr(line, '\0', PortSummaryLength) == nullptr);
    FUZZ_REQUIRE(line[PortSummaryLength] == '\0');
    for (unsigned at = 0; at < PortSummaryLength; ++at)
        if (!IsHexFieldPosition(at) && at != LetterAt)
            FUZZ_REQUIRE(line[at] == InitialSummary[at]);
    for (uint8_t p = 0; p < PortCount; ++p) {
        const char* field = line + 7 + 10 * p;
        FUZZ_REQUIRE(HexValue(field[0]) * 16 + HexValue(field[1]) == PortRegisters[2 * p]);
    }
    FUZZ_REQUIRE(line[LetterAt] == shownLetter);
}

char Shown(char letter)
{
    unsigned char code = static_cast<unsigned char>(letter);
    return code >= 0x20 && code != 0x7F ? letter : ' ';
}

}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    FUZZ_REQUIRE(std::memcmp(PortSummary, InitialSummary, sizeof InitialSummary) == 0);
    return 0;
}

// A run of two-byte steps: the first byte picks what to do, the second is its argument.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::memcpy(PortSummary, InitialSummary, sizeof InitialSummary);
    ResetPortRegisters();
    char shownLetter = ' ';

    for (size_t at = 0; at + 2 <= size; at += 2) {
        const uint8_t op = data[at], argument = data[at + 1];
        switch (op % 4) {
        case 0: {
            // Setting the letter alone must leave the rest of the line as it was.
            char before[sizeof PortSummary];
            std::memcpy(before, PortSummary, sizeof before);
            SetSummaryPortLetter(static_cast<char>(argument));
            shownLetter = Shown(static_cast<char>(argument));
            FUZZ_REQUIRE(PortSummary[LetterAt] == shownLetter);
            before[LetterAt] = shownLetter;
            FUZZ_REQUIRE(std::memcmp(before, PortSummary, sizeof before) == 0);
            break;
        }
        case 1:
            PortRegisters[(op >> 2) % (2 * PortCount)] = argument;
            break;
        case 2:
            CheckHexByte(argument);
            break;
        default:
            CheckSummary(ComposePortSummary(), shownLetter);
            break;
        }
    }
    CheckSummary(ComposePortSummary(), shownLetter);
    return 0;
}
