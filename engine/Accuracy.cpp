#include "engine/Accuracy.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "engine/Parallel.h"
#include "engine/RingField.h"
#include "engine/RingFieldPrecise.h"
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
  bool inner = false;
};

}  // namespace

void PointOnGeneratrix(const SurfData& e, double t, double& x, double& y, double& nx, double& ny) {
  if (e.GetKind() == SurfData::kArch) {
    const auto& a = static_cast<const Arch&>(e);
    const double th = a.angle1 - t * a.AngularStep();
    nx = std::cos(th);
    ny = std::sin(th);
    x = a.xc + a.radius * nx;
    y = a.yc + a.radius * ny;
    return;
  }
  if (e.GetKind() == SurfData::kLine) {
    const auto& l = static_cast<const Line&>(e);
    x = l.x1 + t * l.step * std::cos(l.direction);
    y = l.y1 + t * l.step * std::sin(l.direction);
    nx = std::cos(l.normal + kPi);
    ny = std::sin(l.normal + kPi);
    return;
  }
  x = y = nx = ny = 0.0;
}

double SolutionAnalysis::WorstError() const {
  double w = 0.0;
  for (const GeneratrixAccuracy& g : generatrices) w = std::max(w, g.Error());
  return w;
}

SolutionAnalysis AnalyseSolution(const FieldCalc& calc, int k) {
  SolutionAnalysis result;
  if (!calc.HasSolution()) return result;
  const CSurfColl& gens = calc.Generatrices();
  const int count = gens.GetSize();
  const CalcParameters& params = calc.Parameters();
  const std::vector<ContourPoint>& points = calc.Points();

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

  // Check points (t in steps) and result rows of every generatrix.
  struct Job {
    int gen;
    double t;
  };
  std::vector<Job> jobs;
  for (int i = 0; i < count; ++i) {
    const SurfData& e = *gens[i];
    const long long n = e.PointCount();
    jobs.push_back({i, 0.0});
    for (long long j = 0; j <= n; ++j) jobs.push_back({i, j + 0.5});
    jobs.push_back({i, n + 1.0});
    const long long rows = n * k + 2;
    for (long long j = 1; j + 1 < rows; ++j) jobs.push_back({i, static_cast<double>(j) * (n + 1.0) / (n * k + 1.0)});
  }

  std::vector<CheckResult> checks(jobs.size());
  ParallelFor(static_cast<long long>(jobs.size()), [&](long long b0, long long b1) {
    for (long long j = b0; j < b1; ++j) {
      const SurfData& e = *gens[jobs[j].gen];
      CheckResult& c = checks[j];
      c.t = jobs[j].t;
      double nx, ny;
      PointOnGeneratrix(e, c.t, c.x, c.y, nx, ny);
      if (e.IsConductor()) {
        double phi, ex, ey;
        calc.FieldAt(e.outerRegion, c.x, c.y, &phi, &ex, &ey);
        const auto f = floatingPotential.find(e.innerRegion);
        const double u = !e.isFloating ? PrescribedPotential(e, c.t) : f != floatingPotential.end() ? f->second : 0.0;
        c.potentialError = std::fabs(phi - u);
        c.field = std::hypot(ex, ey);
        c.displacement = e.epsOuter * c.field;
      } else {
        double out[3], in[3];
        calc.FieldAtTwo(e.outerRegion, e.innerRegion, c.x, c.y, out, in);
        c.potentialJump = std::fabs(out[0] - in[0]);
        c.flux = std::fabs(e.epsInner * (in[1] * nx + in[2] * ny) - e.epsOuter * (out[1] * nx + out[2] * ny));
        const double fo = std::hypot(out[1], out[2]), fi = std::hypot(in[1], in[2]);
        c.inner = fi > fo;
        c.field = std::max(fo, fi);
        c.displacement = std::max(e.epsOuter * fo, e.epsInner * fi);
      }
    }
  });

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
  for (const CheckResult& c : checks) flux = std::max(flux, c.displacement);
  result.fluxScale = flux > 0.0 ? flux : 1.0;

  result.generatrices.resize(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    result.generatrices[i].index = i;
    result.generatrices[i].conductor = gens[i]->IsConductor();
  }
  for (size_t j = 0; j < checks.size(); ++j) {
    const CheckResult& c = checks[j];
    GeneratrixAccuracy& g = result.generatrices[jobs[j].gen];
    if (c.field > g.maxField) {
      g.maxField = c.field;
      g.maxX = c.x, g.maxY = c.y;
      g.maxInner = c.inner;
    }
    const double before = g.Error();
    g.potentialError = std::max(g.potentialError, c.potentialError / result.potentialScale);
    g.potentialJump = std::max(g.potentialJump, c.potentialJump / result.potentialScale);
    g.fluxJump = std::max(g.fluxJump, c.flux / result.fluxScale);
    if (g.Error() > before) g.worstAt = c.t;
  }
  for (const GeneratrixAccuracy& g : result.generatrices) {
    result.worstPotentialError = std::max(result.worstPotentialError, g.potentialError);
    result.worstPotentialJump = std::max(result.worstPotentialJump, g.potentialJump);
    result.worstFluxJump = std::max(result.worstFluxJump, g.fluxJump);
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
      it->maxX = g.maxX, it->maxY = g.maxY;
      it->maxInner = g.maxInner;
    }
  }
  for (BodyFigures& b : result.bodies) {
    double q = 0.0;
    for (const Charge& c : calc.Charges())
      if (c.region == b.region) q += c.q;
    b.charge = q * kCoulombsPerUnit;
  }

  // The ring formula's modulus clamp, for any charge and any contour or
  // check point of a generatrix.
  if (!params.Precise) {
    std::vector<char> clamped(static_cast<size_t>(count), 0);
    const std::vector<Charge>& charges = calc.Charges();
    auto reaches = [&](double x, double y) {
      for (const Charge& q : charges)
        if (RingModulusClamped(q, x, y)) return true;
      return false;
    };
    ParallelFor(count, [&](long long b0, long long b1) {
      for (long long i = b0; i < b1; ++i) {
        for (size_t p = firstPoint[i]; p < firstPoint[i + 1] && p < points.size() && !clamped[i]; ++p)
          if (reaches(points[p].x, points[p].y)) clamped[i] = 1;
      }
    });
    ParallelFor(static_cast<long long>(checks.size()), [&](long long b0, long long b1) {
      for (long long j = b0; j < b1; ++j)
        if (!clamped[jobs[j].gen] && reaches(checks[j].x, checks[j].y)) clamped[jobs[j].gen] = 1;
    });
    for (int i = 0; i < count; ++i)
      if (clamped[i])
        result.warnings.push_back(text::Format(
            "Образующая %d: заряды ближе к расчетным точкам, чем допускает приближенная формула кольца "
            "(модуль ограничен k^2 <= 0.9999); результаты могут быть занижены на 10-25 %%. Уменьшите число КТ, "
            "увеличьте L/d или считайте в точном режиме (--precise).",
            i + 1));
  }

  // Generatrix ends with no contour point within the depth of the charges
  // there: the field at such an end comes out several per cent low.
  for (int i = 0; i < count; ++i) {
    const SurfData& e = *gens[i];
    if (e.PointCount() == 0) continue;
    const double depth = e.ratioLd * Step(e);
    for (double t : {0.0, e.PointCount() + 1.0}) {
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
  return result;
}
