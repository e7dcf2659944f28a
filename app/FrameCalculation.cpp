// The calculation commands: parameters, gap curves and the two runs.
#include <QMessageBox>

#include "app/CMainFrame.h"
#include "dialogs/CCalcInfo.h"
#include "dialogs/COptionDialog.h"
#include "dialogs/CPointsDialog.h"
#include "dialogs/CProgressDialog.h"
#include "document/CKalvorDoc.h"
#include "engine/SystemWarnings.h"
#include "views/FieldPlot.h"
#include "views/ResultsPane.h"

void CMainFrame::OnCalcParameters() {
  COptionDialog dlg(this);
  dlg.SetParameters(doc_.Parameters());
  if (dlg.exec() == QDialog::Accepted) doc_.SetParameters(dlg.Parameters());
}

void CMainFrame::OnGapCurves() {
  CPointsDialog dlg(doc_.GapCurves(), this);
  dlg.exec();
  // The dialog's changes count whichever button closed it.
  doc_.SetGapCurves(dlg.TakeCurves());
}

void CMainFrame::OnCalculate() {
  if (!doc_.CanCalculate()) return;
  const std::vector<std::string> warnings = SystemWarnings(doc_.Generatrices());
  if (!warnings.empty()) {
    QStringList lines;
    for (const std::string& w : warnings) lines << QString::fromStdString(w);
    const auto answer = QMessageBox::warning(
        this, kWindowTitle,
        QStringLiteral("Расчет такой системы не имеет смысла:\n\n%1\n\nВсе равно произвести расчет?")
            .arg(lines.join('\n')),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
  }
  CCalcInfo info(this);
  info.text = QString::fromStdString(ParameterSummary(doc_.Parameters()));
  if (info.exec() != QDialog::Accepted) return;
  CProgressDialog progress;
  if (!progress.CreateModeless(this)) return;
  progress.SetStep(1);
  doc_.Calculate(progress);
  progress.Close();
}

void CMainFrame::OnGapCalculate() {
  if (!doc_.CanGapCalculate()) return;
  int code = 0;
  {
    CProgressDialog progress;
    if (!progress.CreateModeless(this)) return;
    progress.SetStep(1);
    code = doc_.GapCalculate(progress);
    progress.Close();
  }
  // A failed gap calculation is said so; files written before it remain.
  if (code > 0) {
    const FieldCalc& calc = doc_.Calc();
    const QString text = QString::fromStdString(calc.ErrorCode() == code ? calc.FullErrorText()
                                                                          : FieldCalc::MessageFor(code));
    QMessageBox::critical(this, QStringLiteral("Error"), text);
  } else if (code == 0) {
    results_->ShowGapFiles();
    OpenGapCurvePlots(doc_, this);
  }
}
