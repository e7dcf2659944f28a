#pragma once
// A generatrix of the field-forming system (or a gap curve): everything that
// is not geometry. Line and Arch add the geometry.

#include <memory>
#include <string>
#include <vector>

#include "model/Circle.h"

class DrawSurface;

// The nine common parameters, in constructor order.
struct SurfParams {
  int material = 1;  // 1 conductor, 0 dielectric
  int innerRegion = 0;
  int outerRegion = 0;
  double epsInner = 0.0;
  double epsOuter = 0.0;
  double fixedPotential = 0.0;
  bool isFloating = false;
  int pointCount = 0;
  double ratioLd = 0.0;
};

class SurfData {
 public:
  enum Kind { kBase = 0, kLine = 1, kArch = 2 };

  SurfData() = default;
  explicit SurfData(const SurfParams& p);
  virtual ~SurfData() = default;

  // Copies carry the common parameters only (read-only views).
  SurfData(const SurfData&) = default;
  SurfData& operator=(const SurfData&) = default;

  // An independent copy of the same kind.
  virtual std::unique_ptr<SurfData> Clone() const { return std::make_unique<SurfData>(*this); }
  virtual void Draw(DrawSurface& dc) const;
  virtual std::string GetText() const;
  virtual int GetKind() const { return kBase; }
  virtual std::string GetResultRow(double, double, double, double, double) const { return {}; }
  virtual void MakeContourPoints(std::vector<ContourPoint>& points) const;
  virtual void MakeCharges(std::vector<Charge>& charges, bool earth) const;
  virtual void GetCalcPoint(double& x, double& y, double& nx, double& ny, int index,
                            float perInterval) const;
  virtual void GetEnds(double& x1, double& y1, double& x2, double& y2) const;
  virtual void GetMaxCorner(double& x, double& y) const;
  virtual bool HitTest(double x, double y) const;
  virtual void SetParams(const SurfParams& p);

  void SetFixedPotential(double value);
  void SetVariablePotential(double from, double to);
  void GetVariablePotential(double& from, double& to) const;
  bool SameInnerRegion(const SurfData& other) const { return innerRegion == other.innerRegion; }
  bool SetMarked(bool m);
  SurfParams Params() const;

  // Potential handed to contour point i (1-based) of n.
  double ContourPotential(int i, int n) const;
  // Charges this element places: n for a conductor, 2n for a dielectric, none for n <= 0.
  long long ChargeCount() const;
  long long PointCount() const { return pointCount > 0 ? pointCount : 0; }
  bool IsConductor() const { return material != 0; }

  // Graded placement: `cells` holds pointCount + 1 increasing boundaries
  // (fractions of the element from its first end, 0 ... 1); each cell gets
  // one contour point at its middle and charges ratioLd times the cell's
  // length deep. Only refinement sets it; the file format has no place for
  // it, so a read or edited element (or one whose count changed) is placed
  // evenly as the file describes.
  std::vector<double> cells;
  bool Graded() const { return pointCount > 0 && cells.size() == static_cast<size_t>(pointCount) + 1; }
  // The fraction of the element at `t` contour-point steps: 0 and n + 1 are
  // the ends, i the i-th contour point; linear in between.
  double FractionAt(double t) const;
  // Middle and length (fractions) of cell i (1-based) of a graded element.
  double CellMiddle(long long i) const { return 0.5 * (cells[i - 1] + cells[i]); }
  double CellLength(long long i) const { return cells[i] - cells[i - 1]; }

  bool marked = false;
  int material = 1;
  double fixedPotential = 0.0;
  int pointCount = 0;
  double ratioLd = 0.0;
  int innerRegion = 0;
  int outerRegion = 0;
  double epsInner = 0.0;
  double epsOuter = 0.0;
  bool isFloating = false;
  bool isFixed = false;
  double potentialFrom = 0.0;
  double potentialTo = 0.0;

 protected:
  // The common part of the file line, up to and including the kind letter
  // field; `geometry` and the potential/count tail are added around it.
  std::string ComposeText(const std::string& geometry) const;
  void DrawMarker(DrawSurface& dc, int x, int y) const;
};

// Model length to logical drawing units (0.1 cm), truncated towards zero.
int LogicalUnits(double v);
