// The simulated latch and direction registers of ports A..D.
#pragma once
#include <cstdint>

enum RegisterKind : uint8_t { Latch = 0, Direction = 1 };

constexpr unsigned PortCount = 4;

// Latch of port p at 2p, its direction register at 2p + 1.
extern uint8_t PortRegisters[2 * PortCount];

struct ToggleResult {
    bool bitSet;           // the bit's state after the flip
    const char* cellText;  // " 1 " / " 0 " for latches, "In" / "Out" for directions
};

void ResetPortRegisters();

// Out-of-range arguments are clamped to the last valid value (port D, Direction, bit 7),
// so a toggle always flips exactly one bit of one register.
ToggleResult ToggleRegisterBit(uint8_t port, uint8_t kind, uint8_t bit);

uint8_t LatchByte(uint8_t port);
