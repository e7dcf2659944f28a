// kalvor-calc: the calculation of a field-system file without the desktop
// program, for batch runs and scripts.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cli/ConsoleProgress.h"
#include "cli/FieldViewOutput.h"
#include "cli/Options.h"
#include "cli/Summary.h"
#include "engine/Accuracy.h"
#include "engine/Blas.h"
#include "engine/CalculationRun.h"
#include "engine/FieldCalc.h"
#include "engine/GapCurves.h"
#include "engine/Refinement.h"
#include "engine/SystemWarnings.h"
#include "model/TextFormat.h"

namespace {

namespace fs = std::filesystem;

std::string ConsoleText(std::string s) {
  for (size_t p; (p = s.find("\r\n")) != std::string::npos;) s.erase(p, 1);
  return s;
}

void PrintReadError(int code, int line, const std::string& path) {
  std::fprintf(stderr, "%s\n", FieldCalc::MessageFor(code).c_str());
  if (line > 0)
    std::fprintf(stderr, "%s: строка %d\n", path.c_str(), line);
  else
    std::fprintf(stderr, "%s\n", path.c_str());
}

double PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  const std::optional<CalcOptions> parsed = ParseOptions(args, error);
  if (!parsed) {
    std::fprintf(stderr, "kalvor-calc: %s\n\n%s", error.c_str(), UsageText().c_str());
    return 2;
  }
  const CalcOptions& opt = *parsed;
  if (opt.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (opt.version) {
    std::fputs(VersionText().c_str(), stdout);
    return 0;
  }
  blas::SelectBestKernel(argc, argv);
  const auto start = std::chrono::steady_clock::now();
  auto seconds = [](auto from) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
  };

  FieldCalc calc;
  {
    std::ifstream in(opt.systemFile, std::ios::binary);
    if (!in || fs::is_directory(opt.systemFile)) {
      std::fprintf(stderr, "%s\n%s\n", FieldCalc::MessageFor(FieldCalc::kFileOpen).c_str(),
                   opt.systemFile.c_str());
      return 1;
    }
    calc.ReadSystem(in);
    if (calc.ErrorCode() == FieldCalc::kNoLines || calc.ErrorCode() == FieldCalc::kBadKindLetter) {
      PrintReadError(calc.ErrorCode(), calc.ErrorLine(), opt.systemFile);
      return 1;
    }
  }
  const double readSeconds = seconds(start);

  CalcParameters params;
  params.ResultsFolder = opt.resultsFolder.value_or(fs::absolute(opt.systemFile).parent_path().string());
  params.TestClosure = opt.testClosure;
  params.ControlCalc = opt.control;
  params.ControlPotentials = opt.controlPotentials;
  params.DumpMatrix = opt.dumpMatrix;
  params.DumpInverseMatrix = opt.dumpInverse;
  params.SurfaceResults = opt.surfaceResults;
  params.PointsBetweenCPs = opt.pointsBetween;
  params.ExternalField = opt.externalField;
  params.UseEarth = opt.earth;
  params.ControlFilePath = opt.controlFile.value_or(ControlFileIn(params.ResultsFolder));
  params.Precise = opt.precise;
  calc.SetParameters(params);

  if (opt.gapCurves) {
    std::ifstream in(*opt.gapCurves, std::ios::binary);
    if (!in || fs::is_directory(*opt.gapCurves)) {
      std::fprintf(stderr, "%s\n%s\n", FieldCalc::MessageFor(FieldCalc::kFileOpen).c_str(),
                   opt.gapCurves->c_str());
      return 1;
    }
    CSurfColl curves;
    const ElementReadResult r = LoadGapCurves(curves, in);
    if (r.errorCode) {
      PrintReadError(r.errorCode, r.errorLine, *opt.gapCurves);
      return 1;
    }
    // Refused before the calculation rather than after it.
    if (const std::string problem = GapCurveProblem(curves); !problem.empty()) {
      std::fprintf(stderr, "%s\n%s\n%s\n", FieldCalc::MessageFor(FieldCalc::kBadParameter).c_str(),
                   problem.c_str(), opt.gapCurves->c_str());
      return 1;
    }
    calc.SetGapCurves(std::move(curves));
  }

  auto chooseCapacitance = [&] {
    CalcParameters p = calc.Parameters();
    p.Capacitance = opt.capacitance.value_or(calc.Unknowns() <= kAutoCapacitanceUnknowns);
    calc.SetParameters(p);
  };
  chooseCapacitance();
  for (const std::string& w : SystemWarnings(calc.Generatrices()))
    std::fprintf(stderr, "Предупреждение: %s\n", ConsoleText(w).c_str());
  std::printf("%s", ConsoleText(ParameterSummary(calc.Parameters())).c_str());
  std::printf("Образующих: %d, кривых в промежутке: %d\n", calc.Generatrices().GetSize(),
              calc.GapCurves().GetSize());
  std::fflush(stdout);

