// Prints what the module's functions give for many seeds, built natively from the same sources:
// every record's statement, the cells and summaries of a run of double-clicks, and window placements.
// The web suite prints the same from the WebAssembly module and compares the two texts.
#include "exports.h"

#include <cstdio>
#include <cstdlib>

namespace {
// The next value of the sequence that picks seeds, identifiers and viewport sizes on both sides.
uint32_t Next(uint32_t& state)
{
    state = state * 1103515245u + 12345u;
    return state >> 8;
}
}

int main(int argc, char** argv)
{
    unsigned seeds = argc > 1 ? static_cast<unsigned>(std::strtoul(argv[1], nullptr, 10)) : 400;
    const uint32_t fixed[] = {0, 1, 123456789u, 0xFFFFFFFFu};
    uint32_t state = 2026;
    for (unsigned s = 0; s < seeds; ++s) {
        uint32_t seed = s < 4 ? fixed[s] : Next(state) * 2654435761u;
        std::printf("seed %u\n", static_cast<unsigned>(seed));
        TesselCreate(seed);
        for (uint32_t record = 0; record < 256; ++record)
            std::printf("%s\n", TesselRecordText(record));
        uint32_t pick = seed;
        for (int click = 0; click < 40; ++click) {
            // Mostly bit cells, now and then an identifier just outside their rows.
            uint32_t r = Next(pick);
            int id = static_cast<int>((r & 1 ? 700 : 750) + r % 34 - 1);
            const char* cell = TesselDoubleClick(id);
            std::printf("%d [%s] %s\n", id, cell ? cell : "-", TesselSummary());
        }
        int width = static_cast<int>(200 + Next(pick) % 3800), height = static_cast<int>(150 + Next(pick) % 2200);
        const int32_t* p = TesselPlacement(width, height);
        std::printf("%dx%d %d %d %d %d\n", width, height, p[0], p[1], p[2], p[3]);
    }
    return 0;
}
