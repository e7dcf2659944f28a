#include "dialogs/InceptionSection.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

#include "dialogs/NumberFields.h"
#include "engine/GasModel.h"

namespace {

enum GasIndex { kAir = 0, kSf6 = 1, kTable = 2 };

const QString kPressureLabel = QStringLiteral("Давление, бар");
const QString kTemperatureLabel = QStringLiteral("Температура, °C");
const QString kKLabel = QStringLiteral("Критическое число лавины K (0 - по газу)");

QString PickTableFile(QWidget* parent, const QString& initial) {
  return QFileDialog::getOpenFileName(parent, QStringLiteral("Таблица газа"), initial,
                                      QStringLiteral("Таблицы (*.txt *.dat *.csv);;Все файлы (*)"));
}

}  // namespace

InceptionSection::InceptionSection(QWidget* parent)
    : QGroupBox(QStringLiteral("Возникновение разряда"), parent),
      pickTable(PickTableFile),
      enabled_(new QCheckBox(QStringLiteral("Оценить возникновение разряда после расчета"))),
      gas_(new QComboBox),
      table_(new QLineEdit),
      browse_(new QPushButton(QStringLiteral(">>"))),
      pressure_(new QLineEdit),
      temperature_(new QLineEdit),
      k_(new QLineEdit) {
  setObjectName("InceptionSection");
  enabled_->setObjectName("InceptionEnabled");
  gas_->setObjectName("InceptionGas");
  table_->setObjectName("InceptionTable");
  browse_->setObjectName("browseInceptionTable");
  pressure_->setObjectName("InceptionPressure");
  temperature_->setObjectName("InceptionTemperature");
  k_->setObjectName("InceptionK");
  gas_->addItems({QStringLiteral("Воздух"), QStringLiteral("Элегаз (SF6)"), QStringLiteral("Таблица из файла")});
  browse_->setAutoDefault(false);
  browse_->setFixedWidth(36);
  table_->setMinimumWidth(220);

  auto* tableRow = new QHBoxLayout;
  tableRow->addWidget(table_);
  tableRow->addWidget(browse_);
  auto* form = new QFormLayout(this);
  form->addRow(enabled_);
  form->addRow(QStringLiteral("Газ"), gas_);
  form->addRow(QStringLiteral("Файл таблицы"), tableRow);
  form->addRow(kPressureLabel, pressure_);
  form->addRow(kTemperatureLabel, temperature_);
  form->addRow(kKLabel, k_);

  connect(enabled_, &QCheckBox::toggled, this, [this] { UpdateEnabling(); });
  connect(gas_, &QComboBox::currentIndexChanged, this, [this] { UpdateEnabling(); });
  connect(browse_, &QPushButton::clicked, this, [this] {
    const QString path = pickTable(this, table_->text());
    if (!path.isEmpty()) table_->setText(path);
  });
  Load(InceptionParameters{});
}

void InceptionSection::Load(const InceptionParameters& p) {
  enabled_->setChecked(p.Enabled);
  const int gas = p.Gas == "air" ? kAir : p.Gas == "sf6" ? kSf6 : kTable;
  gas_->setCurrentIndex(gas);
  table_->setText(gas == kTable ? QString::fromStdString(p.Gas) : QString());
  pressure_->setText(NumberFields::FormatReal(p.PressureBar));
  temperature_->setText(NumberFields::FormatReal(p.TemperatureC));
  k_->setText(NumberFields::FormatReal(p.K));
  UpdateEnabling();
}

bool InceptionSection::TakeBack(InceptionParameters& p) {
  InceptionParameters next = p;
  NumberFields fields;
  fields.AddReal(pressure_, &next.PressureBar, 0.001, 1000, kPressureLabel);
  fields.AddReal(temperature_, &next.TemperatureC, -200, 1000, kTemperatureLabel);
  fields.AddReal(k_, &next.K, 0, 100, kKLabel);
  if (!fields.Take(this)) return false;
  next.Enabled = enabled_->isChecked();
  const int gas = gas_->currentIndex();
  next.Gas = gas == kAir ? "air" : gas == kSf6 ? "sf6" : table_->text().trimmed().toStdString();
  if (next.Enabled && gas == kTable) {
    // A table that cannot be used is refused here, not after the run.
    std::string error;
    if (next.Gas.empty() || next.Gas == "air" || next.Gas == "sf6") {
      NumberFields::ShowMessage(this, QStringLiteral("Укажите файл таблицы газа."));
      table_->setFocus();
      return false;
    }
    if (!GasModel::FromTableFile(next.Gas, error)) {
      NumberFields::ShowMessage(this, QString::fromStdString(error));
      table_->setFocus();
      return false;
    }
  }
  p = next;
  return true;
}

void InceptionSection::UpdateEnabling() {
  const bool on = enabled_->isChecked();
  const bool table = gas_->currentIndex() == kTable;
  gas_->setEnabled(on);
  table_->setEnabled(on && table);
  browse_->setEnabled(on && table);
  pressure_->setEnabled(on);
  temperature_->setEnabled(on);
  k_->setEnabled(on);
}
