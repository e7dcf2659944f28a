#include "views/FieldPlot.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTime>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QScatterSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>
#include <functional>

#include "document/CKalvorDoc.h"
#include "document/SafeSave.h"
#include "views/ViewExport.h"

namespace {

QString CsvNumber(double v) { return QString::number(v, 'g', 10); }

// Colours of their own: the theme repeats after five.
QColor Colour(int k) {
  static const QColor colours[] = {QColor(31, 119, 180), QColor(214, 39, 40),  QColor(44, 160, 44),
                                   QColor(255, 127, 14), QColor(148, 103, 189), QColor(23, 190, 207),
                                   QColor(140, 86, 75),  QColor(227, 119, 194), QColor(127, 127, 127)};
  return colours[k % 9];
}

// Where along the curve (its s) a point lies: on the nearest segment between samples.
double PositionOf(const SurfaceSeries& series, double x, double y) {
  double best = -1.0, s = 0.0;
  for (size_t k = 0; k + 1 < series.samples.size(); ++k) {
    const SurfaceSample &a = series.samples[k], &b = series.samples[k + 1];
    const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
    const double t = len2 > 0 ? std::clamp(((x - a.x) * dx + (y - a.y) * dy) / len2, 0.0, 1.0) : 0.0;
    const double d = std::hypot(a.x + t * dx - x, a.y + t * dy - y);
    if (best < 0 || d < best) best = d, s = a.s + t * (b.s - a.s);
  }
  return s;
}

std::vector<FieldPlot::Remembered>& Shelf() {
  static std::vector<FieldPlot::Remembered> shelf;
  return shelf;
}

bool SameCurve(const SurfaceSeries& a, const SurfaceSeries& b) {
  if (a.samples.size() != b.samples.size()) return false;
  for (size_t k = 0; k < a.samples.size(); ++k)
    if (a.samples[k].x != b.samples[k].x || a.samples[k].y != b.samples[k].y || a.samples[k].phi != b.samples[k].phi ||
        a.samples[k].e != b.samples[k].e)
      return false;
  return true;
}

}  // namespace

struct FieldPlot::Tab {
  SurfaceSeries series;
  QString title;
  int generatrix = -1;
  QChart* chart = nullptr;  // owned by the view
  QChartView* view = nullptr;
  QValueAxis *x = nullptr, *phi = nullptr, *e = nullptr;
  int curves = 0;
  std::vector<QString> overlays;
};

const std::vector<FieldPlot::Remembered>& FieldPlot::Remembers() { return Shelf(); }

void FieldPlot::Remember(int generatrix, const SurfaceSeries& series) {
  auto& shelf = Shelf();
  for (const Remembered& r : shelf)
    if (r.generatrix == generatrix && SameCurve(r.series, series)) return;
  shelf.push_back({QStringLiteral("образующая %1, расчет до %2")
                       .arg(generatrix + 1)
                       .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))),
                   generatrix, series});
  constexpr size_t kKept = 20;
  if (shelf.size() > kKept) shelf.erase(shelf.begin());
}

FieldPlot::FieldPlot(const SurfaceSeries& series, const QString& title, QWidget* parent, const CKalvorDoc* doc,
                     const LargestField& peak)
    : QDialog(parent), doc_(doc), tabs_(new QTabWidget(this)) {
  setWindowTitle(QStringLiteral("График: ") + title);
  setAttribute(Qt::WA_DeleteOnClose);
  auto* exportButton = new QPushButton(QStringLiteral("Экспорт..."), this);
  auto* add = new QPushButton(QStringLiteral("Добавить на график"), this);
  addMenu_ = new QMenu(add);
  add->setMenu(addMenu_);
  connect(addMenu_, &QMenu::aboutToShow, this, [this] {
    addMenu_->clear();
    const QStringList offers = Offers();
    for (int k = 0; k < offers.size(); ++k)
      addMenu_->addAction(offers[k], this, [this, k] { AddOffer(k); });
    if (offers.isEmpty()) addMenu_->addAction(QStringLiteral("нечего добавить"))->setEnabled(false);
  });
  auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(exportButton, &QPushButton::clicked, this, &FieldPlot::OnExport);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(exportButton);
  buttons->addWidget(add);
  buttons->addStretch();
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addLayout(buttons);
  resize(820, 520);
  AddTab(series, title, peak);
}

