#include "model/Line.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "model/DrawSurface.h"
#include "model/ElementText.h"
#include "model/TextFormat.h"

Line::Line(const SurfParams& p, double ax1, double ay1, double ax2, double ay2)
    : SurfData(p), x1(ax1), y1(ay1), x2(ax2), y2(ay2) {
  ComputeDerived();
}

Line::Line(const std::string& upperText) {
  ElementLineReader reader(upperText);
  reader.ReadCommon(*this);
  x1 = reader.Number();
  y1 = reader.Number();
  x2 = reader.Number();
  y2 = reader.Number();
  reader.ReadTail(*this);
  ComputeDerived();
}

void Line::ComputeDerived() {
  const double dx = x2 - x1;
  const double dy = y2 - y1;
  length = std::sqrt(dx * dx + dy * dy);
  if (length == 0.0)
    direction = 0.0;  // no direction exists; keep the numbers finite
  else if (x1 == x2)
    direction = std::asin(dy / length);
  else
    direction = std::atan(dy / dx) + (x1 > x2 ? std::numbers::pi : 0.0);
  normal = direction - std::numbers::pi / 2;
  // In double: pointCount + 1 would overflow an int for the largest count.
  const double intervals = static_cast<double>(pointCount) + 1.0;
  step = intervals > 0.0 ? length / intervals : 0.0;
}

void Line::SetAll(const SurfParams& p, double ax1, double ay1, double ax2, double ay2) {
  SetParams(p);
  x1 = ax1;
  y1 = ay1;
  x2 = ax2;
  y2 = ay2;
  ComputeDerived();
}

std::string Line::GetText() const {
  return ComposeText(text::Format("\t\tl; %4.3f ; %4.3f ; %4.3f ; %4.3f ;", x1, y1, x2, y2));
}

void Line::Draw(DrawSurface& dc) const {
  const int ax = LogicalUnits(x1), ay = LogicalUnits(y1);
  const int bx = LogicalUnits(x2), by = LogicalUnits(y2);
  dc.MoveTo(ax, ay);
  dc.LineTo(bx, by);
  if (marked) {
    DrawMarker(dc, ax, ay);
    DrawMarker(dc, bx, by);
  }
}

void Line::MakeContourPoints(std::vector<ContourPoint>& points) const {
  const double c = std::cos(direction), s = std::sin(direction);
  if (Graded()) {
    for (long long i = 1; i <= pointCount; ++i) {
      const double dist = CellMiddle(i) * length;
      points.emplace_back(x1 + dist * c, y1 + dist * s, material, innerRegion, outerRegion, epsInner, epsOuter,
                          normal, ContourPotential(static_cast<int>(i), pointCount), isFloating);
    }
    return;
  }
  for (long long i = 1; i <= pointCount; ++i) {
    points.emplace_back(x1 + i * step * c, y1 + i * step * s, material, innerRegion, outerRegion,
                        epsInner, epsOuter, normal, ContourPotential(static_cast<int>(i), pointCount), isFloating);
  }
}

void Line::MakeCharges(std::vector<Charge>& charges, bool earth) const {
  const double c = std::cos(direction), s = std::sin(direction);
  const double d = ratioLd * step;
  const double ux = std::cos(normal), uy = std::sin(normal);
  if (Graded()) {
    for (long long i = 1; i <= pointCount; ++i) {
      const double dist = CellMiddle(i) * length, depth = ratioLd * CellLength(i) * length;
      const double px = x1 + dist * c, py = y1 + dist * s;
      charges.emplace_back(px + depth * ux, py + depth * uy, material, innerRegion, outerRegion, earth, 1.0);
      if (material == 0)
        charges.emplace_back(px - depth * ux, py - depth * uy, material, outerRegion, innerRegion, earth, 1.0);
    }
    return;
  }
  for (long long i = 1; i <= pointCount; ++i) {
    const double px = x1 + i * step * c, py = y1 + i * step * s;
    charges.emplace_back(px + d * ux, py + d * uy, material, innerRegion, outerRegion, earth, 1.0);
    if (material == 0)
      charges.emplace_back(px - d * ux, py - d * uy, material, outerRegion, innerRegion, earth, 1.0);
  }
}

void Line::GetCalcPoint(double& x, double& y, double& nx, double& ny, int index,
                        float perInterval) const {
  const double dist =
      Graded() ? FractionAt(index * (pointCount + 1.0) / (pointCount * static_cast<double>(perInterval) + 1.0)) * length
               : index * length / (pointCount * static_cast<double>(perInterval) + 1.0);
  x = x1 + dist * std::cos(direction);
  y = y1 + dist * std::sin(direction);
  nx = std::cos(normal + std::numbers::pi);
  ny = std::sin(normal + std::numbers::pi);
}

void Line::GetEnds(double& ax1, double& ay1, double& ax2, double& ay2) const {
  ax1 = x1;
  ay1 = y1;
  ax2 = x2;
  ay2 = y2;
}

void Line::GetMaxCorner(double& x, double& y) const {
  x = std::max(x1, x2);
  y = std::max(y1, y2);
}

bool Line::HitTest(double x, double y) const {
  if (x1 == x2) {
    return std::fabs(x - x2) <= 2.0 && ((y > y1 && y < y2) || (y > y2 && y < y1));
  }
  const double yl = y1 + (y1 - y2) / (x1 - x2) * (x - x1);
  return std::fabs(yl - y) <= 1.0 && x >= std::min(x1, x2) && x <= std::max(x1, x2);
}
