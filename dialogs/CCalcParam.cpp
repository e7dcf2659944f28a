#include "dialogs/CCalcParam.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "dialogs/NumberFields.h"

namespace {
const QString kFieldLabel = QStringLiteral("Напряженность внешнего поля");
}

CCalcParam::CCalcParam(QWidget* parent)
    : COptionPage(parent),
      fieldEdit_(new QLineEdit),
      earthBox_(new QCheckBox(QStringLiteral("Произвести расчет с учетом земли"))),
      closureBox_(new QCheckBox(QStringLiteral("Тест замкнутости поверхностей"))) {
  fieldEdit_->setObjectName("ExternalField");
  earthBox_->setObjectName("UseEarth");
  closureBox_->setObjectName("TestClosure");
  auto* box = new QGroupBox(QStringLiteral("Дополнительные параметры расчета"));
  auto* form = new QFormLayout(box);
  form->addRow(kFieldLabel, fieldEdit_);
  form->addRow(earthBox_);
  form->addRow(closureBox_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(box);
  layout->addStretch(1);
}

void CCalcParam::LoadControls() {
  fieldEdit_->setText(NumberFields::FormatReal(ExternalField));
  earthBox_->setChecked(UseEarth);
  closureBox_->setChecked(TestClosure);
}

bool CCalcParam::TakeBack() {
  NumberFields fields;
  fields.AddReal(fieldEdit_, &ExternalField, -1000, 1000, kFieldLabel);
  if (!fields.Take(this)) return false;
  UseEarth = earthBox_->isChecked();
  TestClosure = closureBox_->isChecked();
  return true;
}
