#pragma once
// One field system calculated from start to end, the same way for every
// front end that runs without a person at the screen (kalvor-calc, the
// Python module, studies): the optional refinement, the calculation, the
// gap curves and the analysis with the capacitance matrix.
//
// The caller reads the system and sets the parameters first; the hooks let
// it act between the stages (print the refinement rounds, save the refined
// system, write field maps) without a second copy of the sequence.

#include <functional>
#include <map>
#include <optional>
#include <string>

#include "engine/Accuracy.h"
#include "engine/CalculationRun.h"
#include "engine/FieldCalc.h"
#include "engine/Inception.h"
#include "engine/Refinement.h"

class ProgressReporter;

struct BatchOptions {
  std::optional<double> targetError;                 // refine to it when set
  long long maxUnknowns = kDefaultRefinementLimit;   // the refinement's limit
  double maxMemoryMb = 0.0;                          // its memory bound; 0: half of what is available
  double singularRadius = -1.0;                      // cm; <= 0: the default neighbourhoods
  // Each refinement round as it ends.
  std::function<void(const RefinementRound&)> onRound;
  std::optional<bool> capacitance;                   // default: on (it reuses the solve's factors)
};

struct BatchHooks {
  // After the refinement (only with a target); false ends the run as failed.
  std::function<bool(const FieldCalc&, const RefinementResult&)> afterRefinement;
  // After the calculation and the gap curves, before the analysis; false
  // ends the run as failed (the hook has said why).
  std::function<bool(const FieldCalc&)> afterSolution;
};

struct BatchResult {
  bool success = false;
  int errorCode = 0;        // the engine's code of a failure, 0 otherwise
  std::string errorText;    // its full message ("" when a hook failed)
  RunReport report;
  std::optional<RefinementResult> refinement;
  SolutionAnalysis analysis;
  // The discharge inception screening, when the parameters ask for it.
  std::optional<InceptionResult> inception;
  // Seconds by stage: refinement, place, fill, control, solve, results, gap,
  // analysis (the caller adds read and total).
  std::map<std::string, double> timings;
};

// Sets calc's capacitance switch as `options` asks for the system it holds.
void ChooseCapacitance(FieldCalc& calc, const BatchOptions& options);

// Runs the sequence on the system and parameters held by `calc`. On success
// the solution stays in `calc`.
BatchResult RunBatch(FieldCalc& calc, const BatchOptions& options, ProgressReporter& ui,
                     const BatchHooks& hooks = {});
