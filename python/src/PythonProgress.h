#pragma once
// The engine's progress interface for a calculation started from Python,
// running with the GIL released: every cancel query (at most every 20 ms)
// takes the GIL briefly to run Python's signal handlers, so Ctrl+C stops
// the calculation at its next check; the optional progress callback gets
// (stage, fraction) at most every 0.1 s and at each new stage. An exception
// from either is kept and raised once the engine has returned.

#include <pybind11/pybind11.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>

#include "engine/ProgressReporter.h"

class PythonProgress : public SilentProgress {
 public:
  explicit PythonProgress(pybind11::object callback = pybind11::none()) : callback_(std::move(callback)) {}
  ~PythonProgress() override;

  void ShowStage(const std::string& text) override;
  long long SetPosition(long long position) override;
  long long StepForward() override;
  bool CancelRequested() override;
  // The user's Ctrl+C is a confirmed abort; nothing else is asked.
  bool AskYesNo(Question kind, const std::string&, const std::string&, Icon) override {
    return kind == Question::ConfirmAbort;
  }

  // Whether a Python exception stopped the calculation; RaiseIfStopped
  // raises it (GIL held).
  bool Stopped() const { return stopped_.load(); }
  void RaiseIfStopped();
  // A flag for the engine's stoppable loops that take one (maps, lines):
  // set by Poll.
  const std::atomic<bool>* StopFlag() const { return &stopped_; }
  // Runs the signal handlers now (GIL released by the caller).
  void Poll();

 private:
  void Report(bool newStage);
  // Calls `f` with the GIL held; an exception from it stops the run.
  template <class F>
  void WithGil(F f);

  pybind11::object callback_;
  std::optional<pybind11::error_already_set> error_;
  std::atomic<bool> stopped_{false};
  std::chrono::steady_clock::time_point lastPoll_{};
  std::chrono::steady_clock::time_point lastReport_{};
};
