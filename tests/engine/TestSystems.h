#pragma once
// Small field systems shared by the engine tests, as field-system file text.

#include <sstream>
#include <string>

#include "engine/FieldCalc.h"

namespace testsys {

inline void Load(FieldCalc& calc, const std::string& text) {
  calc.Reset(true);
  std::istringstream in(text);
  calc.ReadSystem(in);
}

// Place, fill and solve; returns the error code.
inline int Solve(FieldCalc& calc) {
  calc.Place();
  if (calc.errorCode) return calc.errorCode;
  calc.FillMatrix();
  if (calc.errorCode) return calc.errorCode;
  calc.SolveCharges();
  return calc.errorCode;
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
