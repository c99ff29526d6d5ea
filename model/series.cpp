#include "model/series.h"

#include <cmath>
#include <complex>
#include <vector>

namespace model {

bool deriveQ(TPaintObj& h, double eta, double theta) {
    const std::int32_t K = h.sSC.harmonics() > 0 ? h.sSC.harmonics() : 0;
    h.ResultHarmonics = K;
    h.qSC.ReSize(2 * K + 2);
    h.qSC.set(0, h.sSC.at(0));
    h.qSC.set(1, h.sSC.at(1));
    bool failed = false;
    if (eta > 0.0) {
        for (std::int32_t k = 1; k <= K; ++k) {
            const double r = k * eta;
            const double r2 = r * r;
            const double d = (1.0 - r2) * (1.0 - r2) + 4.0 * theta * theta * r2;
            if (d == 0.0 || !std::isfinite(d)) {
                failed = true;
                continue;
            }
            const double w = (1.0 - r2 + 4.0 * theta * theta * r2) / d;
            const double e = 2.0 * theta * r2 * r / d;
            if (!std::isfinite(w) || !std::isfinite(e)) {
                failed = true;
                continue;
            }
            const double s = h.sSC.at(2 * k), c = h.sSC.at(2 * k + 1);
            h.qSC.set(2 * k, w * s + e * c);
            h.qSC.set(2 * k + 1, -e * s + w * c);
        }
    }
    if (failed || eta == 0.0)
        for (std::int32_t i = 2; i <= 2 * K + 1; ++i) h.qSC.set(i, h.sSC.at(i));
    return !failed;
}

bool deriveSeries(TPaintObj& motion, double eta, double theta) {
    const bool ok = deriveQ(motion, eta, theta);
    deriveM(motion);
    return ok;
}

bool deriveSeries(THSHeader& motion, bool testMode) {
    const double eta = testMode ? motion.TestEta : motion.sSC.at(0);
    const double theta = testMode ? motion.TestTheta : motion.RPar[3];
    return deriveSeries(motion, eta, theta);
}

void deriveM(TPaintObj& h) {
    const std::int32_t K = h.sSC.harmonics() > 0 ? h.sSC.harmonics() : 0;
    // s = sum over k = -K .. K of c_k e^{ikx} with c_k = (C_k - i S_k) / 2 and c_-k = conj;
    // s' has the coefficients i k c_k, s'' the coefficients -k^2 c_k.
    using C = std::complex<double>;
    std::vector<C> c(static_cast<std::size_t>(2 * K + 1));
    auto at = [&](std::int32_t k) -> C& { return c[static_cast<std::size_t>(k + K)]; };
    for (std::int32_t k = 1; k <= K; ++k) {
        at(k) = C(h.sSC.at(2 * k + 1), -h.sSC.at(2 * k)) * 0.5;
        at(-k) = std::conj(at(k));
    }
    h.mSC.ReSize(4 * K + 2);
    h.mSC.set(0, 0.0);
    h.mSC.set(1, 0.0);
    for (std::int32_t m = 1; m <= 2 * K; ++m) {
        C p = 0.0;
        for (std::int32_t j = m - K; j <= K; ++j) {
            const std::int32_t l = m - j;
            if (j == 0 || l == 0 || l < -K || l > K) continue;
            p += C(0.0, static_cast<double>(j)) * at(j) * (-static_cast<double>(l) * l) * at(l);
        }
        // 2 Re(p e^{imx}) = 2 Re p cos mx - 2 Im p sin mx
        h.mSC.set(2 * m, -2.0 * p.imag());
        h.mSC.set(2 * m + 1, 2.0 * p.real());
    }
}

} // namespace model
