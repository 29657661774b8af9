// Instruction table: known records for two seeds, fields in range for any seed, set numbering.
#include "instruction_table.h"
#include "random_source.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

struct Record {
    unsigned kind, port, bit, value, radix;
};

void ExpectRecord(unsigned i, const Record& expected)
{
    EXPECT_EQ(InstructionKinds[i], expected.kind) << "record " << i << " kind";
    EXPECT_EQ(InstructionPorts[i], expected.port) << "record " << i << " port";
    EXPECT_EQ(InstructionBits[i], expected.bit) << "record " << i << " bit";
    EXPECT_EQ(InstructionValues[i], expected.value) << "record " << i << " value";
    EXPECT_EQ(InstructionRadixes[i], expected.radix) << "record " << i << " radix";
}

TEST(InstructionTable, FirstRecordsForKnownSeeds)
{
    SeedFromTickCount(0);
    BuildInstructionTable();
    const Record fromZeroTick[] = {{3, 3, 6, 120, 1}, {2, 1, 5, 131, 0}, {2, 0, 7, 199, 0}, {1, 1, 1, 251, 0}};
    for (unsigned i = 0; i < 4; ++i)
        ExpectRecord(i, fromZeroTick[i]);

    SeedFromTickCount(1);
    BuildInstructionTable();
    const Record fromOne[] = {{3, 3, 1, 173, 0}, {2, 2, 2, 117, 1}, {2, 0, 6, 3, 1}, {3, 1, 4, 108, 0}};
    for (unsigned i = 0; i < 4; ++i)
        ExpectRecord(i, fromOne[i]);
}

TEST(InstructionTable, ConsumesFiveStepsPerRecord)
{
    SeedWord = 0xDEADBEEFu;
    for (int i = 0; i < 1280; ++i)
        NextRandomWord(0xFFFFFFFFu);
    uint32_t expected = SeedWord;

    SeedWord = 0xDEADBEEFu;
    BuildInstructionTable();
    EXPECT_EQ(SeedWord, expected);
}

TEST(InstructionTable, FieldsInRangeForManySeeds)
{
    uint32_t tick = 0;
    for (int run = 0; run < 3000; ++run) {
        tick = tick * 2654435761u + 0x9E3779B9u;
        uint32_t seed = run == 0 ? 0u : run == 1 ? 0xFFFFFFFFu : tick;
        SeedFromTickCount(seed);
        BuildInstructionTable();
        for (unsigned i = 0; i < InstructionCount; ++i) {
            ASSERT_LE(InstructionKinds[i], 3u) << "tick " << seed << " record " << i;
            ASSERT_LE(InstructionPorts[i], 3u) << "tick " << seed << " record " << i;
            ASSERT_LE(InstructionBits[i], 7u) << "tick " << seed << " record " << i;
            ASSERT_LE(InstructionRadixes[i], 1u) << "tick " << seed << " record " << i;
        }
    }
}

TEST(InstructionTable, EveryKindPortBitAndRadixOccurs)
{
    SeedFromTickCount(12345);
    BuildInstructionTable();
    unsigned kinds = 0, ports = 0, bits = 0, radixes = 0;
    for (unsigned i = 0; i < InstructionCount; ++i) {
        kinds |= 1u << InstructionKinds[i];
        ports |= 1u << InstructionPorts[i];
        bits |= 1u << InstructionBits[i];
        radixes |= 1u << InstructionRadixes[i];
    }
    EXPECT_EQ(kinds, 0xFu);
    EXPECT_EQ(ports, 0xFu);
    EXPECT_EQ(bits, 0xFFu);
    EXPECT_EQ(radixes, 0x3u);
}

class InstructionSet : public ::testing::Test {
protected:
    void TearDown() override { SetIndex = 0; }
};

TEST_F(InstructionSet, NumbersWrapAroundTheTable)
{
    struct Case {
        uint8_t setIndex;
        unsigned first;
    };
    // 10 starts at 250 and would run past record 255; 11 starts at 19 (275 mod 256).
    const Case cases[] = {{0, 0}, {1, 25}, {9, 225}, {10, 250}, {11, 19}, {51, 251}, {255, 231}};
    for (const Case& c : cases) {
        SetIndex = c.setIndex;
        for (unsigned i = 0; i < InstructionsPerSet; ++i)
            EXPECT_EQ(SetRecordNumber(i), (c.first + i) % 256) << "set " << unsigned{c.setIndex} << " position " << i;
    }
}

TEST_F(InstructionSet, LoadsTheRecordIntoTheCurrentInstruction)
{
    SeedFromTickCount(7);
    BuildInstructionTable();
    SetIndex = 10;
    uint8_t last = SetRecordNumber(InstructionsPerSet - 1);
    EXPECT_EQ(last, 18u);
    LoadCurrentInstruction(last);
    EXPECT_EQ(CurrentInstruction.kind, InstructionKinds[18]);
    EXPECT_EQ(CurrentInstruction.port, InstructionPorts[18]);
    EXPECT_EQ(CurrentInstruction.bit, InstructionBits[18]);
    EXPECT_EQ(CurrentInstruction.value, InstructionValues[18]);
    EXPECT_EQ(CurrentInstruction.radix, InstructionRadixes[18]);
}

}
