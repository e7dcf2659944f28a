#pragma once
// The kind chooser ("Создать образующую"): kind 0 for an arc ("Окружности",
// preselected), 1 for a line ("Прямой").
//
//   CDialogCreateGeneratrix dlg(parent);
//   if (dlg.exec() == QDialog::Accepted) { dlg.kind == CDialogCreateGeneratrix::kArc ... }

#include <QDialog>

class QRadioButton;

class CDialogCreateGeneratrix : public QDialog {
  Q_OBJECT
 public:
  enum Kind { kArc = 0, kLine = 1 };

  explicit CDialogCreateGeneratrix(QWidget* parent = nullptr);

  int kind = kArc;

  QRadioButton* KindButton(int k) const;

 protected:
  void showEvent(QShowEvent* event) override;
  void accept() override;

 private:
  QRadioButton* arcButton_;
  QRadioButton* lineButton_;
};
