#pragma once
// A page of COptionDialog: keeps its values in fields of its own, puts them
// into its controls when it is first shown and takes them back (checked)
// when its tab is left or OK is pressed.

#include <QWidget>

class COptionPage : public QWidget {
  Q_OBJECT
 public:
  // Fields into controls.
  virtual void LoadControls() = 0;
  // Controls into fields; false (with the message shown and the focus on
  // the failing control) when a value is not accepted.
  virtual bool TakeBack() = 0;

 protected:
  explicit COptionPage(QWidget* parent) : QWidget(parent) {}
};
