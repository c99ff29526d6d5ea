#include "calc/whole_cycle.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>

#include "calc/curve.h"
#include "calc/msout.h"

namespace calc {

namespace {

constexpr double kSameAngle = 1e-7; // degrees: a maximum this close to a row lies on it
constexpr double kSameEta = 1e-9;
constexpr double kNearEta = 1e-6; // two maxima of one round closer than this are one
constexpr double kMinBand = 1e-12;

// The largest value of sigma * v near phi0 within [lo, hi]: Newton steps on the derivative,
// a quarter of the bracket uphill where the curvature is not negative. Never worse than phi0.
std::pair<double, double> refineMaximum(const Curve& f, double sigma, double lo, double hi,
                                        double phi0) {
    const double v0 = f.value(phi0);
    double phi = phi0;
    for (int it = 0; it < 12; ++it) {
        double d[3];
        f.at(phi, 3, d);
        const double g1 = sigma * d[1], g2 = sigma * d[2];
        double next =
            g2 < 0.0 ? phi - g1 / g2 / radians(1.0) : phi + (g1 > 0.0 ? 0.25 : -0.25) * (hi - lo);
        next = std::clamp(next, lo, hi);
        if (std::fabs(next - phi) < 1e-11) break;
        phi = next;
    }
    const double v = f.value(phi);
    return sigma * v >= sigma * v0 ? std::pair{phi, v} : std::pair{phi0, v0};
}

// n + 1 evenly spaced angles from lo to hi, with the cosine and sine of each (in radians),
// for the values of many curves there.
struct Scan {
    Scan(double lo, double hi, int n) {
        for (int i = 0; i <= n; ++i) {
            const double x = radians(lo + (hi - lo) * i / n);
            x_.push_back(x);
            c_.push_back(std::cos(x));
            s_.push_back(std::sin(x));
        }
    }
    // The values of f at the angles: harmonic after harmonic over all angles, each turned on
    // by the angle from the one before.
    std::vector<double> values(const Curve& f) const { return f.values(x_, c_, s_); }

private:
    std::vector<double> x_, c_, s_;
};

// One restriction of the program and what its evaluation needs.
class Restriction {
public:
    Restriction(const RunInput& in, const LPProgram& lp, const std::vector<Coefficients>& coef,
                const std::vector<double>& x, int index)
        : in_(in), lp_(lp), coef_(coef), x_(x), index_(index),
          r_(lp.restrictions[static_cast<std::size_t>(index)]) {
        relative_ = isRelPointKind(r_.kind) || isRelIntervalKind(r_.kind);
        spectrum_ = isSpectrumKind(r_.kind);
        interval_ = (isIntervalKind(r_.kind) || isRelIntervalKind(r_.kind)) && r_.step > 0.0;
        int nh = in.object(r_.object).nh;
        if (relative_) nh = std::max(nh, in.object(r_.second).nh);
        const double d = nh < 1 ? 10.0 : 30.0 / nh;
        h_ = std::min(r_.step > 0.0 ? r_.step : d, d) / 4.0;
        if (interval_) {
            points_ = std::max(1, static_cast<int>(std::ceil((r_.phi2 - r_.phi1) / h_)));
            scan_.emplace(r_.phi1, r_.phi2, points_);
        }
    }

    bool checked() const {
        if (spectrum_) return r_.hasUpper;
        return r_.hasLower || r_.hasUpper;
    }

    // The band by the shared rule; kinematic peak-to-peak for a single side.
    double band() const {
        if (r_.hasLower && r_.hasUpper) return std::max(r_.upper - r_.lower, kMinBand);
        const double bound = std::fabs(r_.hasUpper ? r_.upper : r_.lower);
        const Curve f = curve(false, 0.0, 0.0);
        const int n = 16 * static_cast<int>(std::max<std::size_t>(1, f.harmonics()));
        const std::vector<double> v = Scan(0.0, 360.0, n).values(f);
        const double step = 360.0 / n;
        double top = -std::numeric_limits<double>::infinity(), bottom = -top;
        for (int i = 0; i <= n; ++i) {
            const double phi = step * i, lo = std::max(0.0, phi - step),
                         hi = std::min(360.0, phi + step);
            const auto iu = static_cast<std::size_t>(i);
            const bool isMax = (i == 0 || v[iu] >= v[iu - 1]) && (i == n || v[iu] >= v[iu + 1]);
            const bool isMin = (i == 0 || v[iu] <= v[iu - 1]) && (i == n || v[iu] <= v[iu + 1]);
            if (isMax) top = std::max(top, refineMaximum(f, 1.0, lo, hi, phi).second);
            if (isMin) bottom = std::min(bottom, refineMaximum(f, -1.0, lo, hi, phi).second);
        }
        return std::max({bound, top - bottom, kMinBand});
    }

