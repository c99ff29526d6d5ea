// Test main that takes the locale from the environment, as a Qt program does at start-up, so
// that the same tests run under "C" and under a German locale (decimal comma in C stdio).
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    const char* want = std::getenv("LC_ALL");
    if (std::setlocale(LC_ALL, "") == nullptr && want != nullptr && *want != '\0') {
        std::fprintf(stderr, "locale %s is not available on this machine\n", want);
        return 1;
    }
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
