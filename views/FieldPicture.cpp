#include "views/FieldPicture.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "document/CKalvorDoc.h"
#include "engine/PlaneRegions.h"
#include "engine/SolutionSnapshot.h"
#include "views/ViewMapping.h"

namespace {

// Grid points per device pixel of the map: every second pixel is plenty for
// a smoothly scaled image, and keeps a full-window map within seconds.
constexpr double kPointsPerPixel = 0.5;
constexpr int kMaxGrid = 360;
constexpr int kRestartDelayMs = 150;

// The map the view shows is in 0.1 cm logical units.
QPointF Device(const ViewMapping& m, double xcm, double ycm) { return m.ToDevice(10.0 * xcm, 10.0 * ycm); }

QString Number(double v) { return QString::number(v, 'g', 4); }

// The picture mirrored about the axis x = 0 (device coordinates).
void MirrorAboutAxis(QPainter& painter, const ViewMapping& m) {
  const double axis = Device(m, 0.0, 0.0).x();
  painter.translate(axis, 0.0);
  painter.scale(-1.0, 1.0);
  painter.translate(-axis, 0.0);
}

}  // namespace

struct FieldPicture::Job {
  int generation = 0;
  std::shared_ptr<const SolutionSnapshot> solution;
  MapRect rect;
  int width = 0, height = 0;
  double step = 0.0;
  bool lines = false;
  std::vector<FieldLineStart> starts;
  FieldLineOptions lineOptions;
};

FieldPicture::FieldPicture(CKalvorDoc& doc, QObject* parent)
    : QObject(parent), doc_(doc), options_(LoadFieldPictureOptions()) {
  restartTimer_.setSingleShot(true);
  restartTimer_.setInterval(kRestartDelayMs);
  connect(&restartTimer_, &QTimer::timeout, this, &FieldPicture::Restart);
  // The worker reads its own snapshot of the solution, so edits, undo and
  // saving never wait for it; only a new or dropped solution restarts it.
  connect(&doc_, &CKalvorDoc::solutionChanged, this, &FieldPicture::OnSolution);
  OnSolution();
}

FieldPicture::~FieldPicture() { Stop(); }

bool FieldPicture::Active() const { return solution_ && options_.AnyShown(); }

void FieldPicture::SetOptions(const FieldPictureOptions& options) {
  if (options == options_) return;
  const bool linesChanged = options.linesPerElectrode != options_.linesPerElectrode;
  const bool scaleChanged = options.quantity != options_.quantity || options.logScale != options_.logScale;
  const bool stepChanged = options.equipotentialStep != options_.equipotentialStep;
  options_ = options;
  if (linesChanged) {
    linesValid_ = false;
    lines_.clear();
  }
  if (scaleChanged) RebuildImage();
  if (stepChanged) contours_.clear();
  if (Active() && (linesChanged || stepChanged || map_.Width() == 0 || (options_.showFieldLines && !linesValid_)))
    Restart();
  emit changed();
}

void FieldPicture::Stop() {
  restartTimer_.stop();
  ++generation_;  // whatever is still queued from the old job is dropped
  if (worker_.joinable()) {
    stop_.store(true);
    worker_.join();
  }
  stop_.store(false);
  const std::lock_guard lock(mailboxMutex_);
  mailbox_.clear();
}

void FieldPicture::Clear() {
  Stop();
  map_ = FieldMap();
  image_ = QImage();
  contours_.clear();
  lines_.clear();
  linesValid_ = false;
  marker_.reset();
  peak_ = LargestField();
  emit changed();
}

void FieldPicture::OnSolution() {
  std::shared_ptr<const SolutionSnapshot> next = doc_.Solution();
  if (next == solution_) return;
  Clear();
  solution_ = std::move(next);
  if (!solution_) return;
  peak_ = SystemLargestField(doc_.Analysis());
  if (peak_.valid) marker_ = Mark{QPointF(peak_.x, peak_.y), peak_.value, peak_.error};
  if (Active()) restartTimer_.start();
}

