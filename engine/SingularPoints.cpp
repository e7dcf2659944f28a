#include "engine/SingularPoints.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/Arch.h"
#include "model/Line.h"
#include "model/TextFormat.h"

namespace {

constexpr double kPiValue = std::numbers::pi;
// |p| below this is a smooth surface (a tangent junction gives exactly 0).
constexpr double kSmoothExponent = 0.01;

struct End {
  int gen = 0;
  double x = 0.0, y = 0.0;
  double angle = 0.0;  // of the tangent pointing away from the end, (-pi, pi]
  // The side to the left of that tangent (counterclockwise from it).
  int leftRegion = 0;
  bool leftIsBody = false;  // a conductor's inner side
  double leftEps = 1.0;
};

double Length(const SurfData& e) {
  if (e.GetKind() == SurfData::kLine) return static_cast<const Line&>(e).length;
  if (e.GetKind() == SurfData::kArch) {
    const auto& a = static_cast<const Arch&>(e);
    return std::fabs(a.radius * (a.angle1 - a.angle2));
  }
  return 0.0;
}

// Both ends of `e` with their outgoing tangents. Travelling from the first
// end to the second, the inner side is on the right: at the first end the
// left of the outgoing tangent is the outer side, at the second the inner.
void EndsOf(const SurfData& e, int index, std::vector<End>& ends) {
  double x1, y1, x2, y2, a1, a2;
  if (e.GetKind() == SurfData::kLine) {
    const auto& l = static_cast<const Line&>(e);
    if (l.length == 0.0) return;
    a1 = l.direction;
    a2 = l.direction + kPiValue;
  } else if (e.GetKind() == SurfData::kArch) {
    const auto& a = static_cast<const Arch&>(e);
    if (a.radius == 0.0 || a.angle1 == a.angle2) return;
    const double sign = a.angle2 > a.angle1 ? 1.0 : -1.0;  // of d(theta) along the travel
    a1 = std::atan2(sign * std::cos(a.angle1), -sign * std::sin(a.angle1));
    a2 = std::atan2(-sign * std::cos(a.angle2), sign * std::sin(a.angle2));
  } else {
    return;
  }
  e.GetEnds(x1, y1, x2, y2);
  const bool conductor = e.IsConductor();
  End first{index, x1, y1, std::remainder(a1, 2 * kPiValue), e.outerRegion, false, e.epsOuter};
  End second{index, x2, y2, std::remainder(a2, 2 * kPiValue), e.innerRegion, conductor, e.epsInner};
  ends.push_back(first);
  ends.push_back(second);
}

}  // namespace

double WedgeExponent(const std::vector<double>& openings, const std::vector<double>& eps) {
  if (openings.size() == 1) return openings[0] > 0.0 ? kPiValue / openings[0] : NAN;
  if (openings.size() != 2 || eps.size() != 2) return NAN;
  // phi = A sin(l*th) in the first wedge and B sin(l*(a1 + a2 - th)) in the
  // second; continuity of phi and of eps*dphi/dth at th = a1 leaves
  // eps1 sin(l a2) cos(l a1) + eps2 cos(l a2) sin(l a1) = 0, positive for
  // small l.
  const double a1 = openings[0], a2 = openings[1], e1 = eps[0], e2 = eps[1];
  auto f = [&](double l) { return e1 * std::sin(l * a2) * std::cos(l * a1) + e2 * std::cos(l * a2) * std::sin(l * a1); };
  const double step = 1e-3;
  double lo = step, flo = f(lo);
  for (double hi = 2 * step; hi < 20.0; hi += step) {
    const double fhi = f(hi);
    if ((flo > 0.0) != (fhi > 0.0)) {
      for (int i = 0; i < 60; ++i) {
        const double mid = 0.5 * (lo + hi);
        if ((f(mid) > 0.0) == (flo > 0.0))
          lo = mid;
        else
          hi = mid;
      }
      return 0.5 * (lo + hi);
    }
    lo = hi;
    flo = fhi;
  }
  return NAN;
}

