#pragma once
// "Картина поля": what the geometry view draws over the generatrices once
// results are present. Works on a FieldPictureOptions value; the view owns
// the value and applies it.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QSpinBox;

struct FieldPictureOptions {
  enum class Quantity { kField, kPotential };
  bool showMap = false;
  Quantity quantity = Quantity::kField;
  bool showEquipotentials = false;
  double equipotentialStep = 0.0;  // kV; 0 chooses a round step for about ten lines
  bool showFieldLines = false;
  int linesPerElectrode = 12;

  bool AnyShown() const { return showMap || showEquipotentials || showFieldLines; }
  bool operator==(const FieldPictureOptions&) const = default;
};

class FieldPictureDialog : public QDialog {
  Q_OBJECT
 public:
  explicit FieldPictureDialog(QWidget* parent = nullptr);

  void SetOptions(const FieldPictureOptions& o);
  FieldPictureOptions Options() const;

  QCheckBox* MapBox() const { return map_; }
  QComboBox* QuantityBox() const { return quantity_; }
  QCheckBox* EquipotentialsBox() const { return equipotentials_; }
  QDoubleSpinBox* StepBox() const { return step_; }
  QCheckBox* FieldLinesBox() const { return lines_; }
  QSpinBox* LinesBox() const { return count_; }

 private:
  QCheckBox* map_;
  QComboBox* quantity_;
  QCheckBox* equipotentials_;
  QDoubleSpinBox* step_;
  QCheckBox* lines_;
  QSpinBox* count_;
};
