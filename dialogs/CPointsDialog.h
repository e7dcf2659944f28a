#pragma once
// "Параметры расчетных кривых": gap curves listed, added, edited, deleted,
// saved to and loaded from a curve file. The dialog works on its own copy;
// every operation changes that copy at once and OK and Cancel only close, so
// the opener takes the copy back whichever button closed it:
//
//   CPointsDialog dlg(doc.GapCurves(), mainWindow);
//   dlg.exec();
//   doc.SetGapCurves(dlg.TakeCurves());
//
// Edit and Delete act on the selected index, the row last both selected and
// focused (0 at opening); it names the row shown selected, and when it names
// no curve any more both do nothing.

#include <QDialog>
#include <QString>

#include "model/CSurfColl.h"

class SurfData;
class QDialog;
class QPushButton;
class QTreeWidget;

class CPointsDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CPointsDialog(const CSurfColl& curves, QWidget* parent = nullptr);

  const CSurfColl& Curves() const { return curves_; }
  CSurfColl TakeCurves() { return std::move(curves_); }

  int SelectedIndex() const { return selected_; }
  const QString& LastFilePath() const { return lastPath_; }

  void Add();
  void Edit();
  void Delete();
  void Save();
  void Load();

  QTreeWidget* List() const { return list_; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* EditButton() const { return edit_; }
  QPushButton* DeleteButton() const { return delete_; }
  QPushButton* SaveButton() const { return save_; }
  QPushButton* LoadButton() const { return load_; }

  // Row texts of a curve, as the list shows them.
  static QString KindText(const SurfData& curve, int rowNumber);
  static QString ParameterText(const SurfData& curve);

 protected:
  // What the user is asked; tests replace these.
  // The kind chooser: 0 arc, 1 line, -1 cancelled.
  virtual int ChooseKind();
  // Runs a curve dialog modally; true on OK.
  virtual bool RunCurveDialog(QDialog& dialog);
  virtual bool ConfirmDelete();
  // The chosen file, empty when cancelled.
  virtual QString AskSavePath(const QString& initial);
  virtual QString AskOpenPath(const QString& initial);
  virtual void ShowProblem(const QString& text);

 private:
  void FillList();
  void AppendRow(const SurfData& curve);
  void UpdateRow(int index, const SurfData& curve);
  void FitColumns();
  void UpdateButtons();
  void ShowSelected();
  void OnCurrentChanged();

  CSurfColl curves_;
  int selected_ = 0;
  QString lastPath_;

  QTreeWidget* list_;
  QPushButton* add_;
  QPushButton* edit_;
  QPushButton* delete_;
  QPushButton* save_;
  QPushButton* load_;
};
