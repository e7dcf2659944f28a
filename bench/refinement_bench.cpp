// Time to accuracy of the graded refinement on the problems it is judged by,
// side by side with what a user could run instead: evenly placed contour
// points in precise mode at several times the unknowns.
//
//   kalvor-refinement-bench [--repeat N]
//
// Each line: the problem, its target, unknowns and rounds of the last run,
// the median wall time of N runs (whole refinement plus the final analysis,
// as kalvor-calc spends it) and the figure the problem is judged by, against
// the image series where one exists. The load average is printed first:
// figures taken above ~1.5 are not worth keeping.

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "LoadAverage.h"
#include "engine/Accuracy.h"
#include "engine/Blas.h"
#include "engine/FieldCalc.h"
#include "engine/Parallel.h"
#include "engine/Refinement.h"

namespace {

const char* kSpherePlane =
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 10.000 ; 5.000 ; 90.00000 ; -90.00000 ; 100.000 ; 40 ; 2.0000 ;\n";
constexpr double kSpherePlaneField = 1.77028119466 * 100.0 / 5.0;  // image series

const char* kRod =
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 24.000 ; 1.000 ; 90.00000 ; 0.00000 ; 100.000 ; 8 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 1.000 ; 24.000 ; 1.000 ; 6.000 ; 100.000 ; 40 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 6.000 ; 1.000 ; 0.00000 ; -90.00000 ; 100.000 ; 8 ; 2.0 ;\n";

const char* kLens =
    "Me; 3 ; 2 ;    ; 1.0 ;\t\tl; 0.000 ; 0.000 ; 20.000 ; 0.000 ; 0.000 ; 40 ; 2.0 ;\n"
    "Me; 3 ; 2 ;    ; 1.0 ;\t\tl; 20.000 ; 0.000 ; 20.000 ; 20.000 ; 0.000 ; 40 ; 2.0 ;\n"
    "Me; 3 ; 2 ;    ; 1.0 ;\t\tl; 20.000 ; 20.000 ; 0.000 ; 20.000 ; 0.000 ; 40 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 0.000 ; 15.000 ; 12.000 ; 15.000 ; 10.000 ; 24 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 12.000 ; 15.000 ; 12.000 ; 5.000 ; 10.000 ; 20 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 12.000 ; 5.000 ; 0.000 ; 5.000 ; 10.000 ; 24 ; 2.0 ;\n";

const char* kClosedCylinder =
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 0.000 ; 10.000 ; 5.000 ; 10.000 ; 100.000 ; 20 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 5.000 ; 10.000 ; 5.000 ; 0.000 ; 100.000 ; 40 ; 2.0 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 5.000 ; 0.000 ; 0.000 ; 0.000 ; 100.000 ; 20 ; 2.0 ;\n";

void Load(FieldCalc& calc, const std::string& text, bool earth, bool precise) {
  calc.Reset(true);
  std::istringstream in(text);
  calc.ReadSystem(in);
  CalcParameters p = calc.Parameters();
  p.UseEarth = earth;
  p.Precise = precise;
  calc.SetParameters(p);
}

struct Outcome {
  double seconds = 0.0;
  long long unknowns = 0;
  size_t rounds = 0;
  std::string stop;
  double largestField = 0.0;  // of the body, kV/cm
  double potential = 0.0;     // at the problem's point, kV
};

// One refinement to `target` and the analysis of its final system.
Outcome Refine(const char* system, bool earth, double target, double px, double py) {
  FieldCalc calc;
  Load(calc, system, earth, false);
  const auto start = std::chrono::steady_clock::now();
  RefinementOptions o;
  o.target = target;
  const RefinementResult r = RefineToTarget(calc, o, nullptr);
  const SolutionAnalysis a = AnalyseSolution(calc, 1);
  Outcome out;
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  out.unknowns = calc.Unknowns();
  out.rounds = r.rounds.size();
  out.stop = r.StopReason();
  for (const BodyFigures& b : a.bodies) out.largestField = std::max(out.largestField, b.maxField);
  double ex, ey;
  if (calc.HasSolution()) calc.FieldAt(2, px, py, &out.potential, &ex, &ey);
  return out;
}

// Evenly placed contour points, precise mode, one solve and the analysis.
Outcome Even(const char* system, bool earth, int scale) {
  FieldCalc calc;
  Load(calc, system, earth, true);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < calc.Generatrices().GetSize(); ++i) {
    std::unique_ptr<SurfData> e = calc.Generatrices()[i]->Clone();
    e->pointCount *= scale;
    e->ratioLd = 3.0;
    calc.ReplaceGeneratrix(i, std::move(e));
  }
  calc.Place();
  calc.FillMatrix();
  calc.SolveCharges(false);
  const SolutionAnalysis a = AnalyseSolution(calc, 1);
  Outcome out;
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  out.unknowns = calc.Unknowns();
  for (const BodyFigures& b : a.bodies) out.largestField = std::max(out.largestField, b.maxField);
  return out;
}

