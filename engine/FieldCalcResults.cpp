// Surface result files (the field along every generatrix) and gap result
// files (the field along every gap curve). CR LF line ends.

#include <sys/statvfs.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/AtomicFile.h"
#include "engine/FieldCalc.h"
#include "engine/GapCurves.h"
#include "engine/Parallel.h"
#include "engine/ProgressReporter.h"
#include "engine/RingKernel.h"
#include "model/TextFormat.h"

namespace {

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Text file with CR LF line ends that appears only when complete: a
// failure or an abort before Close leaves no truncated file behind.
class ResultFile {
 public:
  explicit ResultFile(const std::string& path) { file_.Open(path); }
  bool IsOpen() const { return file_.IsOpen(); }
  const std::string& Error() const { return file_.Error(); }
  void Line(const std::string& s) { file_.Stream() << s << "\r\n"; }
  bool Close() { return file_.Commit(); }

 private:
  AtomicFile file_;
};

// Columns of a surface file: alfa for an arc, then x, y, phi, En, Ex, Ey
// outside, and Ex, Ey inside for a dielectric.
int SurfaceColumns(const SurfData& e) {
  return (e.GetKind() == SurfData::kLine ? 6 : 7) + (e.material == 0 ? 2 : 0);
}

}  // namespace

std::string FieldCalc::SurfaceFileName(int m) { return text::Format("%02i%4s", m, ".dat"); }
std::string FieldCalc::GapFileName(int m) { return text::Format("%02i%9s", m, "space.dat"); }

bool FieldCalc::CheckFreeSpace(const std::string& folder, double bytes) {
  struct statvfs fs {};
  if (statvfs(folder.empty() ? "." : folder.c_str(), &fs) != 0) return true;  // the open will tell
  const double free = static_cast<double>(fs.f_bavail) * static_cast<double>(fs.f_frsize);
  if (bytes <= free) return true;
  SetError(kFileOpen, text::Format("Недостаточно места на диске в папке %s: файлам нужно около "
                                   "%.1f МБ, свободно %.1f МБ.",
                                   folder.c_str(), bytes / 1048576.0, free / 1048576.0));
  return false;
}

bool FieldCalc::CheckOutputsAreNotInputs(bool gap) {
  if (inputFiles_.empty()) return true;
  std::vector<std::string> outputs;
  const std::string& folder = parameters_.ResultsFolder;
  if (gap) {
    for (int m = 1; m <= gapCurves_.GetSize(); ++m) outputs.push_back(JoinPath(folder, GapFileName(m)));
  } else {
    outputs.push_back(parameters_.ControlFilePath);
    if (parameters_.SurfaceResults)
      for (int m = 1; m <= generatrices_.GetSize(); ++m) outputs.push_back(JoinPath(folder, SurfaceFileName(m)));
  }
  for (const std::string& path : outputs) {
    if (!IsOneOf(path, inputFiles_)) continue;
    SetError(kFileOpen, path + ": это исходный файл расчета, он не будет перезаписан результатами");
    return false;
  }
  return true;
}

void FieldCalc::WriteResultFiles(const CSurfColl& items, const std::string& folder, bool gap) {
  const int count = items.GetSize();
  // Every row is a fixed 14 characters per column plus CR LF; the header
  // is as wide as a row.
  double bytes = 0.0;
  for (int m = 1; m <= count; ++m) {
    const SurfData& e = *items[m - 1];
    const double rows = gap ? static_cast<double>(e.PointCount()) + 2
                            : static_cast<double>(e.PointCount()) * resultsPerInterval_ + 2;
    bytes += (rows + 1) * (14.0 * (gap ? 5 : SurfaceColumns(e)) + 2);
  }
  if (!CheckFreeSpace(folder, bytes)) return;
  const auto prepared = PrepareCharges();
  for (int m = 1; m <= count; ++m) {
    if (AbortRequested()) return;
    const SurfData& e = *items[m - 1];
    const std::string name = gap ? GapFileName(m) : SurfaceFileName(m);
    const std::string path = JoinPath(folder, name);
    ResultFile file(path);
    if (!file.IsOpen()) {
      SetError(kFileOpen, path + ": " + file.Error());
      return;
    }
    if (progress_)
      progress_->ShowStage((gap ? "Расчет в промежутке и запись рез-ов в файл " : "Расчет по пов-сти и запись рез-ов в файл ") +
                          name + text::Format(" :%2i/%2i", m, count));
    const bool isLine = e.GetKind() == SurfData::kLine;
    if (gap)
      file.Line(text::Format("%13s %13s %13s %13s %13s ", "X", "Y", "Fi", "Ex", "Ey"));
    else if (isLine)
      file.Line(text::Format("%13s %13s %13s %13s %13s %13s %13s %13s ", "X", "Y", "Fi", "En(ext)",
                             "Ex(out)", "Ey(out)", "Ex(in)", "Ey(in)"));
    else
      file.Line(text::Format("%13s %13s %13s %13s %13s %13s %13s %13s %13s", "Alfa", "X", "Y", "Fi",
                             "En(ext)", "Ex(out)", "Ey(out)", "Ex(in)", "Ey(in)"));
    const long long rows = gap ? e.PointCount() + 2 : e.PointCount() * resultsPerInterval_ + 2;
    if (progress_) {
      progress_->SetRange(0, gap ? rows - 1 : rows);
      progress_->SetPosition(0);
    }
    // Rows are evaluated a chunk at a time in parallel (row j in slot
    // j % slots) and written in order; the cancel question is asked only
    // between files.
    const long long slots =
        std::max<long long>(1, std::min(rows, ChunkFor(static_cast<double>(charges_.size()) * (parameters_.UseEarth ? 2 : 1))));
    std::vector<std::string> lines(static_cast<size_t>(slots));
    std::vector<char> finite(static_cast<size_t>(slots), 1);
    long long badRow = -1;
    ChunkedLoop(
        rows, slots,
        [&](long long begin, long long end) {
          for (long long j = begin; j < end; ++j) {
            bool ok = true;
            const size_t slot = static_cast<size_t>(j % slots);
            lines[slot] = gap ? GapRow(e, j, ok, prepared.get()) : SurfaceRow(e, j, ok, prepared.get());
            finite[slot] = ok;
          }
        },
        [&](long long j) {
          if (badRow >= 0) return;
          if (!finite[static_cast<size_t>(j % slots)]) {
            badRow = j;
            return;
          }
          file.Line(lines[static_cast<size_t>(j % slots)]);
          if (progress_) progress_->StepForward();
        },
        false);
    // nan or inf is never handed out as a result: the file is dropped and
    // the run ends saying where.
    if (badRow >= 0) {
      SetError(kBadParameter, text::Format("Файл %s, строка %lld: потенциал или напряженность не являются "
                                           "конечными числами:\n%s",
                                           name.c_str(), badRow + 2,
                                           lines[static_cast<size_t>(badRow % slots)].c_str()));
      return;
    }
    if (!file.Close()) {
      SetError(kFileOpen, path + ": " + file.Error());
      return;
    }
  }
}

