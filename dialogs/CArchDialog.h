#pragma once
// The dialog for a circular-arc generatrix ("Новая образующая поверхности"),
// for creating one and for editing one. See CGeneratrixDialog for the
// opener's use. Angles are entered in degrees. Fields are checked on OK in
// this order, with these ranges: epsInner and epsOuter 1..10000, fixedValue
// any number, innerRegion and outerRegion 1..10000, pointCount 1..1000,
// radius 0.1..3276, angle1Deg -90..360, angle2Deg -180..360, xc and yc
// -3276..3276, ratioLd 0.0001..10000, rangeFrom and rangeTo any number.

#include <memory>

#include "dialogs/CGeneratrixDialog.h"
#include "model/Arch.h"

class CArchDialog : public CGeneratrixDialog {
  Q_OBJECT
 public:
  explicit CArchDialog(QWidget* parent = nullptr);

  double radius = 1.0;     // cm
  double angle1Deg = 0.0;  // start angle, degrees
  double angle2Deg = 0.0;  // end angle, degrees
  double xc = 0.0, yc = 0.0;  // centre, cm

  // Angles are shown in degrees (x 180/pi).
  void FillFrom(const Arch& arch);
  void ApplyTo(Arch& arch) const;
  std::unique_ptr<Arch> MakeElement() const;

 protected:
  void RegisterFields(NumberFields& fields) override;

 private:
  QLineEdit* radiusEdit_;
  QLineEdit* angle1Edit_;
  QLineEdit* angle2Edit_;
  QLineEdit* xcEdit_;
  QLineEdit* ycEdit_;
};
