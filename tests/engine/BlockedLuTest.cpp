// The blocked LU against LAPACK's dgetrf: the same pivots (the first row of
// largest magnitude), the same solution, the same bits on any number of
// threads; it reports monotone progress,
// stops when asked, keeps its factors for several right-hand sides, and
// never hands LAPACK an empty system.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/Blas.h"
#include "engine/BlockedLu.h"
#include "engine/ProgressReporter.h"
#include "engine/matrixT.h"

namespace {

using math::BlockedLu;
using math::LuOutcome;

std::vector<double> Random(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(-1, 1);
  std::vector<double> a(n * n);
  for (double& v : a) v = u(rng);
  return a;
}

TEST(BlockedLu, SamePivotsAndFactorsAsDgetrf) {
  // Several panels, a ragged last one, and ties in the first column: rows
  // 5 and 400 both hold its largest magnitude, so row 5 must be the pivot.
  for (size_t n : {size_t{1}, size_t{7}, size_t{700}}) {
    std::vector<double> a = Random(n, 3);
    if (n == 700) {
      a[5] = -4.0;
      a[400] = 4.0;
    }
    std::vector<double> ref = a;
    std::vector<int> piv(n), refPiv(n);
    ASSERT_EQ(BlockedLu(a.data(), n, n, piv.data()), LuOutcome::Done);
    ASSERT_TRUE(blas::LuFactor(ref.data(), n, refPiv.data()));
    EXPECT_EQ(piv, refPiv) << n;
    if (n == 700) {
      EXPECT_EQ(piv[0], 6);
    }
    double worst = 0;
    for (size_t k = 0; k < n * n; ++k) worst = std::max(worst, std::fabs(a[k] - ref[k]));
    EXPECT_LT(worst, 1e-10) << n;
  }
}

// The trailing update is shared out among threads at run time: the factors
// must still be the same bits on one thread, two, or more than the cores
// (pieces waiting on each other), and the BLAS gets its threads back.
TEST(BlockedLu, SameBitsOnAnyNumberOfThreads) {
  const size_t n = 1500;  // several pieces in every step
  const std::vector<double> data = Random(n, 21);
  std::vector<double> first;
  std::vector<int> firstPivots;
  for (int threads : {1, 2, 5, 2}) {
    blas::SetThreads(threads);
    std::vector<double> a = data;
    std::vector<int> piv(n);
    ASSERT_EQ(BlockedLu(a.data(), n, n, piv.data()), LuOutcome::Done) << threads;
    EXPECT_EQ(blas::Threads(), threads);
    if (first.empty()) {
      first = a, firstPivots = piv;
      continue;
    }
    EXPECT_EQ(piv, firstPivots) << threads;
    EXPECT_TRUE(std::equal(a.begin(), a.end(), first.begin())) << threads;
  }
  blas::SetThreads(0);

  // Stops at the start, midway and near the end all come back, and leave
  // the BLAS its threads.
  const int before = blas::Threads();
  for (double at : {0.0, 0.5, 0.97}) {
    std::vector<double> a = data;
    std::vector<int> piv(n);
    EXPECT_EQ(BlockedLu(a.data(), n, n, piv.data(), [&](double f) { return f < at; }), LuOutcome::Stopped) << at;
    EXPECT_EQ(blas::Threads(), before);
  }
}

// Two factorisations side by side each take the BLAS to one thread; the
// setting comes back only when the last is done.
TEST(BlockedLu, TheBlasThreadsComeBackWhenTheLastFactorisationEnds) {
  blas::SetThreads(2);
  {
    blas::OwnThreadsOnly outer;
    EXPECT_EQ(outer.Threads(), 2);
    EXPECT_EQ(blas::Threads(), 1);
    std::thread other([] {
      blas::OwnThreadsOnly inner;
      EXPECT_EQ(inner.Threads(), 2);  // what there was, not the one meanwhile
    });
    other.join();
    EXPECT_EQ(blas::Threads(), 1);
  }
  EXPECT_EQ(blas::Threads(), 2);
  blas::SetThreads(0);
}

TEST(BlockedLu, ZeroColumnIsSingularAndEmptyIsDone) {
  std::vector<double> a = Random(300, 4);
  for (size_t i = 0; i < 300; ++i) a[260 * 300 + i] = 0.0;  // column 260, in the second panel
  std::vector<int> piv(300);
  EXPECT_EQ(BlockedLu(a.data(), 300, 300, piv.data()), LuOutcome::Singular);
  EXPECT_EQ(BlockedLu(nullptr, 0, 0, nullptr), LuOutcome::Done);

  // An empty system solves to an empty answer without LAPACK.
  matrixT empty(0, 0), rhs(0, 3);
  const matrixT x = empty.Solve(rhs);
  EXPECT_EQ(x.RowNo(), 0u);
  EXPECT_EQ(x.ColNo(), 3u);
}

TEST(BlockedLu, ProgressIsMonotoneAndStopIsImmediate) {
  const size_t n = 1500;
  std::vector<double> a = Random(n, 5);
  std::vector<int> piv(n);
  std::vector<double> seen;
  ASSERT_EQ(BlockedLu(a.data(), n, n, piv.data(),
                      [&](double f) {
                        seen.push_back(f);
                        return true;
                      }),
            LuOutcome::Done);
  ASSERT_GT(seen.size(), 12u);
  for (size_t i = 1; i < seen.size(); ++i) EXPECT_GE(seen[i], seen[i - 1]);
  EXPECT_NEAR(seen.back(), 1.0, 1e-12);

  // Stopped halfway: no further block runs after the refusal.
  int calls = 0;
  EXPECT_EQ(BlockedLu(a.data(), n, n, piv.data(), [&](double f) { return ++calls, f < 0.5; }), LuOutcome::Stopped);
  EXPECT_LT(calls, static_cast<int>(seen.size()));
}

TEST(BlockedLu, WatcherStopsTheSolveAndIsAskedOnTheCallingThread) {
  const size_t n = 2000;
  const std::vector<double> data = Random(n, 6);
  matrixT a(n, n), b(n, 1);
  std::copy(data.begin(), data.end(), a.Data());
  SilentProgress ui;
  a.progress = &ui;
  const auto caller = std::this_thread::get_id();
  bool sameThread = true;
  std::chrono::steady_clock::time_point refused;
  bool stopped = false;
  try {
    a.SolveReleasing(b, [&](double) {
      sameThread = sameThread && std::this_thread::get_id() == caller;
      refused = std::chrono::steady_clock::now();
      return false;
    });
  } catch (const math::solve_stopped&) {
    stopped = true;
  }
  const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - refused).count();
  EXPECT_TRUE(stopped);
  EXPECT_TRUE(sameThread);
  EXPECT_TRUE(a.IsEmpty());
  EXPECT_LT(waited, 2.0);  // one block, not the rest of the factorisation (not a timing target)
}

