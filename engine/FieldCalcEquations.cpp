// The system of equations of the charge simulation method and its solution.
//
// Unknowns: the charges in placement order, then one potential per floating
// conductor. Rows: one per conductor contour point, two per dielectric
// contour point (potential and normal displacement continuous), then one
// zero-net-charge row per floating conductor.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <new>
#include <vector>

#include "engine/FieldCalc.h"
#include "engine/Parallel.h"
#include "engine/ProgressReporter.h"
#include "engine/RingField.h"
#include "engine/RingFieldPrecise.h"
#include "engine/RingKernel.h"
#include "model/TextFormat.h"

namespace {

// Pages of the matrix are handed out (and zeroed) by the system at their
// first write, and the first chunk of rows writes into every column, that
// is into every page: seconds for a matrix of gigabytes, with no cancel
// check and no progress in between. They are touched first, a piece per
// thread at a time: a 64th of the matrix, 1 to 32 MB (a few milliseconds).
constexpr long long kTouchFrom = 8ll << 20;
long long TouchPiece(long long bytes) { return std::clamp(bytes / 64, 1ll << 20, 32ll << 20) / 4096 * 4096; }

// Writes every page of [p, p + bytes) once, keeping its value.
void TouchPages(double* p, long long bytes) {
  auto* words = reinterpret_cast<long long*>(p);
  const long long count = bytes / static_cast<long long>(sizeof(long long));
  for (long long k = 0; k < count; k += 4096 / static_cast<long long>(sizeof(long long)))
    __atomic_fetch_add(words + k, 0, __ATOMIC_RELAXED);
}

// Wall time a chunk of contour points should take.
constexpr double kChunkSeconds = 0.05;

}  // namespace

