#include "calc/sample_rows.h"

#include <algorithm>
#include <cmath>

#include "calc/curve.h"
#include "calc/msout.h"
#include "lpsolver/machine.h"

namespace calc {

double sampleRowTolerance() {
    return std::sqrt(lp::kEps);
}

std::vector<int> allRowRecords(const LPProgram& lp) {
    std::vector<int> records;
    for (const RestrictionRows& r : lp.restrictions)
        records.insert(records.end(), static_cast<std::size_t>(r.samples * r.perSample), r.record);
    return records;
}

SampleRows::SampleRows(const RunInput& input, const LPProgram& lp) : input_(input) {
    for (std::size_t q = 0; q < lp.restrictions.size(); ++q) {
        const RestrictionRows& r = lp.restrictions[q];
        first_.push_back(static_cast<int>(held_.size()));
        for (int s = 0; s < r.samples; ++s) {
            const bool made = r.samples == 1 || sampleMade(s, r.samples, lp.sampleStride);
            held_.insert(held_.end(), static_cast<std::size_t>(r.perSample), made ? 1 : 0);
            owner_.insert(owner_.end(), static_cast<std::size_t>(r.perSample), static_cast<int>(q));
        }
    }
}

int SampleRows::held() const {
    return static_cast<int>(std::count(held_.begin(), held_.end(), char{1}));
}

RowSpec SampleRows::specOf(const LPProgram& lp, int i) const {
    const auto q = static_cast<std::size_t>(owner_[static_cast<std::size_t>(i)]);
    const RestrictionRows& r = lp.restrictions[q];
    const int local = i - firstOf(q), sample = local / r.perSample, sub = local % r.perSample;
    RowSpec spec;
    spec.restriction = static_cast<int>(q);
    spec.phi = r.phi1 + sample * r.step; // as the build forms it
    int k = 0; // the dynamic rows follow the kinematic one, a row per grid value that has one
    for (const auto& e : r.etas) {
        if (!(e[0] > kEtaZero || e[1] > kEtaZero) || ++k != sub) continue;
        spec.dynamic = true;
        spec.eta1 = e[0];
        spec.eta2 = e[1];
        break;
    }
    return spec;
}

NewRow SampleRows::makeRow(const LPProgram& lp, int i, int state) const {
    NewRow row;
    row.spec = specOf(lp, i);
    const RestrictionRows& r = lp.restrictions[static_cast<std::size_t>(row.spec.restriction)];
    // The build made every row of the program once (and found no resonance), so this one can
    // be made again.
    (void)restrictionRow(input_, lp, row.spec, row.coefficients);
    row.lower = r.lower;
    row.upper = r.upper;
    row.state = state;
    row.buildRow = i;
    return row;
}

std::vector<double> SampleRows::leftOutValues(const LPProgram& lp,
                                              const std::vector<double>& x) const {
    std::vector<double> v(held_.size(), 0.0);
    std::vector<Coefficients> coef;
    for (int m = 1; m <= input_.params.objects; ++m)
        coef.push_back(objectCoefficients(x, input_.object(m)));
    for (std::size_t q = 0; q < lp.restrictions.size(); ++q) {
        const RestrictionRows& r = lp.restrictions[q];
        for (int sub = 0; sub < r.perSample; ++sub) {
            // The angles of this row kind's rows left out, with their cosines and sines.
            std::vector<int> rows;
            std::vector<double> at, c, s;
            for (int sample = 0; sample < r.samples; ++sample) {
                const int i = firstOf(q) + sample * r.perSample + sub;
                if (held_[static_cast<std::size_t>(i)] != 0) continue;
                rows.push_back(i);
                at.push_back(radians(r.phi1 + sample * r.step));
                c.push_back(std::cos(at.back()));
                s.push_back(std::sin(at.back()));
            }
            if (rows.empty()) continue;
            const RowSpec spec = specOf(lp, rows.front());
            const std::vector<double> values =
                restrictionCurve(lp, r, coef, spec.dynamic, spec.eta1, spec.eta2).values(at, c, s);
            for (std::size_t k = 0; k < rows.size(); ++k)
                v[static_cast<std::size_t>(rows[k])] = values[k];
        }
    }
    return v;
}

int SampleRows::finalState(const RestrictionRows& r, double value) const {
    const double tol = sampleRowTolerance();
    if (value - r.upper > tol) return -1;
    if (r.lower - value > tol) return -2;
    return 0;
}

std::vector<int> SampleRows::startFrom(LPProgram& lp, const std::vector<int>& states) {
    const auto n = static_cast<std::size_t>(lp.nvar);
    if (states.size() != n + held_.size()) return {};
    std::vector<int> own(states.begin(), states.begin() + static_cast<std::ptrdiff_t>(n));
    std::vector<NewRow> rows;
    for (std::size_t q = 0; q < lp.restrictions.size(); ++q) {
        int place = lp.restrictions[q].firstRow;
        const int end = endOf(q);
        for (int i = firstOf(q); i < end; ++i) {
            const int state = states[n + static_cast<std::size_t>(i)];
            if (held_[static_cast<std::size_t>(i)] != 0) {
                own.push_back(state);
                ++place;
            } else if (state > 0) {
                rows.push_back(makeRow(lp, i, state));
                rows.back().after = place;
            }
        }
    }
    accepted(rows);
    insertRows(lp, std::move(rows), &own);
    return own;
}

std::vector<NewRow> SampleRows::violatedRows(const LPProgram& lp, const std::vector<double>& x) {
    const std::vector<double> v = leftOutValues(lp, x);
    const double tol = sampleRowTolerance();
    std::vector<NewRow> rows;
    for (std::size_t q = 0; q < lp.restrictions.size(); ++q) {
        const RestrictionRows& r = lp.restrictions[q];
        int place = r.firstRow; // where the next row left out goes
        const int end = endOf(q);
        for (int i = firstOf(q); i < end; ++i) {
            const auto iu = static_cast<std::size_t>(i);
            if (held_[iu] != 0) {
                ++place;
                continue;
            }
            const double excess = std::max(v[iu] - r.upper, r.lower - v[iu]);
            if (!(excess > tol)) continue;
            rows.push_back(makeRow(lp, i, 0));
            rows.back().after = place;
            rows.back().excess = excess;
        }
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const NewRow& a, const NewRow& b) { return a.excess > b.excess; });
    return rows;
}

