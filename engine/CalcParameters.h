#pragma once
// Every parameter of a calculation, as one value: the parameters dialog takes
// and returns it, kalvor-calc fills it from its options, the summary prints
// all of it and each run records the one it used.

#include <array>
#include <cmath>
#include <string>
#include <vector>

// Discharge inception screening after a run (InceptionScreening): the gas
// and its conditions. Output only: it never changes the solution.
struct InceptionParameters {
  bool Enabled = false;
  std::string Gas = "air";  // "air", "sf6" or the path of a table file
  double PressureBar = 1.01325;
  double TemperatureC = 20.0;
  double K = 0.0;  // critical avalanche number; 0: the gas's own
  // Start points of the user's own on conductor surfaces (x, y in cm).
  std::vector<std::array<double, 2>> From;

  bool operator==(const InceptionParameters&) const = default;
};

struct CalcParameters {
  double ExternalField = 0.0;  // kV/cm along +y; its potential is -E0*y
  bool UseEarth = false;       // mirror images in the earth plane y = 0
  bool TestClosure = false;
  bool ControlCalc = false;  // the inverse of SkipControlCalc
  bool ControlPotentials = false;
  bool DumpMatrix = false;
  bool DumpInverseMatrix = false;
  bool SurfaceResults = true;  // the inverse of SkipFinalResults
  int PointsBetweenCPs = 1;
  std::string ResultsFolder;
  std::string ControlFilePath;
  // Exact elliptic integrals and no modulus clamp in the ring formula.
  bool Precise = false;
  // The capacitance matrix and the condition estimate, from the factors of
  // the solve kept in the matrix's own storage (no extra memory).
  bool Capacitance = true;
  InceptionParameters Inception;

  bool operator==(const CalcParameters&) const = default;

  // Whether charges solved under `other` still hold under these parameters:
  // only the external field, the earth and the formula enter the equations; the rest
  // shapes the output.
  bool SameSolution(const CalcParameters& other) const {
    return ExternalField == other.ExternalField && UseEarth == other.UseEarth && Precise == other.Precise;
  }
};

// The uniform external field E0 (kV/cm) along +y, the one place of its
// sign convention: its potential is -E0*y and its field +E0 along y. The
// field sums of the charges get these added; the equations move them to
// the right-hand side.
namespace external_field {
inline double Potential(double e0, double y) { return -e0 * y; }
inline double FieldY(double e0) { return e0; }
// What the charges must make at a conductor's point of potential `v`.
inline double ConductorRhs(double e0, double y, double v) { return v - Potential(e0, y); }
// The jump of the normal displacement the charges must make across a
// dielectric interface whose outward normal is at `normalAngle` to x.
inline double InterfaceRhs(double e0, double normalAngle, double epsInner, double epsOuter) {
  return -(epsInner - epsOuter) * std::sin(normalAngle) * FieldY(e0);
}
}  // namespace external_field

// "ControlCalc.txt" in `folder`.
std::string ControlFileIn(const std::string& folder);

// The text shown before a calculation for confirmation (CR LF line ends):
// the fixed lines of the confirmation box followed by the parameters that
// shape the output.
std::string ParameterSummary(const CalcParameters& p);
