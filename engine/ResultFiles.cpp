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

void FieldCalc::WriteSurfaceResults(const std::string& folder, int k) {
  const int count = Generatrices.GetSize();
  for (int m = 1; m <= count; ++m) {
    if (AbortRequested()) return;
    const SurfData& e = *Generatrices[m - 1];
    const std::string name = SurfaceFileName(m);
    const std::string path = JoinPath(folder, name);
    ResultFile file(path);
    if (!file.IsOpen()) {
      SetError(kFileOpen, path);
      return;
    }
    if (progress) progress->ShowStage("Расчет по пов-сти и запись рез-ов в файл " + name + text::Format(" :%2i/%2i", m, count));
    const bool isLine = e.GetKind() == SurfData::kLine;
    if (isLine)
      file.Line(text::Format("%13s %13s %13s %13s %13s %13s %13s %13s ", "X", "Y", "Fi", "En(ext)",
                             "Ex(out)", "Ey(out)", "Ex(in)", "Ey(in)"));
    else
      file.Line(text::Format("%13s %13s %13s %13s %13s %13s %13s %13s %13s", "Alfa", "X", "Y", "Fi",
                             "En(ext)", "Ex(out)", "Ey(out)", "Ex(in)", "Ey(in)"));
    const long long n = e.PointCount();
    const long long rows = n * k + 2;
    if (progress) {
      progress->SetRange(0, rows);
      progress->SetPosition(0);
    }
    const bool dielectric = e.material == 0;
    // Rows are evaluated chunk by chunk in parallel and written in order;
    // the cancel question is asked only between files.
    const long long chunk = ChunkFor(static_cast<double>(charges.size()) * (UseEarth ? 2 : 1));
    // One chunk of rows at a time: row j lives in slot j % slots.
    const long long slots = std::max<long long>(1, std::min(rows, chunk));
    std::vector<std::string> lines(static_cast<size_t>(slots));
    auto compute = [&](long long begin, long long end) {
      for (long long j = begin; j < end; ++j) {
        double x, y, nx, ny, phi, ex, ey, exi = 0.0, eyi = 0.0;
        e.GetCalcPoint(x, y, nx, ny, static_cast<int>(j), static_cast<float>(k));
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
        std::string& s = lines[static_cast<size_t>(j % slots)];
        if (isLine && !dielectric)
          s = text::Format("%13.1f %13.1f %13.5f %13.5f %13.5f %13.5f", x, y, phi, en, ex, ey);
        else if (!dielectric)
          s = text::Format("%13.1f %13.1f %13.1f %13.5f %13.5f %13.5f %13.5f", alfa, x, y, phi, en, ex, ey);
        else if (isLine)
          s = text::Format("%13.1f %13.1f %13.5f %13.5f %13.5f %13.5f %13.5f %13.5f", x, y, phi, en, ex, ey,
                           exi, eyi);
        else
          s = text::Format("%13.1f %13.1f %13.1f %13.5f %13.5f %13.5f %13.5f %13.5f %13.5f", alfa, x, y, phi,
                           en, ex, ey, exi, eyi);
      }
    };
    ChunkedLoop(
        rows, slots, compute,
        [&](long long j) {
          file.Line(lines[static_cast<size_t>(j % slots)]);
          if (progress) progress->StepForward();
        },
        false);
    if (!file.Close()) {
      SetError(kFileOpen, "Ошибка записи файла " + path);
      return;
    }
  }
}

double FieldCalc::MaxSurfaceField(int index, int k) const {
  const SurfData* e = Generatrices.At(index);
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

void FieldCalc::WriteGapResults(const std::string& folder) {
  const int count = GapCurves.GetSize();
  for (int m = 1; m <= count; ++m) {
    if (AbortRequested()) return;
    const SurfData& c = *GapCurves[m - 1];
    const std::string name = GapFileName(m);
    const std::string path = JoinPath(folder, name);
    ResultFile file(path);
    if (!file.IsOpen()) {
      SetError(kFileOpen, path);
      return;
    }
    if (progress) progress->ShowStage("Расчет в промежутке и запись рез-ов в файл " + name + text::Format(" :%2i/%2i", m, count));
    file.Line(text::Format("%13s %13s %13s %13s %13s ", "X", "Y", "Fi", "Ex", "Ey"));
    const long long n = c.PointCount();
    if (progress) {
      progress->SetRange(0, n + 1);
      progress->SetPosition(0);
    }
    const long long rows = n + 2;
    const long long slots =
        std::max<long long>(1, std::min(rows, ChunkFor(static_cast<double>(charges.size()) * (UseEarth ? 2 : 1))));
    std::vector<std::string> lines(static_cast<size_t>(slots));
    ChunkedLoop(
        rows, slots,
        [&](long long begin, long long end) {
          for (long long j = begin; j < end; ++j) {
            double x, y, nx, ny, phi, ex, ey;
            c.GetCalcPoint(x, y, nx, ny, static_cast<int>(j), 1.0f);
            FieldAt(c.innerRegion, x, y, &phi, &ex, &ey);
            lines[static_cast<size_t>(j % slots)] =
                text::Format("%13.1f %13.1f %13.5f %13.5f %13.5f", x, y, phi, ex, ey);
          }
        },
        [&](long long j) {
          file.Line(lines[static_cast<size_t>(j % slots)]);
          if (progress) progress->StepForward();
        },
        false);
    if (!file.Close()) {
      SetError(kFileOpen, "Ошибка записи файла " + path);
      return;
    }
  }
}
