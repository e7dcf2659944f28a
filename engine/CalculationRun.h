#pragma once
// The calculation command, once, for every front end: from the reset to
// "Расчет завершен". The front end shows ParameterSummary and asks for
// confirmation first and afterwards closes its progress display. Every
// failure is shown once (caption "Error", stop icon) and discards all
// results, so nothing can read discarded charges.

#include <string>
#include <vector>

#include "engine/CalcParameters.h"
#include "engine/FieldCalc.h"

class ProgressReporter;

struct StageTiming {
  std::string stage;  // place, fill, solve, control, results
  double seconds = 0.0;
};

struct RunReport {
  bool success = false;
  int errorCode = 0;           // what the run ended with (0 on success)
  std::string errorText;       // its full message, as shown
  CalcParameters parameters;   // what the results were computed with
  std::vector<StageTiming> timings;
};

// Runs the calculation with calc.Parameters(). `changedSinceCalculation` is
// the document's flag: when set the counters are recounted and the flag
// cleared. On success the charges and contour points stay in `calc`
// (calc.HasSolution()).
RunReport RunCalculation(FieldCalc& calc, bool& changedSinceCalculation, ProgressReporter& ui);

// The gap calculation: one result file per gap curve into the results
// folder of calc.Parameters(). Needs a solved system (else returns -1 and
// writes nothing). Returns the error code it ends with (0 = success); shows
// nothing itself.
int RunGapCalculation(FieldCalc& calc, ProgressReporter& ui);
