#include "engine/FieldCalc.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <istream>
#include <new>
#include <ostream>
#include <set>

#include "engine/Parallel.h"
#include "engine/ProgressReporter.h"
#include "engine/RingField.h"
#include "model/Arch.h"
#include "model/CheckSurface.h"
#include "model/ElementText.h"
#include "model/Line.h"
#include "model/TextFormat.h"

namespace {

const char* const kMessages[] = {
    "",
    "Невозможно открыть файл. Файл занят другим приложением или к нему неправильно указан путь.",
    "В файле исходных данных не найдены строки. Возможно в конце единственной строки не стоит CR+LF",
    "Ошибка в процессе анализа одного из параметров в строке исходных данных. Проверте коректность "
    "введенных данных.",
    "Невозможно определить значение потенциала в файле исходных данных. Возможные величины для "
    "потенцилов: для неизвестных - 'x', для переменных- '~'.",
    "Неизвестный тип образующей поверхности.",
    "Найдены незамкнутые области поверхностей. Данные задачи не имеют физического смысла.\n "
    "Продолжить?",
    "Неверный тип образующей поверхности. Допустимые типы или 'c' или 'l'",
    "Если Вы используете расчет с учетом земли, то аксиальная координата объекта не должна быть "
    "отрицательной.",
    "Расчет прерван пользователем.",
    "Невозможно разместить матрицу в памяти",
    "Невозможно обратить матрицу потенциальных коэфициентов.",
    "Неверный индекс элемента матрицы. Возможно неверные параметры образующей поверхности.",
};
constexpr int kMessageCount = sizeof kMessages / sizeof kMessages[0];

// A charge this close behind the axis is rounding noise of a generatrix
// that lies on the axis; it is put on the axis.
constexpr double kAxisNoise = 1e-9;  // cm

bool AllFinite(const SurfData& e) {
  double a = 0, b = 0, c = 0, d = 0;
  e.GetEnds(a, b, c, d);
  double mx = 0, my = 0;
  e.GetMaxCorner(mx, my);
  for (double v : {e.epsInner, e.epsOuter, e.fixedPotential, e.potentialFrom, e.potentialTo,
                   e.ratioLd, a, b, c, d, mx, my})
    if (!std::isfinite(v)) return false;
  return true;
}

}  // namespace

std::string FieldCalc::MessageFor(int code) {
  if (code < 0 || code >= kMessageCount) return {};
  return kMessages[code];
}

bool FieldCalc::ErrorText(std::string& text) const {
  if (errorCode >= 0 && errorCode < kMessageCount) text = kMessages[errorCode];
  return errorCode != 0;
}

std::string FieldCalc::FullErrorText() const {
  std::string text;
  ErrorText(text);
  if (!errorDetail.empty()) text += (text.empty() ? "" : "\n") + errorDetail;
  return text;
}

void FieldCalc::SetError(int code, std::string detail) {
  errorCode = code;
  errorDetail = std::move(detail);
}

void FieldCalc::ClearError() {
  errorCode = 0;
  errorDetail.clear();
  errorLine = 0;
}

void FieldCalc::Reset(bool full) {
  points.clear();
  points.shrink_to_fit();
  charges.clear();
  charges.shrink_to_fit();
  solved_ = false;
  if (full && !Generatrices.IsEmpty()) {
    Generatrices.RemoveAllElements();
    totalCharges = totalPoints = totalFloating = 0;
    ControlFilePath.clear();
    ExternalField = 0.0;
    UseEarth = false;
  }
  if (!rhs.IsEmpty()) rhs.Resize(0, 0);
  if (!coefficients.IsEmpty()) coefficients.Resize(0, 0);
  ClearError();
}

void FieldCalc::Recount() {
  totalCharges = totalPoints = totalFloating = 0;
  const int n = Generatrices.GetSize();
  for (int i = n - 1; i >= 0; --i) {
    const SurfData& e = *Generatrices[i];
    if (e.material == 1 && e.isFloating) {
      bool later = false;
      for (int k = i + 1; k < n && !later; ++k) later = Generatrices[k]->SameInnerRegion(e);
      if (!later) ++totalFloating;
    }
    totalPoints += e.PointCount();
    totalCharges += e.ChargeCount();
  }
}

bool FieldCalc::AbortRequested() {
  if (!progress || !progress->CancelRequested()) return false;
  if (!progress->AskYesNo("Вы действительно хотите прервать расчет?", "",
                          ProgressReporter::Icon::Question))
    return false;
  SetError(kAborted);
  return true;
}

long long FieldCalc::ChunkFor(double evaluationsPerItem) {
  // Large enough to amortise starting the threads, small enough that the
  // progress display and the cancel button answer within a fraction of a
  // second.
  constexpr double kEvaluationsPerChunk = 2e6;
  return std::max<long long>(1, static_cast<long long>(kEvaluationsPerChunk / std::max(1.0, evaluationsPerItem)));
}

