// The largest field and its error against analytic answers, and the
// singular points found from the geometry.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <utility>

#include "ScriptedProgress.h"
#include "TestSystems.h"
#include "engine/Accuracy.h"
#include "engine/SingularPoints.h"
#include "model/Arch.h"
#include "model/Line.h"

namespace {

constexpr double kSpherePlaneField = 1.77028119466;  // Emax*R/U at h = R (image series)

struct SphereCase {
  const char* name;
  double yc, radius;
  const char* potential;  // "x" floats
  double externalField;
  bool earth;
  double exact;  // kV/cm at the pole
};

std::string SphereText(const SphereCase& c, int n, double ld) {
  std::ostringstream s;
  s << "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; " << c.yc << " ; " << c.radius << " ; 90.00000 ; -90.00000 ; "
    << c.potential << " ;" << n << " ; " << ld << " ;\n";
  return s.str();
}

// Closed cylinder r <= 5, 0 <= z <= 10 (body inside, region 1).
const char* kClosedCylinder =
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 0.000 ; 10.000 ; 5.000 ; 10.000 ; 100.000 ; 20 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 5.000 ; 10.000 ; 5.000 ; 0.000 ; 100.000 ; 40 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 5.000 ; 0.000 ; 0.000 ; 0.000 ; 100.000 ; 20 ; 2.0 ;\n";

// Two-cylinder lens: an outer closed cylinder r <= 20, 0 <= z <= 20 at 0 V
// (field inside, its body region 3 outside) around an inner closed
// cylinder r <= 12, 5 <= z <= 15 at 10 V (body region 1).
const char* kLens =
    "Me; 3 ; 2 ;    ; 1.0 ;\t\tl; 0.000 ; 0.000 ; 20.000 ; 0.000 ; 0.000 ; 20 ; 2.0 ;\n"
    "Me; 3 ; 2 ;    ; 1.0 ;\t\tl; 20.000 ; 0.000 ; 20.000 ; 20.000 ; 0.000 ; 20 ; 2.0 ;\n"
    "Me; 3 ; 2 ;    ; 1.0 ;\t\tl; 20.000 ; 20.000 ; 0.000 ; 20.000 ; 0.000 ; 20 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 0.000 ; 15.000 ; 12.000 ; 15.000 ; 10.000 ; 12 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 12.000 ; 15.000 ; 12.000 ; 5.000 ; 10.000 ; 10 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 12.000 ; 5.000 ; 0.000 ; 5.000 ; 10.000 ; 12 ; 2.0 ;\n";

const SingularPoint* At(const std::vector<SingularPoint>& points, double x, double y) {
  for (const SingularPoint& p : points)
    if (std::hypot(p.x - x, p.y - y) < 1e-6) return &p;
  return nullptr;
}

}  // namespace

// The reported error of the largest field lies between a third of the true
// error and ten times it, on three analytic cases at three discretisations
// each, with either formula.
TEST(PeakField, ReportedErrorBracketsTheTrueErrorOnSpheres) {
  const SphereCase cases[] = {
      {"isolated sphere", 15.0, 5.0, "100.0", 0.0, false, 100.0 / 5.0},
      {"sphere above the earth, h = R", 10.0, 5.0, "100.0", 0.0, true, kSpherePlaneField * 100.0 / 5.0},
      {"floating sphere in 10 kV/cm", 10.0, 3.0, "x", 10.0, false, 30.0},
  };
  for (const SphereCase& c : cases)
    for (bool precise : {false, true})
      for (int n : {10, 20, 40}) {
        SCOPED_TRACE(testing::Message() << c.name << ", n = " << n << (precise ? ", precise" : ""));
        FieldCalc calc;
        testsys::Load(calc, SphereText(c, n, 2.0));
        testsys::With(calc, [&](CalcParameters& p) {
          p.UseEarth = c.earth;
          p.ExternalField = c.externalField;
          p.Precise = precise;
        });
        ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
        const SolutionAnalysis a = AnalyseSolution(calc, 1);
        ASSERT_EQ(a.bodies.size(), 1u);
        const BodyFigures& b = a.bodies[0];
        const double trueError = std::fabs(b.maxField - c.exact);
        EXPECT_GE(b.maxFieldError, trueError / 3.0);
        EXPECT_LE(b.maxFieldError, trueError * 10.0);
        EXPECT_NEAR(a.worstFieldError, b.maxFieldError / b.maxField, 1e-15);
        EXPECT_EQ(b.maxGeneratrix, 0);
      }
}

