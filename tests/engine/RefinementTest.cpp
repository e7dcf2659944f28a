// Refinement that converges on the field: against the image series of the
// sphere-plane gap, a rod tip against itself at two targets, singular
// edges, and the stops before a round that would not fit.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "TestSystems.h"
#include "engine/Accuracy.h"
#include "engine/Capacitance.h"
#include "engine/CalculationRun.h"
#include "engine/ProgressReporter.h"
#include "model/Line.h"
#include "model/TextFormat.h"
#include "engine/Refinement.h"

namespace {

// Sphere R = 5 cm at 100 kV, lowest point h = R above the earthed plane,
// as given: 40 contour points, L/d 2, the written formula.
const char* kSpherePlane =
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 10.000 ; 5.000 ; 90.00000 ; -90.00000 ; 100.000 ; 40 ; 2.0000 ;\n";
constexpr double kSpherePlaneField = 1.77028119466 * 100.0 / 5.0;
constexpr double kSpherePlaneCapacitance = 1.34105981308 * 4.0 * 3.141592653589793 * kEps0Codata * 0.05;

// A rod of radius 1 cm, 20 cm long with hemispherical ends, at 100 kV, its
// tip 5 cm above the earthed plane.
const char* kRod =
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 24.000 ; 1.000 ; 90.00000 ; 0.00000 ; 100.000 ; 8 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 1.000 ; 24.000 ; 1.000 ; 6.000 ; 100.000 ; 40 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 6.000 ; 1.000 ; 0.00000 ; -90.00000 ; 100.000 ; 8 ; 2.0 ;\n";

const char* kClosedCylinder =
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 0.000 ; 10.000 ; 5.000 ; 10.000 ; 100.000 ; 20 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 5.000 ; 10.000 ; 5.000 ; 0.000 ; 100.000 ; 40 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 5.000 ; 0.000 ; 0.000 ; 0.000 ; 100.000 ; 20 ; 2.0 ;\n";

// A two-cylinder electrostatic lens: an outer closed cylinder r <= 20,
// 0 <= z <= 20 at 0 V (its charges outside, the field inside) around an
// inner closed cylinder r <= 12, 5 <= z <= 15 at 10 kV.
const char* kLens =
    "Me; 3 ; 2 ;    ; 1.0 ;\t\tl; 0.000 ; 0.000 ; 20.000 ; 0.000 ; 0.000 ; 40 ; 2.0 ;\n"
    "Me; 3 ; 2 ;    ; 1.0 ;\t\tl; 20.000 ; 0.000 ; 20.000 ; 20.000 ; 0.000 ; 40 ; 2.0 ;\n"
    "Me; 3 ; 2 ;    ; 1.0 ;\t\tl; 20.000 ; 20.000 ; 0.000 ; 20.000 ; 0.000 ; 40 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 0.000 ; 15.000 ; 12.000 ; 15.000 ; 10.000 ; 24 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 12.000 ; 15.000 ; 12.000 ; 5.000 ; 10.000 ; 20 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 12.000 ; 5.000 ; 0.000 ; 5.000 ; 10.000 ; 24 ; 2.0 ;\n";

// The potential at (12, 4), 1 cm below the inner cylinder's lower edge.
double LensPotential(double target, SolutionAnalysis& analysis) {
  FieldCalc calc;
  testsys::Load(calc, kLens);
  RefinementOptions o;
  o.target = target;
  const RefinementResult r = RefineToTarget(calc, o, nullptr);
  EXPECT_TRUE(r.targetMet) << target << " " << r.StopReason();
  analysis = AnalyseSolution(calc, 1);
  double phi = 0.0, ex = 0.0, ey = 0.0;
  if (calc.HasSolution()) calc.FieldAt(2, 12.0, 4.0, &phi, &ex, &ey);
  return phi;
}

double TipField(double target) {
  FieldCalc calc;
  testsys::Load(calc, kRod);
  testsys::With(calc, [](CalcParameters& p) { p.UseEarth = true; });
  RefinementOptions o;
  o.target = target;
  const RefinementResult r = RefineToTarget(calc, o, nullptr);
  EXPECT_TRUE(r.targetMet) << target;
  const SolutionAnalysis a = AnalyseSolution(calc, 1);
  return a.generatrices.size() == 3 ? a.generatrices[2].maxField : 0.0;
}

}  // namespace

