#pragma once
// Automatic refinement: solve, check, refine where the check points miss
// the target, until every generatrix meets it or the unknowns would exceed
// a limit. Works on the generatrices held by `calc` (never on a file).
//
// Generatrices that miss the target get 1.5 times the contour points, their
// neighbours (generatrices sharing an end) 1.25 times. Splitting a
// generatrix at its end into a short densely pointed piece was tried: the
// new junctions leave gaps between contour points of their own and the
// potential error grew (sphere-plane: 2.4e-4 against 3.9e-5 unsplit), so
// the counts grow uniformly; the end gap then shrinks with the step.

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
};

constexpr long long kDefaultRefinementLimit = 20000;

// Leaves `calc` holding the system that met the target (solved), or else
// the best one seen (solved only if it was the last round).
RefinementResult RefineToTarget(FieldCalc& calc, double target, long long maxUnknowns, ProgressReporter* ui);

// The refined copy of the system for the figures of the last analysis
// (exposed for tests).
CSurfColl RefinedSystem(const CSurfColl& system, const std::vector<double>& errors, double target);
