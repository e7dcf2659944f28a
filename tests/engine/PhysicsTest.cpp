// Solved systems against analytic answers: a conductor sphere, the earth
// image, a floating conductor and a dielectric sphere in a uniform field.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "engine/FieldCalc.h"
#include "TestSystems.h"

namespace {

constexpr double kRadius = 5.0;

TEST(Physics, ConductorSphereAtFixedPotential) {
  const double U = 10.0;
  FieldCalc calc;
  testsys::Load(calc, testsys::Sphere(0.0, U, 40, 1.0));
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  ASSERT_TRUE(calc.HasSolution());
  double phi, ex, ey;
  for (const ContourPoint& p : calc.Points()) {
    calc.FieldAt(2, p.x, p.y, &phi, &ex, &ey);
    EXPECT_NEAR(phi, U, 1e-9 * U);
  }
  // Halfway between neighbouring contour points.
  const double delta = std::numbers::pi / 41;
  for (int i = 1; i < 40; i += 3) {
    const double th = std::numbers::pi / 2 - (i + 0.5) * delta;
    calc.FieldAt(2, kRadius * std::cos(th), kRadius * std::sin(th), &phi, &ex, &ey);
    EXPECT_NEAR(phi, U, 1e-3 * U) << i;
  }
  // Just outside: |E| -> U / R, radial. Further out: U R / r.
  const double th = 0.4;
  const double r = kRadius * 1.001;
  calc.FieldAt(2, r * std::cos(th), r * std::sin(th), &phi, &ex, &ey);
  EXPECT_NEAR(std::hypot(ex, ey), U / kRadius, 5e-3 * U / kRadius);
  EXPECT_NEAR(std::atan2(ey, ex), th, 3e-3);
  calc.FieldAt(2, 12.0, 5.0, &phi, &ex, &ey);
  EXPECT_NEAR(phi, U * kRadius / 13.0, 1e-4 * U);
  // Inside the conductor (its own region has no permittivity): zeros.
  calc.FieldAt(1, 1.0, 1.0, &phi, &ex, &ey);
  EXPECT_EQ(phi, 0.0);
}

TEST(Physics, EarthPlaneIsAtZeroPotential) {
  FieldCalc calc;
  testsys::Load(calc, testsys::Sphere(8.0, 20.0, 40, 1.0));
  testsys::With(calc, [&](CalcParameters& p) { p.UseEarth = true; });
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  double phi, ex, ey;
  for (double x : {0.0, 3.0, 10.0, 40.0}) {
    calc.FieldAt(2, x, 0.0, &phi, &ex, &ey);
    EXPECT_NEAR(phi, 0.0, 1e-12) << x;
    EXPECT_NEAR(ex, 0.0, 1e-9) << x;  // the field meets the ground at right angles
  }
  for (const ContourPoint& p : calc.Points()) {
    calc.FieldAt(2, p.x, p.y, &phi, &ex, &ey);
    EXPECT_NEAR(phi, 20.0, 1e-8);
  }
}

TEST(Physics, FloatingSphereInAnExternalField) {
  // A floating conductor made of two quarter circles, in a uniform field.
  FieldCalc calc;
  testsys::Load(calc,
                "Me; 3 ; 2 ;    ; 1.0 ;\t\tc; 0 ; 0 ; 5 ; 90 ; 0 ; x ; 20 ; 1.5 ;\n"
                "Me; 3 ; 2 ;    ; 1.0 ;\t\tc; 0 ; 0 ; 5 ; 0 ; -90 ; x ; 20 ; 1.5 ;\n");
  testsys::With(calc, [&](CalcParameters& p) { p.ExternalField = 1.0; });
  ASSERT_EQ(calc.TotalFloating(), 1);
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  const double v = calc.Points().front().potential;
  double total = 0.0, scale = 0.0;
  for (const Charge& q : calc.Charges()) {
    total += q.q;
    scale += std::fabs(q.q);
  }
  EXPECT_NEAR(total, 0.0, 1e-10 * scale);
  double phi, ex, ey;
  for (const ContourPoint& p : calc.Points()) {
    EXPECT_EQ(p.potential, v);
    calc.FieldAt(2, p.x, p.y, &phi, &ex, &ey);
    EXPECT_NEAR(phi, v, 1e-8);
  }
  // By symmetry the sphere at the origin floats at 0; outside, the potential
  // is -E0 y (1 - R^3/r^3), and at the pole the field is three times E0.
  EXPECT_NEAR(v, 0.0, 1e-6);
  calc.FieldAt(2, 6.0, 6.0, &phi, &ex, &ey);
  EXPECT_NEAR(phi, -6.0 * (1 - std::pow(kRadius, 3) / std::pow(72.0, 1.5)), 1e-4);
  calc.FieldAt(2, 0.0, kRadius * 1.0005, &phi, &ex, &ey);
  EXPECT_NEAR(ey, 3.0, 0.03);
}

// A sphere at a fixed potential away from the origin: the external field's
// potential -E0*y is zero only at y = 0, so the charges must make up
// V + E0*c at the centre's height c. Outside:
// phi = -E0 y + E0 R^3 (y - c)/r^3 + (V + E0 c) R/r, r from the centre.
TEST(Physics, FixedSphereAboveTheOriginInAnExternalField) {
  const double E0 = 2.0, V = 10.0, c = 20.0, R = 5.0;
  FieldCalc calc;
  testsys::Load(calc, "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0 ; 20 ; 5 ; 90 ; -90 ; 10 ; 60 ; 2 ;\n");
  testsys::With(calc, [&](CalcParameters& p) { p.ExternalField = E0; });
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  // The sign convention itself: the field is minus the potential's slope.
  EXPECT_EQ(external_field::Potential(E0, 1.0) - external_field::Potential(E0, 0.0), -external_field::FieldY(E0));
  for (const auto& [x, y] : {std::pair{6.0, 26.0}, std::pair{0.0, 12.0}, std::pair{8.0, 20.0}}) {
    const double r = std::hypot(x, y - c);
    const double want = -E0 * y + E0 * R * R * R * (y - c) / (r * r * r) + (V + E0 * c) * R / r;
    double phi, ex, ey;
    calc.FieldAt(2, x, y, &phi, &ex, &ey);
    EXPECT_NEAR(phi, want, 1e-4 * (V + E0 * c)) << x << ", " << y;
  }
  // At the lower pole the outward normal is -y: E_r = -3 E0 + (V + E0 c)/R,
  // so Ey = 3 E0 - (V + E0 c)/R (-4 kV/cm here: the charge wins).
  double phi, ex, ey;
  calc.FieldAt(2, 0.0, c - R * 1.0005, &phi, &ex, &ey);
  EXPECT_NEAR(ey, 3 * E0 - (V + E0 * c) / R, 0.05);
}

TEST(Physics, DielectricSphereInAnExternalField) {
  const double epsIn = 4.0, E0 = 1.0;
  FieldCalc calc;
  testsys::Load(calc, "De; 1 ; 2 ; 4.0 ; 1.0 ;\t\tc; 0 ; 0 ; 5 ; 90 ; -90 ; 40 ; 1.5 ;\n");
  testsys::With(calc, [&](CalcParameters& p) { p.ExternalField = E0; });
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  double pin, exi, eyi, pout, exo, eyo;
  for (const ContourPoint& p : calc.Points()) {
    calc.FieldAt(1, p.x, p.y, &pin, &exi, &eyi);
    calc.FieldAt(2, p.x, p.y, &pout, &exo, &eyo);
    EXPECT_NEAR(pin, pout, 1e-9);
    const double nx = std::cos(p.normalAngle), ny = std::sin(p.normalAngle);
    EXPECT_NEAR(epsIn * (exi * nx + eyi * ny), 1.0 * (exo * nx + eyo * ny), 1e-9);
  }
  // Inside, the field is uniform: 3 E0 / (eps + 2).
  calc.FieldAt(1, 1.0, 0.5, &pin, &exi, &eyi);
  EXPECT_NEAR(eyi, 3 * E0 / (epsIn + 2), 1e-3);
  EXPECT_NEAR(exi, 0.0, 1e-3);
}

TEST(Physics, SingularSystemIsCode11AndLeavesChargesAlone) {
  FieldCalc calc;
  // Two identical generatrices give identical rows.
  testsys::Load(calc,
                "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; 1 ; 10 ; 5 ; 3 ; 1 ;\n"
                "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; 1 ; 10 ; 5 ; 3 ; 1 ;\n");
  EXPECT_EQ(testsys::Solve(calc), FieldCalc::kSingular);
  EXPECT_FALSE(calc.HasSolution());
  for (const Charge& q : calc.Charges()) EXPECT_EQ(q.q, 1.0);
}

}  // namespace
