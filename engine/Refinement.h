#pragma once
// Automatic refinement: solve, check, refine where the figures miss the
// target, until both the potential figure and the field figure of every
// generatrix meet it (outside the neighbourhoods of singular points), the
// next round would not fit, or the figures stop improving. Works on the
// generatrices held by `calc` (never on a file).
//
// The first round is the system as given. Later rounds place the contour
// points of every generatrix graded (SurfData::cells): a local spacing that
// grows linearly with the distance from each end (rate per unit length,
// geometric from cell to cell) up to a largest spacing, the charges
// kGradedRatio local spacings deep. A generatrix that misses the target is
// refined where it misses: a finer end cell, slower grading beside an end,
// or a smaller largest spacing in the middle. Ends that meet share the finer
// spacing; ends at infinite singular points grade slowly from a fraction of
// their neighbourhood that follows the target. During refinement the field
// figure of a generatrix also takes the change of its largest field since
// the round before, so that a met target means two rounds agree.
//
// Conductors with a potential varying along them keep even placement and
// grow 1.5 times instead (their potential is distributed by point index).

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "engine/FieldCalc.h"

class ProgressReporter;

struct RefinementRound {
  long long unknowns = 0;
  double worstError = 0.0;       // the largest potential figure of any generatrix
  double worstFieldError = 0.0;  // the largest field figure of any generatrix
  double largestField = 0.0;     // kV/cm: the system's largest field (outside singular neighbourhoods)
  double seconds = 0.0;          // the round's solve and analysis
  double memoryMb = 0.0;         // the matrix it needed
  bool precise = false;          // solved with the exact ring formula
};

// Below this the written formula's approximate K and E cannot go (its
// field error floor); refinement to a smaller target solves precisely.
constexpr double kApproximateFormulaFloor = 4e-4;
constexpr long long kDefaultRefinementLimit = 20000;

struct RefinementOptions {
  double target = 1e-4;
  long long maxUnknowns = kDefaultRefinementLimit;
  double maxMemoryMb = 0.0;      // <= 0: half the memory available when the refinement starts
  double singularRadius = -1.0;  // cm; <= 0: the default of FindSingularPoints
  // Called as each round ends (the front end prints it at once).
  std::function<void(const RefinementRound&)> onRound;
};

struct RefinementResult {
  std::vector<RefinementRound> rounds;
  bool targetMet = false;
  bool limitReached = false;   // the next round would exceed maxUnknowns
  bool memoryLimited = false;  // the next round's matrix would exceed maxMemoryMb
  bool stalled = false;        // four rounds gained less than 10 % on the best
  bool switchedToPrecise = false;  // the target is below kApproximateFormulaFloor, or:
  // the written formula could not reach the target (a round reached its
  // modulus clamp, or the rounds stalled with it): from round
  // switchedAtRound (1-based) on they were precise.
  bool switchedForFormula = false;
  int switchedAtRound = 0;
  long long nextUnknowns = 0;  // of the round that was not started (limit, memory)
  double nextMemoryMb = 0.0;
  double maxMemoryMb = 0.0;    // the bound applied
  int errorCode = 0;           // of a failed round (the system is then the best before it)
  std::string errorText;       // its full message
  // "target_met", "limit", "memory", "stalled", or "" (failed or aborted).
  std::string StopReason() const;
};

// Leaves `calc` holding the system that met the target (solved), or else
// the best one seen (solved only if it was the last round). Sets the
// precise formula in calc's parameters when the target asks for it.
RefinementResult RefineToTarget(FieldCalc& calc, const RefinementOptions& options, ProgressReporter* ui);
RefinementResult RefineToTarget(FieldCalc& calc, double target, long long maxUnknowns, ProgressReporter* ui);

// Writes the system held by `calc` as a field-system file, each graded
// generatrix as one short generatrix per contour point (the file format has
// no graded placement; such a piece with one point and twice the L/d places
// its point and charge where the cell did, to the file's 0.001 cm). Cells
// below that resolution (next to edges at tight targets) go together into
// one evenly placed piece of as many points; returns how many such pieces
// were written (the saved system is then coarser there than the refined one).
int WriteRefinedSystem(const FieldCalc& calc, std::ostream& out);

// Bytes of the dense matrix of `unknowns` unknowns, in MB.
double MatrixMemoryMb(long long unknowns);

// Half the memory available now (MemAvailable), in MB; 0 when unknown.
double DefaultMemoryBoundMb();

// Cell boundaries (fractions, 0 ... 1) of an element of `length` cm whose
// spacing grows from `end0` and `end1` at its ends by `rate0` and `rate1`
// (rate1 <= 0: rate0) per cm up to `largest` (exposed for tests).
constexpr double kGradingRate = 0.15;
std::vector<double> GradedCells(double length, double largest, double end0, double end1,
                                double rate0 = kGradingRate, double rate1 = -1.0);