FieldPlot::~FieldPlot() = default;

int FieldPlot::TabCount() const { return static_cast<int>(tabList_.size()); }

FieldPlot::Tab& FieldPlot::Current() { return *tabList_[static_cast<size_t>(std::max(0, tabs_->currentIndex()))]; }
const FieldPlot::Tab& FieldPlot::Current() const {
  return *tabList_[static_cast<size_t>(std::max(0, tabs_->currentIndex()))];
}
QChart* FieldPlot::Chart() const { return Current().chart; }
QChartView* FieldPlot::View() const { return Current().view; }
const SurfaceSeries& FieldPlot::Series() const { return Current().series; }

void FieldPlot::RemoveTabs() {
  while (tabs_->count() > 0) {
    QWidget* page = tabs_->widget(0);
    tabs_->removeTab(0);
    delete page;
  }
  tabList_.clear();
}

int FieldPlot::AddTab(const SurfaceSeries& series, const QString& title, const LargestField& peak) {
  auto tab = std::make_unique<Tab>();
  tab->series = series;
  tab->title = title;
  tab->generatrix = peak.generatrix;
  tab->chart = new QChart;
  tab->chart->setTitle(title);
  tab->x = new QValueAxis;
  tab->x->setTitleText(series.arc ? QStringLiteral("угол, град") : QStringLiteral("длина дуги, см"));
  tab->phi = new QValueAxis;
  tab->phi->setTitleText(QStringLiteral("φ, кВ"));
  tab->e = new QValueAxis;
  tab->e->setTitleText(QStringLiteral("E, кВ/см"));
  tab->chart->addAxis(tab->x, Qt::AlignBottom);
  tab->chart->addAxis(tab->phi, Qt::AlignLeft);
  tab->chart->addAxis(tab->e, Qt::AlignRight);

  Tab& t = *tab;
  auto add = [&](const QString& name, QValueAxis* axis, const std::function<double(const SurfaceSample&)>& f) {
    auto* s = new QLineSeries;
    s->setName(name);
    QPen pen(Colour(t.curves++));
    pen.setWidthF(2.0);
    s->setPen(pen);
    for (const SurfaceSample& p : series.samples) s->append(p.s, f(p));
    t.chart->addSeries(s);
    s->attachAxis(t.x);
    s->attachAxis(axis);
  };
  add(QStringLiteral("φ, кВ"), t.phi, [](const SurfaceSample& p) { return p.phi; });
  const QString out = series.dielectric ? QStringLiteral(" (снаружи)") : QString();
  add(QStringLiteral("|E|, кВ/см") + out, t.e, [](const SurfaceSample& p) { return p.e; });
  add(QStringLiteral("En, кВ/см") + out, t.e, [](const SurfaceSample& p) { return p.en; });
  if (series.dielectric) {
    add(QStringLiteral("|E|, кВ/см (внутри)"), t.e, [](const SurfaceSample& p) { return p.eIn; });
    add(QStringLiteral("En, кВ/см (внутри)"), t.e, [](const SurfaceSample& p) { return p.enIn; });
    // The tangential field is the same on both sides; on a conductor it is 0.
    add(QStringLiteral("Et, кВ/см"), t.e, [](const SurfaceSample& p) { return p.et; });
  }
  if (peak.valid && !series.samples.empty()) {
    // The largest field as the run's analysis finds it: the number the
    // results pane and kalvor-calc give, where it lies along the curve.
    auto* top = new QScatterSeries;
    top->setName(QStringLiteral("наибольшая |E| = %1 кВ/см").arg(QString::number(peak.value, 'g', 5)));
    top->setMarkerSize(9.0);
    top->setColor(QColor(220, 0, 0));
    top->append(PositionOf(series, peak.x, peak.y), peak.value);
    t.chart->addSeries(top);
    top->attachAxis(t.x);
    top->attachAxis(t.e);
  }
  Fit(t);

  t.view = new QChartView(t.chart);
  t.view->setRenderHint(QPainter::Antialiasing);
  tabList_.push_back(std::move(tab));
  const int index = tabs_->addTab(t.view, title);
  tabs_->setCurrentIndex(index);
  return index;
}

