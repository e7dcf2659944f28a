#include "engine/Accuracy.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <map>

#include "engine/Parallel.h"
#include "engine/ProgressReporter.h"
#include "engine/RingField.h"
#include "engine/RingFieldPrecise.h"
#include "engine/RingKernel.h"
#include "model/Arch.h"
#include "model/Line.h"
#include "model/TextFormat.h"

namespace {

// Charges and capacitances in the engine's units (kV, cm, kEps0) to SI
// with the CODATA eps0: Q[C] = 10 * q.
constexpr double kCoulombsPerUnit = 10.0 * kEps0Codata / kEps0;

// The step between neighbouring contour points, along the generatrix (cm).
double Step(const SurfData& e) {
  if (e.GetKind() == SurfData::kArch) {
    const auto& a = static_cast<const Arch&>(e);
    return std::fabs(a.radius * a.AngularStep());
  }
  if (e.GetKind() == SurfData::kLine) return static_cast<const Line&>(e).step;
  return 0.0;
}

// The potential a conductor generatrix prescribes at `t` steps (the linear
// distribution of a variable potential continued to the ends).
double PrescribedPotential(const SurfData& e, double t) {
  if (e.isFixed) return e.fixedPotential;
  const double n = static_cast<double>(e.PointCount());
  if (n <= 1) return e.potentialFrom;
  return e.potentialFrom + (e.potentialTo - e.potentialFrom) * (t - 1.0) / (n - 1.0);
}

struct CheckResult {
  double t = 0.0, x = 0.0, y = 0.0;
  double potentialError = 0.0, potentialJump = 0.0, flux = 0.0;  // absolute
  double field = 0.0, displacement = 0.0;
  // kV/cm: the tangential field (conductors) or the larger of the jumps of
  // the tangential field and of the normal displacement over the
  // permittivity of the side of `field` (dielectrics).
  double fieldMisfit = 0.0;
  bool inner = false;
  double signedFlux = 0.0;  // dielectrics: the displacement jump with its sign
  bool excluded = false;  // in the neighbourhood of an infinite singular point
};

// Ring evaluations per chunk between two cancel questions: a few tens of
// milliseconds on two cores.
constexpr double kEvaluationsPerChunk = 2e6;
// An evaluation with the exact integrals, in approximate ones.
constexpr double kExactEvaluationCost = 20.0;

// After a cancel request, whether the user confirms stopping.
bool AbortConfirmed(ProgressReporter* ui) {
  return ui && ui->CancelRequested() &&
         ui->AskYesNo(ProgressReporter::Question::ConfirmAbort, "Вы действительно хотите прервать расчет?", "",
                      ProgressReporter::Icon::Question);
}

// fn over [0, count) in parallel chunks of about kEvaluationsPerChunk ring
// evaluations, asking for cancel between them; false after an abort.
bool StoppableFor(long long count, double evaluationsPerItem, ProgressReporter* ui,
                  const std::function<void(long long, long long)>& fn) {
  const long long chunk =
      std::max<long long>(1, static_cast<long long>(kEvaluationsPerChunk / std::max(1.0, evaluationsPerItem)));
  for (long long start = 0; start < count; start += chunk) {
    if (AbortConfirmed(ui)) return false;
    const long long stop = std::min(count, start + chunk);
    ParallelFor(stop - start, [&](long long b0, long long b1) { fn(start + b0, start + b1); });
    if (ui) ui->SetPosition(stop);
  }
  return true;
}

// The exact residual b - A_exact*x of every equation of the solved `calc`
// (the formula's row minus the exact integrals' row, times the charges),
// taken back through the factors the run kept: `correction` is the charges
// with dx as their values, empty where dx is not finite or the rows do not
// match. False when the user stopped it.
bool ExactResidualCorrection(const FieldCalc& calc, double perEvaluation, ProgressReporter* ui,
                             std::vector<Charge>& correction) {
  correction.clear();
  const std::vector<ContourPoint>& points = calc.Points();
  const std::vector<Charge>& solved = calc.Charges();
  const long long nc = static_cast<long long>(solved.size());
  const long long n = calc.Unknowns();
  std::vector<long long> rowOf(points.size() + 1, 0);
  for (size_t p = 0; p < points.size(); ++p) rowOf[p + 1] = rowOf[p] + (points[p].material == 1 ? 1 : 2);
  if (rowOf.back() != nc || n < nc) return true;
  std::vector<Charge> unit(solved);
  for (Charge& c : unit) c.q = 1.0;
  // Plain storage while the threads write: the matrix's element access is
  // not for concurrent writers.
  std::vector<double> r(static_cast<size_t>(n), 0.0);
  if (ui) {
    ui->ShowStage("Оценка точности решения: невязка уравнений по точным интегралам");
    ui->SetRange(0, static_cast<long long>(points.size()));
    ui->SetPosition(0);
  }
  const bool done =
      StoppableFor(static_cast<long long>(points.size()), perEvaluation * (1.0 + kExactEvaluationCost), ui,
                   [&](long long b0, long long b1) {
                     std::vector<double> pa(static_cast<size_t>(nc)), na(static_cast<size_t>(nc)),
                         pe(static_cast<size_t>(nc)), ne(static_cast<size_t>(nc));
                     for (long long p = b0; p < b1; ++p) {
                       const ContourPoint& cp = points[static_cast<size_t>(p)];
                       const bool dielectric = cp.material != 1;
                       CoefficientRow(cp, unit.data(), nc, pa.data(), dielectric ? na.data() : nullptr);
                       precise::CoefficientRow(cp, unit.data(), nc, pe.data(), dielectric ? ne.data() : nullptr);
                       double rp = 0.0, rn = 0.0;
                       for (size_t j = 0; j < static_cast<size_t>(nc); ++j) {
                         rp += (pa[j] - pe[j]) * solved[j].q;
                         if (dielectric) rn += (na[j] - ne[j]) * solved[j].q;
                       }
                       const size_t row = static_cast<size_t>(rowOf[static_cast<size_t>(p)]);
                       r[row] = rp;
                       if (dielectric) r[row + 1] = rn;
                     }
                   });
  if (!done) return false;
  matrixT residual(static_cast<size_t>(n), 1);
  for (size_t i = 0; i < static_cast<size_t>(n); ++i) residual(i, 0) = r[i];
  const matrixT dx = calc.Coefficients().SolveFactored(residual);
  correction = solved;
  for (size_t j = 0; j < static_cast<size_t>(nc); ++j) {
    correction[j].q = dx(j, 0);
    if (!std::isfinite(correction[j].q)) {
      correction.clear();
      break;
    }
  }
  return true;
}

// The length (cm) of the cell around the end of `e` at `t` (0 or n + 1):
// the step of an evenly placed element.
double EndStep(const SurfData& e, bool atStart) {
  if (!e.Graded()) return Step(e);
  const double cell = atStart ? e.CellLength(1) : e.CellLength(e.PointCount());
  if (e.GetKind() == SurfData::kArch) {
    const auto& a = static_cast<const Arch&>(e);
    return std::fabs(a.radius * (a.angle1 - a.angle2)) * cell;
  }
  if (e.GetKind() == SurfData::kLine) return static_cast<const Line&>(e).length * cell;
  return 0.0;
}

}  // namespace

