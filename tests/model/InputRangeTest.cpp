// Regressions of reading and geometry at the edges of the number ranges:
// every input must give defined behaviour and finite derived values.

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <vector>

#include "model/Arch.h"
#include "model/DrawSurface.h"
#include "model/Line.h"
#include "model/TextFormat.h"

namespace {

// Regression: strtod took "0x5" as 5 and "inf"/"nan" as numbers; the files
// hold decimal numbers only.
TEST(DecimalNumbers, HexAndInfinityWordsAreNotNumbers) {
  struct Case {
    const char* text;
    double value;
    size_t consumed;
  };
  const Case cases[] = {
      {"0x5", 0.0, 1},      {"inf", 0.0, 0},       {"-INFINITY", 0.0, 0}, {"nan(1)", 0.0, 0},
      {"  -1.5e3x", -1500, 8}, {"1e", 1.0, 1},     {"1e+", 1.0, 1},       {".5;", 0.5, 2},
      {".", 0.0, 0},        {"+7.", 7.0, 3},       {"0x1p3", 0.0, 1},     {"", 0.0, 0},
  };
  for (const Case& c : cases) {
    const char* end = nullptr;
    EXPECT_EQ(text::ParseDouble(c.text, &end), c.value) << c.text;
    EXPECT_EQ(static_cast<size_t>(end - c.text), c.consumed) << c.text;
  }
  bool range = false;
  EXPECT_TRUE(std::isinf(text::ParseDouble("1e999", nullptr, &range)));
  EXPECT_TRUE(range);

  // In a line the rest of a hex field is ignored text: "0x5" points read 0.
  const Line hex("ME; 1 ; 2 ;    ; 0X1 ;\t\tL; 1 ; 0 ; 1 ; 10 ; 5 ; 0X5 ; INF ;");
  EXPECT_EQ(hex.pointCount, 0);
  EXPECT_EQ(hex.ratioLd, 0.0);
  EXPECT_EQ(hex.epsOuter, 0.0);
}

// Regression (UBSan): pointCount + 1 overflowed an int for the largest count.
TEST(DecimalNumbers, LargestCountGivesFiniteSteps) {
  const Line l("ME; 1 ; 2 ;    ; 1 ;\t\tL; 0 ; 0 ; 0 ; 10 ; 5 ; 2147483647 ; 1 ;");
  EXPECT_EQ(l.pointCount, INT_MAX);
  EXPECT_DOUBLE_EQ(l.step, 10.0 / 2147483648.0);
  const Arch a("ME; 1 ; 2 ;    ; 1 ;\t\tC; 0 ; 0 ; 1 ; 90 ; -90 ; 5 ; 99999999999 ; 1 ;");
  EXPECT_EQ(a.pointCount, INT_MAX);
  EXPECT_DOUBLE_EQ(a.AngularStep(), 3.141592653589793 / 2147483648.0);
}

class MarkerRecorder : public DrawSurface {
 public:
  void MoveTo(int, int) override {}
  void LineTo(int, int) override {}
  void Ellipse(int, int, int, int) override {}
  void Arc(int, int, int, int, double, double) override {}
  void FillMarker(int l, int t, int r, int b) override { markers.push_back({l, t, r, b}); }
  void SetPixel(int, int) override {}
  std::vector<std::vector<int>> markers;
};

// Regression (UBSan): the marker corners of an end at >= 2.15e8 cm
// overflowed the saturated drawing coordinate.
TEST(DecimalNumbers, MarkersOfFarEndsStayInRange) {
  Line l("ME; 1 ; 2 ;    ; 1 ;\t\tL; -3e8 ; -3e8 ; 3e8 ; 3e8 ; 5 ; 1 ; 1 ;");
  l.SetMarked(true);
  MarkerRecorder dc;
  l.Draw(dc);
  ASSERT_EQ(dc.markers.size(), 2u);
  EXPECT_EQ(dc.markers[0], (std::vector<int>{INT_MIN, INT_MIN + 2, INT_MIN + 2, INT_MIN}));
  EXPECT_EQ(dc.markers[1], (std::vector<int>{INT_MAX - 2, INT_MAX, INT_MAX, INT_MAX - 2}));
}

}  // namespace
