#include "engine/matrixT.h"

#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <atomic>
#include <chrono>
#include <future>
#include <system_error>
#include <vector>

#include "engine/Blas.h"
#include "engine/BlockedLu.h"
#include "engine/Parallel.h"
#include "engine/ProgressReporter.h"

extern "C" void dlacn2_(const int* n, double* v, double* x, int* isgn, double* est, int* kase, int* isave);

namespace math {

namespace {
// Large blocks are mapped directly and asked for huge pages: the system
// hands out zero pages lazily either way, so allocating costs nothing until
// the fill writes the rows, but returning 131 072 small pages of an
// 8000 x 8000 matrix takes 0.1-0.2 s (an abort would wait for it), 256
// huge ones almost nothing, and the BLAS runs with fewer TLB misses.
constexpr std::size_t kMapFrom = std::size_t{32} << 20;

double* AllocateZeroed(std::size_t count, std::size_t& mappedBytes) {
  const std::size_t bytes = count * sizeof(double);
  mappedBytes = 0;
  if (bytes >= kMapFrom) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p != MAP_FAILED) {
      madvise(p, bytes, MADV_HUGEPAGE);  // a hint; refused, small pages serve
      mappedBytes = bytes;
      return static_cast<double*>(p);
    }
  }
  return static_cast<double*>(std::calloc(count, sizeof(double)));
}

struct FreeBlock {
  std::size_t mappedBytes = 0;
  void operator()(double* p) const {
    if (mappedBytes)
      munmap(p, mappedBytes);
    else
      std::free(p);
  }
};
}  // namespace

struct matrixT::Rep {
  using Free = FreeBlock;
  std::unique_ptr<double[], Free> data;
  std::size_t nRows = 0, nCols = 0, allocRows = 0, allocCols = 0;
  // Set by Factorise: the storage holds the LU factors with these 1-based
  // row interchanges.
  std::vector<int> pivots;
  bool factorised = false;
  // Taken before factorising, for ReciprocalCondition: the equilibrating
  // scales and the 1-norm of the equilibrated matrix (< 0: not taken).
  std::vector<double> rowScale, colScale;
  double scaledNorm = -1.0;

  Rep() = default;
  Rep(std::size_t rows, std::size_t cols) : nRows(rows), nCols(cols), allocRows(rows), allocCols(cols) {
    if (rows && cols && rows > SIZE_MAX / sizeof(double) / cols) throw std::bad_alloc();
    if (rows != 0 && cols != 0) {
      std::size_t mapped = 0;
      double* p = AllocateZeroed(rows * cols, mapped);
      if (!p) throw std::bad_alloc();
      data = std::unique_ptr<double[], Free>(p, Free{mapped});
    }
  }
  double& At(std::size_t i, std::size_t j) { return data[j * allocRows + i]; }
  double At(std::size_t i, std::size_t j) const { return data[j * allocRows + i]; }
};

namespace {

// The factorisation runs on a helper thread while this thread moves the bar
// by the work actually done and asks the watcher every 10 ms (a short
// solve still moves in small steps; the wake-ups cost nothing); a stop is
// passed to the factorisation, which ends at its next block, and waited for
// (no thread is ever abandoned). Without a display or a watcher, or for
// small matrices, it runs right here.
LuOutcome FactorWatched(double* a, std::size_t n, int* pivots, ProgressReporter* progress, const SolveWatch& watch) {
  if ((!progress && !watch) || n < 2 * kLuBlock) return BlockedLu(a, n, n, pivots);
  std::atomic<double> done{0.0};
  std::atomic<bool> stop{false};
  auto run = [&] {
    return BlockedLu(a, n, n, pivots, [&](double fraction) {
      done.store(fraction);
      return !stop.load();
    });
  };
  std::future<LuOutcome> result;
  try {
    result = std::async(std::launch::async, run);
  } catch (const std::system_error&) {
    return run();  // no thread to be had: factorise without a display
  }
  try {
    while (result.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready) {
      const double fraction = done.load();
      if (progress)
        progress->SetPosition(static_cast<long long>(n) + static_cast<long long>(fraction * static_cast<double>(n)));
      if (watch && !stop.load() && !watch(fraction)) stop.store(true);
    }
  } catch (...) {
    stop.store(true);
    result.wait();
    throw;
  }
  return result.get();
}

// Scales as LAPACK's dgeequ: each row by its largest magnitude, then each
// column of the row-scaled matrix by its own (1 for a zero row or column).
// Returns the 1-norm of the equilibrated matrix. Rows in bands and columns
// one by one, both in parallel.
double Equilibrate(const double* a, std::size_t nn, std::vector<double>& row, std::vector<double>& col,
                   const double* rowMax) {
  const long long n = static_cast<long long>(nn);
  row.assign(nn, 0.0);
  col.assign(nn, 1.0);
  constexpr long long kBand = 512;
  if (rowMax) {
    std::copy_n(rowMax, nn, row.begin());
  } else {
    ParallelFor((n + kBand - 1) / kBand, [&](long long b0, long long b1) {
      for (long long i0 = b0 * kBand; i0 < std::min(n, b1 * kBand); i0 += kBand) {
        const long long i1 = std::min(n, i0 + kBand);
        double* r = row.data();
        for (long long j = 0; j < n; ++j) {
          const double* c = a + j * n;
          for (long long i = i0; i < i1; ++i) r[i] = std::max(r[i], std::fabs(c[i]));
        }
      }
    });
  }
  for (double& r : row) r = r > 0.0 ? 1.0 / r : 1.0;
  std::vector<double> sums(nn, 0.0);
  ParallelFor(n, [&](long long j0, long long j1) {
    for (long long j = j0; j < j1; ++j) {
      const double* c = a + j * n;
      double largest = 0.0, sum = 0.0;
      for (long long i = 0; i < n; ++i) {
        const double v = std::fabs(c[i]) * row[static_cast<std::size_t>(i)];
        largest = std::max(largest, v);
        sum += v;
      }
      const double s = largest > 0.0 ? 1.0 / largest : 1.0;
      col[static_cast<std::size_t>(j)] = s;
      sums[static_cast<std::size_t>(j)] = sum * s;
    }
  });
  double norm = 0.0;
  for (double v : sums) norm = std::max(norm, v);
  return norm;
}

const char* const kIndexError = "matrixT::operator(): Index out of range!";
const char* const kInconsistent = "matrixT::Solve():Inconsistent matrices!";
const char* const kSingular = "matrixT::Solve(): Singular matrix!";
const char* const kNotFactorised = "matrixT::SolveFactored(): not factorised!";
}  // namespace

