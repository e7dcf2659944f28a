#pragma once
// Automatic refinement: solve, check, refine where the check points miss
// the target, until every generatrix meets it or the unknowns would exceed
// a limit. Works on the generatrices held by `calc` (never on a file).
//
// Generatrices that miss the target get 1.5 times the contour points, their
// neighbours (generatrices sharing an end) 1.25 times. A generatrix whose
// worst check point lies at a free end (one no other generatrix shares, such
// as a sphere's pole on the axis) first has a short piece split off there:
// two of its steps with five contour points and charges twice as deep. The
// gap a generatrix end leaves between contour points is the same fraction of
// the step at any count, so more points alone barely help there; the graded
// piece does (sphere-plane, precise: the target 1e-5 at 99 unknowns instead
// of 305). Junction ends are not split: the new junction gaps raised the
// error there.

#include <string>
#include <vector>

#include "engine/FieldCalc.h"

class ProgressReporter;

struct RefinementRound {
  long long unknowns = 0;
  double worstError = 0.0;  // the largest figure of any generatrix
};

struct RefinementResult {
  std::vector<RefinementRound> rounds;
  bool targetMet = false;
  bool limitReached = false;  // the next round would exceed the limit
  bool stalled = false;       // five rounds gained less than 10 % on the best
  int errorCode = 0;          // of a failed round (the system is then the best before it)
  std::string errorText;      // its full message
};

constexpr long long kDefaultRefinementLimit = 20000;

// Leaves `calc` holding the system that met the target (solved), or else
// the best one seen (solved only if it was the last round).
RefinementResult RefineToTarget(FieldCalc& calc, double target, long long maxUnknowns, ProgressReporter* ui);

// The refined copy of the system for the figures of the last analysis
// (exposed for tests).
CSurfColl RefinedSystem(const CSurfColl& system, const std::vector<double>& errors,
                        const std::vector<double>& worstAt, double target);
