// kalvor-calc: the calculation of a field-system file without the desktop
// program, for batch runs and scripts.

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "cli/ConsoleProgress.h"
#include "cli/FieldViewOutput.h"
#include "cli/Options.h"
#include "cli/SweepCommand.h"
#include "engine/AtomicFile.h"
#include "engine/BatchRun.h"
#include "engine/Blas.h"
#include "engine/FieldCalc.h"
#include "engine/GapCurves.h"
#include "engine/GasModel.h"
#include "engine/Inception.h"
#include "engine/GeometrySteps.h"
#include "engine/RunSummary.h"
#include "engine/SidecarFile.h"
#include "engine/SystemWarnings.h"
#include "model/TextFormat.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

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

void PrintOpenError(const std::string& path) {
  std::fprintf(stderr, "%s\n%s\n", FieldCalc::MessageFor(FieldCalc::kFileOpen).c_str(), path.c_str());
}

// Every output goes through the atomic write: a failure keeps the previous
// file whole and names the cause.
bool WriteOutput(const std::string& path, const std::string& bytes) {
  if (const std::string cause = WriteFileAtomically(path, bytes); !cause.empty()) {
    std::fprintf(stderr, "Не удается записать файл %s: %s\n", path.c_str(), cause.c_str());
    return false;
  }
  return true;
}

double PeakRssMb() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

bool ReadSystemFile(FieldCalc& calc, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in || fs::is_directory(path)) {
    PrintOpenError(path);
    return false;
  }
  calc.ReadSystem(in);
  // A line of no known kind, a number that overflows, no lines at all.
  if (calc.ErrorCode() != FieldCalc::kNoError) {
    PrintReadError(calc.ErrorCode(), calc.ErrorLine(), path);
    return false;
  }
  return true;
}

// The notes and warnings of the geometry steps; true when they succeeded.
bool ReportGeometry(const GeometryStepsOutcome& g) {
  for (const std::string& n : g.notes) std::fprintf(stderr, "Замечание: %s\n", n.c_str());
  for (const std::string& w : g.warnings) std::fprintf(stderr, "Предупреждение: %s\n", w.c_str());
  if (!g.Ok()) std::fprintf(stderr, "%s\n", g.error.c_str());
  return g.Ok();
}

// The parameters of the run: those of a freshly opened file, then those
// saved beside the system (FILE.txt.kalvor.ini) unless --no-sidecar, then
// the options given. Its gap curves serve when --gap-curves is not given.
// A value the file spoils is named and keeps its default. False (after the
// message) when the options do not fit.
bool SetParameters(FieldCalc& calc, const CalcOptions& opt, std::vector<std::string>& inputs) {
  CalcParameters params;
  // Results beside the file the system came from: the system file or the drawing.
  const std::string& source = opt.geometry.importDxf ? *opt.geometry.importDxf : opt.systemFile;
  params.ResultsFolder = fs::absolute(source).parent_path().string();
  params.ControlFilePath = ControlFileIn(params.ResultsFolder);
  if (!opt.noSidecar && !opt.geometry.importDxf) {
    sidecar::Contents saved = sidecar::Read(opt.systemFile, params);
    if (!saved.problem.empty()) std::fprintf(stderr, "Предупреждение: %s\n", saved.problem.c_str());
    if (saved.found) {
      const std::string path = sidecar::PathFor(opt.systemFile);
      inputs.push_back(path);
      params = saved.parameters;
      std::printf("Параметры расчета из файла %s\n", path.c_str());
      if (saved.hasGapCurves && !opt.gapCurves && !saved.gapCurves.IsEmpty()) {
        if (const std::string problem = GapCurveProblem(saved.gapCurves); !problem.empty()) {
          std::fprintf(stderr, "Предупреждение: кривые в промежутке из файла %s не взяты: %s\n", path.c_str(),
                       problem.c_str());
        } else {
          std::printf("Кривые в промежутке из файла %s: %d\n", path.c_str(), saved.gapCurves.GetSize());
          calc.SetGapCurves(std::move(saved.gapCurves));
        }
      }
    }
  }
  if (const std::string problem = ApplyParameterOptions(opt, params); !problem.empty()) {
    std::fprintf(stderr, "kalvor-calc: %s\n", problem.c_str());
    return false;
  }
  calc.SetParameters(params);
  return true;
}