    // The quantity of the motion kinds: kinematic, or at the frequency ratios (e1, e2).
    Curve curve(bool dynamic, double e1, double e2) const {
        return restrictionCurve(lp_, r_, coef_, dynamic, e1, e2);
    }

    // The spectrum sum of the row at eta (split variables as the row takes them).
    double spectrumSum(double eta) const {
        const ObjectLayout& o = in_.object(r_.object);
        const int p = r_.kind == 24 ? 0 : r_.kind - 20;
        double sum = 0.0;
        for (int k = 1; k <= o.nh; ++k) {
            if (r_.kind == 24 && k != r_.second) continue;
            const DynamicFactors d = dynamicFactors(k, eta, theta(r_.object));
            const double kp = power(k, p);
            const auto v = static_cast<std::size_t>(o.first + o.np + 4 * k - 2); // 0-based a_k+
            sum += kp * ((d.w - d.E) * (x_[v] + x_[v + 1]) + (d.w + d.E) * (x_[v + 2] + x_[v + 3]));
        }
        return sum;
    }

    // Whether the builder can form a dynamic row at (e1, e2): no harmonic at resonance.
    bool buildable(double e1, double e2) const {
        auto clear = [this](int m, double eta) {
            for (int k = 1; k <= in_.object(m).nh; ++k)
                if (std::fabs(dynamicFactors(k, eta, theta(m)).den) < kEtaZero) return false;
            return true;
        };
        return clear(r_.object, e1) && (!relative_ || clear(r_.second, e2));
    }

    // The violation of value v on side sigma (+1 upper, -1 lower); -inf for an absent side.
    double violation(double v, double sigma) const {
        if (sigma > 0) return r_.hasUpper ? v - r_.upper : -std::numeric_limits<double>::infinity();
        return r_.hasLower ? r_.lower - v : -std::numeric_limits<double>::infinity();
    }

    const RestrictionRows& rows() const { return r_; }
    double theta(int m) const { return lp_.objects[static_cast<std::size_t>(m - 1)].theta; }
    int harmonicsOf(int m) const { return in_.object(m).nh; }
    int index() const { return index_; }
    bool relative() const { return relative_; }
    bool spectrumKind() const { return spectrum_; }
    bool intervalKind() const { return interval_; }
    double spacing() const { return h_; }
    int points() const { return points_; }
    const Scan& scan() const { return *scan_; } // of an interval's angles

private:
    const RunInput& in_;
    const LPProgram& lp_;
    const std::vector<Coefficients>& coef_;
    const std::vector<double>& x_;
    int index_;
    const RestrictionRows& r_;
    bool relative_ = false, spectrum_ = false, interval_ = false;
    double h_ = 1.0;
    int points_ = 0;
    std::optional<Scan> scan_;
};

// A point of the search: where, on which side, and the relative violation there.
struct Probe {
    double phi = 0.0, sigma = 1.0, relative = -std::numeric_limits<double>::infinity();
};

class Search {
public:
    Search(const Restriction& r, double tolerance, const std::vector<RowSpec>& inserted,
           CycleExcess& out)
        : r_(r), tol_(tolerance), inserted_(inserted), out_(out), band_(r.band()) {}

    void run() {
        const RestrictionRows& rr = r_.rows();
        if (r_.intervalKind()) {
            angles(r_.curve(false, 0.0, 0.0), false, 0.0, 0.0);
            for (const auto& e : rr.etas)
                if (hasRow(e)) angles(r_.curve(true, e[0], e[1]), true, e[0], e[1]);
        }
        for (std::size_t j = 0; j + 1 < rr.etas.size(); ++j) gap(rr.etas[j], rr.etas[j + 1]);
    }

private:
    bool hasRow(const std::array<double, 2>& e) const {
        return e[0] > kEtaZero || (r_.relative() && e[1] > kEtaZero);
    }

