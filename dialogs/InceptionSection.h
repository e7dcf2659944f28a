#pragma once
// The section "Возникновение разряда" of the parameters page: whether to
// screen the bodies for discharge inception after a run, the gas (air, SF6
// or a table file) and its pressure, temperature and critical avalanche
// number. Edits an InceptionParameters value; the user's own start points
// (a kalvor-calc option) pass through unchanged.

#include <QGroupBox>
#include <functional>

#include "engine/CalcParameters.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

class InceptionSection : public QGroupBox {
  Q_OBJECT
 public:
  explicit InceptionSection(QWidget* parent = nullptr);

  void Load(const InceptionParameters& p);
  // Controls into `p`; false, with the message shown and the focus on the
  // control, when a number is out of range or the table cannot be read.
  bool TakeBack(InceptionParameters& p);

  // Asks for a table file (the initial path given); empty when cancelled.
  // Tests replace it.
  std::function<QString(QWidget*, const QString&)> pickTable;

  QCheckBox* EnabledBox() const { return enabled_; }
  QComboBox* GasBox() const { return gas_; }
  QLineEdit* TableEdit() const { return table_; }
  QLineEdit* PressureEdit() const { return pressure_; }
  QLineEdit* TemperatureEdit() const { return temperature_; }
  QLineEdit* KEdit() const { return k_; }

 private:
  void UpdateEnabling();

  QCheckBox* enabled_;
  QComboBox* gas_;
  QLineEdit* table_;
  QPushButton* browse_;
  QLineEdit* pressure_;
  QLineEdit* temperature_;
  QLineEdit* k_;
};
