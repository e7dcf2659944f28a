#include "engine/PlaneRegions.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "engine/FieldCalc.h"
#include "model/Arch.h"
#include "model/Line.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Angle in [0, 2pi).
double Wrap(double a) {
  a = std::fmod(a, kTwoPi);
  return a < 0 ? a + kTwoPi : a;
}

}  // namespace

PlaneRegions::PlaneRegions(const FieldCalc& calc) : earth_(calc.UseEarth()) {
  const auto& points = calc.Points();
  size_t offset = 0;
  double x1, y1, x2, y2;
  for (const auto& item : calc.Generatrices()) {
    const SurfData& s = *item;
    Element e;
    e.conductor = s.IsConductor();
    e.inner = s.innerRegion;
    e.outer = s.outerRegion;
    e.n = static_cast<int>(s.PointCount());
    if (s.isFixed) {
      e.from = e.to = s.fixedPotential;
    } else if (s.isFloating) {
      // The solved floating potential sits in the element's contour points.
      const bool solved = calc.HasSolution() && offset < points.size();
      e.from = e.to = solved ? points[offset].potential : 0.0;
    } else {
      e.from = s.potentialFrom;
      e.to = s.potentialTo;
    }
    offset += static_cast<size_t>(e.n);
    if (const auto* line = dynamic_cast<const Line*>(&s)) {
      e.ax = line->x1, e.ay = line->y1, e.bx = line->x2, e.by = line->y2;
      e.valid = std::isfinite(line->length) && line->length > 0.0;
    } else if (const auto* arc = dynamic_cast<const Arch*>(&s)) {
      e.arc = true;
      e.cx = arc->xc, e.cy = arc->yc, e.r = std::fabs(arc->radius);
      e.a1 = arc->angle1, e.a2 = arc->angle2;
      e.valid = e.r > 0.0 && arc->angle1 != arc->angle2 && std::isfinite(e.r) && std::isfinite(e.a1) &&
                std::isfinite(e.a2);
      if (arc->radius < 0) {  // a negative radius puts the points on the opposite ray
        e.a1 += kTwoPi / 2;
        e.a2 += kTwoPi / 2;
      }
    } else {
      s.GetEnds(x1, y1, x2, y2);
      e.ax = x1, e.ay = y1, e.bx = x2, e.by = y2;
      e.valid = std::hypot(x2 - x1, y2 - y1) > 0.0;
    }
    elements_.push_back(e);
  }
  Bounds(x1, y1, x2, y2);
  tolerance_ = 1e-9 * std::max({1.0, x2 - x1, y2 - y1, std::fabs(x1), std::fabs(y1), std::fabs(x2), std::fabs(y2)});
}

void PlaneRegions::Bounds(double& x1, double& y1, double& x2, double& y2) const {
  bool any = false;
  x1 = y1 = x2 = y2 = 0.0;
  auto add = [&](double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    if (!any) {
      x1 = x2 = x, y1 = y2 = y, any = true;
      return;
    }
    x1 = std::min(x1, x), x2 = std::max(x2, x), y1 = std::min(y1, y), y2 = std::max(y2, y);
  };
  for (const Element& e : elements_) {
    if (!e.arc) {
      add(e.ax, e.ay);
      add(e.bx, e.by);
      continue;
    }
    double px, py;
    EndPoint(e, 0, px, py);
    add(px, py);
    EndPoint(e, 1, px, py);
    add(px, py);
    // The circle's extreme points that the arc passes.
    for (int k = 0; k < 4; ++k) {
      const double th = k * kTwoPi / 4;
      const double span = std::fabs(e.a2 - e.a1);
      const double along = e.a2 > e.a1 ? Wrap(th - e.a1) : Wrap(e.a1 - th);
      if (along <= span) add(e.cx + e.r * std::cos(th), e.cy + e.r * std::sin(th));
    }
  }
}

void PlaneRegions::EndPoint(const Element& e, int end, double& x, double& y) {
  if (!e.arc) {
    x = end ? e.bx : e.ax;
    y = end ? e.by : e.ay;
    return;
  }
  const double a = end ? e.a2 : e.a1;
  x = e.cx + e.r * std::cos(a);
  y = e.cy + e.r * std::sin(a);
}

void PlaneRegions::Tangent(const Element& e, int end, double& tx, double& ty) {
  if (!e.arc) {
    const double len = std::hypot(e.bx - e.ax, e.by - e.ay);
    tx = (e.bx - e.ax) / len;
    ty = (e.by - e.ay) / len;
    return;
  }
  const double a = end ? e.a2 : e.a1;
  const double s = e.a2 > e.a1 ? 1.0 : -1.0;  // counterclockwise travel: +1
  tx = -s * std::sin(a);
  ty = s * std::cos(a);
}

