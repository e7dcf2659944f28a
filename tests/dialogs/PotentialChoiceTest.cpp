// The potential choice shared by the generatrix dialogs and the editor
// panes: whatever choice a caller hands over, a dielectric is never given a
// potential. (Conductors are covered through the dialogs and the panes.)
#include <gtest/gtest.h>

#include "dialogs/PotentialChoice.h"
#include "model/Line.h"

TEST(PotentialChoice, ADielectricKeepsItsPotentialWhateverTheChoice) {
  SurfParams dielectric;
  dielectric.material = 0;
  for (int choice : {potential_choice::kVariable, potential_choice::kFixed}) {
    Line line(dielectric, 0, 0, 1, 1);
    potential_choice::Apply(choice, 7.0, -2.0, 8.0, line);
    EXPECT_FALSE(line.isFixed) << choice;
    EXPECT_EQ(line.fixedPotential, 0.0) << choice;
    double from = 1.0, to = 1.0;
    line.GetVariablePotential(from, to);
    EXPECT_EQ(from, 0.0) << choice;
    EXPECT_EQ(to, 0.0) << choice;
  }
}
