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

}  // namespace
