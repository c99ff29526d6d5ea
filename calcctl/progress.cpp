#include "calcctl/progress.h"

#include <charconv>
#include <cmath>

#include "model/format_real.h"

namespace calcctl {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view t) {
    while (!t.empty() && isBlank(t.front())) t.remove_prefix(1);
    while (!t.empty() && isBlank(t.back())) t.remove_suffix(1);
    return t;
}

// A number at the start of t (after blanks), which then moves past it.
std::optional<double> take(std::string_view& t) {
    while (!t.empty() && isBlank(t.front())) t.remove_prefix(1);
    double v = 0.0;
    const auto r = std::from_chars(t.data(), t.data() + t.size(), v);
    if (r.ec != std::errc() || !std::isfinite(v)) return std::nullopt;
    t.remove_prefix(static_cast<std::size_t>(r.ptr - t.data()));
    return v;
}

} // namespace

ListingProgress::ListingProgress(const model::TProject& project, char decimalSeparator)
    : separator_(decimalSeparator) {
    const double b = project.RPar[2];
    hi_ = b > 0.0 && b < 1.0 ? b : 1.0;
    const int s = project.IPar[6];
    steps_ = s >= 2 && s <= 50 ? s : 10;
}

std::string ListingProgress::number(double v) const {
    return model::displayReal(v, 6, separator_);
}

std::string ListingProgress::startText() const {
    return "Berechnung läuft: β = " + number(0.0) + " und β = " + number(hi_) + " werden geprüft";
}

std::optional<std::string> ListingProgress::line(std::string_view text) {
    text = trimmed(text);
    // " j-te Optimierungsstufe: beta= b"
    constexpr std::string_view kStage = "-te Optimierungsstufe: beta=";
    if (const std::size_t at = text.find(kStage); at != std::string_view::npos) {
        std::string_view head = text.substr(0, at), tail = text.substr(at + kStage.size());
        const auto j = take(head);
        const auto reached = take(tail);
        if (!j || !reached || !trimmed(head).empty() || *j < 1 || *j > steps_) return std::nullopt;
        // Steps the listing skipped (a level with resonance) were not reached.
        for (int k = done_ + 1; k < static_cast<int>(*j); ++k) hi_ = nextLevel();
        const double tried = nextLevel();
        if (std::fabs(*reached - tried) <= 1e-9 * std::max(1.0, tried))
            lo_ = tried;
        else
            hi_ = tried;
        done_ = static_cast<int>(*j);
        const std::string best = "erreicht: β = " + number(*reached);
        if (done_ >= steps_)
            return "Stufe " + std::to_string(steps_) + " von " + std::to_string(steps_) +
                   " abgeschlossen, " + best;
        return "Berechnung läuft: Stufe " + std::to_string(done_ + 1) + " von " +
               std::to_string(steps_) + ", β = " + number(nextLevel()) + " wird geprüft (" + best +
               ")";
    }
    // "t s  p %" of the random search.
    std::string_view t = text;
    const auto seconds = take(t);
    t = trimmed(t);
    if (!seconds || t.empty() || t.front() != 's') return std::nullopt;
    t.remove_prefix(1);
    const auto percent = take(t);
    if (!percent || trimmed(t) != "%") return std::nullopt;
    return "Berechnung läuft: globale Optimierung " +
           model::fixedDecimals(*percent, 1, separator_) + " %";
}

} // namespace calcctl
