#pragma once
// The field along a generatrix or a gap curve at exactly the points of its
// result file (NN.dat, NNspace.dat), from the same FieldAt/FieldAtTwo calls,
// so plots and the results pane show the file's numbers.

#include <vector>

class FieldCalc;

struct SurfaceSample {
  double s = 0.0;             // arc length from the first point (cm), or the angle (degrees) on an arc
  double x = 0.0, y = 0.0;    // cm
  double phi = 0.0;           // kV, outer side
  double ex = 0.0, ey = 0.0;  // kV/cm, outer side
  double exIn = 0.0, eyIn = 0.0;  // inner side (a dielectric), else as outside
  double en = 0.0, et = 0.0;      // normal and tangential components, outer side
  double enIn = 0.0, etIn = 0.0;
  double e = 0.0, eIn = 0.0;      // |E| on each side
};

struct SurfaceSeries {
  bool arc = false;         // s is the angle
  bool dielectric = false;  // the inner side differs
  bool gap = false;
  std::vector<SurfaceSample> samples;
  // Index of the largest |E| (either side), -1 when empty.
  int MaxIndex() const;
};

// Generatrix `index` (0-based) with the results' points per interval; empty
// without a solution.
SurfaceSeries SampleGeneratrix(const FieldCalc& calc, int index);
// Gap curve `index` (0-based), in its inner region.
SurfaceSeries SampleGapCurve(const FieldCalc& calc, int index);
