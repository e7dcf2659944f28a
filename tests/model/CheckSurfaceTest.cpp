// Closure test of the generatrices and the owning collection.

#include <gtest/gtest.h>

#include <numbers>

#include "model/Arch.h"
#include "model/CSurfColl.h"
#include "model/CheckSurface.h"
#include "model/Line.h"

namespace {

using P = CheckSurface::Point;

int Check(const std::vector<std::pair<P, P>>& ends) {
  CheckSurface c(static_cast<int>(ends.size()));
  for (size_t i = 0; i < ends.size(); ++i) c.SetEnds(static_cast<int>(i), ends[i].first, ends[i].second);
  return c.Check();
}

TEST(CheckSurface, ClosureRules) {
  EXPECT_EQ(Check({}), 0);
  EXPECT_EQ(Check({{{1, 1}, {1, 1}}}), 0);             // closed by itself
  EXPECT_EQ(Check({{{0, 0}, {0, 5}}}), 6);             // on the axis but alone
  EXPECT_EQ(Check({{{0, 0}, {3, 0}}, {{3, 0}, {0, 4}}}), 0);  // axis rule, both
  const std::vector<std::pair<P, P>> rect = {
      {{1, 1}, {4, 1}}, {{4, 1}, {4, 3}}, {{4, 3}, {1, 3}}, {{1, 3}, {1, 1}}};
  EXPECT_EQ(Check(rect), 0);
  auto moved = rect;
  moved[1].second = {4.0001, 3};
  CheckSurface c(4);
  for (int i = 0; i < 4; ++i) c.SetEnds(i, moved[i].first, moved[i].second);
  EXPECT_EQ(c.Check(), 6);
  EXPECT_EQ(c.OpenFlags(), (std::vector<bool>{false, true, true, false}));

  // T-junction on a horizontal segment closes; on a slanted one it does not.
  EXPECT_EQ(Check({{{2, 5}, {2, 5}}, {{0, 0}, {10, 0}}, {{5, 0}, {5, 0}}}), 6);
  EXPECT_EQ(Check({{{0, 0}, {0, 2}}, {{0, 2}, {10, 2}}, {{5, 2}, {5, 0}}, {{5, 0}, {0, 0}}}), 0);
  EXPECT_EQ(Check({{{0, 0}, {0, 2}}, {{0, 2}, {10, 4}}, {{5, 3}, {5, 0}}, {{5, 0}, {0, 0}}}), 6);

  // Two half circles joined at both ends, away from the axis: both open.
  EXPECT_EQ(Check({{{5, 2}, {5, -2}}, {{5, -2}, {5, 2}}}), 6);
}

TEST(CSurfColl, OrderAndRemoval) {
  CSurfColl c;
  SurfParams p;
  for (int i = 0; i < 3; ++i) {
    p.innerRegion = i;
    c.Append(std::make_unique<Line>(p, 0, 0, 1, 1));
  }
  c.RemoveElement(0);
  ASSERT_EQ(c.GetSize(), 2);
  EXPECT_EQ(c[0]->innerRegion, 1);
  EXPECT_EQ(c[1]->innerRegion, 2);
  c.RemoveElement(7);  // outside: ignored
  EXPECT_EQ(c.GetSize(), 2);
  EXPECT_EQ(c.At(2), nullptr);
  c.RemoveAllElements();
  EXPECT_TRUE(c.IsEmpty());
}

}  // namespace
