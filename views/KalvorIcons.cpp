#include "views/KalvorIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <functional>

#include "dialogs/Pictures.h"

namespace KalvorIcons {
namespace {

QIcon Draw(int size, const std::function<void(QPainter&)>& paint) {
  return QIcon(pictures::Drawn(size, size, paint));
}

void Letter(QPainter& p, const QString& text, const QColor& color, int size = 16) {
  QFont f = p.font();
  f.setPixelSize(size <= 16 ? 12 : 20);
  f.setBold(true);
  p.setFont(f);
  p.setPen(color);
  p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, text);
}

const QColor kBlue(27, 21, 242);
const QColor kGreen(0, 160, 0);
const QColor kGrey(96, 96, 96);

void Page(QPainter& p) {
  p.setPen(QPen(kGrey, 1));
  p.setBrush(Qt::white);
  QPolygonF sheet{{3.5, 1.5}, {10.5, 1.5}, {13.5, 4.5}, {13.5, 14.5}, {3.5, 14.5}};
  p.drawPolygon(sheet);
  p.drawLine(QPointF(10.5, 1.5), QPointF(10.5, 4.5));
  p.drawLine(QPointF(10.5, 4.5), QPointF(13.5, 4.5));
}

void Magnifier(QPainter& p, bool plus) {
  p.setPen(QPen(Qt::black, 1.5));
  p.setBrush(QColor(220, 240, 255));
  p.drawEllipse(QPointF(6.5, 6.5), 4.5, 4.5);
  p.setPen(QPen(Qt::black, 2.5));
  p.drawLine(QPointF(10, 10), QPointF(14.5, 14.5));
  p.setPen(QPen(Qt::black, 1.3));
  p.drawLine(QPointF(4.5, 6.5), QPointF(8.5, 6.5));
  if (plus) p.drawLine(QPointF(6.5, 4.5), QPointF(6.5, 8.5));
}

}  // namespace

QIcon TreeIcon(int index) {
  switch (index) {
    case kGeneral:
      return Draw(16, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kGrey);
        p.drawEllipse(QPointF(8, 8), 3, 3);
      });
    case kLineItem:
      return Draw(16, [](QPainter& p) {
        p.setPen(QPen(kBlue, 2));
        p.drawLine(QPointF(2, 14), QPointF(14, 2));
        p.setBrush(Qt::black);
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(1, 12.5, 3, 3));
        p.drawRect(QRectF(12.5, 1, 3, 3));
      });
    case kArcItem:
      return Draw(16, [](QPainter& p) {
        p.setPen(QPen(kBlue, 2));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(2, 2, 12, 12), 90 * 16, -180 * 16);
        p.setPen(QPen(kGrey, 1, Qt::DotLine));
        p.drawArc(QRectF(2, 2, 12, 12), 90 * 16, 180 * 16);
      });
    case kDielectric:
      return Draw(16, [](QPainter& p) {
        p.setPen(QPen(kGreen, 1));
        p.setBrush(QColor(190, 255, 190));
        p.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 2, 2);
        Letter(p, QStringLiteral("ε"), kGreen);
      });
    case kConductor:
      return Draw(16, [](QPainter& p) {
        p.setPen(QPen(kGrey, 1));
        QLinearGradient g(0, 0, 16, 16);
        g.setColorAt(0, QColor(240, 240, 240));
        g.setColorAt(1, QColor(120, 120, 140));
        p.setBrush(g);
        p.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 2, 2);
        Letter(p, QStringLiteral("φ"), QColor(20, 20, 120));
      });
    case kCoordinates:
      return Draw(16, [](QPainter& p) {
        p.setPen(QPen(Qt::black, 1.2));
        p.drawLine(QPointF(3, 13), QPointF(3, 2));
        p.drawLine(QPointF(3, 13), QPointF(14, 13));
        p.drawLine(QPointF(3, 2), QPointF(1.5, 4.5));
        p.drawLine(QPointF(3, 2), QPointF(4.5, 4.5));
        p.drawLine(QPointF(14, 13), QPointF(11.5, 11.5));
        p.drawLine(QPointF(14, 13), QPointF(11.5, 14.5));
        p.setBrush(Qt::red);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(9, 7), 1.8, 1.8);
      });
    case kX:
      return Draw(16, [](QPainter& p) { Letter(p, QStringLiteral("x"), QColor(170, 0, 0)); });
    case kY:
      return Draw(16, [](QPainter& p) { Letter(p, QStringLiteral("y"), QColor(0, 110, 0)); });
    case kRadius:
      return Draw(16, [](QPainter& p) {
        p.setPen(QPen(kGrey, 1));
        p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        p.setPen(QPen(QColor(170, 0, 0), 1.5));
        p.drawLine(QPointF(8, 8), QPointF(13, 4));
        p.setBrush(Qt::black);
        p.drawEllipse(QPointF(8, 8), 1, 1);
      });
    case kAngle:
      return Draw(16, [](QPainter& p) {
        p.setPen(QPen(Qt::black, 1.2));
        p.drawLine(QPointF(2, 14), QPointF(15, 14));
        p.drawLine(QPointF(2, 14), QPointF(12, 3));
        p.setPen(QPen(QColor(0, 0, 200), 1.2));
        p.drawArc(QRectF(-5, 7, 14, 14), 0, 48 * 16);
      });
    default:
      return {};
  }
}

