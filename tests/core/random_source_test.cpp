// Generator: known sequences, the edge bounds of RandomUpTo and the spread of its mapping.
#include "random_source.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

struct Sequence {
    uint32_t seed;
    std::vector<uint32_t> words;
};

TEST(RandomSource, SeedsFromTickCountAndReplacesZero)
{
    SeedFromTickCount(0);
    EXPECT_EQ(SeedWord, 123456789u);
    SeedFromTickCount(1);
    EXPECT_EQ(SeedWord, 1u);
    SeedFromTickCount(0xFFFFFFFFu);
    EXPECT_EQ(SeedWord, 0xFFFFFFFFu);
}

TEST(RandomSource, StepsFollowKnownSequences)
{
    const Sequence sequences[] = {
        {123456789u, {0xFD2B8783u, 0xEB91C793u, 0xDBCC2000u, 0x78585ADDu,
                      0xB5E2DE8Fu, 0xA7803F2Au, 0x72C4B84Bu, 0xA39B936Bu}},
        {1u, {0xC910A642u, 0xDABB3191u, 0x39553665u, 0xADDBE137u,
              0x7F774F34u, 0x8C9ABA68u, 0x90599D30u, 0x4856091Du}},
    };
    for (const Sequence& s : sequences) {
        SeedWord = s.seed;
        for (size_t i = 0; i < s.words.size(); ++i) {
            uint32_t returned = NextRandomWord(0xFFFFFFFFu);
            EXPECT_EQ(returned, s.words[i]) << "seed " << s.seed << " step " << i + 1;
            EXPECT_EQ(SeedWord, s.words[i]) << "seed " << s.seed << " step " << i + 1;
        }
    }
}

TEST(RandomSource, RandomUpToEdgeBounds)
{
    SeedWord = 123456789u;
    EXPECT_EQ(RandomUpTo(3), 3u);
    EXPECT_EQ(SeedWord, 0xFD2B8783u);

    // A bound of 0 still costs one step.
    SeedWord = 123456789u;
    EXPECT_EQ(RandomUpTo(0), 0u);
    EXPECT_EQ(SeedWord, 0xFD2B8783u);
    EXPECT_EQ(RandomUpTo(0), 0u);
    EXPECT_EQ(SeedWord, 0xEB91C793u);

    // The whole-word bound makes no step at all.
    SeedWord = 123456789u;
    EXPECT_EQ(RandomUpTo(0xFFFFFFFFu), 0xFFFFFFFFu);
    EXPECT_EQ(SeedWord, 123456789u);
}

TEST(RandomSource, EveryDrawIsOneStepAndInRange)
{
    const uint32_t bounds[] = {0, 1, 2, 3, 7, 8, 100, 255, 65535, 0x7FFFFFFFu, 0xFFFFFFFEu};
    SeedWord = 42;
    for (int round = 0; round < 2000; ++round) {
        for (uint32_t n : bounds) {
            uint32_t before = SeedWord;
            uint32_t value = RandomUpTo(n);
            uint32_t after = SeedWord;
            ASSERT_LE(value, n) << "bound " << n << " round " << round;
            SeedWord = before;
            NextRandomWord(0xFFFFFFFFu);
            ASSERT_EQ(SeedWord, after) << "bound " << n << " round " << round << ": not exactly one step";
        }
    }
}

// The inverse of one step, so a test can choose the seed word that a draw will see.
uint32_t PreviousSeedWord(uint32_t next)
{
    uint32_t x = next ^ 0x78787878u;
    uint32_t product = (x >> 24) | ((x >> 8) & 0xFF00u) | ((x << 8) & 0xFF0000u) | (x << 24);
    uint32_t inverse = 987654321u;  // Newton's iteration for the inverse modulo 2^32
    for (int i = 0; i < 5; ++i)
        inverse *= 2u - 987654321u * inverse;
    return product * inverse;
}

uint32_t DrawWithNextWord(uint32_t n, uint32_t nextWord)
{
    SeedWord = PreviousSeedWord(nextWord);
    uint32_t value = RandomUpTo(n);
    EXPECT_EQ(SeedWord, nextWord);
    return value;
}

// How many of the 2^32 seed words give each result, found by bisecting the monotone mapping.
std::vector<uint64_t> CountsPerResult(uint32_t n)
{
    std::vector<uint64_t> firstWord(n + 2, 0);
    firstWord[n + 1] = uint64_t{1} << 32;
    for (uint32_t r = 1; r <= n; ++r) {
        uint64_t lo = 0, hi = uint64_t{1} << 32;
        while (lo < hi) {
            uint64_t mid = (lo + hi) / 2;
            if (DrawWithNextWord(n, static_cast<uint32_t>(mid)) >= r)
                hi = mid;
            else
                lo = mid + 1;
        }
        firstWord[r] = lo;
    }
    std::vector<uint64_t> counts(n + 1);
    for (uint32_t r = 0; r <= n; ++r)
        counts[r] = firstWord[r + 1] - firstWord[r];
    return counts;
}

TEST(RandomSource, StepIsInvertibleSoEverySeedWordIsReachable)
{
    SeedWord = 99;
    for (int i = 0; i < 1000; ++i) {
        uint32_t before = SeedWord;
        NextRandomWord(0xFFFFFFFFu);
        ASSERT_EQ(PreviousSeedWord(SeedWord), before) << "step " << i;
    }
}

TEST(RandomSource, SpreadOfNineResults)
{
    std::vector<uint64_t> counts = CountsPerResult(8);
    for (uint32_t r = 0; r <= 8; ++r) {
        uint64_t expected = (r % 2 == 0 && r < 8) ? 477218589u : 477218588u;
        EXPECT_EQ(counts[r], expected) << "result " << r;
    }
}

TEST(RandomSource, SpreadIsEvenForPowersOfTwoAndWithinOneOtherwise)
{
    for (uint32_t n : {1u, 2u, 3u, 6u, 7u, 99u, 255u}) {
        std::vector<uint64_t> counts = CountsPerResult(n);
        uint64_t floor = (uint64_t{1} << 32) / (n + 1);
        bool powerOfTwo = ((n + 1) & n) == 0;
        for (uint32_t r = 0; r <= n; ++r) {
            if (powerOfTwo)
                EXPECT_EQ(counts[r], floor) << "bound " << n << " result " << r;
            else
                EXPECT_TRUE(counts[r] == floor || counts[r] == floor + 1)
                    << "bound " << n << " result " << r << " count " << counts[r];
        }
    }
}

}
