#include "views/InceptionView.h"

#include <QBrush>
#include <QPainter>
#include <QPainterPath>
#include <QPointF>
#include <QTreeWidgetItem>

#include "engine/Inception.h"
#include "views/ViewMapping.h"

namespace {

QString Num(double v) { return QString::number(v, 'g', 4); }

QString Describe(const InceptionOnset& o) {
  if (!o.incepts)
    return QStringLiteral("не возникает до %1 × U (U = %2 кВ)").arg(Num(kInceptionMaxFactor), Num(o.potential));
  QString text = QStringLiteral("возникает при %1 кВ, запас %2; от (%3; %4) см, E = %5 кВ/см, лавина %6 см")
                     .arg(Num(o.onsetKv), Num(o.margin), Num(o.startX), Num(o.startY), Num(o.margin * o.startField),
                          Num(o.criticalLength));
  if (o.reachesEnd) text += QStringLiteral(" (через весь промежуток: пробой)");
  return text;
}

void AddRow(QTreeWidgetItem* section, const QString& name, const InceptionOnset& o, int pointRole) {
  auto* row = new QTreeWidgetItem(section, {name, Describe(o)});
  row->setData(0, pointRole, QPointF(o.startX, o.startY));
  if (o.incepts && o.margin < 1.0) {
    for (int c = 0; c < 2; ++c) row->setForeground(c, QBrush(Qt::red));
    row->setToolTip(1, QStringLiteral("Запас меньше 1: разряд возникает уже при заданных напряжениях"));
  }
}

QPolygonF Device(const ViewMapping& mapping, const std::vector<FieldLinePoint>& points) {
  QPolygonF poly;
  poly.reserve(static_cast<int>(points.size()));
  for (const FieldLinePoint& p : points) poly << mapping.ToDevice(10.0 * p.x, 10.0 * p.y);
  return poly;
}

}  // namespace

void AddInceptionRows(QTreeWidgetItem* section, const InceptionResult& r, int pointRole) {
  if (r.errorCode) {
    auto* row = new QTreeWidgetItem(section, {QString::fromStdString(r.error)});
    row->setFirstColumnSpanned(true);
    row->setForeground(0, QBrush(Qt::red));
    return;
  }
  new QTreeWidgetItem(section, {QStringLiteral("Газ"), QStringLiteral("%1, %2 бар, %3 °C (δ = %4), K = %5")
                                                          .arg(QString::fromStdString(r.gas), Num(r.pressureBar),
                                                               Num(r.temperatureC), Num(r.relativeDensity), Num(r.k))});
  for (const InceptionOnset& o : r.bodies) AddRow(section, QStringLiteral("Тело %1").arg(o.body + 1), o, pointRole);
  for (const InceptionOnset& o : r.points)
    AddRow(section, QStringLiteral("Точка (%1; %2)").arg(Num(o.atX), Num(o.atY)), o, pointRole);
}

void PaintCriticalLines(QPainter& painter, const ViewMapping& mapping, const InceptionResult& r) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setBrush(Qt::NoBrush);
  auto paint = [&](const InceptionOnset& o) {
    if (!o.incepts || o.avalanche.empty()) return;
    const QColor colour = o.margin < 1.0 ? QColor(220, 0, 0) : QColor(230, 110, 0);
    QPen thin(colour, 1.0, Qt::DashLine);
    painter.setPen(thin);
    painter.drawPolyline(Device(mapping, o.line.points));
    QPen thick(colour, 3.0);
    thick.setCapStyle(Qt::RoundCap);
    painter.setPen(thick);
    painter.drawPolyline(Device(mapping, o.avalanche));
    const QPointF start = mapping.ToDevice(10.0 * o.startX, 10.0 * o.startY);
    painter.drawEllipse(start, 4.0, 4.0);
  };
  for (const InceptionOnset& o : r.bodies) paint(o);
  for (const InceptionOnset& o : r.points) paint(o);
  painter.restore();
}
