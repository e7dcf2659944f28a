#include "engine/GapCurves.h"

#include <cmath>
#include <istream>
#include <ostream>

#include "model/CSurfColl.h"
#include "model/TextFormat.h"

SurfParams GapCurveParams(int region, int points) {
  SurfParams p;
  p.material = 1;
  p.innerRegion = region;
  p.outerRegion = -1;
  p.epsInner = 0.0;
  p.epsOuter = 0.0;
  p.fixedPotential = 0.0;
  p.isFloating = false;
  p.pointCount = points;
  p.ratioLd = 0.0;
  return p;
}

std::unique_ptr<Line> MakeGapLine(int region, int points, double x1, double y1, double x2, double y2) {
  auto l = std::make_unique<Line>(GapCurveParams(region, points), x1, y1, x2, y2);
  l->SetVariablePotential(0.0, 0.0);
  return l;
}

std::unique_ptr<Arch> MakeGapArch(int region, int points, double xc, double yc, double radius,
                                  double angle1Deg, double angle2Deg) {
  auto a = std::make_unique<Arch>(GapCurveParams(region, points), xc, yc, radius,
                                  DegreesToRadians(angle1Deg), DegreesToRadians(angle2Deg));
  a->SetVariablePotential(0.0, 0.0);
  return a;
}

void SetGapLine(Line& curve, int region, int points, double x1, double y1, double x2, double y2) {
  curve.SetAll(GapCurveParams(region, points), x1, y1, x2, y2);
  curve.SetVariablePotential(0.0, 0.0);
}

void SetGapArch(Arch& curve, int region, int points, double xc, double yc, double radius,
                double angle1Deg, double angle2Deg) {
  curve.SetAll(GapCurveParams(region, points), xc, yc, radius, DegreesToRadians(angle1Deg),
               DegreesToRadians(angle2Deg));
  curve.SetVariablePotential(0.0, 0.0);
}

ElementReadResult LoadGapCurves(CSurfColl& curves, std::istream& in) {
  curves.RemoveAllElements();
  return ReadElementLines(in, [&](std::unique_ptr<SurfData> e) { curves.Append(std::move(e)); });
}

void SaveGapCurves(const CSurfColl& curves, std::ostream& out) {
  for (const auto& e : curves) out << e->GetText() << "\r\n";
}

std::string GapCurveProblem(const CSurfColl& curves) {
  for (int i = 0; i < curves.GetSize(); ++i) {
    const SurfData& c = *curves[i];
    if (c.pointCount < 0 || c.pointCount > kMaxGapPoints)
      return text::Format("Кривая %d: количество точек %d вне пределов 0…%d.", i + 1, c.pointCount,
                          kMaxGapPoints);
    double a = 0, b = 0, d = 0, e = 0;
    c.GetEnds(a, b, d, e);
    if (!std::isfinite(a) || !std::isfinite(b) || !std::isfinite(d) || !std::isfinite(e))
      return text::Format("Кривая %d: одно из чисел не является конечным (nan или inf).", i + 1);
  }
  return {};
}
