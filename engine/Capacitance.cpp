#include "engine/Capacitance.h"

#include <algorithm>
#include <cmath>

#include "engine/Accuracy.h"
#include "engine/Blas.h"
#include "engine/FieldCalc.h"
#include "engine/ProgressReporter.h"
#include "engine/RingField.h"
#include "engine/matrixT.h"
#include "model/TextFormat.h"

extern "C" {
void dgecon_(const char* norm, const int* n, const double* a, const int* lda, const double* anorm, double* rcond,
             double* work, int* iwork, int* info);
}

namespace {

// Charges in the engine's units (kV, cm, kEps0) to SI with the CODATA
// eps0: Q[C] = 10 * q.
constexpr double kCoulombsPerUnit = 10.0 * kEps0Codata / kEps0;

}  // namespace

bool SolveSeveral(const matrixT& a, std::vector<double>& b, std::size_t columns, double& rcond) {
  const std::size_t n = a.RowNo();
  if (n == 0 || a.ColNo() != n || b.size() != n * columns) return false;
  // Rows and columns are equilibrated first (as LAPACK's dgeequ does): the
  // zero-net-charge rows of floating conductors hold ones among
  // coefficients of order 1e10, and the estimate would otherwise report
  // that scaling rather than the conditioning of the problem.
  const double* src = a.Data();
  const std::size_t ld = a.Ld();
  std::vector<double> rowScale(n, 0.0), colScale(n, 0.0);
  for (std::size_t j = 0; j < n; ++j)
    for (std::size_t i = 0; i < n; ++i) rowScale[i] = std::max(rowScale[i], std::fabs(src[j * ld + i]));
  for (double& r : rowScale) r = r > 0.0 ? 1.0 / r : 1.0;
  for (std::size_t j = 0; j < n; ++j) {
    for (std::size_t i = 0; i < n; ++i) colScale[j] = std::max(colScale[j], std::fabs(src[j * ld + i]) * rowScale[i]);
    colScale[j] = colScale[j] > 0.0 ? 1.0 / colScale[j] : 1.0;
  }
  std::vector<double> lu(n * n);
  double norm = 0.0;  // 1-norm of the equilibrated matrix: the largest column sum
  for (std::size_t j = 0; j < n; ++j) {
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
      const double v = src[j * ld + i] * rowScale[i] * colScale[j];
      lu[j * n + i] = v;
      sum += std::fabs(v);
    }
    norm = std::max(norm, sum);
  }
  std::vector<int> pivots(n);
  if (!blas::LuFactor(lu.data(), n, pivots.data())) return false;
  const int nn = static_cast<int>(n);
  int info = 0;
  std::vector<double> work(4 * n);
  std::vector<int> iwork(n);
  dgecon_("1", &nn, lu.data(), &nn, &norm, &rcond, work.data(), iwork.data(), &info);
  if (info != 0) rcond = -1.0;
  if (columns == 0) return true;
  for (std::size_t c = 0; c < columns; ++c)
    for (std::size_t i = 0; i < n; ++i) b[c * n + i] *= rowScale[i];
  blas::LuSolve(lu.data(), n, n, pivots.data(), b.data(), columns);
  for (std::size_t c = 0; c < columns; ++c)
    for (std::size_t i = 0; i < n; ++i) b[c * n + i] *= colScale[i];
  return true;
}

bool AddCapacitance(const FieldCalc& calc, SolutionAnalysis& analysis, ProgressReporter* ui) {
  const matrixT& a = calc.Coefficients();
  const long long n = calc.Unknowns();
  if (!calc.HasSolution() || n == 0 || static_cast<long long>(a.RowNo()) != n ||
      static_cast<long long>(a.ColNo()) != n)
    return true;
  const CSurfColl& gens = calc.Generatrices();
  const std::vector<ContourPoint>& points = calc.Points();
  // Row of each contour point and the generatrix it belongs to.
  std::vector<long long> rowOf;
  std::vector<int> genOf;
  long long row = 0;
  for (int i = 0; i < gens.GetSize(); ++i)
    for (long long p = 0; p < gens[i]->PointCount(); ++p) {
      rowOf.push_back(row);
      genOf.push_back(i);
      row += gens[i]->IsConductor() ? 1 : 2;
    }
  if (rowOf.size() != points.size()) return true;

  std::vector<int> fixed;
  for (size_t b = 0; b < analysis.bodies.size(); ++b)
    if (analysis.bodies[b].fixed) fixed.push_back(static_cast<int>(b));
  // One right-hand side per fixed body: that body at 1 kV, every other
  // source (other bodies, external field) at 0; floating bodies float.
  const size_t m = fixed.size();
  std::vector<double> rhs(static_cast<size_t>(n) * m, 0.0);
  for (size_t j = 0; j < m; ++j) {
    const BodyFigures& body = analysis.bodies[fixed[j]];
    for (size_t p = 0; p < points.size(); ++p)
      if (std::find(body.generatrices.begin(), body.generatrices.end(), genOf[p]) != body.generatrices.end())
        rhs[j * n + rowOf[p]] = 1.0;
  }
  double rcond = -1.0;
  if (a.IsFactorised()) {
    // The run's own factors: all bodies and the estimate in one pass over
    // them, then the estimate's few passes of its own.
    matrixT b(static_cast<std::size_t>(n), m);
    if (m > 0) std::copy(rhs.begin(), rhs.end(), b.Data());
    bool stopped = false;
    try {
      const matrixT x = a.SolveFactoredWithCondition(b, rcond, [&] {
        stopped = stopped || (ui && ui->CancelRequested() &&
                              ui->AskYesNo(ProgressReporter::Question::ConfirmAbort,
                                           "Вы действительно хотите прервать расчет?", "",
                                           ProgressReporter::Icon::Question));
        return !stopped;
      });
      if (stopped) return false;
      for (size_t j = 0; j < m; ++j)
        std::copy_n(x.Data() + j * x.Ld(), static_cast<size_t>(n), rhs.begin() + static_cast<long long>(j * n));
    } catch (const math::matrix_error&) {
      return true;
    }
  } else if (!SolveSeveral(a, rhs, m, rcond)) {
    return true;
  }
  analysis.reciprocalCondition = rcond;
  if (rcond >= 0.0 && rcond < kConditionWarning && !calc.Parameters().Precise)
    analysis.warnings.push_back(text::Format(
        "Матрица системы плохо обусловлена (оценка обратного числа обусловленности %.2g < %.0e): "
        "погрешность приближенной формулы кольца усиливается, напряженность и емкость могут быть неточны "
        "на 0.01-1 %%, хотя невязка в контрольных точках мала. Уменьшите L/d или считайте в точном режиме.",
        rcond, kConditionWarning));
  const std::vector<Charge>& charges = calc.Charges();
  analysis.capacitanceBodies = fixed;
  analysis.capacitance.assign(m, std::vector<double>(m, 0.0));
  for (size_t j = 0; j < m; ++j)
    for (size_t i = 0; i < m; ++i) {
      double q = 0.0;
      for (size_t c = 0; c < charges.size(); ++c)
        if (charges[c].region == analysis.bodies[fixed[i]].region) q += rhs[j * n + c];
      // Charge per kV to farads.
      analysis.capacitance[i][j] = q * kCoulombsPerUnit / 1000.0;
    }
  return true;
}
