#include "views/QtDrawSurface.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <numbers>

namespace {

double ToDegrees(double radians) { return radians * 180.0 / std::numbers::pi; }

}  // namespace

QPoint QtDrawSurface::Device(double lx, double ly) const {
  const QPointF p = mapping_.ToDevice(lx, ly);
  return {static_cast<int>(std::lround(p.x())), static_cast<int>(std::lround(p.y()))};
}

void QtDrawSurface::MoveTo(int x, int y) { current_ = Device(x, y); }

void QtDrawSurface::LineTo(int x, int y) {
  const QPoint to = Device(x, y);
  painter_.drawLine(current_, to);
  current_ = to;
}

void QtDrawSurface::Ellipse(int left, int top, int right, int bottom) {
  // Outline only: a filled disc would hide whatever lies inside the circle.
  const QRect box(Device(left, top), Device(right, bottom));
  painter_.save();
  painter_.setBrush(Qt::NoBrush);
  painter_.drawEllipse(box.normalized());
  painter_.restore();
}

void QtDrawSurface::Arc(int left, int top, int right, int bottom, double startAngle, double sweepAngle) {
  // The device y axis points down, so a counterclockwise sweep in the model
  // is counterclockwise on screen too, which is Qt's positive direction.
  const QRectF box = QRectF(QPointF(Device(left, top)), QPointF(Device(right, bottom))).normalized();
  QPainterPath path;
  path.arcMoveTo(box, ToDegrees(startAngle));
  path.arcTo(box, ToDegrees(startAngle), ToDegrees(sweepAngle));
  painter_.save();
  painter_.setBrush(Qt::NoBrush);
  painter_.drawPath(path);
  painter_.restore();
}

void QtDrawSurface::FillMarker(int left, int top, int right, int bottom) {
  const QRect box = QRect(Device(left, top), Device(right, bottom)).normalized();
  painter_.fillRect(box, Qt::black);
}

void QtDrawSurface::SetPixel(int x, int y) {
  const QPoint p = Device(x, y);
  painter_.fillRect(QRect(p, QSize(1, 1)), Qt::black);
}
