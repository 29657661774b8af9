// Fuzz target: seeding, bounded draws, the generated table and the record numbers of a set.
#include "fuzz_check.h"

#include "instruction_table.h"
#include "random_source.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr uint32_t WholeWord = 0xFFFFFFFFu;
constexpr unsigned DrawsPerTable = 5 * InstructionCount;
// A table build costs over a thousand draws; a few per input keep the run fast.
constexpr unsigned BuildsPerInput = 4;

// The seed word one step after `seed`: an unbounded draw returns the new word itself.
uint32_t StepFrom(uint32_t seed)
{
    const uint32_t saved = SeedWord;
    SeedWord = seed;
    const uint32_t word = NextRandomWord(WholeWord);
    FUZZ_REQUIRE(word == SeedWord);
    SeedWord = saved;
    return word;
}

class Input {
public:
    Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Empty() const { return at_ >= size_; }
    uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    // Little-endian; bytes past the end read as zero.
    uint32_t Word()
    {
        uint32_t word = 0;
        for (unsigned i = 0; i < 4; ++i)
            word |= static_cast<uint32_t>(Byte()) << (8 * i);
        return word;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t at_ = 0;
};

void CheckSeeding(uint32_t tickCount)
{
    SeedFromTickCount(tickCount);
    FUZZ_REQUIRE(SeedWord == (tickCount != 0 ? tickCount : 123456789u));
}

void CheckRandomUpTo(uint32_t n)
{
    const uint32_t before = SeedWord;
    const uint32_t value = RandomUpTo(n);
    FUZZ_REQUIRE(value <= n);
    // One draw always lands in range, so only the whole-word bound may skip the step.
    FUZZ_REQUIRE(SeedWord == (n == WholeWord ? before : StepFrom(before)));
}

void CheckNextRandomWord(uint32_t n)
{
    const uint32_t before = SeedWord;
    const uint32_t value = NextRandomWord(n);
    FUZZ_REQUIRE(value <= n);
    FUZZ_REQUIRE(SeedWord == StepFrom(before));
}

void CheckTable()
{
    uint32_t expected = SeedWord;
    for (unsigned i = 0; i < DrawsPerTable; ++i)
        expected = StepFrom(expected);
    BuildInstructionTable();
    FUZZ_REQUIRE(SeedWord == expected);
    for (unsigned i = 0; i < InstructionCount; ++i) {
        FUZZ_REQUIRE(InstructionKinds[i] <= 3);
        FUZZ_REQUIRE(InstructionPorts[i] <= 3);
        FUZZ_REQUIRE(InstructionBits[i] <= 7);
        FUZZ_REQUIRE(InstructionRadixes[i] <= 1);
    }
}

void CheckRecord(unsigned position)
{
    const uint8_t number = SetRecordNumber(position);
    FUZZ_REQUIRE(number == ((SetIndex * InstructionsPerSet + position) & 0xFFu));
    LoadCurrentInstruction(number);
    FUZZ_REQUIRE(CurrentInstruction.kind == InstructionKinds[number]);
    FUZZ_REQUIRE(CurrentInstruction.port == InstructionPorts[number]);
    FUZZ_REQUIRE(CurrentInstruction.bit == InstructionBits[number]);
    FUZZ_REQUIRE(CurrentInstruction.value == InstructionValues[number]);
    FUZZ_REQUIRE(CurrentInstruction.radix == InstructionRadixes[number]);
}

}

// Starts from a seed in the first four bytes, then runs steps picked by one byte each.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Input in(data, size);
    CheckSeeding(in.Word());
    unsigned builds = 0;
    while (!in.Empty()) {
        switch (in.Byte() % 5) {
        case 0:
            CheckSeeding(in.Word());
            break;
        case 1:
            CheckRandomUpTo(in.Word());
            break;
        case 2:
            CheckNextRandomWord(in.Word());
            break;
        case 3:
            if (builds++ < BuildsPerInput)
                CheckTable();
            break;
        default:
            SetIndex = in.Byte();
            for (unsigned position = 0; position < InstructionsPerSet; ++position)
                CheckRecord(position);
            CheckRecord(in.Word());
            break;
        }
    }
    return 0;
}
