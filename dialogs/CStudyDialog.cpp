#include "dialogs/CStudyDialog.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableWidget>
#include <QValueAxis>
#include <QVBoxLayout>
#include <cmath>
#include <sstream>

#include "dialogs/PictureFile.h"
#include "engine/AtomicFile.h"

namespace {

enum Plot { kPlotField = 0, kPlotCharge = 1, kPlotCapacitance = 2 };

QString Number(double v) { return std::isnan(v) ? QString() : QString::number(v, 'g', 7); }

// Bodies and fixed bodies over the calculated rows.
void Sizes(const std::vector<SweepRow>& rows, size_t& bodies, size_t& fixed) {
  bodies = fixed = 0;
  for (const SweepRow& r : rows)
    if (r.success) {
      bodies = std::max(bodies, r.maxField.size());
      fixed = std::max(fixed, r.capacitance.size());
    }
}

}  // namespace

CStudyDialog::CStudyDialog(CSurfColl system, const CalcParameters& params, QWidget* parent)
    : QDialog(parent), system_(std::move(system)), params_(params) {
  setWindowTitle(QStringLiteral("Исследование параметра"));
  setObjectName(QStringLiteral("StudyDialog"));

  generatrix_ = new QComboBox;
  generatrix_->addItem(QStringLiteral("Параметры расчета"), -1);
  for (int i = 0; i < system_.GetSize(); ++i) {
    const SurfData& e = *system_.At(i);
    generatrix_->addItem(QStringLiteral("%1: %2, %3")
                             .arg(i + 1)
                             .arg(e.GetKind() == SurfData::kLine ? QStringLiteral("прямая") : QStringLiteral("дуга"))
                             .arg(e.IsConductor() ? QStringLiteral("проводник") : QStringLiteral("диэлектрик")),
                         i);
  }
  field_ = new QComboBox;
  from_ = new QDoubleSpinBox;
  to_ = new QDoubleSpinBox;
  for (QDoubleSpinBox* b : {from_, to_}) {
    b->setRange(-1e6, 1e6);
    b->setDecimals(4);
  }
  steps_ = new QSpinBox;
  steps_->setRange(2, kMaxSweepSteps);
  steps_->setValue(11);
  start_ = new QPushButton(QStringLiteral("Начать"));
  stop_ = new QPushButton(QStringLiteral("Остановить"));

  auto* form = new QGridLayout;
  form->addWidget(new QLabel(QStringLiteral("Образующая")), 0, 0);
  form->addWidget(generatrix_, 0, 1);
  form->addWidget(new QLabel(QStringLiteral("Величина")), 0, 2);
  form->addWidget(field_, 0, 3);
  form->addWidget(new QLabel(QStringLiteral("от")), 1, 0);
  form->addWidget(from_, 1, 1);
  form->addWidget(new QLabel(QStringLiteral("до")), 1, 2);
  form->addWidget(to_, 1, 3);
  form->addWidget(new QLabel(QStringLiteral("Шагов")), 1, 4);
  form->addWidget(steps_, 1, 5);
  form->addWidget(start_, 0, 6);
  form->addWidget(stop_, 1, 6);

  progress_ = new QProgressBar;
  status_ = new QLabel;
  status_->setWordWrap(true);

  table_ = new QTableWidget;
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);

  plot_ = new QComboBox;
  plot_->addItems({QStringLiteral("Наибольшая напряженность, кВ/см"), QStringLiteral("Заряды, Кл"),
                   QStringLiteral("Емкости, Ф")});
  chart_ = new QChart;
  chartView_ = new QChartView(chart_);
  chartView_->setRenderHint(QPainter::Antialiasing);
  chartView_->setMinimumSize(420, 320);
  auto* plotSide = new QWidget;
  auto* plotLayout = new QVBoxLayout(plotSide);
  plotLayout->setContentsMargins(0, 0, 0, 0);
  plotLayout->addWidget(plot_);
  plotLayout->addWidget(chartView_);
  auto* split = new QSplitter;
  split->addWidget(table_);
  split->addWidget(plotSide);
  split->setStretchFactor(1, 1);
  split->setSizes({480, 620});

  exportCsv_ = new QPushButton(QStringLiteral("Экспорт CSV..."));
  exportPicture_ = new QPushButton(QStringLiteral("Экспорт рисунка..."));
  openRow_ = new QPushButton(QStringLiteral("Открыть как систему..."));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
  buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Закрыть"));
  for (QPushButton* b : {exportCsv_, exportPicture_, openRow_}) buttons->addButton(b, QDialogButtonBox::ActionRole);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(progress_);
  layout->addWidget(status_);
  layout->addWidget(split, 1);
  layout->addWidget(buttons);
  resize(1100, 640);

  connect(generatrix_, &QComboBox::currentIndexChanged, this, [this] { FillFields(); });
  connect(field_, &QComboBox::currentIndexChanged, this, [this] { FieldChosen(); });
  connect(start_, &QPushButton::clicked, this, &CStudyDialog::Start);
  connect(stop_, &QPushButton::clicked, this, &CStudyDialog::Stop);
  connect(plot_, &QComboBox::currentIndexChanged, this, [this] { UpdatePlot(); });
  connect(exportCsv_, &QPushButton::clicked, this, &CStudyDialog::ExportCsvAsked);
  connect(exportPicture_, &QPushButton::clicked, this, &CStudyDialog::ExportPictureAsked);
  connect(openRow_, &QPushButton::clicked, this, &CStudyDialog::OpenRowAsked);
  connect(table_, &QTableWidget::itemSelectionChanged, this, [this] { UpdateButtons(); });
  connect(buttons, &QDialogButtonBox::rejected, this, &CStudyDialog::reject);

  generatrix_->setCurrentIndex(system_.IsEmpty() ? 0 : 1);
  FillFields();
  UpdateButtons();
}