void FieldPicture::Follow(const ViewMapping& mapping, QSize viewport) {
  if (!Active() || viewport.isEmpty()) return;
  const QPointF lo = mapping.ToModel(QPoint(0, viewport.height()));
  const QPointF hi = mapping.ToModel(QPoint(viewport.width(), 0));
  MapRect r;
  if (options_.mirror && lo.x() < 0.0) {
    // What shows of the mirrored half is computed in the half-plane once.
    r.x1 = hi.x() < 0.0 ? -hi.x() : 0.0;
    r.x2 = std::max(-lo.x(), hi.x());
  } else {
    r.x1 = std::max(0.0, lo.x());
    r.x2 = hi.x();
  }
  r.y1 = solution_->Parameters().UseEarth ? std::max(0.0, lo.y()) : lo.y();
  r.y2 = hi.y();
  if (!(r.x2 > r.x1) || !(r.y2 > r.y1)) return;
  const double scale = mapping.Scale() * 10.0;  // pixels per cm
  const QSize size(std::clamp(int((r.x2 - r.x1) * scale * kPointsPerPixel) + 1, 8, kMaxGrid),
                   std::clamp(int((r.y2 - r.y1) * scale * kPointsPerPixel) + 1, 8, kMaxGrid));
  const bool same = r.x1 == wanted_.x1 && r.x2 == wanted_.x2 && r.y1 == wanted_.y1 && r.y2 == wanted_.y2 &&
                    size == wantedSize_;
  if (same && (map_.Width() > 0 || Running() || restartTimer_.isActive())) return;
  wanted_ = r;
  wantedSize_ = size;
  restartTimer_.start();
}

void FieldPicture::Restart() {
  Stop();
  if (!Active()) return;
  const FieldCalc& calc = solution_->Calc();
  if (wantedSize_.isEmpty()) {
    // Not painted yet: the whole system.
    wanted_ = DefaultMapRect(calc);
    wantedSize_ = QSize(200, 200);
  }
  auto job = std::make_shared<Job>();
  job->generation = generation_;
  job->solution = solution_;
  job->rect = wanted_;
  job->width = wantedSize_.width();
  job->height = wantedSize_.height();
  job->step = options_.equipotentialStep;
  job->lines = !linesValid_;
  if (job->lines) {
    job->starts = DefaultFieldLineStarts(calc, options_.linesPerElectrode);
    // Wider than the map of the whole system, so lines reach the earth or
    // another electrode rather than stopping near the picture's edge.
    job->lineOptions.extent = DefaultMapRect(calc, 2.0);
  }
  finished_.store(false);
  worker_ = std::thread([this, job] { Run(job); });
}

// On the worker thread: reads the job's snapshot only and hands copies of
// what it computed to the GUI thread through the mailbox.
void FieldPicture::Run(std::shared_ptr<Job> job) {
  const FieldCalc& calc = job->solution->Calc();
  const int gen = job->generation;
  FieldMap map(job->rect, job->width, job->height);
  MapCallbacks callbacks;
  callbacks.stop = &stop_;
  callbacks.onPass = [this, gen](const FieldMap& pass) {
    Delivery d;
    d.generation = gen;
    d.map = std::make_shared<FieldMap>(pass);
    Post(std::move(d));
  };
  if (ComputeFieldMap(calc, map, callbacks) == MapStatus::kComplete && !stop_.load()) {
    double phiMin = 0, phiMax = 0, eMax = 0;
    map.Range(phiMin, phiMax, eMax);
    const double step = job->step > 0 ? job->step : RoundStep(phiMax - phiMin, 10);
    auto contours = std::make_shared<std::vector<Polyline>>();
    if (step > 0) *contours = ExtractContours(map, ContourLevels(phiMin, phiMax, step));
    Delivery d;
    d.generation = gen;
    d.contours = contours;
    d.step = step;
    Post(std::move(d));
    if (job->lines && !stop_.load()) {
      auto lines = std::make_shared<std::vector<FieldLine>>();
      FieldLineCallbacks lc;
      lc.stop = &stop_;
      if (TraceFieldLines(calc, job->starts, job->lineOptions, *lines, lc) == MapStatus::kComplete) {
        Delivery d;
        d.generation = gen;
        d.lines = lines;
        Post(std::move(d));
      }
    }
  }
  finished_.store(true);
}

// Everything the worker hands over goes through the mutex: the GUI thread
// takes it in Deliver, which the queued call runs. Nothing the worker
// touches travels inside Qt's event (whose locking the race checker does not
// see).
void FieldPicture::Post(Delivery delivery) {
  {
    const std::lock_guard lock(mailboxMutex_);
    mailbox_.push_back(std::move(delivery));
  }
  QMetaObject::invokeMethod(this, "Deliver", Qt::QueuedConnection);
}