void FieldCalc::FillMatrix() {
  const long long nc = totalCharges_;
  const long long n = Unknowns();
  const long long np = static_cast<long long>(points_.size());
  const long long matrixBytes =
      static_cast<long long>(coefficients_.Ld()) * static_cast<long long>(coefficients_.ColNo()) * 8;
  const long long touchPiece = TouchPiece(matrixBytes);
  const long long touchPieces = matrixBytes >= kTouchFrom ? (matrixBytes + touchPiece - 1) / touchPiece : 0;
  if (progress_) {
    progress_->ShowStage("Заполнение матрицы");
    progress_->SetRange(0, totalPoints_ + touchPieces);
    progress_->SetPosition(0);
  }
  if (static_cast<long long>(charges_.size()) != nc || np != totalPoints_ ||
      static_cast<long long>(coefficients_.RowNo()) != n || static_cast<long long>(rhs_.RowNo()) != n) {
    // Only possible when Place did not run or failed; the solver would
    // then meet zero rows.
    SetError(kBadElement, "matrixT::operator(): Index out of range!");
    return;
  }

  // Row of each contour point's first equation.
  std::vector<long long> rowOf(static_cast<size_t>(np) + 1, 0);
  for (long long p = 0; p < np; ++p) rowOf[p + 1] = rowOf[p] + (points_[p].material == 1 ? 1 : 2);

  double* a = coefficients_.Data();
  const long long ld = static_cast<long long>(coefficients_.Ld());
  double* b = rhs_.Data();
  const Charge* q = charges_.data();
  // The largest magnitude in each row, taken as the rows go out: the
  // condition estimate's equilibration then needs one pass less.
  rowMax_.assign(static_cast<size_t>(n), 0.0);
  double* rowMax = rowMax_.data();
  // The charges in the kernel's layout once, not once per row.
  const ringkernel::ChargeArrays arrays(q, parameters_.Precise ? 0 : nc);

  // Each thread takes a few points at a time and computes their rows a tile
  // of charges at a time into a small buffer that stays in the cache, then
  // writes the tile into the matrix's columns (each column gets the rows as
  // one short run). No buffer of the whole chunk ever goes to memory.
  constexpr long long kGroup = 32;  // points
  constexpr long long kTile = 256;  // charges, a whole number of vectors
  // Rows of the tile lie this far apart: 2 or 4 KB apart they would fall
  // into one set of the first-level cache.
  constexpr long long kStride = kTile + 8;
  const bool precise = parameters_.Precise;
  // Two tiles take turns: while the rows of one are computed, the other
  // goes out to the matrix a slice of columns per point, so that the
  // stores drain to memory alongside the arithmetic instead of in bursts
  // that stall it.
  struct Pending {
    double* tile = nullptr;
    double* to = nullptr;  // the matrix at (r0, j0)
    double* rowMax = nullptr;  // at r0
    long long rows = 0, width = 0, stored = 0;
  };
  auto storeSome = [&](Pending& t, long long upTo) {
    upTo = std::min(upTo, t.width);
    if (upTo <= t.stored) return;
    ringkernel::StoreColumns(t.tile + t.stored, kStride, t.rows, upTo - t.stored, t.to + t.stored * ld, ld,
                             t.rowMax);
    t.stored = upTo;
  };
  auto fillPoints = [&](long long begin, long long end) {
    // Kept per thread: the blocks are small and a fresh pair of tiles for
    // each would cost a tenth of their arithmetic.
    thread_local std::vector<double> buffers;
    buffers.resize(static_cast<size_t>(2 * 2 * kGroup * kStride));
    Pending previous;
    int turn = 0;
    for (long long g0 = begin; g0 < end; g0 += kGroup) {
      const long long g1 = std::min(end, g0 + kGroup);
      const long long r0 = rowOf[g0], rows = rowOf[g1] - r0;
      for (long long j0 = 0; j0 < nc; j0 += kTile) {
        const long long width = std::min(kTile, nc - j0);
        double* tile = buffers.data() + turn * 2 * kGroup * kStride;
        turn ^= 1;
        const long long points = g1 - g0;
        for (long long p = g0; p < g1; ++p) {
          double* pot = tile + (rowOf[p] - r0) * kStride;
          double* normal = points_[p].material == 1 ? nullptr : pot + kStride;
          if (precise)
            precise::CoefficientRow(points_[p], q + j0, width, pot, normal);
          else
            CoefficientRow(points_[p], arrays, j0, j0 + width, pot, normal);
          if (previous.tile) storeSome(previous, (previous.width * (p - g0 + 1) + points - 1) / points);
        }
        if (previous.tile) storeSome(previous, previous.width);
        previous = Pending{tile, a + j0 * ld + r0, rowMax + r0, rows, width, 0};
      }
    }
    if (previous.tile) storeSome(previous, previous.width);
    ringkernel::StoreFence();
  };

  long long chunk = ChunkFor(static_cast<double>(nc) * (parameters_.UseEarth ? 2 : 1));
  long long groups = 0;
  int groupId = 0;
  auto finishRow = [&](long long p) {
    const ContourPoint& cp = points_[p];
    const long long r = rowOf[p];
    if (cp.isFloating) {
      if (cp.region != groupId) {
        groupId = cp.region;
        const long long gr = nc + groups;
        for (long long j = 0; j < nc; ++j)
          if ((a[j * ld + gr] = charges_[j].region == groupId ? 1.0 : 0.0) != 0.0) rowMax[gr] = 1.0;
        for (long long g = 0; g < totalFloating_; ++g) a[(nc + g) * ld + gr] = 0.0;
        b[gr] = 0.0;
        ++groups;
      }
      for (long long g = 0; g < totalFloating_; ++g) a[(nc + g) * ld + r] = 0.0;
      a[(nc + groups - 1) * ld + r] = -1.0;
      rowMax[r] = std::max(rowMax[r], 1.0);
      b[r] = -external_field::Potential(parameters_.ExternalField, cp.y);  // the common potential is unknown
    } else if (cp.material != 1) {
      b[r] = cp.potential;
      b[r + 1] = external_field::InterfaceRhs(parameters_.ExternalField, cp.normalAngle, cp.epsInner, cp.epsOuter);
      for (long long g = 0; g < totalFloating_; ++g) {
        a[(nc + g) * ld + r] = 0.0;
        a[(nc + g) * ld + r + 1] = 0.0;
      }
    } else {
      b[r] = external_field::ConductorRhs(parameters_.ExternalField, cp.y, cp.potential);
      for (long long g = 0; g < totalFloating_; ++g) a[(nc + g) * ld + r] = 0.0;
    }
    if (progress_) progress_->StepForward();
  };
  try {
    const long long threads = WorkerThreads();
    for (long long k = 0; k < touchPieces; k += threads) {
      if (AbortRequested()) return;
      const long long pieces = std::min(threads, touchPieces - k);
      ParallelFor(pieces, [&](long long b0, long long b1) {
        for (long long piece = k + b0; piece < k + b1; ++piece) {
          const long long from = piece * touchPiece;
          TouchPages(a + from / 8, std::min(touchPiece, matrixBytes - from));
        }
      });
      if (progress_)
        for (long long piece = 0; piece < pieces; ++piece) progress_->StepForward();
    }
    for (long long start = 0; start < np;) {
      // The cancel question point by point first, so that an abort stops
      // the fill before the point at which it was confirmed.
      long long stop = std::min(np, start + chunk);
      bool aborted = false;
      for (long long p = start; p < stop; ++p)
        if (AbortRequested()) {
          stop = p;
          aborted = true;
          break;
        }
      const auto began = std::chrono::steady_clock::now();
      ParallelFor(stop - start, [&](long long b0, long long b1) { fillPoints(start + b0, start + b1); });
      for (long long p = start; p < stop; ++p) finishRow(p);
      if (aborted) return;
      // The next chunk by the time this one took: long enough that the
      // threads' start and the uneven end cost nothing, short enough for a
      // stop to be answered at once however slow the points turn out (the
      // precise formula, a busy machine, pages the system hands out late).
      const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
      const double scale = std::clamp(kChunkSeconds / std::max(took, 1e-6), 0.25, 2.0);
      chunk = std::max<long long>(1, static_cast<long long>(static_cast<double>(stop - start) * scale));
      start = stop;
    }
  } catch (const std::bad_alloc&) {
    SetError(kNoMemory);
  }
}

