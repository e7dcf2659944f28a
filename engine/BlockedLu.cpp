#include "engine/BlockedLu.h"

#include <cblas.h>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <cmath>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "engine/Blas.h"
#include "engine/Parallel.h"

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
    // The first row of largest magnitude (idamax's rule, as dgetf2's).
    const Index p = static_cast<Index>(cblas_idamax(static_cast<int>(m), a, 1));
    piv[0] = static_cast<int>(p);
    if (a[p] == 0.0) return false;
    std::swap(a[0], a[p]);
    const double pivot = a[0];
    if (std::fabs(pivot) >= DBL_MIN) {
      cblas_dscal(static_cast<int>(m - 1), 1.0 / pivot, a + 1, 1);
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

// The deferred interchanges of `rows` pivots on `width` columns, weighed as
// work: on this kind of machine one element swapped costs about as much
// time as 100 flops of the update.
double SwapFlops(Index rows, Index width) { return 100.0 * static_cast<double>(rows) * width; }

// The most trailing columns one thread updates at a time with the panel of
// `jb` columns over m rows: about 1 % of all the work (the bar moves in
// small steps: a report may carry the other threads' pieces too) and no more
// than ~0.1 s of a core's work on a fast machine (a stop waits for the piece
// under way).
Index ChunkCap(Index m, Index jb, double total) {
  const double target = std::min(6e9, total * 0.01);
  return std::max<Index>(1, static_cast<Index>(target / std::max(1.0, SlabFlops(m, jb, 1))));
}

// One step's trailing columns in pieces fixed in advance, so that the
// factors come out the same bits whatever the threads and their timing: the
// first piece is the panel after next (the factorising thread needs it
// early in the next step), the rest of equal width. The factorising thread
// takes pieces from the front, the helpers from the back.
class Pieces {
 public:
  void Set(Index first, Index last, Index firstWidth, Index widest) {
    first_ = first;
    last_ = last;
    head_ = std::min(firstWidth, last - first);
    const Index rest = last - first - head_, count = (rest + widest - 1) / widest;
    width_ = count > 0 ? (rest + count - 1) / count : 1;
    span_.Reset(0, head_ > 0 ? 1 + count : 0);
  }
  bool Take(bool front, Index& c0, Index& c1) {
    Index piece = 0;
    if (!(front ? span_.TakeFront(piece) : span_.TakeBack(piece))) return false;
    c0 = piece == 0 ? first_ : first_ + head_ + (piece - 1) * width_;
    c1 = piece == 0 ? first_ + head_ : std::min(last_, c0 + width_);
    return true;
  }

 private:
  Index first_ = 0, last_ = 0, head_ = 0, width_ = 1;
  Span span_;
};

// Narrower pieces than this are not worth a BLAS call of their own.
constexpr Index kSmallestPiece = 128;

}  // namespace