matrixT::matrixT() : rep_(std::make_shared<Rep>()) {}
matrixT::matrixT(std::size_t rows, std::size_t cols) : rep_(std::make_shared<Rep>(rows, cols)) {}

void matrixT::Detach() {
  if (rep_.use_count() <= 1) return;
  auto copy = std::make_shared<Rep>(rep_->nRows, rep_->nCols);
  for (std::size_t j = 0; j < rep_->nCols; ++j)
    std::copy_n(&rep_->data[j * rep_->allocRows], rep_->nRows, &copy->data[j * copy->allocRows]);
  rep_ = std::move(copy);
}

double& matrixT::operator()(std::size_t i, std::size_t j) {
  if (i >= rep_->nRows || j >= rep_->nCols) throw matrix_error(kIndexError);
  Detach();
  rep_->factorised = false;
  return rep_->At(i, j);
}

double matrixT::operator()(std::size_t i, std::size_t j) const {
  if (i >= rep_->nRows || j >= rep_->nCols) throw matrix_error(kIndexError);
  return rep_->At(i, j);
}

void matrixT::Resize(std::size_t rows, std::size_t cols) {
  if (rows == rep_->allocRows && cols == rep_->allocCols) {
    if (rep_->nRows == rows && rep_->nCols == cols) return;
    Detach();
    rep_->factorised = false;
    rep_->nRows = rows;
    rep_->nCols = cols;
    return;
  }
  auto fresh = std::make_shared<Rep>(rows, cols);
  const std::size_t r = std::min(rows, rep_->nRows), c = std::min(cols, rep_->nCols);
  for (std::size_t j = 0; j < c; ++j)
    std::copy_n(&rep_->data[j * rep_->allocRows], r, &fresh->data[j * rows]);
  rep_ = std::move(fresh);
}

std::size_t matrixT::RowNo() const { return rep_->nRows; }
std::size_t matrixT::ColNo() const { return rep_->nCols; }

void matrixT::SetAll(double v) {
  Detach();
  rep_->factorised = false;
  std::fill_n(rep_->data.get(), rep_->allocRows * rep_->allocCols, v);
}

double* matrixT::Data() {
  Detach();
  rep_->factorised = false;
  return rep_->data.get();
}
const double* matrixT::Data() const { return rep_->data.get(); }
std::size_t matrixT::Ld() const { return rep_->allocRows; }

matrixT matrixT::Solve(const matrixT& b, const SolveWatch& watch) const {
  matrixT work = *this;
  work.progress = progress;
  work.Detach();  // the one work copy; this matrix stays as it is
  return work.SolveReleasing(b, watch);
}

