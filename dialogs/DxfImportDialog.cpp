#include "dialogs/DxfImportDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QDoubleValidator>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "dialogs/OkCancelButtons.h"
#include "dialogs/SystemPreview.h"
#include "model/TextFormat.h"

namespace {

enum Column { kName, kCount, kKind, kValue1, kValue2, kColumns };

// The kinds in the order of the list.
const DxfLayerKind kKinds[] = {DxfLayerKind::kSkip, DxfLayerKind::kConductor, DxfLayerKind::kFloating,
                               DxfLayerKind::kDielectric};

QString TypesText(const DxfLayerInfo& l) {
  QStringList parts;
  for (const auto& [type, n] : l.types) parts << QStringLiteral("%1 %2").arg(QString::fromStdString(type)).arg(n);
  return parts.join(QStringLiteral(", "));
}

double Value(QTableWidget* t, int row, int col, double fallback) {
  const auto* e = qobject_cast<QLineEdit*>(t->cellWidget(row, col));
  if (!e) return fallback;
  const char* end = nullptr;
  const std::string s = e->text().trimmed().replace(',', '.').toStdString();
  const double v = text::ParseDouble(s.c_str(), &end);
  return !s.empty() && end == s.c_str() + s.size() ? v : fallback;
}

}  // namespace

DxfImportDialog::DxfImportDialog(DxfDrawing drawing, const QString& fileName, QWidget* parent)
    : QDialog(parent),
      drawing_(std::move(drawing)),
      table_(new QTableWidget(static_cast<int>(drawing_.layers.size()), kColumns)),
      units_(new QComboBox),
      tolerance_(new QLineEdit(QStringLiteral("1e-4"))),
      density_(new QDoubleSpinBox),
      ratioLd_(new QDoubleSpinBox),
      preview_(new SystemPreview),
      notes_(new QPlainTextEdit) {
  setWindowTitle(QStringLiteral("Импорт DXF — %1").arg(fileName));
  table_->setObjectName("layers");
  table_->setHorizontalHeaderLabels({QStringLiteral("Слой"), QStringLiteral("Объекты"), QStringLiteral("Вид"),
                                     QStringLiteral("U, кВ / ε внутри"), QStringLiteral("ε снаружи")});
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  table_->horizontalHeader()->setSectionResizeMode(kCount, QHeaderView::Stretch);
  for (int row = 0; row < table_->rowCount(); ++row) {
    const DxfLayerInfo& l = drawing_.layers[static_cast<size_t>(row)];
    auto* name = new QTableWidgetItem(QString::fromStdString(l.name));
    name->setFlags(Qt::ItemIsEnabled);
    table_->setItem(row, kName, name);
    auto* count = new QTableWidgetItem(TypesText(l));
    count->setFlags(Qt::ItemIsEnabled);
    count->setToolTip(QStringLiteral("Отрезков и дуг: %1").arg(l.pieces));
    table_->setItem(row, kCount, count);
    auto* kind = new QComboBox;
    kind->addItems({QStringLiteral("Пропустить"), QStringLiteral("Проводник"),
                    QStringLiteral("Проводник, потенциал неизвестен"), QStringLiteral("Диэлектрик")});
    table_->setCellWidget(row, kKind, kind);
    for (int col : {kValue1, kValue2}) {
      auto* edit = new QLineEdit(col == kValue1 ? QStringLiteral("0") : QStringLiteral("1"));
      edit->setValidator(new QDoubleValidator(edit));
      table_->setCellWidget(row, col, edit);
      connect(edit, &QLineEdit::editingFinished, this, [this] { Update(); });
    }
    if (const auto m = MappingFromLayerName(l.name)) {
      SetLayer(row, m->kind, m->kind == DxfLayerKind::kDielectric ? m->epsInner : m->potential, m->epsOuter);
    } else if (l.pieces == 0) {
      kind->setEnabled(false);
    }
    connect(kind, &QComboBox::currentIndexChanged, this, [this] { Update(); });
  }

  const double fileUnits = DxfUnitToCm(drawing_.insUnits);
  units_->setObjectName("units");
  units_->addItem(fileUnits > 0 ? QStringLiteral("из файла (%1 см)").arg(fileUnits)
                                : QStringLiteral("из файла (не указаны: мм)"),
                  -1);
  units_->addItem(QStringLiteral("мм"), 4);
  units_->addItem(QStringLiteral("см"), 5);
  units_->addItem(QStringLiteral("м"), 6);
  units_->addItem(QStringLiteral("дюймы"), 1);
  tolerance_->setObjectName("tolerance");
  tolerance_->setValidator(new QDoubleValidator(1e-9, 1e-2, 12, tolerance_));
  tolerance_->setToolTip(QStringLiteral("Концы ближе допуска (доля размера чертежа) соединяются"));
  density_->setObjectName("density");
  density_->setRange(0.01, 1000);
  density_->setValue(5);
  density_->setSuffix(QStringLiteral(" на см"));
  ratioLd_->setObjectName("ratioLd");
  ratioLd_->setRange(0.1, 100);
  ratioLd_->setValue(2);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Единицы чертежа:"), units_);
  form->addRow(QStringLiteral("Допуск соединения концов:"), tolerance_);
  form->addRow(QStringLiteral("Расчетных точек:"), density_);
  form->addRow(QStringLiteral("Отношение L/d:"), ratioLd_);
  notes_->setObjectName("notes");
  notes_->setReadOnly(true);
  notes_->setMaximumBlockCount(500);

  auto* left = new QVBoxLayout;
  left->addWidget(table_, 1);
  left->addLayout(form);
  auto* right = new QVBoxLayout;
  right->addWidget(preview_, 1);
  right->addWidget(notes_);
  auto* columns = new QHBoxLayout;
  columns->addLayout(left, 3);
  columns->addLayout(right, 2);
  auto* buttons = OkCancelButtons(this);
  ok_ = buttons->button(QDialogButtonBox::Ok);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns, 1);
  layout->addWidget(buttons);
  resize(1000, 560);

  connect(units_, &QComboBox::currentIndexChanged, this, [this] { Update(); });
  connect(tolerance_, &QLineEdit::editingFinished, this, [this] { Update(); });
  connect(density_, &QDoubleSpinBox::valueChanged, this, [this] { Update(); });
  connect(ratioLd_, &QDoubleSpinBox::valueChanged, this, [this] { Update(); });
  Update();
}

