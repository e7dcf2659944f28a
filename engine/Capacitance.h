#pragma once
// The capacitance matrix of the fixed-potential bodies and the estimate of
// how well conditioned the system matrix is.

#include <cstddef>
#include <vector>

class FieldCalc;
namespace math {
class matrixT;
}
using math::matrixT;
struct SolutionAnalysis;

// The capacitance matrix and the condition estimate from the factors the
// solve kept (CalcParameters::Capacitance), or else from the matrix kept for
// its dump (a second factorisation); with neither nothing is added. Warns
// when the estimate is below kConditionWarning and the approximate ring
// formula is in use.
// With `ui` a stop asked (and confirmed) during the estimate ends it: false
// is returned and nothing is added.
class ProgressReporter;
bool AddCapacitance(const FieldCalc& calc, SolutionAnalysis& analysis, ProgressReporter* ui = nullptr);
// Measured on spheres against their analytic field and capacitance: with
// the approximate formula the error stays at 1e-5 down to estimates of
// 1e-14..1e-15 and grows to 1e-4..1e-2 from 5e-19 on, while the check
// points still look fine; with the exact formula nothing degrades down to
// 1e-20 (LU is backward stable; the lost digits are charges, not fields).
constexpr double kConditionWarning = 1e-17;

// Solves A X = B for the columns of `b` (n x m, column-major, in place) and
// estimates the reciprocal 1-norm condition number of A with its rows and
// columns equilibrated, from one LU factorisation. False for a singular A.
bool SolveSeveral(const matrixT& a, std::vector<double>& b, std::size_t columns, double& rcond);
