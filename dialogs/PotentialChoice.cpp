#include "dialogs/PotentialChoice.h"

#include "model/SurfData.h"

namespace potential_choice {

int Read(const SurfData& e, double& fixedValue, double& from, double& to) {
  if (e.isFloating) return kFloating;
  if (e.isFixed) {
    fixedValue = e.fixedPotential;
    return kFixed;
  }
  e.GetVariablePotential(from, to);
  return kVariable;
}

void Apply(int choice, double fixedValue, double from, double to, SurfData& e) {
  if (!e.IsConductor()) return;
  if (choice == kVariable)
    e.SetVariablePotential(from, to);
  else if (choice == kFixed)
    e.SetFixedPotential(fixedValue);
}

}  // namespace potential_choice
