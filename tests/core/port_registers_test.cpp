// Port registers and the summary line: toggling, cell texts, clamping, hex fields and the letter.
#include "port_registers.h"
#include "port_summary.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace {

const char InitialSummary[] = "Port A:   Port B:   Port C:   Port D:   Port   was clicked";

class Ports : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::memset(PortRegisters, 0xEE, sizeof PortRegisters);
        ResetPortRegisters();
        std::memcpy(PortSummary, InitialSummary, sizeof InitialSummary);
    }

    static std::string Registers()
    {
        std::string s;
        for (uint8_t r : PortRegisters)
            s += std::to_string(r) + " ";
        return s;
    }
};

TEST_F(Ports, ResetClearsEveryRegister)
{
    for (unsigned i = 0; i < 8; ++i)
        EXPECT_EQ(PortRegisters[i], 0u) << "register " << i;
}

TEST_F(Ports, ToggleGivesCellTextsAndRestoresOnSecondFlip)
{
    ToggleResult r = ToggleRegisterBit(0, Latch, 7);
    EXPECT_TRUE(r.bitSet);
    EXPECT_STREQ(r.cellText, " 1 ");
    EXPECT_EQ(PortRegisters[0], 0x80u);
    r = ToggleRegisterBit(0, Latch, 7);
    EXPECT_FALSE(r.bitSet);
    EXPECT_STREQ(r.cellText, " 0 ");
    EXPECT_EQ(PortRegisters[0], 0u);

    PortRegisters[3] = 0xFF;
    r = ToggleRegisterBit(1, Direction, 0);
    EXPECT_FALSE(r.bitSet);
    EXPECT_STREQ(r.cellText, "Out");
    EXPECT_EQ(PortRegisters[3], 0xFEu);
    r = ToggleRegisterBit(1, Direction, 0);
    EXPECT_TRUE(r.bitSet);
    EXPECT_STREQ(r.cellText, "In");
    EXPECT_EQ(PortRegisters[3], 0xFFu);
}

TEST_F(Ports, EachToggleFlipsExactlyItsOwnBit)
{
    for (uint8_t port = 0; port < 4; ++port)
        for (uint8_t kind = Latch; kind <= Direction; ++kind)
            for (uint8_t bit = 0; bit < 8; ++bit) {
                ResetPortRegisters();
                PortRegisters[2 * port + (1 - kind)] = 0x5A;  // the port's other register
                ToggleRegisterBit(port, kind, bit);
                for (unsigned i = 0; i < 8; ++i) {
                    unsigned expected = i == 2u * port + kind ? 1u << bit
                                       : i == 2u * port + (1u - kind) ? 0x5Au
                                                                       : 0u;
                    EXPECT_EQ(PortRegisters[i], expected)
                        << "port " << unsigned{port} << " kind " << unsigned{kind} << " bit " << unsigned{bit}
                        << ": register " << i;
                }
            }
}

TEST_F(Ports, OutOfRangeArgumentsClampToTheLastRegisterAndBit)
{
    const unsigned bits[] = {0, 3, 7, 8, 9, 31, 32, 64, 255};
    for (unsigned port = 0; port < 256; ++port)
        for (unsigned kind = 0; kind < 256; kind += (kind < 4 ? 1 : 61))
            for (unsigned bit : bits) {
                ResetPortRegisters();
                ToggleRegisterBit(static_cast<uint8_t>(port), static_cast<uint8_t>(kind), static_cast<uint8_t>(bit));
                unsigned reg = 2 * (port > 3 ? 3 : port) + (kind > 1 ? 1 : kind);
                uint8_t mask = static_cast<uint8_t>(1u << (bit > 7 ? 7 : bit));
                for (unsigned i = 0; i < 8; ++i)
                    ASSERT_EQ(PortRegisters[i], i == reg ? mask : 0)
                        << "port " << port << " kind " << kind << " bit " << bit << ": register " << i;
            }
}

TEST_F(Ports, FormatHexByte)
{
    struct Case {
        uint8_t byte;
        const char* text;
    };
    const Case cases[] = {{0x00, "00"}, {0x0A, "0A"}, {0x3F, "3F"}, {0xA5, "A5"}, {0xFF, "FF"}, {0x90, "90"}};
    for (const Case& c : cases) {
        char out[4] = {'x', 'x', 'x', 'x'};
        char* end = FormatHexByte(c.byte, out);
        EXPECT_EQ(std::string(out, 2), c.text) << "byte " << unsigned{c.byte};
        EXPECT_EQ(end, out + 2);
        EXPECT_EQ(out[2], 'x') << "no terminator is written";
    }
    for (unsigned b = 0; b < 256; ++b) {
        char out[3] = {};
        FormatHexByte(static_cast<uint8_t>(b), out);
        EXPECT_EQ(std::stoul(out, nullptr, 16), b);
    }
}

TEST_F(Ports, SummaryShowsLatchesAndTheLastClickedPort)
{
    EXPECT_STREQ(ComposePortSummary(), "Port A:00 Port B:00 Port C:00 Port D:00 Port   was clicked");

    PortRegisters[0] = 0x03;
    PortRegisters[4] = 0x80;
    PortRegisters[1] = 0xFF;  // directions are never shown
    SetSummaryPortLetter('C');
    EXPECT_STREQ(ComposePortSummary(), "Port A:03 Port B:00 Port C:80 Port D:00 Port C was clicked");

    // A later direction click keeps the letter.
    ToggleRegisterBit(3, Direction, 2);
    EXPECT_STREQ(ComposePortSummary(), "Port A:03 Port B:00 Port C:80 Port D:00 Port C was clicked");
    EXPECT_EQ(std::strlen(PortSummary), PortSummaryLength);
}

TEST_F(Ports, DoubleClickOnLatchB3AndBack)
{
    SetSummaryPortLetter('B');
    EXPECT_STREQ(ToggleRegisterBit(1, Latch, 3).cellText, " 1 ");
    EXPECT_STREQ(ComposePortSummary(), "Port A:00 Port B:08 Port C:00 Port D:00 Port B was clicked");
    SetSummaryPortLetter('B');
    EXPECT_STREQ(ToggleRegisterBit(1, Latch, 3).cellText, " 0 ");
    EXPECT_STREQ(ComposePortSummary(), "Port A:00 Port B:00 Port C:00 Port D:00 Port B was clicked");
}

TEST_F(Ports, UnshowableLetterKeepsTheLineWhole)
{
    const char letters[] = {'\0', '\n', '\x7F'};
    for (char letter : letters) {
        SetSummaryPortLetter(letter);
        ComposePortSummary();
        EXPECT_EQ(std::strlen(PortSummary), PortSummaryLength) << "letter code " << int{letter};
        EXPECT_EQ(PortSummary[45], ' ') << "letter code " << int{letter};
    }
    SetSummaryPortLetter('D');
    EXPECT_EQ(PortSummary[45], 'D');
}

}