TEST(BlockedLu, FactorsKeptForSeveralRightHandSides) {
  const size_t n = 600;
  const std::vector<double> data = Random(n, 8);
  matrixT a(n, n), b(n, 3);
  std::copy(data.begin(), data.end(), a.Data());
  for (size_t i = 0; i < n; ++i)
    for (size_t c = 0; c < 3; ++c) b(i, c) = std::sin(static_cast<double>(i * (c + 1)));
  const matrixT once = a.Solve(b);
  matrixT kept = a;
  EXPECT_THROW(kept.SolveFactored(b), math::matrix_error);
  kept.Factorise();
  ASSERT_TRUE(kept.IsFactorised());
  EXPECT_FALSE(a.IsFactorised());
  for (size_t c = 0; c < 3; ++c) {
    matrixT column(n, 1);
    for (size_t i = 0; i < n; ++i) column(i, 0) = b(i, c);
    const matrixT x = kept.SolveFactored(column);
    for (size_t i = 0; i < n; ++i) EXPECT_NEAR(x(i, 0), once(i, c), 1e-12 * (1 + std::fabs(once(i, c))));
  }
  kept(0, 0) = 1.0;  // a write discards the factors
  EXPECT_FALSE(kept.IsFactorised());
}

// The system's matrix lays its columns on cache lines (a padded leading
// dimension); factors, solutions and the condition estimate must be those
// of the packed matrix, through a copy-on-write and with a ragged size.
TEST(BlockedLu, PaddedColumnsFactorAndSolveAsPackedOnes) {
  EXPECT_EQ(matrixT::PaddedLd(13), 16u);
  EXPECT_EQ(matrixT::PaddedLd(4096), 4096u);
  EXPECT_EQ(matrixT::PaddedLd(4093), 4104u);  // never columns 4 KB apart
  const size_t n = 1100;  // several panels; the solve runs with a display
  const std::vector<double> data = Random(n, 12);
  matrixT packed(n, n), padded;
  padded.Resize(n, n, true);
  ASSERT_EQ(padded.Ld(), 1104u);
  ASSERT_EQ(packed.Ld(), n);
  for (size_t j = 0; j < n; ++j)
    for (size_t i = 0; i < n; ++i) packed(i, j) = padded(i, j) = data[j * n + i] + (i == j ? 3.0 : 0.0);
  matrixT b(n, 2);
  for (size_t i = 0; i < n; ++i) b(i, 0) = 1.0, b(i, 1) = std::cos(0.1 * static_cast<double>(i));
  const matrixT copy = padded;  // shared until written
  matrixT written = copy;
  written(0, 0) += 0.0;
  EXPECT_EQ(written.Ld(), 1104u);
  const matrixT once = written.Solve(b);
  SilentProgress ui;  // the factorisation then runs watched, on a helper thread
  for (matrixT* m : {&packed, &padded}) {
    m->progress = &ui;
    m->Factorise([](double) { return true; }, true);
    m->progress = nullptr;
  }
  const matrixT x = packed.SolveFactored(b), y = padded.SolveFactored(b);
  double rcondPacked = 0.0, rcondPadded = 0.0;
  const matrixT xw = packed.SolveFactoredWithCondition(b, rcondPacked),
                yw = padded.SolveFactoredWithCondition(b, rcondPadded);
  EXPECT_NEAR(rcondPadded, rcondPacked, 1e-12 * rcondPacked);
  EXPECT_GT(rcondPadded, 0.0);
  for (size_t c = 0; c < 2; ++c)
    for (size_t i = 0; i < n; ++i) {
      // Padded or packed: the same operations in the same order. The
      // blocked solve beside the estimate rounds otherwise than dgetrs.
      const double want = x(i, c), scale = 1e-13 * (1 + std::fabs(want));
      EXPECT_NEAR(y(i, c), want, scale);
      EXPECT_NEAR(once(i, c), want, scale);
      EXPECT_NEAR(yw(i, c), xw(i, c), scale);
      EXPECT_NEAR(xw(i, c), want, 1e-10 * (1 + std::fabs(want)));
    }
  for (size_t j = 0; j < n; j += 97)
    for (size_t i = 0; i < n; i += 31) EXPECT_NEAR(padded(i, j), packed(i, j), 1e-12 * (1 + std::fabs(packed(i, j))));
}

}  // namespace