void PointOnGeneratrix(const SurfData& e, double t, double& x, double& y, double& nx, double& ny) {
  // A graded element maps steps to fractions through its cells; an even
  // one steps evenly.
  if (e.GetKind() == SurfData::kArch) {
    const auto& a = static_cast<const Arch&>(e);
    const double th = e.Graded() ? a.angle1 - e.FractionAt(t) * (a.angle1 - a.angle2) : a.angle1 - t * a.AngularStep();
    nx = std::cos(th);
    ny = std::sin(th);
    x = a.xc + a.radius * nx;
    y = a.yc + a.radius * ny;
    return;
  }
  if (e.GetKind() == SurfData::kLine) {
    const auto& l = static_cast<const Line&>(e);
    const double along = e.Graded() ? e.FractionAt(t) * l.length : t * l.step;
    x = l.x1 + along * std::cos(l.direction);
    y = l.y1 + along * std::sin(l.direction);
    nx = std::cos(l.normal + kPi);
    ny = std::sin(l.normal + kPi);
    return;
  }
  x = y = nx = ny = 0.0;
}

std::string FormatWithError(double value, double error) {
  if (!(error > 0.0) || !std::isfinite(error) || !std::isfinite(value)) return text::Format("%.6g", value);
  int decimals = static_cast<int>(-std::floor(std::log10(error)));
  double rounded = std::ceil(error * std::pow(10.0, decimals) * (1.0 - 1e-12)) / std::pow(10.0, decimals);
  if (rounded >= std::pow(10.0, 1 - decimals) * (1.0 - 1e-12)) --decimals;  // 0.0096 -> 0.01
  decimals = std::clamp(decimals, 0, 12);
  rounded = std::ceil(error * std::pow(10.0, decimals) * (1.0 - 1e-12)) / std::pow(10.0, decimals);
  return text::Format("%.*f ± %.*f", decimals, value, decimals, rounded);
}