// Each axis spans all its curves (Qt Charts would fit it to the first).
void FieldPlot::Fit(Tab& t) {
  double lo[2] = {0, 0}, hi[2] = {0, 0}, xlo = 0, xhi = 0;
  bool set[2] = {false, false}, xset = false;
  for (QAbstractSeries* a : t.chart->series()) {
    auto* s = qobject_cast<QXYSeries*>(a);
    if (!s || s->attachedAxes().size() < 2) continue;
    const int k = s->attachedAxes().contains(t.phi) ? 0 : 1;
    for (const QPointF& p : s->points()) {
      lo[k] = set[k] ? std::min(lo[k], p.y()) : p.y();
      hi[k] = set[k] ? std::max(hi[k], p.y()) : p.y();
      set[k] = true;
      xlo = xset ? std::min(xlo, p.x()) : p.x();
      xhi = xset ? std::max(xhi, p.x()) : p.x();
      xset = true;
    }
  }
  auto span = [](QValueAxis* axis, double a, double b) {
    const double pad = b > a ? 0.05 * (b - a) : std::max(1e-3, 0.05 * std::abs(b));
    axis->setRange(a - pad, b + pad);
    axis->applyNiceNumbers();
  };
  if (set[0]) span(t.phi, lo[0], hi[0]);
  if (set[1]) span(t.e, lo[1], hi[1]);
  if (xset) t.x->setRange(xlo, xhi > xlo ? xhi : xlo + 1.0);
}

void FieldPlot::Overlay(const SurfaceSeries& series, const QString& label) {
  Tab& t = Current();
  auto add = [&](const QString& name, QValueAxis* axis, bool field) {
    auto* s = new QLineSeries;
    s->setName(name);
    QPen pen(Colour(t.curves++));
    pen.setWidthF(1.6);
    pen.setStyle(Qt::DashLine);
    s->setPen(pen);
    for (const SurfaceSample& p : series.samples) s->append(p.s, field ? std::max(p.e, p.eIn) : p.phi);
    t.chart->addSeries(s);
    s->attachAxis(t.x);
    s->attachAxis(axis);
  };
  add(QStringLiteral("φ, кВ: ") + label, t.phi, false);
  add(QStringLiteral("|E|, кВ/см: ") + label, t.e, true);
  t.overlays.push_back(label);
  Fit(t);
}

QStringList FieldPlot::Offers() const {
  QStringList offers;
  if (doc_ && doc_->ResultsPresent())
    for (int i = 0; i < doc_->Generatrices().GetSize(); ++i)
      if (i != Current().generatrix) offers << QStringLiteral("образующая %1").arg(i + 1);
  for (const Remembered& r : Shelf())
    if (!SameCurve(r.series, Current().series)) offers << r.label;
  return offers;
}

void FieldPlot::AddOffer(int index) {
  const QStringList offers = Offers();
  if (index < 0 || index >= offers.size()) return;
  int k = 0;
  if (doc_ && doc_->ResultsPresent())
    for (int i = 0; i < doc_->Generatrices().GetSize(); ++i) {
      if (i == Current().generatrix) continue;
      if (k++ == index) {
        Overlay(SampleGeneratrix(doc_->Calc(), i), offers[index]);
        return;
      }
    }
  for (const Remembered& r : Shelf()) {
    if (SameCurve(r.series, Current().series)) continue;
    if (k++ == index) {
      // Copied: the overlay stays if the shelf drops the curve.
      const SurfaceSeries series = r.series;
      Overlay(series, offers[index]);
      return;
    }
  }
}