bool ReadGapCurveFile(FieldCalc& calc, const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in || fs::is_directory(path)) {
    PrintOpenError(path);
    return false;
  }
  CSurfColl curves;
  const ElementReadResult r = LoadGapCurves(curves, in);
  if (r.errorCode) {
    PrintReadError(r.errorCode, r.errorLine, path);
    return false;
  }
  // Refused before the calculation rather than after it.
  if (const std::string problem = GapCurveProblem(curves); !problem.empty()) {
    std::fprintf(stderr, "%s\n%s\n%s\n", FieldCalc::MessageFor(FieldCalc::kBadParameter).c_str(), problem.c_str(),
                 path.c_str());
    return false;
  }
  calc.SetGapCurves(std::move(curves));
  return true;
}

// One refinement round as it ends.
void PrintRound(const RefinementRound& r, int number) {
  std::printf("Уточнение, шаг %d: неизвестных %lld (матрица %.0f МБ), ошибка потенциала %.2e, "
              "погрешность напряженности %.2e, наибольшая напряженность %.6g кВ/см, %.2f с%s\n",
              number, r.unknowns, r.memoryMb, r.worstError, r.worstFieldError, r.largestField, r.seconds,
              r.precise ? ", точный режим" : "");
  std::fflush(stdout);
}

// Prints how the refinement ended and saves the refined system; false when
// the save failed.
bool ReportRefinement(const FieldCalc& calc, const RefinementResult& r, const CalcOptions& opt) {
  if (r.switchedForFormula)
    std::printf("Приближенная формула кольца не позволяла достичь цели (достигнуто ограничение модуля "
                "k^2 <= 0.9999 или уточнение с ней перестало сходиться): с шага %d уточнение считало в "
                "точном режиме\n",
                r.switchedAtRound);
  else if (r.switchedToPrecise)
    std::printf("Цель %.2e ниже предела приближенной формулы кольца (%.0e): уточнение считало в точном режиме\n",
                *opt.targetError, kApproximateFormulaFloor);
  if (r.errorCode) std::fprintf(stderr, "Уточнение остановлено: %s\n", r.errorText.c_str());
  const double reached = r.rounds.empty() ? 0.0 : std::max(r.rounds.back().worstError, r.rounds.back().worstFieldError);
  if (r.targetMet)
    std::printf("Цель %.2e достигнута (остановка: target_met)\n", *opt.targetError);
  else if (r.memoryLimited)
    std::fprintf(stderr,
                 "Предупреждение: цель %.2e не достигнута: следующий шаг (%lld неизвестных, матрица %.0f МБ) "
                 "превысил бы предел памяти %.0f МБ; достигнуто %.2e (остановка: memory)\n",
                 *opt.targetError, r.nextUnknowns, r.nextMemoryMb, r.maxMemoryMb, reached);
  else if (r.limitReached)
    std::printf("Цель %.2e не достигнута: следующий шаг (%lld неизвестных) превысил бы предел неизвестных %lld; "
                "достигнуто %.2e (остановка: limit)\n",
                *opt.targetError, r.nextUnknowns, opt.maxUnknowns, reached);
  else if (r.stalled)
    std::printf("Цель %.2e не достигнута: погрешность перестала уменьшаться; достигнуто %.2e (остановка: stalled)\n",
                *opt.targetError, reached);
  else
    std::printf("Цель %.2e не достигнута\n", *opt.targetError);
  std::fflush(stdout);
  if (!opt.saveRefined) return true;
  std::ostringstream text;
  const int merged = WriteRefinedSystem(calc, text);
  if (merged > 0)
    std::fprintf(stderr,
                 "Предупреждение: %s: файл хранит координаты с точностью 0.001 см; у %d участков самые мелкие ячейки "
                 "уточнения записаны одной образующей с равномерными КТ, поэтому сохраненная система там грубее "
                 "уточненной\n",
                 opt.saveRefined->c_str(), merged);
  return WriteOutput(*opt.saveRefined, text.str());
}

