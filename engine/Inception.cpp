#include "engine/Inception.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/FieldCalc.h"
#include "engine/Parallel.h"
#include "engine/PlaneRegions.h"
#include "engine/ProgressReporter.h"
#include "engine/RingKernel.h"
#include "model/TextFormat.h"

namespace {

// Relative change of |E| per tracer step: keeps the trapezoidal integral of
// alpha_eff far below the scatter of the gas laws.
constexpr double kFieldChangePerStep = 0.01;
// Local maxima weaker than this share of the body's largest field are not
// followed.
constexpr double kWeakestMaximum = 0.5;
constexpr size_t kMaxStartsPerBody = 8;

struct Size {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0, size = 1;
};

Size SystemSize(const PlaneRegions& regions) {
  Size s;
  regions.Bounds(s.x1, s.y1, s.x2, s.y2);
  s.size = std::max({s.x2 - s.x1, s.y2 - s.y1, 1e-6});
  return s;
}

// A traced line with its arc length and the part inside the start's region.
struct Trace {
  FieldLineStart start;
  double surfaceX = 0, surfaceY = 0;
  double field = 0;  // |E| at the start
  int region = 0;
  FieldLine line;
  std::vector<double> arc;
  size_t usable = 0;
};

// The start just outside the surface at `t` steps along generatrix `g`,
// heading into the gas; false where no gas touches the surface.
bool MakeStart(const FieldCalc& calc, const PlaneRegions& regions, double size, int g, double t, Trace& tr) {
  const SurfData& e = *calc.Generatrices()[g];
  double px, py, nx, ny;
  PointOnGeneratrix(e, t, px, py, nx, ny);
  if (std::fabs(px) < 1e-9 * size) px = 0.0;  // on the axis: stay on it
  const double hair = 1e-7 * size;
  PointRegion where;
  double sx = 0, sy = 0;
  bool found = false;
  for (double side : {1.0, -1.0}) {
    sx = std::max(0.0, px + side * hair * nx);
    sy = py + side * hair * ny;
    where = regions.Locate(sx, sy);
    if (!where.conductor && !where.earth) {
      nx *= side, ny *= side;
      found = true;
      break;
    }
  }
  if (!found) return false;
  double phi, ex, ey;
  calc.FieldAt(where.region, sx, sy, &phi, &ex, &ey);
  const double field = std::hypot(ex, ey);
  if (!(field > 0) || !std::isfinite(field)) return false;
  tr.start.x = sx;
  tr.start.y = sy;
  tr.start.generatrix = g;
  tr.start.direction = ex * nx + ey * ny >= 0 ? 1 : -1;
  tr.surfaceX = px;
  tr.surfaceY = py;
  tr.field = field;
  tr.region = where.region;
  return true;
}

void Follow(const FieldCalc& calc, const PlaneRegions& regions, const FieldLineOptions& opt, Trace& tr) {
  tr.line = TraceFieldLine(calc, regions, tr.start, opt);
  const std::vector<FieldLinePoint>& p = tr.line.points;
  tr.arc.assign(p.size(), 0.0);
  tr.usable = p.empty() ? 0 : 1;
  for (size_t i = 1; i < p.size(); ++i) {
    tr.arc[i] = tr.arc[i - 1] + std::hypot(p[i].x - p[i - 1].x, p[i].y - p[i - 1].y);
    if (tr.usable == i) {
      const PointRegion w = regions.Locate(p[i].x, p[i].y);
      // The last point of a line that ends on a conductor lies on its
      // surface, on the gas side.
      if (w.region == tr.region || (i + 1 == p.size() && tr.line.end == LineEnd::kElectrode)) tr.usable = i + 1;
    }
  }
}

struct Integral {
  double value = 0;
  double length = 0;
  size_t last = 0;     // the avalanche ends between points last and last + 1
  double fraction = 0;  // ... this far along that interval
  bool reachesEnd = false;
};

// The integral of alpha_eff along the line from its start to where
// alpha_eff first falls to 0, at `s` times the solved field.
Integral Integrate(const Trace& tr, const GasModel& gas, double p20, double s) {
  Integral r;
  const std::vector<FieldLinePoint>& p = tr.line.points;
  if (tr.usable == 0) return r;
  double a0 = gas.Alpha(s * p[0].e, p20);
  if (!(a0 > 0)) return r;
  for (size_t i = 1; i < tr.usable; ++i) {
    const double a1 = gas.Alpha(s * p[i].e, p20);
    const double dl = tr.arc[i] - tr.arc[i - 1];
    if (!(a1 > 0)) {
      const double f = a0 / (a0 - a1);
      r.value += 0.5 * a0 * f * dl;
      r.length = tr.arc[i - 1] + f * dl;
      r.last = i - 1;
      r.fraction = f;
      return r;
    }
    r.value += 0.5 * (a0 + a1) * dl;
    a0 = a1;
  }
  r.length = tr.arc[tr.usable - 1];
  r.last = tr.usable - 1;
  r.reachesEnd = true;
  return r;
}

// The factor at which the largest integral of `traces` reaches k, and the
// trace that reaches it; false when none does up to kInceptionMaxFactor.
bool Solve(const std::vector<const Trace*>& traces, const GasModel& gas, double p20, double k, double& factor,
           int& critical) {
  double strongest = 0;
  for (const Trace* t : traces) strongest = std::max(strongest, t->field);
  const double critField = gas.CriticalReducedField() * p20;
  if (traces.empty() || !(strongest > 0) || !std::isfinite(critField)) return false;
  auto largest = [&](double s, int& which) {
    double best = -1;
    for (size_t j = 0; j < traces.size(); ++j) {
      const double v = Integrate(*traces[j], gas, p20, s).value;
      if (v > best) best = v, which = static_cast<int>(j);
    }
    return best;
  };
  double lo = std::min(kInceptionMaxFactor, critField / strongest);
  double hi = kInceptionMaxFactor;
  int which = -1;
  if (largest(hi, which) < k) return false;
  if (lo <= 0) lo = hi * 1e-12;
  if (largest(lo, which) >= k) {
    factor = lo;  // a law positive at any field
    critical = which;
    return true;
  }
  for (int iter = 0; iter < 200 && hi - lo > 1e-12 * hi; ++iter) {
    const double mid = 0.5 * (lo + hi);
    if (largest(mid, which) >= k)
      hi = mid;
    else
      lo = mid;
  }
  factor = hi;
  largest(hi, critical);
  return true;
}

void Fill(InceptionOnset& o, const Trace& tr, const GasModel& gas, double p20, double s) {
  const Integral in = Integrate(tr, gas, p20, s);
  o.startX = tr.surfaceX;
  o.startY = tr.surfaceY;
  o.startField = tr.field;
  o.criticalLength = in.length;
  o.reachesEnd = in.reachesEnd;
  o.line = tr.line;
  const std::vector<FieldLinePoint>& p = tr.line.points;
  o.avalanche.assign(p.begin(), p.begin() + static_cast<long>(std::min(p.size(), in.last + 1)));
  if (!in.reachesEnd && in.last + 1 < p.size()) {
    const FieldLinePoint& a = p[in.last];
    const FieldLinePoint& b = p[in.last + 1];
    o.avalanche.push_back({a.x + in.fraction * (b.x - a.x), a.y + in.fraction * (b.y - a.y),
                           a.e + in.fraction * (b.e - a.e)});
  }
}

// The local maxima of |E| along each generatrix of a body (sampled midway
// between contour points and at the ends, where the field of the method
// has no ripple of its own), strongest first.
struct Candidate {
  int generatrix;
  double t, field;
};

std::vector<Candidate> BodyMaxima(const FieldCalc& calc, const BodyFigures& body) {
  std::vector<Candidate> maxima;
  const auto prepared = calc.PrepareCharges();
  for (int g : body.generatrices) {
    const SurfData& e = *calc.Generatrices()[g];
    const long long n = e.PointCount();
    std::vector<Candidate> samples;
    samples.push_back({g, 0.0, 0.0});
    for (long long j = 0; j <= n; ++j) samples.push_back({g, j + 0.5, 0.0});
    samples.push_back({g, n + 1.0, 0.0});
    for (Candidate& c : samples) {
      double x, y, nx, ny, phi, ex, ey;
      PointOnGeneratrix(e, c.t, x, y, nx, ny);
      calc.FieldAt(e.outerRegion, std::fabs(x), y, &phi, &ex, &ey, prepared.get());
      c.field = std::hypot(ex, ey);
    }
    for (size_t i = 0; i < samples.size(); ++i) {
      const double left = i > 0 ? samples[i - 1].field : -1.0;
      const double right = i + 1 < samples.size() ? samples[i + 1].field : -1.0;
      if (samples[i].field >= left && samples[i].field >= right && std::isfinite(samples[i].field))
        maxima.push_back(samples[i]);
    }
  }
  std::sort(maxima.begin(), maxima.end(), [](const Candidate& a, const Candidate& b) { return a.field > b.field; });
  return maxima;
}

double LargestPrescribed(const SolutionAnalysis& a) {
  double u = 0;
  for (const BodyFigures& b : a.bodies)
    if (b.fixed && !b.floating && std::fabs(b.potential) > std::fabs(u)) u = b.potential;
  return u;
}

}  // namespace

