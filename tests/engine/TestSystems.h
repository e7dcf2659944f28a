#pragma once
// Small field systems shared by the engine tests, as field-system file text.

#include <memory>
#include <sstream>
#include <string>

#include "engine/FieldCalc.h"

namespace testsys {

inline void Load(FieldCalc& calc, const std::string& text) {
  calc.Reset(true);
  std::istringstream in(text);
  calc.ReadSystem(in);
}

// Changes some parameters of `calc`.
template <class Change>
void With(FieldCalc& calc, Change change) {
  CalcParameters p = calc.Parameters();
  change(p);
  calc.SetParameters(p);
}

inline void AddGapCurve(FieldCalc& calc, std::unique_ptr<SurfData> curve) {
  CSurfColl curves = calc.GapCurves().Clone();
  curves.Append(std::move(curve));
  calc.SetGapCurves(std::move(curves));
}

// Place, fill and solve; returns the error code.
inline int Solve(FieldCalc& calc) {
  calc.Place();
  if (calc.ErrorCode()) return calc.ErrorCode();
  calc.FillMatrix();
  if (calc.ErrorCode()) return calc.ErrorCode();
  calc.SolveCharges();
  return calc.ErrorCode();
}

// A conductor sphere of radius 5 cm about (0, yc) at U kV: a clockwise half
// circle from 90 to -90 degrees, body region 1, field region 2 (eps 1).
inline std::string Sphere(double yc, double U, int n = 40, double ld = 1.0) {
  std::ostringstream s;
  s << "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; " << yc << " ; 5.000 ; 90.00000 ; -90.00000 ; " << U
    << " ;" << n << " ; " << ld << " ;\n";
  return s.str();
}

}  // namespace testsys
