// The engine object: errors, reset, counters, placement checks, the abort
// protocol and the structure of the system of equations.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

#include "engine/FieldCalc.h"
#include "engine/GapCurves.h"
#include "engine/Parallel.h"
#include "engine/RingField.h"
#include "ScriptedProgress.h"
#include "TestSystems.h"

namespace {

TEST(FieldCalc, ErrorTexts) {
  FieldCalc calc;
  std::string s = "unchanged";
  EXPECT_FALSE(calc.ErrorText(s));
  EXPECT_EQ(s, "");
  calc.SetError(FieldCalc::kAborted);
  EXPECT_TRUE(calc.ErrorText(s));
  EXPECT_EQ(s, "Расчет прерван пользователем.");
  calc.SetError(FieldCalc::kBadElement + 1);  // beyond the table
  s = "kept";
  EXPECT_TRUE(calc.ErrorText(s));
  EXPECT_EQ(s, "kept");
  EXPECT_EQ(FieldCalc::MessageFor(FieldCalc::kOpenSurfaces),
            "Найдены незамкнутые области поверхностей. Данные задачи не имеют физического смысла.\n "
            "Продолжить?");
  EXPECT_EQ(FieldCalc::MessageFor(FieldCalc::kNoMemory), "Невозможно разместить матрицу в памяти");
}

TEST(FieldCalc, ResetKeepsParametersOfAnEmptySystem) {
  FieldCalc calc;
  testsys::With(calc, [&](CalcParameters& p) { p.ExternalField = 5; });
  testsys::With(calc, [&](CalcParameters& p) { p.UseEarth = true; });
  testsys::With(calc, [&](CalcParameters& p) { p.ControlFilePath = "/tmp/x"; });
  calc.Reset(true);
  EXPECT_EQ(calc.Parameters().ExternalField, 5);
  EXPECT_TRUE(calc.Parameters().UseEarth);
  testsys::Load(calc, testsys::Sphere(10, 1));
  testsys::With(calc, [&](CalcParameters& p) { p.ExternalField = 5; });
  calc.Reset(true);
  EXPECT_EQ(calc.Parameters().ExternalField, 0);
  EXPECT_FALSE(calc.Parameters().UseEarth);
  EXPECT_EQ(calc.Parameters().ControlFilePath, "");
  EXPECT_EQ(calc.TotalPoints(), 0);
}

TEST(FieldCalc, RecountCountsFloatingConductorsByBody) {
  FieldCalc calc;
  testsys::Load(calc,
                "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; 1 ; 10 ; 5 ; 10 ; 1 ;\n"
                "De; 3 ; 2 ; 4.0 ; 1.0 ;\t\tl; 2 ; 0 ; 2 ; 1 ; 5 ; 1 ;\n");
  calc.Recount();
  EXPECT_EQ(calc.TotalPoints(), 15);
  EXPECT_EQ(calc.TotalCharges(), 20);
  testsys::Load(calc,
                "Me; 4 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 1 ; 1 ; 2 ; x ; 3 ; 1 ;\n"
                "Me; 4 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 2 ; 2 ; 2 ; x ; 3 ; 1 ;\n"
                "Me; 5 ; 2 ;    ; 1.0 ;\t\tl; 3 ; 1 ; 3 ; 2 ; x ; 3 ; 1 ;\n");
  calc.Recount();
  EXPECT_EQ(calc.TotalFloating(), 2);
}

TEST(FieldCalc, PlaceGivesEveryChargeItsEarthImage) {
  FieldCalc calc;
  testsys::Load(calc, testsys::Sphere(10, 1, 6));
  testsys::With(calc, [&](CalcParameters& p) { p.UseEarth = true; });
  calc.Place();
  ASSERT_EQ(calc.ErrorCode(), FieldCalc::kNoError);
  ASSERT_EQ(calc.Charges().size(), 6u);
  for (const Charge& q : calc.Charges()) EXPECT_TRUE(q.earthImage);
  EXPECT_EQ(calc.Coefficients().RowNo(), 6u);
  EXPECT_EQ(calc.Rhs().ColNo(), 1u);
}

// A solution holds only for the system and the equations it was solved
// for: edits and a changed external field or earth discard it, output-only
// parameters and gap curves keep it.
TEST(FieldCalc, ChangesDiscardTheSolutionOnlyWhenTheEquationsChange) {
  FieldCalc calc;
  auto solved = [&] {
    testsys::Load(calc, testsys::Sphere(10, 1, 6));
    EXPECT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
    return calc.HasSolution();
  };
  ASSERT_TRUE(solved());
  testsys::With(calc, [](CalcParameters& p) { p.PointsBetweenCPs = 5; p.ResultsFolder = "/tmp"; p.ControlCalc = true; });
  testsys::AddGapCurve(calc, MakeGapLine(2, 4, 0, 0, 10, 0));
  EXPECT_TRUE(calc.HasSolution());
  testsys::With(calc, [](CalcParameters& p) { p.ExternalField = 1.0; });
  EXPECT_FALSE(calc.HasSolution());
  EXPECT_TRUE(calc.Charges().empty());

  ASSERT_TRUE(solved());
  testsys::With(calc, [](CalcParameters& p) { p.UseEarth = true; });
  EXPECT_FALSE(calc.HasSolution());

  ASSERT_TRUE(solved());
  auto edited = calc.Generatrices()[0]->Clone();
  edited->pointCount = 9;
  ASSERT_TRUE(calc.ReplaceGeneratrix(0, std::move(edited)));
  EXPECT_FALSE(calc.HasSolution());
  EXPECT_EQ(calc.TotalPoints(), 9);
  EXPECT_EQ(calc.TotalCharges(), 9);

  ASSERT_TRUE(solved());
  EXPECT_EQ(calc.AddGeneratrix(calc.Generatrices()[0]->Clone()), 1);
  EXPECT_FALSE(calc.HasSolution());
  EXPECT_EQ(calc.TotalPoints(), 12);

  ASSERT_TRUE(solved());
  EXPECT_FALSE(calc.RemoveGeneratrix(3));
  EXPECT_TRUE(calc.HasSolution());
  EXPECT_TRUE(calc.RemoveGeneratrix(0));
  EXPECT_FALSE(calc.HasSolution());
  EXPECT_EQ(calc.TotalPoints(), 0);

  ASSERT_TRUE(solved());
  EXPECT_TRUE(calc.SetMarked(0, true));  // the view's selection changes nothing
  EXPECT_TRUE(calc.HasSolution());
}

struct Refusal {
  std::string system;
  int code;
  const char* detailWord;
};

TEST(FieldCalc, PlaceRefusesSystemsTheEquationsCannotHold) {
  const std::string ok = "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; 1 ; 10 ; 5 ; 4 ; 1 ;\n";
  const Refusal cases[] = {
      {"Me; 0 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; 1 ; 10 ; x ; 4 ; 1 ;\n", FieldCalc::kBadElement, "0"},
      {"Me; 4 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; 1 ; 1 ; x ; 4 ; 1 ;\n" + ok +
           "Me; 4 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 1 ; 2 ; 2 ; x ; 4 ; 1 ;\n",
       FieldCalc::kBadElement, "Образующая 3"},
      {"Me; 4 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; 1 ; 1 ; x ; 4 ; 1 ;\n"
       "De; 4 ; 2 ; 2.0 ; 1.0 ;\t\tl; 3 ; 0 ; 3 ; 1 ; 4 ; 1 ;\n",
       FieldCalc::kBadElement, "Образующая 2"},
      // A half circle with one point and L/d 0.8 puts its charge behind the axis.
      {"Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0 ; 0 ; 5 ; 90 ; -90 ; 5 ; 1 ; 0.8 ;\n", FieldCalc::kBadElement, "осью"},
      {"Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; 1 ; 10 ; 5 ; 900000 ; 1 ;\n", FieldCalc::kNoMemory, "ГБ"},
      // With the earth plane nothing may lie below it.
      {ok + testsys::Sphere(0, 1, 4), FieldCalc::kEarthBelowZero, "Образующая 2"},
  };
  for (const Refusal& r : cases) {
    FieldCalc calc;
    testsys::Load(calc, r.system);
    testsys::With(calc, [&](CalcParameters& p) { p.UseEarth = r.code == FieldCalc::kEarthBelowZero; });
    ASSERT_EQ(calc.ErrorCode(), FieldCalc::kNoError) << r.system;
    calc.Place();
    EXPECT_EQ(calc.ErrorCode(), r.code) << r.system;
    EXPECT_NE(calc.FullErrorText().find(r.detailWord), std::string::npos) << calc.FullErrorText();
    EXPECT_EQ(calc.FullErrorText().rfind(FieldCalc::MessageFor(r.code), 0), 0u);
  }
}

// Regression: "1e400" read as inf, was written back as inf and read back
// as 0. A number that overflows now stops reading at its line (code 3), in
// the system file and in the gap-curve file alike.
TEST(FieldCalc, NumbersThatOverflowStopReadingAtTheirLine) {
  const std::string ok = "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; 1 ; 10 ; 5 ; 4 ; 1 ;\n";
  for (const std::string& bad : {std::string("Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; 1e999 ; 10 ; 5 ; 4 ; 1 ;\n"),
                                 std::string("Me; 1 ; 2 ;    ; -1e400 ;\t\tl; 1 ; 0 ; 1 ; 10 ; 5 ; 4 ; 1 ;\n"),
                                 std::string("Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0 ; 0 ; 5 ; 1e400 ; 0 ; 4 ; 1 ;\n")}) {
    FieldCalc calc;
    std::istringstream system("// comment\n" + ok + bad + ok);
    calc.ReadSystem(system);
    EXPECT_EQ(calc.ErrorCode(), FieldCalc::kBadParameter) << bad;
    EXPECT_EQ(calc.ErrorLine(), 3) << bad;
    EXPECT_EQ(calc.Generatrices().GetSize(), 1);

    CSurfColl curves;
    std::istringstream curveFile(ok + bad);
    const ElementReadResult r = LoadGapCurves(curves, curveFile);
    EXPECT_EQ(r.errorCode, FieldCalc::kBadParameter);
    EXPECT_EQ(r.errorLine, 2);
    ASSERT_EQ(curves.GetSize(), 1);
    std::ostringstream written;
    SaveGapCurves(curves, written);
    EXPECT_EQ(written.str().find("inf"), std::string::npos);
  }
}

TEST(FieldCalc, AbortProtocol) {
  for (bool yes : {true, false}) {
    FieldCalc calc;
    testsys::Load(calc, testsys::Sphere(10, 1, 20));
    ScriptedProgress progress;
    progress.cancelAt = 1 + 5;  // placement asks once, then the fifth fill point
    progress.answer = yes;
    const FieldCalc::ProgressScope attached(calc, progress);
    calc.Place();
    ASSERT_EQ(calc.ErrorCode(), FieldCalc::kNoError);
    calc.FillMatrix();
    ASSERT_EQ(progress.questions.size(), 1u);
    EXPECT_EQ(progress.questions[0], "|Вы действительно хотите прервать расчет?");
    if (yes) {
      EXPECT_EQ(calc.ErrorCode(), FieldCalc::kAborted);
      EXPECT_EQ(progress.Position(), 4);  // stopped before the fifth point
      EXPECT_EQ(calc.Coefficients()(4, 0), 0.0);
      EXPECT_NE(calc.Coefficients()(3, 0), 0.0);
    } else {
      EXPECT_EQ(calc.ErrorCode(), FieldCalc::kNoError);
      EXPECT_EQ(progress.Position(), 20);
      EXPECT_EQ(progress.cancelQueries, 21);  // no further question without a new press
    }
  }
}

TEST(FieldCalc, RightHandSidesAndGroupRows) {
  FieldCalc calc;
  testsys::Load(calc,
                "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; 1 ; 10 ; 7.5 ; 3 ; 1 ;\n"
                "De; 3 ; 2 ; 4.0 ; 1.0 ;\t\tl; 5 ; 0 ; 5 ; 10 ; 2 ; 1 ;\n"
                "Me; 4 ; 2 ;    ; 1.0 ;\t\tl; 6 ; 0 ; 6 ; 5 ; x ; 1 ; 1 ;\n"
                "Me; 4 ; 2 ;    ; 1.0 ;\t\tl; 6 ; 5 ; 6 ; 10 ; x ; 1 ; 1 ;\n");
  testsys::With(calc, [&](CalcParameters& p) { p.ExternalField = 2.0; });
  calc.Place();
  calc.FillMatrix();
  ASSERT_EQ(calc.ErrorCode(), FieldCalc::kNoError) << calc.FullErrorText();
  const size_t nc = 3 + 4 + 2;
  ASSERT_EQ(calc.Coefficients().RowNo(), nc + 1);
  // Conductor rows: U + E0*y.
  EXPECT_DOUBLE_EQ(calc.Rhs()(0, 0), 7.5 + 2.0 * 2.5);
  // Dielectric rows: 0, and -(ei-eo)*sin(normal)*E0 = 0 for a vertical line.
  EXPECT_EQ(calc.Rhs()(3, 0), 0.0);
  EXPECT_NEAR(calc.Rhs()(4, 0), 0.0, 1e-15);
  // Floating rows: E0*y and -1 in the group's column; the group row sums
  // the group's own charges.
  EXPECT_DOUBLE_EQ(calc.Rhs()(7, 0), 2.0 * 2.5);
  EXPECT_EQ(calc.Coefficients()(7, nc), -1.0);
  EXPECT_EQ(calc.Coefficients()(8, nc), -1.0);
  EXPECT_EQ(calc.Coefficients()(0, nc), 0.0);
  for (size_t j = 0; j < nc; ++j) EXPECT_EQ(calc.Coefficients()(nc, j), j >= 7 ? 1.0 : 0.0);
  EXPECT_EQ(calc.Coefficients()(nc, nc), 0.0);
  EXPECT_EQ(calc.Rhs()(nc, 0), 0.0);
  // Every coefficient is the single-charge formula (within the kernel's bound).
  const double p = PotentialCoefficient(calc.Charges()[1], calc.Points()[3]);
  const double n = NormalFieldCoefficient(calc.Charges()[5], calc.Points()[3]);
  EXPECT_NEAR(calc.Coefficients()(3, 1), p, 1e-12 * std::fabs(p));
  EXPECT_NEAR(calc.Coefficients()(4, 5), n, 1e-12 * std::fabs(n));
}

// Threads fill spans of groups of their own and take what is left of the
// others' from the back: whatever the share-out, the same bits. More
// threads than spans of work, and the exact integrals (another store path).
TEST(FieldCalc, FillIsBitIdenticalForAnyThreadCount) {
  for (const bool precise : {false, true}) {
    const int points = precise ? 60 : 300;
    const std::string system = testsys::Sphere(12, 3, points) + "De; 5 ; 2 ; 3.0 ; 1.0 ;\t\tl; 8 ; 0 ; 8 ; 20 ; " +
                               std::to_string(2 * points / 3) + " ; 1 ;\n";
    std::vector<double> first;
    for (int threads : {1, 2, 3, 7}) {
      SetWorkerThreads(threads);
      FieldCalc calc;
      testsys::Load(calc, system);
      testsys::With(calc, [&](CalcParameters& p) {
        p.UseEarth = true;
        p.Precise = precise;
      });
      calc.Place();
      calc.FillMatrix();
      ASSERT_EQ(calc.ErrorCode(), FieldCalc::kNoError);
      const size_t size = calc.Coefficients().Ld() * calc.Coefficients().ColNo();
      std::vector<double> m(calc.Coefficients().Data(), calc.Coefficients().Data() + size);
      if (first.empty()) {
        const size_t ld = calc.Coefficients().Ld();
        for (size_t r = 0; r < static_cast<size_t>(calc.TotalCharges()); ++r) {
          bool any = false;
          for (size_t j = 0; j < static_cast<size_t>(calc.TotalCharges()) && !any; ++j) any = m[j * ld + r] != 0.0;
          ASSERT_TRUE(any) << "row " << r << " not filled";
        }
        first = m;
      } else {
        EXPECT_EQ(std::memcmp(first.data(), m.data(), m.size() * sizeof(double)), 0) << threads << " " << precise;
      }
    }
  }
  SetWorkerThreads(0);
}

TEST(FieldCalc, FieldAtTwoRegionsIsTwoFieldAtCalls) {
  FieldCalc calc;
  testsys::Load(calc, testsys::Sphere(12, 3, 30) + "De; 5 ; 2 ; 3.0 ; 1.0 ;\t\tl; 8 ; 1 ; 8 ; 20 ; 20 ; 1 ;\n");
  testsys::With(calc, [&](CalcParameters& p) { p.UseEarth = true; });
  testsys::With(calc, [&](CalcParameters& p) { p.ExternalField = 0.7; });
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  for (auto [ra, rb] : {std::pair{2, 5}, {5, 2}, {1, 2}, {2, 9}}) {
    double a[3], b[3], pa, xa, ya, pb, xb, yb;
    calc.FieldAtTwo(ra, rb, 7.5, 4.0, a, b);
    calc.FieldAt(ra, 7.5, 4.0, &pa, &xa, &ya);
    calc.FieldAt(rb, 7.5, 4.0, &pb, &xb, &yb);
    EXPECT_EQ(a[0], pa);
    EXPECT_EQ(a[1], xa);
    EXPECT_EQ(a[2], ya);
    EXPECT_EQ(b[0], pb);
    EXPECT_EQ(b[1], xb);
    EXPECT_EQ(b[2], yb);
  }
}

}  // namespace
