#pragma once
// Page "Файлы осн. расчета": whether to write the surface results, the
// number of points between contour points (0..100) and the results folder.
// "Не производить расчет" disables the other controls. ">>" preselects the
// stored folder (not text typed since) and writes the choice into the edit.

#include <QString>
#include <functional>

#include "dialogs/COptionPage.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class UpDownControl;

class CFinalResult : public COptionPage {
  Q_OBJECT
 public:
  explicit CFinalResult(QWidget* parent = nullptr);

  bool SkipFinalResults = false;
  int PointsBetweenCPs = 0;
  QString ResultsFolder;

  void LoadControls() override;
  bool TakeBack() override;

  // Shows the folder picker (CDirDialog by default); empty when cancelled.
  std::function<QString(const QString& title, const QString& preselected)> pickFolder;

  QCheckBox* SkipBox() const { return skipBox_; }
  QLineEdit* PointsEdit() const { return pointsEdit_; }
  UpDownControl* PointsUpDown() const { return pointsUpDown_; }
  QLineEdit* FolderEdit() const { return folderEdit_; }
  QPushButton* BrowseButton() const { return browse_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void EnableByStoredFlag();
  void Browse();

  QCheckBox* skipBox_;
  QLineEdit* pointsEdit_;
  UpDownControl* pointsUpDown_;
  QLineEdit* folderEdit_;
  QPushButton* browse_;
};
