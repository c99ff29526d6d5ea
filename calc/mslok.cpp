#include "calc/mslok.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "calc/lp_dump.h"
#include "calc/msout.h"
#include "calc/sample_rows.h"
#include "calc/whole_cycle.h"
#include "fio/format.h"

namespace calc {

std::vector<double> objectiveWeights(const RunInput& input) {
    std::vector<double> c(static_cast<std::size_t>(input.variableCount), 1.0);
    const int e = input.params.weightExponent;
    for (int m = 1; m <= input.params.objects; ++m) {
        const ObjectLayout& o = input.object(m);
        for (int k = 2; k <= o.nh; ++k) {
            double w = 1.0;
            for (int i = 0; i < e; ++i) w *= k;
            for (int v = 0; v < 4; ++v)
                c[static_cast<std::size_t>(o.first + o.np + 4 * k - 2 + v)] = w;
        }
    }
    return c;
}

namespace {

class StageSearch {
public:
    explicit StageSearch(RunState& run) : run_(run), in_(run.input), p_(run.input.params) {}

    StageResult run() {
        StageResult r = search();
        // At every end: the progress of the random search, after what the refinement of this
        // search's programs came to.
        if (p_.randomVariables > 0) {
            if (refined_.programs > 0) run_.listing.line(refined_.line());
            run_.progress += run_.progressStep;
            if (run_.progress <= 1.0)
                run_.listing.lines(fio::format("(F9.3,' s  ',F6.2,' %')",
                                               {run_.elapsed(), run_.progress * 100.0}));
        }
        return r;
    }

private:
    // Builds the program of level b, with the rows of every `stride`-th sample angle (0: as
    // the run's environment says).
    ResultCode build(double b, int stride = 0) {
        // Room for the rows the refinement may insert (a quarter of the largest program).
        if (p_.wholeCycleTolerance > 0.0) lp_.spareRows = std::max(kMaxRows / 4, 32);
        lp_.sampleStride = stride > 0 ? stride : run_.env->sampleStride;
        const ResultCode c = MSMOD(in_, run_.records, b, lp_, run_.listing);
        if (c == ResultCode::Normal) {
            allRecords_ = allRowRecords(lp_);
            run_.rowRecord = allRecords_;
            run_.objects = lp_.objects;
        }
        return c;
    }

    // KQ4_DUMP_LP: the program of level b with all its rows, as the build makes it.
    void dump(double b) {
        if (!dumpWanted()) return;
        LPProgram whole;
        if (MSMOD(in_, run_.records, b, whole, run_.listing) == ResultCode::Normal)
            dumpProgram(whole, cost_);
    }

    // The end of a solved level: its final working set, from which the solve of another
    // level of this search starts.
    struct SolvedLevel {
        std::vector<int> states;    // of the variables and rows; empty: not solved
        std::vector<int> rowRecord; // record of every row
        // Rows inserted to hold the bounds on the whole cycle, with their final states (the
        // states and records above are those of the rows of the build).
        std::vector<RowSpec> added;
        std::vector<int> addedStates;
    };

    // What the refinement of the programs of one stage search came to (summed up in one line
    // in the random search, whose levels are not listed).
    struct Refinement {
        int programs = 0, rounds = 0, rows = 0, capped = 0;
        double largest = 0.0; // of the feasible programs, relative to the band

        std::string line() const {
            std::string s = " Zyklus: " + std::to_string(programs) + " Programme, " +
                            std::to_string(rounds) + " Runden, " + std::to_string(rows) +
                            " Zeilen ergaenzt, groesste Ueberschreitung " + percent(largest);
            if (capped > 0) s += ", " + std::to_string(capped) + " an der Grenze beendet";
            return s;
        }
    };

    static std::string percent(double relative) {
        const double p = relative * 100.0;
        const char* form = std::fabs(p) < 1e7 ? "(F12.3)" : "(1PE12.3)";
        std::string t = fio::format(form, {p}).at(0);
        return t.substr(t.find_first_not_of(' ')) + " %";
    }