// On a dielectric interface the reported error (the jumps of the
// tangential field and of the normal displacement) brackets the true error
// the same way: a dielectric sphere in a uniform field E0 has its largest
// field outside at the poles, 3*eps/(eps + 2)*E0, whatever its permittivity.
// The regression pinned: the displacement jump was taken as a field on one
// side, 10-135 times the true error and growing with eps.
TEST(PeakField, ReportedErrorBracketsTheTrueErrorOnADielectricSphere) {
  for (double eps : {2.0, 4.0, 10.0})
    for (bool precise : {false, true})
      for (auto [n, ld] : {std::pair{10, 2.0}, std::pair{20, 1.5}, std::pair{40, 3.0}, std::pair{80, 2.0}}) {
        SCOPED_TRACE(testing::Message() << "eps " << eps << ", n = " << n << ", L/d " << ld
                                        << (precise ? ", precise" : ""));
        std::ostringstream text;
        text << "De; 2 ; 1 ;" << eps << " ; 1.0 ;\t\tc; 0.000 ; 10.000 ; 2.000 ; 90.00000 ; -90.00000 ; " << n
             << " ; " << ld << " ;\n";
        FieldCalc calc;
        testsys::Load(calc, text.str());
        testsys::With(calc, [&](CalcParameters& p) {
          p.ExternalField = 10.0;
          p.Precise = precise;
        });
        ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
        const SolutionAnalysis a = AnalyseSolution(calc, 1);
        ASSERT_EQ(a.generatrices.size(), 1u);
        const GeneratrixAccuracy& g = a.generatrices[0];
        EXPECT_FALSE(g.maxInner);
        const double trueError = std::fabs(g.maxField - 3.0 * eps / (eps + 2.0) * 10.0);
        EXPECT_GE(g.maxFieldError, trueError / 3.0);
        EXPECT_LE(g.maxFieldError, trueError * 10.0);
      }
}

// Above the earth the largest field sits at the lowest point, the end of
// the half circle: found there, not at the last contour point before it.
TEST(PeakField, SpherePlaneLargestFieldIsFoundAtThePole) {
  const SphereCase c{"", 10.0, 5.0, "100.0", 0.0, true, kSpherePlaneField * 20.0};
  FieldCalc calc;
  testsys::Load(calc, SphereText(c, 20, 3.0));
  testsys::With(calc, [](CalcParameters& p) {
    p.UseEarth = true;
    p.Precise = true;
  });
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  const SolutionAnalysis a = AnalyseSolution(calc, 1);
  EXPECT_NEAR(a.bodies[0].maxX, 0.0, 1e-3);
  EXPECT_NEAR(a.bodies[0].maxY, 5.0, 1e-6);
  EXPECT_NEAR(a.bodies[0].maxField, c.exact, 3e-4 * c.exact);
  EXPECT_TRUE(a.singularPoints.empty());
}

TEST(SingularPoints, ClosedCylinderEdgesAreConvexWithExponentMinusOneThird) {
  FieldCalc calc;
  testsys::Load(calc, kClosedCylinder);
  const std::vector<SingularPoint> points = FindSingularPoints(calc.Generatrices());
  ASSERT_EQ(points.size(), 2u);  // the ends on the axis are not edges
  for (auto [x, y, a, b] : {std::tuple{5.0, 10.0, 0, 1}, std::tuple{5.0, 0.0, 1, 2}}) {
    const SingularPoint* p = At(points, x, y);
    ASSERT_NE(p, nullptr) << x << "; " << y;
    EXPECT_TRUE(p->infinite);
    EXPECT_NEAR(p->angleDeg, 270.0, 1e-9);
    EXPECT_NEAR(p->exponent, -1.0 / 3.0, 1e-9);
    EXPECT_EQ(p->generatrices, (std::vector<int>{a, b}));
    EXPECT_NEAR(p->radius, kSingularRadiusFraction * 5.0, 1e-12);  // the shorter adjoining generatrix
  }
  EXPECT_NE(SingularPointWarning(points[0]).find("бесконечно: угол 270°, скруглите кромку"), std::string::npos);
  EXPECT_NEAR(FindSingularPoints(calc.Generatrices(), 0.3)[0].radius, 0.3, 0.0);
}

