#include "dialogs/CPointsDialog.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <sstream>

#include "dialogs/CArchPoints.h"
#include "dialogs/CDialogCreateGeneratrix.h"
#include "dialogs/CLinePoints.h"
#include "dialogs/OkCancelButtons.h"
#include "dialogs/Pictures.h"
#include "engine/AtomicFile.h"
#include "engine/FieldCalc.h"
#include "engine/GapCurves.h"
#include "model/Arch.h"
#include "model/Line.h"
#include "model/TextFormat.h"

namespace {

// The list's column widths at the least; wider when a font needs it.
constexpr int kColumnWidths[4] = {100, 200, 50, 90};

const QString kFilters[] = {QStringLiteral("Текстовые файлы (*.txt)"), QStringLiteral("Все файлы (*.*)")};

QString FromStd(const std::string& s) { return QString::fromStdString(s); }

QString RegionText(const SurfData& c) { return FromStd(text::Format("%2i", c.innerRegion)); }
QString PointsText(const SurfData& c) { return FromStd(text::Format("%2i", c.pointCount)); }

QString AskPath(QWidget* parent, QFileDialog::AcceptMode mode, const QString& initial) {
  QFileDialog dialog(parent);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setNameFilters({kFilters[0], kFilters[1]});
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  if (!initial.isEmpty()) dialog.selectFile(initial);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return dialog.selectedFiles().constFirst();
}

}  // namespace

CPointsDialog::CPointsDialog(const CSurfColl& curves, QWidget* parent)
    : QDialog(parent),
      curves_(curves.Clone()),
      list_(new QTreeWidget),
      add_(new QPushButton(QStringLiteral("&Добавить"))),
      edit_(new QPushButton(QStringLiteral("&Редактир."))),
      delete_(new QPushButton(QStringLiteral("&Удалить"))),
      save_(new QPushButton(QStringLiteral("&Сохранить"))),
      load_(new QPushButton(QStringLiteral("&Загрузить"))) {
  setWindowTitle(QStringLiteral("Параметры расчетных кривых"));

  list_->setObjectName("curveList");
  list_->setColumnCount(4);
  list_->setHeaderLabels({QStringLiteral("Вид образующей"), QStringLiteral("Параметры"),
                          QStringLiteral("№ области"), QStringLiteral("Кол-во точек")});
  for (int c = 0; c < 4; ++c) list_->setColumnWidth(c, kColumnWidths[c]);
  list_->header()->setDefaultAlignment(Qt::AlignCenter);
  list_->header()->setSectionsClickable(false);
  list_->header()->setStretchLastSection(false);
  list_->setRootIsDecorated(false);
  list_->setItemsExpandable(false);
  list_->setUniformRowHeights(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setIconSize(QSize(16, 16));
  list_->setMinimumHeight(220);
  connect(list_, &QTreeWidget::currentItemChanged, this, &CPointsDialog::OnCurrentChanged);
  connect(list_, &QTreeWidget::itemSelectionChanged, this, &CPointsDialog::OnCurrentChanged);
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { Edit(); });

  auto* commands = new QVBoxLayout;
  for (QPushButton* b : {add_, edit_, delete_, save_, load_}) {
    b->setAutoDefault(false);
    commands->addWidget(b);
  }
  commands->addStretch(1);
  connect(add_, &QPushButton::clicked, this, &CPointsDialog::Add);
  connect(edit_, &QPushButton::clicked, this, &CPointsDialog::Edit);
  connect(delete_, &QPushButton::clicked, this, &CPointsDialog::Delete);
  connect(save_, &QPushButton::clicked, this, &CPointsDialog::Save);
  connect(load_, &QPushButton::clicked, this, &CPointsDialog::Load);

  auto* box = new QGroupBox(QStringLiteral("Точки на пространственных кривых"));
  auto* inner = new QHBoxLayout(box);
  inner->addWidget(list_, 1);
  inner->addLayout(commands);

  // Every operation changes the curves at once: OK and Отмена only close.
  auto* buttons = OkCancelButtons(this);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(box, 1);
  layout->addWidget(buttons);

  FillList();
  UpdateButtons();
  ShowSelected();
}

