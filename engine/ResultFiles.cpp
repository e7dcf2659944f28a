// Surface result files (the field along every generatrix) and gap result
// files (the field along every gap curve). CR LF line ends.

#include <algorithm>
#include <cmath>
#include <fstream>
#include <vector>

#include "engine/FieldCalc.h"
#include "engine/Parallel.h"
#include "engine/ProgressReporter.h"
#include "model/TextFormat.h"

namespace {

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// Text file with CR LF line ends; remembers whether every write succeeded.
class ResultFile {
 public:
  explicit ResultFile(const std::string& path) : out_(path, std::ios::binary | std::ios::trunc) {}
  bool IsOpen() const { return out_.is_open(); }
  void Line(const std::string& s) { out_ << s << "\r\n"; }
  bool Close() {
    out_.close();
    return !out_.fail();
  }

 private:
  std::ofstream out_;
};

}  // namespace

std::string FieldCalc::SurfaceFileName(int m) { return text::Format("%02i%4s", m, ".dat"); }
std::string FieldCalc::GapFileName(int m) { return text::Format("%02i%9s", m, "space.dat"); }

void FieldCalc::WriteResultFiles(const CSurfColl& items, const std::string& folder, bool gap) {
  const int count = items.GetSize();
  for (int m = 1; m <= count; ++m) {
    if (AbortRequested()) return;
    const SurfData& e = *items[m - 1];
    const std::string name = gap ? GapFileName(m) : SurfaceFileName(m);
    const std::string path = JoinPath(folder, name);
    ResultFile file(path);
    if (!file.IsOpen()) {
      SetError(kFileOpen, path);
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
    ChunkedLoop(
        rows, slots,
        [&](long long begin, long long end) {
          for (long long j = begin; j < end; ++j)
            lines[static_cast<size_t>(j % slots)] = gap ? GapRow(e, j) : SurfaceRow(e, j);
        },
        [&](long long j) {
          file.Line(lines[static_cast<size_t>(j % slots)]);
          if (progress_) progress_->StepForward();
        },
        false);
    if (!file.Close()) {
      SetError(kFileOpen, "Ошибка записи файла " + path);
      return;
    }
  }
}

void FieldCalc::WriteSurfaceResults(const std::string& folder, int k) {
  resultsPerInterval_ = k;
  WriteResultFiles(generatrices_, folder, false);
}

void FieldCalc::WriteGapResults(const std::string& folder) { WriteResultFiles(gapCurves_, folder, true); }

std::string FieldCalc::SurfaceRow(const SurfData& e, long long j) const {
  const bool dielectric = e.material == 0;
  double x, y, nx, ny, phi, ex, ey, exi = 0.0, eyi = 0.0;
  e.GetCalcPoint(x, y, nx, ny, static_cast<int>(j), static_cast<float>(resultsPerInterval_));
  if (dielectric) {
    double out[3], in[3];  // the inner potential is not written
    FieldAtTwo(e.outerRegion, e.innerRegion, x, y, out, in);
    phi = out[0], ex = out[1], ey = out[2];
    exi = in[1], eyi = in[2];
  } else {
    FieldAt(e.outerRegion, x, y, &phi, &ex, &ey);
  }
  const double en = ex * nx + ey * ny;
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

std::string FieldCalc::GapRow(const SurfData& c, long long j) const {
  double x, y, nx, ny, phi, ex, ey;
  c.GetCalcPoint(x, y, nx, ny, static_cast<int>(j), 1.0f);
  FieldAt(c.innerRegion, x, y, &phi, &ex, &ey);
  return text::Format("%13.1f %13.1f %13.5f %13.5f %13.5f", x, y, phi, ex, ey);
}

double FieldCalc::MaxSurfaceField(int index, int k) const {
  const SurfData* e = generatrices_.At(index);
  if (!e) return 0.0;
  const long long rows = e->PointCount() * k + 2;
  std::vector<double> best(static_cast<size_t>(rows), 0.0);
  ParallelFor(rows, [&](long long begin, long long end) {
    for (long long j = begin; j < end; ++j) {
      double x, y, nx, ny, out[3], in[3];
      e->GetCalcPoint(x, y, nx, ny, static_cast<int>(j), static_cast<float>(k));
      FieldAtTwo(e->outerRegion, e->material == 0 ? e->innerRegion : e->outerRegion, x, y, out, in);
      best[static_cast<size_t>(j)] = std::max(std::hypot(out[1], out[2]), std::hypot(in[1], in[2]));
    }
  });
  double m = 0.0;
  for (double v : best) m = std::max(m, v);
  return m;
}

