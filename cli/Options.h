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
  std::optional<std::string> resultsFolder;  // default: the system file's folder
  std::optional<std::string> controlFile;    // default: <results>/ControlCalc.txt
  double externalField = 0.0;
  bool earth = false;
  bool testClosure = false;
  bool control = false;
  bool controlPotentials = false;
  bool dumpMatrix = false;
  bool dumpInverse = false;
  int pointsBetween = 1;
  bool surfaceResults = true;
  std::optional<std::string> gapCurves;
  bool yes = false;
  bool quiet = false;
  bool timings = false;
  bool precise = false;
  std::optional<bool> capacitance;  // default: on

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
  // Discharge inception screening: --inception GAS and its conditions.
  InceptionParameters inception;
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

// The text of --help; the manual page kalvor-calc.1 is made from it too.
std::string UsageText();

// "kalvor-calc <version>": the project's version, set by the build.
std::string VersionText();