bool NearestConductorPoint(const FieldCalc& calc, double x, double y, int& generatrix, double& t, double& distance) {
  const CSurfColl& gens = calc.Generatrices();
  distance = std::numeric_limits<double>::infinity();
  generatrix = -1;
  constexpr int kSamples = 256;
  for (int g = 0; g < gens.GetSize(); ++g) {
    const SurfData& e = *gens[g];
    if (!e.IsConductor()) continue;
    const double span = static_cast<double>(e.PointCount()) + 1.0;
    auto dist = [&](double tt) {
      double px, py, nx, ny;
      PointOnGeneratrix(e, tt, px, py, nx, ny);
      return std::hypot(px - x, py - y);
    };
    int best = 0;
    double bestD = dist(0.0);
    for (int i = 1; i <= kSamples; ++i) {
      const double d = dist(span * i / kSamples);
      if (d < bestD) bestD = d, best = i;
    }
    // Golden-section search in the neighbouring samples.
    double a = span * std::max(0, best - 1) / kSamples, b = span * std::min(kSamples, best + 1) / kSamples;
    const double r = 0.5 * (std::sqrt(5.0) - 1.0);
    for (int it = 0; it < 80; ++it) {
      const double c = b - r * (b - a), d = a + r * (b - a);
      if (dist(c) < dist(d))
        b = d;
      else
        a = c;
    }
    const double tt = 0.5 * (a + b);
    const double dd = dist(tt);
    if (dd < distance) distance = dd, generatrix = g, t = tt;
  }
  return generatrix >= 0;
}

