// The harmonic-synthesis linear program of one requirement level beta: variables (Fourier and
// polynomial coefficients of every object), bounds, and the rows of every restriction.
#pragma once

#include <array>
#include <vector>

#include "calc/listing.h"
#include "calc/msinp.h"
#include "calc/result_code.h"
#include "calc/run_state.h"

namespace calc {

inline constexpr int kMaxVariables = 720;
inline constexpr int kMaxRows = 2520;
inline constexpr int kMaxGrid = 50;
inline constexpr double kBoundLimit = 1000000.0; // an unbounded side of a row or variable
inline constexpr double kEtaZero = 0.00001;      // frequency ratios at or below count as zero

// x = phi * pi/180 for phi in degrees, with the factor as the module forms it.
inline double radians(double phiDegrees) {
    return phiDegrees * (3.141592653589793 * 0.005555555555555556);
}

// Frequency-ratio grid of one object.
struct EtaGrid {
    std::array<double, kMaxGrid + 1> eta{}; // eta[1..n]
    int n = 0;
};

// The rows of one restriction in a program: where they lie and what they sample.
struct RestrictionRows {
    int record = 0;    // 1-based record number
    int kind = 0;      // IPar[3]
    int object = 0;    // IPar[1]
    int second = 0;    // IPar[2]: the second object (relative kinds), the harmonic (kind 24)
    int firstRow = 0;  // 0-based index of its first row
    int rows = 0;      // its rows: first those of the build, then those inserted after it
    int builtRows = 0; // of them rows of the program's own (made by the build or since)
    int samples = 1;   // sample angles (interval kinds; 1 else)
    int perSample = 0; // rows of the program at each (its rows: samples * perSample)
    double phi1 = 0.0, phi2 = 0.0; // first and last sample angle (point kinds: the angle)
    double step = 0.0;             // between neighbouring sample angles
    double lower = -kBoundLimit, upper = kBoundLimit; // bounds of its rows
    bool hasLower = false, hasUpper = false;          // the sides the record sets
    // The frequency ratios of the grid as its rows met it, in grid order (second value: the
    // second object's, relative kinds); each pair above kEtaZero has a dynamic row per sample.
    std::vector<std::array<double, 2>> etas;
};

// The program of one build: an nrows x nvar matrix by columns (leading dimension lda), the
// bounds of the variables followed by those of the rows, and the record of every row. With a
// sample stride above 1 the rows made are those of every stride-th sample angle of each
// interval restriction and of its last one (sampleMade); the program's other rows are left
// out until they are wanted (calc/sample_rows.h).
struct LPProgram {
    int nvar = 0;
    int nrows = 0;   // rows held
    int allRows = 0; // rows of the program, those left out included
    int lda = 1;
    std::vector<double> A;
    std::vector<double> bl, bu;
    std::vector<int> rowRecord; // 1-based record number of row i at [i-1]
    std::vector<ObjectBuild> objects;
    std::vector<EtaGrid> grids;
    std::vector<RestrictionRows> restrictions; // in record order, those that build rows
    // Rows the storage of A keeps room for beyond those of the build (rows inserted later
    // then move the columns within it instead of allocating a second matrix). Set before the
    // build.
    int spareRows = 0;
    // Every how many sample angles the build makes the rows (1: all). Set before the build.
    int sampleStride = 1;

    double& a(int row, int var) {
        return A[static_cast<std::size_t>(row - 1) + static_cast<std::size_t>(var - 1) * lda];
    }
};

// Frequency-ratio grid of one object for eta min(beta) = eLo and eta max(beta) = eHi, with the
// constant eta min cLo and eta max cHi. EtaGridTooLong when it would exceed its limit.
[[nodiscard]] ResultCode BERETA(EtaGrid& grid, double eLo, double eHi, double cLo, double cHi,
                                int nh);

// Matches the grids of two objects of a relative restriction: the shorter takes the length of
// the longer, its values spread over its own range in the proportions of the longer one. An
// object without grid takes eta = 0 (q = s) at every point.
void ABETA2(EtaGrid& a, EtaGrid& b);

// k^p, as the factor of the derivative of order p of harmonic k.
inline double power(int k, int p) {
    double r = 1.0;
    for (int i = 0; i < p; ++i) r *= k;
    return r;
}

// Coefficients of the dynamic output of harmonic k at frequency ratio eta and damping theta.
struct DynamicFactors {
    double w = 1.0, E = 0.0, den = 1.0;
};
DynamicFactors dynamicFactors(int k, double eta, double theta);

// One row of a restriction of the program: the kinematic row at phi, or the dynamic row at
// the frequency ratio eta1 (and eta2 of the second object of a relative kind). Spectrum kinds
// have no angle; point kinds keep their own.
struct RowSpec {
    int restriction = 0; // index into LPProgram::restrictions
    double phi = 0.0;
    bool dynamic = false;
    double eta1 = 0.0, eta2 = 0.0;
};

// The coefficients of that row as the builder forms them (row holds nvar values and is
// overwritten). False on resonance.
[[nodiscard]] bool restrictionRow(const RunInput& input, const LPProgram& lp, const RowSpec& spec,
                                  std::vector<double>& row);

// Whether the build makes the rows of sample angle `sample` (0-based) of an interval
// restriction with `samples` of them: every stride-th one and the last.
bool sampleMade(int sample, int samples, int stride);

// Builds the program at level beta from the records (which the random search may have varied).
// On failure (TooLarge, Resonance, EtaGridTooLong) the message is on the listing and the build
// stops. Records of unknown kinds build nothing.
[[nodiscard]] ResultCode MSMOD(const RunInput& input, const Records& records, double beta,
                               LPProgram& lp, OutputStream& listing);

} // namespace calc
