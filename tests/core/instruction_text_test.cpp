// Statement text: the documented renderings, in-place template reuse, clamping of bad fields,
// and a round trip of every possible record through a parser of the C grammar.
#include "instruction_table.h"
#include "instruction_text.h"
#include "random_source.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <regex>
#include <string>

namespace {

std::string Render(uint8_t kind, uint8_t port, uint8_t bit, uint8_t value, uint8_t radix)
{
    CurrentInstruction = {kind, port, bit, value, radix};
    return RenderInstruction();
}

TEST(InstructionText, DocumentedRenderings)
{
    struct Case {
        uint8_t kind, port, bit, value, radix;
        const char* text;
    };
    const Case cases[] = {
        {0, 0, 0, 0x5A, 0, "TRISA = 0b01011010 ;"},
        {0, 1, 0, 0x5A, 1, "TRISB = 0x5A ;"},
        {1, 2, 3, 0x08, 0, "TRISCbits.TRISC3 = 1 ;"},
        {2, 3, 0, 0xFF, 0, "PORTD = 0b11111111 ;"},
        {2, 0, 0, 0xA5, 1, "PORTA = 0xA5 ;"},
        {3, 1, 7, 0x80, 1, "PORTBbits.RB7 = 1 ;"},
        {3, 0, 2, 0x04, 0, "PORTAbits.RA2 = 1 ;"},
        {2, 1, 5, 0x83, 0, "PORTB = 0b10000011 ;"},
        {0, 2, 0, 0x00, 0, "TRISC = 0b00000000 ;"},
        {2, 3, 0, 0x00, 1, "PORTD = 0x00 ;"},
        {0, 3, 4, 0x0F, 1, "TRISD = 0x0F ;"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Render(c.kind, c.port, c.bit, c.value, c.radix), c.text)
            << "record " << unsigned{c.kind} << "," << unsigned{c.port} << "," << unsigned{c.bit} << ","
            << unsigned{c.value} << "," << unsigned{c.radix};
}

TEST(InstructionText, BitKindsReadOnlyTheirBitOfTheValue)
{
    for (uint8_t bit = 0; bit < 8; ++bit) {
        EXPECT_EQ(Render(1, 0, bit, 0xFF, 0), "TRISAbits.TRISA" + std::to_string(bit) + " = 1 ;");
        EXPECT_EQ(Render(3, 3, bit, 0x00, 1), "PORTDbits.RD" + std::to_string(bit) + " = 0 ;");
        EXPECT_EQ(Render(3, 3, bit, static_cast<uint8_t>(~(1u << bit)), 1), "PORTDbits.RD" + std::to_string(bit) + " = 0 ;");
    }
}

TEST(InstructionText, TemplatesRewrittenInPlaceLeaveNoTrace)
{
    // Hex after binary moves the terminator forward, binary after hex moves it back.
    EXPECT_EQ(Render(0, 1, 0, 0xFF, 0), "TRISB = 0b11111111 ;");
    EXPECT_EQ(Render(0, 2, 0, 0xC3, 1), "TRISC = 0xC3 ;");
    EXPECT_EQ(Render(0, 0, 0, 0x01, 0), "TRISA = 0b00000001 ;");
    EXPECT_EQ(Render(2, 0, 0, 0x7E, 0), "PORTA = 0b01111110 ;");
    EXPECT_EQ(Render(2, 1, 0, 0x7E, 1), "PORTB = 0x7E ;");
    EXPECT_EQ(Render(2, 1, 0, 0x7E, 0), "PORTB = 0b01111110 ;");

    // Each kind owns one buffer: other kinds leave it alone, its own kind reuses it.
    CurrentInstruction = {2, 3, 0, 0xAB, 1};
    const char* portByte = RenderInstruction();
    Render(0, 0, 0, 0x00, 0);
    Render(1, 0, 0, 0x00, 0);
    Render(3, 0, 0, 0x00, 0);
    EXPECT_STREQ(portByte, "PORTD = 0xAB ;");
    CurrentInstruction = {2, 0, 0, 0x00, 0};
    EXPECT_EQ(RenderInstruction(), portByte);
}

TEST(InstructionText, OutOfRangeFieldsAreClampedNotOverrun)
{
    EXPECT_EQ(Render(4, 0, 1, 0x02, 0), "PORTAbits.RA1 = 1 ;");
    EXPECT_EQ(CurrentInstruction.kind, 3u);
    EXPECT_EQ(Render(255, 0, 0, 0x00, 0), "PORTAbits.RA0 = 0 ;");
    EXPECT_EQ(Render(0, 4, 0, 0x10, 1), "TRISD = 0x10 ;");
    EXPECT_EQ(CurrentInstruction.port, 3u);
    EXPECT_EQ(Render(1, 0, 8, 0x80, 0), "TRISAbits.TRISA7 = 1 ;");
    EXPECT_EQ(CurrentInstruction.bit, 7u);
    EXPECT_EQ(Render(3, 255, 255, 0x80, 0), "PORTDbits.RD7 = 1 ;");
    EXPECT_EQ(Render(2, 0, 0, 0x55, 200), "PORTA = 0x55 ;");
}

// Parses a statement back into the record it says, or fails the test.
void ExpectStatementSays(const std::string& text, const InstructionRecord& r)
{
    static const std::regex byteForm(R"(^(TRIS|PORT)([A-D]) = 0(b[01]{8}|x[0-9A-F]{2}) ;$)");
    static const std::regex bitForm(R"(^(TRIS([A-D])bits\.TRIS|PORT([A-D])bits\.R)([A-D])([0-7]) = ([01]) ;$)");
    std::smatch m;
    std::string what = "record " + std::to_string(r.kind) + "," + std::to_string(r.port) + "," +
                       std::to_string(r.bit) + "," + std::to_string(r.value) + "," + std::to_string(r.radix) +
                       " gave \"" + text + "\"";
    char letter = static_cast<char>('A' + r.port);
    if (r.kind == TrisByte || r.kind == PortByte) {
        ASSERT_TRUE(std::regex_match(text, m, byteForm)) << what;
        EXPECT_EQ(m[1], r.kind == TrisByte ? "TRIS" : "PORT") << what;
        EXPECT_EQ(m[2].str()[0], letter) << what;
        std::string literal = m[3];
        EXPECT_EQ(literal[0], r.radix ? 'x' : 'b') << what;
        EXPECT_EQ(std::strtoul(literal.c_str() + 1, nullptr, r.radix ? 16 : 2), r.value) << what;
    } else {
        ASSERT_TRUE(std::regex_match(text, m, bitForm)) << what;
        std::string first = m[2].matched ? m[2].str() : m[3].str();
        EXPECT_EQ(m[2].matched, r.kind == TrisBit) << what;
        EXPECT_EQ(first[0], letter) << what;
        EXPECT_EQ(m[4].str()[0], letter) << what;
        EXPECT_EQ(m[5].str()[0], '0' + r.bit) << what;
        EXPECT_EQ(m[6].str()[0], '0' + ((r.value >> r.bit) & 1)) << what;
    }
}

TEST(InstructionText, EveryRecordRoundTripsThroughTheGrammar)
{
    for (uint8_t kind = 0; kind < 4; ++kind)
        for (uint8_t port = 0; port < 4; ++port)
            for (unsigned value = 0; value < 256; ++value)
                for (uint8_t variant = 0; variant < 16; ++variant) {
                    // The byte kinds vary the radix, the bit kinds the bit.
                    InstructionRecord r{kind, port, static_cast<uint8_t>(variant & 7), static_cast<uint8_t>(value),
                                        static_cast<uint8_t>(variant >> 3)};
                    CurrentInstruction = r;
                    std::string text = RenderInstruction();
                    ExpectStatementSays(text, r);
                    if (HasFatalFailure())
                        return;
                }
}

TEST(InstructionText, CaptionsOfTheFirstSetForZeroTick)
{
    SeedFromTickCount(0);
    BuildInstructionTable();
    const char* expected[] = {"PORTDbits.RD6 = 1 ;", "PORTB = 0b10000011 ;", "PORTA = 0b11000111 ;",
                              "TRISBbits.TRISB1 = 1 ;"};
    for (unsigned i = 0; i < 4; ++i) {
        LoadCurrentInstruction(SetRecordNumber(i));
        EXPECT_STREQ(RenderInstruction(), expected[i]) << "position " << i;
    }
}

}
