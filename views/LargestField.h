#pragma once
// The largest field of a solved system and of each of its generatrices, as
// the run's analysis finds it (check points between and at the ends of the
// contour points, and the result rows). The results pane, the plots, the
// view's peak mark and its colour scale all take it from here, so they
// agree with each other and with kalvor-calc.

#include "engine/Accuracy.h"

struct LargestField {
  bool valid = false;
  double value = 0.0;       // kV/cm
  double x = 0.0, y = 0.0;  // cm
  int generatrix = -1;      // 0-based
  bool inner = false;       // on the inner side of a dielectric
  double error = -1.0;      // kV/cm; < 0 where no estimate is known
};

LargestField GeneratrixLargestField(const SolutionAnalysis& analysis, int index);
LargestField SystemLargestField(const SolutionAnalysis& analysis);
