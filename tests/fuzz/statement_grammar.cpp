// A hand-written parser of the four C statement forms the instruction text may take.
#include "statement_grammar.h"

namespace {

// Consumes `word` at `p`; leaves `p` alone on a mismatch.
bool Take(const char*& p, const char* word)
{
    const char* q = p;
    for (; *word; ++word, ++q)
        if (*q != *word)
            return false;
    p = q;
    return true;
}

bool TakePortLetter(const char*& p, uint8_t& port)
{
    if (*p < 'A' || *p > 'D')
        return false;
    port = static_cast<uint8_t>(*p++ - 'A');
    return true;
}

bool TakeDigit(const char*& p, unsigned radix, unsigned& digit)
{
    char c = *p;
    if (c >= '0' && c <= '9' && static_cast<unsigned>(c - '0') < radix)
        digit = static_cast<unsigned>(c - '0');
    else if (radix == 16 && c >= 'A' && c <= 'F')
        digit = static_cast<unsigned>(c - 'A' + 10);
    else
        return false;
    ++p;
    return true;
}

bool TakeLiteral(const char*& p, ParsedStatement& out)
{
    unsigned radix = 0, count = 0;
    if (Take(p, "0b")) {
        radix = 2;
        count = 8;
    } else if (Take(p, "0x")) {
        radix = 16;
        count = 2;
    } else {
        return false;
    }
    unsigned value = 0, digit = 0;
    for (unsigned i = 0; i < count; ++i) {
        if (!TakeDigit(p, radix, digit))
            return false;
        value = value * radix + digit;
    }
    out.value = static_cast<uint8_t>(value);
    out.hex = radix == 16;
    return true;
}

}

bool ParseStatement(const char* text, ParsedStatement& out)
{
    const char* p = text;
    bool tris = Take(p, "TRIS");
    if (!tris && !Take(p, "PORT"))
        return false;
    if (!TakePortLetter(p, out.port))
        return false;

    out.bit = 0;
    out.hex = false;
    if (Take(p, " = ")) {
        out.kind = tris ? 0 : 2;
        if (!TakeLiteral(p, out))
            return false;
    } else {
        out.kind = tris ? 1 : 3;
        uint8_t again = 0;
        unsigned bit = 0, value = 0;
        if (!Take(p, tris ? "bits.TRIS" : "bits.R") || !TakePortLetter(p, again) || again != out.port)
            return false;
        if (!TakeDigit(p, 8, bit) || !Take(p, " = ") || !TakeDigit(p, 2, value))
            return false;
        out.bit = static_cast<uint8_t>(bit);
        out.value = static_cast<uint8_t>(value);
    }
    return Take(p, " ;") && *p == '\0';
}
