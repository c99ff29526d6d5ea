// A restriction's quantity as a trigonometric sum: the motion of one or two objects (or their
// elastic outputs at a frequency ratio) of a solution, and its values at many angles.
#pragma once

#include <cmath>
#include <vector>

#include "calc/msmod.h"
#include "calc/msout.h"

namespace calc {

// A trigonometric sum with a polynomial part, as a function of phi in degrees; its derivatives
// (per radian) from order p on. The harmonics are kept multiplied by k^p.
class Curve {
public:
    explicit Curve(int p) : p_(p) {}
    // Adds sign (+1 or -1) times an object's motion: its coefficients, or those of its elastic
    // output at eta with damping theta (q).
    void add(const Coefficients& c, double sign, bool dynamic = false, double eta = 0.0,
             double theta = 0.0) {
        if (dynamic) return add(outputCoefficients(c, eta, theta), sign);
        c2_ += sign * c.c2, c1_ += sign * c.c1, a0_ += sign * c.a0;
        if (a_.size() < c.a.size()) a_.resize(c.a.size(), 0.0), b_.resize(c.a.size(), 0.0);
        for (std::size_t i = 0; i < c.a.size(); ++i) {
            const double kp = sign * power(static_cast<int>(i + 1), p_);
            a_[i] += kp * c.a[i];
            b_[i] += kp * c.b[i];
        }
    }

    // A bound of the second derivative of the quantity (order p + 2) over all angles.
    double curvatureBound() const {
        double bound = p_ == 0 ? std::fabs(c2_) : 0.0;
        for (std::size_t i = 0; i < a_.size(); ++i)
            bound += static_cast<double>((i + 1) * (i + 1)) * std::hypot(a_[i], b_[i]);
        return bound;
    }

    // Derivatives p, p+1, p+2 at phi (count of them, at most 3) into out.
    void at(double phi, int count, double* out) const {
        const double x = radians(phi);
        for (int i = 0; i < count; ++i) out[i] = polynomial(p_ + i, x);
        const double c = std::cos(x), s = std::sin(x);
        double ck = 1.0, sk = 0.0;
        for (std::size_t i = 0; i < a_.size(); ++i) {
            const double next = ck * c - sk * s;
            sk = sk * c + ck * s;
            ck = next;
            // The derivative of order d turns (cos kx, sin kx) by d quarter turns.
            const double u = a_[i] * ck + b_[i] * sk, w = b_[i] * ck - a_[i] * sk;
            const double k = static_cast<double>(i + 1);
            double kq = 1.0;
            for (int j = 0; j < count; ++j) {
                const int d = (p_ + j) % 4;
                out[j] += kq * (d == 0 ? u : d == 1 ? w : d == 2 ? -u : -w);
                kq *= k;
            }
        }
    }
    double value(double phi) const {
        double v = 0.0;
        at(phi, 1, &v);
        return v;
    }
    // The values (order p) at the angles x (radians) whose cosines and sines are c and s.
    std::vector<double> values(const std::vector<double>& x, const std::vector<double>& c,
                               const std::vector<double>& s) const {
        const std::size_t n = x.size();
        std::vector<double> v(n), ck(n, 1.0), sk(n, 0.0);
        for (std::size_t j = 0; j < n; ++j) v[j] = polynomial(p_, x[j]);
        const int d = p_ % 4;
        for (std::size_t i = 0; i < a_.size(); ++i) {
            const double a = a_[i], b = b_[i];
            for (std::size_t j = 0; j < n; ++j) {
                const double next = ck[j] * c[j] - sk[j] * s[j];
                sk[j] = sk[j] * c[j] + ck[j] * s[j];
                ck[j] = next;
                const double u = a * ck[j] + b * sk[j], w = b * ck[j] - a * sk[j];
                v[j] += d == 0 ? u : d == 1 ? w : d == 2 ? -u : -w;
            }
        }
        return v;
    }
    std::size_t harmonics() const { return a_.size(); }

private:
    // The derivative of order d of the polynomial part at x (radians).
    double polynomial(int d, double x) const {
        return d == 0   ? c2_ * x * x / 2.0 + c1_ * x + a0_
               : d == 1 ? c2_ * x + c1_
               : d == 2 ? c2_
                        : 0.0;
    }

    double c2_ = 0.0, c1_ = 0.0, a0_ = 0.0;
    std::vector<double> a_, b_;
    int p_ = 0;
};

// The quantity a restriction's rows bound (the derivative of its kind; for the relative kinds
// the first object's less the second's), for coefficients coef of every object: kinematic, or
// the elastic output at the frequency ratios e1 (and e2 of the second object).
inline Curve restrictionCurve(const LPProgram& lp, const RestrictionRows& r,
                              const std::vector<Coefficients>& coef, bool dynamic, double e1,
                              double e2) {
    auto theta = [&lp](int m) { return lp.objects[static_cast<std::size_t>(m - 1)].theta; };
    Curve f(r.kind % 10);
    f.add(coef[static_cast<std::size_t>(r.object - 1)], 1.0, dynamic, e1, theta(r.object));
    if (isRelPointKind(r.kind) || isRelIntervalKind(r.kind))
        f.add(coef[static_cast<std::size_t>(r.second - 1)], -1.0, dynamic, e2, theta(r.second));
    return f;
}

} // namespace calc
