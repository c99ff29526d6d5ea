// Bounds held on the whole cycle. The rows of a restriction hold its bounds at its sample
// angles and, for its dynamic rows, at the frequency ratios of the object's grid; between
// them a solution may leave the band. For a restriction at level beta:
//   violation at phi (and eta) = max(v - upper, lower - v, 0), v the restricted quantity (s or
//     a derivative, q at eta, the difference of two objects' for the relative kinds, the
//     spectrum sum of a dynamic spectrum row); an absent side does not count;
//   band = upper - lower when both sides are set, else max(|the bound|, peak-to-peak of the
//     kinematic quantity over 0..360 degrees), and at least 1e-12; one band per restriction,
//     its dynamic rows measured against it too;
//   relative violation = violation / band.
// The search: a dense evaluation of the trigonometric sum (four points between neighbouring
// sample angles), each local maximum refined by Newton steps on the next derivative; over the
// frequency ratio, points between neighbouring grid values (and around each resonance k eta = 1
// that lies between them), each local maximum refined by a golden-section search.
#pragma once

#include <optional>
#include <vector>

#include "calc/msinp.h"
#include "calc/msmod.h"
#include "calc/program_solver.h"

namespace calc {

// A local maximum of a restriction's relative violation, and the row that holds it there.
struct Excess {
    RowSpec at;
    double relative = 0.0;
};

struct CycleExcess {
    std::vector<Excess> above; // local maxima above the tolerance, largest first
    double largest = 0.0;      // the largest relative violation found
};

// The local maxima of the relative violation of every restriction of the program lp (as
// built at its level; rows inserted since count as well) for its solution x. Maxima at a row
// of the program are left out of `above` (the solve holds them within its own tolerance) but
// count in `largest`.
CycleExcess wholeCycleExcess(const RunInput& input, const LPProgram& lp,
                             const std::vector<double>& x, double tolerance,
                             const std::vector<RowSpec>& inserted = {});

// A row between the sample angles: the row of spec as the builder forms it, with the bounds of
// its restriction, to go after that restriction's present rows. None on resonance.
std::optional<NewRow> rowBetweenSamples(const RunInput& input, const LPProgram& lp,
                                        const RowSpec& spec);

// The rows that hold a solution's bounds on the whole cycle: one row of the restriction's own
// kind and bounds at each local maximum of its relative violation above the tolerance.
class WholeCycleRows : public RowSource {
public:
    // known: rows already inserted into the program (carried over from another level).
    WholeCycleRows(const RunInput& input, double tolerance, std::vector<RowSpec> known = {})
        : input_(input), tolerance_(tolerance), inserted_(std::move(known)) {}

    std::vector<NewRow> violatedRows(const LPProgram& lp, const std::vector<double>& x) override;
    void accepted(const std::vector<NewRow>& rows) override;

    double largest() const { return largest_; } // of the last evaluation
    int evaluations() const { return evaluations_; }
    const std::vector<RowSpec>& inserted() const { return inserted_; } // known and given out

private:
    const RunInput& input_;
    double tolerance_;
    std::vector<RowSpec> inserted_;
    double largest_ = 0.0;
    int evaluations_ = 0;
};

} // namespace calc
