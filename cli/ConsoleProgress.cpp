#include "cli/ConsoleProgress.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>

namespace {

// The calculation stops at its next check (the solver too, at its next
// block); a second Ctrl+C still ends the program at once, as a way out of
// anything that does not check.
void OnInterrupt(int) {
  ConsoleProgress::InterruptFlag().store(true);
  std::signal(SIGINT, SIG_DFL);
  static const char note[] = "\nПрерывание: расчет остановится на ближайшем шаге (Ctrl+C еще раз - выход сразу)\n";
  const ssize_t ignored = write(STDERR_FILENO, note, sizeof note - 1);
  (void)ignored;
}

}  // namespace

std::atomic<bool>& ConsoleProgress::InterruptFlag() {
  static std::atomic<bool> flag{false};
  return flag;
}

ConsoleProgress::ConsoleProgress(bool quiet, bool answerYes)
    : quiet_(quiet), answerYes_(answerYes), terminal_(isatty(STDERR_FILENO) != 0) {
  InterruptFlag().store(false);
  std::signal(SIGINT, OnInterrupt);
}

ConsoleProgress::~ConsoleProgress() {
  EndLine();
  std::signal(SIGINT, SIG_DFL);
}

void ConsoleProgress::EndLine() {
  if (lineOpen_) std::fputc('\n', stderr);
  lineOpen_ = false;
}

void ConsoleProgress::Draw(bool force) {
  if (quiet_ || stage_.empty()) return;
  const int percent = ProgressPercent(position_, lower_, upper_);
  if (!terminal_) return;  // plain logs get one line per stage
  const auto now = std::chrono::steady_clock::now();
  if (!force && (percent == shownPercent_ || now - lastDraw_ < std::chrono::milliseconds(100))) return;
  shownPercent_ = percent;
  lastDraw_ = now;
  std::fprintf(stderr, "\r\033[K%s  %d%%", stage_.c_str(), percent);
  std::fflush(stderr);
  lineOpen_ = true;
}

void ConsoleProgress::ShowStage(const std::string& text) {
  if (text == stage_) return;
  if (!quiet_ && terminal_ && !stage_.empty()) {
    std::fprintf(stderr, "\r\033[K%s  %d%%", stage_.c_str(), ProgressPercent(position_, lower_, upper_));
    lineOpen_ = true;
  }
  EndLine();
  stage_ = text;
  shownPercent_ = -1;
  if (quiet_ || text.empty()) return;
  if (terminal_) {
    Draw(true);
  } else {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
  }
}

void ConsoleProgress::SetRange(long long lower, long long upper) {
  lower_ = lower;
  upper_ = upper;
}

long long ConsoleProgress::SetStep(long long step) {
  const long long old = step_;
  step_ = step;
  return old;
}

long long ConsoleProgress::SetPosition(long long position) {
  const long long old = position_;
  position_ = position;
  Draw(false);
  return old;
}

long long ConsoleProgress::StepForward() {
  const long long old = position_;
  position_ += step_;
  Draw(false);
  return old;
}

bool ConsoleProgress::CancelRequested() { return InterruptFlag().exchange(false); }

bool ConsoleProgress::AskYesNo(Question kind, const std::string& text, const std::string& /*caption*/, Icon) {
  EndLine();
  // Ctrl+C is the user's confirmed wish to stop; every other question is
  // answered by --yes or else with No.
  const bool isAbort = kind == Question::ConfirmAbort;
  const bool answer = isAbort || answerYes_;
  // The captions ("May be late", "Error") are the desktop boxes' titles;
  // the console shows the Russian text alone.
  std::fprintf(stderr, "%s\n%s\n", text.c_str(), answer ? "Да" : "Нет (запустите с --yes, чтобы продолжить)");
  return answer;
}

void ConsoleProgress::ShowMessage(const std::string& text, const std::string& /*caption*/, Icon icon) {
  EndLine();
  FILE* out = icon == Icon::Information ? stdout : stderr;
  // Only the text: the caption is the desktop box's (English) title.
  std::fprintf(out, "%s\n", text.c_str());
  std::fflush(out);
}
