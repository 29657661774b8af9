// The 256 generated port statements, the current instruction and the set on show.
#include "instruction_table.h"
#include "random_source.h"

uint8_t InstructionKinds[InstructionCount];
uint8_t InstructionPorts[InstructionCount];
uint8_t InstructionBits[InstructionCount];
uint8_t InstructionValues[InstructionCount];
uint8_t InstructionRadixes[InstructionCount];

InstructionRecord CurrentInstruction;
uint8_t SetIndex;

void BuildInstructionTable()
{
    // The draw order fixes the table for a seed: never reorder these.
    for (unsigned i = 0; i < InstructionCount; ++i) {
        InstructionKinds[i] = static_cast<uint8_t>(RandomUpTo(3));
        InstructionPorts[i] = static_cast<uint8_t>(RandomUpTo(3));
        InstructionBits[i] = static_cast<uint8_t>(RandomUpTo(7));
        InstructionValues[i] = static_cast<uint8_t>(RandomUpTo(255));
        InstructionRadixes[i] = static_cast<uint8_t>(RandomUpTo(1));
    }
}

uint8_t SetRecordNumber(unsigned position)
{
    // Numbered modulo 256 so that no set can read past the last record.
    uint8_t first = static_cast<uint8_t>(SetIndex * InstructionsPerSet);
    return static_cast<uint8_t>((first + position) & 0xFFu);
}

void LoadCurrentInstruction(uint8_t recordNumber)
{
    CurrentInstruction.kind = InstructionKinds[recordNumber];
    CurrentInstruction.port = InstructionPorts[recordNumber];
    CurrentInstruction.bit = InstructionBits[recordNumber];
    CurrentInstruction.value = InstructionValues[recordNumber];
    CurrentInstruction.radix = InstructionRadixes[recordNumber];
}