// A 5 cm sphere at 100 kV in a coat (eps 4) where the written formula
// falls short, refined to 1e-3:
// - a 20 cm coat whose 360 points sit so close to their charges that the
//   modulus clamp is reached: its rounds went wild (10, 6, 9, 1109, 52 kV/cm
//   against 11.43) and it stopped as stalled; finer points never cure the
//   clamp. The round that reaches it is done again with the exact integrals.
// - a 7 cm coat from 30 points a line: the graded rounds put fine cells at
//   the axis and the sphere's pole came out 6.398, 6.423, 6.449 kV/cm
//   against 6.364, the checks (the same formula) blind to it; it stopped as
//   stalled at 5e-3. After the stall the rounds go on precisely.
// Either way the target is met and its promise holds against the layered
// sphere, on the sphere and just outside the coat.
TEST(Refinement, WhereTheFormulaFallsShortItGoesOnWithTheExactIntegrals) {
  struct Case {
    double b;
    int sphere, coat;
    double ld;
    bool clamp;
  };
  for (const Case& c : {Case{20, 90, 360, 1.5, true}, Case{7, 30, 30, 2.0, false}}) {
    SCOPED_TRACE(c.b);
    FieldCalc calc;
    testsys::Load(calc, text::Format("Me; 1 ; 2 ;    ; 4 ;\t\tc; 0.000 ; 30.000 ; 5.000 ; 90.00000 ; -90.00000 ; 100 "
                                     ";%d ; %g ;\n"
                                     "De; 2 ; 3 ;4 ; 1.0 ;\t\tc; 0.000 ; 30.000 ; %g ; 90.00000 ; -90.00000 ;%d ; "
                                     "%g ;\n",
                                     c.sphere, c.ld, c.b, c.coat, c.ld));
    RefinementOptions o;
    o.target = 1e-3;
    const RefinementResult r = RefineToTarget(calc, o, nullptr);
    ASSERT_TRUE(r.targetMet) << r.StopReason();
    EXPECT_TRUE(r.switchedForFormula);
    EXPECT_TRUE(r.switchedToPrecise);
    if (c.clamp)
      EXPECT_EQ(r.switchedAtRound, 1);
    else
      EXPECT_GT(r.switchedAtRound, 1);
    for (size_t k = 0; k < r.rounds.size(); ++k)
      EXPECT_EQ(r.rounds[k].precise, static_cast<int>(k) + 1 >= r.switchedAtRound) << k;
    // Layered sphere: Q/(4 pi eps0) = U / ((1/a - 1/b)/eps + 1/b).
    const double q = 100.0 / ((1.0 / 5 - 1.0 / c.b) / 4.0 + 1.0 / c.b);
    ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
    const SolutionAnalysis a = AnalyseSolution(calc, 1);
    ASSERT_EQ(a.generatrices.size(), 2u);
    EXPECT_NEAR(a.generatrices[0].maxField, q / 100.0, 1e-3 * q / 100.0);
    EXPECT_NEAR(a.generatrices[1].maxField, q / (c.b * c.b), 1e-3 * q / (c.b * c.b));  // outside the coat, in air
    EXPECT_FALSE(a.clampReached);
  }
}

// The largest field of the sphere-plane gap to 1e-6 of the image series,
// its reported error honest, and the capacitance to 1e-7.
TEST(Refinement, SpherePlaneFieldToOneInAMillion) {
  FieldCalc calc;
  testsys::Load(calc, kSpherePlane);
  testsys::With(calc, [](CalcParameters& p) { p.UseEarth = true; });
  std::vector<RefinementRound> seen;
  RefinementOptions o;
  o.target = 1e-6;
  o.onRound = [&](const RefinementRound& r) { seen.push_back(r); };
  const RefinementResult r = RefineToTarget(calc, o, nullptr);
  ASSERT_TRUE(r.targetMet);
  EXPECT_EQ(r.StopReason(), "target_met");
  EXPECT_TRUE(r.switchedToPrecise);  // 1e-6 is below the written formula's floor
  EXPECT_TRUE(calc.Parameters().Precise);
  ASSERT_EQ(seen.size(), r.rounds.size());  // every round reported as it ended
  EXPECT_LE(r.rounds.back().worstFieldError, 1e-6);

  testsys::With(calc, [](CalcParameters& p) { p.Capacitance = true; });
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  SolutionAnalysis a = AnalyseSolution(calc, 1);
  AddCapacitance(calc, a);
  const double trueError = std::fabs(a.bodies[0].maxField - kSpherePlaneField);
  EXPECT_LE(trueError, 1e-6 * kSpherePlaneField);
  EXPECT_GE(a.bodies[0].maxFieldError, trueError / 3.0);
  EXPECT_LE(a.bodies[0].maxFieldError, trueError * 10.0 + 1e-9 * kSpherePlaneField);
  ASSERT_EQ(a.capacitance.size(), 1u);
  EXPECT_NEAR(a.capacitance[0][0], kSpherePlaneCapacitance, 1e-7 * kSpherePlaneCapacitance);
}

