#pragma once
// Dense matrix of doubles with value semantics over a shared representation
// (copies share storage until one of them writes). Storage is one contiguous
// column-major block so that BLAS/LAPACK work on it directly.

#include <cstddef>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class ProgressReporter;

namespace math {

class matrix_error : public std::logic_error {
 public:
  explicit matrix_error(const std::string& what) : std::logic_error(what) {}
  explicit matrix_error(const char* what) : std::logic_error(what) {}
};

// A solve stopped at the request of its watcher (see SolveWatch).
class solve_stopped : public matrix_error {
 public:
  solve_stopped() : matrix_error("matrixT::Solve(): stopped") {}
};

// Called on the solving thread about every 5 ms while a matrix is
// factorised, with the share of the factorisation's work done (0..1, never
// decreasing); false stops the factorisation, which then ends within one
// block of work and the solve throws solve_stopped. The factorisation
// itself runs on a helper thread meanwhile, so the watcher may keep a
// display alive and ask questions.
using SolveWatch = std::function<bool(double fractionDone)>;

// Hager's estimate of the 1-norm of an inverse, refined as Higham did and
// as LAPACK's dlacn2 takes it: at most five iterations, then the estimate
// from the alternating vector (+-(1 + i/(n-1))), whichever is larger.
// `first` and `alternating` are the inverse applied to e/n and to that
// vector: neither depends on the iteration, so a caller can take both in
// one pass over the factors. `apply` multiplies by the inverse or its
// transpose in place; false stops the estimate, which then returns -1.
double InverseNormEstimate(std::size_t n, const double* first, const double* alternating,
                           const std::function<bool(std::vector<double>&, bool transposed)>& apply);

class matrixT {
 public:
  matrixT();
  matrixT(std::size_t rows, std::size_t cols);  // zero-filled

  // Element access; throws matrix_error "matrixT::operator(): Index out of
  // range!". The non-const form detaches a shared representation first.
  double& operator()(std::size_t i, std::size_t j);
  double operator()(std::size_t i, std::size_t j) const;

  // Keeps the overlapping top-left block; new elements are 0. Resizing to
  // the allocated size only restores the in-use sizes. `padded` lays the
  // columns PaddedLd(rows) apart (see Ld).
  void Resize(std::size_t rows, std::size_t cols, bool padded = false);
  // A column length rounded up to whole cache lines (8 values), but never
  // onto a multiple of 4 KB: every column then starts on a line, and the
  // fill can write whole lines of it straight to memory.
  static std::size_t PaddedLd(std::size_t rows);
  std::size_t RowNo() const;
  std::size_t ColNo() const;
  bool IsEmpty() const { return RowNo() == 0 && ColNo() == 0; }
  void SetAll(double v);

  // Raw column-major storage with leading dimension Ld() (writable access
  // detaches). For the fill and the solver; callers check bounds themselves.
  double* Data();
  const double* Data() const;
  std::size_t Ld() const;
  // Whether every page of the storage has been written since it was
  // allocated: the system hands pages out at their first write, and a fill
  // that knows they are there need not touch them first.
  bool PagesWritten() const;
  void MarkPagesWritten();

  // X with A*X = B by LU factorisation with partial pivoting (the first row
  // of largest magnitude), blocked over the BLAS (BlockedLu.h). Neither A
  // nor B changes; one work copy of A is made. Throws
  // "matrixT::Solve():Inconsistent matrices!" for mismatched shapes,
  // "matrixT::Solve(): Singular matrix!" for an exactly zero pivot and
  // solve_stopped when `watch` asks to stop. Reports to `progress` when set:
  // range 0 .. m + 2n, the factorisation moving it from n to 2n by its real
  // work done. A 0 x 0 system gives a 0 x m solution.
  matrixT Solve(const matrixT& b, const SolveWatch& watch = {}) const;
  // The same solution, but factorised in this matrix's own storage, which
  // is released afterwards (the matrix is left 0 x 0, also on failure): no
  // second n x n block is needed.
  matrixT SolveReleasing(const matrixT& b, const SolveWatch& watch = {});

  // For several right-hand sides over time: factorises this square matrix
  // in its own storage, keeping the factors (element access then reads the
  // factors; any write discards them). Throws like Solve; after a failure
  // the matrix is left 0 x 0.
  // With `forCondition` the row and column scales that equilibrate the
  // matrix (as LAPACK's dgeequ) and the 1-norm of the equilibrated matrix
  // are taken first, for ReciprocalCondition (two passes over the matrix,
  // one if `rowMax` gives the largest magnitude of every row already).
  void Factorise(const SolveWatch& watch = {}, bool forCondition = false, const double* rowMax = nullptr);
  bool IsFactorised() const;
  // The reciprocal 1-norm condition number of the equilibrated matrix,
  // estimated from the kept factors as LAPACK's dgecon does (a handful of
  // triangular solves, no copy); -1 without factors taken for it, 0 for an
  // estimate that overflows. `keepGoing` is asked before every solve (each
  // one pass over the factors); false ends the estimate with -1.
  double ReciprocalCondition(const std::function<bool()>& keepGoing = {}) const;
  // X with A*X = B from the kept factors and the estimate above in `rcond`,
  // B's columns solved in the estimate's first pass over the factors (one
  // pass fewer than SolveFactored and ReciprocalCondition one after the
  // other, and one fewer again than LAPACK's order of the estimate's
  // solves). Throws as SolveFactored. A stop leaves rcond -1 and returns a
  // 0 x 0 matrix.
  matrixT SolveFactoredWithCondition(const matrixT& b, double& rcond,
                                     const std::function<bool()>& keepGoing = {}) const;
  // X with A*X = B from the kept factors, for any number of columns; throws
  // matrix_error "matrixT::SolveFactored(): not factorised!" without them and
  // the Inconsistent error for a B of the wrong height.
  matrixT SolveFactored(const matrixT& b) const;

  // Whether two handles share one representation (for tests).
  bool SharesWith(const matrixT& other) const { return rep_ == other.rep_; }

  ProgressReporter* progress = nullptr;

 private:
  struct Rep;
  void Detach();
  // Packs to n x n and factorises in place; on failure leaves 0 x 0.
  void FactoriseInPlace(const SolveWatch& watch, std::size_t rhsColumns, bool forCondition,
                        const double* rowMax = nullptr);
  std::shared_ptr<Rep> rep_;
};

}  // namespace math

using math::matrixT;
