#pragma once
// Dense matrix of doubles with value semantics over a shared representation
// (copies share storage until one of them writes). Storage is one contiguous
// column-major block so that BLAS/LAPACK work on it directly.

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>

class ProgressReporter;

namespace math {

class matrix_error : public std::logic_error {
 public:
  explicit matrix_error(const std::string& what) : std::logic_error(what) {}
  explicit matrix_error(const char* what) : std::logic_error(what) {}
};

class matrixT {
 public:
  matrixT();
  matrixT(std::size_t rows, std::size_t cols);  // zero-filled

  // Element access; throws matrix_error "matrixT::operator(): Index out of
  // range!". The non-const form detaches a shared representation first.
  double& operator()(std::size_t i, std::size_t j);
  double operator()(std::size_t i, std::size_t j) const;

  // Keeps the overlapping top-left block; new elements are 0. Resizing to
  // the allocated size only restores the in-use sizes.
  void Resize(std::size_t rows, std::size_t cols);
  std::size_t RowNo() const;
  std::size_t ColNo() const;
  bool IsEmpty() const { return RowNo() == 0 && ColNo() == 0; }
  void SetAll(double v);

  // Raw column-major storage with leading dimension Ld() (writable access
  // detaches). For the fill and the solver; callers check bounds themselves.
  double* Data();
  const double* Data() const;
  std::size_t Ld() const;

  // X with A*X = B by LU factorisation with partial pivoting (the first row
  // of largest magnitude). Neither A nor B changes; one work copy of A is
  // made. Throws "matrixT::Solve():Inconsistent matrices!" for mismatched
  // shapes and "matrixT::Solve(): Singular matrix!" for an exactly zero pivot.
  // Reports to `progress` when set: range 0 .. m + 2n.
  matrixT Solve(const matrixT& b) const;
  // The same solution, but factorised in this matrix's own storage, which
  // is released afterwards (the matrix is left 0 x 0, also on failure): no
  // second n x n block is needed.
  matrixT SolveReleasing(const matrixT& b);

  // Whether two handles share one representation (for tests).
  bool SharesWith(const matrixT& other) const { return rep_ == other.rep_; }

  ProgressReporter* progress = nullptr;

 private:
  struct Rep;
  void Detach();
  std::shared_ptr<Rep> rep_;
};

}  // namespace math

using math::matrixT;
