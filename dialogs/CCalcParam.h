#pragma once
// Page "Параметры расчета": external field (-1000..1000 kV/cm), the earth
// the closure test, and two additions: the precise ring formula and the
// capacitance matrix.

#include "dialogs/COptionPage.h"

class QCheckBox;
class QLineEdit;

class CCalcParam : public COptionPage {
  Q_OBJECT
 public:
  explicit CCalcParam(QWidget* parent = nullptr);

  double ExternalField = 0.0;
  bool UseEarth = false;
  bool TestClosure = false;
  bool Precise = false;
  bool Capacitance = true;

  void LoadControls() override;
  bool TakeBack() override;

  QLineEdit* ExternalFieldEdit() const { return fieldEdit_; }
  QCheckBox* UseEarthBox() const { return earthBox_; }
  QCheckBox* TestClosureBox() const { return closureBox_; }
  QCheckBox* PreciseBox() const { return preciseBox_; }
  QCheckBox* CapacitanceBox() const { return capacitanceBox_; }

 private:
  QLineEdit* fieldEdit_;
  QCheckBox* earthBox_;
  QCheckBox* closureBox_;
  QCheckBox* preciseBox_;
  QCheckBox* capacitanceBox_;
};
