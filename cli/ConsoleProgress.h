#pragma once
// Progress, questions and messages on the console. Stages and percentages
// go to stderr (redrawn in place on a terminal); Ctrl+C is a confirmed abort.

#include <atomic>
#include <chrono>
#include <string>

#include "engine/ProgressReporter.h"

class ConsoleProgress : public ProgressReporter {
 public:
  ConsoleProgress(bool quiet, bool answerYes);
  ~ConsoleProgress() override;

  void ShowStage(const std::string& text) override;
  void SetRange(long long lower, long long upper) override;
  long long SetStep(long long step) override;
  long long SetPosition(long long position) override;
  long long StepForward() override;
  bool CancelRequested() override;
  bool AskYesNo(Question kind, const std::string& text, const std::string& caption, Icon icon) override;
  void ShowMessage(const std::string& text, const std::string& caption, Icon icon) override;

  // Installs the Ctrl+C handler for the lifetime of this object.
  static std::atomic<bool>& InterruptFlag();

 private:
  void Draw(bool force);
  void EndLine();

  bool quiet_;
  bool answerYes_;
  bool terminal_;
  std::string stage_;
  long long lower_ = 0, upper_ = 100, step_ = 1, position_ = 0;
  int shownPercent_ = -1;
  bool lineOpen_ = false;
  std::chrono::steady_clock::time_point lastDraw_{};
};
