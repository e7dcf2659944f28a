#include "dialogs/CGeneratrixDialog.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "dialogs/FieldEdits.h"
#include "dialogs/NumberFields.h"
#include "dialogs/OkCancelButtons.h"

CGeneratrixDialog::CGeneratrixDialog(QWidget* parent)
    : QDialog(parent),
      epsInnerEdit_(NewFieldEdit("epsInner")),
      epsOuterEdit_(NewFieldEdit("epsOuter")),
      innerRegionEdit_(NewFieldEdit("innerRegion")),
      outerRegionEdit_(NewFieldEdit("outerRegion")),
      ratioLdEdit_(NewFieldEdit("ratioLd")),
      pointCountEdit_(NewFieldEdit("pointCount")),
      fixedValueEdit_(NewFieldEdit("fixedValue")),
      rangeFromEdit_(NewFieldEdit("rangeFrom")),
      rangeToEdit_(NewFieldEdit("rangeTo")),
      materialList_(new QComboBox),
      potentialGroup_(new QButtonGroup(this)) {
  setWindowTitle(QStringLiteral("Новая образующая поверхности"));
  materialList_->setObjectName("material");
  // Sorted, so that the index is the material code.
  materialList_->addItems({QStringLiteral("Диэлектрик"), QStringLiteral("Проводник")});
  materialList_->setCurrentIndex(-1);
  connect(materialList_, &QComboBox::currentIndexChanged, this, &CGeneratrixDialog::OnMaterialChosen);

  const char* names[3] = {"Неизвестный", "Переменный", "Фиксированный"};
  for (int i = 0; i < 3; ++i) {
    radios_[i] = new QRadioButton(QString::fromUtf8(names[i]));
    radios_[i]->setObjectName(QStringLiteral("potential%1").arg(i));
    potentialGroup_->addButton(radios_[i], i);
    connect(radios_[i], &QRadioButton::clicked, this, [this, i] { OnPotentialChosen(i); });
  }
}

CGeneratrixDialog::~CGeneratrixDialog() = default;

