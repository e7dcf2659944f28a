#pragma once
// How the engine talks to the person running it: stages and progress,
// cancel requests, yes/no questions and messages. The desktop progress window,
// the console of kalvor-calc and the tests' fakes implement it. All calls
// come from the thread that runs the calculation.

#include <string>

class ProgressReporter {
 public:
  enum class Icon { Information, Question, Warning, Stop };
  // What a yes/no question is about, so that a front end can answer it by
  // policy (a console treats Ctrl+C as a confirmed abort) without reading
  // the text.
  enum class Question {
    ConfirmAbort,            // "Вы действительно хотите прервать расчет?"
    ContinueWithOpenRegions  // the closure test found open regions
  };

  virtual ~ProgressReporter() = default;

  virtual void ShowStage(const std::string& text) = 0;
  virtual void SetRange(long long lower, long long upper) = 0;
  // Return the previous value.
  virtual long long SetStep(long long step) = 0;
  virtual long long SetPosition(long long position) = 0;
  virtual long long StepForward() = 0;
  // True once per press of "cancel"; the request is consumed by the call.
  virtual bool CancelRequested() = 0;
  // Modal question; true for Yes. An empty caption means the program's title.
  virtual bool AskYesNo(Question kind, const std::string& text, const std::string& caption, Icon icon) = 0;
  virtual void ShowMessage(const std::string& text, const std::string& caption, Icon icon) = 0;
};

// The percentage a progress display shows for `position` in [lower, upper]:
// truncated, taken modulo 100 except for exactly 100 (150 shows as 50), and
// 0 for an empty range.
int ProgressPercent(long long position, long long lower, long long upper);

// Keeps the position and range, answers no question and never cancels.
// Serves as a base for reporters that only watch.
class SilentProgress : public ProgressReporter {
 public:
  void ShowStage(const std::string& text) override { stage_ = text; }
  void SetRange(long long lower, long long upper) override {
    lower_ = lower;
    upper_ = upper;
  }
  long long SetStep(long long step) override {
    const long long old = step_;
    step_ = step;
    return old;
  }
  long long SetPosition(long long position) override {
    const long long old = position_;
    position_ = position;
    return old;
  }
  long long StepForward() override {
    const long long old = position_;
    position_ += step_;
    return old;
  }
  bool CancelRequested() override { return false; }
  bool AskYesNo(Question, const std::string&, const std::string&, Icon) override { return false; }
  void ShowMessage(const std::string&, const std::string&, Icon) override {}

  const std::string& Stage() const { return stage_; }
  long long Position() const { return position_; }
  long long Lower() const { return lower_; }
  long long Upper() const { return upper_; }

 private:
  std::string stage_;
  long long lower_ = 0, upper_ = 100, step_ = 1, position_ = 0;
};
