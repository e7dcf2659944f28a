#include "PythonProgress.h"

namespace py = pybind11;

PythonProgress::~PythonProgress() {
  // The Python objects go with the GIL held (the caller holds it again).
  error_.reset();
}

template <class F>
void PythonProgress::WithGil(F f) {
  if (stopped_) return;
  py::gil_scoped_acquire gil;
  try {
    f();
  } catch (py::error_already_set& e) {
    error_.emplace(std::move(e));
    stopped_ = true;
  }
}

void PythonProgress::Poll() {
  WithGil([] {
    if (PyErr_CheckSignals() != 0) throw py::error_already_set();
  });
}

bool PythonProgress::CancelRequested() {
  const auto now = std::chrono::steady_clock::now();
  if (!stopped_ && now - lastPoll_ >= std::chrono::milliseconds(20)) {
    lastPoll_ = now;
    Poll();
  }
  return stopped_;
}

void PythonProgress::Report(bool newStage) {
  if (callback_.is_none()) return;
  const auto now = std::chrono::steady_clock::now();
  if (!newStage && now - lastReport_ < std::chrono::milliseconds(100)) return;
  lastReport_ = now;
  // A new stage sets its range after showing itself: it starts at 0.
  const double span = static_cast<double>(Upper() - Lower());
  const double fraction =
      newStage || span <= 0 ? 0.0 : std::clamp(static_cast<double>(Position() - Lower()) / span, 0.0, 1.0);
  WithGil([&] { callback_(Stage(), fraction); });
}

void PythonProgress::ShowStage(const std::string& text) {
  const bool changed = text != Stage();
  SilentProgress::ShowStage(text);
  if (changed) Report(true);
}

long long PythonProgress::SetPosition(long long position) {
  const long long old = SilentProgress::SetPosition(position);
  Report(false);
  return old;
}

long long PythonProgress::StepForward() {
  const long long old = SilentProgress::StepForward();
  Report(false);
  return old;
}

void PythonProgress::RaiseIfStopped() {
  if (error_) {
    py::error_already_set e = std::move(*error_);
    error_.reset();
    throw e;
  }
}
