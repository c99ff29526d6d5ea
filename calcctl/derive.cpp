#include "derive.h"

#include "series.h"

namespace calcctl {

bool deriveSeries(model::TPaintObj& motion, double eta, double theta) {
    // The model's derivation clears the constant term of s when a harmonic fails; the motion
    // the module computed must survive a failed derivation unchanged.
    const model::TVector s = motion.sSC;
    const bool ok = model::deriveQ(motion, eta, theta);
    if (!ok) {
        motion.sSC = s;
        motion.qSC = s;
    }
    model::deriveM(motion);
    return ok;
}

bool deriveSeries(model::THSHeader& motion, bool testMode) {
    const double eta = testMode ? motion.TestEta : motion.sSC.at(0);
    const double theta = testMode ? motion.TestTheta : motion.RPar[3];
    return deriveSeries(motion, eta, theta);
}

} // namespace calcctl