void matrixT::FactoriseInPlace(const SolveWatch& watch, std::size_t rhsColumns, bool forCondition,
                               const double* rowMax) {
  const std::size_t n = RowNo();
  if (progress) {
    progress->ShowStage("Решение системы алгебраических уравнений");
    progress->SetRange(0, static_cast<long long>(rhsColumns + 2 * n));
    progress->SetPosition(0);
  }
  Detach();
  // The factors want the leading dimension n: restore the in-use size first.
  if (rep_->allocRows != n || rep_->allocCols != n) {
    matrixT packed(n, n);
    for (std::size_t j = 0; j < n; ++j)
      std::copy_n(&rep_->data[j * rep_->allocRows], n, &packed.rep_->data[j * n]);
    rep_ = std::move(packed.rep_);
  }
  rep_->factorised = false;
  rep_->rowScale.clear();
  rep_->colScale.clear();
  rep_->scaledNorm = -1.0;
  LuOutcome outcome;
  try {
    if (forCondition) rep_->scaledNorm = Equilibrate(rep_->data.get(), n, rep_->rowScale, rep_->colScale, rowMax);
    if (progress) progress->SetPosition(static_cast<long long>(n));
    rep_->pivots.assign(n, 0);
    outcome = FactorWatched(rep_->data.get(), n, rep_->pivots.data(), progress, watch);
  } catch (...) {
    rep_ = std::make_shared<Rep>();
    throw;
  }
  if (outcome != LuOutcome::Done) {
    rep_ = std::make_shared<Rep>();
    if (outcome == LuOutcome::Stopped) throw solve_stopped();
    throw matrix_error(kSingular);
  }
  rep_->factorised = true;
  if (progress) progress->SetPosition(static_cast<long long>(2 * n));
}

matrixT matrixT::SolveReleasing(const matrixT& b, const SolveWatch& watch) {
  const std::size_t n = RowNo();
  if (n != ColNo() || ColNo() != b.RowNo()) throw matrix_error(kInconsistent);
  const std::size_t m = b.ColNo();
  FactoriseInPlace(watch, m, false);
  matrixT x = SolveFactored(b);
  rep_ = std::make_shared<Rep>();
  if (progress) progress->SetPosition(static_cast<long long>(m + 2 * n));
  return x;
}

void matrixT::Factorise(const SolveWatch& watch, bool forCondition, const double* rowMax) {
  if (RowNo() != ColNo()) throw matrix_error(kInconsistent);
  FactoriseInPlace(watch, 0, forCondition, rowMax);
}

double matrixT::ReciprocalCondition(const std::function<bool()>& keepGoing) const {
  const Rep& r = *rep_;
  const std::size_t n = r.nRows;
  if (!r.factorised || r.scaledNorm < 0.0 || n == 0 || r.rowScale.size() != n) return -1.0;
  if (r.scaledNorm == 0.0) return 0.0;
  // dlacn2 asks for products with the inverse of B = Dr*A*Dc and of its
  // transpose; both come from A's factors: B^-1 = Dc^-1 A^-1 Dr^-1.
  const int nn = static_cast<int>(n);
  std::vector<double> v(n), x(n);
  std::vector<int> sign(n);
  int kase = 0, isave[3] = {0, 0, 0};
  double estimate = 0.0;
  const double* rs = r.rowScale.data();
  const double* cs = r.colScale.data();
  for (;;) {
    dlacn2_(&nn, v.data(), x.data(), sign.data(), &estimate, &kase, isave);
    if (kase == 0) break;
    if (keepGoing && !keepGoing()) return -1.0;
    const bool transposed = kase == 2;
    const double* first = transposed ? cs : rs;
    const double* last = transposed ? rs : cs;
    for (std::size_t i = 0; i < n; ++i) x[i] /= first[i];
    blas::LuSolveVector(r.data.get(), n, r.pivots.data(), x.data(), transposed);
    for (std::size_t i = 0; i < n; ++i) x[i] /= last[i];
  }
  if (!std::isfinite(estimate)) return 0.0;
  if (estimate <= 0.0) return -1.0;
  return 1.0 / estimate / r.scaledNorm;
}

bool matrixT::IsFactorised() const { return rep_->factorised; }

matrixT matrixT::SolveFactored(const matrixT& b) const {
  if (!rep_->factorised) throw matrix_error(kNotFactorised);
  const std::size_t n = RowNo();
  if (b.RowNo() != n) throw matrix_error(kInconsistent);
  const std::size_t m = b.ColNo();
  matrixT x(n, m);
  // Nothing to copy or solve for an empty system (no storage exists, and
  // LAPACK rejects n = 0 with lda < 1).
  if (n == 0 || m == 0) return x;
  for (std::size_t j = 0; j < m; ++j)
    std::copy_n(b.rep_->data.get() + j * b.rep_->allocRows, n, x.rep_->data.get() + j * n);
  blas::LuSolve(rep_->data.get(), n, rep_->pivots.data(), x.rep_->data.get(), m);
  return x;
}

}  // namespace math
