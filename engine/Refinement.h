#pragma once
// Automatic refinement: solve, check, refine where the check points miss
// the target, until every generatrix meets it or the unknowns would exceed
// a limit. Works on the generatrices held by `calc` (never on a file).
//
// A generatrix whose worst check point lies in its interior gets more
// contour points. One whose worst check point lies at an end gets a short
// piece split off there with dense contour points and deeper charges:
// the gap a generatrix end leaves between contour points is then filled at
// ever smaller scale (grading toward the end), where more points alone
// would leave the same relative gap. Neighbours (generatrices sharing an
// end) of a refined generatrix get more points too.

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
  int errorCode = 0;          // of a failed round (the system is then as before that round)
};

constexpr long long kDefaultRefinementLimit = 20000;

// Leaves `calc` holding the last system solved (refined or not) with its
// solution.
RefinementResult RefineToTarget(FieldCalc& calc, double target, long long maxUnknowns, ProgressReporter* ui);

// The refined copy of the system for the figures of the last analysis
// (exposed for tests).
CSurfColl RefinedSystem(const CSurfColl& system, const std::vector<double>& errors,
                        const std::vector<double>& worstAt, double target);