void PrintResults(const FieldCalc& calc, const BatchResult& result) {
  std::map<std::string, double> stage = result.timings;
  std::printf("Контурных точек: %lld, зарядов: %lld, неизвестных: %lld\n", calc.TotalPoints(), calc.TotalCharges(),
              calc.Unknowns());
  std::printf("Время, с: размещение %.3f, матрица %.3f, решение %.3f, контроль %.3f, результаты %.3f, "
              "промежуток %.3f\n",
              stage["place"], stage["fill"], stage["solve"], stage["control"], stage["results"], stage["gap"]);
  // The analysis's largest field: the number of the summary, the bodies
  // and the desktop's results pane.
  std::printf("Наибольшая напряженность на образующих, кВ/см:\n");
  for (const GeneratrixAccuracy& g : result.analysis.generatrices)
    std::printf("  %2d: %.5g\n", g.index + 1, g.maxField);
  std::printf("%s", AnalysisText(calc, result.analysis).c_str());
  for (const std::string& w : result.analysis.warnings) std::fprintf(stderr, "Предупреждение: %s\n", w.c_str());
}

bool WriteSummary(const std::string& path, const FieldCalc& calc, const BatchResult& result,
                  const BatchOptions& options, const std::map<std::string, double>& timings) {
  return WriteOutput(path, SummaryJson(calc, result, options, timings));
}

void PrintTimings(std::map<std::string, double> stage) {
  std::printf("timing read %.6f\n", stage["read"]);
  for (const char* s : {"place", "fill", "solve", "control", "results"}) std::printf("timing %s %.6f\n", s, stage[s]);
  std::printf("timing gap %.6f\n", stage["gap"]);
  std::printf("timing total %.6f\n", stage["total"]);
  std::printf("peak_rss_mb %.0f\n", PeakRssMb());
}

// Every file the run will write, checked before anything is calculated, so
// that a run that could not keep its results ends at once and writes
// nothing: the folder exists and takes a file, the path is no folder or
// device, and no output is one of the inputs. False after the message.
bool CheckOutputs(const CalcOptions& opt, const std::vector<std::string>& inputs, FieldCalc& calc) {
  const CalcParameters& p = calc.Parameters();
  calc.SetInputFiles(inputs);
  // Paths the parameters file gave are named as such.
  const bool saved = IsOneOf(sidecar::PathFor(opt.systemFile), inputs);
  const char* control = opt.controlFile ? "--control-file"
                        : opt.resultsFolder ? "--results"
                        : saved ? "контрольный файл из файла параметров системы"
                                : nullptr;
  std::vector<std::pair<std::string, const char*>> outputs{{p.ControlFilePath, control}};
  if (p.SurfaceResults || !calc.GapCurves().IsEmpty())
    outputs.push_back({(fs::path(p.ResultsFolder) / FieldCalc::SurfaceFileName(1)).string(),
                       !opt.resultsFolder && saved ? "папка результатов из файла параметров системы" : "--results"});
  for (const auto& [file, option] : {std::pair{&opt.mapFile, "--map"}, std::pair{&opt.fieldLinesFile, "--field-lines"},
                                     std::pair{&opt.summaryFile, "--summary"},
                                     std::pair{&opt.saveRefined, "--save-refined"}})
    if (*file) outputs.push_back({**file, option});
  for (const auto& [path, option] : outputs) {
    std::string cause;
    if (IsOneOf(path, inputs))
      cause = "это исходный файл расчета, он не будет перезаписан";
    else
      cause = CheckWritable(path);
    if (cause.empty()) continue;
    std::fprintf(stderr, "Не удается записать файл %s: %s%s%s%s\n", path.c_str(), cause.c_str(),
                 option ? " (" : "", option ? option : "", option ? ")" : "");
    return false;
  }
  if (!calc.CheckOutputsAreNotInputs(false) || (!calc.GapCurves().IsEmpty() && !calc.CheckOutputsAreNotInputs(true))) {
    std::fprintf(stderr, "%s\n", calc.FullErrorText().c_str());
    return false;
  }
  return true;
}

