#include "views/FieldPlot.h"


#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>
#include <functional>

#include "document/CKalvorDoc.h"
#include "document/SafeSave.h"
#include "views/ViewExport.h"

namespace {

QString CsvNumber(double v) { return QString::number(v, 'g', 10); }

}  // namespace

FieldPlot::FieldPlot(const SurfaceSeries& series, const QString& title, QWidget* parent)
    : QDialog(parent), series_(series), chart_(new QChart) {
  setWindowTitle(QStringLiteral("График: ") + title);
  setAttribute(Qt::WA_DeleteOnClose);
  chart_->setTitle(title);
  auto* xAxis = new QValueAxis;
  xAxis->setTitleText(series_.arc ? QStringLiteral("угол, град") : QStringLiteral("длина дуги, см"));
  auto* phiAxis = new QValueAxis;
  phiAxis->setTitleText(QStringLiteral("φ, кВ"));
  auto* eAxis = new QValueAxis;
  eAxis->setTitleText(QStringLiteral("E, кВ/см"));
  chart_->addAxis(xAxis, Qt::AlignBottom);
  chart_->addAxis(phiAxis, Qt::AlignLeft);
  chart_->addAxis(eAxis, Qt::AlignRight);

  // Each axis spans all its curves (Qt Charts would fit it to the first).
  double phiLo = 0, phiHi = 0, eLo = 0, eHi = 0;
  bool phiSet = false, eSet = false;
  auto add = [&](const QString& name, QValueAxis* axis, const std::function<double(const SurfaceSample&)>& f) {
    // Colours of their own: the theme repeats after five.
    static const QColor colours[] = {QColor(31, 119, 180), QColor(214, 39, 40), QColor(44, 160, 44),
                                     QColor(255, 127, 14), QColor(148, 103, 189), QColor(23, 190, 207)};
    auto* s = new QLineSeries;
    s->setName(name);
    QPen pen(colours[chart_->series().size() % 6]);
    pen.setWidthF(2.0);
    s->setPen(pen);
    double& lo = axis == phiAxis ? phiLo : eLo;
    double& hi = axis == phiAxis ? phiHi : eHi;
    bool& set = axis == phiAxis ? phiSet : eSet;
    for (const SurfaceSample& p : series_.samples) {
      const double v = f(p);
      s->append(p.s, v);
      lo = set ? std::min(lo, v) : v;
      hi = set ? std::max(hi, v) : v;
      set = true;
    }
    chart_->addSeries(s);
    s->attachAxis(xAxis);
    s->attachAxis(axis);
  };
  add(QStringLiteral("φ"), phiAxis, [](const SurfaceSample& p) { return p.phi; });
  const QString out = series_.dielectric ? QStringLiteral(" (снаружи)") : QString();
  add(QStringLiteral("|E|") + out, eAxis, [](const SurfaceSample& p) { return p.e; });
  add(QStringLiteral("En") + out, eAxis, [](const SurfaceSample& p) { return p.en; });
  if (series_.dielectric) {
    add(QStringLiteral("|E| (внутри)"), eAxis, [](const SurfaceSample& p) { return p.eIn; });
    add(QStringLiteral("En (внутри)"), eAxis, [](const SurfaceSample& p) { return p.enIn; });
    // The tangential field is the same on both sides; on a conductor it is 0.
    add(QStringLiteral("Et"), eAxis, [](const SurfaceSample& p) { return p.et; });
  }

  auto span = [](QValueAxis* axis, double lo, double hi) {
    const double pad = hi > lo ? 0.05 * (hi - lo) : std::max(1e-3, 0.05 * std::abs(hi));
    axis->setRange(lo - pad, hi + pad);
    axis->applyNiceNumbers();
  };
  if (phiSet) span(phiAxis, phiLo, phiHi);
  if (eSet) span(eAxis, eLo, eHi);
  if (!series_.samples.empty()) {
    const double a = series_.samples.front().s, b = series_.samples.back().s;
    xAxis->setRange(std::min(a, b), std::max(a, b));
  }

  view_ = new QChartView(chart_, this);
  view_->setRenderHint(QPainter::Antialiasing);
  auto* exportButton = new QPushButton(QStringLiteral("Экспорт..."), this);
  auto* close = new QPushButton(QStringLiteral("Закрыть"), this);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(exportButton, &QPushButton::clicked, this, &FieldPlot::OnExport);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(exportButton);
  buttons->addStretch();
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(view_);
  layout->addLayout(buttons);
  resize(760, 480);
}

QString FieldPlot::Csv() const {
  QString text = series_.arc ? QStringLiteral("angle_deg") : QStringLiteral("s_cm");
  text += QStringLiteral(",x_cm,y_cm,phi_kv,e_kv_per_cm,en_kv_per_cm,et_kv_per_cm,e_in_kv_per_cm,en_in_kv_per_cm\n");
  for (const SurfaceSample& p : series_.samples)
    text += QStringList{CsvNumber(p.s), CsvNumber(p.x), CsvNumber(p.y), CsvNumber(p.phi), CsvNumber(p.e), CsvNumber(p.en), CsvNumber(p.et), CsvNumber(p.eIn),
                        CsvNumber(p.enIn)}.join(',') + '\n';
  return text;
}

QString FieldPlot::ExportTo(const QString& path) const {
  if (QFileInfo(path).suffix().toLower() == QLatin1String("csv")) {
    if (const QString reason = SafeSave(path, Csv().toUtf8()); !reason.isEmpty())
      return QStringLiteral("Не удается сохранить файл %1:\n%2").arg(path, reason);
    return {};
  }
  const QSize size = view_->size().isEmpty() ? QSize(760, 440) : view_->size();
  return SavePicture(
      path, size,
      [&](QPainter& painter) { view_->render(&painter, QRectF(QPointF(0, 0), size), QRect(QPoint(0, 0), size)); },
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
  auto* plot = new FieldPlot(SampleGeneratrix(doc.Calc(), index), QStringLiteral("образующая %1").arg(index + 1), parent);
  plot->show();
  return plot;
}

void OpenGapCurvePlots(const CKalvorDoc& doc, QWidget* parent) {
  if (!doc.ResultsPresent()) return;
  for (int i = 0; i < doc.GapCurves().GetSize(); ++i)
    (new FieldPlot(SampleGapCurve(doc.Calc(), i), QStringLiteral("кривая в промежутке %1").arg(i + 1), parent))->show();
}
