// Corner rounding: the arc is tangent to both pieces, no corner is left,
// what does not fit is refused, and a rounded rod end gives the field of
// the hemispherical end drawn directly.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/CornerRounding.h"
#include "engine/FieldCalc.h"
#include "engine/SingularPoints.h"
#include "model/Arch.h"
#include "model/Line.h"

namespace {

constexpr double kPi = std::numbers::pi;

SurfParams Conductor(int n = 10, double ld = 2.0) {
  SurfParams p;
  p.material = 1;
  p.innerRegion = 1;
  p.outerRegion = 2;
  p.epsOuter = 1.0;
  p.pointCount = n;
  p.ratioLd = ld;
  return p;
}

std::unique_ptr<SurfData> L(double x1, double y1, double x2, double y2, int n = 10, double v = 100.0) {
  auto e = std::make_unique<Line>(Conductor(n), x1, y1, x2, y2);
  e->SetFixedPotential(v);
  return e;
}

std::unique_ptr<SurfData> A(double xc, double yc, double r, double d1, double d2, int n = 10, double v = 100.0) {
  auto e = std::make_unique<Arch>(Conductor(n), xc, yc, r, d1 * kPi / 180, d2 * kPi / 180);
  e->SetFixedPotential(v);
  return e;
}

// Closed cylinder r <= R, 0 <= z <= H, travelling clockwise (body on the right).
CSurfColl Cylinder(double R, double H, int nTop = 10, int nSide = 20) {
  CSurfColl c;
  c.Append(L(0, H, R, H, nTop));
  c.Append(L(R, H, R, 0, nSide));
  c.Append(L(R, 0, 0, 0, nTop));
  return c;
}

struct End {
  double x, y, tx, ty;  // point and unit direction of travel
};

// The end of an element at its first (atEnd false) or last point.
End EndOf(const SurfData& e, bool atEnd) {
  if (auto* l = dynamic_cast<const Line*>(&e)) {
    return {atEnd ? l->x2 : l->x1, atEnd ? l->y2 : l->y1, std::cos(l->direction), std::sin(l->direction)};
  }
  auto* a = dynamic_cast<const Arch*>(&e);
  const double s = a->angle2 > a->angle1 ? 1 : -1;
  const double t = atEnd ? a->angle2 : a->angle1;
  return {a->xc + a->radius * std::cos(t), a->yc + a->radius * std::sin(t), -s * std::sin(t), s * std::cos(t)};
}
End Start(const SurfData& e) { return EndOf(e, false); }
End Finish(const SurfData& e) { return EndOf(e, true); }

// Every joint of consecutive elements is continuous and free of kinks
// (joints on the axis excepted: the axis is no surface).
void ExpectSmoothChain(const CSurfColl& c) {
  for (int k = 0; k + 1 < c.GetSize(); ++k) {
    const End f = Finish(*c.At(k)), s = Start(*c.At(k + 1));
    EXPECT_NEAR(f.x, s.x, 1e-12) << "joint " << k + 1;
    EXPECT_NEAR(f.y, s.y, 1e-12) << "joint " << k + 1;
    if (std::fabs(f.x) <= 1e-12) continue;
    EXPECT_NEAR(f.tx * s.ty - f.ty * s.tx, 0.0, 1e-12) << "kink at joint " << k + 1;
    EXPECT_GT(f.tx * s.tx + f.ty * s.ty, 0.0) << "joint " << k + 1;
  }
}

TEST(CornerRounding, BothEdgesOfAClosedCylinderLeaveATangentSmoothContour) {
  RoundCornerResult r1 = RoundCorner(Cylinder(5, 10), 0, 1, 1.0);
  ASSERT_TRUE(r1.Ok()) << r1.error;
  ASSERT_EQ(r1.system.GetSize(), 4);
  EXPECT_EQ(r1.arcIndex, 1);
  const auto* arc = dynamic_cast<const Arch*>(r1.system.At(1));
  ASSERT_NE(arc, nullptr);
  EXPECT_NEAR(arc->xc, 4.0, 1e-12);
  EXPECT_NEAR(arc->yc, 9.0, 1e-12);
  EXPECT_DOUBLE_EQ(arc->radius, 1.0);
  EXPECT_LT(arc->angle2, arc->angle1);  // clockwise: the charges stay inside the body
  EXPECT_NEAR(arc->angle1 - arc->angle2, kPi / 2, 1e-12);
  EXPECT_EQ(arc->innerRegion, 1);
  EXPECT_TRUE(arc->isFixed);
  EXPECT_DOUBLE_EQ(arc->fixedPotential, 100.0);
  EXPECT_DOUBLE_EQ(arc->ratioLd, 2.0);
  // Points spread by length: the top keeps its density on 4 of 5 cm.
  EXPECT_EQ(r1.system.At(0)->pointCount, 8);
  EXPECT_EQ(r1.system.At(2)->pointCount, 18);
  EXPECT_GE(arc->pointCount, 3);

  // The second edge, numbered as in the original file: generatrices 2 and 3.
  const int i = r1.indexMap[1], j = r1.indexMap[2];
  EXPECT_EQ(i, 2);
  EXPECT_EQ(j, 3);
  RoundCornerResult r2 = RoundCorner(r1.system, i, j, 1.0);
  ASSERT_TRUE(r2.Ok()) << r2.error;
  ASSERT_EQ(r2.system.GetSize(), 5);
  ExpectSmoothChain(r2.system);
  EXPECT_EQ(r2.system.At(4)->GetKind(), SurfData::kLine);
  EXPECT_NEAR(dynamic_cast<const Line*>(r2.system.At(4))->x1, 4.0, 1e-12);

  // The sharp cylinder has its two infinite edges; rounded, none is left.
  auto infinite = [](const CSurfColl& c) {
    int n = 0;
    for (const SingularPoint& p : FindSingularPoints(c)) n += p.infinite;
    return n;
  };
  EXPECT_EQ(infinite(Cylinder(5, 10)), 2);
  EXPECT_EQ(infinite(r1.system), 1);
  EXPECT_EQ(infinite(r2.system), 0);
}

TEST(CornerRounding, LineArcAndArcArcCornersGetATangentArc) {
  // A quarter sphere meeting a horizontal line at a right angle.
  CSurfColl la;
  la.Append(A(0, 0, 5, 90, 0));
  la.Append(L(5, 0, 9, 0));
  RoundCornerResult r = RoundCorner(la, 1, 0, 0.5);
  ASSERT_TRUE(r.Ok()) << r.error;
  ASSERT_EQ(r.arcIndex, 1);
  const auto* f = dynamic_cast<const Arch*>(r.system.At(1));
  EXPECT_NEAR(std::hypot(f->xc, f->yc), 5.0 + 0.5, 1e-12);  // tangent to the sphere from outside
  EXPECT_NEAR(f->yc, 0.5, 1e-12);                           // and to the line
  ExpectSmoothChain(r.system);

  // Two arcs meeting at a cusp-free corner: circles about (0,0) and (8,0).
  CSurfColl aa;
  aa.Append(A(0, 0, 5, 90, 36.869897645844));  // ends at (4, 3)
  aa.Append(A(8, 0, 5, 143.130102354156, 0));  // starts at (4, 3)
  RoundCornerResult q = RoundCorner(aa, 0, 1, 0.4);
  ASSERT_TRUE(q.Ok()) << q.error;
  const auto* g = dynamic_cast<const Arch*>(q.system.At(1));
  EXPECT_NEAR(std::hypot(g->xc, g->yc), 5.4, 1e-9);
  EXPECT_NEAR(std::hypot(g->xc - 8, g->yc), 5.4, 1e-9);
  ExpectSmoothChain(q.system);
}

TEST(CornerRounding, ARadiusThatDoesNotFitAndBadPairsAreRefusedWithAMessage) {
  const CSurfColl cyl = Cylinder(5, 10);
  RoundCornerResult big = RoundCorner(cyl, 0, 1, 6.0);
  EXPECT_FALSE(big.Ok());
  EXPECT_NE(big.error.find("не помещается"), std::string::npos) << big.error;
  EXPECT_EQ(big.system.GetSize(), 0);

  EXPECT_NE(RoundCorner(cyl, 0, 2, 1.0).error.find("нет общего конца"), std::string::npos);
  EXPECT_FALSE(RoundCorner(cyl, 0, 0, 1.0).Ok());
  EXPECT_FALSE(RoundCorner(cyl, 0, 7, 1.0).Ok());
  EXPECT_FALSE(RoundCorner(cyl, 0, 1, -1.0).Ok());
  EXPECT_FALSE(RoundCorner(cyl, 0, 1, std::nan("")).Ok());

  CSurfColl straight;
  straight.Append(L(0, 0, 1, 0));
  straight.Append(L(1, 0, 2, 0));
  EXPECT_NE(RoundCorner(straight, 0, 1, 0.1).error.find("без излома"), std::string::npos);

  CSurfColl twoPotentials;
  twoPotentials.Append(L(0, 1, 1, 1, 10, 10.0));
  twoPotentials.Append(L(1, 1, 1, 0, 10, 20.0));
  EXPECT_NE(RoundCorner(twoPotentials, 0, 1, 0.1).error.find("потенциал"), std::string::npos);
}

// Field 2 mm ahead of the tip of a rod of radius 1 cm, 10 cm long, at
// 100 kV in free space. At the pole itself (an arc end, no contour point)
// the method's own error is ~1e-3; 2 mm off it the field converges to 1e-5
// (24 and 48 points on the tip: 6e-6 apart).
double TipField(const CSurfColl& system) {
  FieldCalc calc;
  for (const auto& e : system) calc.AddGeneratrix(e->Clone());
  CalcParameters p = calc.Parameters();
  p.Precise = true;
  calc.SetParameters(p);
  calc.Place();
  calc.FillMatrix();
  calc.SolveCharges();
  EXPECT_EQ(calc.ErrorCode(), 0);
  double phi = 0, ex = 0, ey = 0;
  calc.FieldAt(2, 0.0, 10.2, &phi, &ex, &ey);
  return std::hypot(ex, ey);
}

TEST(CornerRounding, RoundedRodEndGivesTheFieldOfTheHemisphericalEndDrawnDirectly) {
  CSurfColl rod;
  rod.Append(L(0, 10, 1, 10, 10));
  rod.Append(L(1, 10, 1, 0, 100));
  rod.Append(L(1, 0, 0, 0, 10));
  RoundCornerResult r = RoundCorner(rod, 0, 1, 1.0);
  ASSERT_TRUE(r.Ok()) << r.error;
  // The top is used up: the arc runs from the axis down to the side.
  ASSERT_EQ(r.system.GetSize(), 3);
  EXPECT_EQ(r.indexMap[0], -1);
  const auto* arc = dynamic_cast<const Arch*>(r.system.At(0));
  ASSERT_NE(arc, nullptr);
  EXPECT_NEAR(arc->xc, 0.0, 1e-12);
  EXPECT_NEAR(arc->yc, 9.0, 1e-12);
  EXPECT_NEAR(arc->angle1, kPi / 2, 1e-12);
  EXPECT_NEAR(arc->angle2, 0.0, 1e-12);

  CSurfColl direct;
  direct.Append(A(0, 9, 1, 90, 0, 24));
  direct.Append(L(1, 9, 1, 0, 90));
  direct.Append(L(1, 0, 0, 0, 10));
  const double rounded = TipField(r.system), drawn = TipField(direct);
  EXPECT_GT(drawn, 50.0);
  EXPECT_NEAR(rounded / drawn, 1.0, 1e-4) << rounded << " " << drawn;
}

TEST(CornerRounding, FindCornerPicksTheSharedEndNearestThePointer) {
  const CSurfColl cyl = Cylinder(5, 10);
  int i = -1, j = -1;
  ASSERT_TRUE(FindCorner(cyl, 4.8, 0.3, 1.0, i, j));
  EXPECT_EQ(i, 1);
  EXPECT_EQ(j, 2);
  EXPECT_FALSE(FindCorner(cyl, 2.5, 5.0, 1.0, i, j));
}

}  // namespace

