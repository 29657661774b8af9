// The one pseudo-random generator: a 32-bit seed word advanced by multiply, byte swap and xor.
#include "random_source.h"

uint32_t SeedWord;

namespace {
constexpr uint32_t ZeroTickSeed = 123456789u;
constexpr uint32_t Multiplier = 987654321u;
constexpr uint32_t XorMask = 0x78787878u;
constexpr uint32_t WholeWord = 0xFFFFFFFFu;
}

void SeedFromTickCount(uint32_t tickCount)
{
    SeedWord = tickCount != 0 ? tickCount : ZeroTickSeed;
}

uint32_t NextRandomWord(uint32_t n)
{
    uint32_t product = SeedWord * Multiplier;
    uint32_t swapped = (product >> 24) | ((product >> 8) & 0x0000FF00u) |
                       ((product << 8) & 0x00FF0000u) | (product << 24);
    SeedWord = swapped ^ XorMask;
    if (n == WholeWord)
        return SeedWord;
    // Multiply-high maps the word onto 0..n without a division or a rejection loop.
    return static_cast<uint32_t>((static_cast<uint64_t>(SeedWord) * (static_cast<uint64_t>(n) + 1)) >> 32);
}

uint32_t RandomUpTo(uint32_t n)
{
    uint32_t value = WholeWord;
    while (value > n)
        value = NextRandomWord(n);
    return value;
}
