#pragma once
// The elements' canvas on a QPainter: logical units (0.1 cm, y up) are mapped
// to whole device pixels with the view's mapping, the way the platform's
// drawing interface rounds them.

#include <QPen>
#include <QPoint>

#include "model/DrawSurface.h"
#include "views/ViewMapping.h"

class QPainter;

class QtDrawSurface : public DrawSurface {
 public:
  QtDrawSurface(QPainter& painter, const ViewMapping& mapping) : painter_(painter), mapping_(mapping) {}

  void MoveTo(int x, int y) override;
  void LineTo(int x, int y) override;
  void Ellipse(int left, int top, int right, int bottom) override;
  void Arc(int left, int top, int right, int bottom, double startAngle, double sweepAngle) override;
  void FillMarker(int left, int top, int right, int bottom) override;
  void SetPixel(int x, int y) override;

  QPoint Device(double lx, double ly) const;

 private:
  QPainter& painter_;
  const ViewMapping& mapping_;
  QPoint current_;
};
