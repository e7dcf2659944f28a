#include "dialogs/FieldPictureDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cmath>

#include "dialogs/OkCancelButtons.h"

namespace {

const char* const kGroup = "FieldPicture";

}  // namespace

FieldPictureOptions LoadFieldPictureOptions() {
  const FieldPictureOptions defaults;
  FieldPictureOptions o;
  QSettings settings;
  settings.beginGroup(kGroup);
  o.showMap = settings.value("map", defaults.showMap).toBool();
  o.quantity = settings.value("quantity").toString() == QLatin1String("phi") ? FieldPictureOptions::Quantity::kPotential
                                                                             : FieldPictureOptions::Quantity::kField;
  o.logScale = settings.value("logScale", defaults.logScale).toBool();
  o.showEquipotentials = settings.value("equipotentials", defaults.showEquipotentials).toBool();
  bool ok = false;
  const double step = settings.value("equipotentialStep").toDouble(&ok);
  o.equipotentialStep = ok && std::isfinite(step) && step >= 0.0 && step <= 1.0e6 ? step : defaults.equipotentialStep;
  o.showFieldLines = settings.value("fieldLines", defaults.showFieldLines).toBool();
  const int lines = settings.value("linesPerElectrode").toInt(&ok);
  o.linesPerElectrode = ok && lines >= 1 && lines <= 200 ? lines : defaults.linesPerElectrode;
  o.mirror = settings.value("mirror", defaults.mirror).toBool();
  return o;
}

void StoreFieldPictureOptions(const FieldPictureOptions& o) {
  QSettings settings;
  settings.beginGroup(kGroup);
  settings.setValue("map", o.showMap);
  settings.setValue("quantity", o.quantity == FieldPictureOptions::Quantity::kPotential ? "phi" : "e");
  settings.setValue("logScale", o.logScale);
  settings.setValue("equipotentials", o.showEquipotentials);
  settings.setValue("equipotentialStep", o.equipotentialStep);
  settings.setValue("fieldLines", o.showFieldLines);
  settings.setValue("linesPerElectrode", o.linesPerElectrode);
  settings.setValue("mirror", o.mirror);
}

FieldPictureDialog::FieldPictureDialog(QWidget* parent)
    : QDialog(parent),
      map_(new QCheckBox(QStringLiteral("Цветовая карта"), this)),
      quantity_(new QComboBox(this)),
      equipotentials_(new QCheckBox(QStringLiteral("Эквипотенциали"), this)),
      step_(new QDoubleSpinBox(this)),
      lines_(new QCheckBox(QStringLiteral("Силовые линии"), this)),
      count_(new QSpinBox(this)),
      log_(new QCheckBox(QStringLiteral("Логарифмическая шкала |E|"), this)),
      mirror_(new QCheckBox(QStringLiteral("Все сечение (зеркально в r < 0)"), this)) {
  setWindowTitle(QStringLiteral("Картина поля"));
  setObjectName(QStringLiteral("FieldPictureDialog"));
  quantity_->addItem(QStringLiteral("|E|, кВ/см"));
  quantity_->addItem(QStringLiteral("φ, кВ"));
  step_->setRange(0.0, 1.0e6);
  step_->setDecimals(3);
  step_->setSpecialValueText(QStringLiteral("авто"));
  step_->setSuffix(QStringLiteral(" кВ"));
  count_->setRange(1, 200);
  // The logarithmic scale is for |E| only.
  connect(quantity_, &QComboBox::currentIndexChanged, this, [this](int index) { log_->setEnabled(index == 0); });

  auto* form = new QFormLayout;
  form->addRow(map_);
  form->addRow(QStringLiteral("Величина:"), quantity_);
  form->addRow(log_);
  form->addRow(equipotentials_);
  form->addRow(QStringLiteral("Шаг потенциала, кВ:"), step_);
  form->addRow(lines_);
  form->addRow(QStringLiteral("Линий на электрод:"), count_);
  form->addRow(mirror_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(OkCancelButtons(this));
  SetOptions({});
}

void FieldPictureDialog::SetOptions(const FieldPictureOptions& o) {
  map_->setChecked(o.showMap);
  quantity_->setCurrentIndex(o.quantity == FieldPictureOptions::Quantity::kField ? 0 : 1);
  log_->setChecked(o.logScale);
  log_->setEnabled(o.quantity == FieldPictureOptions::Quantity::kField);
  equipotentials_->setChecked(o.showEquipotentials);
  step_->setValue(o.equipotentialStep);
  lines_->setChecked(o.showFieldLines);
  count_->setValue(o.linesPerElectrode);
  mirror_->setChecked(o.mirror);
}

FieldPictureOptions FieldPictureDialog::Options() const {
  FieldPictureOptions o;
  o.showMap = map_->isChecked();
  o.quantity = quantity_->currentIndex() == 0 ? FieldPictureOptions::Quantity::kField
                                              : FieldPictureOptions::Quantity::kPotential;
  o.logScale = log_->isChecked();
  o.showEquipotentials = equipotentials_->isChecked();
  o.equipotentialStep = step_->value();
  o.showFieldLines = lines_->isChecked();
  o.linesPerElectrode = count_->value();
  o.mirror = mirror_->isChecked();
  return o;
}
