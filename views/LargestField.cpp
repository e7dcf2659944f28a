#include "views/LargestField.h"

#include <cmath>

LargestField GeneratrixLargestField(const SolutionAnalysis& analysis, int index) {
  LargestField f;
  if (index < 0 || static_cast<size_t>(index) >= analysis.generatrices.size()) return f;
  const GeneratrixAccuracy& g = analysis.generatrices[static_cast<size_t>(index)];
  if (!std::isfinite(g.maxField) || !(g.maxField > 0.0)) return f;
  f.valid = true;
  f.value = g.maxField;
  f.error = g.maxFieldError;
  f.x = g.maxX;
  f.y = g.maxY;
  f.generatrix = g.index;
  f.inner = g.maxInner;
  return f;
}

LargestField SystemLargestField(const SolutionAnalysis& analysis) {
  LargestField best;
  for (size_t i = 0; i < analysis.generatrices.size(); ++i) {
    const LargestField f = GeneratrixLargestField(analysis, static_cast<int>(i));
    if (f.valid && (!best.valid || f.value > best.value)) best = f;
  }
  return best;
}
