#pragma once
// Command line of kalvor-calc.

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "cli/GeometryOptions.h"
#include "engine/BatchRun.h"
#include "engine/CalcParameters.h"
#include "engine/ParameterSweep.h"

struct CalcOptions {
  std::string systemFile;
  // Calculation parameters as given on the command line. What is not given
  // comes from the system's parameters file FILE.txt.kalvor.ini (unless
  // `noSidecar`), else from the defaults of a freshly opened file.
  std::optional<std::string> resultsFolder;  // default: the system file's folder
  std::optional<std::string> controlFile;    // default: <results>/ControlCalc.txt
  std::optional<double> externalField;
  std::optional<bool> earth;
  std::optional<bool> testClosure;
  std::optional<bool> control;
  std::optional<bool> controlPotentials;
  std::optional<bool> dumpMatrix;
  std::optional<bool> dumpInverse;
  std::optional<int> pointsBetween;
  std::optional<bool> surfaceResults;
  std::optional<bool> precise;
  std::optional<bool> capacitance;
  // Discharge inception screening: --inception GAS and its conditions.
  std::optional<std::string> inceptionGas;
  std::optional<double> pressureBar, temperatureC, inceptionK;
  std::vector<std::array<double, 2>> inceptionFrom;
  bool noSidecar = false;

  std::optional<std::string> gapCurves;
  bool yes = false;
  bool quiet = false;
  bool timings = false;

  std::optional<std::string> summaryFile;
  std::optional<double> targetError;
  long long maxUnknowns = 20000;
  double maxMemoryMb = 0.0;  // 0: half the memory available when the run starts
  std::optional<double> singularRadius;  // cm; default a fraction of the adjoining generatrices
  std::optional<std::string> saveRefined;
  bool help = false;
  bool version = false;
  // Field map and field lines (CSV files, LF line ends).
  std::optional<std::string> mapFile;
  int mapWidth = 200, mapHeight = 200;
  std::optional<std::array<double, 4>> mapRect;  // x1, y1, x2, y2 in cm; default the system's extent
  std::optional<std::string> fieldLinesFile;
  int linesPerElectrode = 10;
  // Parameter study: the variables (varied together, `sweepSteps` values
  // each) and the CSV it writes.
  std::vector<SweepVariable> sweeps;
  int sweepSteps = 0;
  std::optional<std::string> sweepOut;
  // Rounding, DXF import and export, the resulting system saved.
  GeometryOptions geometry;
};

// Parses argv[1..]; on failure returns nothing and sets `error`.
std::optional<CalcOptions> ParseOptions(const std::vector<std::string>& args, std::string& error);

// The parameters of the run: `p` (the defaults or those of the parameters
// file) with each option given on the command line in place of its value.
// "" or why the options do not fit the parameters.
std::string ApplyParameterOptions(const CalcOptions& o, CalcParameters& p);

// The text of --help; the manual page kalvor-calc.1 is made from it too.
std::string UsageText();

// "kalvor-calc <version>": the project's version, set by the build.
std::string VersionText();
