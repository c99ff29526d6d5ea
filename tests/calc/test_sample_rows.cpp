// The rows a build leaves out: what is held, which rows left out a point violates (by their
// values as trigonometric sums, checked against the rows of the whole build), their states, and
// that inserting them gives back the whole program row for row.
#include <random>
#include <set>
#include <sstream>

#include <gtest/gtest.h>

#include "calc/msinp.h"
#include "calc/sample_rows.h"
#include "tests/calc/calc_test_support.h"

using namespace calc;
using namespace calc::test;

namespace {

class SampleRowsOf : public InScratchDir {};

} // namespace

TEST_F(SampleRowsOf, TheExamplesAgreeWithTheirWholeBuilds) {
    // Dynamic rows at several frequency ratios, relative restrictions, points, an interval whose
    // start moves with beta and a polynomial term.
    struct Case {
        const char* example;
        int stride;
    } cases[] = {{"elastic_output.kq4", 4},
                 {"two_drives_relative.kq4", 2},
                 {"two_drives_relative.kq4", 5},
                 {"variable_bounds.kq4", 3}};
    std::mt19937_64 rng(20261208);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.example) + " stride " + std::to_string(c.stride));
        std::filesystem::copy_file(std::string(TERVANA_SOURCE_DIR) + "/examples/" + c.example,
                                   "job.kq4", std::filesystem::copy_options::overwrite_existing);
        std::ostringstream sink;
        OutputStream listing(sink);
        RunInput in;
        ASSERT_EQ(MSINP("job.kq4", listing, in), ResultCode::Normal);
        const double beta = 0.7;
        LPProgram whole, lp;
        lp.sampleStride = c.stride;
        ASSERT_EQ(MSMOD(in, in.records, beta, whole, listing), ResultCode::Normal);
        ASSERT_EQ(MSMOD(in, in.records, beta, lp, listing), ResultCode::Normal);
        ASSERT_EQ(lp.allRows, whole.nrows);
        ASSERT_LT(lp.nrows, whole.nrows);
        EXPECT_EQ(allRowRecords(lp), whole.rowRecord);
        const int n = whole.nvar, all = whole.nrows;
        const auto nv = static_cast<std::size_t>(n);

        // A point far from feasible, and the rows of the whole build it violates.
        std::vector<double> x(nv);
        for (double& v : x) v = std::uniform_real_distribution<double>(0.0, 0.2)(rng);
        std::vector<double> value(static_cast<std::size_t>(all), 0.0);
        for (int i = 1; i <= all; ++i)
            for (int j = 1; j <= n; ++j)
                value[static_cast<std::size_t>(i - 1)] +=
                    whole.a(i, j) * x[static_cast<std::size_t>(j - 1)];
        const double tol = sampleRowTolerance();
        auto stateOf = [&](int i) { // the solver's final rule
            const double v = value[static_cast<std::size_t>(i)];
            if (v - whole.bu[nv + static_cast<std::size_t>(i)] > tol) return -1;
            if (whole.bl[nv + static_cast<std::size_t>(i)] - v > tol) return -2;
            return 0;
        };

        SampleRows rows(in, lp);
        EXPECT_EQ(rows.held(), lp.nrows);
        // Held rows keep the states given (7 marks them); rows left out get the final rule's.
        std::vector<int> given(nv + static_cast<std::size_t>(lp.nrows), 7);
        const std::vector<int> states = rows.allStates(lp, given, x);
        ASSERT_EQ(states.size(), nv + static_cast<std::size_t>(all));
        std::set<int> held, leftOutViolated;
        int violatedHeld = 0;
        for (int i = 0; i < all; ++i) {
            const int s = states[nv + static_cast<std::size_t>(i)];
            if (s == 7) {
                held.insert(i);
                violatedHeld += stateOf(i) != 0;
            } else {
                EXPECT_EQ(s, stateOf(i)) << "row " << i;
                if (s != 0) leftOutViolated.insert(i);
            }
        }
        EXPECT_EQ(static_cast<int>(held.size()), lp.nrows);
        ASSERT_FALSE(leftOutViolated.empty());
        ASSERT_GT(violatedHeld, 0);

        // The rows left out that x violates, made as the build makes them, at their places.
        const std::vector<NewRow> add = rows.violatedRows(lp, x);
        std::set<int> got;
        for (const NewRow& r : add) {
            SCOPED_TRACE("row " + std::to_string(r.buildRow));
            got.insert(r.buildRow);
            EXPECT_EQ(r.after,
                      static_cast<int>(std::distance(held.begin(), held.lower_bound(r.buildRow))));
            EXPECT_EQ(r.lower, whole.bl[nv + static_cast<std::size_t>(r.buildRow)]);
            EXPECT_EQ(r.upper, whole.bu[nv + static_cast<std::size_t>(r.buildRow)]);
            for (int j = 1; j <= n; ++j)
                ASSERT_EQ(r.coefficients[static_cast<std::size_t>(j - 1)],
                          whole.a(r.buildRow + 1, j));
        }
        EXPECT_EQ(got, leftOutViolated);
        for (std::size_t k = 1; k < add.size(); ++k) EXPECT_GE(add[k - 1].excess, add[k].excess);

        // With every row in the working set to start from, the rows left out go in: the whole
        // program, row for row, with the states given.
        std::vector<int> start(nv + static_cast<std::size_t>(all), 1);
        const std::vector<int> own = rows.startFrom(lp, start);
        EXPECT_EQ(own, start);
        ASSERT_EQ(lp.nrows, whole.nrows);
        EXPECT_EQ(rows.held(), all);
        EXPECT_EQ(lp.rowRecord, whole.rowRecord);
        EXPECT_EQ(lp.bl, whole.bl);
        EXPECT_EQ(lp.bu, whole.bu);
        for (int j = 1; j <= n; ++j)
            for (int i = 1; i <= all; ++i) ASSERT_EQ(lp.a(i, j), whole.a(i, j)) << i << " " << j;
        for (std::size_t q = 0; q < lp.restrictions.size(); ++q) {
            EXPECT_EQ(lp.restrictions[q].firstRow, whole.restrictions[q].firstRow);
            EXPECT_EQ(lp.restrictions[q].builtRows, whole.restrictions[q].builtRows);
            EXPECT_EQ(lp.restrictions[q].rows, whole.restrictions[q].rows);
        }
    }
}
