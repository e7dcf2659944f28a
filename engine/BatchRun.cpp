#include "engine/BatchRun.h"

#include <chrono>

#include "engine/Capacitance.h"
#include "engine/ProgressReporter.h"

namespace {

double SecondsSince(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

}  // namespace

void ChooseCapacitance(FieldCalc& calc, const BatchOptions& options) {
  CalcParameters p = calc.Parameters();
  // From the run's own factors it costs a few triangular solves and no
  // memory, so it is on at every size unless asked otherwise.
  p.Capacitance = options.capacitance.value_or(true);
  calc.SetParameters(p);
}

BatchResult RunBatch(FieldCalc& calc, const BatchOptions& options, ProgressReporter& ui, const BatchHooks& hooks) {
  BatchResult result;
  auto fail = [&](int code, std::string text) {
    result.success = false;
    result.errorCode = code;
    result.errorText = std::move(text);
    return result;
  };

  ChooseCapacitance(calc, options);
  if (options.targetError) {
    const auto start = std::chrono::steady_clock::now();
    RefinementOptions refine;
    refine.target = *options.targetError;
    refine.maxUnknowns = options.maxUnknowns;
    refine.maxMemoryMb = options.maxMemoryMb;
    refine.singularRadius = options.singularRadius;
    refine.onRound = options.onRound;
    result.refinement = RefineToTarget(calc, refine, &ui);
    result.timings["refinement"] = SecondsSince(start);
    if (result.refinement->errorCode == FieldCalc::kAborted)
      return fail(FieldCalc::kAborted, FieldCalc::MessageFor(FieldCalc::kAborted));
    if (hooks.afterRefinement && !hooks.afterRefinement(calc, *result.refinement)) return fail(0, "");
  }

  bool changed = true;
  result.report = RunCalculation(calc, changed, ui);
  for (const StageTiming& t : result.report.timings) result.timings[t.stage] += t.seconds;
  if (!result.report.success)
    return fail(result.report.errorCode, result.report.errorText.empty()
                                             ? FieldCalc::MessageFor(result.report.errorCode)
                                             : result.report.errorText);

  if (!calc.GapCurves().IsEmpty()) {
    const auto start = std::chrono::steady_clock::now();
    const int code = RunGapCalculation(calc, ui);
    if (code != 0) return fail(code, calc.FullErrorText());
    result.timings["gap"] = SecondsSince(start);
  }
  if (hooks.afterSolution && !hooks.afterSolution(calc)) return fail(0, "");

  const auto start = std::chrono::steady_clock::now();
  AnalysisOptions analysis;
  analysis.pointsBetween = result.report.parameters.PointsBetweenCPs;
  analysis.singularRadius = options.singularRadius;
  result.analysis = AnalyseSolution(calc, analysis, &ui);
  if (result.analysis.aborted) return fail(FieldCalc::kAborted, FieldCalc::MessageFor(FieldCalc::kAborted));
  if (!AddCapacitance(calc, result.analysis, &ui)) {
    calc.ReleaseMatrix();
    return fail(FieldCalc::kAborted, FieldCalc::MessageFor(FieldCalc::kAborted));
  }
  calc.ReleaseMatrix();  // the factors served the capacitance; maps and lines need the memory more
  result.timings["analysis"] = SecondsSince(start);
  if (const InceptionParameters& inception = calc.Parameters().Inception; inception.Enabled) {
    const auto begin = std::chrono::steady_clock::now();
    std::string error;
    const std::optional<GasModel> gas = GasModel::FromName(inception.Gas, error);
    if (!gas) return fail(FieldCalc::kFileOpen, error);
    result.inception = ScreenInception(calc, result.analysis, *gas, inception, &ui);
    if (result.inception->errorCode) return fail(result.inception->errorCode, result.inception->error);
    result.timings["inception"] = SecondsSince(begin);
  }
  result.success = true;
  return result;
}