// The tip field of a rod agrees with itself at two targets.
TEST(Refinement, RodTipFieldAgreesAtTwoTargets) {
  const double coarse = TipField(1e-5), fine = TipField(1e-6);
  EXPECT_NEAR(coarse, fine, 2e-6 * fine);
}

// A closed cylinder: the edges are singular; refinement ends, and the
// largest field outside their neighbourhood converges.
TEST(Refinement, ClosedCylinderConvergesOutsideTheEdges) {
  FieldCalc calc;
  testsys::Load(calc, kClosedCylinder);
  RefinementOptions o;
  o.target = 1e-4;
  const RefinementResult r = RefineToTarget(calc, o, nullptr);
  EXPECT_TRUE(r.targetMet) << r.StopReason();
  ASSERT_GE(r.rounds.size(), 2u);
  const RefinementRound& last = r.rounds.back();
  const RefinementRound& before = r.rounds[r.rounds.size() - 2];
  EXPECT_NEAR(last.largestField, before.largestField, 1e-4 * last.largestField);

  const SolutionAnalysis a = AnalyseSolution(calc, 1);
  int edges = 0;
  for (const SingularPoint& p : a.singularPoints) {
    if (!p.infinite) continue;
    ++edges;
    EXPECT_NEAR(p.x, 5.0, 1e-9);
    EXPECT_TRUE(std::fabs(p.y) < 1e-9 || std::fabs(p.y - 10.0) < 1e-9) << p.y;
    EXPECT_NEAR(p.angleDeg, 270.0, 1e-6);
  }
  EXPECT_EQ(edges, 2);
  // The largest field sits outside the edges' neighbourhoods.
  ASSERT_EQ(a.bodies.size(), 1u);
  for (const SingularPoint& p : a.singularPoints)
    EXPECT_GE(std::hypot(a.bodies[0].maxX - p.x, a.bodies[0].maxY - p.y), p.radius * (1.0 - 1e-6));
}

// Regression: beside an edge the reported error of the largest field was
// the check points' figure alone, 5e-9 of the field after refinement to
// 1e-4, while the value was 5e-5 off: the cell at the edge leaves an error
// the boundary conditions do not show. Against a 1e-6 run as reference,
// the error reported at 1e-4 and 1e-5 is 1/3 to 10 times the true one.
TEST(Refinement, TheLargestFieldBesideAnEdgeReportsTheErrorItsEdgeCellLeaves) {
  auto refined = [](double target) {
    FieldCalc calc;
    testsys::Load(calc, kClosedCylinder);
    RefinementOptions o;
    o.target = target;
    EXPECT_TRUE(RefineToTarget(calc, o, nullptr).targetMet) << target;
    const SolutionAnalysis a = AnalyseSolution(calc, 1);
    EXPECT_EQ(a.bodies.size(), 1u);
    return a.bodies.empty() ? BodyFigures{} : a.bodies[0];
  };
  const BodyFigures reference = refined(1e-6);
  for (double target : {1e-4, 1e-5}) {
    SCOPED_TRACE(target);
    const BodyFigures b = refined(target);
    const double trueError = std::fabs(b.maxField - reference.maxField);
    EXPECT_LE(trueError, target * reference.maxField);
    EXPECT_GE(b.maxFieldError, trueError / 3.0);
    EXPECT_LE(b.maxFieldError, trueError * 10.0);
    EXPECT_LE(b.maxFieldError, target * b.maxField);  // what the met target promises
  }
}

// The lens: the potential beside a convex edge converges (two successive
// targets agree), the inner cylinder's edges are singular, and the outer
// cylinder's inside corners, where the field vanishes, are not.
TEST(Refinement, LensPotentialConvergesBesideTheEdges) {
  SolutionAnalysis coarseAnalysis, fineAnalysis;
  const double coarse = LensPotential(1e-4, coarseAnalysis);
  const double fine = LensPotential(1e-5, fineAnalysis);
  EXPECT_NEAR(coarse, fine, 1e-5 * 10.0);
  // Between the electrodes' potentials, nearer the inner one.
  EXPECT_GT(fine, 5.0);
  EXPECT_LT(fine, 10.0);

  std::vector<std::pair<double, double>> infinite;
  for (const SingularPoint& p : fineAnalysis.singularPoints) {
    if (p.infinite) {
      infinite.emplace_back(p.x, p.y);
      EXPECT_NEAR(p.angleDeg, 270.0, 1e-6);
    } else {
      EXPECT_GT(p.exponent, 0.0);  // the outer corners: the field vanishes there
    }
  }
  ASSERT_EQ(infinite.size(), 2u);
  std::sort(infinite.begin(), infinite.end());
  EXPECT_NEAR(infinite[0].first, 12.0, 1e-9);
  EXPECT_NEAR(infinite[0].second, 5.0, 1e-9);
  EXPECT_NEAR(infinite[1].first, 12.0, 1e-9);
  EXPECT_NEAR(infinite[1].second, 15.0, 1e-9);
  for (const std::string& w : fineAnalysis.warnings) {
    EXPECT_EQ(w.find("(20; 0)"), std::string::npos) << w;
    EXPECT_EQ(w.find("(20; 20)"), std::string::npos) << w;
  }
}

