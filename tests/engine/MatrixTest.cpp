// The dense matrix handle and its solver.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "engine/ProgressReporter.h"
#include "engine/matrixT.h"

namespace {

using math::matrix_error;

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const matrix_error& e) {
    return e.what();
  }
  return "";
}

TEST(Matrix, SmallSystemsAndPivoting) {
  matrixT a(1, 1), b(1, 1);
  a(0, 0) = 2;
  b(0, 0) = 4;
  EXPECT_DOUBLE_EQ(a.Solve(b)(0, 0), 2.0);

  matrixT c(2, 2), d(2, 1);
  c(0, 0) = 0; c(0, 1) = 1;
  c(1, 0) = 3; c(1, 1) = 2;
  d(0, 0) = 1; d(1, 0) = 8;
  const matrixT x = c.Solve(d);
  EXPECT_DOUBLE_EQ(x(0, 0), 2.0);
  EXPECT_DOUBLE_EQ(x(1, 0), 1.0);
  // Neither A nor B changed.
  EXPECT_EQ(c(0, 0), 0.0);
  EXPECT_EQ(d(1, 0), 8.0);
}

TEST(Matrix, ErrorsCarryTheirTexts) {
  matrixT singular(2, 2), rhs(2, 1);
  singular(0, 1) = 1;
  singular(1, 1) = 1;
  EXPECT_EQ(ErrorOf([&] { singular.Solve(rhs); }), "matrixT::Solve(): Singular matrix!");
  matrixT wide(2, 3);
  EXPECT_EQ(ErrorOf([&] { wide.Solve(rhs); }), "matrixT::Solve():Inconsistent matrices!");
  matrixT sq(3, 3);
  EXPECT_EQ(ErrorOf([&] { sq.Solve(rhs); }), "matrixT::Solve():Inconsistent matrices!");
  EXPECT_EQ(ErrorOf([&] { sq(3, 0) = 1; }), "matrixT::operator(): Index out of range!");
  EXPECT_EQ(ErrorOf([&] { sq(static_cast<size_t>(-1), 0) = 1; }),
            "matrixT::operator(): Index out of range!");
  const matrixT& csq = sq;
  EXPECT_EQ(ErrorOf([&] { (void)csq(0, 3); }), "matrixT::operator(): Index out of range!");
}

TEST(Matrix, CopyOnWriteAndResize) {
  matrixT a(2, 2);
  a(0, 0) = 1; a(0, 1) = 2; a(1, 0) = 3; a(1, 1) = 4;
  matrixT b = a;
  EXPECT_TRUE(b.SharesWith(a));
  b(0, 0) = 9;
  EXPECT_FALSE(b.SharesWith(a));
  EXPECT_EQ(a(0, 0), 1.0);

  a.Resize(3, 3);
  EXPECT_EQ(a(1, 1), 4.0);
  EXPECT_EQ(a(0, 1), 2.0);
  EXPECT_EQ(a(2, 2), 0.0);
  a.Resize(1, 1);
  a.Resize(1, 1);
  EXPECT_EQ(a(0, 0), 1.0);
  a.Resize(0, 0);
  EXPECT_TRUE(a.IsEmpty());
}

TEST(Matrix, LargeSystemAcrossBlocksAndProgress) {
  // Larger than one panel, with a zero leading entry so that pivoting is needed.
  const size_t n = 600;
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> u(-1, 1);
  matrixT a(n, n), b(n, 2);
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = 0; j < n; ++j) a(i, j) = u(rng);
    b(i, 0) = u(rng);
    b(i, 1) = u(rng);
  }
  a(0, 0) = 0.0;
  SilentProgress progress;
  a.progress = &progress;
  const matrixT x = a.Solve(b);
  EXPECT_EQ(progress.Stage(), "Решение системы алгебраических уравнений");
  EXPECT_EQ(progress.Upper(), static_cast<long long>(2 + 2 * n));
  EXPECT_EQ(progress.Position(), progress.Upper());
  for (size_t c = 0; c < 2; ++c)
    for (size_t i = 0; i < n; i += 37) {
      double r = -b(i, c);
      for (size_t j = 0; j < n; ++j) r += a(i, j) * x(j, c);
      EXPECT_NEAR(r, 0.0, 1e-9);
    }
}

TEST(Matrix, SolvingInPlaceGivesTheSameAndReleasesTheMatrix) {
  const size_t n = 300;
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(-1, 1);
  matrixT a(n, n), b(n, 1);
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = 0; j < n; ++j) a(i, j) = u(rng);
    b(i, 0) = u(rng);
  }
  const matrixT x = a.Solve(b);
  matrixT shared = a;  // the original must survive a release through a copy
  const matrixT y = shared.SolveReleasing(b);
  EXPECT_TRUE(shared.IsEmpty());
  EXPECT_EQ(a.RowNo(), n);
  for (size_t i = 0; i < n; ++i) EXPECT_EQ(x(i, 0), y(i, 0));

  matrixT singular(2, 2), rhs(2, 1);
  EXPECT_EQ(ErrorOf([&] { singular.SolveReleasing(rhs); }), "matrixT::Solve(): Singular matrix!");
  EXPECT_TRUE(singular.IsEmpty());
}

TEST(Progress, PercentRules) {
  EXPECT_EQ(ProgressPercent(37, 0, 100), 37);
  EXPECT_EQ(ProgressPercent(50, 0, 200), 25);
  EXPECT_EQ(ProgressPercent(200, 0, 200), 100);
  EXPECT_EQ(ProgressPercent(150, 0, 100), 50);
  EXPECT_EQ(ProgressPercent(200, 0, 100), 0);
  EXPECT_EQ(ProgressPercent(5, 3, 3), 0);
}

}  // namespace
