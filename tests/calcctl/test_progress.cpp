// The progress of a run read from the module's listing: the level the bisection tries next.
#include <charconv>
#include <cstring>
#include <string_view>

#include <gtest/gtest.h>

#include "calcctl/progress.h"

namespace calcctl {
namespace {

// The listing of examples/demo.kq4 (ten bisection steps up to beta 1) as the module wrote it:
// every level it reached was the one announced as tried after the step before, and a level
// announced but not reached is never announced again above (the bisection went below it).
TEST(ListingProgress, NextLevelIsTheOneTheModuleTries) {
    const char* const listing[] = {" 1-te Optimierungsstufe: beta= 0.5",
                                   "                         Prozesszeit:  0.010677114000000001 s",
                                   " 2-te Optimierungsstufe: beta= 0.75",
                                   " 3-te Optimierungsstufe: beta= 0.875",
                                   " 4-te Optimierungsstufe: beta= 0.9375",
                                   " 5-te Optimierungsstufe: beta= 0.96875",
                                   " 6-te Optimierungsstufe: beta= 0.96875",
                                   " 7-te Optimierungsstufe: beta= 0.96875",
                                   " 8-te Optimierungsstufe: beta= 0.97265625",
                                   " 9-te Optimierungsstufe: beta= 0.97265625",
                                   " 10-te Optimierungsstufe: beta= 0.9736328125"};
    ListingProgress progress(model::TProject{}, ',');
    double announced = 0.5, reached = 0.0;
    std::vector<double> refused;
    for (const char* line : listing) {
        const auto text = progress.line(line);
        const char* value = std::strchr(line, '=');
        ASSERT_EQ(text.has_value(), value != nullptr) << line;
        if (value == nullptr) continue;
        double now = 0.0;
        std::from_chars(value + 2, line + std::strlen(line), now);
        if (now != reached)
            EXPECT_EQ(now, announced) << line;
        else
            refused.push_back(announced);
        reached = now;
        announced = progress.nextLevel();
        for (double r : refused) EXPECT_LT(announced, r) << line;
        EXPECT_NE(text->find(','), std::string::npos) << *text; // the decimal separator
    }
    EXPECT_EQ(refused.size(), 3u); // steps 6, 7 and 9
}

// A step the listing skips (its level met a resonance) lowers the upper end; beta maximum and
// the step count come from the project; the random search reports its share; other lines are
// no progress.
TEST(ListingProgress, SkippedStepsRandomSearchAndOtherLines) {
    model::TProject p;
    p.RPar[2] = 0.8;
    p.IPar[6] = 4;
    ListingProgress progress(p, '.');
    ASSERT_TRUE(progress.line(" 2-te Optimierungsstufe: beta= 0.2"));
    EXPECT_DOUBLE_EQ(progress.nextLevel(), 0.3); // 0.4 refused, 0.2 reached
    EXPECT_NE(progress.line("    0.123 s   12.50 %").value_or("").find("12.5 %"),
              std::string::npos);
    // A share too long for its text is not shown as digits.
    EXPECT_EQ(progress.line("    0.1 s   1e300 %").value_or(""),
              "Berechnung läuft: globale Optimierung ? %");
    for (const char* other :
         {"", " Maximalforderungen erfuellbar", " 5-te Optimierungsstufe: beta= 1",
          " 3-te Optimierungsstufe: beta= eins", "   0.1 s   12.50", "12 %"})
        EXPECT_FALSE(progress.line(other)) << other;
}

} // namespace
} // namespace calcctl
