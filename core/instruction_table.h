// The 256 generated port statements, the current instruction and the set on show.
#pragma once
#include <cstdint>

enum InstructionKind : uint8_t { TrisByte = 0, TrisBit = 1, PortByte = 2, PortBit = 3 };

struct InstructionRecord {
    uint8_t kind;   // InstructionKind
    uint8_t port;   // 0..3 for ports A..D
    uint8_t bit;    // bit number of the bit kinds
    uint8_t value;  // byte written by the byte kinds; bit `bit` of it by the bit kinds
    uint8_t radix;  // byte kinds: 0 binary literal, otherwise hexadecimal
};

constexpr unsigned InstructionCount = 256;
constexpr unsigned InstructionsPerSet = 25;

// Five parallel arrays indexed by record number.
extern uint8_t InstructionKinds[InstructionCount];
extern uint8_t InstructionPorts[InstructionCount];
extern uint8_t InstructionBits[InstructionCount];
extern uint8_t InstructionValues[InstructionCount];
extern uint8_t InstructionRadixes[InstructionCount];

extern InstructionRecord CurrentInstruction;
extern uint8_t SetIndex;

// Requires a seeded generator; consumes exactly five draws per record.
void BuildInstructionTable();

// Record number shown at `position` (0..24) of the current set; wraps past record 255.
uint8_t SetRecordNumber(unsigned position);

void LoadCurrentInstruction(uint8_t recordNumber);
