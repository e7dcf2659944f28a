#pragma once
// Which region of the meridian half-plane a point lies in, decided from the
// generatrices themselves: the nearest generatrix and the side of it the
// point lies on. The side to the right of a generatrix's direction of travel
// (where its charges sit) is its inner side. Where the nearest point is an
// end shared by several generatrices, the point falls into one of the
// angular sectors their tangents cut around that end; at an end on the axis
// the sectors are mirrored across it, since the axis bounds no region.
//
// A point on a generatrix (within a rounding tolerance) belongs to its outer
// side, the side whose field the surface result files report. With the earth
// on, every point below y = 0 lies in the earth.
//
// Built once from a FieldCalc (a copy of the geometry, so it can be used
// from any number of threads while the engine is not changed); Locate is
// const and cheap: one pass over the generatrices.

#include <vector>

class FieldCalc;
class SurfData;

struct PointRegion {
  // Region whose FieldAt applies; inside a conductor, the body's region
  // (the conductor's inner region); kEarthRegion in the earth.
  int region = 0;
  bool conductor = false;
  // 0-based index of the generatrix that decided; -1 for the earth.
  int generatrix = -1;
  // Inside a conductor: its potential (kV); a floating conductor's solved
  // potential, 0 before a solution.
  double potential = 0.0;
  bool earth = false;
};

class PlaneRegions {
 public:
  static constexpr int kEarthRegion = -1;

  explicit PlaneRegions(const FieldCalc& calc);

  // x < 0 is taken as its mirror image (the field is axisymmetric).
  PointRegion Locate(double x, double y) const;

  // Lower-left and upper-right corner of all generatrices (arcs by their
  // actual extent); all zero for an empty system.
  void Bounds(double& x1, double& y1, double& x2, double& y2) const;
  int Count() const { return static_cast<int>(elements_.size()); }

 private:
  struct Element {
    bool arc = false;
    bool valid = false;  // zero length or zero radius elements decide nothing
    // Line: a -> b. Arc: centre c, radius r, angles a1 -> a2.
    double ax = 0, ay = 0, bx = 0, by = 0;
    double cx = 0, cy = 0, r = 0, a1 = 0, a2 = 0;
    bool conductor = false;
    int inner = 0, outer = 0;
    // Conductor potential: from -> to along the contour points (equal for a
    // fixed or floating one); n contour points.
    double from = 0, to = 0;
    int n = 0;
  };
  struct Nearest {
    double distance = 0;
    double t = 0;          // 0..1 along the element
    bool interior = false;  // the projection falls on the element (ends included)
    int end = 0;           // otherwise: 0 first end, 1 second end
    int side = 0;          // interior: +1 inner (right of travel), -1 outer, 0 on it
  };

  static Nearest NearestOn(const Element& e, double x, double y);
  // Unit tangent in the direction of travel at parameter t (0 or 1).
  static void Tangent(const Element& e, int end, double& tx, double& ty);
  static void EndPoint(const Element& e, int end, double& x, double& y);
  PointRegion Side(int index, bool innerSide, double t) const;
  PointRegion AtVertex(double vx, double vy, double x, double y) const;

  std::vector<Element> elements_;
  bool earth_ = false;
  double tolerance_ = 1e-9;
};