void FieldPicture::Deliver() {
  std::vector<Delivery> arrived;
  {
    const std::lock_guard lock(mailboxMutex_);
    arrived.swap(mailbox_);
  }
  for (Delivery& d : arrived) {
    if (d.map) AcceptMap(d.generation, std::move(d.map));
    if (d.contours) AcceptContours(d.generation, std::move(d.contours), d.step);
    if (d.lines) AcceptLines(d.generation, std::move(d.lines));
  }
}

void FieldPicture::AcceptMap(int generation, std::shared_ptr<FieldMap> map) {
  if (generation != generation_) return;
  map_ = std::move(*map);
  RebuildImage();
  emit changed();
}

void FieldPicture::AcceptContours(int generation, std::shared_ptr<std::vector<Polyline>> contours, double step) {
  if (generation != generation_) return;
  contours_ = std::move(*contours);
  contourStep_ = step;
  emit changed();
}

void FieldPicture::AcceptLines(int generation, std::shared_ptr<std::vector<FieldLine>> lines) {
  if (generation != generation_) return;
  lines_ = std::move(*lines);
  linesValid_ = true;
  emit changed();
}

double FieldPicture::RoundStep(double span, int count) {
  if (!(span > 0) || count < 1 || !std::isfinite(span)) return 0.0;
  const double raw = span / count;
  const double p = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0})
    if (m * p >= raw) return m * p;
  return 10.0 * p;
}

QColor FieldPicture::ColourAt(double t) {
  // Ten samples of matplotlib's viridis, interpolated linearly.
  static const int stops[10][3] = {{68, 1, 84},    {72, 40, 120},  {62, 73, 137},  {49, 104, 142},
                                   {38, 130, 142}, {31, 158, 137}, {53, 183, 121}, {110, 206, 88},
                                   {181, 222, 43}, {253, 231, 37}};
  if (!(t > 0)) t = 0;
  if (t > 1) t = 1;
  const double s = t * 9.0;
  const int i = std::min(8, static_cast<int>(s));
  const double f = s - i;
  auto mix = [&](int c) { return static_cast<int>(std::lround(stops[i][c] + f * (stops[i + 1][c] - stops[i][c]))); };
  return QColor(mix(0), mix(1), mix(2));
}

void FieldPicture::RebuildImage() {
  image_ = QImage();
  const int w = map_.Width(), h = map_.Height();
  if (w == 0 || h == 0) return;
  const bool field = options_.quantity == FieldPictureOptions::Quantity::kField;
  double phiMin = 0, phiMax = 0, eMax = 0;
  map_.Range(phiMin, phiMax, eMax);
  if (field) {
    // The field is singular at sharp edges: the scale ends at the 99th
    // percentile so the rest of the gap keeps its contrast.
    std::vector<double> e;
    e.reserve(static_cast<size_t>(w) * h);
    for (int j = 0; j < h; ++j)
      for (int i = 0; i < w; ++i)
        if (!map_.At(i, j).conductor) e.push_back(map_.At(i, j).e);
    double cap = eMax;
    if (e.size() > 20) {
      const size_t k = e.size() * 99 / 100;
      std::nth_element(e.begin(), e.begin() + static_cast<long>(k), e.end());
      cap = e[k];
    }
    // The top is the largest surface field of the run: the one number a
    // design is judged by is on the scale, wherever the grid nodes fall.
    if (peak_.valid) cap = peak_.value;
    scaleMin_ = 0.0;
    scaleMax_ = cap > 0 ? cap : 1.0;
    // A logarithmic scale spans three decades below the top, or down to
    // the weakest field of the map if that is closer.
    double least = scaleMax_;
    for (double v : e)
      if (v > 0.0) least = std::min(least, v);
    logFloor_ = std::clamp(least, scaleMax_ * 1e-3, scaleMax_ * 0.5);
  } else {
    scaleMin_ = phiMin;
    scaleMax_ = phiMax > phiMin ? phiMax : phiMin + 1.0;
  }
  image_ = QImage(w, h, QImage::Format_ARGB32);
  const QColor inside(225, 225, 225);
  for (int j = 0; j < h; ++j) {
    auto* row = reinterpret_cast<QRgb*>(image_.scanLine(h - 1 - j));  // row 0 of the map is at y1, the bottom
    for (int i = 0; i < w; ++i) {
      const MapPoint& p = map_.At(i, j);
      if (p.conductor) {
        row[i] = inside.rgba();
        continue;
      }
      row[i] = ColourAt(ScalePosition(field ? p.e : p.phi)).rgba();
    }
  }
}

