#pragma once
// "Скруглить угол": the radius of the arc that replaces the corner shared by
// two generatrices, with a picture of the result as it would be and the
// reason when the radius does not fit (OK is then disabled). Works on a
// copy of the system; the caller applies Result() as one undoable step.

#include <QDialog>

#include "engine/CornerRounding.h"

class QDoubleSpinBox;
class QLabel;
class SystemPreview;

class RoundCornerDialog : public QDialog {
  Q_OBJECT

 public:
  RoundCornerDialog(const CSurfColl& system, int i, int j, QWidget* parent = nullptr);

  double Radius() const;
  void SetRadius(double r);
  // The rounded system for the radius shown (check Ok()).
  const RoundCornerResult& Result() const { return result_; }

 private:
  void Update();

  const CSurfColl& system_;
  int i_, j_;
  QDoubleSpinBox* radius_;
  QLabel* message_;
  SystemPreview* preview_;
  QPushButton* ok_ = nullptr;
  RoundCornerResult result_;
};
