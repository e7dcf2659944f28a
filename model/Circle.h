#pragma once
// Ring-shaped points of the meridian half-plane: a contour point on a
// generatrix where a boundary condition is imposed, and a simulating ring
// charge. x is the ring radius (cm), y the axial coordinate (cm).

#include <cmath>

class DrawSurface;

class Circle {
 public:
  Circle() = default;
  Circle(double x, double y, int material, int region, int otherRegion)
      : x(x), y(y), material(material), region(region), otherRegion(otherRegion) {}
  virtual ~Circle() = default;
  Circle(const Circle&) = default;
  Circle& operator=(const Circle&) = default;

  // One black pixel at the position in logical units of 0.1 cm (1.95 cm -> 19).
  virtual void Draw(DrawSurface& dc) const;

  double x = 0.0;
  double y = 0.0;
  int material = 0;     // 1 conductor, 0 dielectric
  int region = 0;       // point: inner region; charge: region it lies in
  int otherRegion = 0;  // point: outer region; charge: region across the surface
};

class ContourPoint : public Circle {
 public:
  ContourPoint() = default;
  ContourPoint(double x, double y, int material, int region, int otherRegion, double epsInner,
               double epsOuter, double normalAngle, double potential, bool isFloating)
      : Circle(x, y, material, region, otherRegion),
        epsInner(epsInner),
        epsOuter(epsOuter),
        normalAngle(normalAngle),
        potential(potential),
        isFloating(isFloating) {}

  double NormalX() const { return std::cos(normalAngle); }
  double NormalY() const { return std::sin(normalAngle); }
  double EpsInner() const { return epsInner; }
  double EpsOuter() const { return epsOuter; }

  double epsInner = 0.0;
  double epsOuter = 0.0;
  double normalAngle = 0.0;  // radians from +x; normal = (cos, sin)
  double potential = 0.0;    // kV; solved value for a floating point
  bool isFloating = false;
};

class Charge : public Circle {
 public:
  Charge() = default;
  Charge(double x, double y, int material, int region, int otherRegion, bool earthImage, double q)
      : Circle(x, y, material, region, otherRegion), q(q), earthImage(earthImage) {}

  double Q() const { return q; }

  double q = 1.0;
  bool earthImage = false;
};
