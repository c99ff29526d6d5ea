// Building the linear program of one level: frequency-ratio grids, variable bounds and the
// kinematic and dynamic rows of every restriction.
#include "calc/msmod.h"

#include <algorithm>
#include <cmath>

namespace calc {

namespace {

// A variable quantity at level beta: constant + beta (value at beta 1 - constant).
double atLevel(bool variable, double constant, double atOne, double beta) {
    return variable ? constant + beta * (atOne - constant) : constant;
}

// One object's share of a row.
struct Share {
    int first = 0; // first LP variable of the object, 0-based offset
    int nh = 0, np = 0;
    double theta = 0.0;
};

Share objectShare(const RunInput& in, const LPProgram& lp, int m) {
    const ObjectLayout& o = in.object(m);
    return {static_cast<int>(o.first), o.nh, o.np,
            lp.objects[static_cast<std::size_t>(m - 1)].theta};
}

// Where the coefficients of one row go: a row of the column-major matrix (stride lda) or a
// vector of its own; nowhere while the builder only counts.
struct RowSink {
    double* base = nullptr;
    std::size_t stride = 1;
    void put(int var, double v) const {
        if (base != nullptr) base[static_cast<std::size_t>(var - 1) * stride] += v;
    }
};

// The motion of one object at phi (order p): kinematic, or the dynamic output at eta. sign is
// +1 for the first object of a row and -1 for the second one of a relative row. False on
// resonance.
bool motion(const RowSink& out, const Share& o, double phi, int p, bool dynamic, double eta,
            double sign) {
    const double x = radians(phi);
    int v = o.first;
    if (o.np == 2) out.put(++v, sign * (p == 0 ? x * x / 2.0 : p == 1 ? x : p == 2 ? 1.0 : 0.0));
    if (o.np >= 1) out.put(++v, sign * (p == 0 ? x : p == 1 ? 1.0 : 0.0));
    out.put(++v, sign * (p == 0 ? 1.0 : 0.0));
    out.put(++v, sign * (p == 0 ? -1.0 : 0.0));
    for (int k = 1; k <= o.nh; ++k) {
        const double arg = radians(k * phi + 90.0 * p);
        const double kp = power(k, p), c = std::cos(arg), s = std::sin(arg);
        double ca = c, cb = s;
        if (dynamic) {
            const DynamicFactors d = dynamicFactors(k, eta, o.theta);
            if (std::fabs(d.den) < kEtaZero) return false;
            ca = d.w * c + d.E * s;
            cb = d.w * s - d.E * c;
        }
        out.put(++v, sign * kp * ca);
        out.put(++v, -sign * kp * ca);
        out.put(++v, sign * kp * cb);
        out.put(++v, -sign * kp * cb);
    }
    return true;
}

bool spectrum(const RowSink& out, const Share& o, int kind, int k0, bool dynamic, double eta) {
    const int p = kind == 24 ? 0 : kind - 20;
    for (int k = 1; k <= o.nh; ++k) {
        double ca = 1.0, cb = 1.0;
        if (dynamic) {
            const DynamicFactors d = dynamicFactors(k, eta, o.theta);
            if (std::fabs(d.den) < kEtaZero) return false;
            ca = d.w - d.E;
            cb = d.w + d.E;
        }
        if (kind == 24 && k != k0) continue;
        const double kp = kind == 24 ? 1.0 : power(k, p);
        const int v = o.first + o.np + 4 * k - 1;
        out.put(v, kp * ca);
        out.put(v + 1, kp * ca);
        out.put(v + 2, kp * cb);
        out.put(v + 3, kp * cb);
    }
    return true;
}

class Builder {
public:
    Builder(const RunInput& in, const Records& rs, double beta, LPProgram& lp,
            OutputStream& listing)
        : in_(in), rs_(rs), beta_(beta), lp_(lp), listing_(listing) {}

