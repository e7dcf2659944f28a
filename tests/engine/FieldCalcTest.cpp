// The engine object: errors, reset, counters, placement checks, the abort
// protocol and the structure of the system of equations.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/FieldCalc.h"
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
  calc.errorCode = 9;
  EXPECT_TRUE(calc.ErrorText(s));
  EXPECT_EQ(s, "Расчет прерван пользователем.");
  calc.errorCode = 13;
  s = "kept";
  EXPECT_TRUE(calc.ErrorText(s));
  EXPECT_EQ(s, "kept");
  EXPECT_EQ(FieldCalc::MessageFor(6),
            "Найдены незамкнутые области поверхностей. Данные задачи не имеют физического смысла.\n "
            "Продолжить?");
  EXPECT_EQ(FieldCalc::MessageFor(10), "Невозможно разместить матрицу в памяти");
}

TEST(FieldCalc, ResetKeepsParametersOfAnEmptySystem) {
  FieldCalc calc;
  calc.ExternalField = 5;
  calc.UseEarth = true;
  calc.ControlFilePath = "/tmp/x";
  calc.Reset(true);
  EXPECT_EQ(calc.ExternalField, 5);
  EXPECT_TRUE(calc.UseEarth);
  testsys::Load(calc, testsys::Sphere(10, 1));
  calc.ExternalField = 5;
  calc.Reset(true);
  EXPECT_EQ(calc.ExternalField, 0);
  EXPECT_FALSE(calc.UseEarth);
  EXPECT_EQ(calc.ControlFilePath, "");
  EXPECT_EQ(calc.totalPoints, 0);
}

TEST(FieldCalc, RecountCountsFloatingConductorsByBody) {
  FieldCalc calc;
  testsys::Load(calc,
                "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; 1 ; 10 ; 5 ; 10 ; 1 ;\n"
                "De; 3 ; 2 ; 4.0 ; 1.0 ;\t\tl; 2 ; 0 ; 2 ; 1 ; 5 ; 1 ;\n");
  calc.Recount();
  EXPECT_EQ(calc.totalPoints, 15);
  EXPECT_EQ(calc.totalCharges, 20);
  testsys::Load(calc,
                "Me; 4 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 1 ; 1 ; 2 ; x ; 3 ; 1 ;\n"
                "Me; 4 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 2 ; 2 ; 2 ; x ; 3 ; 1 ;\n"
                "Me; 5 ; 2 ;    ; 1.0 ;\t\tl; 3 ; 1 ; 3 ; 2 ; x ; 3 ; 1 ;\n");
  calc.Recount();
  EXPECT_EQ(calc.totalFloating, 2);
}

TEST(FieldCalc, PlaceGivesEveryChargeItsEarthImage) {
  FieldCalc calc;
  testsys::Load(calc, testsys::Sphere(10, 1, 6));
  calc.UseEarth = true;
  calc.Place();
  ASSERT_EQ(calc.errorCode, 0);
  ASSERT_EQ(calc.charges.size(), 6u);
  for (const Charge& q : calc.charges) EXPECT_TRUE(q.earthImage);
  EXPECT_EQ(calc.coefficients.RowNo(), 6u);
  EXPECT_EQ(calc.rhs.ColNo(), 1u);
}

TEST(FieldCalc, PlaceRecountsStaleCounters) {
  FieldCalc calc;
  testsys::Load(calc, testsys::Sphere(10, 1, 6));
  calc.Generatrices[0]->pointCount = 9;  // an edit that forgot to say so
  calc.Place();
  EXPECT_EQ(calc.errorCode, 0);
  EXPECT_EQ(calc.points.size(), 9u);
  EXPECT_EQ(calc.totalCharges, 9);
}

struct Refusal {
  std::string system;
  int code;
  const char* detailWord;
};

TEST(FieldCalc, PlaceRefusesSystemsTheEquationsCannotHold) {
  const std::string ok = "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; 1 ; 10 ; 5 ; 4 ; 1 ;\n";
  const Refusal cases[] = {
      {"Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; nan ; 10 ; 5 ; 4 ; 1 ;\n", 3, "Образующая 1"},
      {ok + "Me; 1 ; 2 ;    ; inf ;\t\tl; 1 ; 0 ; 1 ; 10 ; 5 ; 4 ; 1 ;\n", 3, "Образующая 2"},
      {"Me; 0 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; 1 ; 10 ; x ; 4 ; 1 ;\n", 12, "0"},
      {"Me; 4 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; 1 ; 1 ; x ; 4 ; 1 ;\n" + ok +
           "Me; 4 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 1 ; 2 ; 2 ; x ; 4 ; 1 ;\n",
       12, "Образующая 3"},
      {"Me; 4 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; 1 ; 1 ; x ; 4 ; 1 ;\n"
       "De; 4 ; 2 ; 2.0 ; 1.0 ;\t\tl; 3 ; 0 ; 3 ; 1 ; 4 ; 1 ;\n",
       12, "Образующая 2"},
      // A half circle with one point and L/d 0.8 puts its charge behind the axis.
      {"Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0 ; 0 ; 5 ; 90 ; -90 ; 5 ; 1 ; 0.8 ;\n", 12, "осью"},
      {"Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; 1 ; 10 ; 5 ; 100000000 ; 1 ;\n", 10, "ГБ"},
      // With the earth plane nothing may lie below it.
      {ok + testsys::Sphere(0, 1, 4), 8, "Образующая 2"},
  };
  for (const Refusal& r : cases) {
    FieldCalc calc;
    testsys::Load(calc, r.system);
    calc.UseEarth = r.code == 8;
    ASSERT_EQ(calc.errorCode, 0) << r.system;
    calc.Place();
    EXPECT_EQ(calc.errorCode, r.code) << r.system;
    EXPECT_NE(calc.FullErrorText().find(r.detailWord), std::string::npos) << calc.FullErrorText();
    EXPECT_EQ(calc.FullErrorText().rfind(FieldCalc::MessageFor(r.code), 0), 0u);
  }
}

