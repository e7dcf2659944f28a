#include "views/GeneratrixPane.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStringList>
#include <QVBoxLayout>

#include "document/CKalvorDoc.h"
#include "dialogs/UpDownControl.h"
#include "model/SurfData.h"
#include "views/LeftPaneHost.h"

namespace {

const QString kInnerRegion = QStringLiteral("Индентификатор внутренней области");
const QString kOuterRegion = QStringLiteral("Индентификатор внешней области");
const QString kEpsInner = QStringLiteral("Диэлектрическая проницаемость внутренней области");
const QString kEpsOuter = QStringLiteral("Диэлектрическая проницаемость внешней области");
const QString kPointCount = QStringLiteral("Количество расчетных точек");
const QString kRatioLd = QStringLiteral("Отношение L/d");

QLabel* Label(const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setWordWrap(true);
  return label;
}

QWidget* WithUpDown(QLineEdit* edit, QWidget* parent) {
  auto* box = new QWidget(parent);
  auto* row = new QHBoxLayout(box);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(0);
  NumberFields::SetDigitsOnly(edit);
  row->addWidget(edit);
  row->addWidget(new UpDownControl(edit, box));
  return box;
}

}  // namespace

GeneratrixPane::GeneratrixPane(CKalvorDoc& doc, LeftPaneHost* host, QWidget* parent)
    : QWidget(parent), doc_(doc), host_(host) {
  connect(&doc_, &CKalvorDoc::generatrixChanged, this, &GeneratrixPane::OnChanged);
  connect(&doc_, &CKalvorDoc::generatrixAdded, this, &GeneratrixPane::OnAdded);
  connect(&doc_, &CKalvorDoc::generatrixRemoved, this, &GeneratrixPane::OnRemoved);
}

void GeneratrixPane::OnChanged(int index) {
  if (index != index_ || index_ < 0) return;
  if (const SurfData* g = doc_.Generatrices().At(index)) FillFrom(index, *g);
}

void GeneratrixPane::OnAdded(int index) {
  if (index_ >= 0 && index <= index_) ++index_;
}

void GeneratrixPane::OnRemoved(int index) {
  if (index_ < 0 || index > index_) return;
  if (index < index_) {
    --index_;
    return;
  }
  // Its generatrix has gone (deleted, or its addition undone). Whoever
  // removed it brings back the tree; until then "Внести Изменения" refuses.
  index_ = -1;
}

QString GeneratrixPane::ControlState() const {
  QStringList parts;
  for (const QLineEdit* e : findChildren<QLineEdit*>()) parts << e->text();
  parts << QString::number(materialList_->currentIndex()) << QString::number(potentialGroup_->checkedId());
  return parts.join(QChar(0x1f));
}

bool GeneratrixPane::HasUnappliedChanges() const { return index_ >= 0 && ControlState() != loadedState_; }

QLineEdit* GeneratrixPane::NewEdit() {
  auto* edit = new QLineEdit(this);
  connect(edit, &QLineEdit::returnPressed, this, &GeneratrixPane::Apply);
  return edit;
}

QGroupBox* GeneratrixPane::NewCoordinateBox() {
  return new QGroupBox(QStringLiteral("Координаты начала и конца образующей [см]"), this);
}

QLineEdit* GeneratrixPane::CoordinateEdit(QGridLayout* grid, int row, int column, const QString& label) {
  grid->addWidget(new QLabel(label, this), row, column);
  QLineEdit* edit = NewEdit();
  grid->addWidget(edit, row + 1, column);
  return edit;
}

QRadioButton* GeneratrixPane::PotentialButton(int choice) const {
  return choice >= 0 && choice < 3 ? radios_[choice] : nullptr;
}

