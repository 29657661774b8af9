// The one pseudo-random generator: a 32-bit seed word advanced by multiply, byte swap and xor.
#pragma once
#include <cstdint>

extern uint32_t SeedWord;

// The caller reads the millisecond tick count; a count of 0 seeds 123456789.
void SeedFromTickCount(uint32_t tickCount);
uint32_t NextRandomWord(uint32_t n);
uint32_t RandomUpTo(uint32_t n);
