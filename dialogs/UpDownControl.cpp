#include "dialogs/UpDownControl.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "dialogs/NumberFields.h"

UpDownControl::UpDownControl(QLineEdit* buddy, QWidget* parent)
    : QWidget(parent), buddy_(buddy), up_(new QToolButton(this)), down_(new QToolButton(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  const int h = std::max(8, buddy_->sizeHint().height() / 2);
  for (QToolButton* b : {up_, down_}) {
    b->setArrowType(b == up_ ? Qt::UpArrow : Qt::DownArrow);
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setFixedSize(18, h);
    b->setIconSize(QSize(8, 6));
    layout->addWidget(b);
  }
  up_->setToolTip(QStringLiteral("Больше на 1"));
  down_->setToolTip(QStringLiteral("Меньше на 1"));
  connect(up_, &QToolButton::clicked, this, [this] { Step(+1); });
  connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
  buddy_->installEventFilter(this);
  setEnabled(buddy_->isEnabled());
}

void UpDownControl::Step(int delta) {
  int value = 0;
  if (!NumberFields::ParseInteger(buddy_->text(), value)) value = kMinimum;
  value = std::clamp(value, kMinimum, kMaximum);
  value = std::clamp(value + delta, kMinimum, kMaximum);
  buddy_->setText(NumberFields::FormatInteger(value));
  emit Stepped(value);
}

bool UpDownControl::eventFilter(QObject* watched, QEvent* event) {
  if (watched == buddy_) {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Up || key == Qt::Key_Down) {
        Step(key == Qt::Key_Up ? +1 : -1);
        return true;
      }
    } else if (event->type() == QEvent::EnabledChange) {
      setEnabled(buddy_->isEnabled());
    }
  }
  return QWidget::eventFilter(watched, event);
}