CStudyDialog::~CStudyDialog() {
  stopFlag_ = true;
  Join();
}

void CStudyDialog::Join() {
  if (worker_.joinable()) worker_.join();
}

void CStudyDialog::FillFields() {
  const int g = generatrix_->currentData().toInt();
  const QSignalBlocker block(field_);
  field_->clear();
  int preferred = 0;
  if (g < 0) {
    field_->addItem(QString::fromStdString(SweepFieldLabel(SweepField::kExternalField)),
                    static_cast<int>(SweepField::kExternalField));
  } else if (const SurfData* e = system_.At(g)) {
    for (SweepField f : SweepFieldsOf(*e)) {
      // The radius of an arc, the end of a line: what studies vary most.
      if (f == SweepField::kRadius || f == SweepField::kY2) preferred = field_->count();
      field_->addItem(QString::fromStdString(SweepFieldLabel(f)), static_cast<int>(f));
    }
  }
  field_->setCurrentIndex(preferred);
  FieldChosen();
}

void CStudyDialog::FieldChosen() {
  const SweepVariable v = Variable();
  double now = SweepFieldValue(system_, params_, v);
  if (std::isnan(now)) now = 0.0;
  from_->setValue(now);
  to_->setValue(now == 0.0 ? 1.0 : 2.0 * now);
}

void CStudyDialog::SetStudy(int generatrix, SweepField field, double from, double to, int steps) {
  generatrix_->setCurrentIndex(std::max(0, generatrix_->findData(generatrix)));
  field_->setCurrentIndex(std::max(0, field_->findData(static_cast<int>(field))));
  from_->setValue(from);
  to_->setValue(to);
  steps_->setValue(steps);
}

SweepVariable CStudyDialog::Variable() const {
  SweepVariable v;
  v.generatrix = generatrix_->currentData().toInt();
  v.field = static_cast<SweepField>(field_->currentData().toInt());
  v.from = from_->value();
  v.to = to_->value();
  return v;
}

int CStudyDialog::Steps() const { return steps_->value(); }

void CStudyDialog::Start() {
  if (Running() || field_->count() == 0) return;
  Join();
  running_ = {Variable()};
  runningSteps_ = Steps();
  if (const std::string problem = CheckSweep(system_, running_); !problem.empty()) {
    status_->setText(QString::fromStdString(problem));
    return;
  }
  rows_.assign(static_cast<size_t>(runningSteps_), SweepRow{});
  stopFlag_ = false;
  finished_ = false;
  progress_->setRange(0, runningSteps_);
  progress_->setValue(0);
  status_->setText(QStringLiteral("Расчет..."));
  UpdateTable();
  UpdatePlot();
  // The worker has copies of everything it reads.
  auto system = std::make_shared<const CSurfColl>(system_.Clone());
  worker_ = std::thread([this, system, params = params_, vars = running_, steps = runningSteps_] {
    SweepControl control;
    control.stop = &stopFlag_;
    control.onRow = [this](int k, const SweepRow& row) {
      QMetaObject::invokeMethod(this, [this, k, row] { RowDone(k, row); }, Qt::QueuedConnection);
    };
    std::vector<SweepRow> rows = RunSweep(*system, params, BatchOptions{}, vars, steps, control);
    QMetaObject::invokeMethod(this, [this, rows = std::move(rows)] { AllDone(rows); }, Qt::QueuedConnection);
  });
  UpdateButtons();
}

void CStudyDialog::Stop() {
  if (!Running()) return;
  stopFlag_ = true;
  status_->setText(QStringLiteral("Остановка..."));
}

