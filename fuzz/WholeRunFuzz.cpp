// The whole calculation on tiny systems: read, place, fill, solve, control
// file, surface and gap result files in a temporary folder. A run that
// reports success must have written only finite numbers.
//
// Input: the first byte chooses the parameters; the rest is a field-system
// file, optionally followed by a line "==" and a gap-curve file.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "FuzzSupport.h"
#include "engine/CalculationRun.h"
#include "engine/GapCurves.h"
#include "engine/Parallel.h"
#include "engine/ProgressReporter.h"

namespace {

namespace fs = std::filesystem;

const fs::path& Folder() {
  static const fs::path folder = [] {
    // In memory where there is a tmpfs: the target writes several files
    // per input. libFuzzer ends without running exit handlers, so the
    // script names a base folder that it removes afterwards.
    const char* given = std::getenv("KALVOR_FUZZ_TMP");
    std::string base = given ? given : access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/kalvor-fuzz-XXXXXX";
    char* name = pattern.data();
    if (!mkdtemp(name)) std::abort();
    return fs::path(name);
  }();
  return folder;
}

bool HoldsNonFinite(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  std::string text = s.str();
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text.find("nan") != std::string::npos || text.find("inf") != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetWorkerThreads(1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t flags = data[0];
  std::string text = AsText(data + 1, size - 1);
  std::string gapText;
  if (const size_t split = text.find("\n==\n"); split != std::string::npos) {
    gapText = text.substr(split + 4);
    text.resize(split + 1);
  }

  FieldCalc calc;
  std::istringstream in(text);
  calc.ReadSystem(in);
  if (calc.ErrorCode() != 0 || calc.Unknowns() > 60) return 0;
  CSurfColl curves;
  std::istringstream gapIn(gapText);
  if (LoadGapCurves(curves, gapIn).errorCode != 0) return 0;
  long long gapRows = 0;
  for (const auto& c : curves) gapRows += c->PointCount();
  if (gapRows > 400) return 0;

  const fs::path& folder = Folder();
  for (const auto& e : fs::directory_iterator(folder)) fs::remove(e.path());
  CalcParameters p;
  p.UseEarth = flags & 1;
  p.ExternalField = (flags & 2) ? 10.0 : 0.0;
  p.ControlCalc = flags & 4;
  p.ControlPotentials = flags & 8;
  p.DumpMatrix = flags & 16;
  p.PointsBetweenCPs = (flags >> 5) & 7;
  p.ResultsFolder = folder.string();
  p.ControlFilePath = ControlFileIn(folder.string());
  calc.SetParameters(p);
  calc.SetGapCurves(std::move(curves));
  for (const auto& e : calc.Generatrices())
    if (e->PointCount() * static_cast<long long>(p.PointsBetweenCPs) > 400) return 0;

  SilentProgress ui;
  bool changed = true;
  const RunReport report = RunCalculation(calc, changed, ui);
  bool success = report.success;
  if (success && !calc.GapCurves().IsEmpty()) success = RunGapCalculation(calc, ui) == 0;
  for (const auto& e : fs::directory_iterator(folder)) {
    const std::string name = e.path().filename().string();
    // A temporary never outlives its run.
    if (name.find(".part-") != std::string::npos) {
      std::fprintf(stderr, "temporary left behind: %s\n", name.c_str());
      std::abort();
    }
    if (success && HoldsNonFinite(e.path())) {
      std::fprintf(stderr, "non-finite number in %s of a successful run\n", name.c_str());
      std::abort();
    }
  }
  return 0;
}
