#include "engine/matrixT.h"

#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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
  // Line-aligned, so that whole lines of the columns can be streamed.
  const std::size_t rounded = (bytes + 63) / 64 * 64;
  void* p = std::aligned_alloc(64, std::max<std::size_t>(64, rounded));
  if (p) std::memset(p, 0, rounded);
  return static_cast<double*>(p);
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
  std::size_t ld = 0;  // between the columns' starts, >= allocRows
  // Set by Factorise: the storage holds the LU factors with these 1-based
  // row interchanges.
  std::vector<int> pivots;
  bool factorised = false;
  // Taken before factorising, for ReciprocalCondition: the equilibrating
  // scales and the 1-norm of the equilibrated matrix (< 0: not taken).
  std::vector<double> rowScale, colScale;
  double scaledNorm = -1.0;
  bool pagesWritten = false;

  Rep() = default;
  Rep(std::size_t rows, std::size_t cols, std::size_t stride = 0)
      : nRows(rows), nCols(cols), allocRows(rows), allocCols(cols), ld(std::max(rows, stride)) {
    if (ld && cols && ld > SIZE_MAX / sizeof(double) / cols) throw std::bad_alloc();
    if (rows != 0 && cols != 0) {
      std::size_t mapped = 0;
      double* p = AllocateZeroed(ld * cols, mapped);
      if (!p) throw std::bad_alloc();
      data = std::unique_ptr<double[], Free>(p, Free{mapped});
      pagesWritten = mapped == 0;  // cleared by the library, every page written
    }
  }
  double& At(std::size_t i, std::size_t j) { return data[j * ld + i]; }
  double At(std::size_t i, std::size_t j) const { return data[j * ld + i]; }
};

