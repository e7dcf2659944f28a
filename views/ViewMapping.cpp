#include "views/ViewMapping.h"

#include <algorithm>
#include <cmath>

ViewMapping::ViewMapping(int xmax, int ymax, QSize canvas, QPoint scroll) {
  // A system within 1 cm of the axis or of y = 0 would have a zero extent;
  // it is given at least 1 cm so the mapping stays defined.
  const double windowX = 10.0 * std::max(xmax, 1);
  const double windowY = 10.0 * std::max(ymax, 1);
  const double viewportX = std::max(canvas.width() - 2 * kMargin, 1);
  const double viewportY = std::max(canvas.height() - 2 * kMargin, 1);
  // Isotropic: the smaller scale wins, the other extent shrinks.
  scale_ = std::min(viewportX / windowX, viewportY / windowY);
  origin_ = QPointF(kMargin - scroll.x(), canvas.height() - kMargin - scroll.y());
}

ViewMapping::ViewMapping(QRectF box, QSize canvas, QPoint scroll) {
  box = box.normalized();
  constexpr double kLeast = 10.0;  // 1 cm
  if (box.width() < kLeast) box.adjust(-(kLeast - box.width()) / 2, 0, (kLeast - box.width()) / 2, 0);
  if (box.height() < kLeast) box.adjust(0, -(kLeast - box.height()) / 2, 0, (kLeast - box.height()) / 2);
  const double viewportX = std::max(canvas.width() - 2 * kMargin, 1);
  const double viewportY = std::max(canvas.height() - 2 * kMargin, 1);
  scale_ = std::min(viewportX / box.width(), viewportY / box.height());
  // The spare room of the longer side is shared on both sides of the box.
  const double spareX = (viewportX - box.width() * scale_) / 2;
  const double spareY = (viewportY - box.height() * scale_) / 2;
  origin_ = QPointF(kMargin + spareX - box.left() * scale_ - scroll.x(),
                    canvas.height() - kMargin - spareY + box.top() * scale_ - scroll.y());
}

QPointF ViewMapping::ToLogicalF(QPointF device) const {
  return {(device.x() - origin_.x()) / scale_, (origin_.y() - device.y()) / scale_};
}

QPointF ViewMapping::ToDevice(double lx, double ly) const {
  return {origin_.x() + lx * scale_, origin_.y() - ly * scale_};
}

QPoint ViewMapping::ToLogical(QPoint device) const {
  const double lx = (device.x() - origin_.x()) / scale_;
  const double ly = (origin_.y() - device.y()) / scale_;
  auto clamp = [](double v) { return static_cast<int>(std::lround(std::clamp(v, -2.0e9, 2.0e9))); };
  return {clamp(lx), clamp(ly)};
}

QPointF ViewMapping::ToModel(QPoint device) const {
  const QPoint l = ToLogical(device);
  return {l.x() * 0.1, l.y() * 0.1};
}
