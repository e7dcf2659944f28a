#include "dialogs/CCalcInfo.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include "dialogs/Pictures.h"

QString VersionLine() { return QStringLiteral("Kalvor, версия %1").arg(QStringLiteral(KALVOR_VERSION)); }

CCalcInfo::CCalcInfo(QWidget* parent)
    : QDialog(parent),
      textField_(new QPlainTextEdit),
      start_(new QPushButton(QStringLiteral("Начать расчет"))),
      cancel_(new QPushButton(QStringLiteral("Отменить"))) {
  setWindowTitle(QStringLiteral("Информация"));

  auto* icon = new QLabel;
  icon->setPixmap(pictures::MainIcon().pixmap(32, 32));
  icon->setAlignment(Qt::AlignCenter);
  auto* version = new QLabel(VersionLine());
  version->setAlignment(Qt::AlignCenter);
  auto* side = new QVBoxLayout;
  side->addWidget(icon);
  side->addWidget(version);
  side->addStretch(1);

  textField_->setObjectName("summary");
  textField_->setReadOnly(true);
  textField_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  // Long summary lines wrap: only a vertical scroll bar, and nothing hidden.
  textField_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  textField_->setMinimumSize(460, 260);
  auto* state = new QVBoxLayout;
  state->addWidget(new QLabel(QStringLiteral("Состояние:")));
  state->addWidget(textField_, 1);

  auto* top = new QHBoxLayout;
  top->addLayout(side);
  top->addLayout(state, 1);

  start_->setDefault(true);
  connect(start_, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(start_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top, 1);
  layout->addLayout(buttons);
}

void CCalcInfo::showEvent(QShowEvent* event) {
  // The summary comes with CR LF line ends; the field wants plain lines.
  if (!event->spontaneous()) textField_->setPlainText(QString(text).remove('\r'));
  QDialog::showEvent(event);
}
