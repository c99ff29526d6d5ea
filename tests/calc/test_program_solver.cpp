// Rows inserted into a built program, and the rounds of row generation with their limits.
#include <algorithm>
#include <sstream>

#include <gtest/gtest.h>

#include "calc/msinp.h"
#include "calc/mslok.h"
#include "calc/program_solver.h"
#include "tests/calc/calc_test_support.h"

using namespace calc;
using namespace calc::test;

namespace {

// A program of one object with three harmonics: a point restriction (one row) and an
// interval restriction (several rows).
struct Built {
    RunInput in;
    LPProgram lp;
};

Built buildSmall() {
    Built b;
    Records rs = simpleProject(1, 3);
    rs.push_back(makeRecord({1, 0, 0, 0, 0, 0, 0}, {0, 10, 0, 0, 0, -1, 0, 1}));
    rs.push_back(makeRecord({1, 0, 12, 0, 0, 0, 0}, {0, 0, 0, 40, 0, -5, 0, 5}));
    for (std::size_t i = 0; i < rs.size(); ++i) rs[i].IPar[9] = static_cast<int>(i + 1);
    b.in.records = rs;
    applyStartRecord(rs[0], b.in.params);
    b.in.objects = {ObjectLayout{3, 0, 1.0, 0}};
    b.in.variableCount = 14;
    std::ostringstream sink;
    OutputStream listing(sink);
    EXPECT_EQ(MSMOD(b.in, rs, 0.0, b.lp, listing), ResultCode::Normal);
    return b;
}

NewRow rowOf(const Built& b, int restriction, int after, double lower, double upper) {
    NewRow r;
    r.spec.restriction = restriction;
    r.after = after;
    r.lower = lower;
    r.upper = upper;
    r.state = 3;
    for (int j = 0; j < b.lp.nvar; ++j) r.coefficients.push_back(100.0 * after + j + lower);
    return r;
}

} // namespace

