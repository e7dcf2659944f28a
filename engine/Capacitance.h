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

// The capacitance matrix and the condition estimate from the matrix kept
// after the solve (CalcParameters::Capacitance); without a kept matrix
// nothing is added. Warns when the estimate is below kConditionWarning.
void AddCapacitance(const FieldCalc& calc, SolutionAnalysis& analysis);
constexpr double kConditionWarning = 1e-13;

// Solves A X = B for the columns of `b` (n x m, column-major, in place) and
// estimates the reciprocal 1-norm condition number of A with its rows and
// columns equilibrated, from one LU factorisation. False for a singular A.
bool SolveSeveral(const matrixT& a, std::vector<double>& b, std::size_t columns, double& rcond);
