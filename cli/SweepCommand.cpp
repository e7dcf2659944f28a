#include "cli/SweepCommand.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "cli/ConsoleProgress.h"
#include "cli/Options.h"
#include "engine/AtomicFile.h"
#include "engine/FieldCalc.h"
#include "engine/Parallel.h"
#include "engine/ParameterSweep.h"

int RunSweepCommand(const FieldCalc& calc, const CalcOptions& opt) {
  if (const std::string problem = CheckSweep(calc.Generatrices(), opt.sweeps); !problem.empty()) {
    std::fprintf(stderr, "kalvor-calc: --sweep: %s\n", problem.c_str());
    return 2;
  }
  // The output is refused before anything is calculated; it appears only
  // complete.
  AtomicFile out;
  if (!out.Open(*opt.sweepOut)) {
    std::fprintf(stderr, "%s\n%s\n", FieldCalc::MessageFor(FieldCalc::kFileOpen).c_str(), opt.sweepOut->c_str());
    return 1;
  }
  BatchOptions batch;
  batch.targetError = opt.targetError;
  batch.maxUnknowns = opt.maxUnknowns;
  batch.capacitance = calc.Parameters().Capacitance;

  const int steps = opt.sweepSteps;
  SweepControl control;
  control.parallel = std::min(WorkerThreads(), steps);
  std::printf("Исследование параметра: %d значений, одновременно %d\n", steps, control.parallel);
  for (const SweepVariable& v : opt.sweeps)
    std::printf("  %s%s: от %g до %g\n",
                v.generatrix >= 0 ? ("образующая " + std::to_string(v.generatrix + 1) + ", ").c_str() : "",
                SweepFieldName(v.field).c_str(), v.from, v.to);
  std::fflush(stdout);

  ConsoleProgress console(opt.quiet, opt.yes);
  console.ShowStage("Исследование параметра");
  console.SetRange(0, steps);
  console.SetPosition(0);
  control.stop = &ConsoleProgress::InterruptFlag();
  int failed = 0;
  control.onRow = [&](int, const SweepRow& row) {
    console.StepForward();
    if (!row.success && row.errorCode != FieldCalc::kAborted) {
      ++failed;
      std::string message = row.error;
      std::replace(message.begin(), message.end(), '\n', ' ');
      std::fprintf(stderr, "\nЗначение %g: %s\n", row.values.empty() ? 0.0 : row.values[0], message.c_str());
    }
  };
  const std::vector<SweepRow> rows =
      RunSweep(calc.Generatrices(), calc.Parameters(), batch, opt.sweeps, steps, control);
  console.ShowStage("");
  if (ConsoleProgress::InterruptFlag().load()) {
    std::fprintf(stderr, "%s\n", FieldCalc::MessageFor(FieldCalc::kAborted).c_str());
    return 1;  // nothing written: the temporary goes with `out`
  }
  WriteSweepCsv(rows, out.Stream());
  if (!out.Commit()) {
    std::fprintf(stderr, "Ошибка записи файла %s\n", opt.sweepOut->c_str());
    return 1;
  }
  std::printf("Исследование: рассчитано %d из %d значений: %s\n", steps - failed, steps, opt.sweepOut->c_str());
  return failed ? 1 : 0;
}