QIcon ToolIcon(ToolImage image) {
  switch (image) {
    case kNew:
      return Draw(16, [](QPainter& p) { Page(p); });
    case kOpen:
      return Draw(16, [](QPainter& p) {
        p.setPen(QPen(QColor(150, 110, 20), 1));
        p.setBrush(QColor(250, 215, 110));
        p.drawRect(QRectF(1.5, 4.5, 12, 9));
        p.setBrush(QColor(255, 235, 150));
        p.drawPolygon(QPolygonF{{1.5, 13.5}, {4.5, 7.5}, {15.5, 7.5}, {13.5, 13.5}});
      });
    case kSave:
      return Draw(16, [](QPainter& p) {
        p.setPen(QPen(QColor(30, 30, 90), 1));
        p.setBrush(QColor(70, 90, 180));
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(4.5, 9.5, 7, 5));
      });
    case kCut:
      return Draw(16, [](QPainter& p) {
        p.setPen(QPen(Qt::black, 1.2));
        p.drawLine(QPointF(5, 1), QPointF(10, 10));
        p.drawLine(QPointF(11, 1), QPointF(6, 10));
        p.drawEllipse(QPointF(4.5, 12), 2.5, 2.5);
        p.drawEllipse(QPointF(11.5, 12), 2.5, 2.5);
      });
    case kCopy:
      return Draw(16, [](QPainter& p) {
        p.setPen(QPen(kGrey, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(1.5, 1.5, 8, 10));
        p.drawRect(QRectF(6.5, 4.5, 8, 10));
      });
    case kPaste:
      return Draw(16, [](QPainter& p) {
        p.setPen(QPen(QColor(120, 80, 20), 1));
        p.setBrush(QColor(210, 160, 90));
        p.drawRect(QRectF(1.5, 2.5, 10, 12));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6.5, 6.5, 8, 8));
        p.setBrush(kGrey);
        p.drawRect(QRectF(4.5, 1.5, 4, 2));
      });
    case kPrintPreview:
      return Draw(16, [](QPainter& p) {
        Page(p);
        p.setPen(QPen(Qt::black, 1.2));
        p.setBrush(QColor(220, 240, 255, 200));
        p.drawEllipse(QPointF(8, 8), 3.5, 3.5);
        p.setPen(QPen(Qt::black, 2));
        p.drawLine(QPointF(10.5, 10.5), QPointF(14.5, 14.5));
      });
    case kZoomIn:
      return Draw(16, [](QPainter& p) { Magnifier(p, true); });
    case kZoomOut:
      return Draw(16, [](QPainter& p) { Magnifier(p, false); });
    case kPrint:
      return Draw(16, [](QPainter& p) {
        p.setPen(QPen(kGrey, 1));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 1.5, 7, 5));
        p.setBrush(QColor(190, 190, 190));
        p.drawRect(QRectF(1.5, 6.5, 13, 6));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(4.5, 10.5, 7, 4));
      });
    case kAbout:
      return Draw(16, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(30, 90, 200));
        p.drawEllipse(QRectF(1, 1, 14, 14));
        Letter(p, QStringLiteral("i"), Qt::white);
      });
    case kContextHelp:
      return Draw(16, [](QPainter& p) {
        p.setPen(QPen(Qt::black, 1));
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF{{1.5, 1.5}, {1.5, 11.5}, {4, 9}, {6, 13.5}, {7.5, 13}, {5.5, 8.5}, {8.5, 8.5}});
        QFont f = p.font();
        f.setPixelSize(11);
        f.setBold(true);
        p.setFont(f);
        p.setPen(QColor(30, 90, 200));
        p.drawText(QRect(7, 0, 9, 12), Qt::AlignCenter, QStringLiteral("?"));
      });
    case kCreateArc:
      return Draw(16, [](QPainter& p) {
        p.setPen(QPen(kBlue, 2));
        p.drawArc(QRectF(2, 2, 12, 12), 90 * 16, -180 * 16);
        p.setPen(QPen(QColor(0, 140, 0), 1.5));
        p.drawLine(QPointF(1, 4), QPointF(6, 4));
        p.drawLine(QPointF(3.5, 1.5), QPointF(3.5, 6.5));
      });
    case kCreateLine:
      return Draw(16, [](QPainter& p) {
        p.setPen(QPen(kBlue, 2));
        p.drawLine(QPointF(4, 14), QPointF(14, 4));
        p.setPen(QPen(QColor(0, 140, 0), 1.5));
        p.drawLine(QPointF(1, 4), QPointF(6, 4));
        p.drawLine(QPointF(3.5, 1.5), QPointF(3.5, 6.5));
      });
    case kMainIcon:
      return Draw(32, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(245, 245, 250));
        p.drawRoundedRect(QRectF(1, 1, 30, 30), 4, 4);
        p.setPen(QPen(QColor(67, 200, 220), 1.5, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        for (int r = 8; r <= 20; r += 6) p.drawArc(QRectF(4 - r, 16 - r, 2 * r, 2 * r), -90 * 16, 180 * 16);
        p.setPen(QPen(QColor(128, 128, 128), 3));
        p.drawArc(QRectF(0, 12, 8, 8), -90 * 16, 180 * 16);
        p.setPen(QPen(Qt::black, 1, Qt::DashDotLine));
        p.drawLine(QPointF(4, 2), QPointF(4, 30));
      });
  }
  return {};
}

}  // namespace KalvorIcons
