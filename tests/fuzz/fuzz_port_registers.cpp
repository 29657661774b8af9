// Fuzz target: runs of toggles from arbitrary register contents, each flipping exactly one bit.
#include "fuzz_check.h"

#include "port_registers.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

constexpr size_t RegisterCount = 2 * PortCount;

void ToggleAndCheck(uint8_t port, uint8_t kind, uint8_t bit)
{
    const unsigned target = 2u * (port > 3 ? 3u : port) + (kind > 1 ? 1u : kind);
    const uint8_t mask = static_cast<uint8_t>(1u << (bit > 7 ? 7 : bit));
    uint8_t before[RegisterCount];
    std::memcpy(before, PortRegisters, sizeof before);

    ToggleResult result = ToggleRegisterBit(port, kind, bit);

    for (unsigned i = 0; i < RegisterCount; ++i)
        FUZZ_REQUIRE(PortRegisters[i] == (i == target ? before[i] ^ mask : before[i]));

    const bool set = (PortRegisters[target] & mask) != 0;
    FUZZ_REQUIRE(result.bitSet == set);
    FUZZ_REQUIRE(result.cellText != nullptr);
    const char* expected = target % 2 == Latch ? (set ? " 1 " : " 0 ") : (set ? "In" : "Out");
    FUZZ_REQUIRE(std::strcmp(result.cellText, expected) == 0);

    for (uint8_t p = 0; p < PortCount; ++p)
        FUZZ_REQUIRE(LatchByte(p) == PortRegisters[2 * p]);
}

}

// The first eight bytes fill the registers; every three after them are one toggle: port, kind, bit.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const size_t filled = size < RegisterCount ? size : RegisterCount;
    ResetPortRegisters();
    for (uint8_t reg : PortRegisters)
        FUZZ_REQUIRE(reg == 0);
    std::memcpy(PortRegisters, data, filled);

    for (size_t at = filled; at + 3 <= size; at += 3)
        ToggleAndCheck(data[at], data[at + 1], data[at + 2]);
    return 0;
}
