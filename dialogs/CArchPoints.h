#pragma once
// An arc gap curve ("Параметры обраующей расчетной поверхности"). Checked
// on OK in this order: region 0..65535, pointCount 1..10000, radius
// 0.1..3276, angle1Deg -90..360, angle2Deg -180..360, xc and yc -3276..3276.
//
//   CArchPoints dlg(parent);  // or set the fields of an existing curve
//   if (dlg.exec() == QDialog::Accepted) MakeGapArch(dlg.region, dlg.pointCount, ...);

#include <QDialog>
#include <memory>

class QLineEdit;
class NumberFields;

class CArchPoints : public QDialog {
  Q_OBJECT
 public:
  explicit CArchPoints(QWidget* parent = nullptr);
  ~CArchPoints() override;

  int region = 1;
  int pointCount = 20;
  double radius = 1.0;
  double angle1Deg = 0.0;
  double angle2Deg = 0.0;
  double xc = 0.0, yc = 0.0;

  QLineEdit* EditFor(const char* fieldName) const;

 protected:
  void showEvent(QShowEvent* event) override;
  void accept() override;

 private:
  std::unique_ptr<NumberFields> fields_;
};
