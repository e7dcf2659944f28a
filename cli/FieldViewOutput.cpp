#include "cli/FieldViewOutput.h"

#include <chrono>
#include <cstdio>

#include "cli/ConsoleProgress.h"
#include "cli/Options.h"
#include "engine/AtomicFile.h"
#include "engine/FieldCalc.h"
#include "engine/FieldLines.h"
#include "engine/FieldMap.h"
#include "engine/FieldViewCsv.h"

namespace {

// Written whole or not at all, only once computed: an interrupted or failed
// run leaves the previous file as it was.
template <class Write>
bool WriteFile(const std::string& path, Write write) {
  AtomicFile file;
  if (file.Open(path)) {
    write(file.Stream());
    if (file.Commit()) return true;
  }
  std::fprintf(stderr, "Не удается записать файл %s: %s\n", path.c_str(), file.Error().c_str());
  return false;
}

void Interrupted() { std::fprintf(stderr, "%s\n", FieldCalc::MessageFor(FieldCalc::kAborted).c_str()); }

}  // namespace

int WriteFieldViews(const FieldCalc& calc, const CalcOptions& opt, ConsoleProgress& console) {
  std::atomic<bool>& stop = ConsoleProgress::InterruptFlag();
  if (opt.mapFile) {
    MapRect rect = DefaultMapRect(calc);
    if (opt.mapRect) rect = {(*opt.mapRect)[0], (*opt.mapRect)[1], (*opt.mapRect)[2], (*opt.mapRect)[3]};
    FieldMap map(rect, opt.mapWidth, opt.mapHeight);
    console.ShowStage("Карта поля " + std::to_string(opt.mapWidth) + "x" + std::to_string(opt.mapHeight));
    console.SetRange(0, 1000);
    console.SetPosition(0);
    MapCallbacks cb;
    cb.stop = &stop;
    cb.onProgress = [&](double f) { console.SetPosition(static_cast<long long>(f * 1000)); };
    const auto start = std::chrono::steady_clock::now();
    const MapStatus status = ComputeFieldMap(calc, map, cb, false);
    if (status == MapStatus::kStopped) {
      Interrupted();
      return 1;
    }
    if (status != MapStatus::kComplete) {
      std::fprintf(stderr, "Карта поля не построена: нет решения\n");
      return 1;
    }
    if (!WriteFile(*opt.mapFile, [&](std::ostream& out) { WriteFieldMapCsv(map, out); })) return 1;
    std::printf("Карта поля %dx%d (x %g..%g, y %g..%g см): %s\n", opt.mapWidth, opt.mapHeight, rect.x1, rect.x2,
                rect.y1, rect.y2, opt.mapFile->c_str());
    if (opt.timings)
      std::printf("timing map %.6f\n",
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  if (opt.fieldLinesFile) {
    FieldLineOptions lineOptions;
    lineOptions.extent = DefaultMapRect(calc, 1.0);  // room for lines to turn back to the electrodes
    if (opt.mapRect) lineOptions.extent = {(*opt.mapRect)[0], (*opt.mapRect)[1], (*opt.mapRect)[2], (*opt.mapRect)[3]};
    const std::vector<FieldLineStart> starts = DefaultFieldLineStarts(calc, opt.linesPerElectrode);
    console.ShowStage("Силовые линии: " + std::to_string(starts.size()));
    console.SetRange(0, static_cast<long long>(starts.size()));
    console.SetPosition(0);
    std::vector<FieldLine> lines;
    FieldLineCallbacks cb;
    cb.stop = &stop;
    cb.onLine = [&](int, const FieldLine&) { console.StepForward(); };
    const auto start = std::chrono::steady_clock::now();
    const MapStatus status = TraceFieldLines(calc, starts, lineOptions, lines, cb);
    if (status == MapStatus::kStopped) {
      Interrupted();
      return 1;
    }
    if (!WriteFile(*opt.fieldLinesFile, [&](std::ostream& out) { WriteFieldLinesCsv(lines, out); })) return 1;
    std::printf("Силовых линий %zu: %s\n", lines.size(), opt.fieldLinesFile->c_str());
    if (opt.timings)
      std::printf("timing field_lines %.6f\n",
                  std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return 0;
}
