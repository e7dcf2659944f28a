#include "dialogs/CurveDialogLayout.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QVBoxLayout>

#include "dialogs/FieldEdits.h"
#include "dialogs/OkCancelButtons.h"

namespace curve_dialog {

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
