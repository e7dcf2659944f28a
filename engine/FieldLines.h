#pragma once
// Field lines: curves everywhere tangent to E, traced from start points by
// an adaptive Runge-Kutta method (Dormand-Prince 5(4), error per step
// bounded by a length tolerance) in the arc length.
//
// The field at every step is FieldCalc::FieldAt in the region PlaneRegions
// gives the point, so a line refracts at a dielectric interface as the
// field does (tangential E and normal D continuous). A line ends on an
// electrode (it enters a conductor; the last point is on its surface), on
// the earth plane (with the earth on), on the axis (it crosses x = 0), at
// the border of the extent, or where the field vanishes or the step limit
// is reached.
//
// TraceFieldLines is meant to run on a worker thread: lines are traced in
// parallel chunks, the stop flag is checked between chunks and each line is
// passed to the callback, in order, on the calling thread. It reads the
// FieldCalc only. Nothing here touches Qt.

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "engine/FieldMap.h"

class FieldCalc;
class PlaneRegions;

struct FieldLineStart {
  double x = 0.0, y = 0.0;  // cm
  // +1: follow E (from higher to lower potential), -1: against it.
  int direction = 1;
  int generatrix = -1;  // 0-based generatrix it starts on, -1 for a free point
};

// kWeak: |E| fell below FieldLineOptions::stopBelow.
enum class LineEnd { kElectrode, kEarth, kAxis, kBorder, kStalled, kWeak };

struct FieldLinePoint {
  double x = 0.0, y = 0.0;  // cm
  double e = 0.0;           // |E|, kV/cm
};

struct FieldLine {
  std::vector<FieldLinePoint> points;
  LineEnd end = LineEnd::kStalled;
  int endGeneratrix = -1;  // kElectrode: the 0-based generatrix whose conductor it entered
  int startGeneratrix = -1;
};

struct FieldLineOptions {
  MapRect extent;            // a line that leaves it ends at the border
  // Error per step and the largest step, as fractions of the larger side of
  // the generatrices' extent (the size of the system, not of the picture).
  double tolerance = 1e-5;
  double maxStep = 0.01;
  int maxSteps = 20000;
  // For integrals of |E| along the line: the first step (fraction of the
  // size), the largest relative change of |E| over one step (0: no limit)
  // and the field below which the line ends (kV/cm, 0: never).
  double firstStep = 1e-3;
  double maxFieldChange = 0.0;
  double stopBelow = 0.0;
};

// `perElectrode` start points on every conductor generatrix (prescribed,
// variable or floating potential: a floating body in an external field
// sends lines out and takes them in), evenly spaced by arc length (centres of
// equal parts, so none falls on a corner or the axis), each a hair outside
// the surface, with the direction that leads into the gap: along E where E
// points away from the conductor, else against it.
std::vector<FieldLineStart> DefaultFieldLineStarts(const FieldCalc& calc, int perElectrode);

FieldLine TraceFieldLine(const FieldCalc& calc, const PlaneRegions& regions, const FieldLineStart& start,
                         const FieldLineOptions& options);

struct FieldLineCallbacks {
  std::function<void(int index, const FieldLine& line)> onLine;  // in start order
  const std::atomic<bool>* stop = nullptr;                       // checked between chunks
};

// Traces all lines; returns kStopped when stopped (the lines so far stay in
// `lines`), kNoSolution without a solved system.
MapStatus TraceFieldLines(const FieldCalc& calc, const std::vector<FieldLineStart>& starts,
                          const FieldLineOptions& options, std::vector<FieldLine>& lines,
                          const FieldLineCallbacks& callbacks = {});

// "electrode N" (1-based generatrix), "earth", "axis", "border", "weak" or "none".
std::string LineEndText(const FieldLine& line);