namespace {

// The factorisation runs on a helper thread while this thread moves the bar
// by the work actually done and asks the watcher every 5 ms (a short
// solve still moves in small steps; the wake-ups cost nothing); a stop is
// passed to the factorisation, which ends at its next block, and waited for
// (no thread is ever abandoned). Without a display or a watcher, or for
// small matrices, it runs right here.
LuOutcome FactorWatched(double* a, std::size_t n, std::size_t ld, int* pivots, ProgressReporter* progress,
                        const SolveWatch& watch) {
  if ((!progress && !watch) || n < 2 * kLuBlock) return BlockedLu(a, n, ld, pivots);
  std::atomic<double> done{0.0};
  std::atomic<bool> stop{false};
  auto run = [&] {
    return BlockedLu(a, n, ld, pivots, [&](double fraction) {
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
    while (result.wait_for(std::chrono::milliseconds(5)) != std::future_status::ready) {
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
double Equilibrate(const double* a, std::size_t nn, std::size_t ldd, std::vector<double>& row,
                   std::vector<double>& col, const double* rowMax) {
  const long long n = static_cast<long long>(nn), ld = static_cast<long long>(ldd);
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
          const double* c = a + j * ld;
          for (long long i = i0; i < i1; ++i) r[i] = std::max(r[i], std::fabs(c[i]));
        }
      }
    });
  }
  for (double& r : row) r = r > 0.0 ? 1.0 / r : 1.0;
  std::vector<double> sums(nn, 0.0);
  ParallelFor(n, [&](long long j0, long long j1) {
    const double* r = row.data();
    for (long long j = j0; j < j1; ++j) {
      const double* c = a + j * ld;
      // Eight chains, which the compiler puts in vectors: one chain of
      // additions waited on itself and made this pass half again as long as
      // reading the matrix.
      double m[8] = {}, t[8] = {};
      long long i = 0;
      for (; i + 8 <= n; i += 8)
        for (int k = 0; k < 8; ++k) {
          const double v = std::fabs(c[i + k]) * r[i + k];
          m[k] = std::max(m[k], v);
          t[k] += v;
        }
      for (; i < n; ++i) {
        const double v = std::fabs(c[i]) * r[i];
        m[0] = std::max(m[0], v);
        t[0] += v;
      }
      const double largest = std::max(std::max(std::max(m[0], m[1]), std::max(m[2], m[3])),
                                      std::max(std::max(m[4], m[5]), std::max(m[6], m[7])));
      const double sum = ((t[0] + t[1]) + (t[2] + t[3])) + ((t[4] + t[5]) + (t[6] + t[7]));
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

std::size_t matrixT::PaddedLd(std::size_t rows) {
  if (rows % 8 == 0) return rows;
  std::size_t ld = (rows + 7) / 8 * 8;
  if (ld % 512 == 0) ld += 8;  // columns 4 KB apart would share cache sets
  return ld;
}

matrixT::matrixT() : rep_(std::make_shared<Rep>()) {}
matrixT::matrixT(std::size_t rows, std::size_t cols) : rep_(std::make_shared<Rep>(rows, cols)) {}

void matrixT::Detach() {
  if (rep_.use_count() <= 1) return;
  const bool padded = rep_->ld != rep_->allocRows;
  auto copy = std::make_shared<Rep>(rep_->nRows, rep_->nCols, padded ? PaddedLd(rep_->nRows) : 0);
  for (std::size_t j = 0; j < rep_->nCols; ++j)
    std::copy_n(&rep_->data[j * rep_->ld], rep_->nRows, &copy->data[j * copy->ld]);
  copy->pagesWritten = true;
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

void matrixT::Resize(std::size_t rows, std::size_t cols, bool padded) {
  if (rows == rep_->allocRows && cols == rep_->allocCols) {
    if (rep_->nRows == rows && rep_->nCols == cols) return;
    Detach();
    rep_->factorised = false;
    rep_->nRows = rows;
    rep_->nCols = cols;
    return;
  }
  auto fresh = std::make_shared<Rep>(rows, cols, padded ? PaddedLd(rows) : 0);
  const std::size_t r = std::min(rows, rep_->nRows), c = std::min(cols, rep_->nCols);
  for (std::size_t j = 0; j < c; ++j)
    std::copy_n(&rep_->data[j * rep_->ld], r, &fresh->data[j * fresh->ld]);
  rep_ = std::move(fresh);
}

std::size_t matrixT::RowNo() const { return rep_->nRows; }
std::size_t matrixT::ColNo() const { return rep_->nCols; }

void matrixT::SetAll(double v) {
  Detach();
  rep_->factorised = false;
  std::fill_n(rep_->data.get(), rep_->ld * rep_->allocCols, v);
  rep_->pagesWritten = true;
}

double* matrixT::Data() {
  Detach();
  rep_->factorised = false;
  return rep_->data.get();
}
const double* matrixT::Data() const { return rep_->data.get(); }
std::size_t matrixT::Ld() const { return rep_->ld; }
bool matrixT::PagesWritten() const { return rep_->pagesWritten; }
void matrixT::MarkPagesWritten() {
  Detach();
  rep_->pagesWritten = true;
}

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
  // The factors want the in-use block at the storage's start.
  if (rep_->allocRows != n || rep_->allocCols != n) {
    matrixT packed(n, n);
    for (std::size_t j = 0; j < n; ++j)
      std::copy_n(&rep_->data[j * rep_->ld], n, &packed.rep_->data[j * n]);
    rep_ = std::move(packed.rep_);
  }
  const std::size_t ld = rep_->ld;
  rep_->factorised = false;
  rep_->rowScale.clear();
  rep_->colScale.clear();
  rep_->scaledNorm = -1.0;
  LuOutcome outcome;
  try {
    if (forCondition) rep_->scaledNorm = Equilibrate(rep_->data.get(), n, ld, rep_->rowScale, rep_->colScale, rowMax);
    if (progress) progress->SetPosition(static_cast<long long>(n));
    rep_->pivots.assign(n, 0);
    outcome = FactorWatched(rep_->data.get(), n, ld, rep_->pivots.data(), progress, watch);
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

double InverseNormEstimate(std::size_t n, const double* first, const double* alternating,
                           const std::function<bool(std::vector<double>&, bool transposed)>& apply) {
  if (n == 0) return 0.0;
  if (n == 1) return std::fabs(first[0]);
  auto sum = [&](const double* v) {
    double s = 0.0;
    for (std::size_t i = 0; i < n; ++i) s += std::fabs(v[i]);
    return s;
  };
  auto largest = [&](const std::vector<double>& v) {  // the first of largest magnitude
    std::size_t at = 0;
    for (std::size_t i = 1; i < n; ++i)
      if (std::fabs(v[i]) > std::fabs(v[at])) at = i;
    return at;
  };
  double estimate = sum(first);
  std::vector<double> x(n);
  std::vector<signed char> sign(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = sign[i] = first[i] >= 0.0 ? 1 : -1;
  if (!apply(x, true)) return -1.0;
  std::size_t j = largest(x);
  for (int iteration = 2;; ++iteration) {
    std::fill(x.begin(), x.end(), 0.0);
    x[j] = 1.0;
    if (!apply(x, false)) return -1.0;
    const double previous = estimate;
    estimate = sum(x.data());
    bool repeated = true;
    for (std::size_t i = 0; i < n && repeated; ++i) repeated = (x[i] >= 0.0 ? 1 : -1) == sign[i];
    if (repeated || estimate <= previous) break;  // converged, or cycling
    for (std::size_t i = 0; i < n; ++i) x[i] = sign[i] = x[i] >= 0.0 ? 1 : -1;
    if (!apply(x, true)) return -1.0;
    const std::size_t last = j;
    j = largest(x);
    if (x[last] == std::fabs(x[j]) || iteration >= 5) break;
  }
  return std::max(estimate, 2.0 * sum(alternating) / (3.0 * static_cast<double>(n)));
}

double matrixT::ReciprocalCondition(const std::function<bool()>& keepGoing) const {
  if (!rep_->factorised) return -1.0;
  double rcond = -1.0;
  (void)SolveFactoredWithCondition(matrixT(RowNo(), 0), rcond, keepGoing);
  return rcond;
}

matrixT matrixT::SolveFactoredWithCondition(const matrixT& b, double& rcond,
                                            const std::function<bool()>& keepGoing) const {
  if (!rep_->factorised) throw matrix_error(kNotFactorised);
  const Rep& r = *rep_;
  const std::size_t n = r.nRows;
  if (b.RowNo() != n) throw matrix_error(kInconsistent);
  rcond = -1.0;
  if (n == 0 || r.scaledNorm < 0.0 || r.rowScale.size() != n) return SolveFactored(b);
  if (r.scaledNorm == 0.0) {
    rcond = 0.0;
    return SolveFactored(b);
  }
  // The estimate asks for products with the inverse of C = Dr*A*Dc and of
  // its transpose; both come from A's factors: C^-1 = Dc^-1 A^-1 Dr^-1.
  // B's columns and the estimate's two fixed vectors go in one pass.
  const std::size_t m = b.ColNo();
  const double* rs = r.rowScale.data();
  const double* cs = r.colScale.data();
  std::vector<double> work(n * (m + 2));
  for (std::size_t j = 0; j < m; ++j) std::copy_n(b.rep_->data.get() + j * b.rep_->ld, n, &work[j * n]);
  double* first = &work[m * n];
  double* alternating = first + n;
  for (std::size_t i = 0; i < n; ++i) {
    first[i] = 1.0 / static_cast<double>(n) / rs[i];
    const double magnitude = 1.0 + static_cast<double>(i) / static_cast<double>(std::max<std::size_t>(1, n - 1));
    alternating[i] = (i % 2 == 0 ? magnitude : -magnitude) / rs[i];
  }
  if (keepGoing && !keepGoing()) return matrixT();
  blas::LuSolveVectors(r.data.get(), n, r.ld, r.pivots.data(), work.data(), m + 2);
  for (std::size_t i = 0; i < n; ++i) {
    first[i] /= cs[i];
    alternating[i] /= cs[i];
  }
  const double estimate = InverseNormEstimate(n, first, alternating, [&](std::vector<double>& x, bool transposed) {
    if (keepGoing && !keepGoing()) return false;
    const double* before = transposed ? cs : rs;
    const double* after = transposed ? rs : cs;
    for (std::size_t i = 0; i < n; ++i) x[i] /= before[i];
    blas::LuSolveVector(r.data.get(), n, r.ld, r.pivots.data(), x.data(), transposed);
    for (std::size_t i = 0; i < n; ++i) x[i] /= after[i];
    return true;
  });
  if (estimate < 0.0) return matrixT();  // stopped
  if (!std::isfinite(estimate))
    rcond = 0.0;
  else if (estimate > 0.0)
    rcond = 1.0 / estimate / r.scaledNorm;
  matrixT x(n, m);
  if (m > 0) std::copy_n(work.data(), n * m, x.rep_->data.get());
  return x;
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
    std::copy_n(b.rep_->data.get() + j * b.rep_->ld, n, x.rep_->data.get() + j * x.rep_->ld);
  blas::LuSolve(rep_->data.get(), n, rep_->ld, rep_->pivots.data(), x.rep_->data.get(), m);
  return x;
}

}  // namespace math
