#include "dialogs/CLineDialog.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "dialogs/FieldEdits.h"
#include "dialogs/NumberFields.h"

CLineDialog::CLineDialog(QWidget* parent)
    : CGeneratrixDialog(parent),
      x1Edit_(NewFieldEdit("x1")),
      y1Edit_(NewFieldEdit("y1")),
      x2Edit_(NewFieldEdit("x2")),
      y2Edit_(NewFieldEdit("y2")) {
  auto* geometry = new QGroupBox(QStringLiteral("Координаты начала и конца образующей [см]"));
  auto* g = new QGridLayout(geometry);
  g->addWidget(new QLabel(QStringLiteral("X1")), 0, 0);
  g->addWidget(x1Edit_, 0, 1);
  g->addWidget(new QLabel(QStringLiteral("Y1")), 0, 2);
  g->addWidget(y1Edit_, 0, 3);
  g->addWidget(new QLabel(QStringLiteral("X2")), 1, 0);
  g->addWidget(x2Edit_, 1, 1);
  g->addWidget(new QLabel(QStringLiteral("Y2")), 1, 2);
  g->addWidget(y2Edit_, 1, 3);
  BuildLayout(geometry, true);
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
