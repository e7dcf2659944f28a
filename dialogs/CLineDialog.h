#pragma once
// The dialog for a straight generatrix ("Новая образующая поверхности"),
// for creating one and for editing one. See CGeneratrixDialog for the
// opener's use. Fields are checked on OK in this order, with these ranges:
// epsInner 1..100000, innerRegion 1..100000, outerRegion 1..10000,
// ratioLd 0.0001..10000, pointCount 1..10000, x1 and x2 0..1e55, y1 and y2
// any number, epsOuter 1..100000, fixedValue, rangeFrom, rangeTo
// -100000..100000.

#include <memory>

#include "dialogs/CGeneratrixDialog.h"
#include "model/Line.h"

class CLineDialog : public CGeneratrixDialog {
  Q_OBJECT
 public:
  explicit CLineDialog(QWidget* parent = nullptr);

  double x1 = 0.0, y1 = 0.0;  // start, cm
  double x2 = 0.0, y2 = 0.0;  // end, cm

  void FillFrom(const Line& line);
  // Overwrites an existing line through SetAll and the potential setters.
  void ApplyTo(Line& line) const;
  // A new line; no material chosen makes a conductor.
  std::unique_ptr<Line> MakeElement() const;

 protected:
  void RegisterFields(NumberFields& fields) override;

 private:
  QLineEdit* x1Edit_;
  QLineEdit* y1Edit_;
  QLineEdit* x2Edit_;
  QLineEdit* y2Edit_;
};