    ResultCode run();

private:
    ResultCode pass(bool fill);
    ResultCode newRow(int record, double lower, double upper);
    ResultCode sampleRows(int rec, int m, int p, double phi, double lower, double upper);
    ResultCode relativeRows(int rec, const Record& r, int p, double phi, double lower,
                            double upper);
    Share share(int m) const { return objectShare(in_, lp_, m); }
    ResultCode resonance() {
        if (fill_ == false) listing_.line(" Resonanz ! ");
        return ResultCode::Resonance;
    }
    // The frequency ratios the rows of the restriction being filled meet.
    void noteEtas(const EtaGrid& a, const EtaGrid* b) {
        if (current_ == nullptr || !current_->etas.empty()) return;
        for (int j = 1; j <= a.n; ++j)
            current_->etas.push_back({a.eta[static_cast<std::size_t>(j)],
                                      b != nullptr ? b->eta[static_cast<std::size_t>(j)] : 0.0});
    }

    const RunInput& in_;
    const Records& rs_;
    double beta_;
    LPProgram& lp_;
    OutputStream& listing_;
    bool fill_ = false;
    int row_ = 0;       // rows of the program
    int made_ = 0;      // of them made (the others are left out: skip_)
    bool skip_ = false; // the rows of the sample angle at hand are left out
    RowSink sink_;
    RestrictionRows* current_ = nullptr;
};

} // namespace

DynamicFactors dynamicFactors(int k, double eta, double theta) {
    const double h = (k * eta) * (k * eta);
    const double g = 2.0 * k * theta * eta;
    DynamicFactors d;
    d.den = (1.0 - h) * (1.0 - h) + g * g;
    d.w = ((1.0 - h) + g * g) / d.den;
    d.E = 2.0 * k * k * k * theta * eta * eta * eta / d.den;
    return d;
}

ResultCode BERETA(EtaGrid& grid, double eLo, double eHi, double cLo, double cHi, int nh) {
    grid.n = 0;
    if (nh < 1 || eHi < kEtaZero) return ResultCode::Normal;
    const double r = 1.0 / nh;
    auto next = [r](double prev) { return prev + (prev < r ? 0.05 : 0.025); };
    grid.eta[1] = eLo;
    grid.n = 1;
    if (eHi <= eLo) {
        grid.eta[1] = eHi;
        return ResultCode::Normal;
    }
    if (cLo > 0.0 && cLo > eLo) {
        // Up to the constant eta min; at most 49 values, then the step ends quietly.
        for (int added = 0; added < kMaxGrid - 1 && grid.n < kMaxGrid; ++added) {
            double v = next(grid.eta[static_cast<std::size_t>(grid.n)]);
            const bool reached = v >= cLo;
            if (reached) v = cLo;
            grid.eta[static_cast<std::size_t>(++grid.n)] = v;
            if (reached) break;
        }
    }
    auto tooLong = [&grid] {
        grid.n = 0;
        return ResultCode::EtaGridTooLong;
    };
    if (grid.n >= kMaxGrid) return tooLong();
    grid.eta[static_cast<std::size_t>(++grid.n)] = cHi;
    if (eHi <= cHi) return ResultCode::Normal;
    for (int added = 0; added < kMaxGrid - 1; ++added) {
        if (grid.n >= kMaxGrid) return tooLong();
        double v = next(grid.eta[static_cast<std::size_t>(grid.n)]);
        const bool reached = v >= eHi;
        if (reached) v = eHi;
        grid.eta[static_cast<std::size_t>(++grid.n)] = v;
        if (reached) return ResultCode::Normal;
    }
    return tooLong();
}

void ABETA2(EtaGrid& a, EtaGrid& b) {
    if (a.n == b.n) return;
    EtaGrid& s = a.n < b.n ? a : b; // shorter
    const EtaGrid& L = a.n < b.n ? b : a;
    const int nL = L.n;
    if (s.n == 0) {
        // No grid: q = s, a frequency ratio of zero at every point.
        for (int j = 1; j <= nL; ++j) s.eta[static_cast<std::size_t>(j)] = 0.0;
        s.n = nL;
        return;
    }
    const double s1 = s.eta[1], sLast = s.eta[static_cast<std::size_t>(s.n)];
    const double l1 = L.eta[1], lLast = L.eta[static_cast<std::size_t>(nL)];
    for (int j = 2; j <= nL; ++j) {
        const double t =
            lLast != l1 ? (L.eta[static_cast<std::size_t>(j)] - l1) / (lLast - l1) : 0.0;
        s.eta[static_cast<std::size_t>(j)] = s1 + t * (sLast - s1);
    }
    s.n = nL;
}

namespace {

ResultCode Builder::newRow(int record, double lower, double upper) {
    ++row_;
    if (row_ > kMaxRows) {
        if (!fill_) {
            listing_.line(" System zu gross  --->  Abbruch !");
            listing_.line(" Zu viele Forderungen ");
        }
        return ResultCode::TooLarge;
    }
    sink_ = {};
    if (skip_) return ResultCode::Normal;
    ++made_;
    if (fill_) {
        lp_.rowRecord[static_cast<std::size_t>(made_ - 1)] = record;
        lp_.bl[static_cast<std::size_t>(lp_.nvar + made_ - 1)] = lower;
        lp_.bu[static_cast<std::size_t>(lp_.nvar + made_ - 1)] = upper;
        sink_ = {lp_.A.data() + (made_ - 1), static_cast<std::size_t>(lp_.lda)};
    }
    return ResultCode::Normal;
}

// Rows of an absolute point or interval sample: the kinematic row, then one dynamic row per
// frequency ratio of the object's grid.
ResultCode Builder::sampleRows(int rec, int m, int p, double phi, double lower, double upper) {
    const Share o = share(m);
    if (ResultCode c = newRow(rec, lower, upper); c != ResultCode::Normal) return c;
    motion(sink_, o, phi, p, false, 0.0, 1.0);
    const EtaGrid& g = lp_.grids[static_cast<std::size_t>(m - 1)];
    noteEtas(g, nullptr);
    for (int j = 1; j <= g.n; ++j) {
        const double eta = g.eta[static_cast<std::size_t>(j)];
        if (eta <= kEtaZero) continue;
        if (ResultCode c = newRow(rec, lower, upper); c != ResultCode::Normal) return c;
        if (!motion(sink_, o, phi, p, true, eta, 1.0)) return resonance();
    }
    return ResultCode::Normal;
}

ResultCode Builder::relativeRows(int rec, const Record& r, int p, double phi, double lower,
                                 double upper) {
    const int m1 = r.IPar[1], m2 = r.IPar[2];
    const Share o1 = share(m1), o2 = share(m2);
    if (ResultCode c = newRow(rec, lower, upper); c != ResultCode::Normal) return c;
    motion(sink_, o1, phi, p, false, 0.0, 1.0);
    motion(sink_, o2, phi, p, false, 0.0, -1.0);
    EtaGrid& g1 = lp_.grids[static_cast<std::size_t>(m1 - 1)];
    EtaGrid& g2 = lp_.grids[static_cast<std::size_t>(m2 - 1)];
    ABETA2(g1, g2);
    noteEtas(g1, &g2);
    for (int j = 1; j <= g1.n; ++j) {
        const double e1 = g1.eta[static_cast<std::size_t>(j)],
                     e2 = g2.eta[static_cast<std::size_t>(j)];
        if (e1 <= kEtaZero && e2 <= kEtaZero) continue;
        if (ResultCode c = newRow(rec, lower, upper); c != ResultCode::Normal) return c;
        if (!motion(sink_, o1, phi, p, true, e1, 1.0) || !motion(sink_, o2, phi, p, true, e2, -1.0))
            return resonance();
    }
    return ResultCode::Normal;
}

ResultCode Builder::pass(bool fill) {
    fill_ = fill;
    row_ = made_ = 0;
    const int nObj = in_.params.objects;
    // Objects: eta max and min at this level, damping, grid.
    for (int m = 1; m <= nObj; ++m) {
        const Record* h = nullptr;
        for (const Record& r : rs_)
            if (recordType(r) == RecordType::Header && r.IPar[2] == m) {
                h = &r;
                break;
            }
        ObjectBuild& ob = lp_.objects[static_cast<std::size_t>(m - 1)];
        ob.etaMax = atLevel(h->IPar[4] > 0, h->RPar[2], h->RPar[1], beta_);
        const double etaMin = atLevel(h->IPar[5] > 0, h->RPar[5], h->RPar[4], beta_);
        ob.theta = h->RPar[3];
        EtaGrid& g = lp_.grids[static_cast<std::size_t>(m - 1)];
        if (BERETA(g, etaMin, ob.etaMax, h->RPar[5], h->RPar[2], in_.object(m).nh) !=
            ResultCode::Normal) {
            if (!fill) listing_.line(" Zu viele eta-Zwischenwerte ");
            return ResultCode::EtaGridTooLong;
        }
        ob.etaMin = g.n > 0 ? g.eta[1] : etaMin;
    }
    if (fill) {
        // Variable bounds: polynomial coefficients both ways, the split parts non-negative.
        for (int m = 1; m <= nObj; ++m) {
            const ObjectLayout& o = in_.object(m);
            for (int k = 1; k <= 2 + o.np + 4 * o.nh; ++k) {
                const auto v = static_cast<std::size_t>(o.first + k - 1);
                lp_.bl[v] = k <= o.np ? -kBoundLimit : 0.0;
                lp_.bu[v] = kBoundLimit;
            }
        }
    }

    int firstOfAll = 0; // the first row of the restriction at hand among all rows
    for (std::size_t idx = 0; idx < rs_.size(); ++idx) {
        const Record& r = rs_[idx];
        if (recordType(r) != RecordType::Restriction) continue;
        const int rec = static_cast<int>(idx + 1);
        const int kind = r.IPar[3];
        const double phi1 = atLevel(r.IPar[4] == 1, r.RPar[2], r.RPar[1], beta_);
        const double phi2 = atLevel(r.IPar[5] == 1, r.RPar[4], r.RPar[3], beta_);
        const double lowerB = atLevel(r.IPar[6] == 1, r.RPar[6], r.RPar[5], beta_);
        const double upperB = atLevel(r.IPar[7] == 1, r.RPar[8], r.RPar[7], beta_);
        const double lower = r.IPar[6] == -1 ? -kBoundLimit : lowerB;
        const double upper = r.IPar[7] == -1 ? kBoundLimit : upperB;
        const int m = r.IPar[1];
        ResultCode c = ResultCode::Normal;
        const bool builds = isPointKind(kind) || isIntervalKind(kind) || isSpectrumKind(kind) ||
                            isRelPointKind(kind) || isRelIntervalKind(kind);
        if (fill && builds) {
            RestrictionRows rr;
            rr.record = rec;
            rr.kind = kind;
            rr.object = m;
            rr.second = r.IPar[2];
            rr.firstRow = made_;
            firstOfAll = row_;
            rr.phi1 = rr.phi2 = r.RPar[2];
            rr.lower = lower;
            rr.upper = upper;
            rr.hasLower = r.IPar[6] != -1;
            rr.hasUpper = r.IPar[7] != -1;
            if (isSpectrumKind(kind)) {
                rr.lower = 0.0;
                rr.upper = r.IPar[6] == -1 ? kBoundLimit : lowerB;
                rr.hasLower = true;
                rr.hasUpper = r.IPar[6] != -1;
            }
            lp_.restrictions.push_back(rr);
            current_ = &lp_.restrictions.back();
        }

        auto samples = [&](int nhForStep, auto&& rowsAt) {
            const double d = nhForStep < 1 ? 10.0 : 30.0 / nhForStep;
            int n = static_cast<int>((phi2 - phi1) / d);
            if (n < 1) n = 1;
            const double step = (phi2 - phi1) / n;
            if (current_ != nullptr) {
                current_->phi1 = phi1;
                current_->phi2 = phi1 + n * step;
                current_->step = step;
                current_->samples = n + 1;
            }
            const int stride = std::max(1, lp_.sampleStride);
            for (int i = 1; i <= n + 1; ++i) {
                skip_ = !sampleMade(i - 1, n + 1, stride);
                const ResultCode rc = rowsAt(phi1 + (i - 1) * step);
                skip_ = false;
                if (rc != ResultCode::Normal) return rc;
            }
            return ResultCode::Normal;
        };

        if (isPointKind(kind)) {
            c = sampleRows(rec, m, kind, r.RPar[2], lower, upper);
        } else if (isIntervalKind(kind)) {
            c = samples(in_.object(m).nh, [&](double phi) {
                return sampleRows(rec, m, kind - 10, phi, lower, upper);
            });
        } else if (isSpectrumKind(kind)) {
            const double sUpper = r.IPar[6] == -1 ? kBoundLimit : lowerB;
            const Share o = share(m);
            if ((c = newRow(rec, 0.0, sUpper)) == ResultCode::Normal) {
                spectrum(sink_, o, kind, r.IPar[2], false, 0.0);
                const EtaGrid& g = lp_.grids[static_cast<std::size_t>(m - 1)];
                noteEtas(g, nullptr);
                for (int j = 1; j <= g.n && c == ResultCode::Normal; ++j) {
                    const double eta = g.eta[static_cast<std::size_t>(j)];
                    if (eta <= kEtaZero) continue;
                    if ((c = newRow(rec, 0.0, sUpper)) != ResultCode::Normal) break;
                    if (!spectrum(sink_, o, kind, r.IPar[2], true, eta)) c = resonance();
                }
            }
        } else if (isRelPointKind(kind)) {
            c = relativeRows(rec, r, kind - 40, r.RPar[2], lower, upper);
        } else if (isRelIntervalKind(kind)) {
            c = samples(in_.object(m).nh, [&](double phi) {
                return relativeRows(rec, r, kind - 50, phi, lower, upper);
            });
        }
        if (current_ != nullptr) {
            current_->rows = current_->builtRows = made_ - current_->firstRow;
            current_->perSample = (row_ - firstOfAll) / current_->samples;
        }
        current_ = nullptr;
        if (c != ResultCode::Normal) return c;
    }
    return ResultCode::Normal;
}

ResultCode Builder::run() {
    const int nObj = in_.params.objects;
    lp_.objects.assign(static_cast<std::size_t>(nObj), ObjectBuild{});
    lp_.grids.assign(static_cast<std::size_t>(nObj), EtaGrid{});
    lp_.nvar = static_cast<int>(in_.variableCount);
    lp_.nrows = 0;
    lp_.restrictions.clear();
    // First pass: grids, row count and every failure; second pass: the rows themselves.
    if (ResultCode c = pass(false); c != ResultCode::Normal) return c;
    lp_.nrows = made_;
    lp_.allRows = row_;
    lp_.lda = std::max(1, lp_.nrows);
    const auto columns = static_cast<std::size_t>(std::max(1, lp_.nvar));
    if (lp_.spareRows > 0 || lp_.allRows > lp_.nrows) {
        // Address space only: the pages beyond the build's rows are touched when rows come.
        const std::size_t need =
            static_cast<std::size_t>(std::max(1, lp_.allRows) + lp_.spareRows) * columns;
        if (lp_.A.capacity() < need) {
            std::vector<double>().swap(lp_.A);
            lp_.A.reserve(need);
        }
    }
    lp_.A.assign(static_cast<std::size_t>(lp_.lda) * columns, 0.0);
    lp_.bl.assign(static_cast<std::size_t>(lp_.nvar + lp_.nrows), 0.0);
    lp_.bu.assign(static_cast<std::size_t>(lp_.nvar + lp_.nrows), 0.0);
    lp_.rowRecord.assign(static_cast<std::size_t>(lp_.nrows), 0);
    return pass(true);
}

} // namespace

bool restrictionRow(const RunInput& input, const LPProgram& lp, const RowSpec& spec,
                    std::vector<double>& row) {
    const RestrictionRows& r = lp.restrictions[static_cast<std::size_t>(spec.restriction)];
    row.assign(static_cast<std::size_t>(lp.nvar), 0.0);
    const RowSink out{row.data(), 1};
    const Share o = objectShare(input, lp, r.object);
    const int p = r.kind % 10;
    if (isSpectrumKind(r.kind)) return spectrum(out, o, r.kind, r.second, spec.dynamic, spec.eta1);
    const double phi = isPointKind(r.kind) || isRelPointKind(r.kind) ? r.phi1 : spec.phi;
    if (!isRelPointKind(r.kind) && !isRelIntervalKind(r.kind))
        return motion(out, o, phi, p, spec.dynamic, spec.eta1, 1.0);
    const Share o2 = objectShare(input, lp, r.second);
    return motion(out, o, phi, p, spec.dynamic, spec.eta1, 1.0) &&
           motion(out, o2, phi, p, spec.dynamic, spec.eta2, -1.0);
}

bool sampleMade(int sample, int samples, int stride) {
    return sample % std::max(1, stride) == 0 || sample == samples - 1;
}

ResultCode MSMOD(const RunInput& input, const Records& records, double beta, LPProgram& lp,
                 OutputStream& listing) {
    Builder b(input, records, beta, lp, listing);
    return b.run();
}

} // namespace calc