    // The inserted rows of the level `from` that ended in its working set, for the program
    // just built: those that still lie within their restriction's interval and frequency-ratio
    // range go into it with their states (states, when not empty, grows with them), so that
    // the working set of `from` fits and the refinement need not find them again.
    std::vector<RowSpec> carryRows(const SolvedLevel& from, std::vector<int>& states) {
        std::vector<NewRow> rows;
        std::vector<RowSpec> kept;
        for (std::size_t i = 0; i < from.added.size(); ++i) {
            const RowSpec& s = from.added[i];
            if (static_cast<int>(kept.size()) >= rowLimit_) break;
            if (from.addedStates[i] <= 0) continue;
            if (s.restriction >= static_cast<int>(lp_.restrictions.size())) continue;
            const RestrictionRows& r = lp_.restrictions[static_cast<std::size_t>(s.restriction)];
            const bool interval = isIntervalKind(r.kind) || isRelIntervalKind(r.kind);
            if (interval && (s.phi <= r.phi1 || s.phi >= r.phi2)) continue;
            if (s.dynamic) {
                bool inside = !r.etas.empty();
                for (std::size_t o = 0; o < 2 && inside; ++o) {
                    double lo = r.etas.front()[o], hi = lo;
                    for (const auto& e : r.etas) lo = std::min(lo, e[o]), hi = std::max(hi, e[o]);
                    const double eta = o == 0 ? s.eta1 : s.eta2;
                    inside = eta >= lo && eta <= hi;
                }
                if (!inside) continue;
            }
            std::optional<NewRow> row = rowBetweenSamples(in_, lp_, s);
            if (!row) continue;
            row->state = from.addedStates[i];
            rows.push_back(std::move(*row));
            kept.push_back(s);
        }
        insertRows(lp_, std::move(rows), states.empty() ? nullptr : &states);
        return kept;
    }

    // The end of a solved level: the states of all the program's rows (allStates), and the
    // inserted rows apart (their states among those of lp's rows, `states`).
    void keepLevel(const std::vector<int>& allStates, const std::vector<int>& states,
                   const std::vector<RowSpec>& inserted, SolvedLevel& end) const {
        const auto n = static_cast<std::size_t>(lp_.nvar);
        end.states = allStates;
        end.rowRecord = allRecords_;
        std::vector<int> next(lp_.restrictions.size(), 0); // inserted rows seen per restriction
        end.added = inserted;
        end.addedStates.clear();
        for (const RowSpec& s : inserted) {
            const RestrictionRows& r = lp_.restrictions[static_cast<std::size_t>(s.restriction)];
            const int row =
                r.firstRow + r.builtRows + next[static_cast<std::size_t>(s.restriction)]++;
            end.addedStates.push_back(states[n + static_cast<std::size_t>(row)]);
        }
    }

    // KQ4_TRACE: one line per solve on standard error, for timing and debugging; m is the rows
    // held, of all the program's rows. The solves after the first are passes (rows left out
    // added) or rounds (rows between the samples added).
    void trace(double b, const SolveReport& s, const char* start, int round, int added,
               bool pass) const {
        if (std::getenv("KQ4_TRACE") == nullptr) return;
        std::fprintf(stderr,
                     "kq4calc: LP n=%d m=%d all=%d beta=%.10g start=%s exit=%d iterations=%ld "
                     "calls=%d objective=%.15g",
                     lp_.nvar, lp_.nrows, lp_.allRows, b, start, s.exitCode, s.iterations, s.calls,
                     s.objective);
        if (round > 0)
            std::fprintf(stderr, pass ? " pass=%d sampled=%d" : " round=%d added=%d", round, added);
        std::fprintf(stderr, "\n");
    }

    // The states of the level `from` for the program just built. A restriction whose rows
    // follow beta (an interval end, a frequency-ratio grid) may have another number of rows
    // at this level: its rows start free, the others keep their states, matched by their
    // order within their record.
    std::vector<int> startStates(const SolvedLevel& from) const {
        const auto n = static_cast<std::size_t>(lp_.nvar);
        const std::vector<int>& rowRecord = allRecords_;
        if (from.states.size() != n + from.rowRecord.size()) return {};
        if (from.rowRecord == rowRecord) return from.states;
        // The old rows of every record, in order.
        int records = 0;
        for (int r : from.rowRecord) records = std::max(records, r);
        std::vector<std::vector<std::size_t>> oldRows(static_cast<std::size_t>(records) + 1);
        for (std::size_t i = 0; i < from.rowRecord.size(); ++i)
            oldRows[static_cast<std::size_t>(from.rowRecord[i])].push_back(n + i);
        std::vector<std::size_t> newCount(oldRows.size(), 0), seen(oldRows.size(), 0);
        for (int r : rowRecord)
            if (r <= records) ++newCount[static_cast<std::size_t>(r)];
        std::vector<int> states(n + rowRecord.size(), 0);
        std::copy_n(from.states.begin(), n, states.begin());
        for (std::size_t i = 0; i < rowRecord.size(); ++i) {
            const auto r = static_cast<std::size_t>(rowRecord[i]);
            if (r >= oldRows.size() || oldRows[r].size() != newCount[r]) continue;
            states[n + i] = from.states[oldRows[r][seen[r]++]];
        }
        return states;
    }