TEST(FieldCalc, AbortProtocol) {
  for (bool yes : {true, false}) {
    FieldCalc calc;
    testsys::Load(calc, testsys::Sphere(10, 1, 20));
    ScriptedProgress progress;
    progress.cancelAt = 1 + 5;  // placement asks once, then the fifth fill point
    progress.answer = yes;
    calc.SetProgress(&progress);
    calc.Place();
    ASSERT_EQ(calc.errorCode, 0);
    calc.FillMatrix();
    ASSERT_EQ(progress.questions.size(), 1u);
    EXPECT_EQ(progress.questions[0], "|Вы действительно хотите прервать расчет?");
    if (yes) {
      EXPECT_EQ(calc.errorCode, 9);
      EXPECT_EQ(progress.Position(), 4);  // stopped before the fifth point
      EXPECT_EQ(calc.coefficients(4, 0), 0.0);
      EXPECT_NE(calc.coefficients(3, 0), 0.0);
    } else {
      EXPECT_EQ(calc.errorCode, 0);
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
  calc.ExternalField = 2.0;
  calc.Place();
  calc.FillMatrix();
  ASSERT_EQ(calc.errorCode, 0) << calc.FullErrorText();
  const size_t nc = 3 + 4 + 2;
  ASSERT_EQ(calc.coefficients.RowNo(), nc + 1);
  // Conductor rows: U + E0*y.
  EXPECT_DOUBLE_EQ(calc.rhs(0, 0), 7.5 + 2.0 * 2.5);
  // Dielectric rows: 0, and -(ei-eo)*sin(normal)*E0 = 0 for a vertical line.
  EXPECT_EQ(calc.rhs(3, 0), 0.0);
  EXPECT_NEAR(calc.rhs(4, 0), 0.0, 1e-15);
  // Floating rows: E0*y and -1 in the group's column; the group row sums
  // the group's own charges.
  EXPECT_DOUBLE_EQ(calc.rhs(7, 0), 2.0 * 2.5);
  EXPECT_EQ(calc.coefficients(7, nc), -1.0);
  EXPECT_EQ(calc.coefficients(8, nc), -1.0);
  EXPECT_EQ(calc.coefficients(0, nc), 0.0);
  for (size_t j = 0; j < nc; ++j) EXPECT_EQ(calc.coefficients(nc, j), j >= 7 ? 1.0 : 0.0);
  EXPECT_EQ(calc.coefficients(nc, nc), 0.0);
  EXPECT_EQ(calc.rhs(nc, 0), 0.0);
  // Every coefficient is the single-charge formula (within the kernel's bound).
  const double p = PotentialCoefficient(calc.charges[1], calc.points[3]);
  const double n = NormalFieldCoefficient(calc.charges[5], calc.points[3]);
  EXPECT_NEAR(calc.coefficients(3, 1), p, 1e-12 * std::fabs(p));
  EXPECT_NEAR(calc.coefficients(4, 5), n, 1e-12 * std::fabs(n));
}

TEST(FieldCalc, FillIsBitIdenticalForAnyThreadCount) {
  const std::string system = testsys::Sphere(12, 3, 300) +
                             "De; 5 ; 2 ; 3.0 ; 1.0 ;\t\tl; 8 ; 0 ; 8 ; 20 ; 200 ; 1 ;\n";
  std::vector<double> first;
  for (int threads : {1, 2, 3}) {
    SetWorkerThreads(threads);
    FieldCalc calc;
    testsys::Load(calc, system);
    calc.UseEarth = true;
    calc.Place();
    calc.FillMatrix();
    ASSERT_EQ(calc.errorCode, 0);
    const size_t n = calc.coefficients.RowNo();
    std::vector<double> m(calc.coefficients.Data(), calc.coefficients.Data() + n * n);
    if (first.empty())
      first = m;
    else
      EXPECT_EQ(std::memcmp(first.data(), m.data(), m.size() * sizeof(double)), 0) << threads;
  }
  SetWorkerThreads(0);
}

TEST(FieldCalc, FieldAtTwoRegionsIsTwoFieldAtCalls) {
  FieldCalc calc;
  testsys::Load(calc, testsys::Sphere(12, 3, 30) + "De; 5 ; 2 ; 3.0 ; 1.0 ;\t\tl; 8 ; 1 ; 8 ; 20 ; 20 ; 1 ;\n");
  calc.UseEarth = true;
  calc.ExternalField = 0.7;
  ASSERT_EQ(testsys::Solve(calc), 0);
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
