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

// The program of one build: an nrows x nvar matrix by columns (leading dimension lda), the
// bounds of the variables followed by those of the rows, and the record of every row.
struct LPProgram {
    int nvar = 0;
    int nrows = 0;
    int lda = 1;
    std::vector<double> A;
    std::vector<double> bl, bu;
    std::vector<int> rowRecord; // 1-based record number of row i at [i-1]
    std::vector<ObjectBuild> objects;
    std::vector<EtaGrid> grids;

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

// Coefficients of the dynamic output of harmonic k at frequency ratio eta and damping theta.
struct DynamicFactors {
    double w = 1.0, E = 0.0, den = 1.0;
};
DynamicFactors dynamicFactors(int k, double eta, double theta);

// Builds the program at level beta from the records (which the random search may have varied).
// On failure (TooLarge, Resonance, EtaGridTooLong) the message is on the listing and the build
// stops. Records of unknown kinds build nothing.
[[nodiscard]] ResultCode MSMOD(const RunInput& input, const Records& records, double beta,
                               LPProgram& lp, OutputStream& listing);

} // namespace calc
