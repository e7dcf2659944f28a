#include "engine/CalculationRun.h"

#include <chrono>

#include "engine/ControlStream.h"
#include "engine/ProgressReporter.h"
#include "model/TextFormat.h"

namespace {

const char* YesNo(bool v) { return v ? "Да\r\n" : "Нет\r\n"; }

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

std::string ParameterSummary(const FieldCalc& calc, const CalcSettings& s) {
  std::string t = "Расчет будет производиться со следующими параметрами: \r\n";
  t += "Напряженность внешнего эл. поля = " + text::Format("%1.3f\r\n", calc.ExternalField);
  t += std::string("Расчет проводиться с учетом отражения в земле: ") + YesNo(calc.UseEarth);
  t += std::string("Расчет напряженностей во всех КТ: ") + YesNo(s.ControlCalc);
  t += std::string("Расчет потенциалов во всех КТ: ") + YesNo(s.ControlPotentials);
  t += std::string("Запись матрицы потециальных коэффициентов: ") + YesNo(s.DumpMatrix);
  t += std::string("Запись обращенной матрицы потециальных коэффициентов: ") + YesNo(s.DumpInverseMatrix);
  return t;
}

RunReport RunCalculation(FieldCalc& calc, const CalcSettings& s, bool& changedSinceCalculation,
                         ProgressReporter& ui) {
  RunReport report;
  StageClock clock(report);
  calc.Reset(false);
  calc.SetProgress(&ui);
  ControlStream control;

  // Each step either succeeds or leaves its code in calc.errorCode; the
  // first failure is reported once and everything is discarded.
  auto run = [&]() -> bool {  // false: ended without a message (closure question answered No)
    if (!control.Open(calc.ControlFilePath)) {
      calc.errorCode = FieldCalc::kFileOpen;
      calc.errorDetail = calc.ControlFilePath;
      return true;
    }
    if (changedSinceCalculation) {
      calc.Recount();
      changedSinceCalculation = false;
    }
    clock.Next("place");
    calc.Place();
    if (calc.errorCode) return true;
    if (s.TestClosure) calc.CheckClosure();
    if (calc.errorCode) {
      std::string question;
      calc.ErrorText(question);
      if (!ui.AskYesNo(question, "May be late", ProgressReporter::Icon::Information)) return false;
    }
    calc.ClearError();
    control.Text(" Look our results:").Text("allocated ").Int(calc.totalPoints);
    control.Text(" contour points and ").Int(calc.totalCharges).Text(" charges in summary").EndLine();

    clock.Next("fill");
    calc.FillMatrix();
    if (calc.errorCode) return true;
    clock.Next("control");
    if (s.DumpMatrix) calc.WriteMatrix(control);
    if (calc.errorCode) return true;
    clock.Next("solve");
    calc.SolveCharges(s.DumpInverseMatrix);
    if (calc.errorCode) return true;
    clock.Next("control");
    if (s.DumpInverseMatrix) calc.WriteMatrix(control);
    if (calc.errorCode) return true;
    if (s.ControlPotentials) calc.WritePotentials(control);
    if (s.ControlCalc) calc.WriteControl(control);
    if (calc.errorCode) return true;
    if (!control.Close()) {
      calc.errorCode = FieldCalc::kFileOpen;
      calc.errorDetail = "Ошибка записи контрольного файла " + calc.ControlFilePath;
      return true;
    }
    clock.Next("results");
    if (s.SurfaceResults) calc.WriteSurfaceResults(s.ResultsFolder, s.PointsBetweenCPs);
    return true;
  };

  const bool reportable = run();
  clock.Next(nullptr);
  control.Close();
  if (reportable && calc.errorCode == 0 && calc.HasSolution()) {
    ui.ShowMessage("Расчет завершен", "", ProgressReporter::Icon::Information);
    report.success = true;
  } else {
    if (reportable && calc.errorCode != 0)
      ui.ShowMessage(calc.FullErrorText(), "Error", ProgressReporter::Icon::Stop);
    calc.ClearError();
    calc.Reset(false);
  }
  calc.SetProgress(nullptr);
  return report;
}

int RunGapCalculation(FieldCalc& calc, const std::string& resultsFolder, ProgressReporter& ui) {
  if (!calc.HasSolution()) return -1;
  calc.ClearError();
  calc.SetProgress(&ui);
  calc.WriteGapResults(resultsFolder);
  calc.SetProgress(nullptr);
  return calc.errorCode;
}
