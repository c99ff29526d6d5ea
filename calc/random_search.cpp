#include "calc/random_search.h"

#include <vector>

#include "calc/msout.h"

namespace calc {

void shiftRecord(Record& r, const Record& base, const Record& input, double u) {
    auto& R = r.RPar;
    const auto& B = base.RPar;
    const auto& I = input.RPar;
    const double d1 = (R[10] - R[9]) * u, d2 = (R[12] - R[11]) * u;
    R[1] = B[1] + d1;
    R[2] = B[2] + d1;
    R[3] = B[3] + d2;
    R[4] = B[4] + d2;
    // Angles stay within their ranges; the partner keeps the distance it had in the input.
    if (R[2] < R[9]) {
        R[2] = R[9];
        R[1] = I[1] - I[2] + R[9];
    }
    if (R[2] > R[10]) {
        R[2] = R[10];
        R[1] = I[1] - I[2] + R[10];
    }
    if (R[4] < R[11]) {
        R[4] = R[11];
        R[3] = I[3] - I[4] + R[11];
    }
    if (R[4] > R[12]) {
        R[4] = R[12];
        R[3] = I[3] - I[4] + R[12];
    }
}

void randomSearch(RunState& run, const StageResult& first) {
    const RunParameters& p = run.input.params;
    const Records& input = run.input.records;
    Records base = input;
    std::vector<double> best = first.solution;
    double b0 = first.beta, bStar = first.beta;
    std::vector<double> u(static_cast<std::size_t>(p.randomVariables) + 1, 0.0);

    for (int pass = 1; pass <= p.passes; ++pass) {
        for (int trial = 1; trial <= p.trials; ++trial) {
            for (int k = 1; k <= p.randomVariables; ++k)
                u[static_cast<std::size_t>(k)] = (run.env->random() - 0.5) * p.stepWidth;
            run.records = base;
            for (std::size_t i = 0; i < run.records.size(); ++i) {
                Record& r = run.records[i];
                const int group = r.IPar[8];
                if (recordType(r) != RecordType::Restriction || group <= 0) continue;
                shiftRecord(r, base[i], input[i], u[static_cast<std::size_t>(group)]);
            }
            const StageResult s = MSLOK(run);
            if (s.beta > b0 || (run.minimumFeasible && run.resultsWritten == 0)) {
                if (!s.solution.empty()) best = s.solution;
                base = run.records;
                b0 = s.beta;
            }
        }
        if (b0 > bStar || (run.minimumFeasible && run.resultsWritten == 0)) {
            if (!best.empty()) {
                MSOUT(run, best, b0);
                ++run.resultsWritten;
            }
            MSWMS1(run, base);
            bStar = b0;
        }
        if (run.maximumReached || bStar == 1.0) break;
    }
    run.bestBeta = b0;
    run.solution = best;
}

} // namespace calc