void CStudyDialog::RowDone(int k, const SweepRow& row) {
  if (finished_ || k < 0 || k >= static_cast<int>(rows_.size())) return;
  rows_[static_cast<size_t>(k)] = row;
  progress_->setValue(progress_->value() + 1);
  UpdateTable();
  UpdatePlot();
}

void CStudyDialog::AllDone(const std::vector<SweepRow>& rows) {
  Join();
  finished_ = true;
  rows_ = rows;
  int ok = 0, failed = 0, stopped = 0;
  for (const SweepRow& r : rows_) {
    if (r.success)
      ++ok;
    else if (r.errorCode == FieldCalc::kAborted)
      ++stopped;
    else
      ++failed;
  }
  QString text = stopped ? QStringLiteral("Остановлено: рассчитано %1 из %2 значений.").arg(ok).arg(rows_.size())
                         : QStringLiteral("Готово: рассчитано %1 из %2 значений.").arg(ok).arg(rows_.size());
  if (failed) text += QStringLiteral(" С ошибкой: %1 (см. столбец \"Ошибка\").").arg(failed);
  status_->setText(text);
  progress_->setValue(progress_->maximum());
  UpdateTable();
  UpdatePlot();
  UpdateButtons();
  emit studyFinished();
}

void CStudyDialog::UpdateButtons() {
  const bool running = Running();
  start_->setEnabled(!running);
  stop_->setEnabled(running);
  for (QWidget* w : std::initializer_list<QWidget*>{generatrix_, field_, from_, to_, steps_}) w->setEnabled(!running);
  bool any = false;
  for (const SweepRow& r : rows_) any = any || r.success;
  exportCsv_->setEnabled(!running && any);
  exportPicture_->setEnabled(!running && any);
  openRow_->setEnabled(!running && table_->currentRow() >= 0 && table_->currentRow() < static_cast<int>(rows_.size()));
}

void CStudyDialog::UpdateTable() {
  size_t bodies, fixed;
  Sizes(rows_, bodies, fixed);
  QStringList header{running_.empty() ? QString() : QString::fromStdString(SweepFieldLabel(running_[0].field))};
  for (size_t b = 1; b <= bodies; ++b)
    header << QStringLiteral("Emax %1, кВ/см").arg(b) << QStringLiteral("Заряд %1, Кл").arg(b);
  for (size_t i = 1; i <= fixed; ++i)
    for (size_t j = 1; j <= fixed; ++j) header << QStringLiteral("C %1,%2, Ф").arg(i).arg(j);
  header << QStringLiteral("Ошибка");
  table_->setColumnCount(header.size());
  table_->setHorizontalHeaderLabels(header);
  table_->setRowCount(static_cast<int>(rows_.size()));
  for (int k = 0; k < static_cast<int>(rows_.size()); ++k) {
    const SweepRow& r = rows_[static_cast<size_t>(k)];
    int c = 0;
    auto put = [&](const QString& s) { table_->setItem(k, c++, new QTableWidgetItem(s)); };
    put(running_.empty() ? QString() : Number(SweepValue(running_[0], k, runningSteps_)));
    for (size_t b = 0; b < bodies; ++b) {
      put(r.success && b < r.maxField.size() ? Number(r.maxField[b]) : QString());
      put(r.success && b < r.charge.size() ? Number(r.charge[b]) : QString());
    }
    for (size_t i = 0; i < fixed; ++i)
      for (size_t j = 0; j < fixed; ++j)
        put(r.success && i < r.capacitance.size() && j < r.capacitance[i].size() ? Number(r.capacitance[i][j])
                                                                                 : QString());
    QString error = QString::fromStdString(r.error);
    error.replace('\n', ' ');
    put(error);
  }
  table_->resizeColumnsToContents();
}

