#include "dialogs/FieldPictureDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QSpinBox>
#include <QVBoxLayout>

#include "dialogs/OkCancelButtons.h"

FieldPictureDialog::FieldPictureDialog(QWidget* parent)
    : QDialog(parent),
      map_(new QCheckBox(QStringLiteral("Цветовая карта"), this)),
      quantity_(new QComboBox(this)),
      equipotentials_(new QCheckBox(QStringLiteral("Эквипотенциали"), this)),
      step_(new QDoubleSpinBox(this)),
      lines_(new QCheckBox(QStringLiteral("Силовые линии"), this)),
      count_(new QSpinBox(this)) {
  setWindowTitle(QStringLiteral("Картина поля"));
  quantity_->addItem(QStringLiteral("|E|, кВ/см"));
  quantity_->addItem(QStringLiteral("φ, кВ"));
  step_->setRange(0.0, 1.0e6);
  step_->setDecimals(3);
  step_->setSpecialValueText(QStringLiteral("авто"));
  step_->setSuffix(QStringLiteral(" кВ"));
  count_->setRange(1, 200);

  auto* form = new QFormLayout;
  form->addRow(map_);
  form->addRow(QStringLiteral("Величина:"), quantity_);
  form->addRow(equipotentials_);
  form->addRow(QStringLiteral("Шаг потенциала:"), step_);
  form->addRow(lines_);
  form->addRow(QStringLiteral("Линий на электрод:"), count_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(OkCancelButtons(this));
  SetOptions({});
}

void FieldPictureDialog::SetOptions(const FieldPictureOptions& o) {
  map_->setChecked(o.showMap);
  quantity_->setCurrentIndex(o.quantity == FieldPictureOptions::Quantity::kField ? 0 : 1);
  equipotentials_->setChecked(o.showEquipotentials);
  step_->setValue(o.equipotentialStep);
  lines_->setChecked(o.showFieldLines);
  count_->setValue(o.linesPerElectrode);
}

FieldPictureOptions FieldPictureDialog::Options() const {
  FieldPictureOptions o;
  o.showMap = map_->isChecked();
  o.quantity = quantity_->currentIndex() == 0 ? FieldPictureOptions::Quantity::kField
                                              : FieldPictureOptions::Quantity::kPotential;
  o.showEquipotentials = equipotentials_->isChecked();
  o.equipotentialStep = step_->value();
  o.showFieldLines = lines_->isChecked();
  o.linesPerElectrode = count_->value();
  return o;
}
