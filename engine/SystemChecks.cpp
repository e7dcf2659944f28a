// Checks of the values of a system before anything is placed: every value
// the equations divide by or take as a permittivity, and every count that
// sizes an array or a file. The reader accepts any number, so a file can
// hold values that would otherwise end in nan or inf in the result files.

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/FieldCalc.h"
#include "model/Arch.h"
#include "model/Line.h"
#include "model/TextFormat.h"

namespace {

// Length of the generatrix along which its contour points are spread.
double SpreadLength(const SurfData& e) {
  if (e.GetKind() == SurfData::kLine) return static_cast<const Line&>(e).length;
  if (e.GetKind() == SurfData::kArch) {
    const auto& a = static_cast<const Arch&>(e);
    return std::fabs(a.radius * (a.angle1 - a.angle2));
  }
  return 0.0;
}

// A number from the first line of a file, -1 when there is none ("max").
double FirstNumber(const char* path) {
  std::ifstream in(path);
  double v = -1.0;
  if (!(in >> v)) return -1.0;
  return v;
}

}  // namespace

double FieldCalc::AvailableMemoryBytes() {
  double available = -1.0;
  std::ifstream meminfo("/proc/meminfo");
  for (std::string line; std::getline(meminfo, line);) {
    if (line.rfind("MemAvailable:", 0) != 0) continue;
    std::istringstream(line.substr(13)) >> available;
    available *= 1024.0;  // kB
    break;
  }
  // A container's own limit (cgroup v2), where one is set.
  const double limit = FirstNumber("/sys/fs/cgroup/memory.max");
  const double used = FirstNumber("/sys/fs/cgroup/memory.current");
  if (limit > 0 && used >= 0 && (available < 0 || limit - used < available)) available = std::max(0.0, limit - used);
  return std::max(available, 0.0);
}

bool FieldCalc::CheckValues() {
  const int n = generatrices_.GetSize();
  const int k = parameters_.PointsBetweenCPs;
  if (parameters_.SurfaceResults && (k < 0 || k > kMaxPointsBetween)) {
    SetError(kBadParameter, text::Format("Количество расчетных точек между КТ %d вне пределов 0…%d.", k,
                                         kMaxPointsBetween));
    return false;
  }
  for (int i = 0; i < n; ++i) {
    const SurfData& e = *generatrices_[i];
    auto refuse = [&](const std::string& what) {
      SetError(kBadParameter, text::Format("Образующая %d: ", i + 1) + what);
      return false;
    };
    // A conductor's body has no field: its inner permittivity is not read.
    if (e.material == 0 && !(e.epsInner > 0.0))
      return refuse(text::Format("диэлектрическая проницаемость внутренней области %g должна быть больше 0.",
                                 e.epsInner));
    if (!(e.epsOuter > 0.0))
      return refuse(text::Format("диэлектрическая проницаемость внешней области %g должна быть больше 0.",
                                 e.epsOuter));
    if (e.pointCount < 0)
      return refuse(text::Format("количество расчетных точек %d не может быть отрицательным.", e.pointCount));
    if (e.pointCount == 0) continue;
    if (!(e.ratioLd > 0.0))
      return refuse(text::Format("отношение L/d %g должно быть больше 0.", e.ratioLd));
    // Without length every charge would sit on its own contour point.
    if (!(SpreadLength(e) > 0.0)) return refuse("образующая нулевой длины не может нести расчетные точки.");
    if (parameters_.SurfaceResults && e.PointCount() * k + 2 > kMaxResultRows)
      return refuse(text::Format("%lld строк в файле результатов (%d точек, %d между КТ) больше допустимых %lld.",
                                 e.PointCount() * k + 2, e.pointCount, k, kMaxResultRows));
  }
  // A floating conductor without contour points would add an unknown
  // potential with no equation but its zero-charge row: a singular matrix.
  for (int i = 0; i < n;) {
    const SurfData& e = *generatrices_[i];
    if (!(e.material == 1 && e.isFloating)) {
      ++i;
      continue;
    }
    int j = i;
    long long points = 0;
    for (; j < n && generatrices_[j]->material == 1 && generatrices_[j]->isFloating &&
           generatrices_[j]->innerRegion == e.innerRegion;
         ++j)
      points += generatrices_[j]->PointCount();
    if (points == 0) {
      SetError(kBadParameter,
               text::Format("Образующие %d–%d: у проводника с неизвестным потенциалом (внутренняя область %d) "
                            "нет ни одной контурной точки.",
                            i + 1, j, e.innerRegion));
      return false;
    }
    i = j;
  }
  return true;
}

bool FieldCalc::CheckUnknowns() {
  if (Unknowns() > 0) return true;
  SetError(kBadParameter, "В системе нет ни одной контурной точки: неизвестных зарядов нет, рассчитывать нечего.");
  return false;
}

long long FieldCalc::FirstNonFiniteCharge() const {
  for (size_t i = 0; i < charges_.size(); ++i)
    if (!std::isfinite(charges_[i].q)) return static_cast<long long>(i);
  return -1;
}

int FieldCalc::GeneratrixOfCharge(long long charge) const {
  long long first = 0;
  for (int i = 0; i < generatrices_.GetSize(); ++i) {
    first += generatrices_[i]->ChargeCount();
    if (charge < first) return i;
  }
  return -1;
}
