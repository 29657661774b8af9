// Fuzz target: renders runs of arbitrary records and checks each statement against its record.
#include "fuzz_check.h"
#include "statement_grammar.h"

#include "instruction_table.h"
#include "instruction_text.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

constexpr unsigned KindCount = 4;
// Longer than any statement; a missing terminator shows up as an overlong text.
constexpr size_t TextLimit = 32;

const char* Buffers[KindCount];
char LastText[KindCount][TextLimit];

uint8_t Clamp(uint8_t field, uint8_t last)
{
    return field > last ? last : field;
}

size_t BoundedLength(const char* text)
{
    const void* end = std::memchr(text, '\0', TextLimit);
    FUZZ_REQUIRE(end != nullptr);
    return static_cast<size_t>(static_cast<const char*>(end) - text);
}

void RenderAndCheck(const InstructionRecord& record)
{
    const uint8_t kind = Clamp(record.kind, 3);
    const uint8_t port = Clamp(record.port, 3);
    const uint8_t bit = Clamp(record.bit, 7);

    CurrentInstruction = record;
    const char* text = RenderInstruction();

    // Clamped fields are written back; the rest of the record is left as it was.
    FUZZ_REQUIRE(CurrentInstruction.kind == kind);
    FUZZ_REQUIRE(CurrentInstruction.port == port);
    FUZZ_REQUIRE(CurrentInstruction.bit == bit);
    FUZZ_REQUIRE(CurrentInstruction.value == record.value);
    FUZZ_REQUIRE((CurrentInstruction.radix != 0) == (record.radix != 0));

    // One buffer per kind, reused in place, never reaching into another kind's buffer.
    FUZZ_REQUIRE(text == Buffers[kind]);
    size_t length = BoundedLength(text);
    for (unsigned other = 0; other < KindCount; ++other)
        if (other != kind)
            FUZZ_REQUIRE(Buffers[other] <= text || Buffers[other] > text + length);

    ParsedStatement said{};
    FUZZ_REQUIRE(ParseStatement(text, said));
    FUZZ_REQUIRE(said.kind == kind);
    FUZZ_REQUIRE(said.port == port);
    if (kind == TrisByte || kind == PortByte) {
        FUZZ_REQUIRE(said.value == record.value);
        FUZZ_REQUIRE(said.hex == (record.radix != 0));
    } else {
        FUZZ_REQUIRE(said.bit == bit);
        FUZZ_REQUIRE(said.value == ((record.value >> bit) & 1u));
    }

    for (unsigned other = 0; other < KindCount; ++other)
        if (other != kind)
            FUZZ_REQUIRE(std::strcmp(Buffers[other], LastText[other]) == 0);
    std::memcpy(LastText[kind], text, length + 1);
}

// Binary literals are the longest texts, so later hex renderings must move terminators back.
void RenderBaseline()
{
    for (uint8_t kind = 0; kind < KindCount; ++kind)
        RenderAndCheck({kind, 0, 0, 0, 0});
}

}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    for (uint8_t kind = 0; kind < KindCount; ++kind) {
        CurrentInstruction = {kind, 0, 0, 0, 0};
        Buffers[kind] = RenderInstruction();
        std::memcpy(LastText[kind], Buffers[kind], BoundedLength(Buffers[kind]) + 1);
    }
    return 0;
}

// Every five bytes are one record: kind, port, bit, value, radix.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RenderBaseline();
    for (size_t at = 0; at + 5 <= size; at += 5)
        RenderAndCheck({data[at], data[at + 1], data[at + 2], data[at + 3], data[at + 4]});
    return 0;
}