void CGeneratrixDialog::BuildLayout(QGroupBox* geometry, bool labelMaterial) {
  auto* potential = new QGroupBox(QStringLiteral("Потенциал"));
  auto* pg = new QGridLayout(potential);
  pg->addWidget(new QLabel(QStringLiteral("Значение, [кВ]")), 0, 1, 1, 4, Qt::AlignLeft);
  pg->addWidget(radios_[kFloating], 1, 0);
  pg->addWidget(radios_[kVariable], 2, 0);
  pg->addWidget(new QLabel(QStringLiteral("от")), 2, 1, Qt::AlignRight);
  pg->addWidget(rangeFromEdit_, 2, 2);
  pg->addWidget(new QLabel(QStringLiteral("до")), 2, 3, Qt::AlignRight);
  pg->addWidget(rangeToEdit_, 2, 4);
  pg->addWidget(radios_[kFixed], 3, 0);
  pg->addWidget(fixedValueEdit_, 3, 2);
  pg->setColumnStretch(2, 1);
  pg->setColumnStretch(4, 1);

  // One grid, so that every label and every edit lines up.
  auto* outer = new QGroupBox(QStringLiteral("Параметры образующей поверхности"));
  auto* g = new QGridLayout(outer);
  int row = 0;
  auto addRow = [&](const QString& label, QWidget* field) {
    if (!label.isEmpty()) g->addWidget(new QLabel(label), row, 0);
    g->addWidget(field, row, 1);
    ++row;
  };
  addRow(labelMaterial ? QStringLiteral("Материал образующей") : QString(), materialList_);
  addRow(QStringLiteral("Индентификатор внутренней области"), WithUpDown(innerRegionEdit_));
  addRow(QStringLiteral("Индентификатор внешней области"), WithUpDown(outerRegionEdit_));
  addRow(QStringLiteral("Диэлектрическая проницаемость внутренней области"), epsInnerEdit_);
  addRow(QStringLiteral("Диэлектрическая проницаемость внешней области"), epsOuterEdit_);
  g->addWidget(potential, row++, 0, 1, 2);
  g->addWidget(geometry, row++, 0, 1, 2);
  addRow(QStringLiteral("Количество расчетных точек"), WithUpDown(pointCountEdit_));
  addRow(QStringLiteral("Отношение L/d"), ratioLdEdit_);
  g->setColumnStretch(1, 1);

  auto* buttons = OkCancelButtons(this);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(outer);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QRadioButton* CGeneratrixDialog::PotentialButton(int choice) const {
  return choice >= 0 && choice < 3 ? radios_[choice] : nullptr;
}

QLineEdit* CGeneratrixDialog::EditFor(const char* fieldName) const {
  return findChild<QLineEdit*>(QString::fromLatin1(fieldName));
}

NumberFields& CGeneratrixDialog::Fields() {
  if (!fields_) {
    fields_ = std::make_unique<NumberFields>();
    RegisterFields(*fields_);
  }
  return *fields_;
}

void CGeneratrixDialog::showEvent(QShowEvent* event) {
  // Every opening (not a restore after minimising) puts the fields in.
  if (!event->spontaneous()) LoadControls();
  QDialog::showEvent(event);
}

void CGeneratrixDialog::LoadControls() {
  Fields().Load();
  {
    const QSignalBlocker block(materialList_);
    materialList_->setCurrentIndex(material == kDielectric || material == kConductor ? material : -1);
  }
  UncheckRadios();
  if (PotentialButton(potentialChoice)) radios_[potentialChoice]->setChecked(true);
  ApplyOpeningEnabling();
}

void CGeneratrixDialog::ApplyOpeningEnabling() {
  const int index = materialList_->currentIndex();
  if (index == kConductor) {
    SetRadiosEnabled(true);
    epsInnerEdit_->setText(QStringLiteral("1"));
    epsInnerEdit_->setEnabled(false);
    if (potentialChoice >= kFloating && potentialChoice <= kFixed) EnableValueEdits(potentialChoice);
  } else if (index == kDielectric) {
    ApplyDielectricRule();
  } else {
    SetRadiosEnabled(true);
    UncheckRadios();
    for (QLineEdit* e : {fixedValueEdit_, rangeFromEdit_, rangeToEdit_, epsInnerEdit_}) e->setEnabled(true);
  }
}

void CGeneratrixDialog::OnMaterialChosen(int index) {
  if (index == kConductor) {
    SetRadiosEnabled(true);
    UncheckRadios();
    radios_[kFloating]->setChecked(true);
    EnableValueEdits(kFloating);
    epsInnerEdit_->setEnabled(false);
  } else if (index == kDielectric) {
    ApplyDielectricRule();
  }
}

// A dielectric has no potential to choose and its own permittivity.
void CGeneratrixDialog::ApplyDielectricRule() {
  SetRadiosEnabled(false);
  UncheckRadios();
  EnableValueEdits(kFloating);
  epsInnerEdit_->setEnabled(true);
}

void CGeneratrixDialog::OnPotentialChosen(int choice) { EnableValueEdits(choice); }

// Only the value edits that belong to the choice are enabled.
void CGeneratrixDialog::EnableValueEdits(int choice) {
  fixedValueEdit_->setEnabled(choice == kFixed);
  rangeFromEdit_->setEnabled(choice == kVariable);
  rangeToEdit_->setEnabled(choice == kVariable);
}

void CGeneratrixDialog::SetRadiosEnabled(bool on) {
  for (QRadioButton* r : radios_) r->setEnabled(on);
}

void CGeneratrixDialog::UncheckRadios() {
  potentialGroup_->setExclusive(false);
  for (QRadioButton* r : radios_) r->setChecked(false);
  potentialGroup_->setExclusive(true);
}

void CGeneratrixDialog::accept() {
  if (!Fields().Take(this)) return;
  material = materialList_->currentIndex();
  potentialChoice = potentialGroup_->checkedId();
  if (material != kDielectric)
    epsInner = 0.0;
  else
    fixedValue = 0.0;
  QDialog::accept();
}

void CGeneratrixDialog::FillCommonFrom(const SurfData& e) {
  material = e.material == 0 ? kDielectric : kConductor;
  innerRegion = e.innerRegion;
  outerRegion = e.outerRegion;
  epsInner = e.epsInner;
  epsOuter = e.epsOuter;
  ratioLd = e.ratioLd;
  pointCount = e.pointCount;
  potentialChoice = potential_choice::Read(e, fixedValue, rangeFrom, rangeTo);
}

SurfParams CGeneratrixDialog::NewParams() const {
  SurfParams p;
  p.material = material == kDielectric ? 0 : 1;
  p.innerRegion = innerRegion;
  p.outerRegion = outerRegion;
  p.epsInner = epsInner;
  p.epsOuter = epsOuter;
  p.fixedPotential = fixedValue;
  p.isFloating = true;
  p.pointCount = pointCount;
  p.ratioLd = ratioLd;
  return p;
}

SurfParams CGeneratrixDialog::EditParams() const {
  SurfParams p = NewParams();
  p.fixedPotential = 0.0;
  return p;
}

void CGeneratrixDialog::ApplyPotential(SurfData& e) const {
  potential_choice::Apply(potentialChoice, fixedValue, rangeFrom, rangeTo, e);
}