PlaneRegions::Nearest PlaneRegions::NearestOn(const Element& e, double x, double y) {
  Nearest n;
  if (!e.arc) {
    const double dx = e.bx - e.ax, dy = e.by - e.ay;
    const double len2 = dx * dx + dy * dy;
    const double t = ((x - e.ax) * dx + (y - e.ay) * dy) / len2;
    const double tc = std::clamp(t, 0.0, 1.0);
    n.t = tc;
    n.distance = std::hypot(x - (e.ax + tc * dx), y - (e.ay + tc * dy));
    n.interior = t >= 0.0 && t <= 1.0;
    n.end = t > 1.0 ? 1 : 0;
    // Right of the direction of travel is the inner side.
    const double cross = dx * (y - e.ay) - dy * (x - e.ax);
    n.side = cross < 0 ? 1 : (cross > 0 ? -1 : 0);
    return n;
  }
  const double rho = std::hypot(x - e.cx, y - e.cy);
  const double phi = rho > 0 ? std::atan2(y - e.cy, x - e.cx) : e.a1;
  const bool ccw = e.a2 > e.a1;
  const double span = std::fabs(e.a2 - e.a1);
  const double along = ccw ? Wrap(phi - e.a1) : Wrap(e.a1 - phi);
  if (along <= span || span >= kTwoPi) {
    n.interior = true;
    n.t = span > 0 ? std::min(along, span) / span : 0.0;
    n.distance = std::fabs(rho - e.r);
    // Travelling counterclockwise the right side is outside the circle.
    const int outside = rho > e.r ? 1 : (rho < e.r ? -1 : 0);
    n.side = ccw ? outside : -outside;
    return n;
  }
  // Beyond the arc: the nearer end (measured around the rest of the circle).
  const double past = along - span;             // beyond the second end
  const double before = kTwoPi - along;         // before the first end
  n.end = past < before ? 1 : 0;
  n.t = n.end;
  double px, py;
  EndPoint(e, n.end, px, py);
  n.distance = std::hypot(x - px, y - py);
  return n;
}

PointRegion PlaneRegions::Side(int index, bool innerSide, double t) const {
  const Element& e = elements_[static_cast<size_t>(index)];
  PointRegion p;
  p.generatrix = index;
  if (e.conductor && innerSide) {
    p.conductor = true;
    p.region = e.inner;
    // A variable potential runs linearly over the contour points, which
    // divide the element into n + 1 equal parts.
    double u = 0.0;
    if (e.n > 1) u = std::clamp((t * (e.n + 1) - 1.0) / (e.n - 1), 0.0, 1.0);
    p.potential = e.from + (e.to - e.from) * u;
    return p;
  }
  p.region = innerSide ? e.inner : e.outer;
  return p;
}

PointRegion PlaneRegions::AtVertex(double vx, double vy, double x, double y) const {
  // Rays of every element that ends at the vertex, pointing into the
  // element; the point lies on the counterclockwise side of the ray just
  // clockwise of it.
  const double alpha = Wrap(std::atan2(y - vy, x - vx));
  const bool onAxis = std::fabs(vx) <= tolerance_;
  double best = 10.0;
  int bestIndex = -1;
  bool bestInner = false;
  double bestT = 0.0;
  for (size_t i = 0; i < elements_.size(); ++i) {
    const Element& e = elements_[i];
    if (!e.valid) continue;
    for (int end = 0; end < 2; ++end) {
      double px, py;
      EndPoint(e, end, px, py);
      if (std::hypot(px - vx, py - vy) > tolerance_ * 10) continue;
      double tx, ty;
      Tangent(e, end, tx, ty);
      if (end == 1) tx = -tx, ty = -ty;
      // Counterclockwise of a ray out of the first end is the left of
      // travel (outer); out of the second end, the right (inner).
      const bool ccwInner = end == 1;
      auto consider = [&](double rx, double ry, bool inner) {
        const double gap = Wrap(alpha - std::atan2(ry, rx));
        if (gap < best) best = gap, bestIndex = static_cast<int>(i), bestInner = inner, bestT = end;
      };
      consider(tx, ty, ccwInner);
      // The mirror image swaps the sides.
      if (onAxis) consider(-tx, ty, !ccwInner);
    }
  }
  if (bestIndex < 0) return {};
  return Side(bestIndex, bestInner, bestT);
}

PointRegion PlaneRegions::Locate(double x, double y) const {
  x = std::fabs(x);
  if (earth_ && y < 0.0) {
    PointRegion p;
    p.region = kEarthRegion;
    p.conductor = true;
    p.earth = true;
    return p;
  }
  double bestInterior = std::numeric_limits<double>::infinity();
  double bestAny = std::numeric_limits<double>::infinity();
  int interiorIndex = -1, anyIndex = -1;
  Nearest interior, any;
  for (size_t i = 0; i < elements_.size(); ++i) {
    if (!elements_[i].valid) continue;
    const Nearest n = NearestOn(elements_[i], x, y);
    if (n.interior && n.distance < bestInterior) bestInterior = n.distance, interiorIndex = static_cast<int>(i), interior = n;
    if (n.distance < bestAny) bestAny = n.distance, anyIndex = static_cast<int>(i), any = n;
  }
  if (anyIndex < 0) return {};
  // A projection onto an element decides unless an end is clearly nearer;
  // at equal distance the element's own side is the sharper test.
  if (interiorIndex >= 0 && bestInterior <= bestAny + tolerance_) {
    if (interior.distance <= tolerance_ || interior.side == 0) return Side(interiorIndex, false, interior.t);
    return Side(interiorIndex, interior.side > 0, interior.t);
  }
  double vx, vy;
  EndPoint(elements_[static_cast<size_t>(anyIndex)], any.end, vx, vy);
  if (any.distance <= tolerance_) {
    // On the end itself: the field side of the element that ends there.
    return Side(anyIndex, false, any.t);
  }
  return AtVertex(vx, vy, x, y);
}
