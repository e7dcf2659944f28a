#include "dialogs/CDialogCreateGeneratrix.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QShowEvent>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "dialogs/OkCancelButtons.h"
#include "dialogs/Pictures.h"

CDialogCreateGeneratrix::CDialogCreateGeneratrix(QWidget* parent)
    : QDialog(parent),
      arcButton_(new QRadioButton(QStringLiteral("Окружности"))),
      lineButton_(new QRadioButton(QStringLiteral("Прямой"))) {
  setWindowTitle(QStringLiteral("Создать образующую"));
  arcButton_->setObjectName("kindArc");
  lineButton_->setObjectName("kindLine");

  auto* box = new QGroupBox(QStringLiteral("Образующяя в виде"));
  auto* grid = new QGridLayout(box);
  auto* arcPicture = new QLabel;
  arcPicture->setPixmap(pictures::ArcPicture());
  auto* linePicture = new QLabel;
  linePicture->setPixmap(pictures::LinePicture());
  grid->addWidget(arcButton_, 0, 0);
  grid->addWidget(arcPicture, 0, 1);
  grid->addWidget(lineButton_, 1, 0);
  grid->addWidget(linePicture, 1, 1);
  grid->setColumnStretch(2, 1);

  auto* buttons = OkCancelButtons(this);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(box);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

QRadioButton* CDialogCreateGeneratrix::KindButton(int k) const {
  return k == kLine ? lineButton_ : arcButton_;
}

void CDialogCreateGeneratrix::showEvent(QShowEvent* event) {
  if (!event->spontaneous()) (kind == kLine ? lineButton_ : arcButton_)->setChecked(true);
  QDialog::showEvent(event);
}

void CDialogCreateGeneratrix::accept() {
  kind = lineButton_->isChecked() ? kLine : kArc;
  QDialog::accept();
}
