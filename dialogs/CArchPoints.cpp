#include "dialogs/CArchPoints.h"

#include <QLineEdit>
#include <QShowEvent>

#include "dialogs/CurveDialogLayout.h"
#include "dialogs/FieldEdits.h"
#include "dialogs/GeometryBoxes.h"
#include "dialogs/NumberFields.h"

using namespace curve_dialog;

CArchPoints::CArchPoints(QWidget* parent) : QDialog(parent), fields_(std::make_unique<NumberFields>()) {
  QLineEdit* regionEdit = NewFieldEdit("region", this);
  QLineEdit* pointsEdit = NewFieldEdit("pointCount", this);
  QLineEdit* radiusEdit = NewFieldEdit("radius", this);
  QLineEdit* angle1Edit = NewFieldEdit("angle1Deg", this);
  QLineEdit* angle2Edit = NewFieldEdit("angle2Deg", this);
  QLineEdit* xcEdit = NewFieldEdit("xc", this);
  QLineEdit* ycEdit = NewFieldEdit("yc", this);

  Build(this, regionEdit, pointsEdit, ArcGeometryBox(xcEdit, ycEdit, radiusEdit, angle1Edit, angle2Edit));

  fields_->AddInteger(regionEdit, &region, 0, 65535, QString::fromUtf8(kRegionLabel));
  fields_->AddInteger(pointsEdit, &pointCount, 1, 10000, QString::fromUtf8(kPointsLabel));
  fields_->AddReal(radiusEdit, &radius, 0.1, 3276, QStringLiteral("Радиус R"));
  fields_->AddReal(angle1Edit, &angle1Deg, -90, 360, QStringLiteral("Начал. угол"));
  fields_->AddReal(angle2Edit, &angle2Deg, -180, 360, QStringLiteral("Конечн. угол"));
  fields_->AddReal(xcEdit, &xc, -3276, 3276, QStringLiteral("Центр X"));
  fields_->AddReal(ycEdit, &yc, -3276, 3276, QStringLiteral("Центр Y"));
}

CArchPoints::~CArchPoints() = default;

QLineEdit* CArchPoints::EditFor(const char* fieldName) const {
  return findChild<QLineEdit*>(QString::fromLatin1(fieldName));
}

void CArchPoints::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) fields_->Load();
  QDialog::showEvent(event);
}

void CArchPoints::accept() {
  if (fields_->Take(this)) QDialog::accept();
}
