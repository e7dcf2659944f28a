#pragma once
// The modeless progress window of a calculation ("Расчет...").
//
//   CProgressDialog progress;          // on the stack of the command
//   if (!progress.CreateModeless()) return;   // disables the main window
//   progress.SetStep(1);
//   RunCalculation(calc, settings, changed, progress);
//   // leaving scope closes it and enables the main window again
//
// The calculation runs on the GUI thread: SetPosition, StepForward and
// CancelRequested process pending events, so the program repaints and the
// "Отмена" button works. "Отмена", Escape and the close button only ask to
// cancel; Enter does nothing. Messages and questions are modal boxes owned
// by this window. While it keeps the main window disabled, closing the main
// window is refused.

#include <QDialog>
#include <QPointer>
#include <QString>

#include "engine/ProgressReporter.h"

class QLabel;
class QMessageBox;
class QProgressBar;
class QPushButton;

class CProgressDialog : public QDialog, public ProgressReporter {
  Q_OBJECT
 public:
  // An empty caption gives "Расчет...".
  explicit CProgressDialog(const QString& caption = QString());
  ~CProgressDialog() override;

  // `owner` null: the application's main window (the top-level widget of
  // the active window, or the first visible main window). Disables the
  // owner, if enabled, and shows this window; false if nothing was shown.
  bool CreateModeless(QWidget* owner = nullptr);
  // Hides the window and enables the owner again (also done on destruction).
  void Close();

  void ShowStage(const std::string& text) override;
  void SetRange(long long lower, long long upper) override;
  long long SetStep(long long step) override;
  long long SetPosition(long long position) override;
  long long StepForward() override;
  bool CancelRequested() override;
  bool AskYesNo(Question kind, const std::string& text, const std::string& caption, Icon icon) override;
  void ShowMessage(const std::string& text, const std::string& caption, Icon icon) override;

  // Sets the cancel request, as "Отмена", Escape and the close button do.
  void RequestCancel() { cancelRequested_ = true; }
  bool OwnerDisabled() const { return ownerDisabled_; }
  QWidget* Owner() const { return owner_; }

  QLabel* StageLabel() const { return stage_; }
  QLabel* PercentLabel() const { return percent_; }
  QProgressBar* Bar() const { return bar_; }
  QPushButton* CancelButton() const { return cancel_; }

  static QString ApplicationTitle();

 protected:
  // Runs a message box modally and returns the button pressed; tests replace it.
  virtual int RunMessageBox(QMessageBox& box);

  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void reject() override;
  void accept() override;

 private:
  void PumpMessages();
  void ShowPercent(long long position);
  void UpdateBar();
  void DisableOwner();
  void EnableOwner();

  long long lower_ = 0;
  long long upper_ = 100;
  long long step_ = 1;
  long long position_ = 0;
  bool cancelRequested_ = false;
  bool ownerDisabled_ = false;
  bool minimisedWithOwner_ = false;
  bool reenableOnRestore_ = false;
  QPointer<QWidget> owner_;

  QLabel* stage_;
  QLabel* percent_;
  QProgressBar* bar_;
  QPushButton* cancel_;
};