    // The local maxima of the violation of f over the interval's angles (its ends too, when
    // asked) that may come within `floor` (relative) of a bound; those that may exceed
    // `refineAbove` refined. Between two points of the scan a maximum rises at most by
    // h^2/8 times the curvature bound.
    std::vector<Probe> localMaxima(const Curve& f, bool ends, double floor,
                                   double refineAbove) const {
        std::vector<Probe> out;
        const RestrictionRows& rr = r_.rows();
        const int n = r_.points();
        const std::vector<double> v = r_.scan().values(f);
        const double h = (rr.phi2 - rr.phi1) / n;
        const double rise = f.curvatureBound() * radians(h) * radians(h) / 8.0 / band_;
        for (const double sigma : {1.0, -1.0}) {
            if (r_.violation(0.0, sigma) == -std::numeric_limits<double>::infinity()) continue;
            for (int i = ends ? 0 : 1; i <= (ends ? n : n - 1); ++i) {
                const auto iu = static_cast<std::size_t>(i);
                if ((i > 0 && sigma * v[iu] < sigma * v[iu - 1]) ||
                    (i < n && sigma * v[iu] < sigma * v[iu + 1]))
                    continue;
                double rel = r_.violation(v[iu], sigma) / band_;
                if (rel + rise < floor) continue;
                double phi = rr.phi1 + h * i;
                if (rel + rise > refineAbove) {
                    const auto [at, value] = refineMaximum(f, sigma, std::max(rr.phi1, phi - h),
                                                           std::min(rr.phi2, phi + h), phi);
                    phi = at;
                    rel = r_.violation(value, sigma) / band_;
                }
                out.push_back({phi, sigma, rel});
            }
        }
        return out;
    }

    // Every local maximum between the sample angles at one frequency ratio (or kinematic).
    void angles(const Curve& f, bool dynamic, double e1, double e2) {
        for (const Probe& q : localMaxima(f, false, -0.25, tol_))
            note(RowSpec{r_.index(), q.phi, dynamic, e1, e2}, q.relative);
    }

    // The local maxima of the violation at the frequency ratios (e1, e2) that may come within
    // a quarter of the band of a bound: over the angles of an interval (its ends included, not
    // refined), at the angle of a point kind, of the spectrum sum; each on its side.
    std::vector<Probe> branches(double e1, double e2) const {
        if (r_.intervalKind())
            return localMaxima(r_.curve(true, e1, e2), true, -0.25,
                               std::numeric_limits<double>::infinity());
        std::vector<Probe> out;
        for (const double sigma : {1.0, -1.0}) {
            const Probe q = track(e1, e2, Probe{r_.rows().phi1, sigma, 0.0});
            if (q.relative > -0.25) out.push_back(q);
        }
        return out;
    }

    // The maximum `near` (its side, and for an interval its angle) followed to (e1, e2).
    Probe track(double e1, double e2, const Probe& near) const {
        if (!r_.buildable(e1, e2)) return Probe{};
        if (r_.spectrumKind())
            return {near.phi, near.sigma, r_.violation(r_.spectrumSum(e1), near.sigma) / band_};
        const Curve f = r_.curve(true, e1, e2);
        const RestrictionRows& rr = r_.rows();
        if (!r_.intervalKind())
            return {rr.phi1, near.sigma, r_.violation(f.value(rr.phi1), near.sigma) / band_};
        const double h = 2.0 * r_.spacing();
        const auto [at, value] = refineMaximum(f, near.sigma, std::max(rr.phi1, near.phi - h),
                                               std::min(rr.phi2, near.phi + h), near.phi);
        return {at, near.sigma, r_.violation(value, near.sigma) / band_};
    }

