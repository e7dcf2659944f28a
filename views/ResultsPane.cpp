#include "views/ResultsPane.h"

#include <QDir>
#include <QHeaderView>
#include <QPointF>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <algorithm>

#include "document/CKalvorDoc.h"
#include "dialogs/CCalcInfo.h"
#include "views/InceptionView.h"
#include "views/LargestField.h"
#include "views/SurfaceSamples.h"

namespace {

QString Number(double v) { return QString::number(v, 'g', 5); }

// A largest field with its error where one is known.
QString FieldText(double value, double error) {
  QString text = Number(value);
  if (error >= 0.0) text += QStringLiteral(" ± ") + QString::number(error, 'g', 2);
  return text + QStringLiteral(" кВ/см");
}

// The names the progress window shows for the stages of a run.
QString StageName(const std::string& key) {
  if (key == "place") return QStringLiteral("Размещение ЭЗ и КТ");
  if (key == "fill") return QStringLiteral("Заполнение матрицы");
  if (key == "solve") return QStringLiteral("Решение системы алгебраических уравнений");
  if (key == "control") return QStringLiteral("Контрольный расчет и запись в файл");
  if (key == "results") return QStringLiteral("Расчет по пов-сти и запись рез-ов в файл");
  return QString::fromStdString(key);
}

}  // namespace

std::vector<std::pair<QString, double>> ResultsPane::StageTimes(const std::vector<StageTiming>& timings) {
  std::vector<std::pair<QString, double>> stages;
  for (const StageTiming& t : timings) {
    const QString name = StageName(t.stage);
    auto it = std::find_if(stages.begin(), stages.end(), [&](const auto& s) { return s.first == name; });
    if (it == stages.end())
      stages.emplace_back(name, t.seconds);
    else
      it->second += t.seconds;
  }
  return stages;
}

ResultsPane::ResultsPane(CKalvorDoc& doc, QWidget* parent)
    : QDockWidget(QStringLiteral("Результаты"), parent), doc_(doc), tree_(new QTreeWidget(this)) {
  setObjectName(QStringLiteral("ResultsPane"));
  tree_->setColumnCount(2);
  tree_->setHeaderLabels({QStringLiteral("Величина"), QStringLiteral("Значение")});
  // The names may be long (stage names): the values must stay in sight.
  tree_->header()->setSectionResizeMode(0, QHeaderView::Interactive);
  tree_->header()->setStretchLastSection(true);
  // A value cut short keeps its number and error; the rest is in the tooltip.
  tree_->setTextElideMode(Qt::ElideRight);
  setWidget(tree_);
  connect(tree_, &QTreeWidget::itemClicked, this, &ResultsPane::OnClicked);
  connect(tree_, &QTreeWidget::itemDoubleClicked, this, &ResultsPane::OnDoubleClicked);
  connect(&doc_, &CKalvorDoc::resultsChanged, this, &ResultsPane::Fill);
  Fill();
}

QTreeWidgetItem* ResultsPane::Section(const QString& title) {
  auto* item = new QTreeWidgetItem(tree_, {title});
  item->setFirstColumnSpanned(true);  // a title is never cut short by the values' column
  item->setExpanded(true);
  QFont bold = item->font(0);
  bold.setBold(true);
  item->setFont(0, bold);
  return item;
}