LuOutcome BlockedLu(double* a, std::size_t nn, std::size_t ldaa, int* pivots, const LuBlockCallback& onBlock) {
  const Index n = static_cast<Index>(nn), lda = static_cast<Index>(ldaa);
  if (n == 0) return LuOutcome::Done;
  const Index nb = static_cast<Index>(kLuBlock), steps = (n + nb - 1) / nb;

  double total = 0.0;
  for (Index k = 0; k < n; k += nb) {
    const Index jb = std::min(nb, n - k), m = n - k;
    total += PanelFlops(m, jb) + SlabFlops(m, jb, n - k - jb);
    if (k + nb < n) total += SwapFlops(n - k - nb, nb);
  }

  // Look-ahead: this thread updates the next panel's columns first and
  // factorises that panel while the helpers go on with the rest of the
  // step, then joins them; a helper done with a step goes on to the next
  // one. Each thread calls the BLAS on one core (OpenBLAS's own threads
  // would wait at every call for the panel's small serial pieces).
  // A piece of columns waits only for what it reads: its panel factorised
  // and its own columns through the step before. Two panels or fewer leave
  // nothing to look ahead to: those stay on this thread, the BLAS on all.
  std::optional<blas::OwnThreadsOnly> ownThreads;
  if (n > 2 * nb) ownThreads.emplace();
  std::atomic<bool> stop{false};
  std::atomic<double> helped{0.0};
  double done = 0.0;
  auto report = [&](double flops) {
    done += flops;
    if (stop.load()) return false;
    if (onBlock && !onBlock(std::min(1.0, (done + helped.load()) / total))) stop.store(true);
    return !stop.load();
  };

  std::unique_ptr<std::atomic<int>[]> through(new std::atomic<int>[static_cast<size_t>(n)]);
  for (Index c = 0; c < n; ++c) through[c].store(-1, std::memory_order_relaxed);
  std::atomic<Index> panelsDone{-1};
  std::unique_ptr<Pieces[]> pieces(new Pieces[static_cast<size_t>(steps)]);
  for (Index s = 0; s < steps; ++s) {
    const Index k = s * nb, first = std::min(n, k + 2 * nb);
    // Late steps in six pieces at least: a thread that reaches a piece
    // still under way waits for all of it.
    const Index widest =
        std::max(kSmallestPiece, std::min((n - first) / 6, ChunkCap(n - k, std::min(nb, n - k), total)));
    pieces[s].Set(first, n, nb, widest);
  }

  const int ld = static_cast<int>(lda), one = 1;
  // Step s (the panel at column s * nb) on columns [c0, c1); 0 if stopped.
  auto update = [&](Index s, Index c0, Index c1) {
    while (panelsDone.load(std::memory_order_acquire) < s) {
      if (stop.load()) return 0.0;
      std::this_thread::yield();
    }
    for (Index c = c0; c < c1; ++c)
      while (through[c].load(std::memory_order_acquire) < s - 1) {
        if (stop.load()) return 0.0;
        std::this_thread::yield();
      }
    const Index k = s * nb, jb = std::min(nb, n - k), m = n - k;
    const double* akk = a + k + k * lda;
    const int k1 = static_cast<int>(k + 1), k2 = static_cast<int>(k + jb), w = static_cast<int>(c1 - c0);
    dlaswp_(&w, a + c0 * lda, &ld, &k1, &k2, pivots, &one);
    double* top = a + k + c0 * lda;
    cblas_dtrsm(CblasColMajor, CblasLeft, CblasLower, CblasNoTrans, CblasUnit, static_cast<int>(jb), w, 1.0, akk, ld,
                top, ld);
    if (m > jb)
      cblas_dgemm(CblasColMajor, CblasNoTrans, CblasNoTrans, static_cast<int>(m - jb), w, static_cast<int>(jb), -1.0,
                  akk + jb, ld, top, ld, 1.0, top + jb, ld);
    for (Index c = c0; c < c1; ++c) through[c].store(static_cast<int>(s), std::memory_order_release);
    return SlabFlops(m, jb, c1 - c0);
  };
  std::vector<int> piv(static_cast<size_t>(n));
  bool regular = true;
  auto panel = [&](Index s) {
    const Index k = s * nb, jb = std::min(nb, n - k), m = n - k;
    regular = PanelLu(a + k + k * lda, m, jb, lda, piv.data() + k) && regular;
    for (Index i = k; i < k + jb; ++i) pivots[i] = piv[static_cast<size_t>(i)] + static_cast<int>(k) + 1;
    panelsDone.store(s, std::memory_order_release);
    return PanelFlops(m, jb);
  };

  bool stopped = !report(panel(0));
  std::vector<std::thread> helpers;
  auto help = [&] {
    Index c0 = 0, c1 = 0;
    for (Index s = 0; s < steps && !stop.load(); ++s)
      while (!stop.load() && pieces[s].Take(false, c0, c1))
        helped.fetch_add(update(s, c0, c1));
  };
  if (!stopped && ownThreads) {
    try {
      for (int t = 1; t < ownThreads->Threads(); ++t) helpers.emplace_back(help);
    } catch (const std::system_error&) {
      // fewer threads than asked for: this one does the rest
    }
  }
  for (Index s = 0; s < steps && !stopped; ++s) {
    const Index next = (s + 1) * nb;
    if (next < n) {
      done += update(s, next, std::min(n, next + nb));
      if (!report(panel(s + 1))) stopped = true;
    }
    Index c0 = 0, c1 = 0;
    while (!stopped && pieces[s].Take(true, c0, c1))
      stopped = !report(update(s, c0, c1));
  }
  stop.store(stopped);
  for (std::thread& t : helpers) t.join();
  if (stopped) return LuOutcome::Stopped;
  ownThreads.reset();

  // Each panel's columns take the interchanges of all the panels after it
  // at the end (dlaswp, on all the BLAS threads again): one pass over them
  // instead of one per panel.
  for (Index k = 0; k + nb < n; k += nb) {
    const int width = static_cast<int>(nb), k1 = static_cast<int>(k + nb + 1), last = static_cast<int>(n);
    dlaswp_(&width, a + k * lda, &ld, &k1, &last, pivots, &one);
    if (!report(SwapFlops(n - k - nb, nb))) return LuOutcome::Stopped;
  }
  return regular ? LuOutcome::Done : LuOutcome::Singular;
}

}  // namespace math