void GeneratrixPane::BuildForm(QGroupBox* coordinates) {
  epsInnerEdit_ = NewEdit();
  epsOuterEdit_ = NewEdit();
  fixedValueEdit_ = NewEdit();
  innerRegionEdit_ = NewEdit();
  outerRegionEdit_ = NewEdit();
  ratioLdEdit_ = NewEdit();
  pointCountEdit_ = NewEdit();
  rangeFromEdit_ = NewEdit();
  rangeToEdit_ = NewEdit();

  auto* layout = new QVBoxLayout(this);
  auto* top = new QGridLayout;
  top->setColumnStretch(0, 1);
  int row = 0;
  materialList_ = new QComboBox(this);
  // Sorted, so the list index is the material code.
  materialList_->addItems({QStringLiteral("Диэлектрик"), QStringLiteral("Проводник")});
  materialList_->setCurrentIndex(-1);
  top->addWidget(new QLabel(QStringLiteral("Материал"), this), row, 0);
  top->addWidget(materialList_, row++, 1);
  top->addWidget(Label(kInnerRegion, this), row, 0);
  top->addWidget(WithUpDown(innerRegionEdit_, this), row++, 1);
  top->addWidget(Label(kOuterRegion, this), row, 0);
  top->addWidget(WithUpDown(outerRegionEdit_, this), row++, 1);
  top->addWidget(Label(kEpsInner, this), row, 0);
  top->addWidget(epsInnerEdit_, row++, 1);
  top->addWidget(Label(kEpsOuter, this), row, 0);
  top->addWidget(epsOuterEdit_, row++, 1);
  layout->addLayout(top);

  auto* potential = new QGroupBox(QStringLiteral("Потенциал"), this);
  auto* pgrid = new QGridLayout(potential);
  pgrid->addWidget(new QLabel(QStringLiteral("Значение, [кВ]"), potential), 0, 1, 1, 4);
  potentialGroup_ = new QButtonGroup(this);
  const QString names[3] = {QStringLiteral("Неизвестный"), QStringLiteral("Переменный"),
                            QStringLiteral("Фиксированный")};
  for (int i = 0; i < 3; ++i) {
    radios_[i] = new QRadioButton(names[i], potential);
    potentialGroup_->addButton(radios_[i], i);
    pgrid->addWidget(radios_[i], i + 1, 0);
  }
  pgrid->addWidget(new QLabel(QStringLiteral("от"), potential), 2, 1);
  pgrid->addWidget(rangeFromEdit_, 2, 2);
  pgrid->addWidget(new QLabel(QStringLiteral("до"), potential), 2, 3);
  pgrid->addWidget(rangeToEdit_, 2, 4);
  pgrid->addWidget(fixedValueEdit_, 3, 2);
  layout->addWidget(potential);

  layout->addWidget(coordinates);

  auto* bottom = new QGridLayout;
  bottom->setColumnStretch(0, 1);
  bottom->addWidget(Label(kPointCount, this), 0, 0);
  bottom->addWidget(WithUpDown(pointCountEdit_, this), 0, 1);
  bottom->addWidget(new QLabel(kRatioLd, this), 1, 0);
  bottom->addWidget(ratioLdEdit_, 1, 1);
  layout->addLayout(bottom);

  applyButton_ = new QPushButton(QStringLiteral("Внести Изменения"), this);
  applyButton_->setDefault(true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(applyButton_);
  buttons->addStretch(1);
  layout->addLayout(buttons);
  layout->addStretch(1);

  connect(applyButton_, &QPushButton::clicked, this, &GeneratrixPane::Apply);
  connect(materialList_, &QComboBox::activated, this, &GeneratrixPane::OnMaterialChanged);
  connect(potentialGroup_, &QButtonGroup::idClicked, this, &GeneratrixPane::OnPotentialClicked);

  // The checking order of "Внести Изменения".
  fields_.AddReal(epsInnerEdit_, &epsInner, 0, 10000, kEpsInner);
  fields_.AddReal(epsOuterEdit_, &epsOuter, 0, 10000, kEpsOuter);
  fields_.AddReal(fixedValueEdit_, &fixedValue, QStringLiteral("Фиксированный"));
  fields_.AddInteger(innerRegionEdit_, &innerRegion, 1, 10000, kInnerRegion);
  fields_.AddInteger(outerRegionEdit_, &outerRegion, 1, 10000, kOuterRegion);
  fields_.AddReal(ratioLdEdit_, &ratioLd, 0.0001, 10000, kRatioLd);
  fields_.AddInteger(pointCountEdit_, &pointCount, 1, 10000, kPointCount);
  RegisterCoordinates(fields_);
  fields_.AddReal(rangeFromEdit_, &rangeFrom, QStringLiteral("от"));
  fields_.AddReal(rangeToEdit_, &rangeTo, QStringLiteral("до"));
  LoadControls();
}

void GeneratrixPane::FillCommon(int index, const SurfData& g) {
  index_ = index;
  epsInner = g.epsInner;
  epsOuter = g.epsOuter;
  innerRegion = g.innerRegion;
  outerRegion = g.outerRegion;
  ratioLd = g.ratioLd;
  potentialChoice = potential_choice::Read(g, fixedValue, rangeFrom, rangeTo);
  material = g.material == 0 ? kDielectric : kConductor;
  pointCount = g.pointCount;
}

void GeneratrixPane::LoadControls() {
  fields_.Load();
  materialList_->setCurrentIndex(material);
  CheckRadio(potentialChoice);
  ApplyEnabling();
  loadedState_ = ControlState();
}

bool GeneratrixPane::TakeControls() {
  if (!fields_.Take(this)) return false;
  material = materialList_->currentIndex();
  potentialChoice = potentialGroup_->checkedId();
  ApplyEnabling();
  return true;
}

void GeneratrixPane::ApplyEnabling() {
  if (material == kConductor) {
    ApplyConductorRule(potentialChoice);
  } else if (material == kDielectric) {
    ApplyDielectricRule();
    UncheckRadios();
  }
}

void GeneratrixPane::ApplyConductorRule(int choice) {
  if (choice >= kFloating && choice <= kFixed) {
    SetValueEditsFor(choice);
    CheckRadio(choice);
  }
  SetRadiosEnabled(true);
  epsInnerEdit_->setEnabled(false);
}

void GeneratrixPane::ApplyDielectricRule() {
  SetRadiosEnabled(false);
  SetValueEditsFor(kNoChoice);
  epsInnerEdit_->setEnabled(true);
}

void GeneratrixPane::OnMaterialChanged(int index) {
  if (index == kConductor) {
    ApplyConductorRule(potentialChoice);
  } else if (index == kDielectric) {
    ApplyDielectricRule();
  }
}

void GeneratrixPane::OnPotentialClicked(int choice) {
  potentialChoice = choice;
  SetRadiosEnabled(true);
  SetValueEditsFor(choice);
}

void GeneratrixPane::SetValueEditsFor(int choice) {
  fixedValueEdit_->setEnabled(choice == kFixed);
  rangeFromEdit_->setEnabled(choice == kVariable);
  rangeToEdit_->setEnabled(choice == kVariable);
}

void GeneratrixPane::SetRadiosEnabled(bool on) {
  for (QRadioButton* r : radios_) r->setEnabled(on);
}

void GeneratrixPane::UncheckRadios() {
  potentialGroup_->setExclusive(false);
  for (QRadioButton* r : radios_) r->setChecked(false);
  potentialGroup_->setExclusive(true);
}

void GeneratrixPane::CheckRadio(int choice) {
  if (choice >= kFloating && choice <= kFixed)
    radios_[choice]->setChecked(true);
  else
    UncheckRadios();
}

bool GeneratrixPane::Apply() {
  if (!TakeControls()) return false;
  SurfParams params;
  params.material = material == kDielectric ? 0 : 1;
  params.innerRegion = innerRegion;
  params.outerRegion = outerRegion;
  params.epsInner = epsInner;
  params.epsOuter = epsOuter;
  params.fixedPotential = 0.0;
  params.isFloating = true;
  params.pointCount = pointCount;
  params.ratioLd = ratioLd;
  // The generatrix may have been deleted since the pane was opened.
  const SurfData* current = doc_.Generatrices().At(index_);
  std::unique_ptr<SurfData> edited = current ? current->Clone() : nullptr;
  if (!edited || !WriteInto(*edited, params)) {
    QMessageBox::warning(window(), QStringLiteral("Программа Kalvor"),
                         QStringLiteral("Образующая, открытая в панели, уже удалена. Изменения не внесены."));
    index_ = -1;
    if (host_) host_->ReplaceLeftPane(LeftPaneKind::Tree);
    return false;
  }
  potential_choice::Apply(potentialChoice, fixedValue, rangeFrom, rangeTo, *edited);
  return doc_.ReplaceGeneratrix(index_, std::move(edited));
}
