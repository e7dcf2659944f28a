#include "dialogs/Pictures.h"

#include <QApplication>
#include <QPainter>
#include <QPainterPath>

namespace pictures {

namespace {

QPixmap Canvas(int w, int h) {
  QPixmap pm(w, h);
  pm.fill(Qt::transparent);
  return pm;
}

}  // namespace

QPixmap ArcPicture() {
  QPixmap pm = Canvas(48, 36);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0, 0, 160), 2));
  // A half circle standing on its chord, with the centre marked.
  p.drawArc(QRectF(8, 6, 32, 32), 0, 180 * 16);
  p.setPen(QPen(Qt::gray, 1, Qt::DotLine));
  p.drawLine(QPointF(8, 22), QPointF(40, 22));
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(Qt::black);
  p.drawEllipse(QPointF(24, 22), 1.5, 1.5);
  return pm;
}

QPixmap LinePicture() {
  QPixmap pm = Canvas(48, 36);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0, 0, 160), 2));
  p.drawLine(QPointF(8, 30), QPointF(40, 6));
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawEllipse(QPointF(8, 30), 2, 2);
  p.drawEllipse(QPointF(40, 6), 2, 2);
  return pm;
}

QIcon ArcCurveIcon() {
  QPixmap pm = Canvas(16, 16);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0, 120, 0), 1.6));
  p.drawArc(QRectF(2, 3, 12, 12), 0, 200 * 16);
  p.setPen(QPen(QColor(0, 120, 0), 1, Qt::DotLine));
  p.drawPoint(QPointF(8, 9));
  return QIcon(pm);
}

QIcon LineCurveIcon() {
  QPixmap pm = Canvas(16, 16);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0, 120, 0), 1.6));
  p.drawLine(QPointF(2.5, 13.5), QPointF(13.5, 2.5));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 80, 0));
  p.drawEllipse(QPointF(2.5, 13.5), 1.5, 1.5);
  p.drawEllipse(QPointF(13.5, 2.5), 1.5, 1.5);
  return QIcon(pm);
}

QIcon MainIcon() {
  if (!qApp->windowIcon().isNull()) return qApp->windowIcon();
  QPixmap pm = Canvas(32, 32);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  // An electrode above the earth with a few field lines.
  p.setPen(QPen(QColor(30, 30, 30), 1.5));
  p.drawLine(QPointF(2, 29), QPointF(30, 29));
  p.setPen(QPen(QColor(60, 120, 220), 1.2));
  for (int i = 0; i < 4; ++i) p.drawLine(QPointF(7 + 6 * i, 15), QPointF(4 + 8 * i, 28));
  p.setPen(QPen(QColor(180, 20, 20), 1.5));
  p.setBrush(QColor(230, 90, 60));
  p.drawEllipse(QRectF(6, 3, 20, 12));
  return QIcon(pm);
}

}  // namespace pictures