QString CPointsDialog::KindText(const SurfData& curve, int rowNumber) {
  if (curve.GetKind() == SurfData::kLine) return FromStd(text::Format(" %2i: Отрезок прямой", rowNumber));
  return FromStd(text::Format(" %2i: Окружность", rowNumber));
}

QString CPointsDialog::ParameterText(const SurfData& curve) {
  if (curve.GetKind() == SurfData::kLine) {
    const auto& l = static_cast<const Line&>(curve);
    return FromStd(text::Format("x1=%4.1f, y1=%4.1f; x2=%4.1f, y2=%4.1f", l.x1, l.y1, l.x2, l.y2));
  }
  const auto& a = static_cast<const Arch&>(curve);
  return FromStd(text::Format("x=%4.1f, y=%4.1f,R=%4.1f; \u2039%4.1f, %4.1f\u203a", a.xc, a.yc, a.radius,
                              RadiansToDegrees(a.angle1), RadiansToDegrees(a.angle2)));
}

void CPointsDialog::FillList() {
  list_->clear();
  for (const auto& curve : curves_) AppendRow(*curve);
  FitColumns();
}

// No text is cut off: a column grows beyond its width to fit its texts.
void CPointsDialog::FitColumns() {
  int total = 0;
  for (int c = 0; c < 4; ++c) {
    list_->resizeColumnToContents(c);
    const int width = std::max(kColumnWidths[c], list_->columnWidth(c) + 8);
    list_->setColumnWidth(c, width);
    total += width;
  }
  list_->setMinimumWidth(total + 2 * list_->frameWidth() + 4);
}

void CPointsDialog::AppendRow(const SurfData& curve) {
  const int kind = curve.GetKind();
  if (kind != SurfData::kLine && kind != SurfData::kArch) return;
  auto* item = new QTreeWidgetItem;
  item->setText(0, KindText(curve, list_->topLevelItemCount() + 1));
  item->setIcon(0, kind == SurfData::kLine ? pictures::LineCurveIcon() : pictures::ArcCurveIcon());
  for (int c = 0; c < 4; ++c) item->setTextAlignment(c, Qt::AlignCenter);
  list_->addTopLevelItem(item);
  UpdateRow(list_->topLevelItemCount() - 1, curve);
}

void CPointsDialog::UpdateRow(int index, const SurfData& curve) {
  QTreeWidgetItem* item = list_->topLevelItem(index);
  if (!item) return;
  item->setText(1, ParameterText(curve));
  item->setText(2, RegionText(curve));
  item->setText(3, PointsText(curve));
}

void CPointsDialog::UpdateButtons() {
  const bool any = !curves_.IsEmpty();
  edit_->setEnabled(any);
  delete_->setEnabled(any);
  save_->setEnabled(any);
}

// The row Edit and Delete will act on is the one shown selected.
void CPointsDialog::ShowSelected() {
  if (QTreeWidgetItem* item = list_->topLevelItem(selected_)) list_->setCurrentItem(item);
}

void CPointsDialog::OnCurrentChanged() {
  QTreeWidgetItem* item = list_->currentItem();
  if (item && item->isSelected()) selected_ = list_->indexOfTopLevelItem(item);
}

void CPointsDialog::Add() {
  const int kind = ChooseKind();
  if (kind == CDialogCreateGeneratrix::kArc) {
    CArchPoints dlg(this);
    if (!RunCurveDialog(dlg)) return;
    auto curve = MakeGapArch(dlg.region, dlg.pointCount, dlg.xc, dlg.yc, dlg.radius, dlg.angle1Deg, dlg.angle2Deg);
    AppendRow(*curve);
    curves_.Append(std::move(curve));
  } else if (kind == CDialogCreateGeneratrix::kLine) {
    CLinePoints dlg(this);
    if (!RunCurveDialog(dlg)) return;
    auto curve = MakeGapLine(dlg.region, dlg.pointCount, dlg.x1, dlg.y1, dlg.x2, dlg.y2);
    AppendRow(*curve);
    curves_.Append(std::move(curve));
  } else {
    return;
  }
  FitColumns();
  UpdateButtons();
}