template <class Run>
Outcome Median(int repeat, Run run) {
  std::vector<Outcome> runs;
  for (int i = 0; i < repeat; ++i) runs.push_back(run());
  std::sort(runs.begin(), runs.end(), [](const Outcome& a, const Outcome& b) { return a.seconds < b.seconds; });
  return runs[runs.size() / 2];
}

void Line(const char* what, const Outcome& o, const std::string& figure) {
  std::printf("%-44s %8lld %6zu %-10s %8.3f  %s\n", what, o.unknowns, o.rounds, o.stop.c_str(), o.seconds,
              figure.c_str());
}

std::string Relative(const char* label, double value, double reference) {
  char text[96];
  std::snprintf(text, sizeof text, "%s %.3e", label, std::fabs(value - reference) / std::fabs(reference));
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  blas::SelectBestKernel(argc, argv);  // as kalvor-calc does
  int repeat = 3;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--repeat") && i + 1 < argc) {
      repeat = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: kalvor-refinement-bench [--repeat N]\n");
      return 2;
    }
  }
  const char* pinned = std::getenv("OPENBLAS_CORETYPE");
  std::printf("Kalvor refinement benchmark: %d cores, OpenBLAS kernel %s%s%s, medians of %d, load average %s\n",
              WorkerThreads(), blas::CoreName().c_str(), pinned ? " as pinned by OPENBLAS_CORETYPE=" : "",
              pinned ? pinned : "", repeat, LoadAverage().c_str());
  std::printf("%-44s %8s %6s %-10s %8s  %s\n", "problem", "unknowns", "rounds", "stop", "s", "judged by");

  const Outcome sp = Median(repeat, [] { return Refine(kSpherePlane, true, 1e-6, 0, 0); });
  Line("sphere-plane, --target-error 1e-6 (<= 0.5 s)", sp, Relative("pole field vs image series", sp.largestField,
                                                                   kSpherePlaneField));
  for (int scale : {2, 5, 10}) {
    const Outcome even = Median(repeat, [&] { return Even(kSpherePlane, true, scale); });
    char what[64];
    std::snprintf(what, sizeof what, "  instead: even, precise, L/d 3, %dx points", scale);
    Line(what, even, Relative("pole field vs image series", even.largestField, kSpherePlaneField));
  }

  const Outcome rod5 = Median(repeat, [] { return Refine(kRod, true, 1e-5, 0, 0); });
  const Outcome rod6 = Median(repeat, [] { return Refine(kRod, true, 1e-6, 0, 0); });
  Line("rod tip, --target-error 1e-5", rod5, "");
  Line("rod tip, --target-error 1e-6", rod6, Relative("tip field vs the 1e-5 run", rod6.largestField, rod5.largestField));
  std::printf("%-44s %30.3f  (both runs; <= 5 s)\n", "rod tip, both targets", rod5.seconds + rod6.seconds);

  const Outcome lens4 = Median(repeat, [] { return Refine(kLens, false, 1e-4, 12.0, 4.0); });
  const Outcome lens5 = Median(repeat, [] { return Refine(kLens, false, 1e-5, 12.0, 4.0); });
  Line("lens, --target-error 1e-4", lens4, "");
  Line("lens, --target-error 1e-5 (<= 2 s)", lens5,
       Relative("potential at (12, 4) vs the 1e-4 run", lens5.potential, lens4.potential));

  const Outcome cyl = Median(repeat, [] { return Refine(kClosedCylinder, false, 1e-4, 0, 0); });
  Line("closed cylinder, --target-error 1e-4 (<= 20 s)", cyl, "largest field outside the edges");
  std::printf("load average at the end %s\n", LoadAverage().c_str());
  return 0;
}