double SolutionAnalysis::WorstError() const {
  double w = 0.0;
  for (const GeneratrixAccuracy& g : generatrices) w = std::max(w, g.Error());
  return w;
}

SolutionAnalysis AnalyseSolution(const FieldCalc& calc, const AnalysisOptions& options, ProgressReporter* ui) {
  SolutionAnalysis result;
  if (!calc.HasSolution()) return result;
  const int k = std::max(1, options.pointsBetween);
  const CSurfColl& gens = calc.Generatrices();
  const int count = gens.GetSize();
  const CalcParameters& params = calc.Parameters();
  const std::vector<ContourPoint>& points = calc.Points();
  const double perEvaluation = static_cast<double>(std::max<size_t>(1, calc.Charges().size())) * (params.UseEarth ? 2 : 1);
  result.singularPoints = FindSingularPoints(gens, options.singularRadius);
  const std::vector<SingularPoint>& singular = result.singularPoints;

  // Each generatrix's first contour point in placement order.
  std::vector<size_t> firstPoint(static_cast<size_t>(count) + 1, 0);
  for (int i = 0; i < count; ++i) firstPoint[i + 1] = firstPoint[i] + static_cast<size_t>(gens[i]->PointCount());

  // Solved potentials of floating bodies, by body region.
  std::map<int, double> floatingPotential;
  for (int i = 0; i < count; ++i) {
    const SurfData& e = *gens[i];
    if (e.IsConductor() && e.isFloating && e.PointCount() > 0 && firstPoint[i] < points.size())
      floatingPotential[e.innerRegion] = points[firstPoint[i]].potential;
  }

  // Check points (t in steps), contour points and result rows of every
  // generatrix.
  struct Job {
    int gen;
    double t;
    bool check;  // a check point (the figures) rather than a row (the largest field only)
  };
  std::vector<Job> jobs;
  for (int i = 0; i < count; ++i) {
    const SurfData& e = *gens[i];
    const long long n = e.PointCount();
    jobs.push_back({i, 0.0, true});
    for (long long j = 0; j <= n; ++j) jobs.push_back({i, j + 0.5, true});
    jobs.push_back({i, n + 1.0, true});
    for (long long j = 1; j <= n; ++j) jobs.push_back({i, static_cast<double>(j), false});
    const long long rows = n * k + 2;
    if (k > 1)
      for (long long j = 1; j + 1 < rows; ++j)
        jobs.push_back({i, static_cast<double>(j) * (n + 1.0) / (n * k + 1.0), false});
  }

  const auto prepared = calc.PrepareCharges();
  // The field on the side that counts at `t` of generatrix `e`: the outer
  // side of a conductor, the larger of both of a dielectric.
  auto evaluate = [&](const SurfData& e, double t, CheckResult& c, bool exact = false) {
    c.t = t;
    double nx, ny;
    PointOnGeneratrix(e, t, c.x, c.y, nx, ny);
    c.excluded = InSingularNeighbourhood(singular, c.x, c.y);
    if (e.IsConductor()) {
      double phi, ex, ey;
      if (exact) {
        double out[3], unused[3];
        calc.FieldAtTwoExact(e.outerRegion, e.outerRegion, c.x, c.y, out, unused);
        phi = out[0], ex = out[1], ey = out[2];
      } else {
        calc.FieldAt(e.outerRegion, c.x, c.y, &phi, &ex, &ey, prepared.get());
      }
      const auto f = floatingPotential.find(e.innerRegion);
      const double u = !e.isFloating ? PrescribedPotential(e, t) : f != floatingPotential.end() ? f->second : 0.0;
      c.potentialError = std::fabs(phi - u);
      c.field = std::hypot(ex, ey);
      c.displacement = e.epsOuter * c.field;
      c.fieldMisfit = std::fabs(-ex * ny + ey * nx);
    } else {
      double out[3], in[3];
      if (exact)
        calc.FieldAtTwoExact(e.outerRegion, e.innerRegion, c.x, c.y, out, in);
      else
        calc.FieldAtTwo(e.outerRegion, e.innerRegion, c.x, c.y, out, in, prepared.get());
      c.potentialJump = std::fabs(out[0] - in[0]);
      c.signedFlux = e.epsInner * (in[1] * nx + in[2] * ny) - e.epsOuter * (out[1] * nx + out[2] * ny);
      c.flux = std::fabs(c.signedFlux);
      const double fo = std::hypot(out[1], out[2]), fi = std::hypot(in[1], in[2]);
      c.inner = fi > fo;
      c.field = std::max(fo, fi);
      c.displacement = std::max(e.epsOuter * fo, e.epsInner * fi);
      const double tangentJump = std::fabs((-in[1] * ny + in[2] * nx) - (-out[1] * ny + out[2] * nx));
      // A misfit at the interface is shared by both sides as a surface
      // charge (or double layer) would be: the side of `field` carries the
      // displacement jump over eps_in + eps_out and the tangential jump
      // times the other side's share.
      const double both = e.epsInner + e.epsOuter, other = c.inner ? e.epsOuter : e.epsInner;
      c.fieldMisfit = both > 0.0 ? std::max(tangentJump * other, c.flux) / both : 0.0;
    }
  };

  if (ui) {
    ui->ShowStage("Оценка точности решения");
    ui->SetRange(0, static_cast<long long>(jobs.size()));
    ui->SetPosition(0);
  }
  // The ring formula's modulus clamp, for any charge and any contour or
  // check point of a generatrix. Where it is reached the solution can be
  // tens of per cent off while the conditions, checked with the same
  // formula, look fine (a 5 cm sphere in a 20 cm coat: 3.8 kV/cm off with
  // 0.035 reported); see the exact residual below.
  std::vector<char> clamped(static_cast<size_t>(count), 0);
  if (!params.Precise) {
    const std::vector<Charge>& charges = calc.Charges();
    auto reaches = [&](double x, double y) {
      for (const Charge& q : charges)
        if (RingModulusClamped(q, x, y)) return true;
      return false;
    };
    const bool done =
        StoppableFor(count, perEvaluation * 3.0 * static_cast<double>(points.size()) / std::max(1, count), ui,
                     [&](long long b0, long long b1) {
                       for (long long i = b0; i < b1; ++i) {
                         for (size_t p = firstPoint[i]; p < firstPoint[i + 1] && p < points.size() && !clamped[i]; ++p)
                           if (reaches(points[p].x, points[p].y)) clamped[i] = 1;
                       }
                     }) &&
        StoppableFor(static_cast<long long>(jobs.size()), perEvaluation, ui, [&](long long b0, long long b1) {
          for (long long j = b0; j < b1; ++j) {
            if (clamped[jobs[j].gen]) continue;
            double x, y, nx, ny;
            PointOnGeneratrix(*gens[jobs[j].gen], jobs[j].t, x, y, nx, ny);
            if (reaches(x, y)) clamped[jobs[j].gen] = 1;
          }
        });
    if (!done) {
      result.aborted = true;
      return result;
    }
  }
  const bool clampReached = std::find(clamped.begin(), clamped.end(), 1) != clamped.end();
  result.clampReached = clampReached;

  std::vector<CheckResult> checks(jobs.size());
  if (!StoppableFor(static_cast<long long>(jobs.size()), perEvaluation, ui, [&](long long b0, long long b1) {
        for (long long j = b0; j < b1; ++j) evaluate(*gens[jobs[j].gen], jobs[j].t, checks[j]);
      })) {
    result.aborted = true;
    return result;
  }

  // Scales: the largest prescribed potential; else the largest floating
  // one; else what the external field spans over the system.
  double scale = 0.0;
  for (int i = 0; i < count; ++i) {
    const SurfData& e = *gens[i];
    if (!e.IsConductor() || e.isFloating) continue;
    scale = std::max({scale, std::fabs(e.isFixed ? e.fixedPotential : e.potentialFrom),
                      std::fabs(e.isFixed ? e.fixedPotential : e.potentialTo)});
  }
  if (scale == 0.0)
    for (const auto& [region, u] : floatingPotential) scale = std::max(scale, std::fabs(u));
  if (scale == 0.0 && !checks.empty()) {
    double lo = checks[0].y, hi = checks[0].y;
    for (const CheckResult& c : checks) lo = std::min(lo, c.y), hi = std::max(hi, c.y);
    scale = std::fabs(params.ExternalField) * (hi - lo);
  }
  result.potentialScale = scale > 0.0 ? scale : 1.0;
  double flux = 0.0;
  for (const CheckResult& c : checks)
    if (!c.excluded) flux = std::max(flux, c.displacement);
  result.fluxScale = flux > 0.0 ? flux : 1.0;

  result.generatrices.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    result.generatrices[i].index = i;
    result.generatrices[i].conductor = gens[i]->IsConductor();
  }
  for (size_t j = 0; j < checks.size(); ++j) {
    const CheckResult& c = checks[j];
    if (c.excluded) continue;
    GeneratrixAccuracy& g = result.generatrices[jobs[j].gen];
    if (c.field > g.maxField) {
      g.maxField = c.field;
      g.maxX = c.x, g.maxY = c.y;
      g.maxInner = c.inner;
      g.maxAt = c.t;
    }
    if (!jobs[j].check) continue;
    const double before = g.Error();
    g.potentialError = std::max(g.potentialError, c.potentialError / result.potentialScale);
    g.potentialJump = std::max(g.potentialJump, c.potentialJump / result.potentialScale);
    g.fluxJump = std::max(g.fluxJump, c.flux / result.fluxScale);
    if (g.Error() > before) g.worstAt = c.t;
  }

  // The largest field pinned down between the samples around the best one
  // (a golden-section search over half a step either side), then its error
  // from the misfit at the check points within one and a half steps.
  constexpr double kGolden = 0.6180339887498949;
  constexpr int kGoldenSteps = 24;
  if (!StoppableFor(count, perEvaluation * 2 * kGoldenSteps, ui, [&](long long b0, long long b1) {
        for (long long i = b0; i < b1; ++i) {
          GeneratrixAccuracy& g = result.generatrices[i];
          const SurfData& e = *gens[i];
          if (g.maxField <= 0.0) continue;
          const double top = e.PointCount() + 1.0;
          double lo = std::max(0.0, g.maxAt - 0.5), hi = std::min(top, g.maxAt + 0.5);
          auto fieldAt = [&](double t, CheckResult& c) {
            evaluate(e, t, c);
            return c.excluded ? -1.0 : c.field;
          };
          CheckResult c1, c2;
          double t1 = hi - kGolden * (hi - lo), t2 = lo + kGolden * (hi - lo);
          double f1 = fieldAt(t1, c1), f2 = fieldAt(t2, c2);
          for (int s = 0; s < kGoldenSteps; ++s) {
            if (f1 < f2) {
              lo = t1, t1 = t2, f1 = f2, c1 = c2;
              t2 = lo + kGolden * (hi - lo);
              f2 = fieldAt(t2, c2);
            } else {
              hi = t2, t2 = t1, f2 = f1, c2 = c1;
              t1 = hi - kGolden * (hi - lo);
              f1 = fieldAt(t1, c1);
            }
          }
          const CheckResult& best = f1 >= f2 ? c1 : c2;
          if (best.field > g.maxField && !best.excluded) {
            g.maxField = best.field;
            g.maxX = best.x, g.maxY = best.y;
            g.maxInner = best.inner;
            g.maxAt = best.t;
          }
        }
      })) {
    result.aborted = true;
    return result;
  }
  // The check points within one and a half steps of each largest field.
  std::vector<size_t> near;
  for (size_t j = 0; j < checks.size(); ++j) {
    const CheckResult& c = checks[j];
    const GeneratrixAccuracy& g = result.generatrices[jobs[j].gen];
    if (!c.excluded && jobs[j].check && g.maxField > 0.0 && std::fabs(c.t - g.maxAt) <= 1.5) near.push_back(j);
  }
  for (size_t j : near) {
    GeneratrixAccuracy& g = result.generatrices[jobs[j].gen];
    const double factor = g.conductor ? kFieldErrorFactor : kDielectricFieldErrorFactor;
    g.maxFieldError = std::max(g.maxFieldError, factor * checks[j].fieldMisfit);
  }
  // The approximate formula's own error is invisible to the checks: they
  // evaluate it too. Near each largest field the same charges are taken
  // again with the exact integrals: the misfit at those check points counts
  // as well, and the difference at the largest field itself is added
  // (without it a clamped coated sphere reported 8.53 +- 0.05 kV/cm against
  // an exact 6.36).
  std::vector<double> formulaError(static_cast<size_t>(count), 0.0);
  if (!params.Precise) {
    std::vector<int> maxima;
    for (int i = 0; i < count; ++i)
      if (result.generatrices[i].maxField > 0.0) maxima.push_back(i);
    const long long items = static_cast<long long>(near.size() + maxima.size());
    std::vector<CheckResult> exact(static_cast<size_t>(items));
    if (!StoppableFor(items, perEvaluation * kExactEvaluationCost, ui, [&](long long b0, long long b1) {
          for (long long j = b0; j < b1; ++j) {
            const bool check = j < static_cast<long long>(near.size());
            const int gen = check ? jobs[near[j]].gen : maxima[j - near.size()];
            const double t = check ? checks[near[j]].t : result.generatrices[gen].maxAt;
            evaluate(*gens[gen], t, exact[j], true);
          }
        })) {
      result.aborted = true;
      return result;
    }
    for (size_t j = 0; j < near.size(); ++j) {
      GeneratrixAccuracy& g = result.generatrices[jobs[near[j]].gen];
      const double factor = g.conductor ? kFieldErrorFactor : kDielectricFieldErrorFactor;
      g.maxFieldError = std::max(g.maxFieldError, factor * exact[j].fieldMisfit);
    }
    for (size_t m = 0; m < maxima.size(); ++m) {
      const GeneratrixAccuracy& g = result.generatrices[maxima[m]];
      formulaError[maxima[m]] = std::fabs(exact[near.size() + m].field - g.maxField);
    }
  }
  // Where the clamp is reached the solved charges answer the formula's
  // equations, not the true ones: the exact residual b - A_exact*x at every
  // equation, taken back through the factors (A*dx = r), and the field of dx
  // at each largest field is added. The checks alone saw a tenth of the
  // error in the clamped coats (it is spread over the whole interface, the
  // conductor answers it as a whole). dx is no small correction there (as
  // large as the charges themselves; iterated, it diverges): it is a bound,
  // checked against the truth on clamped coats, not a better answer.
  bool corrected = false;
  if (clampReached && calc.Coefficients().IsFactorised()) {
    std::vector<Charge> correction;
    if (!ExactResidualCorrection(calc, perEvaluation, ui, correction)) {
      result.aborted = true;
      return result;
    }
    if (ui) {
      ui->ShowStage("Оценка точности решения");
      ui->SetRange(0, static_cast<long long>(jobs.size()));
    }
    for (int i = 0; !correction.empty() && i < count; ++i) {
      const GeneratrixAccuracy& g = result.generatrices[i];
      if (g.maxField <= 0.0) continue;
      const SurfData& e = *gens[i];
      const int region = e.IsConductor() || !g.maxInner ? e.outerRegion : e.innerRegion;
      const double eps = calc.RegionPermittivity(region);
      if (!(eps > 0.0)) continue;
      FieldSums s;
      for (const Charge& c : correction)
        precise::AddPotentialAndFieldTwo(c, g.maxX, g.maxY, region, eps, &s, region, eps, nullptr);
      formulaError[i] = std::max(formulaError[i], std::hypot(s.x, s.y) / eps);
    }
    corrected = !correction.empty();
  }
  // What the check points cannot see: the cell at each edge (kEdgeMissWeight).
  for (const SingularPoint& sp : singular) {
    if (!sp.infinite) continue;
    double cell = 0.0;  // the coarser end cell at the edge, cm
    for (int gi : sp.generatrices) {
      const SurfData& e = *gens[gi];
      if (e.PointCount() <= 0) continue;
      double x0, y0, x1, y1, nx, ny;
      PointOnGeneratrix(e, 0.0, x0, y0, nx, ny);
      PointOnGeneratrix(e, static_cast<double>(e.PointCount()) + 1.0, x1, y1, nx, ny);
      const bool atStart = std::hypot(x0 - sp.x, y0 - sp.y) <= std::hypot(x1 - sp.x, y1 - sp.y);
      // An evenly placed element's first point is a whole step from its
      // end, as a graded cell of two steps would put it.
      cell = std::max(cell, e.Graded() ? EndStep(e, atStart) : 2.0 * EndStep(e, atStart));
    }
    for (GeneratrixAccuracy& g : result.generatrices) {
      if (g.maxField <= 0.0 || cell <= 0.0) continue;
      const double d = std::hypot(g.maxX - sp.x, g.maxY - sp.y);
      const double reach = d > cell ? std::pow(cell / d, 1.0 - sp.exponent) : 1.0;
      g.maxFieldError = std::max(g.maxFieldError, kEdgeMissWeight * reach * g.maxField);
    }
  }
  for (int i = 0; i < count; ++i) result.generatrices[i].maxFieldError += formulaError[i];
  // A conductor's field also answers to the interfaces around it: what their
  // conditions leave between the contour points acts as a surface charge,
  // and where it keeps one sign its flux lands on the conductor, which its
  // own checks never see (a coated sphere's largest field was up to 2.4
  // times its estimate). The signed mean misfit of each interface over the
  // check points within 1.5 times the distance of the nearest one, over the
  // permittivity on the conductor's side; the ripple's alternating part dies
  // out within a step and cancels in the mean.
  for (int i = 0; i < count; ++i) {
    GeneratrixAccuracy& g = result.generatrices[i];
    const double eps = gens[i]->epsOuter;
    if (!g.conductor || g.maxField <= 0.0 || !(eps > 0.0)) continue;
    double nearest = std::numeric_limits<double>::infinity();
    for (size_t j = 0; j < checks.size(); ++j)
      if (jobs[j].check && !checks[j].excluded && !gens[jobs[j].gen]->IsConductor())
        nearest = std::min(nearest, std::hypot(checks[j].x - g.maxX, checks[j].y - g.maxY));
    if (!std::isfinite(nearest)) continue;
    std::map<int, std::pair<double, int>> mean;  // by interface: sum, count
    for (size_t j = 0; j < checks.size(); ++j) {
      if (!jobs[j].check || checks[j].excluded || gens[jobs[j].gen]->IsConductor()) continue;
      if (std::hypot(checks[j].x - g.maxX, checks[j].y - g.maxY) > 1.5 * nearest) continue;
      auto& [sum, n] = mean[jobs[j].gen];
      sum += checks[j].signedFlux;
      ++n;
    }
    double coat = 0.0;
    for (const auto& [gen, sn] : mean) coat = std::max(coat, std::fabs(sn.first) / sn.second / eps);
    g.maxFieldError += coat;
  }
  double systemMax = 0.0;
  for (const GeneratrixAccuracy& g : result.generatrices) systemMax = std::max(systemMax, g.maxField);
  for (GeneratrixAccuracy& g : result.generatrices) {
    const double scaleField = std::max(g.maxField, 0.1 * systemMax);
    g.fieldError = scaleField > 0.0 ? g.maxFieldError / scaleField : 0.0;
    result.worstPotentialError = std::max(result.worstPotentialError, g.potentialError);
    result.worstPotentialJump = std::max(result.worstPotentialJump, g.potentialJump);
    result.worstFluxJump = std::max(result.worstFluxJump, g.fluxJump);
    result.worstFieldError = std::max(result.worstFieldError, g.fieldError);
  }

  // Conductor bodies: the conductor generatrices sharing an inner region.
  for (int i = 0; i < count; ++i) {
    const SurfData& e = *gens[i];
    if (!e.IsConductor()) continue;
    auto it = std::find_if(result.bodies.begin(), result.bodies.end(),
                           [&](const BodyFigures& b) { return b.region == e.innerRegion; });
    if (it == result.bodies.end()) {
      BodyFigures b;
      b.region = e.innerRegion;
      b.floating = e.isFloating;
      b.potential = e.isFloating ? floatingPotential[e.innerRegion] : PrescribedPotential(e, 1.0);
      result.bodies.push_back(b);
      it = result.bodies.end() - 1;
    }
    it->generatrices.push_back(i);
    if (e.isFloating || !e.isFixed || e.fixedPotential != it->potential) it->fixed = false;
    const GeneratrixAccuracy& g = result.generatrices[i];
    if (g.maxField > it->maxField) {
      it->maxField = g.maxField;
      it->maxFieldError = g.maxFieldError;
      it->maxX = g.maxX, it->maxY = g.maxY;
      it->maxInner = g.maxInner;
      it->maxGeneratrix = i;
    }
  }
  for (BodyFigures& b : result.bodies) {
    double q = 0.0;
    for (const Charge& c : calc.Charges())
      if (c.region == b.region) q += c.q;
    b.charge = q * kCoulombsPerUnit;
  }

  for (const SingularPoint& p : singular)
    if (p.infinite) result.warnings.push_back(SingularPointWarning(p));

  for (int i = 0; i < count; ++i)
    if (clamped[i])
      result.warnings.push_back(text::Format(
          "Образующая %d: заряды ближе к расчетным точкам, чем допускает приближенная формула кольца "
          "(модуль ограничен k^2 <= 0.9999); результаты могут быть неверны на десятки процентов "
          "в любую сторону, %s. Уменьшите число КТ, увеличьте L/d или считайте в точном режиме.",
          i + 1,
          corrected ? "оценка погрешности наибольшей напряженности это учитывает (по точным интегралам)"
                    : "а оценка погрешности этого не учитывает"));

  // Generatrix ends with no contour point within the depth of the charges
  // there: the field at such an end comes out several per cent low.
  for (int i = 0; i < count; ++i) {
    const SurfData& e = *gens[i];
    if (e.PointCount() == 0) continue;
    for (double t : {0.0, e.PointCount() + 1.0}) {
      const double depth = e.ratioLd * EndStep(e, t == 0.0);
      double x, y, nx, ny;
      PointOnGeneratrix(e, t, x, y, nx, ny);
      double nearest = INFINITY;
      for (const ContourPoint& p : points) nearest = std::min(nearest, std::hypot(p.x - x, p.y - y));
      if (nearest > 0.6 * depth) {
        result.warnings.push_back(text::Format(
            "Образующая %d: у конца (%.4g; %.4g) ближайшая контурная точка в %.3g см при глубине зарядов "
            "%.3g см; напряженность у этого конца может быть занижена на проценты. Увеличьте L/d или "
            "выделите у конца короткую образующую с частыми КТ.",
            i + 1, x, y, nearest, depth));
      }
    }
  }
  if (ui) ui->ShowStage("");
  return result;
}
