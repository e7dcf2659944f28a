#include "dialogs/CLineDialog.h"

#include <QLineEdit>

#include "dialogs/FieldEdits.h"
#include "dialogs/GeometryBoxes.h"
#include "dialogs/NumberFields.h"

CLineDialog::CLineDialog(QWidget* parent)
    : CGeneratrixDialog(parent),
      x1Edit_(NewFieldEdit("x1")),
      y1Edit_(NewFieldEdit("y1")),
      x2Edit_(NewFieldEdit("x2")),
      y2Edit_(NewFieldEdit("y2")) {
  BuildLayout(LineGeometryBox(x1Edit_, y1Edit_, x2Edit_, y2Edit_), true);
}

void CLineDialog::RegisterFields(NumberFields& f) {
  f.AddReal(epsInnerEdit_, &epsInner, 1, 100000, QStringLiteral("Диэлектрическая проницаемость внутренней области"));
  f.AddInteger(innerRegionEdit_, &innerRegion, 1, 100000, QStringLiteral("Индентификатор внутренней области"));
  f.AddInteger(outerRegionEdit_, &outerRegion, 1, 10000, QStringLiteral("Индентификатор внешней области"));
  f.AddReal(ratioLdEdit_, &ratioLd, 0.0001, 10000, QStringLiteral("Отношение L/d"));
  f.AddInteger(pointCountEdit_, &pointCount, 1, 10000, QStringLiteral("Количество расчетных точек"));
  f.AddReal(x1Edit_, &x1, 0, 1e55, QStringLiteral("X1"));
  f.AddReal(x2Edit_, &x2, 0, 1e55, QStringLiteral("X2"));
  f.AddReal(y1Edit_, &y1, QStringLiteral("Y1"));
  f.AddReal(y2Edit_, &y2, QStringLiteral("Y2"));
  f.AddReal(epsOuterEdit_, &epsOuter, 1, 100000, QStringLiteral("Диэлектрическая проницаемость внешней области"));
  f.AddReal(fixedValueEdit_, &fixedValue, -100000, 100000, QStringLiteral("Фиксированный потенциал"));
  f.AddReal(rangeFromEdit_, &rangeFrom, -100000, 100000, QStringLiteral("Потенциал от"));
  f.AddReal(rangeToEdit_, &rangeTo, -100000, 100000, QStringLiteral("Потенциал до"));
}

void CLineDialog::FillFrom(const Line& line) {
  FillCommonFrom(line);
  x1 = line.x1;
  y1 = line.y1;
  x2 = line.x2;
  y2 = line.y2;
}

void CLineDialog::ApplyTo(Line& line) const {
  line.SetAll(EditParams(), x1, y1, x2, y2);
  ApplyPotential(line);
}

std::unique_ptr<Line> CLineDialog::MakeElement() const {
  auto line = std::make_unique<Line>(NewParams(), x1, y1, x2, y2);
  ApplyPotential(*line);
  return line;
}