std::string InceptionPointProblem(const FieldCalc& calc, const InceptionParameters& p) {
  if (p.From.empty()) return {};
  const PlaneRegions regions(calc);
  const double size = SystemSize(regions).size;
  for (const auto& at : p.From) {
    int g;
    double t, d;
    if (!NearestConductorPoint(calc, at[0], at[1], g, t, d) || !(d <= 0.01 * size))
      return text::Format("Точка (%.6g; %.6g) не лежит на поверхности проводника.", at[0], at[1]);
  }
  return {};
}

InceptionResult ScreenInception(const FieldCalc& calc, const SolutionAnalysis& analysis, const GasModel& gas,
                                const InceptionParameters& p, ProgressReporter* progress) {
  InceptionResult result;
  result.gas = gas.Name();
  result.pressureBar = p.PressureBar;
  result.temperatureC = p.TemperatureC;
  result.k = p.K > 0 ? p.K : gas.DefaultK();
  result.densityPressure = DensityPressure(p.PressureBar, p.TemperatureC);
  result.relativeDensity = RelativeAirDensity(p.PressureBar, p.TemperatureC);
  if (!calc.HasSolution()) return result;
  if (!(p.PressureBar > 0) || !(p.TemperatureC > -273.15) || !std::isfinite(p.PressureBar) ||
      !std::isfinite(p.TemperatureC) || !(result.k > 0) || !std::isfinite(result.k)) {
    result.errorCode = FieldCalc::kBadParameter;
    result.error = "Давление, температура и K должны быть положительными числами (температура выше -273.15 °C).";
    return result;
  }
  if (std::string problem = InceptionPointProblem(calc, p); !problem.empty()) {
    result.errorCode = FieldCalc::kBadParameter;
    result.error = problem;
    return result;
  }
  const double p20 = result.densityPressure;
  const PlaneRegions regions(calc);
  const Size sz = SystemSize(regions);

  // Start points: per screened body, then the user's.
  std::vector<Trace> traces;
  std::vector<std::vector<size_t>> ofBody(analysis.bodies.size());
  auto bodyOf = [&](int g) {
    for (size_t b = 0; b < analysis.bodies.size(); ++b) {
      const auto& gs = analysis.bodies[b].generatrices;
      if (std::find(gs.begin(), gs.end(), g) != gs.end()) return static_cast<int>(b);
    }
    return -1;
  };
  for (size_t b = 0; b < analysis.bodies.size(); ++b) {
    const BodyFigures& body = analysis.bodies[b];
    if (!body.fixed || body.floating || body.potential == 0.0) continue;
    std::vector<Candidate> candidates;
    int g;
    double t, d;
    if (NearestConductorPoint(calc, body.maxX, body.maxY, g, t, d) && bodyOf(g) == static_cast<int>(b))
      candidates.push_back({g, t, body.maxField});
    for (const Candidate& c : BodyMaxima(calc, body))
      if (c.field >= kWeakestMaximum * body.maxField) candidates.push_back(c);
    for (const Candidate& c : candidates) {
      if (ofBody[b].size() >= kMaxStartsPerBody) break;
      Trace tr;
      if (!MakeStart(calc, regions, sz.size, c.generatrix, c.t, tr)) continue;
      const bool same = std::any_of(ofBody[b].begin(), ofBody[b].end(), [&](size_t i) {
        return std::hypot(traces[i].surfaceX - tr.surfaceX, traces[i].surfaceY - tr.surfaceY) < 1e-6 * sz.size;
      });
      if (same) continue;
      ofBody[b].push_back(traces.size());
      traces.push_back(std::move(tr));
    }
    result.bodies.push_back(InceptionOnset{});
    result.bodies.back().body = static_cast<int>(b);
    result.bodies.back().potential = body.potential;
  }
  std::vector<long long> pointTrace;
  for (const auto& at : p.From) {
    InceptionOnset o;
    o.atX = at[0], o.atY = at[1];
    int g;
    double t, d;
    Trace tr;
    NearestConductorPoint(calc, at[0], at[1], g, t, d);
    o.body = bodyOf(g);
    const BodyFigures* body = o.body >= 0 ? &analysis.bodies[o.body] : nullptr;
    o.potential = body && body->fixed && !body->floating && body->potential != 0.0 ? body->potential
                                                                                   : LargestPrescribed(analysis);
    if (MakeStart(calc, regions, sz.size, g, t, tr)) {
      pointTrace.push_back(static_cast<long long>(traces.size()));
      traces.push_back(std::move(tr));
    } else {
      pointTrace.push_back(-1);
    }
    result.points.push_back(std::move(o));
  }

  FieldLineOptions opt;
  const double reach = 1000.0 * sz.size;
  opt.extent = {0.0, sz.y1 - reach, sz.x2 + reach, sz.y2 + reach};
  opt.tolerance = 1e-6;
  opt.maxStep = 0.1;
  opt.maxSteps = 100000;
  opt.firstStep = 1e-6;
  opt.maxFieldChange = kFieldChangePerStep;
  opt.stopBelow = gas.CriticalReducedField() * p20 / kInceptionMaxFactor;

  if (progress) {
    progress->ShowStage("Возникновение разряда");
    progress->SetRange(0, static_cast<long long>(traces.size()));
    progress->SetPosition(0);
    progress->SetStep(1);
  }
  // A line costs some thousands of field evaluations: one line per thread
  // between two looks at the cancel button.
  const long long chunk = std::max(1, WorkerThreads());
  for (long long begin = 0; begin < static_cast<long long>(traces.size()); begin += chunk) {
    if (progress && progress->CancelRequested() &&
        progress->AskYesNo(ProgressReporter::Question::ConfirmAbort, "Вы действительно хотите прервать расчет?", "",
                           ProgressReporter::Icon::Question)) {
      result.errorCode = FieldCalc::kAborted;
      result.error = FieldCalc::MessageFor(FieldCalc::kAborted);
      return result;
    }
    const long long end = std::min<long long>(static_cast<long long>(traces.size()), begin + chunk);
    ParallelFor(end - begin, [&](long long b0, long long b1) {
      for (long long i = b0; i < b1; ++i) Follow(calc, regions, opt, traces[static_cast<size_t>(begin + i)]);
    });
    if (progress)
      for (long long i = begin; i < end; ++i) progress->StepForward();
  }

  auto settle = [&](InceptionOnset& o, const std::vector<size_t>& which) {
    std::vector<const Trace*> set;
    for (size_t i : which) set.push_back(&traces[i]);
    double s = 0;
    int critical = -1;
    if (Solve(set, gas, p20, result.k, s, critical)) {
      o.incepts = true;
      o.margin = s;
      o.onsetKv = s * o.potential;
      Fill(o, *set[critical], gas, p20, s);
    } else if (!set.empty()) {
      // No inception: report the most stressed start.
      const Trace* top = *std::max_element(set.begin(), set.end(),
                                           [](const Trace* a, const Trace* b) { return a->field < b->field; });
      o.startX = top->surfaceX, o.startY = top->surfaceY, o.startField = top->field;
      o.line = top->line;
    }
  };
  for (InceptionOnset& o : result.bodies) settle(o, ofBody[o.body]);
  for (size_t i = 0; i < result.points.size(); ++i)
    if (pointTrace[i] >= 0) settle(result.points[i], {static_cast<size_t>(pointTrace[i])});
  return result;
}

