#include "engine/matrixT.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <atomic>
#include <chrono>
#include <future>
#include <system_error>
#include <vector>

#include "engine/Blas.h"
#include "engine/ProgressReporter.h"

namespace math {

struct matrixT::Rep {
  // Zeroed by calloc: for large matrices the system hands out zero pages
  // lazily, so allocating costs nothing until the fill writes the rows.
  struct Free {
    void operator()(double* p) const { std::free(p); }
  };
  std::unique_ptr<double[], Free> data;
  std::size_t nRows = 0, nCols = 0, allocRows = 0, allocCols = 0;

  Rep() = default;
  Rep(std::size_t rows, std::size_t cols) : nRows(rows), nCols(cols), allocRows(rows), allocCols(cols) {
    if (rows && cols && rows > SIZE_MAX / sizeof(double) / cols) throw std::bad_alloc();
    if (rows != 0 && cols != 0) {
      data.reset(static_cast<double*>(std::calloc(rows * cols, sizeof(double))));
      if (!data) throw std::bad_alloc();
    }
  }
  double& At(std::size_t i, std::size_t j) { return data[j * allocRows + i]; }
  double At(std::size_t i, std::size_t j) const { return data[j * allocRows + i]; }
};

namespace {

// LAPACK's factorisation reports nothing while it runs. With a progress
// display it runs on a helper thread while this thread moves the bar by an
// estimate from the speed of earlier solves and keeps the display alive;
// nothing else touches the matrix meanwhile.
bool FactorWithProgress(double* a, std::size_t n, int* pivots, ProgressReporter* progress) {
  if (!progress || n < 256) return blas::LuFactor(a, n, pivots);
  static std::atomic<double> flopsPerSecond{1.5e10};
  const double flops = 2.0 / 3.0 * static_cast<double>(n) * static_cast<double>(n) * static_cast<double>(n);
  const auto start = std::chrono::steady_clock::now();
  std::future<bool> done;
  try {
    done = std::async(std::launch::async, [=] { return blas::LuFactor(a, n, pivots); });
  } catch (const std::system_error&) {
    return blas::LuFactor(a, n, pivots);  // no thread to be had: just factorise
  }
  while (done.wait_for(std::chrono::milliseconds(40)) != std::future_status::ready) {
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double fraction = std::min(0.99, seconds * flopsPerSecond.load() / flops);
    progress->SetPosition(static_cast<long long>(n) + static_cast<long long>(fraction * static_cast<double>(n)));
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (seconds > 0.05) flopsPerSecond.store(flops / seconds);
  progress->SetPosition(static_cast<long long>(2 * n));
  return done.get();
}

const char* const kIndexError = "matrixT::operator(): Index out of range!";
const char* const kInconsistent = "matrixT::Solve():Inconsistent matrices!";
const char* const kSingular = "matrixT::Solve(): Singular matrix!";
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
  std::fill_n(rep_->data.get(), rep_->allocRows * rep_->allocCols, v);
}

double* matrixT::Data() {
  Detach();
  return rep_->data.get();
}
const double* matrixT::Data() const { return rep_->data.get(); }
std::size_t matrixT::Ld() const { return rep_->allocRows; }

matrixT matrixT::Solve(const matrixT& b) const {
  matrixT work = *this;
  work.progress = progress;
  work.Detach();  // the one work copy; this matrix stays as it is
  return work.SolveReleasing(b);
}

matrixT matrixT::SolveReleasing(const matrixT& b) {
  const std::size_t n = RowNo();
  if (n != ColNo() || ColNo() != b.RowNo()) throw matrix_error(kInconsistent);
  const std::size_t m = b.ColNo();
  if (progress) {
    progress->ShowStage("Решение системы алгебраических уравнений");
    progress->SetRange(0, static_cast<long long>(m + 2 * n));
    progress->SetPosition(0);
  }
  Detach();
  // LAPACK wants the leading dimension n: restore the in-use size first.
  if (rep_->allocRows != n || rep_->allocCols != n) {
    matrixT packed(n, n);
    for (std::size_t j = 0; j < n; ++j)
      std::copy_n(&rep_->data[j * rep_->allocRows], n, &packed.rep_->data[j * n]);
    rep_ = std::move(packed.rep_);
  }
  matrixT x(n, m);
  for (std::size_t j = 0; j < m; ++j)
    std::copy_n(&b.rep_->data[j * b.rep_->allocRows], n, &x.rep_->data[j * n]);
  if (progress) progress->SetPosition(static_cast<long long>(n));

  std::vector<int> pivots(n);
  const bool regular = FactorWithProgress(rep_->data.get(), n, pivots.data(), progress);
  if (regular) blas::LuSolve(rep_->data.get(), n, pivots.data(), x.rep_->data.get(), m);
  rep_ = std::make_shared<Rep>();
  if (!regular) throw matrix_error(kSingular);
  if (progress) progress->SetPosition(static_cast<long long>(m + 2 * n));
  return x;
}

}  // namespace math
