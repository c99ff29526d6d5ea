#include "calc/platform.h"

#include <cstdio>
#include <ctime>
#include <unistd.h>

namespace calc {

double processSeconds() {
    timespec ts{};
    if (clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts) != 0) return 0.0;
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

void terminalBeep() {
    if (isatty(STDERR_FILENO) == 1) {
        std::fputc('\a', stderr);
        std::fflush(stderr);
    }
}

} // namespace calc

#include <charconv>
#include <cstring>
#include <memory>
#include <random>

namespace calc {

std::function<double()> seededGenerator(const char* seedText) {
    unsigned long long seed = kDefaultSeed;
    if (seedText != nullptr) {
        unsigned long long v = 0;
        const char* end = seedText + std::strlen(seedText);
        const auto r = std::from_chars(seedText, end, v);
        if (r.ec == std::errc() && r.ptr == end) seed = v;
    }
    auto rng = std::make_shared<std::mt19937_64>(seed);
    // 53 random bits: the same numbers with every standard library.
    return [rng] { return static_cast<double>((*rng)() >> 11) * 0x1.0p-53; };
}

} // namespace calc