int Calculate(const CalcOptions& opt) {
  const auto start = Clock::now();
  FieldCalc calc;
  if (opt.geometry.importDxf) {
    if (!ReportGeometry(ImportDxfInto(calc, opt.geometry))) return 1;
  } else if (!ReadSystemFile(calc, opt.systemFile)) {
    return 1;
  }
  // Roundings by the file's numbers, then the system saved and exported.
  if (!ReportGeometry(ApplyGeometrySteps(calc, opt.geometry))) return 1;
  const double readSeconds = SecondsSince(start);
  std::vector<std::string> inputs{opt.systemFile};
  if (!SetParameters(calc, opt, inputs)) return 2;
  if (!opt.sweeps.empty()) return RunSweepCommand(calc, opt);
  if (opt.gapCurves) {
    if (!ReadGapCurveFile(calc, *opt.gapCurves)) return 1;
    inputs.push_back(*opt.gapCurves);
  }
  if (const InceptionParameters& inception = calc.Parameters().Inception; inception.Enabled) {
    // Refused before the calculation rather than after it.
    std::string problem;
    if (!GasModel::FromName(inception.Gas, problem)) {
      std::fprintf(stderr, "%s\n", problem.c_str());
      return 2;
    }
    if (problem = InceptionPointProblem(calc, inception); !problem.empty()) {
      std::fprintf(stderr, "kalvor-calc: --inception-from: %s\n", problem.c_str());
      return 2;
    }
  }
  if (!CheckOutputs(opt, inputs, calc)) return 2;

  BatchOptions batch;
  batch.targetError = opt.targetError;
  batch.maxUnknowns = opt.maxUnknowns;
  batch.maxMemoryMb = opt.maxMemoryMb;
  batch.singularRadius = opt.singularRadius.value_or(-1.0);
  int round = 0;
  batch.onRound = [&](const RefinementRound& r) { PrintRound(r, ++round); };
  batch.capacitance = calc.Parameters().Capacitance;
  ChooseCapacitance(calc, batch);
  for (const std::string& w : SystemWarnings(calc.Generatrices()))
    std::fprintf(stderr, "Предупреждение: %s\n", ConsoleText(w).c_str());
  std::printf("%s", ConsoleText(ParameterSummary(calc.Parameters())).c_str());
  std::printf("Образующих: %d, кривых в промежутке: %d\n", calc.Generatrices().GetSize(), calc.GapCurves().GetSize());
  std::fflush(stdout);

  ConsoleProgress console(opt.quiet, opt.yes);
  BatchHooks hooks;
  hooks.afterRefinement = [&](const FieldCalc& c, const RefinementResult& r) { return ReportRefinement(c, r, opt); };
  hooks.afterSolution = [&](const FieldCalc& c) { return WriteFieldViews(c, opt, console) == 0; };
  const BatchResult result = RunBatch(calc, batch, console, hooks);
  if (!result.success) {
    // A failed calculation has been reported by the console; a failed gap
    // calculation has not.
    if (result.report.success && !result.errorText.empty()) std::fprintf(stderr, "%s\n", result.errorText.c_str());
    return 1;
  }

  std::map<std::string, double> timings = result.timings;
  timings["read"] = readSeconds;
  timings["total"] = SecondsSince(start);
  PrintResults(calc, result);
  if (result.inception) std::printf("%s", InceptionText(*result.inception).c_str());
  if (opt.summaryFile && !WriteSummary(*opt.summaryFile, calc, result, batch, timings)) return 1;
  if (opt.timings) PrintTimings(timings);
  return 0;
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
  if (parsed->help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (parsed->version) {
    std::fputs(VersionText().c_str(), stdout);
    return 0;
  }
  blas::SelectBestKernel(argc, argv);
  return Calculate(*parsed);
}