void DxfImportDialog::SetLayer(int row, DxfLayerKind kind, double value1, double value2) {
  updating_ = true;
  auto* combo = qobject_cast<QComboBox*>(table_->cellWidget(row, kKind));
  for (int k = 0; k < 4; ++k)
    if (kKinds[k] == kind) combo->setCurrentIndex(k);
  qobject_cast<QLineEdit*>(table_->cellWidget(row, kValue1))->setText(QString::number(value1, 'g', 10));
  qobject_cast<QLineEdit*>(table_->cellWidget(row, kValue2))->setText(QString::number(value2, 'g', 10));
  updating_ = false;
  Update();
}

DxfImportOptions DxfImportDialog::Options() const {
  DxfImportOptions o;
  o.autoLayers = false;  // the table shows every layer's mapping
  for (int row = 0; row < table_->rowCount(); ++row) {
    DxfLayerMapping m;
    m.kind = kKinds[qobject_cast<QComboBox*>(table_->cellWidget(row, kKind))->currentIndex()];
    if (const auto named = MappingFromLayerName(drawing_.layers[static_cast<size_t>(row)].name);
        named && named->kind == m.kind) {
      m.innerRegion = named->innerRegion;
      m.outerRegion = named->outerRegion;
    }
    if (m.kind == DxfLayerKind::kConductor) m.potential = Value(table_, row, kValue1, 0);
    if (m.kind == DxfLayerKind::kDielectric) {
      m.epsInner = std::max(1.0, Value(table_, row, kValue1, 1));
      m.epsOuter = std::max(1.0, Value(table_, row, kValue2, 1));
    }
    o.layers[drawing_.layers[static_cast<size_t>(row)].name] = m;
  }
  o.unitsOverride = units_->currentData().toInt();
  const std::string tol = tolerance_->text().trimmed().replace(',', '.').toStdString();
  const char* end = nullptr;
  const double t = text::ParseDouble(tol.c_str(), &end);
  o.tolerance = end == tol.c_str() + tol.size() && t >= 1e-9 && t <= 1e-2 ? t : 1e-4;
  o.pointsPerCm = density_->value();
  o.ratioLd = ratioLd_->value();
  return o;
}

void DxfImportDialog::Update() {
  if (updating_) return;
  for (int row = 0; row < table_->rowCount(); ++row) {
    const int kind = qobject_cast<QComboBox*>(table_->cellWidget(row, kKind))->currentIndex();
    table_->cellWidget(row, kValue1)->setEnabled(kind == 1 || kind == 3);
    table_->cellWidget(row, kValue2)->setEnabled(kind == 3);
  }
  result_ = ImportDxf(drawing_, Options());
  QStringList lines;
  if (!result_.Ok()) lines << QString::fromStdString(result_.error);
  for (const auto& w : result_.warnings) lines << QStringLiteral("Предупреждение: ") + QString::fromStdString(w);
  for (const auto& n : result_.notes) lines << QString::fromStdString(n);
  if (result_.Ok())
    lines.prepend(QStringLiteral("Образующих: %1, контуров: %2; допуск %3 см.")
                      .arg(result_.system.GetSize())
                      .arg(result_.contours)
                      .arg(result_.toleranceCm, 0, 'g', 3));
  notes_->setPlainText(lines.join('\n'));
  preview_->SetSystem(result_.Ok() ? result_.system.Clone() : CSurfColl());
  ok_->setEnabled(result_.Ok());
}