void SampleRows::accepted(const std::vector<NewRow>& rows) {
    for (const NewRow& r : rows) held_[static_cast<std::size_t>(r.buildRow)] = 1;
}

std::vector<int> SampleRows::allStates(const LPProgram& lp, const std::vector<int>& states,
                                       const std::vector<double>& x) const {
    const auto n = static_cast<std::size_t>(lp.nvar);
    std::vector<int> out(states.begin(), states.begin() + static_cast<std::ptrdiff_t>(n));
    const std::vector<double> v = leftOutValues(lp, x);
    for (std::size_t q = 0; q < lp.restrictions.size(); ++q) {
        const RestrictionRows& r = lp.restrictions[q];
        int at = r.firstRow;
        const int end = endOf(q);
        for (int i = firstOf(q); i < end; ++i) {
            const auto iu = static_cast<std::size_t>(i);
            out.push_back(held_[iu] != 0 ? states[n + static_cast<std::size_t>(at++)]
                                         : finalState(r, v[iu]));
        }
    }
    return out;
}

void SampleRows::reportRows(const LPProgram& lp, const std::vector<int>& states,
                            const std::vector<int>& all, std::vector<int>& records,
                            std::vector<int>& rowStates) const {
    const auto n = static_cast<std::size_t>(lp.nvar);
    records.clear();
    rowStates.clear();
    for (std::size_t q = 0; q < lp.restrictions.size(); ++q) {
        const RestrictionRows& r = lp.restrictions[q];
        const int end = endOf(q);
        for (int i = firstOf(q); i < end; ++i) {
            records.push_back(r.record);
            rowStates.push_back(all[n + static_cast<std::size_t>(i)]);
        }
        for (int k = r.firstRow + r.builtRows; k < r.firstRow + r.rows; ++k) {
            records.push_back(r.record);
            rowStates.push_back(states[n + static_cast<std::size_t>(k)]);
        }
    }
}

} // namespace calc
