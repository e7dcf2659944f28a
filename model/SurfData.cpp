#include "model/SurfData.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "model/DrawSurface.h"
#include "model/TextFormat.h"

int LogicalUnits(double v) { return text::TruncateToInt(10.0 * v); }

// Construction takes the parameters as SetParams does (a dielectric never
// floats); the potential range starts at 0 and the element unmarked.
SurfData::SurfData(const SurfParams& p) { SurfData::SetParams(p); }

SurfParams SurfData::Params() const {
  SurfParams p;
  p.material = material;
  p.innerRegion = innerRegion;
  p.outerRegion = outerRegion;
  p.epsInner = epsInner;
  p.epsOuter = epsOuter;
  p.fixedPotential = fixedPotential;
  p.isFloating = isFloating;
  p.pointCount = pointCount;
  p.ratioLd = ratioLd;
  return p;
}

void SurfData::Draw(DrawSurface&) const {}

std::string SurfData::GetText() const { return ComposeText({}); }

std::string SurfData::ComposeText(const std::string& geometry) const {
  std::string s = material != 0 ? "Me; " : "De; ";
  s += text::Format("%d ; %d ;", innerRegion, outerRegion);
  if (material != 0)
    s += text::Format("    ; %2.1f ;", epsOuter);
  else
    s += text::Format("%2.1f ; %2.1f ;", epsInner, epsOuter);
  s += geometry;
  if (material == 1) {
    if (isFloating)
      s += "x ;";
    else if (isFixed)
      s += text::Format(" %2.3f ;", fixedPotential);
    else
      s += text::Format("~ ; %2.3f ; %2.3f ;", potentialFrom, potentialTo);
  }
  s += text::Format("%3i ; %2.4f ;", pointCount, ratioLd);
  return s;
}

double SurfData::FractionAt(double t) const {
  const double n = static_cast<double>(PointCount());
  if (!Graded()) return n + 1.0 > 0.0 ? t / (n + 1.0) : 0.0;
  if (t <= 0.0) return 0.0;
  if (t >= n + 1.0) return 1.0;
  const long long i = static_cast<long long>(std::floor(t));  // 0 .. n
  const double a = i == 0 ? 0.0 : CellMiddle(i);
  const double b = i == PointCount() ? 1.0 : CellMiddle(i + 1);
  return a + (t - static_cast<double>(i)) * (b - a);
}

void SurfData::MakeContourPoints(std::vector<ContourPoint>&) const {}
void SurfData::MakeCharges(std::vector<Charge>&, bool) const {}
void SurfData::GetCalcPoint(double&, double&, double&, double&, int, float) const {}
void SurfData::GetEnds(double&, double&, double&, double&) const {}
void SurfData::GetMaxCorner(double&, double&) const {}
bool SurfData::HitTest(double, double) const { return false; }

void SurfData::SetParams(const SurfParams& p) {
  material = p.material;
  innerRegion = p.innerRegion;
  outerRegion = p.outerRegion;
  epsInner = p.epsInner;
  epsOuter = p.epsOuter;
  fixedPotential = p.fixedPotential;
  isFloating = p.isFloating;
  pointCount = p.pointCount;
  ratioLd = p.ratioLd;
  if (material == 0) {
    isFloating = false;
    isFixed = false;
  }
}

void SurfData::SetFixedPotential(double value) {
  fixedPotential = value;
  potentialFrom = potentialTo = 0.0;
  isFixed = true;
  isFloating = false;
}

void SurfData::SetVariablePotential(double from, double to) {
  potentialFrom = from;
  potentialTo = to;
  fixedPotential = 0.0;
  isFixed = false;
  isFloating = false;
}

void SurfData::GetVariablePotential(double& from, double& to) const {
  from = potentialFrom;
  to = potentialTo;
}

bool SurfData::SetMarked(bool m) {
  const bool old = marked;
  marked = m;
  return old;
}

double SurfData::ContourPotential(int i, int n) const {
  if (material == 0) return 0.0;
  if (isFixed) return fixedPotential;
  if (n == 1) return potentialFrom;
  return potentialFrom + (potentialTo - potentialFrom) * (i - 1) / (n - 1);
}

long long SurfData::ChargeCount() const {
  const long long n = PointCount();
  return material != 0 ? n : 2 * n;
}

void SurfData::DrawMarker(DrawSurface& dc, int x, int y) const {
  // Far-off ends saturate at the int range (LogicalUnits); keep one unit
  // of room so that the marker's corners stay representable.
  x = std::clamp(x, INT_MIN + 1, INT_MAX - 1);
  y = std::clamp(y, INT_MIN + 1, INT_MAX - 1);
  dc.FillMarker(x - 1, y + 1, x + 1, y - 1);
}
