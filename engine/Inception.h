#pragma once
// Will it discharge? The streamer (Meek–Raether) inception criterion on a
// solved system: along a field line from a stressed point of a conductor,
// the effective ionisation coefficient of the gas integrated over the
// region where it is positive reaches a critical avalanche number K.
//
// All sources (every prescribed potential and the external field) scale
// together by one factor s: the field lines do not depend on it and every
// field is s times the solved one, so each line is traced once and the
// factor at which the largest integral reaches K is found by bisection
// (the integral grows with s). A body's inception voltage is s·U, its
// margin s. The criterion does not depend on the polarity: positive and
// negative electrodes are screened alike.
//
// Start points: for every body at a fixed non-zero potential, its largest
// field and the local maxima of the field along each of its generatrices
// (at least half the largest); and points of the user's own on conductor
// surfaces. A line is followed (the field-line tracer, with |E| resolved
// to 1 % per step) until the field is too weak for ionisation at the
// largest factor screened; the avalanche stays in the region it starts in.

#include <string>
#include <vector>

#include "engine/Accuracy.h"
#include "engine/CalcParameters.h"
#include "engine/FieldLines.h"
#include "engine/GasModel.h"

class FieldCalc;
class ProgressReporter;

// Factors above this are not screened: "no inception" means none up to
// this multiple of the applied voltages.
constexpr double kInceptionMaxFactor = 1000.0;

struct InceptionOnset {
  int body = -1;            // 0-based index into SolutionAnalysis::bodies; -1: not on a body
  double atX = 0, atY = 0;  // the point asked for (user points)
  double potential = 0.0;   // U (kV): the body's, or for a point on an unpowered
                            // conductor the system's largest prescribed potential
  bool incepts = false;     // false: no inception up to kInceptionMaxFactor
  double margin = 0.0;      // s
  double onsetKv = 0.0;     // s·U
  // Where the critical line starts, on the surface, and |E| there at the
  // applied voltages (the inception field is margin times it).
  double startX = 0, startY = 0;
  double startField = 0.0;
  double criticalLength = 0.0;  // cm: the avalanche region along the line
  bool reachesEnd = false;      // alpha_eff still positive where the line ends (a bridged gap)
  FieldLine line;                           // the critical line, as traced
  std::vector<FieldLinePoint> avalanche;    // its part where alpha_eff > 0 at the onset
};

struct InceptionResult {
  int errorCode = 0;  // FieldCalc codes: kAborted, kBadParameter (see error)
  std::string error;
  std::string gas;
  double pressureBar = 0, temperatureC = 0, k = 0;
  double densityPressure = 0;  // bar at 20 °C
  double relativeDensity = 0;  // delta
  std::vector<InceptionOnset> bodies;  // the screened bodies, in body order
  std::vector<InceptionOnset> points;  // the user's points, in the order given
};

// A conductor surface point nearest to (x, y): its generatrix (0-based)
// and the position in contour-point steps; false when there is no
// conductor generatrix.
bool NearestConductorPoint(const FieldCalc& calc, double x, double y, int& generatrix, double& t, double& distance);

// Empty when every point of `p.From` lies on a conductor surface (within
// 1 % of the system's size); else a message naming the first that does not.
std::string InceptionPointProblem(const FieldCalc& calc, const InceptionParameters& p);

// Screens a solved system. `progress` (may be null) gets a stage, a step
// per traced line and the cancel question between groups of lines.
InceptionResult ScreenInception(const FieldCalc& calc, const SolutionAnalysis& analysis, const GasModel& gas,
                                const InceptionParameters& p, ProgressReporter* progress);

// Lines for the console (LF line ends).
std::string InceptionText(const InceptionResult& r);
