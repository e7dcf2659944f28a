#pragma once
// What a solution is worth: the boundary conditions checked between the
// contour points, the largest field and the charge of every conductor body,
// and the warnings about discretisations that spoil results without any
// other sign.
//
// Check points lie midway between neighbouring contour points, midway
// between each end and its nearest contour point, and at the ends; the
// largest field is also sought at the rows of the result files.

#include <string>
#include <vector>

#include "engine/FieldCalc.h"

// CODATA 2018 value; the equations use kEps0 = 8.85e-12 and charges scale
// exactly with it, so reported charges and capacitances are converted.
constexpr double kEps0Codata = 8.8541878128e-12;

struct GeneratrixAccuracy {
  int index = 0;  // 0-based, file order
  bool conductor = true;
  double maxField = 0.0;  // kV/cm
  double maxX = 0.0, maxY = 0.0;
  bool maxInner = false;  // on the inner side (dielectrics only)
  // Relative to the system's potential scale.
  double potentialError = 0.0;  // conductors: largest |phi - U|
  double potentialJump = 0.0;   // dielectrics: largest |phi_in - phi_out|
  // Relative to the system's displacement scale: largest
  // |eps_in*En_in - eps_out*En_out| (dielectrics).
  double fluxJump = 0.0;
  // Where the largest of the figures above sits, in contour-point steps
  // from the first end (0 .. n+1).
  double worstAt = 0.0;
  double Error() const { return conductor ? potentialError : std::max(potentialJump, fluxJump); }
};

struct BodyFigures {
  std::vector<int> generatrices;  // 0-based
  int region = 0;                 // the inner region shared
  bool floating = false;
  bool fixed = true;         // every generatrix at one fixed potential
  double potential = 0.0;    // kV (solved for a floating body)
  double charge = 0.0;       // C, CODATA eps0
  double maxField = 0.0;     // kV/cm
  double maxX = 0.0, maxY = 0.0;
  bool maxInner = false;
};

struct SolutionAnalysis {
  std::vector<GeneratrixAccuracy> generatrices;
  std::vector<BodyFigures> bodies;  // in order of their first generatrix
  // Maxwell capacitance coefficients (F) over the fixed bodies, listed in
  // capacitanceBodies (indices into bodies); empty when not computed.
  std::vector<int> capacitanceBodies;
  std::vector<std::vector<double>> capacitance;
  double reciprocalCondition = -1.0;  // < 0: not estimated
  double worstPotentialError = 0.0, worstPotentialJump = 0.0, worstFluxJump = 0.0;
  double potentialScale = 1.0;  // kV
  double fluxScale = 1.0;       // kV/cm times relative permittivity
  std::vector<std::string> warnings;

  // The largest figure of any generatrix (what refinement drives down).
  double WorstError() const;
};

// Everything but the capacitance matrix, from a solved `calc`; the largest
// field is also sought at the `k` result rows per interval. Never changes
// the solution. Empty when calc has no solution.
SolutionAnalysis AnalyseSolution(const FieldCalc& calc, int k);

// A point at `t` contour-point steps from the first end of `e` and the
// normal the result files use there.
void PointOnGeneratrix(const SurfData& e, double t, double& x, double& y, double& nx, double& ny);

// The capacitance matrix lives in its own file; callers reach it here too.
#include "engine/Capacitance.h"
