// The capacitance and the condition estimate from the run's own factors,
// against analytic answers and LAPACK's dgecon; the fill's stops.

#include <gtest/gtest.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <thread>
#include <vector>

#include "engine/Accuracy.h"
#include "engine/Capacitance.h"
#include "engine/RingField.h"
#include "engine/matrixT.h"
#include "tests/engine/ScriptedProgress.h"
#include "tests/engine/TestSystems.h"

extern "C" {
void dgeequ_(const int* m, const int* n, const double* a, const int* lda, double* r, double* c, double* rowcnd,
             double* colcnd, double* amax, int* info);
void dgetrf_(const int* m, const int* n, double* a, const int* lda, int* ipiv, int* info);
void dgecon_(const char* norm, const int* n, const double* a, const int* lda, const double* anorm, double* rcond,
             double* work, int* iwork, int* info);
void dlacn2_(const int* n, double* v, double* x, int* isgn, double* est, int* kase, int* isave);
}

namespace {

constexpr double kFourPiEps0 = 4 * kPi * kEps0Codata;

// Place, fill and solve as the run does with the capacitance asked for:
// factorised in the matrix's own storage, the factors kept.
int SolveKeepingFactors(FieldCalc& calc) {
  testsys::With(calc, [](CalcParameters& p) { p.Capacitance = true; });
  calc.Place();
  if (calc.ErrorCode()) return calc.ErrorCode();
  calc.FillMatrix();
  if (calc.ErrorCode()) return calc.ErrorCode();
  calc.SolveCharges(false);
  return calc.ErrorCode();
}

TEST(Capacitance, SpherePlaneFromTheRunsFactorsMatchesTheImageSeries) {
  // Sphere R = 5 cm with its lowest point h above the earth (C / (4 pi eps0 R)).
  const struct {
    double h, c;
  } table[] = {{5.0, 1.341060}, {10.0, 1.201155}, {25.0, 1.090967}};
  for (const auto& row : table) {
    FieldCalc calc;
    testsys::Load(calc, testsys::Sphere(5.0 + row.h, 100, 40, 2.0));
    testsys::With(calc, [](CalcParameters& p) { p.UseEarth = true; });
    ASSERT_EQ(SolveKeepingFactors(calc), 0);
    EXPECT_TRUE(calc.Coefficients().IsFactorised());
    SolutionAnalysis a = AnalyseSolution(calc, 1);
    AddCapacitance(calc, a);
    ASSERT_EQ(a.capacitance.size(), 1u) << row.h;
    const double c = kFourPiEps0 * 0.05 * row.c;
    EXPECT_NEAR(a.capacitance[0][0], c, 3e-4 * c) << row.h;
    // The run's own charge at 100 kV agrees with it to the solve's rounding.
    EXPECT_NEAR(a.bodies[0].charge, a.capacitance[0][0] * 1e5, 1e-9 * a.bodies[0].charge) << row.h;
    EXPECT_GT(a.reciprocalCondition, kConditionWarning);
  }
}

// Inner sphere R1 = 2 cm, a conductor shell between R2 = 4 and R3 = 6 cm:
// C11 = 4 pi eps0 R1 R2 / (R2 - R1) = -C12, C22 = C11 + 4 pi eps0 R3.
TEST(Capacitance, ConcentricSpheresFromTheRunsFactorsMatchMaxwellCoefficients) {
  FieldCalc calc;
  testsys::Load(calc,
                "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 20.000 ; 2.000 ; 90.00000 ; -90.00000 ; 100 ;40 ; 2.0 ;\n"
                "Me; 3 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 20.000 ; 4.000 ; -90.00000 ; 90.00000 ; 0 ;60 ; 2.0 ;\n"
                "Me; 3 ; 4 ;    ; 1.0 ;\t\tc; 0.000 ; 20.000 ; 6.000 ; 90.00000 ; -90.00000 ; 0 ;60 ; 2.0 ;\n");
  ASSERT_EQ(SolveKeepingFactors(calc), 0);
  SolutionAnalysis a = AnalyseSolution(calc, 1);
  AddCapacitance(calc, a);
  ASSERT_EQ(a.capacitance.size(), 2u);
  const double c11 = kFourPiEps0 * 0.02 * 0.04 / 0.02, c22 = c11 + kFourPiEps0 * 0.06;
  EXPECT_NEAR(a.capacitance[0][0], c11, 1e-3 * c11);
  EXPECT_NEAR(a.capacitance[0][1], -c11, 1e-3 * c11);
  EXPECT_NEAR(a.capacitance[1][0], -c11, 1e-3 * c11);
  EXPECT_NEAR(a.capacitance[1][1], c22, 1e-3 * c22);
}

// A sphere of radius a in a coat (eps 4) out to b, in air: the body's
// charge is the free charge, C = 4 pi eps0 / ((1/a - 1/b)/eps + 1/b), and
// the largest field on the sphere is Q/(4 pi eps0 eps a^2) inside the coat.
// The conductor's line gives the coat's permittivity outside it (with 1
// there the charge came out a quarter of this: SystemWarnings names that).
TEST(Capacitance, CoatedSphereMatchesTheLayeredFormula) {
  FieldCalc calc;
  testsys::Load(calc,
                "Me; 1 ; 2 ;    ; 4.0 ;\t\tc; 0.000 ; 30.000 ; 5.000 ; 90.00000 ; -90.00000 ; 100 ;60 ; 2.0 ;\n"
                "De; 2 ; 3 ;4.0 ; 1.0 ;\t\tc; 0.000 ; 30.000 ; 7.000 ; 90.00000 ; -90.00000 ;60 ; 2.0 ;\n");
  ASSERT_EQ(SolveKeepingFactors(calc), 0);
  SolutionAnalysis a = AnalyseSolution(calc, 1);
  AddCapacitance(calc, a);
  const double inner = 0.05, outer = 0.07, eps = 4.0;  // m
  const double c = kFourPiEps0 / ((1 / inner - 1 / outer) / eps + 1 / outer);
  ASSERT_EQ(a.capacitance.size(), 1u);
  EXPECT_NEAR(a.capacitance[0][0], c, 1e-4 * c);
  ASSERT_EQ(a.bodies.size(), 1u);
  EXPECT_NEAR(a.bodies[0].charge, c * 100e3, 1e-4 * c * 100e3);  // 100 kV
  const double field = c * 100e3 / (kFourPiEps0 * eps * inner * inner) / 1e5;  // kV/cm
  // The largest field sits at the pole on the axis, where the method is
  // least accurate (1.7e-4 here, 7.5e-5 for the bare sphere).
  EXPECT_NEAR(a.bodies[0].maxField, field, 3e-4 * field);
}

// The estimate from the run's factors against dgeequ + dgetrf + dgecon on
// a copy of the same matrix. Both are the same estimator on the same
// operator; a tie broken the other way by rounding may send them down
// different paths, so they are held to a factor of two.
TEST(Capacitance, ConditionEstimateFromTheRunsFactorsAgreesWithDgecon) {
  const std::string systems[] = {
      // A floating conductor in an external field: its zero-net-charge row
      // holds ones among coefficients of order 1e10.
      "Me; 3 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 10.000 ; 3.000 ; 90.00000 ; -90.00000 ;x ; 30 ; 2.0 ;\n",
      // A conductor in a dielectric coat.
      "Me; 1 ; 2 ;    ; 4.0 ;\t\tc; 0.000 ; 30.000 ; 5.000 ; 90.00000 ; -90.00000 ; 100 ;40 ; 2.0 ;\n"
      "De; 2 ; 3 ;4.0 ; 1.0 ;\t\tc; 0.000 ; 30.000 ; 7.000 ; 90.00000 ; -90.00000 ;40 ; 2.0 ;\n"};
  for (const std::string& text : systems) {
    FieldCalc calc;
    testsys::Load(calc, text);
    testsys::With(calc, [](CalcParameters& p) {
      p.ExternalField = 10;
      p.Capacitance = true;
    });
    calc.Place();
    calc.FillMatrix();
    ASSERT_EQ(calc.ErrorCode(), 0);
    const int n = static_cast<int>(calc.Unknowns());
    std::vector<double> b(static_cast<size_t>(n) * n);
    for (int j = 0; j < n; ++j)
      for (int i = 0; i < n; ++i) b[static_cast<size_t>(j) * n + i] = calc.Coefficients()(i, j);
    calc.SolveCharges(false);
    ASSERT_EQ(calc.ErrorCode(), 0);
    const double ours = calc.Coefficients().ReciprocalCondition();

    std::vector<double> r(n), c(n);
    double rowcnd, colcnd, amax;
    int info = 0;
    dgeequ_(&n, &n, b.data(), &n, r.data(), c.data(), &rowcnd, &colcnd, &amax, &info);
    ASSERT_EQ(info, 0);
    double norm = 0.0;
    for (int j = 0; j < n; ++j) {
      double sum = 0.0;
      for (int i = 0; i < n; ++i) sum += std::fabs(b[j * n + i] *= r[i] * c[j]);
      norm = std::max(norm, sum);
    }
    std::vector<int> piv(n), iwork(n);
    std::vector<double> work(4 * n);
    dgetrf_(&n, &n, b.data(), &n, piv.data(), &info);
    ASSERT_EQ(info, 0);
    double lapack = -1.0;
    dgecon_("1", &n, b.data(), &n, &norm, &lapack, work.data(), iwork.data(), &info);
    ASSERT_GT(lapack, 0.0);
    EXPECT_GT(ours, lapack / 2) << text;
    EXPECT_LT(ours, lapack * 2) << text;
  }
}

// The estimator against LAPACK's own dlacn2 driven with the same explicit
// inverse: the same estimate to the rounding of its sums, two products
// fewer to wait for (the first and the alternating vector's are handed in),
// and never above the true norm of the inverse.
TEST(Capacitance, InverseNormEstimateTakesLapacksStepsWithTwoSolvesHandedIn) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> u(-1, 1);
  std::normal_distribution<double> spread(0.0, 3.0);
  int longest = 0, alternatingWon = 0;
  for (int round = 0; round < 3000; ++round) {
    // The inverse itself, explicitly: small ones of wildly spread entries
    // or of small integers (zeros, ties) send the iteration down its
    // branches (cycling, more rounds, the alternating vector winning); a
    // few larger random ones.
    const int n = round < 2990 ? 1 + round % 6 : 40 + 20 * (round % 4);
    std::vector<double> inv(static_cast<size_t>(n) * n);
    for (double& v : inv)
      v = round >= 2990 ? u(rng) : round % 2 ? u(rng) * std::exp(spread(rng)) : std::round(2.5 * u(rng));
    int products = 0;
    auto apply = [&](std::vector<double>& x, bool transposed) {
      std::vector<double> y(n, 0.0);
      for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
          y[i] += (transposed ? inv[static_cast<size_t>(i) * n + j] : inv[static_cast<size_t>(j) * n + i]) * x[j];
      x = y;
      ++products;
      return true;
    };
    std::vector<double> v(n), x(n);
    std::vector<int> sign(n);
    int kase = 0, isave[3] = {0, 0, 0};
    double lapack = 0.0;
    for (;;) {
      dlacn2_(&n, v.data(), x.data(), sign.data(), &lapack, &kase, isave);
      if (kase == 0) break;
      apply(x, kase == 2);
    }
    const int lapackProducts = products;
    std::vector<double> first(n, 1.0 / n), alternating(n);
    for (int i = 0; i < n; ++i) alternating[i] = (i % 2 ? -1.0 : 1.0) * (1.0 + (n > 1 ? i / (n - 1.0) : 0.0));
    apply(first, false);
    apply(alternating, false);
    products = 0;
    const double ours = math::InverseNormEstimate(n, first.data(), alternating.data(), apply);
    ASSERT_NEAR(ours, lapack, 1e-13 * lapack) << round;
    ASSERT_EQ(products + (n > 1 ? 2 : 1), lapackProducts) << round;
    double norm = 0.0, alt = 0.0;
    for (int j = 0; j < n; ++j) {
      double sum = 0.0;
      for (int i = 0; i < n; ++i) sum += std::fabs(inv[static_cast<size_t>(j) * n + i]);
      norm = std::max(norm, sum);
      alt += std::fabs(alternating[j]);
    }
    ASSERT_LE(ours, norm * (1 + 1e-13)) << round;
    longest = std::max(longest, lapackProducts);
    alternatingWon += n > 1 && ours == 2.0 * alt / (3.0 * n);
  }
  EXPECT_GE(longest, 7);  // the iteration went round more than once
  EXPECT_GT(alternatingWon, 0);
  int asked = 0;
  std::vector<double> one = {1.0, 2.0}, two = {1.0, -1.0};
  EXPECT_EQ(math::InverseNormEstimate(2, one.data(), two.data(), [&](std::vector<double>&, bool) { return ++asked > 1; }),
            -1.0);
}

