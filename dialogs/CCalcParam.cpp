#include "dialogs/CCalcParam.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "dialogs/InceptionSection.h"
#include "dialogs/NumberFields.h"

namespace {
const QString kFieldLabel = QStringLiteral("Напряженность внешнего поля");
}

CCalcParam::CCalcParam(QWidget* parent)
    : COptionPage(parent),
      fieldEdit_(new QLineEdit),
      earthBox_(new QCheckBox(QStringLiteral("Произвести расчет с учетом земли"))),
      closureBox_(new QCheckBox(QStringLiteral("Тест замкнутости поверхностей"))),
      preciseBox_(new QCheckBox(QStringLiteral("Точный расчет (эллиптические интегралы без приближения)"))),
      capacitanceBox_(new QCheckBox(QStringLiteral("Расчет матрицы емкостей"))),
      inception_(new InceptionSection) {
  fieldEdit_->setObjectName("ExternalField");
  earthBox_->setObjectName("UseEarth");
  closureBox_->setObjectName("TestClosure");
  preciseBox_->setObjectName("Precise");
  capacitanceBox_->setObjectName("Capacitance");
  auto* box = new QGroupBox(QStringLiteral("Дополнительные параметры расчета"));
  auto* form = new QFormLayout(box);
  form->addRow(kFieldLabel, fieldEdit_);
  form->addRow(earthBox_);
  form->addRow(closureBox_);
  form->addRow(preciseBox_);
  form->addRow(capacitanceBox_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(box);
  layout->addWidget(inception_);
  layout->addStretch(1);
}

void CCalcParam::LoadControls() {
  fieldEdit_->setText(NumberFields::FormatReal(ExternalField));
  earthBox_->setChecked(UseEarth);
  closureBox_->setChecked(TestClosure);
  preciseBox_->setChecked(Precise);
  capacitanceBox_->setChecked(Capacitance);
  inception_->Load(Inception);
}

bool CCalcParam::TakeBack() {
  NumberFields fields;
  fields.AddReal(fieldEdit_, &ExternalField, -1000, 1000, kFieldLabel);
  if (!fields.Take(this) || !inception_->TakeBack(Inception)) return false;
  UseEarth = earthBox_->isChecked();
  TestClosure = closureBox_->isChecked();
  Precise = preciseBox_->isChecked();
  Capacitance = capacitanceBox_->isChecked();
  return true;
}
