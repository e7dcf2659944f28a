// The ring-charge formula, its guards, and the region and earth rules.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/FieldCalc.h"
#include "TestSystems.h"
#include "engine/RingField.h"

namespace {

TEST(RingField, PointChargeLimitAndAxis) {
  // A ring of radius 0 is a point charge on the axis.
  const double eps = kEps0, Q = 1e-9;
  double phi, er, ez;
  RingField(true, true, eps, Q, 0.0, 3.0, 4.0, phi, er, ez);
  const double d = 5.0;
  EXPECT_NEAR(phi / (Q / (4 * kPi * eps * d)), 1.0, 1e-7);
  EXPECT_NEAR(er / (Q * 3.0 / (4 * kPi * eps * d * d * d)), 1.0, 1e-6);
  EXPECT_NEAR(ez / (Q * 4.0 / (4 * kPi * eps * d * d * d)), 1.0, 1e-6);

  // On the axis the radial field vanishes; flags switch parts off.
  RingField(true, true, eps, Q, 2.0, 0.0, 1.0, phi, er, ez);
  EXPECT_EQ(er, 0.0);
  EXPECT_GT(ez, 0.0);
  RingField(false, false, eps, Q, 2.0, 1.0, 1.0, phi, er, ez);
  EXPECT_EQ(phi, 0.0);
  EXPECT_EQ(er, 0.0);
  EXPECT_EQ(ez, 0.0);
}

TEST(RingField, SingularPlacesStayFinite) {
  double phi, er, ez;
  for (auto [R, r, dz] : {std::tuple{2.0, 2.0, 0.0}, {2.0, 2.0000001, 0.0}, {0.0, 0.0, 0.0},
                          {0.0, 0.0, 1.0}, {1.0, 0.0, 0.0}}) {
    RingField(true, true, kEps0, 1.0, R, r, dz, phi, er, ez);
    EXPECT_TRUE(std::isfinite(phi) && std::isfinite(er) && std::isfinite(ez)) << R << " " << r << " " << dz;
  }
}

TEST(RingField, FieldIsMinusGradientOfPotential) {
  // The approximations of K and E are not exact derivatives of each other,
  // so agreement is to the approximation's accuracy.
  const double R = 3.0, r = 2.0, z = 1.5, h = 1e-5;
  double p1, p2, p3, p4, er, ez, dummy;
  RingField(true, true, kEps0, 1.0, R, r, z, dummy, er, ez);
  RingField(true, false, kEps0, 1.0, R, r + h, z, p1, dummy, dummy);
  RingField(true, false, kEps0, 1.0, R, r - h, z, p2, dummy, dummy);
  RingField(true, false, kEps0, 1.0, R, r, z + h, p3, dummy, dummy);
  RingField(true, false, kEps0, 1.0, R, r, z - h, p4, dummy, dummy);
  EXPECT_NEAR(er, -(p1 - p2) / (2 * h), 2e-4 * std::fabs(er) + 1e-3 * std::fabs(ez));
  EXPECT_NEAR(ez, -(p3 - p4) / (2 * h), 2e-4 * std::fabs(ez) + 1e-3 * std::fabs(er));
}

TEST(RingField, CoefficientsFollowTheRegionRules) {
  ContourPoint cond(1, 1, 1, /*region*/ 1, /*other*/ 2, 0.0, 2.0, 0.0, 5.0, false);
  Charge inside(0.5, 1, 1, 1, 2, false, 1.0), outside(3, 1, 1, 2, 1, false, 1.0),
      elsewhere(3, 1, 0, 7, 8, false, 1.0);
  double pot, er, ez;
  RingField(true, false, 2.0 * kEps0, 1.0, 0.5, 1, 0, pot, er, ez);
  EXPECT_DOUBLE_EQ(PotentialCoefficient(inside, cond), pot);
  EXPECT_EQ(PotentialCoefficient(outside, cond), 0.0);
  EXPECT_NE(PotentialCoefficient(elsewhere, cond), 0.0);

  // Dielectric with equal ids on both sides: the outer-region branch wins.
  ContourPoint same(1, 1, 0, 3, 3, 4.0, 1.0, 0.0, 0.0, false);
  Charge in3(0.5, 1, 0, 3, 3, false, 1.0);
  double p4;
  RingField(true, false, 4.0 * kEps0, 1.0, 0.5, 1, 0, p4, er, ez);
  EXPECT_DOUBLE_EQ(PotentialCoefficient(in3, same), p4);

  // The row kernel gives the single coefficients within its bound (the
  // normal coefficient of a charge lying elsewhere is a difference of two
  // equal fields, so it is measured against the size of one of them).
  ContourPoint diel(1, 1, 0, 1, 2, 4.0, 1.0, 0.3, 0.0, false);
  const Charge qs[] = {inside, outside, elsewhere, Charge(0.7, -2, 0, 1, 2, true, 1.0)};
  double rowP[4], rowN[4];
  CoefficientRow(diel, qs, 4, rowP, rowN);
  for (int j = 0; j < 4; ++j) {
    const double p = PotentialCoefficient(qs[j], diel), n = NormalFieldCoefficient(qs[j], diel);
    EXPECT_NEAR(rowP[j], p, 1e-12 * std::fabs(p));
    EXPECT_NEAR(rowN[j], n, 1e-12 * std::fabs(NormalFieldCoefficient(qs[j], ContourPoint(1, 1, 0, 1, 5, 4.0, 1.0, 0.3, 0.0, false))));
  }
  CoefficientRow(cond, qs, 4, rowP, nullptr);
  for (int j = 0; j < 4; ++j) EXPECT_NEAR(rowP[j], PotentialCoefficient(qs[j], cond), 1e-12 * std::fabs(rowP[j]));
}

TEST(RingField, EarthImageCancelsOnTheGround) {
  Charge q(2, 3, 1, 1, 2, true, 1e-9);
  double acc = 0;
  AddPotential(q, 2, 5, 0.0, &acc, 1.0);
  EXPECT_NEAR(acc, 0.0, 1e-12);
  AddPotential(q, 1, 5, 1.0, &acc, 1.0);  // own region: nothing
  EXPECT_NEAR(acc, 0.0, 1e-12);
}

TEST(FieldAt, FiniteAtTheChargesThemselves) {
  FieldCalc calc;
  testsys::Load(calc, testsys::Sphere(10, 100, 20, 1.0));
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  std::vector<std::pair<double, double>> at = {{0.0, 0.0}, {0.0, 10.0}};
  for (const Charge& q : calc.Charges()) at.emplace_back(q.x, q.y);
  for (auto [x, y] : at) {
    double phi, ex, ey;
    calc.FieldAt(2, x, y, &phi, &ex, &ey);
    EXPECT_TRUE(std::isfinite(phi) && std::isfinite(ex) && std::isfinite(ey)) << x << "," << y;
  }
}

TEST(FieldAt, RegionPermittivityAndEmptyRegions) {
  FieldCalc calc;
  testsys::Load(calc,
                "De; 1 ; 2 ;4.0 ; 1.5 ;\t\tl; 1.000 ; 0.000 ; 1.000 ; 2.000 ; 1 ; 1.0000 ;\n"
                "De; 2 ; 3 ;1.6 ; 2.5 ;\t\tl; 2.000 ; 0.000 ; 2.000 ; 2.000 ; 1 ; 1.0000 ;\n");
  testsys::With(calc, [&](CalcParameters& p) { p.ExternalField = 2.0; });
  double phi = 1, ex = 1, ey = 1;
  calc.FieldAt(1, 1, 1, &phi, &ex, &ey);
  EXPECT_EQ(phi, 0.0);
  EXPECT_EQ(ey, 0.0);  // nothing placed, no region known: not even the external field

  calc.Place();
  ASSERT_EQ(calc.ErrorCode(), FieldCalc::kNoError);
  EXPECT_EQ(calc.RegionPermittivity(1), 4.0);
  EXPECT_EQ(calc.RegionPermittivity(2), 1.5);  // first point, as outer
  EXPECT_EQ(calc.RegionPermittivity(3), 2.5);
  EXPECT_EQ(calc.RegionPermittivity(9), 0.0);
}

}  // namespace
