#pragma once
// A straight generatrix from (x1, y1) to (x2, y2). Charges of a conductor sit
// to the right of the direction of travel (the inner side).

#include "model/SurfData.h"

class Line : public SurfData {
 public:
  Line(const SurfParams& p, double x1, double y1, double x2, double y2);
  // From one upper-cased line of a field-system or curve file.
  explicit Line(const std::string& upperText);

  std::unique_ptr<SurfData> Clone() const override { return std::make_unique<Line>(*this); }
  void Draw(DrawSurface& dc) const override;
  std::string GetText() const override;
  int GetKind() const override { return kLine; }
  void MakeContourPoints(std::vector<ContourPoint>& points) const override;
  void MakeCharges(std::vector<Charge>& charges, bool earth) const override;
  void GetCalcPoint(double& x, double& y, double& nx, double& ny, int index,
                    float perInterval) const override;
  void GetEnds(double& x1, double& y1, double& x2, double& y2) const override;
  void GetMaxCorner(double& x, double& y) const override;
  bool HitTest(double x, double y) const override;
  void SetAll(const SurfParams& p, double x1, double y1, double x2, double y2);

  double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0;
  // Derived from the geometry and pointCount by ComputeDerived().
  double direction = 0.0;  // radians, in [-pi/2, 3pi/2); 0 for a zero-length line
  double normal = 0.0;     // direction - pi/2: points to the inner side
  double length = 0.0;
  double step = 0.0;  // length / (pointCount + 1)

 private:
  void ComputeDerived();
};
