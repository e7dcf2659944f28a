// The view commands: zoom, creating a generatrix, what the view shows and
// its export.
#include <QFileDialog>
#include <QMessageBox>

#include "app/CMainFrame.h"
#include "app/FrameCommands.h"
#include "dialogs/FieldPictureDialog.h"
#include "document/CKalvorDoc.h"
#include "views/CKalvorView.h"
#include "views/FieldPicture.h"
#include "views/ViewExport.h"

void CMainFrame::OnZoomIn() { view_->ZoomIn(); }
void CMainFrame::OnZoomOut() { view_->ZoomOut(); }
void CMainFrame::OnZoomFit() { view_->ZoomToFit(); }
void CMainFrame::OnCreateArc() { view_->CreateArcGeneratrix(); }
void CMainFrame::OnCreateLine() { view_->CreateLineGeneratrix(); }

void CMainFrame::OnToggleGapCurves() {
  if (doc_.CanShowGapCurves()) doc_.ToggleGapCurves();
  UpdateCommandUI();
}

void CMainFrame::OnToggleCharges() {
  if (doc_.CanShowCharges()) doc_.ToggleCharges();
  UpdateCommandUI();
}

void CMainFrame::OnToggleFieldPicture() {
  FieldPictureOptions o = view_->Picture().Options();
  o.showMap = Action(ID_FIELD_MAP)->isChecked();
  o.showEquipotentials = Action(ID_EQUIPOTENTIALS)->isChecked();
  o.showFieldLines = Action(ID_FIELD_LINES)->isChecked();
  o.mirror = Action(ID_FULL_SECTION)->isChecked();
  SetPictureOptions(o);
}

void CMainFrame::OnFieldPicture() {
  FieldPictureDialog dlg(this);
  dlg.SetOptions(view_->Picture().Options());
  if (dlg.exec() == QDialog::Accepted) SetPictureOptions(dlg.Options());
  UpdateCommandUI();
}

// The user's choice: applied, and kept for the next runs and sessions.
void CMainFrame::SetPictureOptions(const FieldPictureOptions& o) {
  const bool refit = o.mirror != view_->Picture().Options().mirror;
  view_->Picture().SetOptions(o);
  StoreFieldPictureOptions(o);
  if (refit) view_->ZoomToFit();
  UpdateCommandUI();
}

void CMainFrame::OnExportView() {
  const QString path = QFileDialog::getSaveFileName(this, FindCommand(ID_EXPORT_VIEW)->text.chopped(3),
                                                    QString(), QStringLiteral("PNG (*.png);;SVG (*.svg)"));
  if (path.isEmpty()) return;
  const QString error = ExportView(*view_, path);
  if (!error.isEmpty()) QMessageBox::warning(this, kWindowTitle, error);
}