void CPointsDialog::Edit() {
  SurfData* curve = curves_.At(selected_);
  if (!curve) return;
  if (curve->GetKind() == SurfData::kLine) {
    auto& line = static_cast<Line&>(*curve);
    CLinePoints dlg(this);
    dlg.region = line.innerRegion;
    dlg.pointCount = line.pointCount;
    dlg.x1 = line.x1;
    dlg.x2 = line.x2;
    dlg.y1 = line.y1;
    dlg.y2 = line.y2;
    if (!RunCurveDialog(dlg)) return;
    SetGapLine(line, dlg.region, dlg.pointCount, dlg.x1, dlg.y1, dlg.x2, dlg.y2);
  } else if (curve->GetKind() == SurfData::kArch) {
    auto& arch = static_cast<Arch&>(*curve);
    CArchPoints dlg(this);
    dlg.region = arch.innerRegion;
    dlg.pointCount = arch.pointCount;
    dlg.radius = arch.radius;
    dlg.angle1Deg = RadiansToDegrees(arch.angle1);
    dlg.angle2Deg = RadiansToDegrees(arch.angle2);
    dlg.xc = arch.xc;
    dlg.yc = arch.yc;
    if (!RunCurveDialog(dlg)) return;
    SetGapArch(arch, dlg.region, dlg.pointCount, dlg.xc, dlg.yc, dlg.radius, dlg.angle1Deg, dlg.angle2Deg);
  } else {
    return;
  }
  UpdateRow(selected_, *curve);
  FitColumns();
}

void CPointsDialog::Delete() {
  if (!curves_.At(selected_)) return;
  if (!ConfirmDelete()) return;
  list_->clear();
  curves_.RemoveElement(selected_);
  // Rebuilt so that the rows are numbered 1 to n again.
  FillList();
  UpdateButtons();
  ShowSelected();
}

void CPointsDialog::Save() {
  const QString path = AskSavePath(lastPath_);
  if (path.isEmpty()) return;
  lastPath_ = path;
  std::ostringstream out;
  SaveGapCurves(curves_, out);
  // Written aside and renamed over the old file, so a failed save leaves it intact.
  if (const std::string reason = WriteFileAtomically(QFile::encodeName(path).toStdString(), out.str());
      !reason.empty())
    ShowProblem(QStringLiteral("Невозможно записать файл \"%1\".\n%2").arg(path, QString::fromStdString(reason)));
}

void CPointsDialog::Load() {
  const QString path = AskOpenPath(lastPath_);
  if (path.isEmpty()) return;
  lastPath_ = path;
  // Opened before the curves are cleared, so an unreadable file costs nothing.
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    ShowProblem(QStringLiteral("Невозможно открыть файл \"%1\".\n%2").arg(path, file.errorString()));
    return;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    ShowProblem(QStringLiteral("Невозможно прочитать файл \"%1\".\n%2").arg(path, file.errorString()));
    return;
  }
  std::istringstream in(bytes.toStdString());
  list_->clear();
  const ElementReadResult result = LoadGapCurves(curves_, in);
  FillList();
  UpdateButtons();
  ShowSelected();
  if (result.errorCode != 0) {
    ShowProblem(QStringLiteral("Файл \"%1\", строка %2:\n%3\n\nЗагружены кривые до этой строки: %4.")
                    .arg(path)
                    .arg(result.errorLine)
                    .arg(FromStd(FieldCalc::MessageFor(result.errorCode)))
                    .arg(curves_.GetSize()));
  }
}

int CPointsDialog::ChooseKind() {
  CDialogCreateGeneratrix dlg(this);
  return dlg.exec() == QDialog::Accepted ? dlg.kind : -1;
}

bool CPointsDialog::RunCurveDialog(QDialog& dialog) { return dialog.exec() == QDialog::Accepted; }

bool CPointsDialog::ConfirmDelete() {
  return QMessageBox::question(this, QStringLiteral("Ты, чо, серьезно"),
                               QStringLiteral("Вы действительно хотите удалить выбранную образующую?"),
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

QString CPointsDialog::AskSavePath(const QString& initial) {
  return AskPath(this, QFileDialog::AcceptSave, initial);
}

QString CPointsDialog::AskOpenPath(const QString& initial) {
  return AskPath(this, QFileDialog::AcceptOpen, initial);
}

void CPointsDialog::ShowProblem(const QString& text) {
  QMessageBox::warning(this, QStringLiteral("Программа Kalvor"), text);
}
