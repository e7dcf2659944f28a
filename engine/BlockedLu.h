#pragma once
// LU factorisation with partial pivoting written as a blocked right-looking
// algorithm over the BLAS, so that it can report how far it is and stop
// between blocks. The heavy parts are BLAS calls: a recursive panel
// (dtrsm + dgemm inside), then per piece of the trailing columns the row
// interchanges, dtrsm and dgemm. It runs on as many threads as the BLAS has
// (each calling the BLAS on one core), the next panel factorised while the
// others update the rest; the pieces are small enough that `onBlock` is
// called at least every ~3 % of the work.

#include <cstddef>
#include <functional>

namespace math {

// Called on the factorising thread (the caller's) after every panel and
// every piece it updates, with the share of the factorisation's flops done
// by all threads (0..1, never decreasing); false stops the factorisation
// once the pieces under way are done (the matrix is then left half
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
constexpr std::size_t kLuBlock = 192;

}  // namespace math
