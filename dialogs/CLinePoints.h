#pragma once
// A straight gap curve ("Параметры обраующей расчетной поверхности").
// Checked on OK in this order: region 0..65536, pointCount 1..10000, x1 and
// x2 0..1e64, y1 and y2 -1e64..1e64.

#include <QDialog>
#include <memory>

class QLineEdit;
class NumberFields;

class CLinePoints : public QDialog {
  Q_OBJECT
 public:
  explicit CLinePoints(QWidget* parent = nullptr);
  ~CLinePoints() override;

  int region = 1;
  int pointCount = 20;
  double x1 = 0.0, x2 = 0.0;
  double y1 = 0.0, y2 = 0.0;

  QLineEdit* EditFor(const char* fieldName) const;

 protected:
  void showEvent(QShowEvent* event) override;
  void accept() override;

 private:
  std::unique_ptr<NumberFields> fields_;
};
