#pragma once
// "Параметры расчета": the eleven calculation parameters on three tabs.
//
// Opener's use (the frame):
//   COptionDialog dlg(parent);
//   dlg.SetParameters(doc.Parameters());
//   if (dlg.exec() == QDialog::Accepted) doc.SetParameters(dlg.Parameters());
// The members are handed to the pages when the dialog is shown and collected
// from them only on OK; Cancel leaves them as the opener set them. A page is
// checked when the user leaves its tab and, for the shown page, on OK; an
// invalid value keeps the tab (or the dialog) open with the focus on it.

#include <QDialog>
#include <QString>

#include "engine/CalcParameters.h"

class QTabWidget;
class CCalcParam;
class CSaveCtrlData;
class CFinalResult;

class COptionDialog : public QDialog {
  Q_OBJECT
 public:
  enum Tab { kCalcTab = 0, kControlTab = 1, kResultsTab = 2 };

  explicit COptionDialog(QWidget* parent = nullptr);

  // The parameters in and out as one value; the dialog's members below hold
  // them meanwhile, two of them inverted as the pages show them.
  void SetParameters(const CalcParameters& p);
  CalcParameters Parameters() const;

  // CCalcParam
  double ExternalField = 0.0;  // kV/cm, -1000..1000
  bool UseEarth = false;
  bool TestClosure = false;
  bool Precise = false;
  bool Capacitance = true;
  // CSaveCtrlData
  bool SkipControlCalc = false;
  bool DumpMatrix = false;
  bool DumpInverseMatrix = false;
  bool ControlPotentials = false;
  QString ControlFilePath;
  // CFinalResult
  bool SkipFinalResults = false;
  int PointsBetweenCPs = 0;  // 0..100
  QString ResultsFolder;

  CCalcParam* CalcPage() const { return calcPage_; }
  CSaveCtrlData* ControlPage() const { return controlPage_; }
  CFinalResult* ResultsPage() const { return resultsPage_; }
  QTabWidget* Tabs() const { return tabs_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void accept() override;

 private:
  void HandToPages();
  void CollectFromPages();
  bool PageTakesBack(int tab);
  void OnTabChanged(int tab);

  QTabWidget* tabs_;
  CCalcParam* calcPage_;
  CSaveCtrlData* controlPage_;
  CFinalResult* resultsPage_;
  CalcParameters given_;  // what the pages do not show travels through
  int shownTab_ = kCalcTab;
  bool reverting_ = false;
};