  ConsoleProgress console(opt.quiet, opt.yes);
  std::optional<RefinementResult> refinement;
  double refinementSeconds = 0.0;
  if (opt.targetError) {
    const auto refineStart = std::chrono::steady_clock::now();
    refinement = RefineToTarget(calc, *opt.targetError, opt.maxUnknowns, &console);
    refinementSeconds = seconds(refineStart);
    for (size_t r = 0; r < refinement->rounds.size(); ++r)
      std::printf("Уточнение, шаг %zu: неизвестных %lld, наибольшая ошибка %.2e\n", r + 1,
                  refinement->rounds[r].unknowns, refinement->rounds[r].worstError);
    if (refinement->errorCode)
      std::fprintf(stderr, "Уточнение остановлено: %s\n", refinement->errorText.c_str());
    if (refinement->errorCode == FieldCalc::kAborted) return 1;
    if (refinement->targetMet)
      std::printf("Цель %.2e достигнута\n", *opt.targetError);
    else if (refinement->limitReached)
      std::printf("Цель %.2e не достигнута: следующий шаг превысил бы предел неизвестных %lld\n", *opt.targetError,
                  opt.maxUnknowns);
    else if (refinement->stalled)
      std::printf("Цель %.2e не достигнута: ошибка перестала уменьшаться%s\n", *opt.targetError,
                  opt.precise ? "" : " (приближенные K и E ограничивают ее около 2e-5; попробуйте --precise)");
    else
      std::printf("Цель %.2e не достигнута\n", *opt.targetError);
    if (opt.saveRefined) {
      std::ofstream out(*opt.saveRefined, std::ios::binary | std::ios::trunc);
      calc.WriteSystem(out);
      out.close();
      if (!out) {
        std::fprintf(stderr, "%s\n%s\n", FieldCalc::MessageFor(FieldCalc::kFileOpen).c_str(), opt.saveRefined->c_str());
        return 1;
      }
    }
    std::fflush(stdout);
  }

  if (refinement) chooseCapacitance();
  bool changed = true;
  const RunReport report = RunCalculation(calc, changed, console);
  if (!report.success) return 1;

  double gapSeconds = 0.0;
  if (!calc.GapCurves().IsEmpty()) {
    const auto gapStart = std::chrono::steady_clock::now();
    if (RunGapCalculation(calc, console) != 0) {
      std::fprintf(stderr, "Error: %s\n", calc.FullErrorText().c_str());
      return 1;
    }
    gapSeconds = seconds(gapStart);
  }
  if (WriteFieldViews(calc, opt, console) != 0) return 1;
  const auto analysisStart = std::chrono::steady_clock::now();
  SolutionAnalysis analysis = AnalyseSolution(calc, report.parameters.PointsBetweenCPs);
  AddCapacitance(calc, analysis);
  const double analysisSeconds = seconds(analysisStart);
  const double totalSeconds = seconds(start);

  std::map<std::string, double> stage;
  for (const StageTiming& t : report.timings) stage[t.stage] += t.seconds;
  std::printf("Контурных точек: %lld, зарядов: %lld, неизвестных: %lld\n", calc.TotalPoints(),
              calc.TotalCharges(), calc.Unknowns());
  std::printf("Время, с: размещение %.3f, матрица %.3f, решение %.3f, контроль %.3f, результаты %.3f, "
              "промежуток %.3f\n",
              stage["place"], stage["fill"], stage["solve"], stage["control"], stage["results"], gapSeconds);
  std::printf("Наибольшая напряженность на образующих, кВ/см:\n");
  for (int i = 0; i < calc.Generatrices().GetSize(); ++i)
    std::printf("  %2d: %.5g\n", i + 1, calc.MaxSurfaceField(i, report.parameters.PointsBetweenCPs));
  std::printf("%s", AnalysisText(calc, analysis).c_str());
  for (const std::string& w : analysis.warnings) std::fprintf(stderr, "Предупреждение: %s\n", w.c_str());
  if (opt.summaryFile) {
    SummaryInput in;
    in.calc = &calc;
    in.report = &report;
    in.analysis = &analysis;
    in.refinement = refinement ? &*refinement : nullptr;
    in.targetError = opt.targetError;
    in.maxUnknowns = opt.maxUnknowns;
    for (const StageTiming& t : report.timings) in.timings[t.stage] += t.seconds;
    in.timings["read"] = readSeconds;
    in.timings["refinement"] = refinementSeconds;
    in.timings["gap"] = gapSeconds;
    in.timings["analysis"] = analysisSeconds;
    in.timings["total"] = totalSeconds;
    std::ofstream out(*opt.summaryFile, std::ios::binary | std::ios::trunc);
    out << SummaryJson(in);
    out.close();
    if (!out) {
      std::fprintf(stderr, "%s\n%s\n", FieldCalc::MessageFor(FieldCalc::kFileOpen).c_str(), opt.summaryFile->c_str());
      return 1;
    }
  }
  if (opt.timings) {
    std::printf("timing read %.6f\n", readSeconds);
    for (const char* s : {"place", "fill", "solve", "control", "results"})
      std::printf("timing %s %.6f\n", s, stage[s]);
    std::printf("timing gap %.6f\n", gapSeconds);
    std::printf("timing total %.6f\n", totalSeconds);
    std::printf("peak_rss_mb %.0f\n", PeakRssMb());
  }
  return 0;
}