void ResultsPane::Fill() {
  tree_->clear();
  files_ = nullptr;
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

  // What the solution is worth, from the document's analysis of the run.
  const SolutionAnalysis& a = doc_.Analysis();
  new QTreeWidgetItem(system, {QStringLiteral("1/cond (оценка)"),
                               a.reciprocalCondition >= 0.0 ? QString::number(a.reciprocalCondition, 'e', 2)
                                                            : QStringLiteral("не оценивалась")});
  new QTreeWidgetItem(system, {QStringLiteral("Программа"), VersionLine()});

  // The largest field on each generatrix: the analysis's, as for the bodies.
  QTreeWidgetItem* fields = Section(QStringLiteral("Наибольшая |E| на образующих"));
  const CSurfColl& gens = calc.Generatrices();
  for (int i = 0; i < gens.GetSize(); ++i) {
    const LargestField f = GeneratrixLargestField(a, i);
    if (!f.valid) continue;
    auto* row = new QTreeWidgetItem(
        fields, {QStringLiteral("Образующая %1").arg(i + 1),
                 QStringLiteral("%1 в (%2; %3) см%4")
                     .arg(FieldText(f.value, f.error), Number(f.x), Number(f.y),
                          f.inner ? QStringLiteral(", внутри") : QString())});
    row->setData(0, kPointRole, QPointF(f.x, f.y));
    row->setData(0, kGeneratrixRole, i);
    row->setData(0, kFieldRole, f.value);
    row->setData(0, kErrorRole, f.error);
    row->setToolTip(0, QStringLiteral("Щелчок: показать место; двойной щелчок: график"));
  }

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
                   QStringLiteral("%1 кВ, %2 Кл; |E| до %3 в (%4; %5) см")
                       .arg(Number(body.potential), Number(body.charge), FieldText(body.maxField, body.maxFieldError),
                            Number(body.maxX), Number(body.maxY))});
      row->setData(0, kPointRole, QPointF(body.maxX, body.maxY));
      row->setData(0, kFieldRole, body.maxField);
      row->setData(0, kErrorRole, body.maxFieldError);
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
    for (const auto& [name, seconds] : StageTimes(run.timings))
      new QTreeWidgetItem(stages, {name, Number(seconds) + QStringLiteral(" с")});
  }

  QTreeWidgetItem* files = files_ = Section(QStringLiteral("Файлы результатов"));
  const QString folder = QString::fromStdString(p.ResultsFolder);
  new QTreeWidgetItem(files, {QStringLiteral("Папка"), QDir::toNativeSeparators(folder)});
  if (p.SurfaceResults)
    for (int i = 0; i < gens.GetSize(); ++i)
      new QTreeWidgetItem(files, {QStringLiteral("Образующая %1").arg(i + 1),
                                  QString::fromStdString(FieldCalc::SurfaceFileName(i + 1)).trimmed()});
  FitColumns();
}

void ResultsPane::FitColumns() {
  // The names' column takes what it needs up to half the width; a name
  // cut short shows whole in its tooltip.
  tree_->resizeColumnToContents(0);
  const int wanted = tree_->columnWidth(0) + 8;
  tree_->setColumnWidth(0, std::min(wanted, std::max(120, tree_->viewport()->width() / 2)));
  for (QTreeWidgetItemIterator it(tree_); *it; ++it) {
    if ((*it)->toolTip(0).isEmpty()) (*it)->setToolTip(0, (*it)->text(0));
    (*it)->setToolTip(1, (*it)->text(1));
  }
}

void ResultsPane::resizeEvent(QResizeEvent* event) {
  QDockWidget::resizeEvent(event);
  FitColumns();
}

void ResultsPane::ShowGapFiles() {
  if (!doc_.ResultsPresent() || !files_) return;
  for (int i = 0; i < doc_.GapCurves().GetSize(); ++i) {
    const QString name = QString::fromStdString(FieldCalc::GapFileName(i + 1)).trimmed();
    if (!tree_->findItems(name, Qt::MatchExactly | Qt::MatchRecursive, 1).isEmpty()) continue;
    new QTreeWidgetItem(files_, {QStringLiteral("Кривая в промежутке %1").arg(i + 1), name});
  }
}

void ResultsPane::OnClicked(QTreeWidgetItem* item) {
  const QVariant point = item ? item->data(0, kPointRole) : QVariant();
  if (!point.isValid()) return;
  const QPointF p = point.toPointF();
  emit locate(p.x(), p.y());
  const QVariant field = item->data(0, kFieldRole);
  if (field.isValid()) emit markField(p.x(), p.y(), field.toDouble(), item->data(0, kErrorRole).toDouble());
}

void ResultsPane::OnDoubleClicked(QTreeWidgetItem* item) {
  const QVariant g = item ? item->data(0, kGeneratrixRole) : QVariant();
  if (g.isValid()) emit plotRequested(g.toInt());
}