// The lens's inner cylinder has two convex edges; the outer cylinder's
// corners, seen from the field inside it, are 90 degrees: the field
// vanishes there and they must not be called infinite.
TEST(SingularPoints, LensEdgesInfiniteAndInnerCornersVanishing) {
  FieldCalc calc;
  testsys::Load(calc, kLens);
  const std::vector<SingularPoint> points = FindSingularPoints(calc.Generatrices());
  for (auto [x, y] : {std::pair{12.0, 5.0}, std::pair{12.0, 15.0}}) {
    const SingularPoint* p = At(points, x, y);
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(p->infinite);
    EXPECT_NEAR(p->angleDeg, 270.0, 1e-9);
  }
  for (auto [x, y] : {std::pair{20.0, 0.0}, std::pair{20.0, 20.0}}) {
    const SingularPoint* p = At(points, x, y);
    ASSERT_NE(p, nullptr);
    EXPECT_FALSE(p->infinite);
    EXPECT_NEAR(p->angleDeg, 90.0, 1e-9);
    EXPECT_NEAR(p->exponent, 1.0, 1e-9);
  }
}

// Wedge exponents: one medium gives pi/alpha; a dielectric and a gas of
// equal permittivity behave as one wedge; a dielectric (eps 4) meeting a
// flat electrode at 90 degrees leaves the field finite; an obtuse
// dielectric wedge leaves a sharp gas wedge beside it, where the field is
// infinite (the classic triple-junction gap), an acute one a field of zero.
TEST(SingularPoints, WedgeExponentsOfEdgesAndTriplePoints) {
  const double pi = 3.141592653589793;
  EXPECT_NEAR(WedgeExponent({1.5 * pi}, {1.0}), 2.0 / 3.0, 1e-12);
  EXPECT_NEAR(WedgeExponent({0.3 * pi, 0.9 * pi}, {1.0, 1.0}), 1.0 / 1.2, 1e-9);
  EXPECT_NEAR(WedgeExponent({0.5 * pi, 0.5 * pi}, {4.0, 1.0}), 1.0, 1e-9);
  EXPECT_GT(WedgeExponent({0.25 * pi, 0.75 * pi}, {4.0, 1.0}), 1.0);
  EXPECT_LT(WedgeExponent({0.75 * pi, 0.25 * pi}, {4.0, 1.0}), 1.0);
  // Very high permittivity: the gas wedge of 45 degrees sees the dielectric
  // as a conductor-like boundary, the dielectric wedge its face as a
  // symmetry plane: lambda -> pi / (2 * 135 degrees) = 2/3.
  EXPECT_NEAR(WedgeExponent({0.75 * pi, 0.25 * pi}, {1e9, 1.0}), 2.0 / 3.0, 1e-6);
}

// A triple point found from the geometry: a dielectric plate (eps 4) lying
// on an electrode face, its edge overhanging at 45 degrees so that a sharp
// gas wedge opens under it.
TEST(SingularPoints, SharpTriplePointIsInfinite) {
  FieldCalc calc;
  testsys::Load(calc,
                // Electrode top face y = 0, body below; plate above from x = 0 to 5.
                "Me; 1 ; 3 ;    ; 4.0 ;\t\tl; 0.000 ; 0.000 ; 5.000 ; 0.000 ; 10.000 ; 10 ; 2.0 ;\n"
                "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 5.000 ; 0.000 ; 20.000 ; 0.000 ; 10.000 ; 10 ; 2.0 ;\n"
                "De; 3 ; 2 ;4.0 ; 1.0 ;\t\tl; 0.000 ; 2.000 ; 7.000 ; 2.000 ; 10 ; 2.0 ;\n"
                "De; 3 ; 2 ;4.0 ; 1.0 ;\t\tl; 7.000 ; 2.000 ; 5.000 ; 0.000 ; 10 ; 2.0 ;\n");
  const std::vector<SingularPoint> points = FindSingularPoints(calc.Generatrices());
  const SingularPoint* p = At(points, 5.0, 0.0);
  ASSERT_NE(p, nullptr);
  EXPECT_TRUE(p->infinite);
  EXPECT_NEAR(p->angleDeg, 180.0, 1e-9);
  EXPECT_EQ(p->generatrices, (std::vector<int>{0, 1, 3}));
  EXPECT_LT(p->exponent, -0.05);
}