// A round whose matrix would not fit stops the refinement before it is
// allocated, with the best system kept and the reason "memory".
TEST(Refinement, StopsBeforeARoundThatWouldNotFitInMemory) {
  FieldCalc calc;
  testsys::Load(calc, kClosedCylinder);
  RefinementOptions o;
  o.target = 1e-12;
  o.maxMemoryMb = 0.5;  // 256 unknowns
  const RefinementResult r = RefineToTarget(calc, o, nullptr);
  EXPECT_TRUE(r.memoryLimited);
  EXPECT_EQ(r.StopReason(), "memory");
  EXPECT_GT(r.nextMemoryMb, 0.5);
  for (const RefinementRound& round : r.rounds) EXPECT_LE(round.memoryMb, 0.5);
  EXPECT_LE(MatrixMemoryMb(calc.Unknowns()), 0.5);

  FieldCalc limited;
  testsys::Load(limited, kClosedCylinder);
  o.maxMemoryMb = 1e6;
  o.maxUnknowns = 100;
  const RefinementResult l = RefineToTarget(limited, o, nullptr);
  EXPECT_EQ(l.StopReason(), "limit");
  EXPECT_GT(l.nextUnknowns, 100);
}

// Graded cells: the spacing starts at the end spacings and never exceeds
// the largest one; neighbouring cells differ by at most the grading rate.
TEST(Refinement, GradedCellsGrowGeometricallyFromTheEnds) {
  const std::vector<double> cells = GradedCells(10.0, 1.0, 0.01, 0.1);
  ASSERT_GE(cells.size(), 12u);
  EXPECT_EQ(cells.front(), 0.0);
  EXPECT_EQ(cells.back(), 1.0);
  EXPECT_NEAR(cells[1] * 10.0, 0.01, 0.005);
  EXPECT_NEAR((1.0 - cells[cells.size() - 2]) * 10.0, 0.1, 0.05);
  for (size_t i = 1; i < cells.size(); ++i) {
    const double h = (cells[i] - cells[i - 1]) * 10.0;
    EXPECT_LE(h, 1.0 + 1e-9);
    if (i > 1) {
      const double before = (cells[i - 1] - cells[i - 2]) * 10.0;
      EXPECT_LE(std::max(h / before, before / h), 1.0 + 1.5 * kGradingRate);
    }
  }
}

// End spacings far below a thousandth of the element (edges at tight
// targets) come out as asked, each end grading at its own rate.
TEST(Refinement, GradedCellsKeepTinyEndsAndTheirOwnRates) {
  const double length = 30.0;  // ramps of 3.3 and 16.6 cm, an even middle of 10 cm
  const std::vector<double> cells = GradedCells(length, 0.5, 1e-6, 1e-3, 0.15, 0.03);
  ASSERT_GE(cells.size(), 3u);
  EXPECT_NEAR(cells[1] * length, 1e-6, 0.2e-6);
  EXPECT_NEAR((1.0 - cells[cells.size() - 2]) * length, 1e-3, 0.2e-3);
  for (size_t i = 2; i < cells.size(); ++i) {
    const double h = cells[i] - cells[i - 1], before = cells[i - 1] - cells[i - 2];
    EXPECT_GT(h, 0.0);
    const double rate = cells[i] < 0.2 ? 0.15 : 0.03;
    EXPECT_LE(std::max(h / before, before / h), 1.0 + 1.5 * rate) << i;
  }
  // About ln(largest/end)/rate cells on each graded stretch plus the even middle.
  const double expected = std::log(0.5 / 1e-6) / 0.15 + std::log(0.5 / 1e-3) / 0.03 + 10.0 / 0.5;
  EXPECT_NEAR(static_cast<double>(cells.size() - 1), expected, 0.1 * expected);
}
