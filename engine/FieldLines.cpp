#include "engine/FieldLines.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "engine/FieldCalc.h"
#include "engine/Parallel.h"
#include "engine/PlaneRegions.h"
#include "engine/RingKernel.h"
#include "model/Arch.h"
#include "model/Line.h"

namespace {

double ExtentSize(const MapRect& r) { return std::max({r.x2 - r.x1, r.y2 - r.y1, 1e-9}); }

// The unit direction of the line at a point: sign * E / |E|, with E from the
// point's own region. Not `free` inside a conductor or the earth.
struct Slope {
  double ux = 0.0, uy = 0.0, e = 0.0;
  bool free = false;
};

class LineField {
 public:
  LineField(const FieldCalc& calc, const PlaneRegions& regions, int sign)
      : calc_(calc), regions_(regions), sign_(sign), prepared_(calc.PrepareCharges()) {}

  Slope At(double x, double y) const {
    Slope s;
    const PointRegion where = regions_.Locate(x, y);
    if (where.conductor) return s;
    double phi, ex, ey;
    calc_.FieldAt(where.region, std::fabs(x), y, &phi, &ex, &ey, prepared_.get());
    if (x < 0) ex = -ex;  // mirror image across the axis
    s.e = std::hypot(ex, ey);
    s.free = true;
    if (s.e > 0 && std::isfinite(s.e)) {
      s.ux = sign_ * ex / s.e;
      s.uy = sign_ * ey / s.e;
    }
    return s;
  }

  PointRegion Where(double x, double y) const { return regions_.Locate(x, y); }

 private:
  const FieldCalc& calc_;
  const PlaneRegions& regions_;
  int sign_;
  std::unique_ptr<ringkernel::ChargeArrays> prepared_;  // the charges laid out once per line
};

bool Outside(const MapRect& r, double x, double y) { return x > r.x2 || y < r.y1 || y > r.y2 || (r.x1 > 0 && x < r.x1); }

}  // namespace

std::vector<FieldLineStart> DefaultFieldLineStarts(const FieldCalc& calc, int perElectrode) {
  std::vector<FieldLineStart> starts;
  if (perElectrode <= 0 || !calc.HasSolution()) return starts;
  const PlaneRegions regions(calc);
  double bx1, by1, bx2, by2;
  regions.Bounds(bx1, by1, bx2, by2);
  const double hair = 1e-7 * std::max({bx2 - bx1, by2 - by1, 1.0});
  const CSurfColl& gens = calc.Generatrices();
  for (int g = 0; g < gens.GetSize(); ++g) {
    const SurfData& s = *gens[g];
    if (!s.IsConductor()) continue;
    for (int k = 0; k < perElectrode; ++k) {
      const double t = (k + 0.5) / perElectrode;
      double px, py, nx, ny;  // surface point and the normal to the outer side (left of travel)
      if (const auto* line = dynamic_cast<const Line*>(&s)) {
        if (line->length <= 0) break;
        const double dx = (line->x2 - line->x1) / line->length, dy = (line->y2 - line->y1) / line->length;
        px = line->x1 + t * (line->x2 - line->x1);
        py = line->y1 + t * (line->y2 - line->y1);
        nx = -dy, ny = dx;
      } else if (const auto* arc = dynamic_cast<const Arch*>(&s)) {
        if (arc->radius == 0 || arc->angle1 == arc->angle2) break;
        const double th = arc->angle1 + t * (arc->angle2 - arc->angle1);
        px = arc->xc + arc->radius * std::cos(th);
        py = arc->yc + arc->radius * std::sin(th);
        // Clockwise: the charges are inside, the field outside.
        const double out = (arc->angle2 < arc->angle1 ? 1.0 : -1.0) * (arc->radius > 0 ? 1.0 : -1.0);
        nx = out * std::cos(th), ny = out * std::sin(th);
      } else {
        break;
      }
      FieldLineStart st;
      st.x = px + hair * nx;
      st.y = py + hair * ny;
      st.generatrix = g;
      const PointRegion where = regions.Locate(st.x, st.y);
      if (where.conductor) continue;  // another conductor touches here: no gap to go into
      double phi, ex, ey;
      calc.FieldAt(where.region, std::fabs(st.x), st.y, &phi, &ex, &ey);
      st.direction = ex * nx + ey * ny >= 0 ? 1 : -1;
      starts.push_back(st);
    }
  }
  return starts;
}