// The largest field of a closed cylinder leaves out its edges, where the
// computed field only grows with refinement: it is found outside their
// neighbourhood, and the warning names both edges.
TEST(PeakField, ClosedCylinderLargestFieldLeavesOutTheEdges) {
  FieldCalc calc;
  testsys::Load(calc, kClosedCylinder);
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  const SolutionAnalysis a = AnalyseSolution(calc, 1);
  ASSERT_EQ(a.singularPoints.size(), 2u);
  const BodyFigures& b = a.bodies[0];
  for (const SingularPoint& p : a.singularPoints) EXPECT_GE(std::hypot(b.maxX - p.x, b.maxY - p.y), p.radius);
  int named = 0;
  for (const std::string& w : a.warnings) named += w.find("бесконечно: угол 270°") != std::string::npos;
  EXPECT_EQ(named, 2);
}

// A stop requested during the analysis ends it with the figures marked
// incomplete.
TEST(PeakField, AnalysisStopsWhenTheUserConfirmsAnAbort) {
  FieldCalc calc;
  testsys::Load(calc, testsys::Sphere(15.0, 100.0, 40, 2.0));
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  ScriptedProgress ui;
  ui.cancelAt = 1;
  const SolutionAnalysis a = AnalyseSolution(calc, AnalysisOptions{}, &ui);
  EXPECT_TRUE(a.aborted);
  EXPECT_EQ(ui.questions.size(), 1u);
  ScriptedProgress no;
  no.cancelAt = 1;
  no.answer = false;
  EXPECT_FALSE(AnalyseSolution(calc, AnalysisOptions{}, &no).aborted);
}

TEST(PeakField, FieldWithErrorIsPrintedToTheErrorsFirstDigit) {
  EXPECT_EQ(FormatWithError(26.77712, 0.0017), "26.777 ± 0.002");
  EXPECT_EQ(FormatWithError(35.4056, 0.0096), "35.41 ± 0.01");
  EXPECT_EQ(FormatWithError(35.4056, 0.002), "35.406 ± 0.002");
  EXPECT_EQ(FormatWithError(1234.25, 31.0), "1234 ± 31");  // whole numbers at least
  EXPECT_EQ(FormatWithError(20.0, 0.0), "20");
}

// Graded placement: one contour point at the middle of each cell, charges
// L/d times the cell deep, the result rows through the contour points; an
// element whose count no longer matches its cells is placed evenly again.
TEST(GradedPlacement, ContourPointsAtCellMiddlesAndChargesAsDeepAsTheirCell) {
  SurfParams p;
  p.innerRegion = 1;
  p.outerRegion = 2;
  p.epsOuter = 1.0;
  p.fixedPotential = 10.0;
  p.pointCount = 3;
  p.ratioLd = 2.0;
  Line line(p, 0.0, 0.0, 0.0, 10.0);  // upwards: charges at x > 0
  line.cells = {0.0, 0.1, 0.4, 1.0};
  ASSERT_TRUE(line.Graded());
  std::vector<ContourPoint> points;
  std::vector<Charge> charges;
  line.MakeContourPoints(points);
  line.MakeCharges(charges, false);
  ASSERT_EQ(points.size(), 3u);
  const double middles[] = {0.5, 2.5, 7.0}, depths[] = {2.0, 6.0, 12.0};
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(points[i].y, middles[i], 1e-12);
    EXPECT_NEAR(charges[i].y, middles[i], 1e-12);
    EXPECT_NEAR(charges[i].x, depths[i], 1e-12);
  }
  double x, y, nx, ny;
  line.GetCalcPoint(x, y, nx, ny, 2, 1.0f);  // k = 1: the rows are the ends and the contour points
  EXPECT_NEAR(y, 2.5, 1e-12);
  line.GetCalcPoint(x, y, nx, ny, 4, 1.0f);
  EXPECT_NEAR(y, 10.0, 1e-12);
  EXPECT_NEAR(line.FractionAt(0.5), 0.025, 1e-15);

  Arch arc(p, 0.0, 0.0, 5.0, 3.141592653589793 / 2, -3.141592653589793 / 2);  // clockwise: charges inside
  arc.cells = {0.0, 0.25, 0.5, 1.0};
  points.clear();
  charges.clear();
  arc.MakeContourPoints(points);
  arc.MakeCharges(charges, false);
  EXPECT_NEAR(points[0].normalAngle, 3.141592653589793 / 2 - 0.125 * 3.141592653589793, 1e-12);
  // The last cell is half the arc: its charge lies beyond the centre.
  EXPECT_NEAR(std::hypot(charges[2].x, charges[2].y), std::fabs(5.0 - 2.0 * 5.0 * 0.5 * 3.141592653589793), 1e-9);

  line.pointCount = 4;
  EXPECT_FALSE(line.Graded());
}
