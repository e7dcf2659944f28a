#include "dialogs/CurveDialogLayout.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "dialogs/OkCancelButtons.h"
#include "dialogs/UpDownControl.h"

namespace curve_dialog {

namespace {

QWidget* WithUpDown(QLineEdit* edit) {
  auto* row = new QWidget;
  auto* h = new QHBoxLayout(row);
  h->setContentsMargins(0, 0, 0, 0);
  h->setSpacing(1);
  edit->setMaximumWidth(80);
  h->addWidget(edit);
  auto* upDown = new UpDownControl(edit, row);
  upDown->setObjectName(edit->objectName() + "UpDown");
  h->addWidget(upDown);
  h->addStretch(1);
  return row;
}

}  // namespace

QLineEdit* NewEdit(QDialog* dialog, const char* fieldName) {
  auto* e = new QLineEdit(dialog);
  e->setObjectName(QString::fromLatin1(fieldName));
  e->setMinimumWidth(70);
  return e;
}

void Build(QDialog* dialog, QLineEdit* region, QLineEdit* points, QGroupBox* geometry) {
  dialog->setWindowTitle(QString::fromUtf8(kTitle));
  auto* form = new QFormLayout;
  form->addRow(QString::fromUtf8(kRegionLabel), WithUpDown(region));
  form->addRow(QString::fromUtf8(kPointsLabel), WithUpDown(points));

  auto* buttons = OkCancelButtons(dialog);

  auto* layout = new QVBoxLayout(dialog);
  layout->addLayout(form);
  layout->addWidget(geometry);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace curve_dialog