void CStudyDialog::UpdatePlot() {
  chart_->removeAllSeries();
  for (QAbstractAxis* a : chart_->axes()) {
    chart_->removeAxis(a);
    delete a;
  }
  size_t bodies, fixed;
  Sizes(rows_, bodies, fixed);
  const int kind = plot_->currentIndex();
  std::vector<QLineSeries*> series;
  auto add = [&](const QString& name) {
    auto* s = new QLineSeries;
    s->setName(name);
    s->setPointsVisible(true);
    series.push_back(s);
    return s;
  };
  if (kind == kPlotCapacitance) {
    for (size_t i = 1; i <= fixed; ++i)
      for (size_t j = i; j <= fixed; ++j) add(QStringLiteral("C %1,%2").arg(i).arg(j));
  } else {
    for (size_t b = 1; b <= bodies; ++b) add(QStringLiteral("Тело %1").arg(b));
  }
  for (size_t k = 0; k < rows_.size(); ++k) {
    const SweepRow& r = rows_[k];
    if (!r.success) continue;
    const double x = SweepValue(running_[0], static_cast<int>(k), runningSteps_);
    size_t n = 0;
    if (kind == kPlotCapacitance) {
      for (size_t i = 0; i < fixed; ++i)
        for (size_t j = i; j < fixed; ++j, ++n)
          if (i < r.capacitance.size() && j < r.capacitance[i].size()) series[n]->append(x, r.capacitance[i][j]);
    } else {
      const std::vector<double>& v = kind == kPlotField ? r.maxField : r.charge;
      for (size_t b = 0; b < bodies && b < v.size(); ++b) series[b]->append(x, v[b]);
    }
  }
  auto* ax = new QValueAxis;
  ax->setTitleText(running_.empty() ? QString() : QString::fromStdString(SweepFieldLabel(running_[0].field)));
  auto* ay = new QValueAxis;
  ay->setTitleText(plot_->currentText());
  chart_->addAxis(ax, Qt::AlignBottom);
  chart_->addAxis(ay, Qt::AlignLeft);
  double xmin = INFINITY, xmax = -INFINITY, ymin = INFINITY, ymax = -INFINITY;
  for (QLineSeries* s : series) {
    chart_->addSeries(s);
    s->attachAxis(ax);
    s->attachAxis(ay);
    for (const QPointF& p : s->points()) {
      xmin = std::min(xmin, p.x()), xmax = std::max(xmax, p.x());
      ymin = std::min(ymin, p.y()), ymax = std::max(ymax, p.y());
    }
  }
  if (xmin <= xmax) {
    const double dx = xmax > xmin ? 0.0 : 1.0, dy = ymax > ymin ? 0.05 * (ymax - ymin) : std::abs(ymin) * 0.1 + 1e-30;
    ax->setRange(xmin - dx, xmax + dx);
    ay->setRange(ymin - dy, ymax + dy);
    ax->applyNiceNumbers();
    ay->applyNiceNumbers();
  }
  chart_->setTitle(plot_->currentText());
}

CSurfColl CStudyDialog::SystemOfRow(int k, CalcParameters& params) const {
  CSurfColl system = system_.Clone();
  params = params_;
  for (const SweepVariable& v : running_) ApplySweepValue(system, params, v, SweepValue(v, k, runningSteps_));
  return system;
}

QString CStudyDialog::ExportCsv(const QString& path) const {
  std::ostringstream out;
  WriteSweepCsv(rows_, out);
  if (const std::string error = WriteFileAtomically(QFile::encodeName(path).toStdString(), out.str()); !error.empty())
    return QStringLiteral("Не удается сохранить файл %1:\n%2").arg(path, QString::fromStdString(error));
  return {};
}

QString CStudyDialog::ExportPicture(const QString& path) const {
  return SavePicture(path, chartView_->size(), [&](QPainter& painter) { chartView_->render(&painter); });
}

void CStudyDialog::ExportCsvAsked() {
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт таблицы"), QString(),
                                                    QStringLiteral("Таблица CSV (*.csv)"));
  if (path.isEmpty()) return;
  const QString error = ExportCsv(path);
  status_->setText(error.isEmpty() ? QStringLiteral("Таблица записана: %1").arg(path) : error);
}

void CStudyDialog::ExportPictureAsked() {
  QString filter;
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Экспорт рисунка"), QString(),
                                                    QStringLiteral("Рисунок PNG (*.png);;Рисунок SVG (*.svg)"), &filter);
  if (path.isEmpty()) return;
  QString file = path;
  if (QFileInfo(file).suffix().isEmpty()) file += filter.contains(QStringLiteral("svg")) ? ".svg" : ".png";
  const QString error = ExportPicture(file);
  status_->setText(error.isEmpty() ? QStringLiteral("Рисунок записан: %1").arg(file) : error);
}

void CStudyDialog::OpenRowAsked() {
  const int k = table_->currentRow();
  if (k < 0 || k >= static_cast<int>(rows_.size())) return;
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить систему строки %1").arg(k + 1),
                                                    QString(), QStringLiteral("Полеобразующая система (*.txt)"));
  if (path.isEmpty()) return;
  CalcParameters params;
  const CSurfColl system = SystemOfRow(k, params);
  std::string text;
  for (const auto& e : system) text += e->GetText() + "\n";
  if (const std::string error = WriteFileAtomically(QFile::encodeName(path).toStdString(), text); !error.empty()) {
    status_->setText(QStringLiteral("Не удается сохранить файл %1:\n%2").arg(path, QString::fromStdString(error)));
    return;
  }
  savedSystem_ = path;
  savedParams_ = params;
  accept();
}

void CStudyDialog::reject() {
  Stop();
  stopFlag_ = true;
  Join();  // the runs stop at their next check
  finished_ = true;
  QDialog::reject();
}
