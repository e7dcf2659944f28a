#include "dialogs/CLinePoints.h"

#include <QLineEdit>
#include <QShowEvent>

#include "dialogs/CurveDialogLayout.h"
#include "dialogs/FieldEdits.h"
#include "dialogs/GeometryBoxes.h"
#include "dialogs/NumberFields.h"

using namespace curve_dialog;

CLinePoints::CLinePoints(QWidget* parent) : QDialog(parent), fields_(std::make_unique<NumberFields>()) {
  QLineEdit* regionEdit = NewFieldEdit("region", this);
  QLineEdit* pointsEdit = NewFieldEdit("pointCount", this);
  QLineEdit* x1Edit = NewFieldEdit("x1", this);
  QLineEdit* y1Edit = NewFieldEdit("y1", this);
  QLineEdit* x2Edit = NewFieldEdit("x2", this);
  QLineEdit* y2Edit = NewFieldEdit("y2", this);

  Build(this, regionEdit, pointsEdit, LineGeometryBox(x1Edit, y1Edit, x2Edit, y2Edit));

  fields_->AddInteger(regionEdit, &region, 0, 65536, QString::fromUtf8(kRegionLabel));
  fields_->AddInteger(pointsEdit, &pointCount, 1, 10000, QString::fromUtf8(kPointsLabel));
  fields_->AddReal(x1Edit, &x1, 0, 1e64, QStringLiteral("X1"));
  fields_->AddReal(x2Edit, &x2, 0, 1e64, QStringLiteral("X2"));
  fields_->AddReal(y1Edit, &y1, -1e64, 1e64, QStringLiteral("Y1"));
  fields_->AddReal(y2Edit, &y2, -1e64, 1e64, QStringLiteral("Y2"));
}

CLinePoints::~CLinePoints() = default;

QLineEdit* CLinePoints::EditFor(const char* fieldName) const {
  return findChild<QLineEdit*>(QString::fromLatin1(fieldName));
}

void CLinePoints::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) fields_->Load();
  QDialog::showEvent(event);
}

void CLinePoints::accept() {
  if (fields_->Take(this)) QDialog::accept();
}
