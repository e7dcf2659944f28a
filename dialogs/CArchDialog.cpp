#include "dialogs/CArchDialog.h"

#include <QLineEdit>

#include "dialogs/FieldEdits.h"
#include "dialogs/GeometryBoxes.h"
#include "dialogs/NumberFields.h"

CArchDialog::CArchDialog(QWidget* parent)
    : CGeneratrixDialog(parent),
      radiusEdit_(NewFieldEdit("radius")),
      angle1Edit_(NewFieldEdit("angle1Deg")),
      angle2Edit_(NewFieldEdit("angle2Deg")),
      xcEdit_(NewFieldEdit("xc")),
      ycEdit_(NewFieldEdit("yc")) {
  BuildLayout(ArcGeometryBox(xcEdit_, ycEdit_, radiusEdit_, angle1Edit_, angle2Edit_), false);
}

void CArchDialog::RegisterFields(NumberFields& f) {
  f.AddReal(epsInnerEdit_, &epsInner, 1, 10000, QStringLiteral("Диэлектрическая проницаемость внутренней области"));
  f.AddReal(epsOuterEdit_, &epsOuter, 1, 10000, QStringLiteral("Диэлектрическая проницаемость внешней области"));
  f.AddReal(fixedValueEdit_, &fixedValue, QStringLiteral("Фиксированный потенциал"));
  f.AddInteger(innerRegionEdit_, &innerRegion, 1, 10000, QStringLiteral("Индентификатор внутренней области"));
  f.AddInteger(outerRegionEdit_, &outerRegion, 1, 10000, QStringLiteral("Индентификатор внешней области"));
  f.AddInteger(pointCountEdit_, &pointCount, 1, 1000, QStringLiteral("Количество расчетных точек"));
  f.AddReal(radiusEdit_, &radius, 0.1, 3276, QStringLiteral("Радиус R"));
  f.AddReal(angle1Edit_, &angle1Deg, -90, 360, QStringLiteral("Начал. угол"));
  f.AddReal(angle2Edit_, &angle2Deg, -180, 360, QStringLiteral("Конечн. угол"));
  f.AddReal(xcEdit_, &xc, -3276, 3276, QStringLiteral("Центр X"));
  f.AddReal(ycEdit_, &yc, -3276, 3276, QStringLiteral("Центр Y"));
  f.AddReal(ratioLdEdit_, &ratioLd, 0.0001, 10000, QStringLiteral("Отношение L/d"));
  f.AddReal(rangeFromEdit_, &rangeFrom, QStringLiteral("Потенциал от"));
  f.AddReal(rangeToEdit_, &rangeTo, QStringLiteral("Потенциал до"));
}

void CArchDialog::FillFrom(const Arch& arch) {
  FillCommonFrom(arch);
  xc = arch.xc;
  yc = arch.yc;
  radius = arch.radius;
  angle1Deg = RadiansToDegrees(arch.angle1);
  angle2Deg = RadiansToDegrees(arch.angle2);
}

void CArchDialog::ApplyTo(Arch& arch) const {
  arch.SetAll(EditParams(), xc, yc, radius, DegreesToRadians(angle1Deg), DegreesToRadians(angle2Deg));
  ApplyPotential(arch);
}

std::unique_ptr<Arch> CArchDialog::MakeElement() const {
  auto arch = std::make_unique<Arch>(NewParams(), xc, yc, radius, DegreesToRadians(angle1Deg),
                                     DegreesToRadians(angle2Deg));
  ApplyPotential(*arch);
  return arch;
}
