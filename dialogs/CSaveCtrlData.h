#pragma once
// Page "Файл контр. расчета": what the control file holds and where it goes.
// ">>" picks the file (it need not exist) and stores the path at once.

#include <QString>
#include <functional>

#include "dialogs/COptionPage.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

class CSaveCtrlData : public COptionPage {
  Q_OBJECT
 public:
  explicit CSaveCtrlData(QWidget* parent = nullptr);

  bool SkipControlCalc = false;
  bool DumpMatrix = false;
  bool DumpInverseMatrix = false;
  bool ControlPotentials = false;
  QString ControlFilePath;

  void LoadControls() override;
  bool TakeBack() override;

  // Shows the file picker with `initial` as the proposed name and returns
  // the chosen path, empty when cancelled. Replaceable for tests.
  std::function<QString(QWidget* parent, const QString& initial)> pickFile;

  QCheckBox* SkipBox() const { return skipBox_; }
  QCheckBox* MatrixBox() const { return matrixBox_; }
  QCheckBox* InverseBox() const { return inverseBox_; }
  QCheckBox* PotentialsBox() const { return potentialsBox_; }
  QLineEdit* PathEdit() const { return pathEdit_; }
  QPushButton* BrowseButton() const { return browse_; }

 private:
  void Browse();

  QCheckBox* skipBox_;
  QCheckBox* matrixBox_;
  QCheckBox* inverseBox_;
  QCheckBox* potentialsBox_;
  QLineEdit* pathEdit_;
  QPushButton* browse_;
};
