#include "dialogs/SystemPreview.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "model/Arch.h"
#include "model/Line.h"

namespace {

// Points along a generatrix, enough for a smooth arc.
std::vector<QPointF> Trace(const SurfData& e) {
  if (const auto* l = dynamic_cast<const Line*>(&e)) return {{l->x1, l->y1}, {l->x2, l->y2}};
  std::vector<QPointF> pts;
  if (const auto* a = dynamic_cast<const Arch*>(&e)) {
    const int n = std::clamp(static_cast<int>(std::fabs(a->angle2 - a->angle1) * 20), 4, 400);
    for (int k = 0; k <= n; ++k) {
      const double th = a->angle1 + (a->angle2 - a->angle1) * k / n;
      pts.emplace_back(a->xc + a->radius * std::cos(th), a->yc + a->radius * std::sin(th));
    }
  }
  return pts;
}

QColor Colour(const SurfData& e) {
  if (e.material == 0) return QColor(0, 170, 0);
  if (e.isFloating) return QColor(220, 80, 181);
  return e.isFixed ? QColor(100, 100, 100) : QColor(27, 21, 242);
}

}  // namespace

SystemPreview::SystemPreview(QWidget* parent) : QWidget(parent) {
  setMinimumSize(240, 180);
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, Qt::white);
  setPalette(p);
}

void SystemPreview::SetSystem(CSurfColl system, std::set<int> highlight, CSurfColl before, std::set<int> frame) {
  system_ = std::move(system);
  highlight_ = std::move(highlight);
  before_ = std::move(before);
  frame_ = std::move(frame);
  update();
}

void SystemPreview::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  auto grow = [&](const SurfData& e) {
    for (const QPointF& p : Trace(e)) {
      x0 = std::min(x0, p.x()), y0 = std::min(y0, p.y());
      x1 = std::max(x1, p.x()), y1 = std::max(y1, p.y());
    }
  };
  for (int k = 0; k < system_.GetSize(); ++k)
    if (frame_.empty() || frame_.count(k)) grow(*system_.At(k));
  if (frame_.empty())
    for (const auto& e : before_) grow(*e);
  if (!(x1 >= x0)) {
    painter.drawText(rect(), Qt::AlignCenter, QStringLiteral("Нет образующих"));
    return;
  }
  const double w = std::max(x1 - x0, y1 - y0) * 0.1 + 1e-9;
  x0 -= w, x1 += w, y0 -= w, y1 += w;
  const double scale = std::min((width() - 8) / (x1 - x0), (height() - 8) / (y1 - y0));
  auto map = [&](QPointF p) {
    return QPointF(4 + (p.x() - x0) * scale, height() - 4 - (p.y() - y0) * scale);
  };
  auto draw = [&](const SurfData& e, QPen pen) {
    const std::vector<QPointF> pts = Trace(e);
    QPainterPath path;
    for (size_t k = 0; k < pts.size(); ++k) k == 0 ? path.moveTo(map(pts[k])) : path.lineTo(map(pts[k]));
    painter.setPen(pen);
    painter.drawPath(path);
  };
  // The symmetry axis.
  if (x0 <= 0 && x1 >= 0) {
    painter.setPen(QPen(Qt::black, 1, Qt::DashDotLine));
    painter.drawLine(map({0, y0}), map({0, y1}));
  }
  for (const auto& e : before_) draw(*e, QPen(QColor(180, 180, 180), 1, Qt::DashLine));
  for (int k = 0; k < system_.GetSize(); ++k) {
    const SurfData& e = *system_.At(k);
    draw(e, QPen(highlight_.count(k) ? QColor(220, 30, 30) : Colour(e), highlight_.count(k) ? 2.5 : 1.5));
  }
}