void FieldCalc::ReleaseMatrix() {
  coefficients_.Resize(0, 0);
  rowMax_ = {};
}

void FieldCalc::SolveCharges(bool keepMatrix) {
  // The capacitance and the condition estimate reuse the factors: they are
  // kept in the matrix's storage (no second block) when asked for.
  const bool keepFactors = !keepMatrix && parameters_.Capacitance;
  solved_ = false;
  const long long n = Unknowns();
  if (!CheckUnknowns()) return;
  matrixT solution;
  try {
    coefficients_.progress = progress_;
    // Asked on this thread while the factorisation runs; a confirmed abort
    // (code 9) stops it at its next block.
    const math::SolveWatch watch = [this](double) { return !AbortRequested(); };
    if (keepMatrix) {
      solution = coefficients_.Solve(rhs_, watch);
    } else if (keepFactors) {
      const bool rowsKnown = rowMax_.size() == static_cast<size_t>(n);
      coefficients_.Factorise(watch, true, rowsKnown ? rowMax_.data() : nullptr);
      rowMax_ = {};  // it described the matrix, not the factors
      solution = coefficients_.SolveFactored(rhs_);
    } else {
      solution = coefficients_.SolveReleasing(rhs_, watch);
    }
    coefficients_.progress = nullptr;
  } catch (const math::solve_stopped&) {
    coefficients_.progress = nullptr;  // AbortRequested has set code 9
  } catch (const math::matrix_error&) {
    coefficients_.progress = nullptr;
    SetError(kSingular);
  } catch (const std::bad_alloc&) {
    coefficients_.progress = nullptr;
    SetError(kNoMemory);
  }
  if (errorCode_ != 0) {
    if (progress_) progress_->ShowStage("");
    return;
  }

  if (progress_) {
    progress_->ShowStage("Расчет зарядов");
    progress_->SetRange(0, totalCharges_);
    progress_->SetPosition(0);
  }
  long long reached = 0;
  for (; reached < totalCharges_; ++reached) {
    if (AbortRequested()) break;
    charges_[static_cast<size_t>(reached)].q = solution(static_cast<size_t>(reached), 0);
    if (progress_) progress_->StepForward();
  }

  if (progress_) {
    progress_->ShowStage("Определение плавающих потенциалов");
    progress_->SetRange(reached, n);
  }
  std::vector<double> floating(static_cast<size_t>(totalFloating_), 0.0);
  for (long long g = 0; g < totalFloating_; ++g) {
    if (AbortRequested()) break;
    floating[static_cast<size_t>(g)] = solution(static_cast<size_t>(totalCharges_ + g), 0);
    if (progress_) progress_->StepForward();
  }

  int previous = 0;
  long long group = -1;
  for (ContourPoint& p : points_) {
    if (!p.isFloating) continue;
    if (p.region != previous) {
      ++group;
      previous = p.region;
    }
    if (group >= 0 && group < totalFloating_) p.potential = floating[static_cast<size_t>(group)];
  }
  if (progress_) progress_->ShowStage("");
  // A solution with nan or inf in it (a nearly singular matrix the solver
  // did not notice) must never reach the result files.
  if (errorCode_ == 0) {
    if (const long long bad = FirstNonFiniteCharge(); bad >= 0) {
      SetError(kSingular, text::Format("Заряд %lld (образующая %d) получился равным %g.", bad + 1,
                                       GeneratrixOfCharge(bad) + 1, charges_[static_cast<size_t>(bad)].q));
    } else {
      for (long long g = 0; g < totalFloating_; ++g)
        if (!std::isfinite(floating[static_cast<size_t>(g)])) {
          SetError(kSingular, text::Format("Потенциал проводника с неизвестным потенциалом №%lld получился "
                                           "равным %g.",
                                           g + 1, floating[static_cast<size_t>(g)]));
          break;
        }
    }
  }
  solved_ = errorCode_ == 0;
}
