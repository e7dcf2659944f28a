#pragma once
// A circular-arc generatrix about (xc, yc), running from angle1 to angle2
// (radians, counterclockwise when angle2 > angle1). Conductor charges sit to
// the right of the direction of travel: inside for a clockwise arc.

#include "model/SurfData.h"

class Arch : public SurfData {
 public:
  Arch(const SurfParams& p, double xc, double yc, double radius, double angle1, double angle2);
  explicit Arch(const std::string& upperText);

  std::unique_ptr<SurfData> Clone() const override { return std::make_unique<Arch>(*this); }
  void Draw(DrawSurface& dc) const override;
  std::string GetText() const override;
  int GetKind() const override { return kArch; }
  void MakeContourPoints(std::vector<ContourPoint>& points) const override;
  void MakeCharges(std::vector<Charge>& charges, bool earth) const override;
  void GetCalcPoint(double& x, double& y, double& nx, double& ny, int index,
                    float perInterval) const override;
  void GetEnds(double& x1, double& y1, double& x2, double& y2) const override;
  void GetMaxCorner(double& x, double& y) const override;
  bool HitTest(double x, double y) const override;
  void SetAll(const SurfParams& p, double xc, double yc, double radius, double angle1, double angle2);

  // Signed angular step between neighbouring contour points.
  // In double: pointCount + 1 would overflow an int for the largest count.
  double AngularStep() const { return (angle1 - angle2) / (static_cast<double>(pointCount) + 1.0); }

  double xc = 0.0, yc = 0.0, radius = 0.0;
  double angle1 = 0.0, angle2 = 0.0;
};

// Degrees <-> radians exactly as files and dialogs convert them.
double DegreesToRadians(double deg);
double RadiansToDegrees(double rad);
