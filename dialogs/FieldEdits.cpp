#include "dialogs/FieldEdits.h"

#include <QHBoxLayout>
#include <QLineEdit>

#include "dialogs/UpDownControl.h"

QLineEdit* NewFieldEdit(const char* fieldName, QWidget* parent) {
  auto* e = new QLineEdit(parent);
  e->setObjectName(QString::fromLatin1(fieldName));
  e->setMinimumWidth(70);
  return e;
}

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