// The bodies' columns ride along the estimate's first pass: the same
// solution as a solve of their own, the same estimate as without them, and
// a stop anywhere returns nothing.
TEST(Capacitance, ColumnsSolvedInTheEstimatesFirstPassMatchASolveOfTheirOwn) {
  const size_t n = 700, m = 3;  // several blocks of the factors, a ragged last one
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> u(-1, 1);
  matrixT a(n, n), b(n, m);
  for (size_t j = 0; j < n; ++j)
    for (size_t i = 0; i < n; ++i) a(i, j) = u(rng) * (j % 7 == 0 ? 1e8 : 1.0) + (i == j ? 8.0 : 0.0);
  for (size_t j = 0; j < m; ++j)
    for (size_t i = 0; i < n; ++i) b(i, j) = u(rng);
  a.Factorise({}, true);
  const matrixT alone = a.SolveFactored(b);
  const double estimate = a.ReciprocalCondition();
  ASSERT_GT(estimate, 0.0);
  double rcond = 0.0;
  const matrixT together = a.SolveFactoredWithCondition(b, rcond);
  EXPECT_EQ(rcond, estimate);
  ASSERT_EQ(together.RowNo(), n);
  ASSERT_EQ(together.ColNo(), m);
  for (size_t j = 0; j < m; ++j)
    for (size_t i = 0; i < n; ++i) EXPECT_NEAR(together(i, j), alone(i, j), 1e-12 * (1 + std::fabs(alone(i, j))));
  for (int stopAt : {1, 2}) {
    int asked = 0;
    const matrixT none = a.SolveFactoredWithCondition(b, rcond, [&] { return ++asked < stopAt; });
    EXPECT_EQ(none.RowNo(), 0u) << stopAt;
    EXPECT_EQ(rcond, -1.0) << stopAt;
  }
  matrixT plain = matrixT(2, 2);
  plain(0, 0) = 2, plain(1, 1) = 4;
  plain.Factorise();  // no scales taken: the columns, no estimate
  matrixT rhs(2, 1);
  rhs(0, 0) = 1, rhs(1, 0) = 1;
  const matrixT x = plain.SolveFactoredWithCondition(rhs, rcond);
  EXPECT_EQ(rcond, -1.0);
  EXPECT_EQ(x(1, 0), 0.25);
}