std::string InceptionText(const InceptionResult& r) {
  std::string t = text::Format(
      "Возникновение разряда: газ %s, %.6g бар, %.4g °C (плотность как при %.6g бар и 20 °C, δ = %.4g), K = %.4g\n",
      r.gas.c_str(), r.pressureBar, r.temperatureC, r.densityPressure, r.relativeDensity, r.k);
  t += "  (одно условие для обеих полярностей; все потенциалы и внешнее поле растут вместе)\n";
  auto line = [&](const InceptionOnset& o) {
    if (!o.incepts)
      return text::Format("не возникает до %.0f × U (U = %.6g кВ, Emax %.6g кВ/см в (%.4g; %.4g))\n",
                          kInceptionMaxFactor, o.potential, o.startField, o.startX, o.startY);
    return text::Format(
        "U = %.6g кВ: возникновение при %.6g кВ, запас %.4g%s, от (%.4g; %.4g), E = %.6g кВ/см, "
        "лавина %.4g см%s\n",
        o.potential, o.onsetKv, o.margin, o.margin < 1 ? " (ниже 1!)" : "", o.startX, o.startY,
        o.margin * o.startField, o.criticalLength, o.reachesEnd ? " (до конца линии: пробой промежутка)" : "");
  };
  for (const InceptionOnset& o : r.bodies) t += text::Format("  тело %d: ", o.body + 1) + line(o);
  for (const InceptionOnset& o : r.points) t += text::Format("  точка (%.6g; %.6g): ", o.atX, o.atY) + line(o);
  return t;
}
