#include "views/ResultsPane.h"

#include <QDir>
#include <QHeaderView>
#include <QPointF>
#include <QTreeWidget>

#include "document/CKalvorDoc.h"
#include "views/InceptionView.h"
#include "views/SurfaceSamples.h"

namespace {

QString Number(double v) { return QString::number(v, 'g', 5); }

}  // namespace

ResultsPane::ResultsPane(CKalvorDoc& doc, QWidget* parent)
    : QDockWidget(QStringLiteral("Результаты"), parent), doc_(doc), tree_(new QTreeWidget(this)) {
  setObjectName(QStringLiteral("ResultsPane"));
  tree_->setColumnCount(2);
  tree_->setHeaderLabels({QStringLiteral("Величина"), QStringLiteral("Значение")});
  tree_->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
  setWidget(tree_);
  connect(tree_, &QTreeWidget::itemClicked, this, &ResultsPane::OnClicked);
  connect(tree_, &QTreeWidget::itemDoubleClicked, this, &ResultsPane::OnDoubleClicked);
  connect(&doc_, &CKalvorDoc::resultsChanged, this, &ResultsPane::Fill);
  Fill();
}

QTreeWidgetItem* ResultsPane::Section(const QString& title) {
  auto* item = new QTreeWidgetItem(tree_, {title});
  item->setExpanded(true);
  QFont bold = item->font(0);
  bold.setBold(true);
  item->setFont(0, bold);
  return item;
}

