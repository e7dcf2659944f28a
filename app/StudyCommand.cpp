#include "app/StudyCommand.h"

#include "app/CMainFrame.h"
#include "dialogs/CStudyDialog.h"
#include "document/CKalvorDoc.h"

void RunStudyCommand(CMainFrame& frame, CKalvorDoc& doc) {
  if (!doc.CanCalculate()) return;
  CStudyDialog dlg(doc.Generatrices().Clone(), doc.Parameters(), &frame);
  if (dlg.exec() != QDialog::Accepted || dlg.SavedSystemPath().isEmpty()) return;
  if (!frame.MaybeSave() || !frame.OpenFile(dlg.SavedSystemPath())) return;
  CalcParameters p = doc.Parameters();
  const CalcParameters& row = dlg.SavedSystemParameters();
  p.ExternalField = row.ExternalField;
  p.UseEarth = row.UseEarth;
  p.Precise = row.Precise;
  doc.SetParameters(p);
}