void FieldCalc::WriteSurfaceResults(const std::string& folder, int k) {
  resultsPerInterval_ = k;
  WriteResultFiles(generatrices_, folder, false);
}

void FieldCalc::WriteGapResults(const std::string& folder) {
  if (const std::string problem = GapCurveProblem(gapCurves_); !problem.empty()) {
    SetError(kBadParameter, problem);
    return;
  }
  WriteResultFiles(gapCurves_, folder, true);
}

std::string FieldCalc::SurfaceRow(const SurfData& e, long long j, bool& finite,
                                  const ringkernel::ChargeArrays* prepared) const {
  const bool dielectric = e.material == 0;
  double x, y, nx, ny, phi, ex, ey, exi = 0.0, eyi = 0.0;
  e.GetCalcPoint(x, y, nx, ny, static_cast<int>(j), static_cast<float>(resultsPerInterval_));
  if (dielectric) {
    double out[3], in[3];  // the inner potential is not written
    FieldAtTwo(e.outerRegion, e.innerRegion, x, y, out, in, prepared);
    phi = out[0], ex = out[1], ey = out[2];
    exi = in[1], eyi = in[2];
  } else {
    FieldAt(e.outerRegion, x, y, &phi, &ex, &ey, prepared);
  }
  const double en = ex * nx + ey * ny;
  finite = std::isfinite(x) && std::isfinite(y) && std::isfinite(phi) && std::isfinite(en) &&
           std::isfinite(ex) && std::isfinite(ey) && std::isfinite(exi) && std::isfinite(eyi);
  const double alfa = std::atan2(ny, nx) * 180.0 / 3.141592653589793;
  if (e.GetKind() == SurfData::kLine) {
    if (!dielectric) return text::Format("%13.1f %13.1f %13.5f %13.5f %13.5f %13.5f", x, y, phi, en, ex, ey);
    return text::Format("%13.1f %13.1f %13.5f %13.5f %13.5f %13.5f %13.5f %13.5f", x, y, phi, en, ex, ey, exi,
                        eyi);
  }
  if (!dielectric)
    return text::Format("%13.1f %13.1f %13.1f %13.5f %13.5f %13.5f %13.5f", alfa, x, y, phi, en, ex, ey);
  return text::Format("%13.1f %13.1f %13.1f %13.5f %13.5f %13.5f %13.5f %13.5f %13.5f", alfa, x, y, phi, en,
                      ex, ey, exi, eyi);
}

std::string FieldCalc::GapRow(const SurfData& c, long long j, bool& finite,
                              const ringkernel::ChargeArrays* prepared) const {
  double x, y, nx, ny, phi, ex, ey;
  c.GetCalcPoint(x, y, nx, ny, static_cast<int>(j), 1.0f);
  FieldAt(c.innerRegion, x, y, &phi, &ex, &ey, prepared);
  finite = std::isfinite(x) && std::isfinite(y) && std::isfinite(phi) && std::isfinite(ex) && std::isfinite(ey);
  return text::Format("%13.1f %13.1f %13.5f %13.5f %13.5f", x, y, phi, ex, ey);
}

double FieldCalc::MaxSurfaceField(int index, int k) const {
  const SurfData* e = generatrices_.At(index);
  if (!e) return 0.0;
  const long long rows = e->PointCount() * k + 2;
  std::vector<double> best(static_cast<size_t>(rows), 0.0);
  const auto prepared = PrepareCharges();
  ParallelFor(rows, [&](long long begin, long long end) {
    for (long long j = begin; j < end; ++j) {
      double x, y, nx, ny, out[3], in[3];
      e->GetCalcPoint(x, y, nx, ny, static_cast<int>(j), static_cast<float>(k));
      FieldAtTwo(e->outerRegion, e->material == 0 ? e->innerRegion : e->outerRegion, x, y, out, in, prepared.get());
      best[static_cast<size_t>(j)] = std::max(std::hypot(out[1], out[2]), std::hypot(in[1], in[2]));
    }
  });
  double m = 0.0;
  for (double v : best) m = std::max(m, v);
  return m;
}

