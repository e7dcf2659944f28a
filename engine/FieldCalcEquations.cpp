// The system of equations of the charge simulation method and its solution.
//
// Unknowns: the charges in placement order, then one potential per floating
// conductor. Rows: one per conductor contour point, two per dielectric
// contour point (potential and normal displacement continuous), then one
// zero-net-charge row per floating conductor.

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <exception>
#include <new>
#include <system_error>
#include <thread>
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

// Ring evaluations in a group of contour points: a few milliseconds.
constexpr double kGroupEvaluations = 1 << 20;

}  // namespace

void FieldCalc::FillMatrix() {
  const long long nc = totalCharges_;
  const long long n = Unknowns();
  const long long np = static_cast<long long>(points_.size());
  const long long matrixBytes =
      static_cast<long long>(coefficients_.Ld()) * static_cast<long long>(coefficients_.ColNo()) * 8;
  const long long touchPiece = TouchPiece(matrixBytes);
  const long long touchPieces =
      matrixBytes >= kTouchFrom && !coefficients_.PagesWritten() ? (matrixBytes + touchPiece - 1) / touchPiece : 0;
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

  // Each thread takes a group of points at a time. The vectorised kernel
  // puts the group's points in lanes and writes each charge's piece of
  // column as it comes out: the stores then drain among the arithmetic.
  // Through a tile of rows instead (transposed on the way out) the fill
  // cost 1.3 times the kernel's own arithmetic, the tile's stores queued
  // behind the matrix's. The precise integrals and the scalar path, a row
  // at a time, still go through a tile of charges that stays in the cache,
  // written into the matrix's columns eight rows (one line of each column)
  // at a time.
  constexpr long long kGroup = 64;  // points
  constexpr long long kTile = 256;  // charges, a whole number of vectors
  // Rows of the tile lie this far apart: 2 or 4 KB apart they would fall
  // into one set of the first-level cache.
  constexpr long long kStride = kTile + 8;
  const bool precise = parameters_.Precise;
  const bool columns = !precise && RingKernelVectorised();
  // Two tiles take turns: while the rows of one are computed, the other
  // goes out to the matrix a few pieces per point, so that the stores drain
  // to memory alongside the arithmetic instead of in bursts that stall it.
  struct Pending {
    double* tile = nullptr;
    double* to = nullptr;  // the matrix at (r0, j0)
    double* rowMax = nullptr;  // at r0
    long long rows = 0, width = 0, stored = 0, blocks = 0;
  };
  auto storeSome = [&](Pending& t, long long upTo) {
    if (upTo <= t.stored) return;
    ringkernel::StoreBlocks(t.tile, kStride, t.rows, t.width, t.to, ld, t.rowMax, t.stored, upTo);
    t.stored = upTo;
  };
  // Groups of points whose rows start on a cache line of every column where
  // the columns themselves are line-aligned: the tile then goes out in
  // whole lines (streamed), never half a line shared with another group,
  // which the memory would have to read back first. Where no such cut is
  // near (dielectric points, two rows each, from an odd row on), the rows
  // before a group's first whole line go out with plain stores. A group is
  // a few milliseconds of work at most, so that a stop is answered at once.
  const double weight = (precise ? 20.0 : 1.0) * (parameters_.UseEarth ? 2.0 : 1.0);
  const long long groupPoints = std::clamp<long long>(
      static_cast<long long>(kGroupEvaluations / std::max(1.0, static_cast<double>(nc) * weight)), 8, kGroup);
  std::vector<long long> groupStart{0};
  for (long long p = 0; p < np;) {
    long long end = std::min(np, p + groupPoints), cut = end;
    if (end < np)
      for (long long e = end; e > p + groupPoints / 2; --e)
        if (rowOf[e] % 8 == 0) {
          cut = e;
          break;
        }
    groupStart.push_back(p = cut);
  }
  const long long groupCount = static_cast<long long>(groupStart.size()) - 1;
  // The two tiles of the calling thread, kept per thread: a fresh pair for
  // each fill would cost a tenth of a small system's arithmetic.
  auto threadTiles = [] {
    thread_local std::vector<double> buffers;
    buffers.resize(static_cast<size_t>(2 * 2 * kGroup * kStride));
    return buffers.data();
  };
  // The last tile out, and the streamed lines made visible to other threads.
  auto flush = [&](Pending& previous) {
    if (previous.tile) storeSome(previous, previous.blocks);
    ringkernel::StoreFence();
  };
  // Rows of points [g0, g1) into a tile, while the tile before goes out.
  auto fillRange = [&](long long g0, long long g1, double* buffers, Pending& previous, int& turn) {
    const long long r0 = rowOf[g0], rows = rowOf[g1] - r0;
    std::array<ringkernel::RowWeights, kGroup> weights;
    if (!precise)
      for (long long p = g0; p < g1; ++p) weights[static_cast<size_t>(p - g0)] = RowWeightsFor(points_[p]);
    if (columns) {
      ringkernel::Columns(points_.data() + g0, weights.data(), rowOf.data() + g0, g1 - g0, arrays, 0, nc, a, ld,
                          rowMax);
      return;
    }
    for (long long j0 = 0; j0 < nc; j0 += kTile) {
      const long long width = std::min(kTile, nc - j0);
      double* tile = buffers + turn * 2 * kGroup * kStride;
      turn ^= 1;
      const long long points = g1 - g0;
      for (long long p = g0; p < g1; ++p) {
        double* pot = tile + (rowOf[p] - r0) * kStride;
        double* normal = points_[p].material == 1 ? nullptr : pot + kStride;
        if (precise)
          precise::CoefficientRow(points_[p], q + j0, width, pot, normal);
        else
          CoefficientRow(points_[p], weights[static_cast<size_t>(p - g0)], arrays, j0, j0 + width, pot, normal);
        if (previous.tile) storeSome(previous, previous.blocks * (p - g0 + 1) / points);
      }
      if (previous.tile) storeSome(previous, previous.blocks);
      double* to = a + j0 * ld + r0;
      previous = Pending{tile, to, rowMax + r0, rows, width, 0, ringkernel::StoreBlockCount(rows, width, to, ld)};
    }
  };
  // Each thread fills a span of consecutive groups of its own, from the
  // front; one done with its own takes the others' last groups, from the
  // back. Two threads writing neighbouring pieces of the same columns at
  // once made the fill up to twice as dear on a two-core machine at times
  // (measured). The spans are cut by the work in them (a dielectric point
  // costs more). The calling thread alone talks to the user: it asks about
  // a stop for each point, a few groups' worth ahead of the points taken
  // (a group is taken only once as many points were asked about), and
  // moves the bar as points are done.
  const long long threads = WorkerThreads();
  std::vector<Span> spans(static_cast<size_t>(std::max(1ll, std::min(threads, groupCount))));
  {
    std::vector<double> cost(static_cast<size_t>(groupCount) + 1, 0.0);
    for (long long g = 0; g < groupCount; ++g) {
      double c = 0.0;
      for (long long p = groupStart[g]; p < groupStart[g + 1]; ++p) c += points_[p].material == 1 ? 1.0 : 1.6;
      cost[static_cast<size_t>(g) + 1] = cost[static_cast<size_t>(g)] + c;
    }
    const long long count = static_cast<long long>(spans.size());
    long long from = 0;
    for (long long t = 0; t < count; ++t) {
      long long to = t + 1 == count ? groupCount : from;
      while (to < groupCount && cost[static_cast<size_t>(to)] < cost.back() * static_cast<double>(t + 1) / count) ++to;
      spans[static_cast<size_t>(t)].Reset(from, std::max(from, to));
      from = std::max(from, to);
    }
  }
  auto takeGroup = [&](size_t own) {
    long long g = -1;
    if (spans[own].TakeFront(g)) return g;
    for (;;) {
      size_t richest = own;
      for (size_t t = 0; t < spans.size(); ++t)
        if (spans[t].Left() > spans[richest].Left()) richest = t;
      if (spans[richest].Left() <= 0) return -1ll;
      if (spans[richest].TakeBack(g)) return g;
    }
  };
  std::atomic<long long> pointsTaken{0}, pointsDone{0}, asked{0};
  std::atomic<bool> stopped{false};
  std::vector<char> filled(static_cast<size_t>(groupCount), 0);
  long long askedHere = 0, stepped = 0, abortAt = -1;
  const long long lookAhead = 4 * threads * groupPoints;
  auto stepToDone = [&] {
    if (!progress_) return;
    for (const long long done = pointsDone.load(); stepped < done; ++stepped) progress_->StepForward();
  };
  // The bar is brought up to date before each question: otherwise what the
  // other threads did meanwhile would show up only after a stop.
  auto askUpTo = [&](long long point) {
    for (point = std::min(point, np); askedHere < point; ++askedHere)
      if (stepToDone(), AbortRequested()) {
        abortAt = askedHere;
        stopped.store(true);
        return;
      }
    asked.store(askedHere, std::memory_order_release);
  };
  auto work = [&](size_t own) {
    const bool asks = own == 0;
    double* const buffers = threadTiles();
    Pending previous;
    int turn = 0;
    for (;;) {
      if (asks) {
        askUpTo(pointsTaken.load() + lookAhead);
        stepToDone();
      }
      if (stopped.load()) break;
      const long long g = takeGroup(own);
      if (g < 0) {
        if (asks) askUpTo(np);  // a helper may wait for the last points
        break;
      }
      const long long upTo = pointsTaken.fetch_add(groupStart[g + 1] - groupStart[g]) + groupStart[g + 1] - groupStart[g];
      // A helper waits only while the calling thread is held up (a question
      // on screen may stay there for minutes): it yields, then naps.
      for (int spins = 0; !stopped.load() && upTo > asked.load(std::memory_order_acquire); ++spins) {
        if (asks)
          askUpTo(upTo);
        else if (spins < 1000)
          std::this_thread::yield();
        else
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      if (stopped.load()) break;
      fillRange(groupStart[g], groupStart[g + 1], buffers, previous, turn);
      filled[static_cast<size_t>(g)] = 1;
      pointsDone.fetch_add(groupStart[g + 1] - groupStart[g]);
    }
    flush(previous);
  };

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
  };
  try {
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
    // A fill of this block again finds its pages there (blocks the library
    // cleared, under 32 MB, had them from the start).
    coefficients_.MarkPagesWritten();
    {
      // The calling thread must be one of the workers: it alone asks.
      std::vector<std::thread> helpers;
      try {
        for (size_t t = 1; t < spans.size(); ++t)
          helpers.emplace_back([&, t] {
            try {
              work(t);
            } catch (...) {
              // Its unfinished group is filled below.
            }
          });
      } catch (const std::system_error&) {
        // Fewer threads than wished: the others do the work.
      }
      std::exception_ptr failure;
      try {
        work(0);
      } catch (...) {
        failure = std::current_exception();
        stopped.store(true);
      }
      for (std::thread& h : helpers) h.join();
      if (failure) std::rethrow_exception(failure);
    }
    // As many points are filled as the user saw asked about before a stop
    // (the first of those not filled yet, in order: with one thread exactly
    // the points before the stop); without a stop, every group a failed
    // helper left.
    long long owed = abortAt >= 0 ? abortAt - pointsDone.load() : np;
    double* const buffers = threadTiles();
    Pending previous;
    int turn = 0;
    for (long long g = 0; g < groupCount && owed > 0; ++g)
      if (!filled[static_cast<size_t>(g)]) {
        const long long end = std::min(groupStart[g + 1], groupStart[g] + owed);
        fillRange(groupStart[g], end, buffers, previous, turn);
        pointsDone.fetch_add(end - groupStart[g]);
        owed -= end - groupStart[g];
      }
    flush(previous);
    const long long finished = abortAt >= 0 ? abortAt : np;
    for (long long p = 0; p < finished; ++p) finishRow(p);
    stepToDone();
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