namespace {

TEST(CornerRounding, RepeatedRoundingsNameGeneratricesByTheirNumbersInTheFile) {
  CSurfColl cyl = Cylinder(5, 10);
  ASSERT_EQ(RoundCorners(cyl, {{1, 2, 1.0}, {2, 3, 1.0}}), "");
  ASSERT_EQ(cyl.GetSize(), 5);
  EXPECT_EQ(cyl.At(1)->GetKind(), SurfData::kArch);
  EXPECT_EQ(cyl.At(3)->GetKind(), SurfData::kArch);

  CSurfColl rod = Cylinder(1, 10);
  const std::string used = RoundCorners(rod, {{1, 2, 1.0}, {1, 2, 0.5}});
  EXPECT_NE(used.find("ушла"), std::string::npos) << used;
  EXPECT_EQ(rod.GetSize(), 3);  // left as it was
  EXPECT_EQ(rod.At(0)->GetKind(), SurfData::kLine);
  EXPECT_NE(RoundCorners(rod, {{1, 4, 1.0}}).find("3 образующих"), std::string::npos);
}

}  // namespace

namespace {

// Largest surface field of a system scaled to `density` contour points per cm.
double LargestField(const CSurfColl& system, double density) {
  FieldCalc calc;
  for (const auto& e : system) {
    auto c = e->Clone();
    double x1, y1, x2, y2;
    c->GetEnds(x1, y1, x2, y2);
    double length = std::hypot(x2 - x1, y2 - y1);
    if (auto* a = dynamic_cast<Arch*>(c.get())) length = std::fabs(a->angle2 - a->angle1) * a->radius;
    SurfParams prm = c->Params();
    prm.pointCount = std::max(4, static_cast<int>(std::lround(density * length)));
    if (auto* l = dynamic_cast<Line*>(c.get()))
      l->SetAll(prm, l->x1, l->y1, l->x2, l->y2);  // a line's step follows its count
    else
      c->pointCount = prm.pointCount;
    calc.AddGeneratrix(std::move(c));
  }
  CalcParameters p = calc.Parameters();
  p.Precise = true;
  calc.SetParameters(p);
  calc.Place();
  calc.FillMatrix();
  calc.SolveCharges();
  EXPECT_EQ(calc.ErrorCode(), 0);
  double worst = 0;
  for (int k = 0; k < calc.Generatrices().GetSize(); ++k) worst = std::max(worst, calc.MaxSurfaceField(k, 3));
  return worst;
}

TEST(CornerRounding, TheLargestFieldOfARoundedCylinderConvergesWhereTheSharpOneGrowsWithoutBound) {
  CSurfColl rounded = Cylinder(5, 10);
  ASSERT_EQ(RoundCorners(rounded, {{1, 2, 1.0}, {2, 3, 1.0}}), "");
  const double r1 = LargestField(rounded, 4), r2 = LargestField(rounded, 8);
  const double s1 = LargestField(Cylinder(5, 10), 4), s2 = LargestField(Cylinder(5, 10), 8);
  EXPECT_NEAR(r2 / r1, 1.0, 2e-3);
  EXPECT_GT(s2 / s1, 1.05);  // the sharp edge's field keeps growing with refinement
}

}  // namespace
