#pragma once
// What the two editor panes share: a form with every value of one
// generatrix, kept consistent with the chosen material and kind of
// potential, written back through the document into the generatrix it was
// filled from by "Внести Изменения". The line and arc panes add their coordinate
// fields and the element-specific writing.

#include <QWidget>

#include "dialogs/NumberFields.h"
#include "dialogs/PotentialChoice.h"

class CKalvorDoc;
class LeftPaneHost;
class QButtonGroup;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class SurfData;
struct SurfParams;

class GeneratrixPane : public QWidget, public GeneratrixChoices {
  Q_OBJECT

 public:
  double epsInner = 0.0;
  double epsOuter = 0.0;
  double fixedValue = 0.0;
  int innerRegion = 0;
  int outerRegion = 0;
  double ratioLd = 0.0;
  int material = kNoMaterial;
  int pointCount = 0;
  double rangeFrom = 0.0;
  double rangeTo = 0.0;
  int potentialChoice = kNoChoice;

  // Fields into controls, then the enabling rules.
  void LoadControls();
  // Controls into fields with validation (message and focus on the first
  // failure), then the enabling rules. False when a value was refused.
  bool TakeControls();
  // "Внести Изменения".
  bool Apply();
  // The position of the generatrix the pane was filled from; it follows
  // insertions and deletions above it (-1 once the generatrix is gone).
  int Index() const { return index_; }
  // Whether the controls differ from what the pane was last filled with.
  bool HasUnappliedChanges() const;

  QComboBox* MaterialList() const { return materialList_; }
  QRadioButton* PotentialButton(int choice) const;
  QLineEdit* EpsInnerEdit() const { return epsInnerEdit_; }
  QLineEdit* EpsOuterEdit() const { return epsOuterEdit_; }
  QLineEdit* FixedValueEdit() const { return fixedValueEdit_; }
  QLineEdit* InnerRegionEdit() const { return innerRegionEdit_; }
  QLineEdit* OuterRegionEdit() const { return outerRegionEdit_; }
  QLineEdit* RatioLdEdit() const { return ratioLdEdit_; }
  QLineEdit* PointCountEdit() const { return pointCountEdit_; }
  QLineEdit* RangeFromEdit() const { return rangeFromEdit_; }
  QLineEdit* RangeToEdit() const { return rangeToEdit_; }
  QPushButton* ApplyButton() const { return applyButton_; }

 protected:
  GeneratrixPane(CKalvorDoc& doc, LeftPaneHost* host, QWidget* parent);

  // Lays out the whole form around the derived pane's coordinate group and
  // registers every field in the checking order.
  void BuildForm(QGroupBox* coordinates);
  virtual void RegisterCoordinates(NumberFields& fields) = 0;
  // Writes the fields into `g` through SetAll; false when `g` is of the
  // other kind.
  virtual bool WriteInto(SurfData& g, const SurfParams& params) = 0;
  // Fills the pane from generatrix `index` (an undone or redone change).
  virtual void FillFrom(int index, const SurfData& g) = 0;
  // The common values of generatrix `index`, as the geometry view fills them.
  void FillCommon(int index, const SurfData& g);

  QLineEdit* NewEdit();
  // The titled group box the derived pane lays its coordinate edits out in.
  QGroupBox* NewCoordinateBox();
  QLineEdit* CoordinateEdit(QGridLayout* grid, int row, int column, const QString& label);

  CKalvorDoc& doc_;
  LeftPaneHost* host_;

 private:
  void ApplyEnabling();
  void ApplyConductorRule(int choice);
  void ApplyDielectricRule();
  void OnMaterialChanged(int index);
  void OnPotentialClicked(int choice);
  void SetValueEditsFor(int choice);
  void SetRadiosEnabled(bool on);
  void UncheckRadios();
  void CheckRadio(int choice);
  QString ControlState() const;
  void OnChanged(int index);
  void OnAdded(int index);
  void OnRemoved(int index);

  int index_ = -1;
  QString loadedState_;
  NumberFields fields_;
  QComboBox* materialList_;
  QLineEdit* epsInnerEdit_;
  QLineEdit* epsOuterEdit_;
  QLineEdit* fixedValueEdit_;
  QLineEdit* innerRegionEdit_;
  QLineEdit* outerRegionEdit_;
  QLineEdit* ratioLdEdit_;
  QLineEdit* pointCountEdit_;
  QLineEdit* rangeFromEdit_;
  QLineEdit* rangeToEdit_;
  QButtonGroup* potentialGroup_;
  QRadioButton* radios_[3];
  QPushButton* applyButton_;
};
