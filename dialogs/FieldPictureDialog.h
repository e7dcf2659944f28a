#pragma once
// "Картина поля": what the geometry view draws over the generatrices once
// results are present. Works on a FieldPictureOptions value; the view owns
// the value and applies it. The whole picture is on by default: the user
// switches parts off, and the choice is kept in the user's settings.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QSpinBox;

struct FieldPictureOptions {
  enum class Quantity { kField, kPotential };
  bool showMap = true;
  Quantity quantity = Quantity::kField;
  bool logScale = false;  // |E| on a logarithmic colour scale
  bool showEquipotentials = true;
  double equipotentialStep = 0.0;  // kV; 0 chooses a round step for about ten lines
  bool showFieldLines = true;
  int linesPerElectrode = 12;
  bool mirror = true;  // the whole cross-section: the half-plane mirrored into r < 0

  bool AnyShown() const { return showMap || showEquipotentials || showFieldLines; }
  bool operator==(const FieldPictureOptions&) const = default;
};

// The options kept in the user's settings (defaults where none or nonsense).
FieldPictureOptions LoadFieldPictureOptions();
void StoreFieldPictureOptions(const FieldPictureOptions& o);

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
  QCheckBox* LogScaleBox() const { return log_; }
  QCheckBox* MirrorBox() const { return mirror_; }

 private:
  QCheckBox* map_;
  QComboBox* quantity_;
  QCheckBox* equipotentials_;
  QDoubleSpinBox* step_;
  QCheckBox* lines_;
  QSpinBox* count_;
  QCheckBox* log_;
  QCheckBox* mirror_;
};
