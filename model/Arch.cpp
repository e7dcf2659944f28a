#include "model/Arch.h"

#include <cmath>
#include <numbers>

#include "model/DrawSurface.h"
#include "model/ElementText.h"
#include "model/TextFormat.h"

double DegreesToRadians(double deg) { return deg * 3.141592653589793 * 0.005555555555555556; }
double RadiansToDegrees(double rad) { return rad * 180.0 / 3.141592653589793; }

Arch::Arch(const SurfParams& p, double axc, double ayc, double r, double a1, double a2)
    : SurfData(p), xc(axc), yc(ayc), radius(r), angle1(a1), angle2(a2) {}

Arch::Arch(const std::string& upperText) {
  ElementLineReader reader(upperText);
  reader.ReadCommon(*this);
  xc = reader.Number();
  yc = reader.Number();
  radius = reader.Number();
  angle1 = reader.Number() * 3.141592653589793 * (1.0 / 180.0);
  angle2 = reader.Number() * 3.141592653589793 * (1.0 / 180.0);
  reader.ReadTail(*this);
}

void Arch::SetAll(const SurfParams& p, double axc, double ayc, double r, double a1, double a2) {
  SetParams(p);
  xc = axc;
  yc = ayc;
  radius = r;
  angle1 = a1;
  angle2 = a2;
}

std::string Arch::GetText() const {
  return ComposeText(text::Format("\t\tc; %4.3f ; %4.3f ; %4.3f ; %4.5f ; %4.5f ;", xc, yc, radius,
                                  angle1 * 180.0 / std::numbers::pi, angle2 * 180.0 / std::numbers::pi));
}

void Arch::Draw(DrawSurface& dc) const {
  const int p1x = LogicalUnits(xc + radius * std::cos(angle1));
  const int p1y = LogicalUnits(yc + radius * std::sin(angle1));
  const int p2x = LogicalUnits(xc + radius * std::cos(angle2));
  const int p2y = LogicalUnits(yc + radius * std::sin(angle2));
  const int left = LogicalUnits(xc - radius), top = LogicalUnits(yc + radius);
  const int right = LogicalUnits(xc + radius), bottom = LogicalUnits(yc - radius);
  if (p1x == p2x && p1y == p2y) {
    dc.Ellipse(left, top, right, bottom);
  } else {
    // Exactly the part of the circle the contour points lie on, in the
    // arc's own orientation.
    dc.Arc(left, top, right, bottom, angle1, angle2 - angle1);
  }
  dc.MoveTo(p2x, p2y);
  if (marked) {
    DrawMarker(dc, p1x, p1y);
    DrawMarker(dc, p2x, p2y);
  }
}

void Arch::MakeContourPoints(std::vector<ContourPoint>& points) const {
  const double delta = AngularStep();
  for (long long i = 1; i <= pointCount; ++i) {
    const double th = Graded() ? angle1 - CellMiddle(i) * (angle1 - angle2) : angle1 - i * delta;
    points.emplace_back(xc + radius * std::cos(th), yc + radius * std::sin(th), material, innerRegion,
                        outerRegion, epsInner, epsOuter, th, ContourPotential(static_cast<int>(i), pointCount),
                        isFloating);
  }
}

void Arch::MakeCharges(std::vector<Charge>& charges, bool earth) const {
  const double delta = AngularStep();
  const double even = ratioLd * radius * delta;
  for (long long i = 1; i <= pointCount; ++i) {
    const double th = Graded() ? angle1 - CellMiddle(i) * (angle1 - angle2) : angle1 - i * delta;
    const double s = Graded() ? ratioLd * radius * CellLength(i) * (angle1 - angle2) : even;
    const double c = std::cos(th), sn = std::sin(th);
    charges.emplace_back(xc + (radius - s) * c, yc + (radius - s) * sn, material, innerRegion,
                         outerRegion, earth, 1.0);
    if (material == 0)
      charges.emplace_back(xc + (radius + s) * c, yc + (radius + s) * sn, material, outerRegion,
                           innerRegion, earth, 1.0);
  }
}

void Arch::GetCalcPoint(double& x, double& y, double& nx, double& ny, int index,
                        float perInterval) const {
  const double th =
      Graded() ? angle1 - FractionAt(index * (pointCount + 1.0) / (pointCount * static_cast<double>(perInterval) + 1.0)) *
                              (angle1 - angle2)
               : angle1 - index * (angle1 - angle2) / (pointCount * static_cast<double>(perInterval) + 1.0);
  nx = std::cos(th);
  ny = std::sin(th);
  x = xc + radius * nx;
  y = yc + radius * ny;
}

void Arch::GetEnds(double& x1, double& y1, double& x2, double& y2) const {
  x1 = xc + radius * std::cos(angle1);
  y1 = yc + radius * std::sin(angle1);
  x2 = xc + radius * std::cos(angle2);
  y2 = yc + radius * std::sin(angle2);
}

void Arch::GetMaxCorner(double& x, double& y) const {
  x = xc + radius;
  y = yc + radius;
}

bool Arch::HitTest(double x, double y) const {
  const double dx = x - xc, dy = y - yc;
  const double rho = std::sqrt(dx * dx + dy * dy);
  if (rho == 0.0) return false;  // the centre has no angle
  double phi = std::acos(dx / rho);
  if (y < yc) phi = 2 * std::numbers::pi - phi;
  if (std::fabs(dx - radius * std::cos(phi)) > 3.0 || std::fabs(dy - radius * std::sin(phi)) > 3.0)
    return false;
  const double lo = std::min(angle1, angle2), hi = std::max(angle1, angle2);
  const double phi2 = phi - 2 * std::numbers::pi;
  return (phi >= lo && phi <= hi) || (phi2 >= lo && phi2 <= hi);
}
