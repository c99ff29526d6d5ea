#include <algorithm>
#include <cmath>
#include <functional>

#include "model/format_real.h"
#include "model/members.h"
#include "model/record_io.h"

namespace model {

namespace {

std::string F4(double x) {
    return FormatReal(x, 4);
}

// Every search of one actual value evaluates the motion at most this often: only absurd
// angles (a huge interval, a vanishing step) get there, and the search then ends as if it had
// run out of the revolution.
constexpr long kMaxSteps = 50000;

struct Bounds {
    bool hasLower, hasUpper;
    double lower, upper;
    bool inside(double v) const { return !(hasLower && v < lower) && !(hasUpper && v > upper); }
    bool strictlyInside(double v) const {
        return (!hasLower || v > lower) && (!hasUpper || v < upper);
    }
};

// The outermost angle from start in the direction of step (-h: downwards, +h: upwards) up to
// which f stays inside the bounds; limit is the angle beyond which the motion counts as inside
// everywhere, giving the value `none`.
double boundarySearch(const std::function<double(double)>& f, const Bounds& b, double start,
                      double h, double step, double limit, double none, double fallback) {
    double a = start;
    long evaluations = 0;
    while (evaluations < kMaxSteps) {
        a += step;
        if ((step < 0 && a < limit) || (step > 0 && a > limit)) return none;
        ++evaluations;
        if (!b.inside(f(a))) {
            const double back = (-2.0 / 3.0) * step;
            bool inside = false;
            while (evaluations < kMaxSteps && a > -1080.0 && a < 1440.0) {
                a += back;
                ++evaluations;
                if (b.strictlyInside(f(a))) {
                    inside = true;
                    break;
                }
            }
            if (!inside) return evaluations >= kMaxSteps ? none : fallback; // never inside
            step = (-2.0 / 3.0) * back;
        }
        if (std::fabs(step) < h * 1e-4) return a;
    }
    return none;
}

// Moves from x while f improves (better(new, old)), shrinking and reversing the step.
void refine(const std::function<double(double)>& f, double lo, double hi, double h, double& x,
            double& best, bool wantMax) {
    double step = 2.0 * h / 3.0;
    long evaluations = 0;
    while (std::fabs(step) >= h * 1e-4 && evaluations < kMaxSteps) {
        while (evaluations < kMaxSteps) {
            const double nx = x + step;
            if (nx < lo || nx > hi || nx == x) break;
            const double v = f(nx);
            ++evaluations;
            if (wantMax ? !(v > best) : !(v < best)) break;
            x = nx;
            best = v;
        }
        step *= -2.0 / 3.0;
    }
}

void intervalValues(const std::function<double(double)>& f, const Bounds& b, double p1, double p2,
                    int K, std::array<double, 5>& out) {
    double h = (p2 - p1) * 0.05;
    if (K > 0) h = std::min(h, (360.0 / K) * 0.05);
    if (!(h > 0.0) || !std::isfinite(h) || !std::isfinite(p1) || !std::isfinite(p2)) return;
    out[1] = boundarySearch(f, b, p1 + h / 2, h, -h, -360.0, 0.0, p1);
    out[2] = boundarySearch(f, b, p2 - h / 2, h, h, 720.0, 360.0, p2);

    // Sampled extremes over p1 .. p2 (at most kMaxSteps samples), then refined.
    const double hs = std::max(h, (p2 - p1) / kMaxSteps);
    double x = p1, v = f(x);
    double xMin = x, vMin = v, xMax = x, vMax = v;
    while (x < p2) {
        x = std::min(x + hs, p2);
        v = f(x);
        if (v < vMin) vMin = v, xMin = x;
        if (v > vMax) vMax = v, xMax = x;
    }
    if (xMin > p1 && xMin < p2) refine(f, p1, p2, h, xMin, vMin, false);
    if (xMax > p1 && xMax < p2) refine(f, p1, p2, h, xMax, vMax, true);
    out[3] = vMin;
    out[4] = vMax;
}

} // namespace

void TRestr::UpdateCaption() {
    const int k = code();
    const std::string m = std::to_string(order());
    const std::string lower = IPar[6] >= 0 ? F4(RPar[6]) : "";
    const std::string upper = IPar[7] >= 0 ? F4(RPar[8]) : "";
    std::string text;
    if ((k >= 0 && k <= 3) || (k >= 40 && k <= 43)) {
        text = "[s" + m + "]: " + F4(RPar[2]) + " -> (" + lower + " ... " + upper + ")";
    } else if ((k >= 10 && k <= 13) || (k >= 50 && k <= 53)) {
        text = "[s" + m + "]: (" + (IPar[4] >= 0 ? F4(RPar[2]) : "") + " ... " +
               (IPar[5] >= 0 ? F4(RPar[4]) : "") + ") -> (" + lower + " ... " + upper + ")";
    } else if (k >= 20 && k <= 23) {
        text = "[S" + m + "]: Sum -> ... " + F4(RPar[6]);
    } else if (k == 24) {
        text = "[h" + std::to_string(IPar[2]) + "]: nrm -> ... " + F4(RPar[6]);
    }
    const bool valid = CheckValid();
    if (IPar[1] < 0)
        text = "K " + text;
    else if (!valid)
        text = "! " + text;
    if (text.size() > 255) text.resize(255);
    Caption = text;
    if (isSpectrumKind(k)) {
        SortKey = static_cast<std::int64_t>(k) * 100000 + 10000;
    } else {
        double r = std::nearbyint(RPar[2] / 360.0 * 10000.0);
        if (!std::isfinite(r)) r = 0.0;
        r = std::clamp(r, -1e15, 1e15);
        SortKey = static_cast<std::int64_t>(k) * 100000 + static_cast<std::int64_t>(r);
    }
}

bool TRestr::CheckValid() {
    const int k = code();
    if (isSpectrumKind(k)) return Valid = (IPar[6] == 0 || RPar[6] > RPar[5]);
    const bool interval = isIntervalKind(k);
    const double p1 = RPar[2], p2 = RPar[4];
    bool ok = true;
    if (interval) {
        ok = (IPar[4] == 0 || p1 > RPar[1]) && (IPar[5] == 0 || RPar[3] > p2);
        if (IPar[4] == 1) ok = ok && RPar[1] <= p2;
        if (IPar[5] == 1) ok = ok && RPar[3] >= p1;
        ok = ok && p2 > p1;
    }
    ok = ok && (IPar[6] == -1 || IPar[6] == 0 || RPar[5] > RPar[6]) &&
         (IPar[7] == -1 || IPar[7] == 0 || RPar[8] > RPar[7]);
    if (IPar[6] >= 0 && IPar[7] >= 0) {
        if (IPar[6] == 1) ok = ok && RPar[5] <= RPar[8];
        if (IPar[7] == 1) ok = ok && RPar[7] >= RPar[6];
        ok = ok && (interval ? RPar[8] > RPar[6] : RPar[8] >= RPar[6]);
    }
    if (Global) {
        ok = ok && RPar[9] <= p1 && p1 <= RPar[10];
        if (interval) ok = ok && RPar[11] <= p2 && p2 <= RPar[12] && RPar[10] <= RPar[11];
    }
    if (isRelativeKind(k)) ok = ok && IPar[1] != IPar[2];
    return Valid = ok;
}

std::optional<Message> TRestr::CopyTo(TNLMember& dest) const {
    auto* d = dynamic_cast<TRestr*>(&dest);
    if (d == nullptr) return errorMessage("Fehler");
    d->Global = Global;
    d->GlobalPar = GlobalPar;
    d->ActualS = ActualS;
    d->ActualQ = ActualQ;
    CopyBaseTo(dest);
    return std::nullopt;
}

void TRestr::WriteRecord(RecordWriter& w) const {
    TNLMember::WriteRecord(w);
    if (Global) {
        for (int i = 1; i <= 12; ++i) w.blanksReal23(GlobalPar[static_cast<std::size_t>(i)]);
        w.endLine();
    }
}

bool TRestr::ReadRecord(RecordReader& r) {
    if (!TNLMember::ReadRecord(r)) return false;
    Global = IPar[8] > 0;
    if (Global) {
        for (int i = 1; i <= 12; ++i)
            if (!r.readReal(GlobalPar[static_cast<std::size_t>(i)])) return false;
        r.skipLine();
    } else {
        GlobalPar = RPar;
    }
    return true;
}

void TRestr::ComputeActualValues(const TPaintObj& motion) {
    const int k = code();
    const int m = order();
    ActualS = {};
    ActualQ = {};
    auto fs = [&](double phi) { return motion.Calc_s(m, phi); };
    auto fq = [&](double phi) { return motion.Calc_q(m, phi); };
    if (isPointKind(k)) {
        ActualS[1] = ActualS[2] = ActualQ[1] = ActualQ[2] = RPar[2];
        ActualS[3] = ActualS[4] = fs(RPar[2]);
        ActualQ[3] = ActualQ[4] = fq(RPar[2]);
    } else if (isIntervalKind(k)) {
        const Bounds b{IPar[6] >= 0, IPar[7] >= 0, RPar[6], RPar[8]};
        const int K = motion.IPar[3] > 0 ? motion.IPar[3] : 0;
        intervalValues(fs, b, RPar[2], RPar[4], K, ActualS);
        intervalValues(fq, b, RPar[2], RPar[4], K, ActualQ);
    } else if (k >= 20 && k <= 23) {
        double ss = 0.0, sq = 0.0;
        for (std::int32_t h = 1; h <= motion.sSC.harmonics(); ++h)
            ss += std::fabs(motion.s_sin(m, h)) + std::fabs(motion.s_cos(m, h));
        for (std::int32_t h = 1; h <= motion.qSC.harmonics(); ++h)
            sq += std::fabs(motion.q_sin(m, h)) + std::fabs(motion.q_cos(m, h));
        ActualS[4] = ss;
        ActualQ[4] = sq;
    } else if (k == 24) {
        const int n = IPar[2];
        if (n >= 1) {
            ActualS[4] = std::fabs(motion.s_sin(0, n)) + std::fabs(motion.s_cos(0, n));
            ActualQ[4] = std::fabs(motion.q_sin(0, n)) + std::fabs(motion.q_cos(0, n));
        }
    }
    for (std::size_t i = 1; i <= 4; ++i) {
        if (std::fabs(ActualS[i]) < 1.0e-6) ActualS[i] = 0.0;
        if (std::fabs(ActualQ[i]) < 1.0e-6) ActualQ[i] = 0.0;
    }
}

} // namespace model
