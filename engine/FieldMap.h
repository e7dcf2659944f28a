#pragma once
// Potential and field strength on a rectangular grid of the meridian plane,
// for pictures (colour maps, equipotentials) and for kalvor-calc --map.
//
// Every grid point outside the conductors is evaluated with FieldCalc::FieldAt
// in the region PlaneRegions gives it, the same numbers the result files
// print at the same point; points inside a conductor (or the earth) take the
// conductor's potential and zero field without evaluation.
//
// ComputeFieldMap is meant to run on a worker thread: it computes in chunks
// on all cores (ParallelFor), checks the stop flag between chunks, and
// passes the map to the callback after each pass of a coarse-to-fine
// sequence (every 8th point, then every 4th, 2nd, all), with the points not
// yet computed filled from the nearest computed one, so that a picture can
// be drawn at once and sharpened. It reads the FieldCalc only; the caller
// must not change the engine while it runs. Nothing here touches Qt.

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

class FieldCalc;
namespace ringkernel {
class ChargeArrays;
}

struct MapRect {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // cm; grid points on the edges included
};

struct MapPoint {
  double phi = 0.0;        // kV
  double ex = 0.0, ey = 0.0, e = 0.0;  // kV/cm; |E| in e
  int region = 0;          // region whose FieldAt applies (a conductor: its body's region)
  int generatrix = -1;     // inside a conductor: the generatrix that bounds it (-1 the earth)
  bool conductor = false;  // inside a conductor or the earth: phi its potential, field 0
  bool exact = false;      // computed at this point (false: filled from a coarser pass)
};

class FieldMap {
 public:
  FieldMap() = default;
  FieldMap(const MapRect& rect, int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }
  const MapRect& Rect() const { return rect_; }
  // Grid coordinates of column i / row j (row 0 at y1).
  double X(int i) const;
  double Y(int j) const;
  const MapPoint& At(int i, int j) const { return points_[static_cast<size_t>(j) * width_ + i]; }
  MapPoint& At(int i, int j) { return points_[static_cast<size_t>(j) * width_ + i]; }
  // The stride of the finest pass completed: 1 when every point is exact,
  // 0 before the first pass.
  int Stride() const { return stride_; }
  void SetStride(int s) { stride_ = s; }
  bool Complete() const { return stride_ == 1; }
  // Smallest and largest phi and |E| over the computed points (conductors
  // included for phi).
  void Range(double& phiMin, double& phiMax, double& eMax) const;

 private:
  MapRect rect_;
  int width_ = 0, height_ = 0;
  int stride_ = 0;
  std::vector<MapPoint> points_;
};

class PlaneRegions;

// One point as the map computes it (for a cursor read-out): the region from
// `regions`, then FieldAt there, or the conductor's potential and zero field.
MapPoint EvaluatePoint(const FieldCalc& calc, const PlaneRegions& regions, double x, double y,
                       const ringkernel::ChargeArrays* prepared = nullptr);

enum class MapStatus { kComplete, kStopped, kNoSolution, kBadRequest };

struct MapCallbacks {
  // After each coarse-to-fine pass, on the calling thread, while no chunk
  // runs: copy what is to be shown elsewhere (the map is written on by the
  // next pass). The map is complete when map.Complete().
  std::function<void(const FieldMap& map)> onPass;
  // Fraction done (0..1) after each chunk, on the calling thread.
  std::function<void(double fraction)> onProgress;
  // Checked between chunks; may be set from any thread.
  const std::atomic<bool>* stop = nullptr;
};

// Computes `map` (already sized with its rectangle) for the solved system.
// The first pass is the coarsest; with `coarseFirst` false every point is
// computed in one pass.
MapStatus ComputeFieldMap(const FieldCalc& calc, FieldMap& map, const MapCallbacks& callbacks = {},
                          bool coarseFirst = true);

// The rectangle a picture of the whole system needs: the generatrices'
// extent from the axis, with `margin` (a fraction of the larger side) on
// the other sides; with the earth on it starts at y = 0.
MapRect DefaultMapRect(const FieldCalc& calc, double margin = 0.5);

// ---- Equipotentials ----

struct Polyline {
  double level = 0.0;
  bool closed = false;
  std::vector<double> x, y;  // cm
};

// Contours of phi at each level by marching squares on the map's exact
// points (interpolated linearly along cell edges), joined into polylines.
// Saddle cells are resolved by the cell's mean value.
std::vector<Polyline> ExtractContours(const FieldMap& map, const std::vector<double>& levels);

// The multiples of `step` in [lo, hi] (at most 1000 of them).
std::vector<double> ContourLevels(double lo, double hi, double step);
