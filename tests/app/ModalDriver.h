#pragma once
// Answers the modal windows a command opens, so GUI tests never wait for a
// person: every few milliseconds it looks at the active modal widget, records
// message boxes and hands each window to a handler (or, without one, closes
// it: Yes/OK for boxes, reject for dialogs). A test that opens more windows
// than it expects still ends.

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QStringList>
#include <QTimer>
#include <functional>

class ModalDriver : public QObject {
 public:
  // Return true when the handler dealt with the window.
  using Handler = std::function<bool(QWidget*)>;

  explicit ModalDriver(Handler handler = {}, bool answerYes = true)
      : handler_(std::move(handler)), answerYes_(answerYes) {
    timer_.setInterval(15);
    connect(&timer_, &QTimer::timeout, this, &ModalDriver::Poll);
    timer_.start();
  }

  QStringList boxes;     // "caption|text" of every message box seen
  QStringList dialogs;   // class names of other modal windows seen

  bool SawBox(const QString& fragment) const {
    for (const QString& b : boxes)
      if (b.contains(fragment)) return true;
    return false;
  }

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal->property("modalDriverSeen").toBool()) return;
    modal->setProperty("modalDriverSeen", true);
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
      boxes << box->windowTitle() + "|" + box->text();
      if (handler_ && handler_(modal)) return;
      QAbstractButton* button = box->button(answerYes_ ? QMessageBox::Yes : QMessageBox::No);
      if (!button) button = box->button(QMessageBox::Ok);
      if (!button) button = box->defaultButton();
      if (button)
        button->click();
      else
        box->reject();
      return;
    }
    dialogs << modal->metaObject()->className();
    if (handler_ && handler_(modal)) return;
    if (auto* dialog = qobject_cast<QDialog*>(modal)) dialog->reject();
  }

  Handler handler_;
  bool answerYes_;
  QTimer timer_;
};