    // Solves the program built at level b from x, starting from the working set of the level
    // `from` (a Cold start when it has none, or when warm starts are off); the end of this
    // solve is left in `end`. The rows the build left out that a solution violates go in until
    // none is (SampleRows). With the whole-cycle tolerance set, a feasible program is refined
    // until its bounds hold between the sample angles too, and the level counts as feasible
    // only when the refined program is. True when feasible.
    bool solve(double b, std::vector<double>& x, const SolvedLevel& from, SolvedLevel& end) {
        const std::vector<double> x0 = x;
        const bool whole = lp_.nrows == lp_.allRows;
        const SolveStatus status = solveBuilt(b, x, from, end);
        // The states of a program of beta 0 that is not feasible go into the violation report.
        // A phase 1 from the optimum of part of the rows ends elsewhere than one from nothing
        // on all of them (often further from feasibility, more rows violated): such a program
        // is built with all its rows and solved once more from nothing, as the report expects.
        if (status != SolveStatus::NotFeasible || b != 0.0 || whole)
            return status == SolveStatus::Feasible;
        if (build(b, 1) != ResultCode::Normal) return false;
        x = x0;
        return solveBuilt(b, x, SolvedLevel{}, end) == SolveStatus::Feasible;
    }

    SolveStatus solveBuilt(double b, std::vector<double>& x, const SolvedLevel& from,
                           SolvedLevel& end) {
        const double tolerance = p_.wholeCycleTolerance;
        // Up to a quarter more rows than the program's (at least 32): memory stays bounded.
        rowLimit_ = std::max(lp_.allRows / 4, 32);
        dump(b);
        SampleRows samples(in_, lp_);
        std::vector<int> states = run_.env->warmStarts ? startStates(from) : std::vector<int>{};
        const bool warm = !states.empty();
        states = samples.startFrom(lp_, states);
        std::vector<RowSpec> carried;
        if (tolerance > 0.0) carried = carryRows(from, states);
        ProgramSolver solver(lp_, cost_, &arrays_, run_.env->steepestEdge);
        SolveReport s = solver.solve(x, run_.rowState, &states);
        trace(b, s, s.warm ? "warm" : warm ? "warm,cold" : "cold", 0, 0, false);
        WholeCycleRows rows(in_, tolerance, carried);
        std::vector<RowSource*> sources{&samples};
        if (tolerance > 0.0) sources.push_back(&rows);
        const GenerationLimits limits{20, rowLimit_ - static_cast<int>(carried.size())};
        const Generation g =
            generateRows(solver, sources, s, x, run_.rowState, states, limits,
                         [&](const SolveReport& r, int round, int added, bool pass) {
                             trace(b, r, r.warm ? "warm" : "warm,cold", round, added, pass);
                         });
        s = g.last;
        if (rows.evaluations() > 0)
            noteRefinement(b, g, rows.largest(), s.status == SolveStatus::Feasible);
        const std::vector<int> allStates = samples.allStates(lp_, states, x);
        samples.reportRows(lp_, states, allStates, run_.rowRecord, run_.rowState);
        if (s.status == SolveStatus::IterationLimit) {
            run_.listing.line(" Iterationsgrenze des LP-Loesers erreicht bei beta=" +
                              fio::listDirected({b}) + " : Ergebnis unsicher");
            end = SolvedLevel{};
        } else {
            keepLevel(allStates, states, rows.inserted(), end);
        }
        return s.status;
    }

    // The listing line of a refined program (in the random search only its sum, and a line of
    // its own when a limit ended it).
    void noteRefinement(double b, const Generation& g, double largest, bool feasible) {
        ++refined_.programs;
        refined_.rounds += g.rounds;
        refined_.rows += g.rowsAdded;
        refined_.capped += g.capped;
        if (feasible) refined_.largest = std::max(refined_.largest, largest);
        if (p_.randomVariables > 0 && !g.capped) return;
        std::string line = " Zyklus bei beta=" + fio::listDirected({b}) + ": " +
                           std::to_string(g.rounds) + " Runden, " + std::to_string(g.rowsAdded) +
                           " Zeilen ergaenzt, ";
        if (!feasible)
            line += "nicht erfuellbar";
        else if (g.capped)
            line += "an der Grenze beendet, groesste Ueberschreitung " + percent(largest);
        else
            line += "groesste Ueberschreitung " + percent(largest);
        run_.listing.line(line);
    }

