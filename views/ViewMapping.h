#pragma once
// The geometry view's mapping between logical units (0.1 cm, y up) and
// device pixels: isotropic, a model box fitted into the canvas less a
// 10-pixel margin on every side, shifted by the scroll position. The view
// fits the system's own extent, centred (CKalvorView::SystemBox); the
// (Xmax, Ymax) form keeps the box [0, Xmax] x [0, Ymax] with the origin 10
// pixels from the left and bottom edges. Painting, printing, every mouse
// handler and whatever is drawn under the system use the view's mapping.

#include <QPoint>
#include <QPointF>
#include <QRectF>
#include <QSize>

class ViewMapping {
 public:
  ViewMapping(int xmax, int ymax, QSize canvas, QPoint scroll);
  // The geometry view's own mapping: the box (logical units, y up; a
  // dimension under 1 cm widened to 1 cm about its centre) fitted
  // isotropically into the canvas less the margins and centred in it.
  ViewMapping(QRectF box, QSize canvas, QPoint scroll);

  // Logical point (0.1 cm) to device pixel.
  QPointF ToDevice(double lx, double ly) const;
  // Device pixel to the nearest logical point.
  QPoint ToLogical(QPoint device) const;
  // Device pixel to model cm, in steps of 0.1 cm.
  QPointF ToModel(QPoint device) const;
  // Device point to logical units, unrounded.
  QPointF ToLogicalF(QPointF device) const;

  double Scale() const { return scale_; }  // pixels per logical unit
  QPointF Origin() const { return origin_; }

  static constexpr int kMargin = 10;

 private:
  double scale_ = 1.0;
  QPointF origin_;
};
