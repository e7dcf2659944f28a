#pragma once
// What a solution is worth: the boundary conditions checked between the
// contour points, the largest field and the charge of every conductor body,
// and the warnings about discretisations that spoil results without any
// other sign.
//
// Check points lie midway between neighbouring contour points, midway
// between each end and its nearest contour point, and at the ends. The
// largest field is sought at the check points, the contour points and the
// rows of the result files, then pinned down between them; neighbourhoods
// of points where the exact field is infinite are left out.
//
// The error of a largest field: on a conductor the exact field is normal to
// the surface, so the tangential field at the check points around the
// largest one, relative to it, measures the local error; on a dielectric
// interface the jumps of the tangential field and of the normal
// displacement, shared between the two sides, do. Calibrated on conductor
// spheres (isolated, above the earth plane, floating in a uniform field;
// L/d 1.5-3, 10-80 points, both formulas): the
// tangential figure is 0.5 times the true error where the largest field
// sits at a pole and 2-4 times it where it is an overshoot between contour
// points, hence the factor kFieldErrorFactor. In the approximate mode the
// checks use the approximate formula too and cannot see its own error: near
// each largest field the same charges are evaluated with the exact
// integrals, whose misfit counts as well and whose difference at the largest
// field is added. A conductor's largest field also carries the signed mean
// displacement misfit of each dielectric interface facing it, over the
// permittivity on its side: that misfit acts as a surface charge whose flux
// lands on the conductor. Where the formula's modulus clamp is reached and
// the run kept its factors, the exact residual of every equation taken back
// through them adds its field at each largest field: a bound, often loose.

#include <string>
#include <vector>

#include "engine/FieldCalc.h"
#include "engine/SingularPoints.h"

class ProgressReporter;

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
  double maxAt = 0.0;          // where the largest field sits, in the same steps
  double maxFieldError = 0.0;  // kV/cm: the estimated error of maxField
  // Relative to the larger of maxField and a tenth of the system's largest
  // field (a generatrix in a weak field is not judged by its own tiny
  // scale): what refinement drives down.
  double fieldError = 0.0;
  double Error() const { return conductor ? potentialError : std::max(potentialJump, fluxJump); }
};

// The tangential figure times this is the reported field error.
constexpr double kFieldErrorFactor = 1.5;
// Beside an edge where the field is infinite (field ~ distance^p), what the
// charges miss within the cell at the edge itself reaches a point d away as
// this fraction of the field there, weakened as (cell/d)^(1-p): measured on
// 270-degree edges (p = -1/3) of a two-cylinder lens, 3e-4 of the field at
// the neighbourhood's rim with the end cell 1/64 of its radius, and of a
// closed cylinder, 0.97-1.0 times this model at cells of 1/33-1/1000. The
// check points see none of it (the boundary conditions hold there); the
// error of a largest field near an edge is at least this.
constexpr double kEdgeMissWeight = 0.08;
// The interface figure times this, on dielectrics. Calibrated on a
// dielectric sphere in a uniform field (eps 2, 4 and 10; 10-80 points; L/d
// 1.5-3; both formulas) against its analytic largest field 3*eps/(eps+2)*E0:
// the figure is 1.2-8 times the true error, the displacement jump
// dominating; half of it lands between 0.6 and 4.1 times.
constexpr double kDielectricFieldErrorFactor = 0.5;

struct BodyFigures {
  std::vector<int> generatrices;  // 0-based
  int region = 0;                 // the inner region shared
  bool floating = false;
  bool fixed = true;         // every generatrix at one fixed potential
  double potential = 0.0;    // kV (solved for a floating body)
  double charge = 0.0;       // C, CODATA eps0
  double maxField = 0.0;     // kV/cm
  double maxFieldError = 0.0;  // kV/cm
  double maxX = 0.0, maxY = 0.0;
  bool maxInner = false;
  int maxGeneratrix = -1;    // 0-based
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
  double worstFieldError = 0.0;  // the largest fieldError of any generatrix
  // Edges, free ends and triple points; the infinite ones' neighbourhoods
  // are left out of every figure above except the potential ones.
  std::vector<SingularPoint> singularPoints;
  bool aborted = false;  // the user stopped the analysis (the figures are incomplete)
  bool clampReached = false;  // the written formula's modulus clamp took effect somewhere
  double potentialScale = 1.0;  // kV
  double fluxScale = 1.0;       // kV/cm times relative permittivity
  std::vector<std::string> warnings;

  // The largest potential figure of any generatrix.
  double WorstError() const;
};

struct AnalysisOptions {
  int pointsBetween = 1;        // k of the result rows searched too
  double singularRadius = -1.0;  // cm; <= 0: kSingularRadiusFraction of the shorter adjoining generatrix
};

// Everything but the capacitance matrix, from a solved `calc`: the check
// figures, the largest field of every generatrix and body with its error,
// the singular points and the warnings. Never changes the solution. Empty
// when calc has no solution. With `ui`, asks for cancel between chunks of a
// fraction of a second and ends early (aborted set) on a confirmed abort.
SolutionAnalysis AnalyseSolution(const FieldCalc& calc, const AnalysisOptions& options, ProgressReporter* ui = nullptr);
inline SolutionAnalysis AnalyseSolution(const FieldCalc& calc, int k) {
  AnalysisOptions o;
  o.pointsBetween = k;
  return AnalyseSolution(calc, o);
}

// "26.777 ± 0.002": the error rounded up to one significant digit and the
// value to the same decimal place; the value alone (%.6g) without an error.
std::string FormatWithError(double value, double error);

// A point at `t` contour-point steps from the first end of `e` and the
// normal the result files use there.
void PointOnGeneratrix(const SurfData& e, double t, double& x, double& y, double& nx, double& ny);

// The capacitance matrix lives in its own file; callers reach it here too.
#include "engine/Capacitance.h"
