// A hand-written parser of the four C statement forms the instruction text may take.
#pragma once
#include <cstdint>

struct ParsedStatement {
    uint8_t kind;
    uint8_t port;
    uint8_t bit;    // bit kinds only
    uint8_t value;  // the whole byte for the byte kinds, 0 or 1 for the bit kinds
    bool hex;       // byte kinds only
};

// True when `text`, up to its terminator, is exactly one statement; fills `out` with what it says.
bool ParseStatement(const char* text, ParsedStatement& out);
