// The progress of a run for the status bar, read from the module's listing as it comes. The
// stage search tries beta 0 and beta maximum first, then bisects: after each step the listing
// names the step and the best level reached so far (" 4-te Optimierungsstufe: beta= 0.9375"),
// so the level it tries next follows (a step whose level was reached moves the lower end of
// the bisection up, any other the upper end down). The random search prints its share done
// ("    0.123 s   12.50 %").
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "model/members.h"

namespace calcctl {

class ListingProgress {
public:
    // The bisection of a project: beta maximum (RPar[2] when 0 < value < 1, else 1) and the
    // number of steps (IPar[6] when 2 … 50, else 10), as the module takes them.
    explicit ListingProgress(const model::TProject& project, char decimalSeparator);

    // The text before the first line.
    std::string startText() const;
    // The text after a line of the listing; none when the line tells nothing of the progress.
    std::optional<std::string> line(std::string_view text);

    // The level the bisection tries next (valid after a stage line below the last step).
    double nextLevel() const { return (lo_ + hi_) * 0.5; }

private:
    std::string number(double v) const;

    double lo_ = 0.0, hi_ = 1.0;
    int steps_ = 10;
    int done_ = 0; // bisection steps seen
    char separator_;
};

} // namespace calcctl