namespace {

// The solves in blocks against LAPACK's, for a matrix of several blocks
// with a ragged last one, plain and transposed, one column and several:
// the same solution to the rounding of the method, the system satisfied.
TEST(BlockedLu, VectorSolvesInBlocksMatchLapackBothWays) {
  const size_t n = 700;
  std::vector<double> a = Random(n, 9);
  for (size_t i = 0; i < n; ++i) a[i * n + i] += 4.0;
  std::vector<double> lu = a;
  std::vector<int> pivots(n);
  ASSERT_TRUE(blas::LuFactor(lu.data(), n, pivots.data()));
  std::vector<double> b(n);
  std::mt19937 rng(4);
  std::uniform_real_distribution<double> u(-1, 1);
  for (double& v : b) v = u(rng);
  for (bool transposed : {false, true}) {
    std::vector<double> want = b, got = b;
    blas::LuSolve(lu.data(), n, n, pivots.data(), want.data(), 1, transposed);
    blas::LuSolveVector(lu.data(), n, n, pivots.data(), got.data(), transposed);
    double scale = 0.0, diff = 0.0, residual = 0.0;
    for (size_t i = 0; i < n; ++i) {
      scale = std::max(scale, std::fabs(want[i]));
      diff = std::max(diff, std::fabs(got[i] - want[i]));
      double row = -b[i];
      for (size_t j = 0; j < n; ++j) row += (transposed ? a[i * n + j] : a[j * n + i]) * got[j];
      residual = std::max(residual, std::fabs(row));
    }
    EXPECT_LT(diff, 1e-11 * scale) << transposed;
    EXPECT_LT(residual, 1e-11) << transposed;
  }
  // Several columns at once: each as it comes alone.
  const size_t m = 3;
  std::vector<double> several(n * m);
  for (double& v : several) v = u(rng);
  for (bool transposed : {false, true}) {
    std::vector<double> got = several;
    blas::LuSolveVectors(lu.data(), n, n, pivots.data(), got.data(), m, transposed);
    for (size_t c = 0; c < m; ++c) {
      std::vector<double> want(several.begin() + c * n, several.begin() + (c + 1) * n);
      blas::LuSolve(lu.data(), n, n, pivots.data(), want.data(), 1, transposed);
      double diff = 0.0, scale = 0.0;
      for (size_t i = 0; i < n; ++i) {
        scale = std::max(scale, std::fabs(want[i]));
        diff = std::max(diff, std::fabs(got[c * n + i] - want[i]));
      }
      EXPECT_LT(diff, 1e-11 * scale) << transposed << " " << c;
    }
  }
}

// The BLAS threads are restarted with a shorter idle spin at start-up: they
// must come back and solve as before, and a value the user set is kept.
TEST(BlockedLu, TheBlasSolvesAfterItsThreadsRestartWithAShorterSpin) {
  const char* before = std::getenv("OPENBLAS_THREAD_TIMEOUT");
  const std::string saved = before ? before : "";
  setenv("OPENBLAS_THREAD_TIMEOUT", "25", 1);
  blas::ShortenIdleSpin();
  EXPECT_STREQ(std::getenv("OPENBLAS_THREAD_TIMEOUT"), "25");
  unsetenv("OPENBLAS_THREAD_TIMEOUT");
  blas::ShortenIdleSpin();
  EXPECT_STREQ(std::getenv("OPENBLAS_THREAD_TIMEOUT"), "22");
  const size_t n = 900;  // large enough for the BLAS to use its threads
  std::vector<double> a = Random(n, 5), lu;
  for (size_t i = 0; i < n; ++i) a[i * n + i] += 4.0;
  for (int round = 0; round < 2; ++round) {  // the threads restarted, then running
    lu = a;
    std::vector<int> pivots(n);
    ASSERT_TRUE(blas::LuFactor(lu.data(), n, pivots.data()));
    std::vector<double> x(n, 1.0);
    blas::LuSolve(lu.data(), n, n, pivots.data(), x.data(), 1);
    double residual = 0.0;
    for (size_t i = 0; i < n; ++i) {
      double row = -1.0;
      for (size_t j = 0; j < n; ++j) row += a[j * n + i] * x[j];
      residual = std::max(residual, std::fabs(row));
    }
    EXPECT_LT(residual, 1e-10) << round;
  }
  if (before)
    setenv("OPENBLAS_THREAD_TIMEOUT", saved.c_str(), 1);
  else
    unsetenv("OPENBLAS_THREAD_TIMEOUT");
}

}  // namespace