QString FieldPlot::Csv() const {
  const SurfaceSeries& series = Series();
  QString text = series.arc ? QStringLiteral("angle_deg") : QStringLiteral("s_cm");
  text += QStringLiteral(",x_cm,y_cm,phi_kv,e_kv_per_cm,en_kv_per_cm,et_kv_per_cm,e_in_kv_per_cm,en_in_kv_per_cm\n");
  // Only a dielectric has a field inside: elsewhere its columns stay empty.
  for (const SurfaceSample& p : series.samples)
    text += QStringList{CsvNumber(p.s),
                        CsvNumber(p.x),
                        CsvNumber(p.y),
                        CsvNumber(p.phi),
                        CsvNumber(p.e),
                        CsvNumber(p.en),
                        CsvNumber(p.et),
                        series.dielectric ? CsvNumber(p.eIn) : QString(),
                        series.dielectric ? CsvNumber(p.enIn) : QString()}
                .join(',') +
            '\n';
  return text;
}

QString FieldPlot::ExportTo(const QString& path) const {
  if (QFileInfo(path).suffix().toLower() == QLatin1String("csv")) {
    if (const QString reason = SafeSave(path, Csv().toUtf8()); !reason.isEmpty())
      return QStringLiteral("Не удается сохранить файл %1:\n%2").arg(path, reason);
    return {};
  }
  QChartView* view = View();
  const QSize size = view->size().isEmpty() || !view->isVisible() ? QSize(760, 440) : view->size();
  if (view->size() != size) view->resize(size);
  return SavePicture(
      path, size,
      [&](QPainter& painter) { view->render(&painter, QRectF(QPointF(0, 0), size), QRect(QPoint(0, 0), size)); },
      QStringLiteral(".png, .svg или .csv"));
}

void FieldPlot::OnExport() {
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт графика"), QString(),
                                                    QStringLiteral("PNG (*.png);;SVG (*.svg);;CSV (*.csv)"));
  if (path.isEmpty()) return;
  const QString error = ExportTo(path);
  if (!error.isEmpty()) QMessageBox::warning(this, windowTitle(), error);
}

FieldPlot* OpenGeneratrixPlot(const CKalvorDoc& doc, int index, QWidget* parent) {
  if (!doc.ResultsPresent() || !doc.Generatrices().At(index)) return nullptr;
  const SurfaceSeries series = SampleGeneratrix(doc.Calc(), index);
  auto* plot = new FieldPlot(series, QStringLiteral("образующая %1").arg(index + 1), parent, &doc,
                             GeneratrixLargestField(doc.Analysis(), index));
  FieldPlot::Remember(index, series);
  plot->show();
  return plot;
}

FieldPlot* OpenGapCurvePlots(const CKalvorDoc& doc, QWidget* parent) {
  if (!doc.ResultsPresent() || doc.GapCurves().IsEmpty()) return nullptr;
  const QString name = QStringLiteral("GapCurvePlots");
  FieldPlot* plot = parent ? parent->findChild<FieldPlot*>(name, Qt::FindDirectChildrenOnly) : nullptr;
  const QString first = QStringLiteral("кривая в промежутке 1");
  if (plot) {
    plot->RemoveTabs();
    plot->AddTab(SampleGapCurve(doc.Calc(), 0), first);
  } else {
    plot = new FieldPlot(SampleGapCurve(doc.Calc(), 0), first, parent, &doc);
    plot->setObjectName(name);
  }
  plot->setWindowTitle(QStringLiteral("График: кривые в промежутке"));
  for (int i = 1; i < doc.GapCurves().GetSize(); ++i)
    plot->AddTab(SampleGapCurve(doc.Calc(), i), QStringLiteral("кривая в промежутке %1").arg(i + 1));
  plot->Tabs()->setCurrentIndex(0);
  plot->show();
  plot->raise();
  return plot;
}
