#include "views/SurfaceSamples.h"

#include <cmath>

#include "engine/FieldCalc.h"
#include "model/SurfData.h"

namespace {

constexpr double kPi = 3.141592653589793;

// Normal and tangent: the file's En is E·n with the generatrix's normal n;
// the tangent is n turned a quarter clockwise.
void Components(SurfaceSample& p, double nx, double ny) {
  p.en = p.ex * nx + p.ey * ny;
  p.et = p.ex * ny - p.ey * nx;
  p.enIn = p.exIn * nx + p.eyIn * ny;
  p.etIn = p.exIn * ny - p.eyIn * nx;
  p.e = std::hypot(p.ex, p.ey);
  p.eIn = std::hypot(p.exIn, p.eyIn);
}

SurfaceSeries Sample(const FieldCalc& calc, const SurfData* g, bool gap, int perInterval) {
  SurfaceSeries series;
  if (!g || !calc.HasSolution()) return series;
  series.gap = gap;
  series.arc = g->GetKind() == SurfData::kArch;
  series.dielectric = !gap && g->material == 0;
  const long long rows = g->PointCount() * perInterval + 2;
  series.samples.resize(static_cast<size_t>(rows));
  double length = 0.0;
  for (long long j = 0; j < rows; ++j) {
    SurfaceSample& p = series.samples[static_cast<size_t>(j)];
    double nx = 0, ny = 0;
    g->GetCalcPoint(p.x, p.y, nx, ny, static_cast<int>(j), static_cast<float>(perInterval));
    if (gap) {
      calc.FieldAt(g->innerRegion, p.x, p.y, &p.phi, &p.ex, &p.ey);
      p.exIn = p.ex, p.eyIn = p.ey;
    } else if (series.dielectric) {
      double out[3], in[3];
      calc.FieldAtTwo(g->outerRegion, g->innerRegion, p.x, p.y, out, in);
      p.phi = out[0], p.ex = out[1], p.ey = out[2];
      p.exIn = in[1], p.eyIn = in[2];
    } else {
      calc.FieldAt(g->outerRegion, p.x, p.y, &p.phi, &p.ex, &p.ey);
      p.exIn = p.ex, p.eyIn = p.ey;
    }
    Components(p, nx, ny);
    if (j > 0) {
      const SurfaceSample& q = series.samples[static_cast<size_t>(j - 1)];
      length += std::hypot(p.x - q.x, p.y - q.y);
    }
    p.s = series.arc && !gap ? std::atan2(ny, nx) * 180.0 / kPi : length;
  }
  return series;
}

}  // namespace

int SurfaceSeries::MaxIndex() const {
  int best = -1;
  double m = -1.0;
  for (size_t i = 0; i < samples.size(); ++i) {
    const double v = std::max(samples[i].e, samples[i].eIn);
    if (v > m) m = v, best = static_cast<int>(i);
  }
  return best;
}

SurfaceSeries SampleGeneratrix(const FieldCalc& calc, int index) {
  return Sample(calc, calc.Generatrices().At(index), false, calc.Parameters().PointsBetweenCPs);
}

SurfaceSeries SampleGapCurve(const FieldCalc& calc, int index) {
  return Sample(calc, calc.GapCurves().At(index), true, 1);
}
