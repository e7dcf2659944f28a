// The field-system reader: any file reads without undefined behaviour, the
// reader's counters agree with a recount, and the validation either
// refuses the system or places exactly the counted points and charges.

#include <cstdlib>
#include <sstream>

#include "FuzzSupport.h"
#include "engine/FieldCalc.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FieldCalc calc;
  std::istringstream in(AsText(data, size));
  calc.ReadSystem(in);
  const long long points = calc.TotalPoints(), charges = calc.TotalCharges();
  calc.Recount();
  if (calc.TotalPoints() != points || calc.TotalCharges() != charges) std::abort();
  std::ostringstream out;
  calc.WriteSystem(out);
  if (calc.ErrorCode() != 0 || calc.Unknowns() > 400) return 0;
  CalcParameters p;
  p.UseEarth = size % 2 == 1;
  calc.SetParameters(p);
  calc.Place();
  if (calc.ErrorCode() == 0 && (static_cast<long long>(calc.Points().size()) != calc.TotalPoints() ||
                                static_cast<long long>(calc.Charges().size()) != calc.TotalCharges()))
    std::abort();
  return 0;
}