    StageResult search() {
        StageResult r;
        const bool randomSearch = p_.randomVariables > 0;
        const double betaMax = p_.betaMax;
        if (in_.variableCount > kMaxVariables) {
            run_.listing.line(" Zu viele Harmonische    --->  Abbruch !");
            run_.code = ResultCode::TooLarge;
            return r;
        }
        cost_ = objectiveWeights(in_);
        const auto nvar = static_cast<std::size_t>(in_.variableCount);

        // Stage 1: the constant requirements, from nothing.
        std::vector<double> x(nvar, 0.0);
        ResultCode c = build(0.0);
        if (c == ResultCode::Resonance) {
            run_.code = in_.variableFrequencyRatios ? ResultCode::NotFeasible : c;
            return r;
        }
        if (c != ResultCode::Normal) {
            run_.code = c;
            return r;
        }
        // Where the last feasible level ended.
        SolvedLevel feasibleEnd;
        if (!solve(0.0, x, SolvedLevel{}, feasibleEnd)) {
            run_.code = ResultCode::NotFeasible;
            if (!randomSearch) run_.listing.line(" Minimalforderungen nicht erfuellbar ");
            return r;
        }
        r.solution = x;
        if (!in_.variableRequirements) {
            run_.listing.line(" Konstante Forderungen erfuellbar");
            run_.code = ResultCode::AllSatisfied;
            return r;
        }
        run_.minimumFeasible = true;
        run_.code = ResultCode::Normal;

        // Stage 2: the maximal requirements, from where stage 1 ended.
        SolvedLevel atMaximum;
        std::vector<double> x2 = run_.env->warmStarts ? x : std::vector<double>(nvar, 0.0);
        c = build(betaMax);
        if (c == ResultCode::Resonance && !in_.variableFrequencyRatios) {
            run_.code = c;
            return r;
        }
        if (c == ResultCode::TooLarge || c == ResultCode::EtaGridTooLong) {
            run_.code = c;
            return r;
        }
        if (c == ResultCode::Normal && solve(betaMax, x2, feasibleEnd, atMaximum)) {
            run_.listing.line(" Maximalforderungen erfuellbar");
            run_.code = ResultCode::AllSatisfied;
            r.beta = betaMax;
            r.solution = x2;
            return r;
        }
        run_.code = ResultCode::Normal;

        // Bisection between them.
        double lo = 0.0, hi = betaMax, lastFeasible = 0.0;
        bool lastSolveFeasible = false;
        for (int j = 1; j <= p_.bisectionSteps; ++j) {
            const double b = (lo + hi) * 0.5;
            c = build(b);
            if (c == ResultCode::Resonance) {
                if (!in_.variableFrequencyRatios) {
                    run_.code = c;
                    return r;
                }
                // This level cannot be reached; the search goes on below it.
                run_.code = ResultCode::Normal;
                hi = b;
                lastSolveFeasible = false;
                continue;
            }
            if (c != ResultCode::Normal) {
                run_.code = c;
                return r;
            }
            // From the last feasible level: it saves more iterations than the last one solved
            // (bench/README.md).
            std::vector<double> xs = r.solution; // the point where that level ended
            SolvedLevel end;
            const bool feasible = solve(b, xs, feasibleEnd, end);
            lastSolveFeasible = feasible;
            if (!randomSearch) {
                if (feasible) r.beta = b;
                run_.listing.line(fio::listDirected({j}) +
                                  "-te Optimierungsstufe: beta=" + fio::listDirected({r.beta}));
                run_.listing.line("                         Prozesszeit: " +
                                  fio::listDirected({run_.elapsed()}) + " s");
            }
            if (!feasible) {
                hi = b;
                continue;
            }
            feasibleEnd = std::move(end);
            r.beta = b;
            r.solution = xs;
            lastFeasible = b;
            if (run_.bestBetaWritten < r.beta) {
                MSOUT(run_, r.solution, r.beta);
                run_.bestBetaWritten = r.beta;
                if (r.beta >= betaMax) {
                    run_.maximumReached = true;
                    return r;
                }
            }
            lo = b;
        }
        if (!lastSolveFeasible) {
            // The row table must belong to the level reported.
            r.beta = lastFeasible;
            (void)build(lastFeasible);
        }
        return r;
    }

    RunState& run_;
    const RunInput& in_;
    const RunParameters& p_;
    LPProgram lp_;
    std::vector<int> allRecords_; // the record of each of its rows, those left out included
    std::vector<double> cost_;
    SolverArrays arrays_; // the solver's, for every program of the search
    int rowLimit_ = 0;
    Refinement refined_;
};

} // namespace

StageResult MSLOK(RunState& run) {
    StageSearch s(run);
    return s.run();
}

} // namespace calc