std::vector<SingularPoint> FindSingularPoints(const CSurfColl& system, double radius) {
  std::vector<End> ends;
  double extent = 0.0;
  for (int i = 0; i < system.GetSize(); ++i) {
    EndsOf(*system[i], i, ends);
    double x, y;
    system[i]->GetMaxCorner(x, y);
    extent = std::max({extent, std::fabs(x), std::fabs(y)});
  }
  const double tol = 1e-6 * (1.0 + extent);
  std::vector<char> used(ends.size(), 0);
  std::vector<SingularPoint> result;
  for (size_t a = 0; a < ends.size(); ++a) {
    if (used[a]) continue;
    std::vector<End> group;
    for (size_t b = a; b < ends.size(); ++b)
      if (!used[b] && std::hypot(ends[b].x - ends[a].x, ends[b].y - ends[a].y) <= tol) {
        used[b] = 1;
        group.push_back(ends[b]);
      }
    const double px = ends[a].x, py = ends[a].y;
    if (std::fabs(px) <= tol) continue;  // on the axis
    SingularPoint sp;
    sp.x = px;
    sp.y = py;
    double shortest = INFINITY;
    for (const End& e : group) {
      sp.generatrices.push_back(e.gen);
      shortest = std::min(shortest, Length(*system[e.gen]));
    }
    std::sort(sp.generatrices.begin(), sp.generatrices.end());
    sp.radius = radius > 0.0 ? radius : kSingularRadiusFraction * shortest;
    if (group.size() == 1) {
      // A free end: the edge of a thin conductor, open to the field all round.
      if (!system[group[0].gen]->IsConductor()) continue;
      sp.angleDeg = 360.0;
      sp.exponent = -0.5;
      sp.infinite = true;
      result.push_back(sp);
      continue;
    }
    std::sort(group.begin(), group.end(), [](const End& l, const End& r) { return l.angle < r.angle; });
    // Sector k runs counterclockwise from the tangent of end k to that of
    // end k + 1 and holds the region to the left of end k.
    const size_t m = group.size();
    std::vector<double> opening(m);
    for (size_t k = 0; k < m; ++k) {
      double d = group[(k + 1) % m].angle - group[k].angle;
      if (d <= 0.0) d += 2 * kPiValue;
      opening[k] = d;
    }
    // Runs of field sectors between conductor faces, starting after a body
    // sector.
    const auto body = std::find_if(group.begin(), group.end(), [](const End& e) { return e.leftIsBody; });
    if (body == group.end()) continue;
    const size_t start = static_cast<size_t>(body - group.begin());
    double worst = NAN, worstAngle = 0.0;
    std::vector<double> openings, eps;
    auto closeRun = [&] {
      if (openings.empty()) return;
      const double lambda = WedgeExponent(openings, eps);
      double total = 0.0;
      for (double o : openings) total += o;
      if (std::isfinite(lambda) && (std::isnan(worst) || lambda - 1.0 < worst)) {
        worst = lambda - 1.0;
        worstAngle = total * 180.0 / kPiValue;
      }
      openings.clear();
      eps.clear();
    };
    // Faces of one conductor body only: bodies at different potentials that
    // touch are a fault of the system, not an edge.
    int bodyRegion = group[start].leftRegion;
    bool oneBody = true;
    for (size_t s = 1; s <= m; ++s) {
      const End& e = group[(start + s) % m];
      if (e.leftIsBody || s == m) {
        closeRun();
        if (e.leftIsBody && e.leftRegion != bodyRegion) oneBody = false;
        if (s == m) break;
        continue;
      }
      openings.push_back(opening[(start + s) % m]);
      eps.push_back(e.leftEps);
    }
    if (!oneBody || std::isnan(worst) || std::fabs(worst) < kSmoothExponent) continue;
    sp.exponent = worst;
    sp.angleDeg = worstAngle;
    sp.infinite = worst < 0.0;
    result.push_back(sp);
  }
  return result;
}

bool InSingularNeighbourhood(const std::vector<SingularPoint>& points, double x, double y) {
  for (const SingularPoint& p : points)
    if (p.infinite && std::hypot(x - p.x, y - p.y) < p.radius) return true;
  return false;
}

std::string SingularPointWarning(const SingularPoint& p) {
  std::string gens;
  for (size_t i = 0; i < p.generatrices.size(); ++i)
    gens += (i == 0 ? "" : i + 1 == p.generatrices.size() ? " и " : ", ") + std::to_string(p.generatrices[i] + 1);
  const char* advice = p.generatrices.size() == 1 ? "скруглите кромку или утолщите край" : "скруглите кромку";
  return text::Format("%s %s: поле в точке (%.6g; %.6g) бесконечно: угол %.0f°, %s (напряженность ~ r^%.2f; "
                      "наибольшая напряженность найдена вне круга радиусом %.3g см)",
                      p.generatrices.size() == 1 ? "Образующая" : "Образующие", gens.c_str(), p.x, p.y, p.angleDeg,
                      advice, p.exponent, p.radius);
}
