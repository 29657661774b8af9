// The guide's ready exercises against the core: each listing and key in docs/guide.md is what the core gives
// for its seed, so that a change to the generator or to the guide cannot leave a wrong key behind.
#include "exercise.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

bool IsHeading(const std::string& line)
{
    std::string::size_type text = line.find_first_not_of('#');
    return text > 0 && text != std::string::npos && line[text] == ' ';
}

// Without the blank lines around it.
std::string Trimmed(const std::string& text)
{
    std::string::size_type first = text.find_first_not_of('\n');
    return first == std::string::npos ? "" : text.substr(first, text.find_last_not_of('\n') + 1 - first);
}

TEST(Guide, EveryExerciseIsTheListingAndKeyOfItsSeed)
{
    std::ifstream guide(TESSEL_GUIDE);
    ASSERT_TRUE(guide) << "cannot read " << TESSEL_GUIDE;
    // An exercise runs from its heading to the next heading; the text under the heading is compared whole.
    const std::string heading = "### `tessel.html#tick=";
    std::string line, seed, body;
    unsigned exercises = 0;
    auto compare = [&] {
        if (seed.empty())
            return;
        std::string core = Trimmed(ExerciseText(static_cast<uint32_t>(std::strtoul(seed.c_str(), nullptr, 10))));
        std::string written = Trimmed(body);
        EXPECT_EQ(written, core) << "the guide's exercise of tick=" << seed << " (written) is not what the core gives";
        ++exercises;
        seed.clear();
    };
    while (std::getline(guide, line)) {
        if (IsHeading(line)) {
            compare();
            if (line.rfind(heading, 0) == 0)
                seed = line.substr(heading.size(), line.find('`', heading.size()) - heading.size());
            body.clear();
        } else {
            body += line + "\n";
        }
    }
    compare();
    EXPECT_GE(exercises, 1u) << "no heading " << heading << "N`" << " in " << TESSEL_GUIDE;
}

}
