#include "engine/BlockedLu.h"

#include <cblas.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>
#include <vector>

extern "C" void dlaswp_(const int* n, double* a, const int* lda, const int* k1, const int* k2, const int* ipiv,
                        const int* incx);

namespace math {
namespace {

using Index = long long;

// Row interchanges piv[k1..k2) (0-based rows relative to `a`) applied to
// columns [c0, c1), in order.
void SwapRows(double* a, Index lda, Index c0, Index c1, const int* piv, Index k1, Index k2) {
  for (Index j = c0; j < c1; ++j) {
    double* col = a + j * lda;
    for (Index i = k1; i < k2; ++i) {
      const Index p = piv[i];
      if (p != i) std::swap(col[i], col[p]);
    }
  }
}

// Recursive LU of the m x n panel (m >= n); piv gets 0-based rows relative
// to the panel. Returns false if a pivot was exactly zero.
bool PanelLu(double* a, Index m, Index n, Index lda, int* piv) {
  if (n == 1) {
    // The first row of largest magnitude: only a strictly larger one wins.
    Index p = 0;
    double best = std::fabs(a[0]);
    for (Index i = 1; i < m; ++i)
      if (std::fabs(a[i]) > best) {
        best = std::fabs(a[i]);
        p = i;
      }
    piv[0] = static_cast<int>(p);
    if (best == 0.0) return false;
    std::swap(a[0], a[p]);
    const double pivot = a[0];
    if (std::fabs(pivot) >= DBL_MIN) {
      const double inv = 1.0 / pivot;
      for (Index i = 1; i < m; ++i) a[i] *= inv;
    } else {
      for (Index i = 1; i < m; ++i) a[i] /= pivot;
    }
    return true;
  }
  const Index n1 = n / 2, n2 = n - n1;
  bool regular = PanelLu(a, m, n1, lda, piv);
  double* a12 = a + n1 * lda;
  SwapRows(a, lda, n1, n, piv, 0, n1);
  cblas_dtrsm(CblasColMajor, CblasLeft, CblasLower, CblasNoTrans, CblasUnit, static_cast<int>(n1),
              static_cast<int>(n2), 1.0, a, static_cast<int>(lda), a12, static_cast<int>(lda));
  double* a22 = a12 + n1;
  cblas_dgemm(CblasColMajor, CblasNoTrans, CblasNoTrans, static_cast<int>(m - n1), static_cast<int>(n2),
              static_cast<int>(n1), -1.0, a + n1, static_cast<int>(lda), a12, static_cast<int>(lda), 1.0, a22,
              static_cast<int>(lda));
  regular = PanelLu(a22, m - n1, n2, lda, piv + n1) && regular;
  for (Index i = n1; i < n; ++i) piv[i] += static_cast<int>(n1);
  SwapRows(a, lda, 0, n1, piv, n1, n);
  return regular;
}

// Flops of the pieces, by the usual counts (their sum over the whole
// factorisation is about 2n^3/3).
double PanelFlops(Index m, Index jb) {
  return static_cast<double>(m) * jb * jb - static_cast<double>(jb) * jb * jb / 3.0;
}
double SlabFlops(Index m, Index jb, Index width) {
  // dtrsm on jb rows plus dgemm on the m - jb rows below.
  return (static_cast<double>(jb) * jb + 2.0 * static_cast<double>(m - jb) * jb) * width;
}

// Trailing columns per slab for a step: about 2 % of all the work (the bar
// moves in small steps) but no more than ~40 ms of it on a fast machine (a
// stop waits for the slab under way), at least one panel wide. Wide slabs
// matter: each dgemm call packs the panel anew and starts its threads.
Index SlabWidth(Index m, Index jb, Index trailing, double total) {
  const double target = std::min(6e9, total * 0.02);
  const double perColumn = SlabFlops(m, jb, 1);
  const Index w = static_cast<Index>(target / std::max(1.0, perColumn));
  // None are left at the last step: the lower bound must not pass the upper.
  const Index most = std::max<Index>(trailing, 1);
  return std::clamp<Index>(w, std::min<Index>(static_cast<Index>(kLuBlock), most), most);
}

}  // namespace

LuOutcome BlockedLu(double* a, std::size_t nn, std::size_t ldaa, int* pivots, const LuBlockCallback& onBlock) {
  const Index n = static_cast<Index>(nn), lda = static_cast<Index>(ldaa);
  if (n == 0) return LuOutcome::Done;
  const Index nb = static_cast<Index>(kLuBlock);

  double total = 0.0;
  for (Index k = 0; k < n; k += nb) {
    const Index jb = std::min(nb, n - k), m = n - k;
    total += PanelFlops(m, jb) + SlabFlops(m, jb, n - k - jb);
  }
  double done = 0.0;
  auto report = [&](double flops) {
    done += flops;
    return !onBlock || onBlock(std::min(1.0, done / total));
  };

  std::vector<int> piv(static_cast<size_t>(n));
  bool regular = true;
  for (Index k = 0; k < n; k += nb) {
    const Index jb = std::min(nb, n - k), m = n - k;
    double* akk = a + k + k * lda;
    regular = PanelLu(akk, m, jb, lda, piv.data() + k) && regular;
    for (Index i = k; i < k + jb; ++i) piv[static_cast<size_t>(i)] += static_cast<int>(k);
    for (Index i = k; i < k + jb; ++i) pivots[i] = piv[static_cast<size_t>(i)] + 1;
    // The interchanges of this panel on the columns to its left (LAPACK's
    // dlaswp: OpenBLAS runs it on all its threads).
    const int k1 = static_cast<int>(k + 1), k2 = static_cast<int>(k + jb), ld = static_cast<int>(lda), one = 1;
    if (k > 0) {
      const int left = static_cast<int>(k);
      dlaswp_(&left, a, &ld, &k1, &k2, pivots, &one);
    }
    if (!report(PanelFlops(m, jb))) return LuOutcome::Stopped;

    const Index trailing = n - k - jb;
    const Index width = SlabWidth(m, jb, trailing, total);
    for (Index c = k + jb; c < n; c += width) {
      const Index w = std::min(width, n - c);
      const int wi = static_cast<int>(w);
      dlaswp_(&wi, a + c * lda, &ld, &k1, &k2, pivots, &one);
      double* top = a + k + c * lda;
      cblas_dtrsm(CblasColMajor, CblasLeft, CblasLower, CblasNoTrans, CblasUnit, static_cast<int>(jb),
                  static_cast<int>(w), 1.0, akk, static_cast<int>(lda), top, static_cast<int>(lda));
      if (m > jb)
        cblas_dgemm(CblasColMajor, CblasNoTrans, CblasNoTrans, static_cast<int>(m - jb), static_cast<int>(w),
                    static_cast<int>(jb), -1.0, akk + jb, static_cast<int>(lda), top, static_cast<int>(lda), 1.0,
                    top + jb, static_cast<int>(lda));
      if (!report(SlabFlops(m, jb, w))) return LuOutcome::Stopped;
    }
  }
  return regular ? LuOutcome::Done : LuOutcome::Singular;
}

}  // namespace math