void ResultsPane::Fill() {
  tree_->clear();
  if (!doc_.ResultsPresent()) return;
  const FieldCalc& calc = doc_.Calc();
  const RunReport& run = doc_.LastRun();
  const CalcParameters& p = run.parameters;

  QTreeWidgetItem* system = Section(QStringLiteral("Расчет"));
  new QTreeWidgetItem(system, {QStringLiteral("Неизвестных"), QString::number(calc.Unknowns())});
  new QTreeWidgetItem(system, {QStringLiteral("Зарядов"), QString::number(calc.TotalCharges())});
  double seconds = 0.0;
  for (const StageTiming& t : run.timings) seconds += t.seconds;
  new QTreeWidgetItem(system, {QStringLiteral("Время, с"), Number(seconds)});

  // The largest field on each generatrix, at the points of its result file.
  QTreeWidgetItem* fields = Section(QStringLiteral("Наибольшая |E| на образующих"));
  const CSurfColl& gens = calc.Generatrices();
  for (int i = 0; i < gens.GetSize(); ++i) {
    const SurfaceSeries series = SampleGeneratrix(calc, i);
    const int k = series.MaxIndex();
    if (k < 0) continue;
    const SurfaceSample& s = series.samples[static_cast<size_t>(k)];
    const double e = std::max(s.e, s.eIn);
    auto* row = new QTreeWidgetItem(
        fields, {QStringLiteral("Образующая %1").arg(i + 1),
                 QStringLiteral("%1 кВ/см в (%2; %3) см").arg(Number(e), Number(s.x), Number(s.y))});
    row->setData(0, kPointRole, QPointF(s.x, s.y));
    row->setData(0, kGeneratrixRole, i);
    row->setToolTip(0, QStringLiteral("Щелчок: показать место; двойной щелчок: график"));
  }

  // What the solution is worth, from the document's analysis of the run.
  const SolutionAnalysis& a = doc_.Analysis();
  if (!a.generatrices.empty()) {
    QTreeWidgetItem* accuracy = Section(QStringLiteral("Точность"));
    new QTreeWidgetItem(accuracy, {QStringLiteral("Наибольшая ошибка потенциала"), Number(a.worstPotentialError)});
    new QTreeWidgetItem(accuracy, {QStringLiteral("Наибольший скачок потенциала"), Number(a.worstPotentialJump)});
    new QTreeWidgetItem(accuracy, {QStringLiteral("Наибольший скачок индукции"), Number(a.worstFluxJump)});
    for (const GeneratrixAccuracy& g : a.generatrices)
      new QTreeWidgetItem(accuracy, {QStringLiteral("Образующая %1").arg(g.index + 1),
                                     g.conductor ? QStringLiteral("ошибка потенциала %1").arg(Number(g.potentialError))
                                                 : QStringLiteral("скачки: потенциала %1, индукции %2")
                                                       .arg(Number(g.potentialJump), Number(g.fluxJump))});
  }
  if (!a.bodies.empty()) {
    QTreeWidgetItem* bodies = Section(QStringLiteral("Тела"));
    for (size_t b = 0; b < a.bodies.size(); ++b) {
      const BodyFigures& body = a.bodies[b];
      QStringList names;
      for (int g : body.generatrices) names << QString::number(g + 1);
      auto* row = new QTreeWidgetItem(
          bodies, {QStringLiteral("Тело %1 (образующие %2%3)")
                       .arg(b + 1)
                       .arg(names.join(QStringLiteral(", ")), body.floating ? QStringLiteral(", плавающее") : QString()),
                   QStringLiteral("%1 кВ, %2 Кл; |E| до %3 кВ/см в (%4; %5) см")
                       .arg(Number(body.potential), Number(body.charge), Number(body.maxField), Number(body.maxX),
                            Number(body.maxY))});
      row->setData(0, kPointRole, QPointF(body.maxX, body.maxY));
    }
  }
  if (const InceptionResult& inception = doc_.Inception(); inception.errorCode || !inception.bodies.empty() ||
                                                            !inception.points.empty())
    AddInceptionRows(Section(QStringLiteral("Возникновение разряда")), inception, kPointRole);
  if (!a.capacitance.empty()) {
    QTreeWidgetItem* matrix = Section(QStringLiteral("Матрица емкостей, Ф"));
    for (size_t i = 0; i < a.capacitance.size(); ++i) {
      QStringList row;
      for (double c : a.capacitance[i]) row << Number(c);
      new QTreeWidgetItem(matrix, {QStringLiteral("Тело %1").arg(a.capacitanceBodies[i] + 1), row.join(QStringLiteral("  "))});
    }
  }
  if (!a.warnings.empty()) {
    QTreeWidgetItem* warnings = Section(QStringLiteral("Предупреждения"));
    for (const std::string& w : a.warnings) {
      auto* row = new QTreeWidgetItem(warnings, {QString::fromStdString(w)});
      row->setFirstColumnSpanned(true);
    }
  }
  if (!run.timings.empty()) {
    QTreeWidgetItem* stages = Section(QStringLiteral("Этапы расчета"));
    for (const StageTiming& t : run.timings)
      new QTreeWidgetItem(stages, {QString::fromStdString(t.stage), Number(t.seconds) + QStringLiteral(" с")});
  }

  QTreeWidgetItem* files = Section(QStringLiteral("Файлы результатов"));
  const QString folder = QString::fromStdString(p.ResultsFolder);
  new QTreeWidgetItem(files, {QStringLiteral("Папка"), QDir::toNativeSeparators(folder)});
  if (p.SurfaceResults)
    for (int i = 0; i < gens.GetSize(); ++i)
      new QTreeWidgetItem(files, {QStringLiteral("Образующая %1").arg(i + 1),
                                  QString::fromStdString(FieldCalc::SurfaceFileName(i + 1)).trimmed()});
  tree_->resizeColumnToContents(1);
}

void ResultsPane::OnClicked(QTreeWidgetItem* item) {
  const QVariant point = item ? item->data(0, kPointRole) : QVariant();
  if (!point.isValid()) return;
  const QPointF p = point.toPointF();
  emit locate(p.x(), p.y());
}

void ResultsPane::OnDoubleClicked(QTreeWidgetItem* item) {
  const QVariant g = item ? item->data(0, kGeneratrixRole) : QVariant();
  if (g.isValid()) emit plotRequested(g.toInt());
}