TEST(Capacitance, NoEstimateWithoutFactorsTakenForIt) {
  matrixT a(2, 2);
  a(0, 0) = 2, a(1, 1) = 3;
  EXPECT_EQ(a.ReciprocalCondition(), -1.0);
  a.Factorise();
  EXPECT_EQ(a.ReciprocalCondition(), -1.0);
  matrixT d(2, 2);
  d(0, 0) = 2, d(1, 1) = 3e10;
  d.Factorise({}, true);
  EXPECT_NEAR(d.ReciprocalCondition(), 1.0, 1e-15);  // diagonal: equilibrated to the identity
}

// The estimate is a handful of passes over the factors (a second or more
// at 16 000 unknowns): a confirmed stop ends it before the next pass and
// adds neither capacitance nor estimate; an unconfirmed one changes nothing.
TEST(Capacitance, ConditionEstimateStopsBetweenPassesOverTheFactors) {
  FieldCalc calc;
  testsys::Load(calc, testsys::Sphere(10, 100, 60, 2.0));
  ASSERT_EQ(SolveKeepingFactors(calc), 0);
  int passes = 0;
  const double full = calc.Coefficients().ReciprocalCondition([&] { return ++passes > 0; });
  ASSERT_GT(full, 0.0);
  ASSERT_GE(passes, 2);
  int asked = 0;
  EXPECT_EQ(calc.Coefficients().ReciprocalCondition([&] { return ++asked < 2; }), -1.0);
  EXPECT_EQ(asked, 2);

  ScriptedProgress declined;
  declined.cancelAt = 1;
  declined.answer = false;
  SolutionAnalysis kept = AnalyseSolution(calc, 1);
  EXPECT_TRUE(AddCapacitance(calc, kept, &declined));
  EXPECT_EQ(kept.reciprocalCondition, full);
  EXPECT_EQ(kept.capacitance.size(), 1u);

  ScriptedProgress confirmed;
  confirmed.cancelAt = 2;
  SolutionAnalysis stopped = AnalyseSolution(calc, 1);
  EXPECT_FALSE(AddCapacitance(calc, stopped, &confirmed));
  EXPECT_EQ(confirmed.cancelQueries, 2);
  EXPECT_TRUE(stopped.capacitance.empty());
  EXPECT_LT(stopped.reciprocalCondition, 0.0);
}

