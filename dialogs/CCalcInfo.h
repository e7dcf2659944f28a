#pragma once
// "Информация": the parameter summary shown before a calculation.
//
//   CCalcInfo info(mainWindow);
//   info.text = QString::fromStdString(ParameterSummary(doc.Parameters()));
//   if (info.exec() == QDialog::Accepted) ... run ...   // "Начать расчет"

#include <QDialog>
#include <QString>

// "Kalvor, версия N" with the project's version, wherever the program names itself.
QString VersionLine();

class QPlainTextEdit;
class QPushButton;

class CCalcInfo : public QDialog {
  Q_OBJECT
 public:
  explicit CCalcInfo(QWidget* parent = nullptr);

  QString text;

  QPlainTextEdit* TextField() const { return textField_; }
  QPushButton* StartButton() const { return start_; }
  QPushButton* CancelButton() const { return cancel_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QPlainTextEdit* textField_;
  QPushButton* start_;
  QPushButton* cancel_;
};
