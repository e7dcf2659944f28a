#pragma once
// The up-down control attached to an integer edit: each click (or the Up and
// Down keys in the edit) changes the edit's integer by 1, up meaning larger,
// within 0 to 100. A value typed beyond that span stays acceptable to the
// edit's own validation; stepping from it first brings it into the span.

#include <QWidget>

class QLineEdit;
class QToolButton;

class UpDownControl : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kMinimum = 0;
  static constexpr int kMaximum = 100;

  explicit UpDownControl(QLineEdit* buddy, QWidget* parent = nullptr);

  QLineEdit* Buddy() const { return buddy_; }
  // +1 for the up arrow, -1 for the down arrow.
  void Step(int delta);
  QToolButton* UpButton() const { return up_; }
  QToolButton* DownButton() const { return down_; }

 signals:
  void Stepped(int value);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QLineEdit* buddy_;
  QToolButton* up_;
  QToolButton* down_;
};