bool FieldPicture::LogScale() const {
  return options_.logScale && options_.quantity == FieldPictureOptions::Quantity::kField && logFloor_ > 0.0 &&
         scaleMax_ > logFloor_;
}

double FieldPicture::ScaleBottom() const { return LogScale() ? logFloor_ : scaleMin_; }

double FieldPicture::ScalePosition(double value) const {
  if (LogScale()) {
    if (!(value > logFloor_)) return 0.0;
    return std::min(1.0, std::log(value / logFloor_) / std::log(scaleMax_ / logFloor_));
  }
  return (value - scaleMin_) / (scaleMax_ - scaleMin_);
}

void FieldPicture::PaintUnder(QPainter& painter, const ViewMapping& mapping) const {
  if (!Active() || !options_.showMap || image_.isNull()) return;
  const MapRect& r = map_.Rect();
  const double dx = map_.Width() > 1 ? (r.x2 - r.x1) / (map_.Width() - 1) : 0.0;
  const double dy = map_.Height() > 1 ? (r.y2 - r.y1) / (map_.Height() - 1) : 0.0;
  const QRectF target(Device(mapping, r.x1 - dx / 2, r.y2 + dy / 2), Device(mapping, r.x2 + dx / 2, r.y1 - dy / 2));
  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
  // Nothing of the map left of the axis or below the earth.
  const QRectF clip = QRectF(Device(mapping, r.x1, r.y2 + dy), Device(mapping, r.x2 + dx, r.y1)).normalized();
  painter.save();
  painter.setClipRect(clip, Qt::IntersectClip);
  painter.drawImage(target.normalized(), image_);
  painter.restore();
  if (options_.mirror) {
    MirrorAboutAxis(painter, mapping);
    painter.setClipRect(clip, Qt::IntersectClip);
    painter.drawImage(target.normalized(), image_);
  }
  painter.restore();
}

QRect FieldPicture::ColourBarRect(QRect area, const QFontMetrics& fm) const {
  const int barH = std::min(220, area.height() - 90);
  if (barH <= 40) return {};
  const int labelW = std::max(fm.horizontalAdvance(QStringLiteral("|E|, кВ/см (лог.)")),
                              fm.horizontalAdvance(Number(scaleMax_) + QStringLiteral(" макс.")) + 22);
  return QRect(area.right() - labelW - 12, area.top() + 30, 14, barH);
}

// The bar with five values, the top one the scale's end (for |E| the largest
// surface field), and the quantity with its unit above it.
void FieldPicture::PaintColourBar(QPainter& painter, QRect bar, const QFontMetrics& fm) const {
  const bool field = options_.quantity == FieldPictureOptions::Quantity::kField;
  const bool log = LogScale();
  const int barH = bar.height();
  const QString title = field ? (log ? QStringLiteral("|E|, кВ/см (лог.)") : QStringLiteral("|E|, кВ/см"))
                              : QStringLiteral("φ, кВ");
  const int labelW = std::max(fm.horizontalAdvance(QStringLiteral("|E|, кВ/см (лог.)")),
                              fm.horizontalAdvance(Number(scaleMax_) + QStringLiteral(" макс.")) + 22);
  painter.fillRect(QRect(bar.left() - 6, bar.top() - 22, labelW + 14, barH + 32), QColor(255, 255, 255, 220));
  for (int y = 0; y < barH; ++y)
    painter.fillRect(QRect(bar.left(), bar.bottom() - y, bar.width(), 1), ColourAt(double(y) / (barH - 1)));
  painter.setPen(Qt::black);
  painter.drawRect(bar);
  painter.drawText(QPointF(bar.left(), bar.top() - 8), title);
  for (int k = 0; k <= 4; ++k) {
    const int y = bar.bottom() - k * (barH - 1) / 4;
    const double v = log ? logFloor_ * std::pow(scaleMax_ / logFloor_, k / 4.0) : scaleMin_ + k * (scaleMax_ - scaleMin_) / 4;
    QString text = Number(v);
    if (k == 4 && field && peak_.valid) text += QStringLiteral(" макс.");
    painter.drawLine(bar.right(), y, bar.right() + 4, y);
    painter.drawText(QPointF(bar.right() + 7, y + fm.ascent() / 2.0), text);
  }
}

QString FieldPicture::MarkerText() const {
  if (!marker_ || !(marker_->field > 0.0)) return {};
  QString text = QStringLiteral("|E| = %1").arg(Number(marker_->field));
  if (marker_->error >= 0.0) text += QStringLiteral(" ± %1").arg(QString::number(marker_->error, 'g', 2));
  return text + QStringLiteral(" кВ/см");
}

