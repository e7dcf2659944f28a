#include "dialogs/Pictures.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

namespace pictures {

namespace {

// A segment with its two end points marked by dots.
void SegmentWithEnds(QPainter& p, QPointF a, QPointF b, const QPen& pen, const QBrush& ends, double radius) {
  p.setPen(pen);
  p.drawLine(a, b);
  p.setPen(Qt::NoPen);
  p.setBrush(ends);
  p.drawEllipse(a, radius, radius);
  p.drawEllipse(b, radius, radius);
}

}  // namespace

QPixmap Drawn(int w, int h, const std::function<void(QPainter&)>& paint) {
  QPixmap pm(w, h);
  pm.fill(Qt::transparent);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  paint(p);
  p.end();
  return pm;
}

QPixmap ArcPicture() {
  return Drawn(48, 36, [](QPainter& p) {
    p.setPen(QPen(QColor(0, 0, 160), 2));
    // A half circle standing on its chord, with the centre marked.
    p.drawArc(QRectF(8, 6, 32, 32), 0, 180 * 16);
    p.setPen(QPen(Qt::gray, 1, Qt::DotLine));
    p.drawLine(QPointF(8, 22), QPointF(40, 22));
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(24, 22), 1.5, 1.5);
  });
}

QPixmap LinePicture() {
  return Drawn(48, 36, [](QPainter& p) {
    SegmentWithEnds(p, QPointF(8, 30), QPointF(40, 6), QPen(QColor(0, 0, 160), 2), Qt::black, 2);
  });
}

QIcon ArcCurveIcon() {
  return QIcon(Drawn(16, 16, [](QPainter& p) {
    p.setPen(QPen(QColor(0, 120, 0), 1.6));
    p.drawArc(QRectF(2, 3, 12, 12), 0, 200 * 16);
    p.setPen(QPen(QColor(0, 120, 0), 1, Qt::DotLine));
    p.drawPoint(QPointF(8, 9));
  }));
}

QIcon LineCurveIcon() {
  return QIcon(Drawn(16, 16, [](QPainter& p) {
    SegmentWithEnds(p, QPointF(2.5, 13.5), QPointF(13.5, 2.5), QPen(QColor(0, 120, 0), 1.6), QColor(0, 80, 0), 1.5);
  }));
}

QIcon MainIcon() {
  if (!qApp->windowIcon().isNull()) return qApp->windowIcon();
  return QIcon(Drawn(32, 32, [](QPainter& p) {
    // An electrode above the earth with a few field lines.
    p.setPen(QPen(QColor(30, 30, 30), 1.5));
    p.drawLine(QPointF(2, 29), QPointF(30, 29));
    p.setPen(QPen(QColor(60, 120, 220), 1.2));
    for (int i = 0; i < 4; ++i) p.drawLine(QPointF(7 + 6 * i, 15), QPointF(4 + 8 * i, 28));
    p.setPen(QPen(QColor(180, 20, 20), 1.5));
    p.setBrush(QColor(230, 90, 60));
    p.drawEllipse(QRectF(6, 3, 20, 12));
  }));
}

}  // namespace pictures
