// Generatrix geometry: directions, discretisation into contour points and
// charges, evaluation points, hit testing and drawing.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "model/Arch.h"
#include "model/DrawSurface.h"
#include "model/Line.h"

namespace {

constexpr double kPi = std::numbers::pi;

SurfParams Params(int material, int n, double ld) {
  SurfParams p;
  p.material = material;
  p.innerRegion = 1;
  p.outerRegion = 2;
  p.epsInner = material == 0 ? 4.0 : 0.0;
  p.epsOuter = 1.0;
  p.pointCount = n;
  p.ratioLd = ld;
  return p;
}

TEST(LineGeometry, DirectionNormalAndZeroLength) {
  Line back(Params(1, 1, 1), 1, 0, 0, 0);
  EXPECT_DOUBLE_EQ(back.direction, kPi);
  EXPECT_DOUBLE_EQ(back.normal, kPi / 2);
  Line up(Params(1, 1, 1), 0, 0, 0, 2);
  EXPECT_DOUBLE_EQ(up.direction, kPi / 2);
  Line down(Params(1, 1, 1), 0, 2, 0, 0);
  EXPECT_DOUBLE_EQ(down.direction, -kPi / 2);

  // A zero-length line holds direction 0 and produces finite points.
  Line dot(Params(0, 3, 1), 2, 2, 2, 2);
  EXPECT_EQ(dot.direction, 0.0);
  std::vector<ContourPoint> pts;
  std::vector<Charge> qs;
  dot.MakeContourPoints(pts);
  dot.MakeCharges(qs, false);
  ASSERT_EQ(pts.size(), 3u);
  ASSERT_EQ(qs.size(), 6u);
  for (const auto& p : pts) EXPECT_TRUE(std::isfinite(p.x) && std::isfinite(p.normalAngle));
  for (const auto& q : qs) EXPECT_TRUE(std::isfinite(q.x) && std::isfinite(q.y));
}

TEST(Discretisation, ConductorAndDielectricLine) {
  Line cond(Params(1, 4, 1.0), 0, 0, 0, 10);
  cond.SetFixedPotential(3.0);
  std::vector<ContourPoint> pts;
  std::vector<Charge> qs;
  cond.MakeContourPoints(pts);
  cond.MakeCharges(qs, true);
  ASSERT_EQ(pts.size(), 4u);
  ASSERT_EQ(qs.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(pts[i].x, 0.0, 1e-12);
    EXPECT_NEAR(pts[i].y, 2.0 * (i + 1), 1e-12);
    EXPECT_EQ(pts[i].potential, 3.0);
    EXPECT_NEAR(qs[i].x, 2.0, 1e-12);  // right of the upward direction
    EXPECT_NEAR(qs[i].y, 2.0 * (i + 1), 1e-12);
    EXPECT_TRUE(qs[i].earthImage);
    EXPECT_EQ(qs[i].q, 1.0);
    EXPECT_EQ(qs[i].region, 1);
  }

  Line diel(Params(0, 4, 1.0), 0, 0, 0, 10);
  qs.clear();
  diel.MakeCharges(qs, false);
  ASSERT_EQ(qs.size(), 8u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(qs[2 * i].x, 2.0, 1e-12);
    EXPECT_NEAR(qs[2 * i + 1].x, -2.0, 1e-12);
    EXPECT_EQ(qs[2 * i].region, 1);
    EXPECT_EQ(qs[2 * i + 1].region, 2);
    EXPECT_EQ(qs[2 * i + 1].otherRegion, 1);
  }
}

TEST(Discretisation, VariablePotentialAndEmptyCounts) {
  Line v(Params(1, 5, 1.0), 1, 0, 1, 6);
  v.SetVariablePotential(0, 10);
  std::vector<ContourPoint> pts;
  v.MakeContourPoints(pts);
  ASSERT_EQ(pts.size(), 5u);
  const double expected[] = {0, 2.5, 5, 7.5, 10};
  for (int i = 0; i < 5; ++i) EXPECT_DOUBLE_EQ(pts[i].potential, expected[i]);

  for (int n : {0, -3}) {
    Line l(Params(0, n, 1.0), 0, 0, 1, 1);
    Arch a(Params(1, n, 1.0), 0, 0, 1, 0, 1);
    std::vector<ContourPoint> p;
    std::vector<Charge> q;
    l.MakeContourPoints(p);
    l.MakeCharges(q, false);
    a.MakeContourPoints(p);
    a.MakeCharges(q, false);
    EXPECT_TRUE(p.empty());
    EXPECT_TRUE(q.empty());
    EXPECT_EQ(l.ChargeCount(), 0);
    EXPECT_TRUE(std::isfinite(l.step));
  }
}

TEST(Discretisation, ClockwiseArcPutsChargesInside) {
  Arch a(Params(1, 1, 0.5), 0, 0, 5, kPi / 2, -kPi / 2);
  std::vector<ContourPoint> pts;
  std::vector<Charge> qs;
  a.MakeContourPoints(pts);
  a.MakeCharges(qs, false);
  ASSERT_EQ(pts.size(), 1u);
  EXPECT_NEAR(pts[0].x, 5.0, 1e-12);
  EXPECT_NEAR(pts[0].y, 0.0, 1e-12);
  EXPECT_NEAR(pts[0].normalAngle, 0.0, 1e-15);
  EXPECT_NEAR(qs[0].x, 5 - 0.5 * 5 * kPi / 2, 1e-12);

  Arch ccw(Params(0, 1, 0.5), 0, 0, 5, -kPi / 2, kPi / 2);
  qs.clear();
  ccw.MakeCharges(qs, false);
  ASSERT_EQ(qs.size(), 2u);
  EXPECT_GT(qs[0].x, 5.0);  // counterclockwise: inner side is outside the circle
  EXPECT_LT(qs[1].x, 5.0);
}

TEST(EvaluationPoints, EndsAndSpacing) {
  Line l(Params(1, 3, 1), 0, 0, 14, 0);
  double x, y, nx, ny;
  l.GetCalcPoint(x, y, nx, ny, 0, 2.0f);
  EXPECT_NEAR(x, 0, 1e-12);
  for (int j = 1; j <= 7; ++j) {
    l.GetCalcPoint(x, y, nx, ny, j, 2.0f);
    EXPECT_NEAR(x, 2.0 * j, 1e-12);
  }
  // The normal points to the left of the direction of travel.
  EXPECT_NEAR(nx, 0.0, 1e-12);
  EXPECT_NEAR(ny, 1.0, 1e-12);

  Arch a(Params(1, 4, 1), 1, 1, 2, kPi / 2, -kPi / 2);
  a.GetCalcPoint(x, y, nx, ny, 0, 1.0f);
  EXPECT_NEAR(x, 1, 1e-12);
  EXPECT_NEAR(y, 3, 1e-12);
  a.GetCalcPoint(x, y, nx, ny, 5, 1.0f);
  EXPECT_NEAR(x, 1, 1e-12);
  EXPECT_NEAR(y, -1, 1e-12);
  EXPECT_NEAR(std::atan2(ny, nx) * 180 / kPi, -90.0, 1e-9);
}

TEST(ElementParams, ConstructionAndPotentialKinds) {
  SurfParams p = Params(0, 1, 1);
  p.isFloating = true;
  Line d(p, 0, 0, 1, 1);
  EXPECT_FALSE(d.isFloating);

  SurfParams c = Params(1, 1, 1);
  c.isFloating = true;
  Arch a(c, 0, 0, 2, kPi / 2, -kPi / 2);
  EXPECT_TRUE(a.isFloating);
  a.SetFixedPotential(5);
  EXPECT_TRUE(a.isFixed);
  EXPECT_FALSE(a.isFloating);
  a.SetVariablePotential(1, 2);
  EXPECT_FALSE(a.isFixed);
  EXPECT_EQ(a.fixedPotential, 0.0);

  double mx, my;
  a.GetMaxCorner(mx, my);
  EXPECT_DOUBLE_EQ(mx, 2);
  EXPECT_DOUBLE_EQ(my, 2);
  EXPECT_FALSE(a.SetMarked(true));
  EXPECT_TRUE(a.SetMarked(false));
}

TEST(HitTest, LinesAndArcs) {
  Line vertical(Params(1, 1, 1), 5, 0, 5, 10);
  EXPECT_TRUE(vertical.HitTest(7, 5));
  EXPECT_FALSE(vertical.HitTest(7.5, 5));
  EXPECT_FALSE(vertical.HitTest(5, 11));
  Line horizontal(Params(1, 1, 1), 0, 2, 10, 2);
  EXPECT_FALSE(horizontal.HitTest(5, 3.5));
  EXPECT_TRUE(horizontal.HitTest(10, 2.5));
  Arch a(Params(1, 1, 1), 0, 0, 10, kPi / 2, -kPi / 2);
  EXPECT_TRUE(a.HitTest(10, 0));
  EXPECT_TRUE(a.HitTest(0, -10));  // bound included, reached as phi - 2pi
  EXPECT_FALSE(a.HitTest(-10, 0));
  EXPECT_FALSE(a.HitTest(0, 0));
}

struct Recorder : DrawSurface {
  std::vector<std::string> calls;
  void MoveTo(int x, int y) override { calls.push_back("move " + std::to_string(x) + "," + std::to_string(y)); }
  void LineTo(int x, int y) override { calls.push_back("line " + std::to_string(x) + "," + std::to_string(y)); }
  void Ellipse(int, int, int, int) override { calls.push_back("ellipse"); }
  void Arc(int l, int t, int r, int b, double, double sweep) override {
    calls.push_back("arc " + std::to_string(l) + "," + std::to_string(t) + "," + std::to_string(r) +
                    "," + std::to_string(b) + (sweep < 0 ? " cw" : " ccw"));
  }
  void FillMarker(int, int, int, int) override { calls.push_back("marker"); }
  void SetPixel(int x, int y) override { calls.push_back("pixel " + std::to_string(x) + "," + std::to_string(y)); }
};

TEST(Drawing, LogicalUnitsAndFullCircles) {
  Recorder r;
  Line l(Params(1, 1, 1), 0.05, 1.29, 2, 3);
  l.marked = true;
  l.Draw(r);
  EXPECT_EQ(r.calls, (std::vector<std::string>{"move 0,12", "line 20,30", "marker", "marker"}));

  r.calls.clear();
  Arch half(Params(1, 1, 1), 0, 0, 5, kPi / 2, -kPi / 2);
  half.Draw(r);
  EXPECT_EQ(r.calls.front(), "arc -50,50,50,-50 cw");

  r.calls.clear();
  Arch nearlyFull(Params(1, 1, 1), 0, 0, 5, 0, 2 * kPi);
  nearlyFull.Draw(r);
  EXPECT_EQ(r.calls.front(), "ellipse");

  r.calls.clear();
  Charge q(1.95, 2.5, 1, 1, 2, false, 1.0);
  q.Draw(r);
  EXPECT_EQ(r.calls.front(), "pixel 19,25");
}

}  // namespace