TEST(InsertRows, EveryRowLandsInItsPlaceWithItsBoundsStateAndRecord) {
    struct Case {
        const char* what;
        std::vector<std::pair<int, int>> rows; // (restriction, place)
    } cases[] = {
        {"nothing", {}},
        {"before everything", {{0, 0}}},
        {"after everything", {{1, -1}}},
        {"two at one place, later restriction first", {{1, 3}, {0, 3}}},
        {"where one restriction ends and the next begins", {{1, 1}, {0, 1}, {1, -1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Built b = buildSmall();
        LPProgram& lp = b.lp;
        ASSERT_EQ(lp.restrictions.size(), 2u);
        ASSERT_EQ(lp.restrictions[0].rows, 1);
        const int n = lp.nvar, m = lp.nrows;
        // The program as rows, each with its owner, then the new ones spliced in by hand.
        struct Row {
            std::vector<double> a;
            double lo, up;
            int record, state, owner;
        };
        std::vector<Row> rows;
        std::vector<int> states(static_cast<std::size_t>(n), 1);
        for (int i = 0; i < m; ++i) {
            Row r{{},
                  lp.bl[static_cast<std::size_t>(n + i)],
                  lp.bu[static_cast<std::size_t>(n + i)],
                  lp.rowRecord[static_cast<std::size_t>(i)],
                  i % 3,
                  i == 0 ? 0 : 1};
            for (int j = 1; j <= n; ++j) r.a.push_back(lp.a(i + 1, j));
            rows.push_back(r);
            states.push_back(r.state);
        }
        std::vector<NewRow> add;
        for (const auto& [owner, place] : c.rows)
            add.push_back(rowOf(b, owner, place < 0 ? m : place, 7.0 + add.size(), 9.0));
        std::vector<Row> want;
        for (int i = 0; i <= m; ++i) {
            for (int owner = 0; owner < 2; ++owner)
                for (const NewRow& r : add)
                    if (r.after == i && r.spec.restriction == owner)
                        want.push_back({r.coefficients, r.lower, r.upper,
                                        lp.restrictions[static_cast<std::size_t>(owner)].record,
                                        r.state, owner});
            if (i < m) want.push_back(rows[static_cast<std::size_t>(i)]);
        }

        insertRows(lp, add, &states);
        ASSERT_EQ(lp.nrows, static_cast<int>(want.size()));
        ASSERT_EQ(states.size(), static_cast<std::size_t>(n) + want.size());
        for (std::size_t i = 0; i < want.size(); ++i) {
            SCOPED_TRACE("row " + std::to_string(i));
            for (int j = 1; j <= n; ++j)
                ASSERT_EQ(lp.a(static_cast<int>(i) + 1, j),
                          want[i].a[static_cast<std::size_t>(j - 1)]);
            EXPECT_EQ(lp.bl[static_cast<std::size_t>(n) + i], want[i].lo);
            EXPECT_EQ(lp.bu[static_cast<std::size_t>(n) + i], want[i].up);
            EXPECT_EQ(lp.rowRecord[i], want[i].record);
            EXPECT_EQ(states[static_cast<std::size_t>(n) + i], want[i].state);
        }
        for (int q = 0; q < 2; ++q) {
            const auto first =
                std::find_if(want.begin(), want.end(), [q](const Row& r) { return r.owner == q; });
            EXPECT_EQ(lp.restrictions[static_cast<std::size_t>(q)].firstRow, first - want.begin());
            EXPECT_EQ(lp.restrictions[static_cast<std::size_t>(q)].rows,
                      std::count_if(want.begin(), want.end(),
                                    [q](const Row& r) { return r.owner == q; }));
        }
    }
}

namespace {

// Gives `perCall` copies of the point restriction's row with the bounds given, every time.
class EndlessRows : public RowSource {
public:
    EndlessRows(const Built& b, int perCall, double lower)
        : b_(b), perCall_(perCall), lower_(lower) {}
    std::vector<NewRow> violatedRows(const LPProgram& lp, const std::vector<double>&) override {
        std::vector<NewRow> rows;
        for (int i = 0; i < perCall_; ++i) {
            NewRow r;
            r.spec.restriction = 0;
            EXPECT_TRUE(restrictionRow(b_.in, lp, r.spec, r.coefficients));
            r.after = lp.restrictions[0].firstRow + lp.restrictions[0].rows;
            r.lower = lower_;
            r.upper = 1e6;
            rows.push_back(r);
        }
        return rows;
    }
    void accepted(const std::vector<NewRow>& rows) override {
        taken += static_cast<int>(rows.size());
    }
    int taken = 0;

private:
    const Built& b_;
    int perCall_;
    double lower_;
};

} // namespace

TEST(GenerateRows, LimitsEndTheRoundsAndAnInfeasibleRoundEndsThem) {
    struct Case {
        const char* what;
        int rounds, rows, perCall;
        double lower; // of the rows given: -0.5 holds with s(10) in [-1, 1], 5 never does
        int wantRounds, wantRows;
        bool capped, feasible;
    } cases[] = {
        {"no rows asked for", 20, 100, 0, 0.0, 0, 0, false, true},
        {"the round limit", 3, 100, 1, -0.5, 3, 3, true, true},
        {"the row limit cuts a round short", 20, 5, 2, -0.5, 3, 5, true, true},
        {"a round that cannot be met", 20, 100, 1, 5.0, 1, 1, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Built b = buildSmall();
        ProgramSolver solver(b.lp, objectiveWeights(b.in));
        std::vector<double> x(static_cast<std::size_t>(b.lp.nvar), 0.0);
        std::vector<int> rowState, states;
        const SolveReport first = solver.solve(x, rowState, &states);
        ASSERT_EQ(first.status, SolveStatus::Feasible);
        const int rowsBefore = b.lp.nrows;
        EndlessRows source(b, c.perCall, c.lower);
        int solves = 0;
        const Generation g =
            generateRows(solver, {&source}, first, x, rowState, states, {c.rounds, c.rows},
                         [&solves](const SolveReport&, int, int, bool) { ++solves; });
        EXPECT_EQ(g.rounds, c.wantRounds);
        EXPECT_EQ(g.rowsAdded, c.wantRows);
        EXPECT_EQ(source.taken, c.wantRows);
        EXPECT_EQ(solves, c.wantRounds);
        EXPECT_EQ(g.capped, c.capped);
        EXPECT_EQ(g.last.status == SolveStatus::Feasible, c.feasible);
        EXPECT_EQ(b.lp.nrows, rowsBefore + c.wantRows);
        EXPECT_EQ(rowState.size(), static_cast<std::size_t>(b.lp.nrows));
    }
}
