// Prints the listing and the key of each seed given, as the guide's exercises print them.
// usage: tessel_keys N [N...]   N as in tessel.html#tick=N, 0 to 4294967295
#include "exercise.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: tessel_keys N [N...]  (N as in tessel.html#tick=N, 0 to 4294967295)\n");
        return 2;
    }
    for (int n = 1; n < argc; ++n) {
        std::string digits = argv[n];
        unsigned long long seed = std::strtoull(argv[n], nullptr, 10);
        if (digits.empty() || digits.size() > 10 || digits.find_first_not_of("0123456789") != std::string::npos ||
            seed > 0xFFFFFFFFull) {
            std::fprintf(stderr, "tessel_keys: %s is no number from 0 to 4294967295\n", argv[n]);
            return 2;
        }
        std::printf("%s### `tessel.html#tick=%s`\n\n%s", n > 1 ? "\n" : "", digits.c_str(),
                    ExerciseText(static_cast<uint32_t>(seed)).c_str());
    }
    return 0;
}
