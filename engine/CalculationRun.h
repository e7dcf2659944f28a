#pragma once
// The calculation command, once, for every front end: from the reset to
// "Расчет завершен". The front end shows ParameterSummary and asks for
// confirmation first, attaches its ProgressReporter, and afterwards closes
// its progress display. Every failure is shown once (caption "Error", stop
// icon) and discards all results, so nothing can read discarded charges.

#include <string>
#include <vector>

#include "engine/FieldCalc.h"

class ProgressReporter;

// Calculation parameters the document keeps; the rest live in FieldCalc
// (ExternalField, UseEarth, ControlFilePath).
struct CalcSettings {
  bool TestClosure = false;
  bool ControlCalc = false;  // inverse of SkipControlCalc
  bool ControlPotentials = false;
  bool DumpMatrix = false;
  bool DumpInverseMatrix = false;
  bool SurfaceResults = true;  // inverse of SkipFinalResults
  int PointsBetweenCPs = 1;
  std::string ResultsFolder;
};

// The text shown before a calculation for confirmation (CR LF line ends).
std::string ParameterSummary(const FieldCalc& calc, const CalcSettings& settings);

struct StageTiming {
  std::string stage;  // place, fill, solve, control, results
  double seconds = 0.0;
};

struct RunReport {
  bool success = false;
  std::vector<StageTiming> timings;
};

// Runs the calculation. `changedSinceCalculation` is the document's flag:
// when set the counters are recounted and the flag cleared. On success the
// charges and contour points stay in `calc` (calc.HasSolution()).
RunReport RunCalculation(FieldCalc& calc, const CalcSettings& settings, bool& changedSinceCalculation,
                         ProgressReporter& ui);

// The gap calculation: one result file per gap curve into `resultsFolder`.
// Needs a solved system. Returns the error code it ends with (0 = success);
// shows nothing itself.
int RunGapCalculation(FieldCalc& calc, const std::string& resultsFolder, ProgressReporter& ui);
