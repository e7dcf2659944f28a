#pragma once
// The potential choice of the generatrix dialogs and the editor panes (the
// "Потенциал" radio buttons) read from and written to an element.

class SurfData;

namespace potential_choice {

enum { kNone = -1, kFloating = 0, kVariable = 1, kFixed = 2 };

// The choice `e` opens with: kFloating; kFixed, its value into `fixedValue`;
// or else kVariable, its range into `from` and `to`. What the choice does
// not use is left as it is.
int Read(const SurfData& e, double& fixedValue, double& from, double& to);
// For a conductor, kVariable makes the potential variable from `from` to
// `to` and kFixed fixes it at `fixedValue`; any other choice leaves it as it
// is. A dielectric is left alone.
void Apply(int choice, double fixedValue, double from, double to, SurfData& e);

}  // namespace potential_choice

// The material list and the potential radio buttons as the generatrix
// dialogs and the editor panes both name them (list index = material code).
struct GeneratrixChoices {
  enum Material { kNoMaterial = -1, kDielectric = 0, kConductor = 1 };
  enum Potential {
    kNoChoice = potential_choice::kNone,
    kFloating = potential_choice::kFloating,
    kVariable = potential_choice::kVariable,
    kFixed = potential_choice::kFixed
  };
};
