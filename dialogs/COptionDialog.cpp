#include "dialogs/COptionDialog.h"

#include <QDialogButtonBox>
#include <QShowEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "dialogs/CCalcParam.h"
#include "dialogs/CFinalResult.h"
#include "dialogs/CSaveCtrlData.h"
#include "dialogs/OkCancelButtons.h"

COptionDialog::COptionDialog(QWidget* parent)
    : QDialog(parent),
      tabs_(new QTabWidget),
      calcPage_(new CCalcParam),
      controlPage_(new CSaveCtrlData),
      resultsPage_(new CFinalResult) {
  setWindowTitle(QStringLiteral("Параметры расчета"));
  tabs_->setUsesScrollButtons(false);  // all three tabs always visible
  tabs_->addTab(calcPage_, QStringLiteral("Параметры расчета"));
  tabs_->addTab(controlPage_, QStringLiteral("Файл контр. расчета"));
  tabs_->addTab(resultsPage_, QStringLiteral("Файлы осн. расчета"));
  connect(tabs_, &QTabWidget::currentChanged, this, &COptionDialog::OnTabChanged);

  auto* buttons = OkCancelButtons(this);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_);
  layout->addWidget(buttons);
}

void COptionDialog::SetParameters(const CalcParameters& p) {
  given_ = p;
  ExternalField = p.ExternalField;
  UseEarth = p.UseEarth;
  TestClosure = p.TestClosure;
  Precise = p.Precise;
  Capacitance = p.Capacitance;
  SkipControlCalc = !p.ControlCalc;
  DumpMatrix = p.DumpMatrix;
  DumpInverseMatrix = p.DumpInverseMatrix;
  ControlPotentials = p.ControlPotentials;
  ControlFilePath = QString::fromStdString(p.ControlFilePath);
  SkipFinalResults = !p.SurfaceResults;
  PointsBetweenCPs = p.PointsBetweenCPs;
  ResultsFolder = QString::fromStdString(p.ResultsFolder);
}

CalcParameters COptionDialog::Parameters() const {
  CalcParameters p = given_;
  p.ExternalField = ExternalField;
  p.UseEarth = UseEarth;
  p.TestClosure = TestClosure;
  p.Precise = Precise;
  p.Capacitance = Capacitance;
  p.ControlCalc = !SkipControlCalc;
  p.DumpMatrix = DumpMatrix;
  p.DumpInverseMatrix = DumpInverseMatrix;
  p.ControlPotentials = ControlPotentials;
  p.ControlFilePath = ControlFilePath.toStdString();
  p.SurfaceResults = !SkipFinalResults;
  p.PointsBetweenCPs = PointsBetweenCPs;
  p.ResultsFolder = ResultsFolder.toStdString();
  return p;
}

void COptionDialog::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) {
    HandToPages();
    const QSignalBlocker block(tabs_);
    tabs_->setCurrentIndex(kCalcTab);
    shownTab_ = kCalcTab;
  }
  QDialog::showEvent(event);
}

void COptionDialog::HandToPages() {
  calcPage_->ExternalField = ExternalField;
  calcPage_->UseEarth = UseEarth;
  calcPage_->TestClosure = TestClosure;
  calcPage_->Precise = Precise;
  calcPage_->Capacitance = Capacitance;
  calcPage_->Inception = given_.Inception;
  controlPage_->SkipControlCalc = SkipControlCalc;
  controlPage_->DumpMatrix = DumpMatrix;
  controlPage_->DumpInverseMatrix = DumpInverseMatrix;
  controlPage_->ControlPotentials = ControlPotentials;
  controlPage_->ControlFilePath = ControlFilePath;
  resultsPage_->SkipFinalResults = SkipFinalResults;
  resultsPage_->PointsBetweenCPs = PointsBetweenCPs;
  resultsPage_->ResultsFolder = ResultsFolder;
  for (COptionPage* page : {static_cast<COptionPage*>(controlPage_), static_cast<COptionPage*>(resultsPage_),
                            static_cast<COptionPage*>(calcPage_)})
    page->LoadControls();
}

void COptionDialog::CollectFromPages() {
  ExternalField = calcPage_->ExternalField;
  UseEarth = calcPage_->UseEarth;
  TestClosure = calcPage_->TestClosure;
  Precise = calcPage_->Precise;
  Capacitance = calcPage_->Capacitance;
  given_.Inception = calcPage_->Inception;
  SkipControlCalc = controlPage_->SkipControlCalc;
  DumpMatrix = controlPage_->DumpMatrix;
  DumpInverseMatrix = controlPage_->DumpInverseMatrix;
  ControlPotentials = controlPage_->ControlPotentials;
  ControlFilePath = controlPage_->ControlFilePath;
  SkipFinalResults = resultsPage_->SkipFinalResults;
  PointsBetweenCPs = resultsPage_->PointsBetweenCPs;
  ResultsFolder = resultsPage_->ResultsFolder;
}

bool COptionDialog::PageTakesBack(int tab) {
  auto* page = qobject_cast<COptionPage*>(tabs_->widget(tab));
  return !page || page->TakeBack();
}

// QTabWidget has no way to refuse a change before it happens, so a refused
// change is undone at once, before anything repaints, and then reported.
void COptionDialog::OnTabChanged(int tab) {
  if (reverting_ || tab == shownTab_) return;
  auto* page = qobject_cast<COptionPage*>(tabs_->widget(shownTab_));
  if (page) {
    reverting_ = true;
    tabs_->setCurrentIndex(shownTab_);
    reverting_ = false;
    if (!page->TakeBack()) return;
    reverting_ = true;
    tabs_->setCurrentIndex(tab);
    reverting_ = false;
  }
  shownTab_ = tab;
}

void COptionDialog::accept() {
  if (!PageTakesBack(tabs_->currentIndex())) return;
  CollectFromPages();
  QDialog::accept();
}