void FieldPicture::PaintOver(QPainter& painter, const ViewMapping& mapping, QRect area, bool axes) const {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing, true);
  QFont small = painter.font();
  small.setPointSizeF(8.0);
  painter.setFont(small);
  const QFontMetrics fm(small);
  const bool active = Active();
  const bool mirror = options_.mirror;

  // Places the values of the equipotentials keep clear of: the colour bar,
  // the axes' ticks and labels, the peak's value.
  std::vector<QRectF> taken;
  const QRect bar = active && options_.showMap && !image_.isNull() ? ColourBarRect(area, fm) : QRect();
  if (!bar.isNull()) taken.emplace_back(bar.left() - 6, bar.top() - 22, area.right() - bar.left() + 7, bar.height() + 32);
  if (axes) {
    taken.emplace_back(area.left(), area.bottom() - fm.height() - 10, area.width(), fm.height() + 11);
    taken.emplace_back(area.left(), area.top(), fm.horizontalAdvance(QStringLiteral("-0000")) + 12, area.height());
  }
  const QString markText = MarkerText();
  QRectF markBox;
  if (marker_ && active) {
    const QPointF at = Device(mapping, marker_->at.x(), marker_->at.y());
    if (!markText.isEmpty()) {
      markBox = QRectF(0, 0, fm.horizontalAdvance(markText) + 8, fm.height() + 4);
      // Beside the mark, on whichever side keeps it in the picture and off the bar.
      markBox.moveBottomLeft(at + QPointF(12, -8));
      const bool clash = std::any_of(taken.begin(), taken.end(), [&](const QRectF& r) { return r.intersects(markBox); });
      if (markBox.right() > area.right() || clash) markBox.moveBottomRight(at + QPointF(-12, -8));
      if (markBox.top() < area.top()) markBox.moveTop(at.y() + 10);
      taken.push_back(markBox);
    }
  }

  // Paths drawn on the half-plane and, mirrored, on the other half.
  auto drawBoth = [&](const QPainterPath& path) {
    painter.drawPath(path);
    if (!mirror) return;
    painter.save();
    MirrorAboutAxis(painter, mapping);
    painter.drawPath(path);
    painter.restore();
  };

  if (active && options_.showFieldLines) {
    QPen pen(QColor(255, 90, 54));
    pen.setWidthF(1.2);
    painter.setPen(pen);
    for (const FieldLine& line : lines_) {
      if (line.points.size() < 2) continue;
      QPainterPath path(Device(mapping, line.points[0].x, line.points[0].y));
      for (size_t k = 1; k < line.points.size(); ++k) path.lineTo(Device(mapping, line.points[k].x, line.points[k].y));
      drawBoth(path);
    }
  }

  if (active && options_.showEquipotentials) {
    const QColor colour = options_.showMap ? QColor(255, 255, 255, 220) : QColor(60, 60, 60);
    QPen pen(colour);
    pen.setWidthF(1.0);
    std::vector<QRectF> labels = taken;  // where they crowd (near sharp edges) only the first is written
    for (const Polyline& c : contours_) {
      if (c.x.size() < 2) continue;
      QPainterPath path(Device(mapping, c.x[0], c.y[0]));
      for (size_t k = 1; k < c.x.size(); ++k) path.lineTo(Device(mapping, c.x[k], c.y[k]));
      if (c.closed) path.closeSubpath();
      painter.setPen(pen);
      drawBoth(path);
      // A value on every line long enough to carry it, at the first of a few
      // places along it that is free.
      if (path.length() < 90) continue;
      const QString text = Number(c.level) + QStringLiteral(" кВ");
      for (double t : {0.5, 0.3, 0.7, 0.15, 0.85}) {
        QRectF box = fm.boundingRect(text);
        box.moveCenter(path.pointAtPercent(t));
        box.adjust(-2, 0, 2, 0);
        if (!area.contains(box.toAlignedRect())) continue;
        if (std::any_of(labels.begin(), labels.end(), [&](const QRectF& r) { return r.intersects(box); })) continue;
        labels.push_back(box);
        painter.fillRect(box, QColor(255, 255, 255, 200));
        painter.setPen(Qt::black);
        painter.drawText(box, Qt::AlignCenter, text);
        break;
      }
    }
  }

  if (!bar.isNull()) PaintColourBar(painter, bar, fm);

  if (marker_ && active) {
    const QPointF at = Device(mapping, marker_->at.x(), marker_->at.y());
    QPen pen(QColor(220, 0, 0));
    pen.setWidthF(2.0);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(at, 7.0, 7.0);
    painter.drawLine(at - QPointF(11, 0), at + QPointF(11, 0));
    painter.drawLine(at - QPointF(0, 11), at + QPointF(0, 11));
    if (!markText.isEmpty()) {
      painter.fillRect(markBox, QColor(255, 255, 255, 230));
      painter.drawRect(markBox);
      painter.setPen(Qt::black);
      painter.drawText(markBox, Qt::AlignCenter, markText);
    }
  }

  if (axes) {
    // Ticks in cm along the bottom and left edges, at least 60 pixels apart.
    const double pxPerCm = mapping.Scale() * 10.0;
    const double step = RoundStep(60.0 / pxPerCm, 1);
    if (step > 0) {
      painter.setPen(Qt::black);
      // Labels stay readable over the map on a light backing.
      // (and off the earth line, which runs along the bottom edge).
      auto Label = [&](QPointF baseline, const QString& text) {
        painter.fillRect(QRectF(baseline.x() - 1, baseline.y() - fm.ascent(), fm.horizontalAdvance(text) + 2,
                                  fm.height()),
                           QColor(255, 255, 255, 190));
        painter.drawText(baseline, text);
      };
      const QPointF lo = mapping.ToModel(QPoint(area.left(), area.bottom()));
      const QPointF hi = mapping.ToModel(QPoint(area.right(), area.top()));
      const int bottom = area.bottom(), left = area.left();
      const QString xName = QStringLiteral("r, см"), yName = QStringLiteral("z, см");
      const double xNameLeft = area.right() - fm.horizontalAdvance(xName) - 4;
      const double yNameBottom = area.top() + fm.ascent() + 4 + fm.descent();
      painter.drawLine(area.bottomLeft(), area.bottomRight());
      painter.drawLine(area.bottomLeft(), area.topLeft());
      for (double v = std::ceil(lo.x() / step) * step; v <= hi.x(); v += step) {
        const double x = Device(mapping, v, 0).x();
        const QString t = Number(std::abs(v) < step * 1e-6 ? 0.0 : v);
        const double half = fm.horizontalAdvance(t) / 2.0;
        // Clear of the corner with the z ticks and of the axis name.
        if (x - half < left + 30 || x + half > xNameLeft - 6) continue;
        painter.drawLine(QPointF(x, bottom), QPointF(x, bottom - 5));
        Label(QPointF(x - half, bottom - 7), t);
      }
      for (double v = std::ceil(lo.y() / step) * step; v <= hi.y(); v += step) {
        const double y = Device(mapping, 0, v).y();
        if (y > bottom - fm.height() - 12 || y - fm.ascent() < yNameBottom + 4) continue;
        painter.drawLine(QPointF(left, y), QPointF(left + 5, y));
        Label(QPointF(left + 7, y + fm.ascent() / 2.0), Number(std::abs(v) < step * 1e-6 ? 0.0 : v));
      }
      Label(QPointF(xNameLeft, bottom - 7), xName);
      Label(QPointF(left + 7, area.top() + fm.ascent() + 4), yName);
    }
  }
  painter.restore();
}

void FieldPicture::SetMarker(QPointF at, double field, double error) {
  marker_ = Mark{at, field, error};
  emit changed();
}

std::optional<QPointF> FieldPicture::Marker() const {
  if (!marker_) return std::nullopt;
  return marker_->at;
}

QString FieldPicture::ReadoutAt(double x, double y) const {
  if (!solution_) return {};
  // The mirrored half holds the same field with its radial component reversed.
  const double sign = x < 0.0 && options_.mirror ? -1.0 : 1.0;
  const MapPoint p = EvaluatePoint(solution_->Calc(), solution_->Regions(), HalfPlaneX(x), y);
  if (p.conductor) {
    const QString where = p.generatrix < 0 ? QStringLiteral("земля")
                                           : QStringLiteral("проводник (образующая %1)").arg(p.generatrix + 1);
    return QStringLiteral("φ=%1 кВ  %2").arg(Number(p.phi), where);
  }
  return QStringLiteral("φ=%1 кВ  |E|=%2 кВ/см  Ex=%3 кВ/см  Ey=%4 кВ/см  область %5")
      .arg(Number(p.phi), Number(p.e), Number(sign * p.ex), Number(p.ey))
      .arg(p.region);
}
