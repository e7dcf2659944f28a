#pragma once
// Points of the field-forming system where the exact field is infinite or
// zero, found from the geometry alone: generatrix ends where conductor
// surfaces meet at an angle, free ends of thin conductors, and
// conductor-dielectric-gas triple points.
//
// Near such a point the field goes as distance^p, p = lambda - 1, where
// lambda is the smallest positive exponent of the potential in the wedges
// between the conductor faces (one medium of opening alpha: lambda =
// pi/alpha; a dielectric wedge beside a gas wedge: the root of the
// interface conditions). p < 0: infinite (a convex edge, 270 degrees seen
// from the field: p = -1/3); p > 0: the field vanishes there.
//
// Points on the axis are not judged (the meridian wedge is a cone there),
// nor points where bodies at different potentials touch.

#include <string>
#include <vector>

#include "model/CSurfColl.h"

struct SingularPoint {
  double x = 0.0, y = 0.0;
  std::vector<int> generatrices;  // 0-based, the ends that meet here
  double angleDeg = 0.0;          // the field's opening (all wedges together)
  double exponent = 0.0;          // field ~ distance^exponent
  bool infinite = false;          // exponent < 0
  double radius = 0.0;            // cm: the neighbourhood the largest field leaves out
};

// Default neighbourhood: this fraction of the shorter adjoining generatrix.
constexpr double kSingularRadiusFraction = 0.02;

// Every singular point of `system`; `radius` > 0 sets the neighbourhood of
// the infinite ones, otherwise the default applies.
std::vector<SingularPoint> FindSingularPoints(const CSurfColl& system, double radius = -1.0);

// lambda for wedges in order between two conductor faces: openings in
// radians and their relative permittivities (one or two wedges).
double WedgeExponent(const std::vector<double>& openings, const std::vector<double>& eps);

// Whether (x, y) lies in the neighbourhood of an infinite point.
bool InSingularNeighbourhood(const std::vector<SingularPoint>& points, double x, double y);

// "поле в точке (x; y) бесконечно: угол 270°, скруглите кромку" and its
// kin, naming the generatrices (1-based).
std::string SingularPointWarning(const SingularPoint& p);