// Counts the progress steps made after cancel was requested.
class CountingProgress : public ScriptedProgress {
 public:
  long long steps = 0, stepsAtRequest = -1;
  long long StepForward() override {
    ++steps;
    return ScriptedProgress::StepForward();
  }
  bool CancelRequested() override {
    const bool c = ScriptedProgress::CancelRequested();
    if (c) stepsAtRequest = steps;
    return c;
  }
};

// A fill of tens of megabytes (a block the system hands out page by page)
// is touched in pieces and filled in chunks; a stop asked at any point ends
// it before the next piece or within the chunk of contour points under way.
// Once every page was written, a fill of the same block touches none.
TEST(FillStop, StopsBeforeTheNextPieceOrChunkWhereverItIsAsked) {
  FieldCalc calc;
  testsys::Load(calc, testsys::Sphere(15, 100, 2100, 2.0));
  testsys::With(calc, [](CalcParameters& p) { p.UseEarth = true; });
  calc.Place();
  ASSERT_EQ(calc.ErrorCode(), 0);
  const long long n = calc.Unknowns();
  // The first chunk is 2e6 evaluations; each next one at most twice the
  // one before (sized by the time it took).
  const long long first = static_cast<long long>(2e6 / (2.0 * static_cast<double>(n)));
  const long long chunk = 2 * first + 1;
  long long touchSteps = -1;
  for (int at : {1, 2, 3, 5, 8, 40, 400, 1100}) {
    CountingProgress ui;
    ui.cancelAt = at;
    FieldCalc::ProgressScope attached(calc, ui);
    calc.ClearError();
    calc.FillMatrix();
    ASSERT_EQ(calc.ErrorCode(), FieldCalc::kAborted) << at;
    ASSERT_GE(ui.stepsAtRequest, 0) << at;
    EXPECT_LE(ui.steps - ui.stepsAtRequest, chunk) << at;
    if (at == 1) {
      EXPECT_EQ(ui.steps, 0);
    }
    if (touchSteps < 0) touchSteps = ui.Upper() - n;
  }
  EXPECT_GT(touchSteps, 4);  // the pages were touched in pieces, each a step of the bar

  CountingProgress again;
  {
    FieldCalc::ProgressScope attached(calc, again);
    calc.ClearError();
    calc.FillMatrix();
  }
  ASSERT_EQ(calc.ErrorCode(), 0);
  EXPECT_EQ(again.Upper(), n) << "pages written by the stopped fills were touched again";
}

}  // namespace