FieldLine TraceFieldLine(const FieldCalc& calc, const PlaneRegions& regions, const FieldLineStart& start,
                         const FieldLineOptions& opt) {
  FieldLine line;
  line.startGeneratrix = start.generatrix;
  const LineField field(calc, regions, start.direction >= 0 ? 1 : -1);
  double bx1, by1, bx2, by2;
  regions.Bounds(bx1, by1, bx2, by2);
  const double size = std::max({bx2 - bx1, by2 - by1, 1e-6});
  const double tol = std::max(1e-12, opt.tolerance) * size;
  const double hMax = std::max(1e-9, opt.maxStep) * size;
  const double hMin = 1e-9 * size;
  const double maxLength = 50.0 * std::max(size, ExtentSize(opt.extent));

  double x = start.x, y = start.y;
  Slope k1 = field.At(x, y);
  line.points.push_back({x, y, k1.e});
  if (!k1.free) {
    const PointRegion w = field.Where(x, y);
    line.end = w.earth ? LineEnd::kEarth : LineEnd::kElectrode;
    line.endGeneratrix = w.earth ? -1 : w.generatrix;
    return line;
  }
  if (opt.stopBelow > 0 && k1.e < opt.stopBelow) {
    line.end = LineEnd::kWeak;
    return line;
  }

  // Ends the line between the last point (free) and (bx, by), which is not:
  // bisection on the region test puts the last point on the boundary.
  auto finishAtBoundary = [&](double bx, double by) {
    const PointRegion w = field.Where(bx, by);
    double ax = x, ay = y;
    for (int i = 0; i < 60; ++i) {
      const double mx = 0.5 * (ax + bx), my = 0.5 * (ay + by);
      if (field.Where(mx, my).conductor) bx = mx, by = my;
      else ax = mx, ay = my;
    }
    line.points.push_back({ax, ay, field.At(ax, ay).e});
    line.end = w.earth ? LineEnd::kEarth : LineEnd::kElectrode;
    line.endGeneratrix = w.earth ? -1 : w.generatrix;
  };
  // Dormand-Prince 5(4) coefficients.
  constexpr double a21 = 1.0 / 5;
  constexpr double a31 = 3.0 / 40, a32 = 9.0 / 40;
  constexpr double a41 = 44.0 / 45, a42 = -56.0 / 15, a43 = 32.0 / 9;
  constexpr double a51 = 19372.0 / 6561, a52 = -25360.0 / 2187, a53 = 64448.0 / 6561, a54 = -212.0 / 729;
  constexpr double a61 = 9017.0 / 3168, a62 = -355.0 / 33, a63 = 46732.0 / 5247, a64 = 49.0 / 176,
                   a65 = -5103.0 / 18656;
  constexpr double b1 = 35.0 / 384, b3 = 500.0 / 1113, b4 = 125.0 / 192, b5 = -2187.0 / 6784, b6 = 11.0 / 84;
  constexpr double e1 = 71.0 / 57600, e3 = -71.0 / 16695, e4 = 71.0 / 1920, e5 = -17253.0 / 339200,
                   e6 = 22.0 / 525, e7 = -1.0 / 40;

  double h = std::min(hMax, std::max(1e-9, opt.firstStep) * size);
  double length = 0.0;
  for (int step = 0; step < opt.maxSteps; ++step) {
    if (!(k1.e > 0) || (k1.ux == 0 && k1.uy == 0)) {
      line.end = LineEnd::kStalled;  // the field vanishes here
      return line;
    }
    if (length > maxLength) break;
    h = std::clamp(h, hMin, hMax);
    const Slope k2 = field.At(x + h * a21 * k1.ux, y + h * a21 * k1.uy);
    Slope k3, k4, k5, k6, k7;
    bool blocked = !k2.free;
    if (!blocked) {
      k3 = field.At(x + h * (a31 * k1.ux + a32 * k2.ux), y + h * (a31 * k1.uy + a32 * k2.uy));
      blocked = !k3.free;
    }
    if (!blocked) {
      k4 = field.At(x + h * (a41 * k1.ux + a42 * k2.ux + a43 * k3.ux), y + h * (a41 * k1.uy + a42 * k2.uy + a43 * k3.uy));
      blocked = !k4.free;
    }
    if (!blocked) {
      k5 = field.At(x + h * (a51 * k1.ux + a52 * k2.ux + a53 * k3.ux + a54 * k4.ux),
                    y + h * (a51 * k1.uy + a52 * k2.uy + a53 * k3.uy + a54 * k4.uy));
      blocked = !k5.free;
    }
    if (!blocked) {
      k6 = field.At(x + h * (a61 * k1.ux + a62 * k2.ux + a63 * k3.ux + a64 * k4.ux + a65 * k5.ux),
                    y + h * (a61 * k1.uy + a62 * k2.uy + a63 * k3.uy + a64 * k4.uy + a65 * k5.uy));
      blocked = !k6.free;
    }
    double nx, ny;
    if (blocked) {
      // A stage reached a conductor: shorten the step; once short, go
      // straight on and let the boundary search end the line.
      if (h > 1e-4 * size) {
        h *= 0.25;
        continue;
      }
      nx = x + h * k1.ux, ny = y + h * k1.uy;
      k7 = field.At(nx, ny);
    } else {
      nx = x + h * (b1 * k1.ux + b3 * k3.ux + b4 * k4.ux + b5 * k5.ux + b6 * k6.ux);
      ny = y + h * (b1 * k1.uy + b3 * k3.uy + b4 * k4.uy + b5 * k5.uy + b6 * k6.uy);
      k7 = field.At(nx, ny);
      if (k7.free) {
        const double ex = h * (e1 * k1.ux + e3 * k3.ux + e4 * k4.ux + e5 * k5.ux + e6 * k6.ux + e7 * k7.ux);
        const double ey = h * (e1 * k1.uy + e3 * k3.uy + e4 * k4.uy + e5 * k5.uy + e6 * k6.uy + e7 * k7.uy);
        const double err = std::hypot(ex, ey);
        double factor = err > 0 ? std::clamp(0.9 * std::pow(tol / err, 0.2), 0.2, 5.0) : 5.0;
        if (err > tol && h > hMin) {
          h *= factor;  // rejected: try again shorter
          continue;
        }
        if (opt.maxFieldChange > 0) {
          // |E| resolved along the line, not only its direction.
          const double change = std::fabs(k7.e - k1.e) / std::max({k7.e, k1.e, 1e-300});
          if (change > opt.maxFieldChange && h > hMin) {
            h *= std::clamp(0.8 * opt.maxFieldChange / change, 0.1, 0.9);
            continue;
          }
          if (change > 0) factor = std::min(factor, std::max(0.2, 0.9 * opt.maxFieldChange / change));
        }
        h *= factor;
      }
    }
    if (!k7.free) {
      finishAtBoundary(nx, ny);
      return line;
    }
    if (nx < 0) {
      // Crossed the axis: end on it.
      const double f = x / (x - nx);
      line.points.push_back({0.0, y + f * (ny - y), k7.e});
      line.end = LineEnd::kAxis;
      return line;
    }
    if (Outside(opt.extent, nx, ny)) {
      // Clip to the border.
      double f = 1.0;
      auto clip = [&](double from, double to, double bound) {
        if ((to - bound) * (from - bound) < 0) f = std::min(f, (bound - from) / (to - from));
      };
      clip(x, nx, opt.extent.x2);
      clip(y, ny, opt.extent.y1);
      clip(y, ny, opt.extent.y2);
      if (opt.extent.x1 > 0) clip(x, nx, opt.extent.x1);
      const double cx = x + f * (nx - x), cy = y + f * (ny - y);
      line.points.push_back({cx, cy, field.At(cx, cy).e});
      line.end = LineEnd::kBorder;
      return line;
    }
    length += std::hypot(nx - x, ny - y);
    x = nx, y = ny;
    k1 = k7;
    line.points.push_back({x, y, k1.e});
    if (opt.stopBelow > 0 && k1.e < opt.stopBelow) {
      line.end = LineEnd::kWeak;
      return line;
    }
  }
  line.end = LineEnd::kStalled;
  return line;
}