    // Between two neighbouring grid values: from points along the way (evenly spaced, and
    // around each resonance of an object between them), every maximum near a bound is
    // followed over the frequency ratio towards the neighbouring points where it rises, to its
    // largest value (golden-section search).
    void gap(const std::array<double, 2>& a, const std::array<double, 2>& b) {
        const double span = std::max(std::fabs(b[0] - a[0]), std::fabs(b[1] - a[1]));
        if (span <= kSameEta) return;
        auto pairAt = [&](double t) {
            return std::array<double, 2>{a[0] + t * (b[0] - a[0]), a[1] + t * (b[1] - a[1])};
        };
        auto follow = [&](double t, const Probe& near) {
            const auto e = pairAt(t);
            return track(e[0], e[1], near);
        };
        std::vector<double> ts{0.0, 1.0};
        const int uniform = std::clamp(static_cast<int>(std::ceil(span / 0.01)), 1, 8);
        for (int i = 1; i <= uniform; ++i) ts.push_back(static_cast<double>(i) / (uniform + 1));
        for (std::size_t o = 0; o < (r_.relative() ? 2u : 1u); ++o) {
            if (std::fabs(b[o] - a[o]) <= kSameEta) continue;
            const int m = o == 0 ? r_.rows().object : r_.rows().second;
            const double theta = std::max(r_.theta(m), 0.002);
            for (int k = 1; k <= r_.harmonicsOf(m); ++k)
                for (const double c : {-2.0, -1.0, -0.5, 0.0, 0.5, 1.0, 2.0}) {
                    const double t = ((1.0 + c * theta) / k - a[o]) / (b[o] - a[o]);
                    if (t > 0.0 && t < 1.0) ts.push_back(t);
                }
        }
        std::sort(ts.begin(), ts.end());
        ts.erase(std::unique(ts.begin(), ts.end()), ts.end());
        for (std::size_t i = 0; i < ts.size(); ++i) {
            const auto e = pairAt(ts[i]);
            if (!r_.buildable(e[0], e[1])) continue;
            for (const Probe& found : branches(e[0], e[1])) {
                const Probe start = follow(ts[i], found); // refined
                bool rises = false;
                for (const int dir : {1, -1}) {
                    if ((dir < 0 && i == 0) || (dir > 0 && i + 1 == ts.size())) continue;
                    const double other = ts[i + static_cast<std::size_t>(dir > 0 ? 1 : -1)];
                    const double v0 = start.relative;
                    const double vs = follow(ts[i] + 1e-3 * (other - ts[i]), start).relative;
                    if (!(vs > v0)) continue;
                    rises = true;
                    // A quadratic through this point, its slope and the neighbour: when even its
                    // largest value stays well below the tolerance, so does the maximum.
                    const double v1 = follow(other, start).relative;
                    const double slope = (vs - v0) / 1e-3, curv = v1 - v0 - slope;
                    const double u = curv < 0.0 ? std::clamp(-slope / (2.0 * curv), 0.0, 1.0) : 1.0;
                    if (std::max(v0 + slope * u + curv * u * u, v1) < 0.5 * tol_) continue;
                    double bestT = ts[i];
                    const Probe best = climb(follow, start, ts[i], other, bestT);
                    // A maximum at the neighbouring point (the search ends within its last
                    // bracket, about 1e-5 of the piece, of it) is that point's own.
                    if (std::fabs(bestT - other) < 1e-4 * std::fabs(other - ts[i])) continue;
                    const auto eb = pairAt(bestT);
                    note(RowSpec{r_.index(), best.phi, true, eb[0], eb[1]}, best.relative);
                }
                // A maximum at a point between the grid values.
                if (!rises && i > 0 && i + 1 < ts.size())
                    note(RowSpec{r_.index(), start.phi, true, e[0], e[1]}, start.relative);
            }
        }
    }

    // The largest value of the maximum `start` at t0, followed over t towards t1 (golden-section
    // search between them); its t in bestT.
    template <class Follow>
    static Probe climb(const Follow& follow, const Probe& start, double t0, double t1,
                       double& bestT) {
        const double g = 0.5 * (3.0 - std::sqrt(5.0));
        double lo = std::min(t0, t1), hi = std::max(t0, t1);
        Probe best = start;
        double u1 = lo + g * (hi - lo), u2 = hi - g * (hi - lo);
        Probe q1 = follow(u1, best), q2 = follow(u2, best);
        for (int it = 0; it < 24; ++it) {
            if (q1.relative >= q2.relative) {
                hi = u2, u2 = u1, q2 = q1;
                u1 = lo + g * (hi - lo);
                q1 = follow(u1, best);
            } else {
                lo = u1, u1 = u2, q1 = q2;
                u2 = hi - g * (hi - lo);
                q2 = follow(u2, best);
            }
            if (q1.relative > best.relative) best = q1, bestT = u1;
            if (q2.relative > best.relative) best = q2, bestT = u2;
        }
        return best;
    }