bool FieldCalc::ChunkedLoop(long long count, long long chunk,
                            const std::function<void(long long, long long)>& compute,
                            const std::function<void(long long)>& emit, bool askCancel) {
  for (long long start = 0; start < count;) {
    long long stop = std::min(count, start + std::max<long long>(1, chunk));
    bool aborted = false;
    for (long long i = start; askCancel && i < stop; ++i)
      if (AbortRequested()) {
        stop = i;
        aborted = true;
        break;
      }
    ParallelFor(stop - start, [&](long long b0, long long b1) { compute(start + b0, start + b1); });
    for (long long i = start; i < stop; ++i) emit(i);
    if (aborted) return false;
    start = stop;
  }
  return true;
}

// Rules the system of equations relies on; the reader does not check them.
bool FieldCalc::ValidateSystem() {
  const int n = Generatrices.GetSize();
  for (int i = 0; i < n; ++i) {
    if (!AllFinite(*Generatrices[i])) {
      SetError(kBadParameter,
               text::Format("Образующая %d: одно из чисел не является конечным (nan или inf).", i + 1));
      return false;
    }
  }
  // Floating conductors: a non-zero body region of their own, generatrices
  // consecutive in the collection.
  std::set<int> closedGroups;
  int previous = 0;
  bool inGroup = false;
  for (int i = 0; i < n; ++i) {
    const SurfData& e = *Generatrices[i];
    const bool floating = e.material == 1 && e.isFloating;
    if (!floating) {
      if (inGroup) closedGroups.insert(previous);
      inGroup = false;
      continue;
    }
    if (e.innerRegion == 0) {
      SetError(kBadElement, text::Format("Образующая %d: у проводника с неизвестным (плавающим) "
                                         "потенциалом внутренняя область не может быть 0.",
                                         i + 1));
      return false;
    }
    if (inGroup && e.innerRegion != previous) closedGroups.insert(previous);
    if ((!inGroup || e.innerRegion != previous) && closedGroups.count(e.innerRegion)) {
      SetError(kBadElement,
               text::Format("Образующая %d: образующие проводника с неизвестным потенциалом "
                            "(внутренняя область %d) должны следовать в списке одна за другой.",
                            i + 1, e.innerRegion));
      return false;
    }
    previous = e.innerRegion;
    inGroup = true;
  }
  std::set<int> floatingBodies;
  for (int i = 0; i < n; ++i)
    if (Generatrices[i]->material == 1 && Generatrices[i]->isFloating)
      floatingBodies.insert(Generatrices[i]->innerRegion);
  for (int i = 0; i < n; ++i) {
    const SurfData& e = *Generatrices[i];
    if (!(e.material == 1 && e.isFloating) && floatingBodies.count(e.innerRegion)) {
      SetError(kBadElement,
               text::Format("Образующая %d: ее внутренняя область %d является телом проводника с "
                            "неизвестным потенциалом.",
                            i + 1, e.innerRegion));
      return false;
    }
  }
  return true;
}

bool FieldCalc::ReserveStorage() {
  const double n = static_cast<double>(Unknowns());
  // The matrix dominates everything else (the solver factorises it in
  // place unless it is to be dumped again afterwards).
  const double need = 8.0 * n * n + 200.0 * static_cast<double>(totalPoints + totalCharges);
  const double have = static_cast<double>(sysconf(_SC_PHYS_PAGES)) * sysconf(_SC_PAGE_SIZE);
  auto refuse = [&] {
    SetError(kNoMemory, text::Format("Система из %lld неизвестных требует около %.1f ГБ памяти, "
                                     "доступно %.1f ГБ.",
                                     Unknowns(), need / 1073741824.0, have / 1073741824.0));
    return false;
  };
  if (have > 0 && need > have) return refuse();
  try {
    points.clear();
    charges.clear();
    points.reserve(static_cast<size_t>(totalPoints));
    charges.reserve(static_cast<size_t>(totalCharges));
    const size_t size = static_cast<size_t>(Unknowns());
    // A fresh allocation is zero already; only a carried-over one is cleared.
    const bool rhsFresh = rhs.IsEmpty(), matrixFresh = coefficients.IsEmpty();
    if (rhs.RowNo() != size || rhs.ColNo() != 1) rhs.Resize(size, 1);
    if (!rhsFresh) rhs.SetAll(0.0);
    coefficients.Resize(size, size);
    if (!matrixFresh) coefficients.SetAll(0.0);
  } catch (const std::bad_alloc&) {
    Reset(false);
    return refuse();
  } catch (const std::length_error&) {
    Reset(false);
    return refuse();
  }
  return true;
}

