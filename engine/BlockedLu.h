#pragma once
// LU factorisation with partial pivoting written as a blocked right-looking
// algorithm over the BLAS, so that it can report how far it is and stop
// between blocks. The heavy parts are BLAS calls: a recursive panel
// (dtrsm + dgemm inside), then per slab of the trailing columns the row
// interchanges, dtrsm and dgemm. Trailing updates are split into slabs small
// enough that `onBlock` is called at least every ~2 % of the work.

#include <cstddef>
#include <functional>

namespace math {

// Called on the factorising thread after every panel and every slab with
// the share of the factorisation's flops done (0..1, never decreasing);
// false stops the factorisation at once (the matrix is then left half
// factorised).
using LuBlockCallback = std::function<bool(double fractionDone)>;

enum class LuOutcome { Done, Singular, Stopped };

// Factorises the column-major n x n matrix `a` (leading dimension lda >= n)
// in place into unit-lower L and upper U with P*A = L*U, choosing as pivot
// the first row of largest magnitude in the column (LAPACK's rule).
// `pivots` receives 1-based row interchanges, as dgetrf gives them, so that
// dgetrs can solve with the factors. An exactly zero pivot gives Singular
// (after finishing, as dgetrf does). n = 0 is Done at once.
LuOutcome BlockedLu(double* a, std::size_t n, std::size_t lda, int* pivots, const LuBlockCallback& onBlock = {});

// The width of the panels (columns factorised before each trailing update).
constexpr std::size_t kLuBlock = 256;

}  // namespace math