    // A maximum found: counted, and kept when it lies above the tolerance and off the rows.
    void note(const RowSpec& at, double relative) {
        out_.largest = std::max(out_.largest, relative);
        if (!(relative > tol_) || onRow(at)) return;
        // The same maximum reached from two sides: the larger value stands.
        for (Excess& e : out_.above)
            if (e.at.restriction == at.restriction && e.at.dynamic == at.dynamic &&
                std::fabs(e.at.phi - at.phi) < 0.5 * r_.spacing() &&
                std::fabs(e.at.eta1 - at.eta1) < kNearEta &&
                std::fabs(e.at.eta2 - at.eta2) < kNearEta) {
                if (relative > e.relative) e = {at, relative};
                return;
            }
        out_.above.push_back({at, relative});
    }

    bool onRow(const RowSpec& s) const {
        const RestrictionRows& rr = r_.rows();
        auto same = [&](const RowSpec& t) {
            return t.restriction == s.restriction && t.dynamic == s.dynamic &&
                   std::fabs(t.phi - s.phi) < kSameAngle &&
                   (!s.dynamic || (std::fabs(t.eta1 - s.eta1) < kSameEta &&
                                   std::fabs(t.eta2 - s.eta2) < kSameEta));
        };
        for (const RowSpec& t : inserted_)
            if (same(t)) return true;
        // A sample row: at a sample angle (any angle of a point or spectrum kind), kinematic or
        // at a grid value.
        bool gridEta = !s.dynamic;
        for (const auto& e : rr.etas)
            gridEta = gridEta || (hasRow(e) && std::fabs(e[0] - s.eta1) < kSameEta &&
                                  std::fabs(e[1] - s.eta2) < kSameEta);
        if (!gridEta) return false;
        if (!r_.intervalKind()) return true;
        const double i = std::round((s.phi - rr.phi1) / rr.step);
        return std::fabs(rr.phi1 + i * rr.step - s.phi) < kSameAngle;
    }

    const Restriction& r_;
    double tol_;
    const std::vector<RowSpec>& inserted_;
    CycleExcess& out_;
    double band_;
};

} // namespace

CycleExcess wholeCycleExcess(const RunInput& input, const LPProgram& lp,
                             const std::vector<double>& x, double tolerance,
                             const std::vector<RowSpec>& inserted) {
    CycleExcess out;
    std::vector<Coefficients> coef;
    for (int m = 1; m <= input.params.objects; ++m)
        coef.push_back(objectCoefficients(x, input.object(m)));
    for (std::size_t i = 0; i < lp.restrictions.size(); ++i) {
        const Restriction r(input, lp, coef, x, static_cast<int>(i));
        if (!r.checked()) continue;
        Search(r, tolerance, inserted, out).run();
    }
    std::stable_sort(out.above.begin(), out.above.end(),
                     [](const Excess& a, const Excess& b) { return a.relative > b.relative; });
    return out;
}

std::optional<NewRow> rowBetweenSamples(const RunInput& input, const LPProgram& lp,
                                        const RowSpec& spec) {
    NewRow row;
    row.spec = spec;
    if (!restrictionRow(input, lp, spec, row.coefficients)) return std::nullopt;
    const RestrictionRows& r = lp.restrictions[static_cast<std::size_t>(spec.restriction)];
    row.after = r.firstRow + r.rows;
    row.lower = r.lower;
    row.upper = r.upper;
    return row;
}

std::vector<NewRow> WholeCycleRows::violatedRows(const LPProgram& lp,
                                                 const std::vector<double>& x) {
    const CycleExcess e = wholeCycleExcess(input_, lp, x, tolerance_, inserted_);
    largest_ = e.largest;
    ++evaluations_;
    std::vector<NewRow> rows;
    for (const Excess& ex : e.above) {
        std::optional<NewRow> row = rowBetweenSamples(input_, lp, ex.at);
        if (!row) continue;
        row->excess = ex.relative;
        rows.push_back(std::move(*row));
    }
    return rows;
}

void WholeCycleRows::accepted(const std::vector<NewRow>& rows) {
    for (const NewRow& r : rows) inserted_.push_back(r.spec);
}

} // namespace calc
