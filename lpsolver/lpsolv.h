// The LP solver's entry points.
//
// LPSOLV minimises COST'x (or finds a feasible point) subject to BL <= x <= BU for the N
// variables and BL <= A x <= BU for the NCLIN general rows; bounds of all N+NCLIN constraints,
// variables first. Arrays are plain contiguous memory: element j of a 1-based array is at
// pointer[j-1]; A is column-major with leading dimension LDA. IFAIL selects the failure mode on
// entry (0 hard and noisy, 1 soft and silent, -1 soft and noisy) and returns the exit code.
// LPOPTN reads one option line ("Print level 0", "Problem type FP", "Nolist", ...); options
// persist across calls until changed or reset by "Defaults".
#pragma once

void LPSOLV(int N, int NCLIN, const double* A, int LDA, const double* BL, const double* BU,
            const double* COST, int* ISTATE, double* X, int& NITER, double& FVAL, double* AXVAL,
            double* MULT, int* IWORK, int NIWORK, double* WORK, int NWORK, int& IFAIL);

void LPOPTN(const char* line);
