#pragma once
// Page "Параметры расчета": external field (-1000..1000 kV/cm), the earth
// the closure test, and two additions: the precise ring formula and the
// capacitance matrix.

#include "dialogs/COptionPage.h"
#include "engine/CalcParameters.h"

class InceptionSection;
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
  InceptionParameters Inception;

  void LoadControls() override;
  bool TakeBack() override;

  QLineEdit* ExternalFieldEdit() const { return fieldEdit_; }
  QCheckBox* UseEarthBox() const { return earthBox_; }
  QCheckBox* TestClosureBox() const { return closureBox_; }
  QCheckBox* PreciseBox() const { return preciseBox_; }
  QCheckBox* CapacitanceBox() const { return capacitanceBox_; }
  InceptionSection* InceptionBox() const { return inception_; }

 private:
  QLineEdit* fieldEdit_;
  QCheckBox* earthBox_;
  QCheckBox* closureBox_;
  QCheckBox* preciseBox_;
  QCheckBox* capacitanceBox_;
  InceptionSection* inception_;
};
