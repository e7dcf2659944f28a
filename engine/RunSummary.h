#pragma once
// The machine-readable summary of a run (kalvor-calc --summary FILE.json,
// the Python module's Result.summary) and the console lines of the
// accuracy, body and capacitance figures.

#include <map>
#include <optional>
#include <string>

#include "engine/Accuracy.h"
#include "engine/BatchRun.h"
#include "engine/CalculationRun.h"
#include "engine/Refinement.h"

struct SummaryInput {
  const FieldCalc* calc = nullptr;
  const RunReport* report = nullptr;
  const SolutionAnalysis* analysis = nullptr;
  const RefinementResult* refinement = nullptr;  // null without --target-error
  std::optional<double> targetError;
  long long maxUnknowns = 0;
  std::map<std::string, double> timings;  // seconds by stage
  const InceptionResult* inception = nullptr;  // null without the screening
};

// The summary as JSON text (schema 1).
std::string SummaryJson(const SummaryInput& in);

// The summary of a successful RunBatch; `timings` are the batch's with the
// caller's read and total stages added.
std::string SummaryJson(const FieldCalc& calc, const BatchResult& result, const BatchOptions& options,
                        const std::map<std::string, double>& timings);

// The figures after the run's usual output, as console text.
std::string AnalysisText(const FieldCalc& calc, const SolutionAnalysis& a);
