// The basic vector and matrix operations, on the cblas interface of the BLAS library, with the
// argument conventions the rest of the solver uses: column-major storage with a leading
// dimension, 1-based indices returned, increments as in BLAS (a negative increment walks the
// vector backwards, its first element being at the far end of the storage).
#pragma once

#include <cblas.h>

namespace lp {

enum class Trans { No, Yes };

// Makes the BLAS library run on the calling thread only. The solver works on matrices of a few
// hundred rows, where thread start-up costs more than it brings; the solver entry calls this.
void setBlasSingleThreaded();

namespace detail {
inline CBLAS_TRANSPOSE cblasTrans(Trans t) {
    return t == Trans::Yes ? CblasTrans : CblasNoTrans;
}
} // namespace detail

// y := alpha*op(A)*x + beta*y with A m x n.
inline void DGEMV(Trans trans, int m, int n, double alpha, const double* a, int lda,
                  const double* x, int incx, double beta, double* y, int incy) {
    if (m <= 0 || n <= 0) {
        // Nothing to multiply: y is only scaled, as BLAS does for an empty A.
        const int len = trans == Trans::No ? m : n;
        if (len <= 0) return;
        if (beta == 1.0) return;
        const int step = incy < 0 ? -incy : incy;
        double* p = y;
        for (int i = 0; i < len; ++i, p += step) *p = beta == 0.0 ? 0.0 : beta * *p;
        return;
    }
    cblas_dgemv(CblasColMajor, detail::cblasTrans(trans), m, n, alpha, a, lda, x, incx, beta, y,
                incy);
}

// Solves op(T)*x = b in place, T upper triangular with a non-unit diagonal, order n.
inline void DTRSV(Trans trans, int n, const double* t, int ldt, double* x, int incx) {
    if (n <= 0) return;
    cblas_dtrsv(CblasColMajor, CblasUpper, detail::cblasTrans(trans), CblasNonUnit, n, t, ldt, x,
                incx);
}

// A := A + alpha*x*y' with A m x n.
inline void DGER(int m, int n, double alpha, const double* x, int incx, const double* y, int incy,
                 double* a, int lda) {
    if (m <= 0 || n <= 0) return;
    cblas_dger(CblasColMajor, m, n, alpha, x, incx, y, incy, a, lda);
}

inline double DDOT(int n, const double* x, int incx, const double* y, int incy) {
    if (n <= 0) return 0.0;
    return cblas_ddot(n, x, incx, y, incy);
}

inline void DAXPY(int n, double alpha, const double* x, int incx, double* y, int incy) {
    if (n <= 0) return;
    cblas_daxpy(n, alpha, x, incx, y, incy);
}

// x := alpha*x (positive increments only, as in BLAS).
inline void DSCAL(int n, double alpha, double* x, int incx) {
    if (n <= 0 || incx <= 0) return;
    cblas_dscal(n, alpha, x, incx);
}

inline void DCOPY(int n, const double* x, int incx, double* y, int incy) {
    if (n <= 0) return;
    cblas_dcopy(n, x, incx, y, incy);
}

inline void DSWAP(int n, double* x, int incx, double* y, int incy) {
    if (n <= 0) return;
    cblas_dswap(n, x, incx, y, incy);
}

// Euclidean norm, scaled against overflow (positive increments only).
inline double DNRM2(int n, const double* x, int incx) {
    if (n <= 0 || incx <= 0) return 0.0;
    return cblas_dnrm2(n, x, incx);
}

// 1-based index of the first element of largest magnitude; 0 when n <= 0 or incx <= 0.
inline int IDAMAX(int n, const double* x, int incx) {
    if (n <= 0 || incx <= 0) return 0;
    return static_cast<int>(cblas_idamax(n, x, incx)) + 1;
}

} // namespace lp