void FieldCalc::Place() {
  solved_ = false;
  if (!ValidateSystem()) return;
  // The counters size everything; recounting here keeps them true even
  // when an edit forgot to say so.
  Recount();
  if (!ReserveStorage()) return;
  if (Generatrices.IsEmpty()) return;

  if (progress) {
    progress->ShowStage("Размещение ЭЗ и КТ");
    progress->SetRange(0, Generatrices.GetSize());
  }
  for (int i = 0; i < Generatrices.GetSize(); ++i) {
    if (AbortRequested()) return;
    const SurfData& e = *Generatrices[i];
    const size_t firstPoint = points.size();
    e.MakeContourPoints(points);
    // Below the earth plane the mirror charges make the system meaningless
    // (and usually singular).
    for (size_t k = firstPoint; UseEarth && k < points.size(); ++k)
      if (points[k].y < 0.0) {
        SetError(kEarthBelowZero, text::Format("Образующая %d: контурная точка (%.4g; %.4g) лежит ниже "
                                               "плоскости земли y = 0.",
                                               i + 1, points[k].x, points[k].y));
        return;
      }
    const size_t first = charges.size();
    e.MakeCharges(charges, UseEarth);
    for (size_t k = first; k < charges.size(); ++k) {
      Charge& q = charges[k];
      if (q.x < 0.0 && q.x >= -kAxisNoise) q.x = 0.0;
      if (q.x < 0.0) {
        SetError(kBadElement,
                 text::Format("Образующая %d: заряд оказался за осью симметрии (радиус кольца %.4g "
                              "см). Уменьшите отношение L/d или увеличьте количество расчетных "
                              "точек; проверьте также направление образующей.",
                              i + 1, q.x));
        return;
      }
    }
    if (progress) progress->StepForward();
  }
}

void FieldCalc::CheckClosure() {
  const int n = Generatrices.GetSize();
  CheckSurface check(n);
  for (int i = 0; i < n; ++i) {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    Generatrices[i]->GetEnds(x1, y1, x2, y2);
    check.SetEnds(i, {x1, y1}, {x2, y2});
  }
  errorCode = check.Check();
}

void FieldCalc::ReadSystem(std::istream& in) {
  if (!Generatrices.IsEmpty()) Generatrices.RemoveAllElements();
  const ElementReadResult r = ReadElementLines(in, [this](std::unique_ptr<SurfData> e) {
    totalPoints += e->PointCount();
    totalCharges += e->ChargeCount();
    if (e->isFloating) {
      bool before = false;
      for (const auto& other : Generatrices) before = before || other->SameInnerRegion(*e);
      if (!before) ++totalFloating;
    }
    Generatrices.Append(std::move(e));
  });
  if (r.errorCode != 0) {
    errorCode = r.errorCode;
    errorLine = r.errorLine;
  } else if (r.elements == 0) {
    errorCode = kNoLines;
  }
}

void FieldCalc::WriteSystem(std::ostream& out) const {
  for (const auto& e : Generatrices) out << e->GetText() << '\n';
}

double FieldCalc::RegionPermittivity(int region) const {
  for (const ContourPoint& p : points) {
    if (p.region == region) return p.epsInner;
    if (p.otherRegion == region) return p.epsOuter;
  }
  return 0.0;
}

void FieldCalc::FieldAtTwo(int regionA, int regionB, double x, double y, double a[3], double b[3]) const {
  const double epsA = RegionPermittivity(regionA), epsB = RegionPermittivity(regionB);
  FieldSums sa, sb;
  SumPotentialAndFieldTwo(charges.data(), static_cast<long long>(charges.size()), x, y, regionA, epsA,
                          epsA == 0.0 ? nullptr : &sa, regionB, epsB, epsB == 0.0 ? nullptr : &sb);
  auto finish = [&](double eps, const FieldSums& s, double out[3]) {
    if (eps == 0.0) {
      out[0] = out[1] = out[2] = 0.0;
      return;
    }
    out[1] = s.x / eps;
    out[2] = s.y / eps + ExternalField;
    out[0] = s.phi - ExternalField * y;
  };
  finish(epsA, sa, a);
  finish(epsB, sb, b);
}

void FieldCalc::FieldAt(int region, double x, double y, double* phi, double* Ex, double* Ey) const {
  const double eps = RegionPermittivity(region);
  if (eps == 0.0) {
    *phi = *Ex = *Ey = 0.0;
    return;
  }
  const FieldSums s = SumPotentialAndField(charges.data(), static_cast<long long>(charges.size()), region, x, y, eps);
  *Ex = s.x / eps;
  *Ey = s.y / eps + ExternalField;
  *phi = s.phi - ExternalField * y;
}