namespace {

// Deep charges (large L/d) make the matrix nearly singular; with the
// approximate formula that amplifies its error while the check points stay
// fine, and only the condition estimate tells. Sphere R = 5 cm at 100 kV:
// 20 kV/cm at the surface.
TEST(Capacitance, ConditionWarningWhereTheApproximateFormulaDegrades) {
  struct Case {
    double ld;
    bool precise, warned;
  };
  for (const Case& c : {Case{8, false, false}, Case{12, false, true}, Case{12, true, false}}) {
    FieldCalc calc;
    testsys::Load(calc, testsys::Sphere(15, 100, 80, c.ld));
    testsys::With(calc, [&](CalcParameters& p) { p.Precise = c.precise; });
    ASSERT_EQ(SolveKeepingFactors(calc), 0);
    SolutionAnalysis a = AnalyseSolution(calc, 1);
    AddCapacitance(calc, a);
    const double fieldError = std::fabs(a.bodies[0].maxField / 20.0 - 1.0);
    const bool warned = std::any_of(a.warnings.begin(), a.warnings.end(),
                                    [](const std::string& w) { return w.find("обусловлена") != std::string::npos; });
    EXPECT_EQ(warned, c.warned) << c.ld << " " << c.precise << " rcond " << a.reciprocalCondition;
    if (c.warned) {
      EXPECT_GT(fieldError, 1e-4) << "the warning is earned";
    } else if (!c.precise) {
      EXPECT_LT(fieldError, 1e-4);
    } else {
      EXPECT_LT(fieldError, 1e-9) << "the exact formula does not degrade";
    }
  }
}

// While the question "really stop?" is on screen the other fill threads have
// nothing asked about left to take; they must wait without burning a core
// (the question may stay open for minutes).
class SlowAnswer : public ScriptedProgress {
 public:
  bool AskYesNo(Question q, const std::string& text, const std::string& caption, Icon icon) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
    return ScriptedProgress::AskYesNo(q, text, caption, icon);
  }
};

double ProcessSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

TEST(FillStop, TheOtherThreadsWaitIdleWhileTheStopQuestionIsOpen) {
  FieldCalc calc;
  // Small enough that no pages are touched first: the third cancel query
  // is the third contour point's.
  testsys::Load(calc, testsys::Sphere(15, 100, 900, 2.0));
  calc.Place();
  ASSERT_EQ(calc.ErrorCode(), 0);
  const double before = ProcessSeconds();
  calc.FillMatrix();  // the fill's own work, without a question
  const double work = ProcessSeconds() - before;
  SlowAnswer ui;
  ui.cancelAt = 3;
  ui.answer = false;  // go on after the question
  FieldCalc::ProgressScope attached(calc, ui);
  const double cpu = ProcessSeconds();
  const auto wall = std::chrono::steady_clock::now();
  calc.FillMatrix();
  const double busy = ProcessSeconds() - cpu;
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall).count();
  ASSERT_EQ(calc.ErrorCode(), FieldCalc::kNoError);
  ASSERT_EQ(ui.questions.size(), 1u);
  ASSERT_GE(took, 0.4);
  // A helper spinning through the question would add its 0.4 s.
  EXPECT_LT(busy, work + 0.2) << "CPU seconds during a fill that waited " << took << " s for an answer";
}

}  // namespace
