// Nonsense the reader accepts is named before a calculation: the line
// dialog's defaults (a point, no points to place), equal permittivities.
#include <gtest/gtest.h>

#include "engine/SystemWarnings.h"
#include "model/Arch.h"
#include "model/CSurfColl.h"
#include "model/Line.h"

namespace {

SurfParams Conductor(int points) {
  SurfParams p;
  p.material = 1;
  p.innerRegion = 1;
  p.outerRegion = 2;
  p.pointCount = points;
  p.ratioLd = 1.0;
  return p;
}

TEST(SystemWarnings, NameEachNonsenseGeneratrixAndNothingElse) {
  CSurfColl system;
  system.Append(std::make_unique<Line>(Conductor(20), 0, 0, 0, 10));  // sound
  system.Append(std::make_unique<Line>(Conductor(0), 0, 0, 0, 0));    // the dialog's defaults
  SurfParams wall = Conductor(10);
  wall.material = 0;
  wall.innerRegion = 3;  // regions of its own: one warning, its own
  wall.outerRegion = 4;
  wall.epsInner = 2.0;
  wall.epsOuter = 2.0;
  system.Append(std::make_unique<Line>(wall, 5, 0, 5, 10));
  system.Append(std::make_unique<Arch>(Conductor(10), 0, 5, 0.0, 1.5, -1.5));
  const std::vector<std::string> w = SystemWarnings(system);
  ASSERT_EQ(w.size(), 4u);
  EXPECT_EQ(w[0], "Образующая 2: отрезок нулевой длины");
  EXPECT_EQ(w[1], "Образующая 2: 0 контурных точек");
  EXPECT_EQ(w[2], "Образующая 3: диэлектрик с одинаковой проницаемостью внутри и снаружи (2)");
  EXPECT_EQ(w[3], "Образующая 4: дуга нулевой длины");

  CSurfColl sound;
  sound.Append(std::make_unique<Line>(Conductor(20), 0, 0, 0, 10));
  EXPECT_TRUE(SystemWarnings(sound).empty());
}

// A coated electrode whose conductor line leaves the coat's permittivity
// at 1: the equations of its contour points then use 1 where the coat's
// use 4, the charge comes out a quarter of the true one and the potential
// jumps across the coat. Named once per region, with both values and both
// generatrices; a conductor's inner side declares nothing.
TEST(SystemWarnings, OneRegionGivenTwoPermittivitiesIsNamed) {
  CSurfColl system;
  SurfParams metal = Conductor(20);
  metal.epsInner = 7.0;  // a conductor's inside: not a permittivity
  metal.epsOuter = 1.0;
  system.Append(std::make_unique<Arch>(metal, 0, 30, 5.0, 1.5, -1.5));
  SurfParams coat = Conductor(20);
  coat.material = 0;
  coat.innerRegion = 2;
  coat.outerRegion = 3;
  coat.epsInner = 4.0;
  coat.epsOuter = 1.0;
  system.Append(std::make_unique<Arch>(coat, 0, 30, 7.0, 1.5, -1.5));
  SurfParams shell = coat;  // the same region 2 again, a third value: still one warning
  shell.epsInner = 3.0;
  system.Append(std::make_unique<Arch>(shell, 0, 30, 7.5, 1.5, -1.5));
  const std::vector<std::string> w = SystemWarnings(system);
  ASSERT_EQ(w.size(), 1u);
  EXPECT_EQ(w[0],
            "Область 2: проницаемость 1 на образующей 1 и 4 на образующей 2; у одной области должна быть одна "
            "проницаемость");

  CSurfColl consistent;
  metal.epsOuter = 4.0;
  consistent.Append(std::make_unique<Arch>(metal, 0, 30, 5.0, 1.5, -1.5));
  consistent.Append(std::make_unique<Arch>(coat, 0, 30, 7.0, 1.5, -1.5));
  EXPECT_TRUE(SystemWarnings(consistent).empty());
}

}  // namespace
