#pragma once
// What the line and arc generatrix dialogs share: the material list, the
// region identifiers, the permittivities, the potential box, the number of
// contour points and L/d, with their enabling rules. Each dialog adds its
// geometry and checks the fields in its own order with its own ranges.
//
// Opener's use:
//   CLineDialog dlg(parent);          // fields hold the initial values
//   dlg.FillFrom(line);               // only when editing
//   if (dlg.exec() == QDialog::Accepted) dlg.ApplyTo(line);   // edit
//   ... or: auto e = dlg.MakeElement();                        // create
// On OK the fields hold the accepted values; a conductor (or no material)
// leaves with epsInner 0.0, a dielectric with fixedValue 0.0.

#include <QDialog>
#include <memory>

#include "dialogs/PotentialChoice.h"
#include "model/SurfData.h"

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class NumberFields;
class UpDownControl;

class CGeneratrixDialog : public QDialog, public GeneratrixChoices {
  Q_OBJECT
 public:
  double epsInner = 1.0;
  double epsOuter = 1.0;
  int innerRegion = 1;
  int outerRegion = 2;
  double ratioLd = 3.0;
  int material = kNoMaterial;  // list index = material code
  int pointCount = 1;
  double fixedValue = 0.0;  // kV
  double rangeFrom = 0.0;   // kV
  double rangeTo = 0.0;     // kV
  int potentialChoice = kNoChoice;

  // The element's common values as an edit opens them: the potential choice
  // is 0 for floating, 2 with the fixed value for fixed, else 1 with the range.
  void FillCommonFrom(const SurfData& e);
  // Common parameters of a new element (floating, fixedPotential = fixedValue).
  SurfParams NewParams() const;
  // Common parameters that overwrite an edited element (floating, fixedPotential 0).
  SurfParams EditParams() const;
  // For a conductor: choice 1 makes the potential variable, 2 fixed; 0 or no
  // choice leaves it floating. A dielectric is left alone.
  void ApplyPotential(SurfData& e) const;

  // Controls, for the opener's tests and for screenshots.
  QComboBox* MaterialList() const { return materialList_; }
  QRadioButton* PotentialButton(int choice) const;
  QLineEdit* EditFor(const char* fieldName) const;

 protected:
  explicit CGeneratrixDialog(QWidget* parent);
  ~CGeneratrixDialog() override;

  // Called once from the derived constructor with its geometry box; lays
  // out the whole dialog.
  void BuildLayout(QGroupBox* geometry, bool labelMaterial);
  // The derived dialog registers every numeric edit in its checking order.
  virtual void RegisterFields(NumberFields& fields) = 0;

  void showEvent(QShowEvent* event) override;
  void accept() override;

  QLineEdit* epsInnerEdit_;
  QLineEdit* epsOuterEdit_;
  QLineEdit* innerRegionEdit_;
  QLineEdit* outerRegionEdit_;
  QLineEdit* ratioLdEdit_;
  QLineEdit* pointCountEdit_;
  QLineEdit* fixedValueEdit_;
  QLineEdit* rangeFromEdit_;
  QLineEdit* rangeToEdit_;

 private:
  void LoadControls();
  void ApplyOpeningEnabling();
  void OnMaterialChosen(int index);
  void ApplyDielectricRule();
  void OnPotentialChosen(int choice);
  void EnableValueEdits(int choice);
  void SetRadiosEnabled(bool on);
  void UncheckRadios();

  NumberFields& Fields();

  std::unique_ptr<NumberFields> fields_;
  QComboBox* materialList_;
  QButtonGroup* potentialGroup_;
  QRadioButton* radios_[3];
};