MapStatus TraceFieldLines(const FieldCalc& calc, const std::vector<FieldLineStart>& starts,
                          const FieldLineOptions& options, std::vector<FieldLine>& lines,
                          const FieldLineCallbacks& cb) {
  lines.clear();
  if (!calc.HasSolution()) return MapStatus::kNoSolution;
  const PlaneRegions regions(calc);
  const long long n = static_cast<long long>(starts.size());
  // A few lines per thread per chunk: a line costs some hundreds of field
  // evaluations, so a chunk stays well under a second.
  const long long chunk = std::max<long long>(1, 2LL * WorkerThreads());
  std::vector<FieldLine> traced;
  for (long long begin = 0; begin < n; begin += chunk) {
    if (cb.stop && cb.stop->load()) return MapStatus::kStopped;
    const long long end = std::min(n, begin + chunk);
    traced.assign(static_cast<size_t>(end - begin), FieldLine{});
    ParallelFor(end - begin, [&](long long b, long long e) {
      for (long long k = b; k < e; ++k)
        traced[static_cast<size_t>(k)] = TraceFieldLine(calc, regions, starts[static_cast<size_t>(begin + k)], options);
    });
    for (long long k = begin; k < end; ++k) {
      lines.push_back(std::move(traced[static_cast<size_t>(k - begin)]));
      if (cb.onLine) cb.onLine(static_cast<int>(k), lines.back());
    }
  }
  return MapStatus::kComplete;
}

std::string LineEndText(const FieldLine& line) {
  switch (line.end) {
    case LineEnd::kElectrode: return "electrode " + std::to_string(line.endGeneratrix + 1);
    case LineEnd::kEarth: return "earth";
    case LineEnd::kAxis: return "axis";
    case LineEnd::kBorder: return "border";
    case LineEnd::kWeak: return "weak";
    case LineEnd::kStalled: break;
  }
  return "none";
}
