#include "engine/CalculationRun.h"

#include <chrono>

#include "engine/ControlStream.h"
#include "engine/ProgressReporter.h"
#include "model/TextFormat.h"

namespace {

class StageClock {
 public:
  explicit StageClock(RunReport& report) : report_(report) {}
  // Ends the running stage (if any) and starts `next`.
  void Next(const char* next) {
    const auto now = std::chrono::steady_clock::now();
    if (stage_) report_.timings.push_back({stage_, std::chrono::duration<double>(now - start_).count()});
    stage_ = next;
    start_ = now;
  }

 private:
  RunReport& report_;
  const char* stage_ = nullptr;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace

RunReport RunCalculation(FieldCalc& calc, bool& changedSinceCalculation, ProgressReporter& ui) {
  RunReport report;
  const CalcParameters& s = calc.Parameters();
  report.parameters = s;
  StageClock clock(report);
  calc.Reset(false);
  const FieldCalc::ProgressScope attached(calc, ui);
  ControlStream control;

  // Each step either succeeds or leaves its error code in calc; the
  // first failure is reported once and everything is discarded.
  auto run = [&]() -> bool {  // false: ended without a message (closure question answered No)
    if (!calc.CheckOutputsAreNotInputs(false)) return true;
    if (!control.Open(s.ControlFilePath)) {
      calc.SetError(FieldCalc::kFileOpen, s.ControlFilePath + ": " + control.Error());
      return true;
    }
    if (changedSinceCalculation) {
      calc.Recount();
      changedSinceCalculation = false;
    }
    clock.Next("place");
    calc.Place();
    if (calc.ErrorCode()) return true;
    if (!calc.CheckControlFileSpace()) return true;
    if (s.TestClosure) calc.CheckClosure();
    if (calc.ErrorCode()) {
      std::string question;
      calc.ErrorText(question);
      if (!ui.AskYesNo(ProgressReporter::Question::ContinueWithOpenRegions, question, "May be late",
                       ProgressReporter::Icon::Information))
        return false;
    }
    calc.ClearError();
    control.Text(" Look our results:").Text("allocated ").Int(calc.TotalPoints());
    control.Text(" contour points and ").Int(calc.TotalCharges()).Text(" charges in summary").EndLine();

    clock.Next("fill");
    calc.FillMatrix();
    if (calc.ErrorCode()) return true;
    clock.Next("control");
    if (s.DumpMatrix) calc.WriteMatrix(control);
    if (calc.ErrorCode()) return true;
    clock.Next("solve");
    calc.SolveCharges(s.DumpInverseMatrix);
    if (calc.ErrorCode()) return true;
    clock.Next("control");
    if (s.DumpInverseMatrix) calc.WriteMatrix(control);
    if (calc.ErrorCode()) return true;
    if (s.ControlPotentials) calc.WritePotentials(control);
    if (s.ControlCalc) calc.WriteControl(control);
    if (calc.ErrorCode()) return true;
    if (!control.Close()) {
      calc.SetError(FieldCalc::kFileOpen, s.ControlFilePath + ": " + control.Error());
      return true;
    }
    clock.Next("results");
    if (s.SurfaceResults) calc.WriteSurfaceResults(s.ResultsFolder, s.PointsBetweenCPs);
    return true;
  };

  const bool reportable = run();
  clock.Next(nullptr);
  // An unfinished control file never replaces the previous one.
  if (reportable && calc.ErrorCode() == 0)
    control.Close();
  else
    control.Discard();
  report.errorCode = calc.ErrorCode();
  if (reportable && calc.ErrorCode() == FieldCalc::kNoError && calc.HasSolution()) {
    ui.ShowMessage("Расчет завершен", "", ProgressReporter::Icon::Information);
    report.success = true;
  } else {
    if (calc.ErrorCode() != FieldCalc::kNoError) report.errorText = calc.FullErrorText();
    if (reportable && calc.ErrorCode() != FieldCalc::kNoError)
      ui.ShowMessage(report.errorText, "Error", ProgressReporter::Icon::Stop);
    calc.ClearError();
    calc.Reset(false);
  }
  return report;
}

int RunGapCalculation(FieldCalc& calc, ProgressReporter& ui) {
  if (!calc.HasSolution()) return -1;
  calc.ClearError();
  const FieldCalc::ProgressScope attached(calc, ui);
  if (!calc.CheckOutputsAreNotInputs(true)) return calc.ErrorCode();
  calc.WriteGapResults(calc.Parameters().ResultsFolder);
  return calc.ErrorCode();
}
