#include "tests/calc/cycle_check.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <fstream>
#include <limits>
#include <sstream>

#include "fio/freeread.h"

namespace calc::test {

namespace {

using cplx = std::complex<double>;
constexpr double kPi = 3.14159265358979323846;

// One object's result: s(x) = c2 x^2/2 + c1 x + a0 + sum Re(S_k e^{ikx}), S_k = a_k - i b_k.
struct Result {
    double c2 = 0, c1 = 0, a0 = 0, theta = 0, beta = 0;
    std::vector<cplx> S;
    double etaLo = 0, etaHi = 0; // the object's range at beta, from its header
};

bool readResult(const std::string& file, int nh, Result& r) {
    std::ifstream f(file, std::ios::binary);
    if (!f) return false;
    fio::FreeReader in(f);
    std::array<double, 2> v{};
    if (in.readReals(v) != fio::ReadStatus::Ok) return false;
    r.a0 = v[0];
    for (int k = 1; k <= nh; ++k) {
        if (in.readReals(v) != fio::ReadStatus::Ok) return false;
        r.S.emplace_back(v[0], -v[1]);
    }
    if (in.readReals(v) != fio::ReadStatus::Ok) return false;
    r.c1 = v[0], r.c2 = v[1];
    if (in.readReals(v) != fio::ReadStatus::Ok) return false;
    r.theta = v[0];
    if (in.readReals(v) != fio::ReadStatus::Ok) return false;
    r.beta = v[0];
    return true;
}

double lerp(bool variable, double c, double one, double beta) {
    return variable ? c + beta * (one - c) : c;
}

// The transfer factor of harmonic k of the elastic output at eta: (1 + i g)/((1 - h) + i g).
cplx transfer(int k, double eta, double theta) {
    if (eta <= 1e-5) return 1.0;
    const double h = (k * eta) * (k * eta), g = 2.0 * k * theta * eta;
    return cplx(1.0, g) / cplx(1.0 - h, g);
}

// Derivative p of the polynomial part.
double polynomial(const Result& r, double x, int p) {
    return p == 0   ? r.c2 * x * x / 2 + r.c1 * x + r.a0
           : p == 1 ? r.c2 * x + r.c1
           : p == 2 ? r.c2
                    : 0;
}

// The complex weights of derivative p of q at eta: S_k H_k (ik)^p.
std::vector<cplx> weights(const Result& r, int p, double eta) {
    std::vector<cplx> w;
    for (std::size_t i = 0; i < r.S.size(); ++i) {
        const int k = static_cast<int>(i) + 1;
        w.push_back(r.S[i] * transfer(k, eta, r.theta) * std::pow(cplx(0.0, k), p));
    }
    return w;
}

double evaluate(const std::vector<cplx>& w, const std::vector<cplx>& e) {
    double v = 0;
    for (std::size_t i = 0; i < w.size(); ++i) v += (w[i] * e[i]).real();
    return v;
}

// e^{ikx} for k = 1..n.
std::vector<cplx> phases(double x, std::size_t n) {
    std::vector<cplx> e(n);
    for (std::size_t i = 0; i < n; ++i) e[i] = std::polar(1.0, static_cast<double>(i + 1) * x);
    return e;
}

// Frequency ratios to check between lo and hi: 200 steps and 61 points across each resonance.
std::vector<double> etaSamples(double lo, double hi, int nh, double theta) {
    std::vector<double> s;
    if (hi <= 1e-5 || nh < 1) return {0.0};
    for (int i = 0; i <= 200; ++i) s.push_back(lo + (hi - lo) * i / 200.0);
    const double width = std::max(theta, 0.002);
    for (int k = 1; k <= nh; ++k)
        for (int i = -30; i <= 30; ++i) {
            const double e = (1.0 + width * i / 10.0) / k;
            if (e > lo && e < hi) s.push_back(e);
        }
    return s;
}

} // namespace

bool checkWholeCycle(const Records& rs, const std::string& stem, CycleCheck& out, double step) {
    out = CycleCheck{};
    std::vector<Result> obj;
    for (const Record& h : rs) {
        if (h.IPar[1] != 0 || h.IPar[2] <= 0) continue;
        const auto m = static_cast<std::size_t>(h.IPar[2]);
        if (obj.size() < m) obj.resize(m);
        Result& r = obj[m - 1];
        if (!readResult(stem + ".fk" + std::to_string(m), h.IPar[3], r)) return false;
    }
    if (obj.empty()) return false;
    const double beta = obj[0].beta;
    out.beta = beta;
    for (const Record& h : rs)
        if (h.IPar[1] == 0 && h.IPar[2] > 0) {
            Result& r = obj[static_cast<std::size_t>(h.IPar[2]) - 1];
            r.etaHi = lerp(h.IPar[4] > 0, h.RPar[2], h.RPar[1], beta);
            r.etaLo = std::min(lerp(h.IPar[5] > 0, h.RPar[5], h.RPar[4], beta), r.etaHi);
        }

    for (std::size_t idx = 0; idx < rs.size(); ++idx) {
        const Record& r = rs[idx];
        const int kind = r.IPar[3];
        if (r.IPar[1] <= 0) continue;
        const bool relative = kind >= 40 && kind <= 53 && kind % 10 <= 3;
        const bool spectrum = kind >= 20 && kind <= 24;
        const bool interval = kind / 10 == 1 || kind / 10 == 5;
        const bool point = kind / 10 == 0 || kind / 10 == 4;
        if (!(relative || spectrum || interval || point) || kind % 10 > 4 ||
            (kind % 10 == 4 && kind != 24))
            continue;
        const Result& a = obj.at(static_cast<std::size_t>(r.IPar[1]) - 1);
        const Result* b = relative ? &obj.at(static_cast<std::size_t>(r.IPar[2]) - 1) : nullptr;
        const int p = kind % 10;
        // Bounds and band at beta.
        bool hasLo = r.IPar[6] != -1, hasUp = r.IPar[7] != -1;
        double lo = lerp(r.IPar[6] == 1, r.RPar[6], r.RPar[5], beta);
        double up = lerp(r.IPar[7] == 1, r.RPar[8], r.RPar[7], beta);
        if (spectrum) {
            hasUp = r.IPar[6] != -1, hasLo = true;
            up = lo, lo = 0.0;
        }
        if (!hasLo && !hasUp) continue;
        double phi1 = r.RPar[2], phi2 = r.RPar[2];
        if (interval) {
            phi1 = lerp(r.IPar[4] == 1, r.RPar[2], r.RPar[1], beta);
            phi2 = lerp(r.IPar[5] == 1, r.RPar[4], r.RPar[3], beta);
        }
        const std::size_t n = std::max(a.S.size(), b != nullptr ? b->S.size() : 0);
        auto kinematic = [&](double x, const std::vector<cplx>& e) {
            double v = polynomial(a, x, p) + evaluate(weights(a, p, 0.0), e);
            if (b != nullptr) v -= polynomial(*b, x, p) + evaluate(weights(*b, p, 0.0), e);
            return v;
        };
        double band = up - lo;
        if (!(hasLo && hasUp)) {
            double top = -1e300, bottom = 1e300;
            if (!spectrum)
                for (double phi = 0; phi <= 360.0 + 1e-9; phi += step) {
                    const double x = phi * kPi / 180;
                    const double v = kinematic(x, phases(x, n));
                    top = std::max(top, v), bottom = std::min(bottom, v);
                }
            band = std::max(std::fabs(hasUp ? up : lo), top - bottom);
        }
        band = std::max(band, 1e-12);
        CycleViolation worst;
        worst.record = static_cast<int>(idx) + 1;
        auto note = [&](double v, double phi, double eta) {
            double viol = 0;
            if (hasUp) viol = std::max(viol, v - up);
            if (hasLo) viol = std::max(viol, lo - v);
            if (viol / band > worst.relative) worst = {worst.record, viol / band, phi, eta};
        };

        // Frequency ratios: the straight line from the lower to the upper ends.
        struct Eta {
            double ea, eb;
        };
        std::vector<Eta> etas{{0.0, 0.0}};
        std::vector<double> ts;
        for (const Result* o : {&a, b})
            if (o != nullptr && o->etaHi > 1e-5 && !o->S.empty())
                for (double e :
                     etaSamples(o->etaLo, o->etaHi, static_cast<int>(o->S.size()), o->theta))
                    ts.push_back(o->etaHi > o->etaLo ? (e - o->etaLo) / (o->etaHi - o->etaLo) : 0);
        for (double t : ts)
            etas.push_back(
                {a.etaHi > 1e-5 ? a.etaLo + t * (a.etaHi - a.etaLo) : 0.0,
                 b != nullptr && b->etaHi > 1e-5 ? b->etaLo + t * (b->etaHi - b->etaLo) : 0.0});

        if (spectrum) {
            for (const Eta& e : etas) {
                double sum = 0;
                for (std::size_t i = 0; i < a.S.size(); ++i) {
                    const int k = static_cast<int>(i) + 1;
                    if (kind == 24 && k != r.IPar[2]) continue;
                    const cplx H = transfer(k, e.ea, a.theta);
                    const double kp = kind == 24 ? 1.0 : std::pow(k, kind - 20);
                    sum += kp * ((H.real() + H.imag()) * std::fabs(a.S[i].real()) +
                                 (H.real() - H.imag()) * std::fabs(a.S[i].imag()));
                }
                note(sum, 0.0, e.ea);
            }
        } else {
            std::vector<std::vector<cplx>> wa, wb;
            for (const Eta& e : etas) {
                wa.push_back(weights(a, p, e.ea));
                if (b != nullptr) wb.push_back(weights(*b, p, e.eb));
            }
            const int steps = std::max(1, static_cast<int>(std::ceil((phi2 - phi1) / step)));
            for (int i = 0; i <= steps; ++i) {
                const double phi = point ? phi1 : phi1 + (phi2 - phi1) * i / steps;
                const double x = phi * kPi / 180;
                const std::vector<cplx> e = phases(x, n);
                for (std::size_t j = 0; j < etas.size(); ++j) {
                    double v = polynomial(a, x, p) + evaluate(wa[j], e);
                    if (b != nullptr) v -= polynomial(*b, x, p) + evaluate(wb[j], e);
                    note(v, phi, etas[j].ea > 0 ? etas[j].ea : etas[j].eb);
                }
                if (point) break;
            }
        }
        out.restrictions.push_back(worst);
        if (worst.relative > out.worst.relative) out.worst = worst;
    }
    return true;
}

} // namespace calc::test
