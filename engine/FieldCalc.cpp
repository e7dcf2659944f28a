#include "engine/FieldCalc.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <istream>
#include <new>
#include <ostream>
#include <set>
#include <unordered_set>

#include "engine/Parallel.h"
#include "engine/ProgressReporter.h"
#include "engine/RingField.h"
#include "engine/RingFieldPrecise.h"
#include "engine/RingKernel.h"
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

}  // namespace

std::string FieldCalc::MessageFor(int code) {
  if (code < 0 || code >= kMessageCount) return {};
  return kMessages[code];
}

bool FieldCalc::ErrorText(std::string& text) const {
  if (errorCode_ >= 0 && errorCode_ < kMessageCount) text = kMessages[errorCode_];
  return errorCode_ != 0;
}

std::string FieldCalc::FullErrorText() const {
  std::string text;
  ErrorText(text);
  if (!errorDetail_.empty()) text += (text.empty() ? "" : "\n") + errorDetail_;
  return text;
}

void FieldCalc::SetError(int code, std::string detail, int line) {
  errorCode_ = code;
  errorDetail_ = std::move(detail);
  errorLine_ = line;
}

void FieldCalc::ClearError() {
  errorCode_ = 0;
  errorDetail_.clear();
  errorLine_ = 0;
}

void FieldCalc::Reset(bool full) {
  points_.clear();
  points_.shrink_to_fit();
  charges_.clear();
  charges_.shrink_to_fit();
  solved_ = false;
  if (full && !generatrices_.IsEmpty()) {
    generatrices_.RemoveAllElements();
    totalCharges_ = totalPoints_ = totalFloating_ = 0;
    parameters_.ControlFilePath.clear();
    parameters_.ExternalField = 0.0;
    parameters_.UseEarth = false;
  }
  if (!rhs_.IsEmpty()) rhs_.Resize(0, 0);
  if (!coefficients_.IsEmpty()) coefficients_.Resize(0, 0);
  ClearError();
}

void FieldCalc::Recount() {
  totalCharges_ = totalPoints_ = totalFloating_ = 0;
  // A floating conductor counts at its last generatrix: one whose inner
  // region no later generatrix shares.
  std::unordered_set<int> later;
  for (int i = generatrices_.GetSize() - 1; i >= 0; --i) {
    const SurfData& e = *generatrices_[i];
    if (e.material == 1 && e.isFloating && !later.count(e.innerRegion)) ++totalFloating_;
    later.insert(e.innerRegion);
    totalPoints_ += e.PointCount();
    totalCharges_ += e.ChargeCount();
  }
}

void FieldCalc::SystemChanged() {
  Reset(false);
  Recount();
}

int FieldCalc::AddGeneratrix(std::unique_ptr<SurfData> e) {
  if (!e) return -1;
  const int index = generatrices_.Append(std::move(e));
  SystemChanged();
  return index;
}

int FieldCalc::InsertGeneratrix(int index, std::unique_ptr<SurfData> e) {
  if (!e) return -1;
  const int at = generatrices_.Insert(index, std::move(e));
  SystemChanged();
  return at;
}

bool FieldCalc::RemoveGeneratrix(int index) {
  if (!generatrices_.At(index)) return false;
  generatrices_.RemoveElement(index);
  SystemChanged();
  return true;
}

bool FieldCalc::ReplaceGeneratrix(int index, std::unique_ptr<SurfData> e) {
  if (!e || !generatrices_.At(index)) return false;
  generatrices_.Replace(index, std::move(e));
  SystemChanged();
  return true;
}

bool FieldCalc::SetMarked(int index, bool marked) {
  SurfData* e = generatrices_.At(index);
  if (!e) return false;
  e->SetMarked(marked);
  return true;
}

void FieldCalc::SetGapCurves(CSurfColl curves) { gapCurves_ = std::move(curves); }

void FieldCalc::SetParameters(const CalcParameters& p) {
  if (!p.SameSolution(parameters_)) Reset(false);
  parameters_ = p;
}

bool FieldCalc::AbortRequested() {
  if (!progress_ || !progress_->CancelRequested()) return false;
  if (!progress_->AskYesNo(ProgressReporter::Question::ConfirmAbort, "Вы действительно хотите прервать расчет?",
                           "", ProgressReporter::Icon::Question))
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
  const int n = generatrices_.GetSize();
  for (int i = 0; i < n; ++i) {
    if (!AllNumbersFinite(*generatrices_[i])) {
      SetError(kBadParameter,
               text::Format("Образующая %d: одно из чисел не является конечным (nan или inf).", i + 1));
      return false;
    }
  }
  if (!CheckValues()) return false;
  // Floating conductors: a non-zero body region of their own, generatrices
  // consecutive in the collection.
  std::set<int> closedGroups;
  int previous = 0;
  bool inGroup = false;
  for (int i = 0; i < n; ++i) {
    const SurfData& e = *generatrices_[i];
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
    if (generatrices_[i]->material == 1 && generatrices_[i]->isFloating)
      floatingBodies.insert(generatrices_[i]->innerRegion);
  for (int i = 0; i < n; ++i) {
    const SurfData& e = *generatrices_[i];
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
  // A solve that keeps the matrix for a second dump works on a copy.
  const double copies = parameters_.DumpInverseMatrix ? 2.0 : 1.0;
  const double need = copies * 8.0 * n * n + 200.0 * static_cast<double>(totalPoints_ + totalCharges_);
  // What is free now, not the machine's total: on a shared machine the
  // total would let a run push everything else into swap.
  const double have = AvailableMemoryBytes();
  auto refuse = [&] {
    SetError(kNoMemory, text::Format("Система из %lld неизвестных требует около %.1f ГБ памяти, "
                                     "свободно сейчас %.1f ГБ.",
                                     Unknowns(), need / 1073741824.0, have / 1073741824.0));
    return false;
  };
  if (have > 0 && need > have) return refuse();
  try {
    points_.clear();
    charges_.clear();
    points_.reserve(static_cast<size_t>(totalPoints_));
    charges_.reserve(static_cast<size_t>(totalCharges_));
    const size_t size = static_cast<size_t>(Unknowns());
    // A fresh allocation is zero already; only a carried-over one is cleared.
    const bool rhsFresh = rhs_.IsEmpty(), matrixFresh = coefficients_.IsEmpty();
    if (rhs_.RowNo() != size || rhs_.ColNo() != 1) rhs_.Resize(size, 1);
    if (!rhsFresh) rhs_.SetAll(0.0);
    coefficients_.Resize(size, size, true);  // columns on cache lines: the fill streams them
    if (!matrixFresh) coefficients_.SetAll(0.0);
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
  if (!CheckUnknowns()) return;
  if (!ReserveStorage()) return;
  if (generatrices_.IsEmpty()) return;

  if (progress_) {
    progress_->ShowStage("Размещение ЭЗ и КТ");
    progress_->SetRange(0, generatrices_.GetSize());
  }
  for (int i = 0; i < generatrices_.GetSize(); ++i) {
    if (AbortRequested()) return;
    const SurfData& e = *generatrices_[i];
    const size_t firstPoint = points_.size();
    e.MakeContourPoints(points_);
    // Below the earth plane the mirror charges make the system meaningless
    // (and usually singular).
    for (size_t k = firstPoint; parameters_.UseEarth && k < points_.size(); ++k)
      if (points_[k].y < 0.0) {
        SetError(kEarthBelowZero, text::Format("Образующая %d: контурная точка (%.4g; %.4g) лежит ниже "
                                               "плоскости земли y = 0.",
                                               i + 1, points_[k].x, points_[k].y));
        return;
      }
    const size_t first = charges_.size();
    e.MakeCharges(charges_, parameters_.UseEarth);
    for (size_t k = first; k < charges_.size(); ++k) {
      Charge& q = charges_[k];
      if (q.x < 0.0 && q.x >= -kAxisNoise) q.x = 0.0;
      // A charge below the earth plane has its image in the field region.
      if (parameters_.UseEarth && q.y < -kAxisNoise) {
        SetError(kEarthBelowZero, text::Format("Образующая %d: заряд (%.4g; %.4g) лежит ниже плоскости земли "
                                               "y = 0. Уменьшите отношение L/d или увеличьте количество "
                                               "расчетных точек.",
                                               i + 1, q.x, q.y));
        return;
      }
      if (q.x < 0.0) {
        SetError(kBadElement,
                 text::Format("Образующая %d: заряд оказался за осью симметрии (радиус кольца %.4g "
                              "см). Уменьшите отношение L/d или увеличьте количество расчетных "
                              "точек; проверьте также направление образующей.",
                              i + 1, q.x));
        return;
      }
    }
    if (progress_) progress_->StepForward();
  }
}

void FieldCalc::CheckClosure() {
  const int n = generatrices_.GetSize();
  CheckSurface check(n);
  for (int i = 0; i < n; ++i) {
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    generatrices_[i]->GetEnds(x1, y1, x2, y2);
    check.SetEnds(i, {x1, y1}, {x2, y2});
  }
  errorCode_ = check.Check();
}

void FieldCalc::ReadSystem(std::istream& in) {
  if (!generatrices_.IsEmpty()) generatrices_.RemoveAllElements();
  // A floating conductor counts at its first generatrix: one whose inner
  // region no earlier generatrix shares.
  std::unordered_set<int> earlier;
  const ElementReadResult r = ReadElementLines(in, [&](std::unique_ptr<SurfData> e) {
    totalPoints_ += e->PointCount();
    totalCharges_ += e->ChargeCount();
    if (e->isFloating && !earlier.count(e->innerRegion)) ++totalFloating_;
    earlier.insert(e->innerRegion);
    generatrices_.Append(std::move(e));
  });
  if (r.errorCode != 0)
    SetError(r.errorCode, {}, r.errorLine);
  else if (r.elements == 0)
    SetError(kNoLines);
}

void FieldCalc::WriteSystem(std::ostream& out) const {
  for (const auto& e : generatrices_) out << e->GetText() << '\n';
}

double FieldCalc::RegionPermittivity(int region) const {
  for (const ContourPoint& p : points_) {
    if (p.region == region) return p.epsInner;
    if (p.otherRegion == region) return p.epsOuter;
  }
  return 0.0;
}

std::unique_ptr<ringkernel::ChargeArrays> FieldCalc::PrepareCharges() const {
  return std::make_unique<ringkernel::ChargeArrays>(charges_.data(),
                                                    parameters_.Precise ? 0 : static_cast<long long>(charges_.size()));
}

void FieldCalc::FieldAtTwo(int regionA, int regionB, double x, double y, double a[3], double b[3],
                           const ringkernel::ChargeArrays* prepared) const {
  FieldAtTwoWith(parameters_.Precise, regionA, regionB, x, y, a, b, prepared);
}

void FieldCalc::FieldAtTwoExact(int regionA, int regionB, double x, double y, double a[3], double b[3]) const {
  FieldAtTwoWith(true, regionA, regionB, x, y, a, b, nullptr);
}

void FieldCalc::FieldAtTwoWith(bool exact, int regionA, int regionB, double x, double y, double a[3], double b[3],
                               const ringkernel::ChargeArrays* prepared) const {
  const double epsA = RegionPermittivity(regionA), epsB = RegionPermittivity(regionB);
  FieldSums sa, sb;
  if (exact) {
    for (const Charge& c : charges_)
      precise::AddPotentialAndFieldTwo(c, x, y, regionA, epsA, epsA == 0.0 ? nullptr : &sa, regionB, epsB,
                                       epsB == 0.0 ? nullptr : &sb);
  } else if (prepared) {
    SumPotentialAndFieldTwo(*prepared, x, y, regionA, epsA, epsA == 0.0 ? nullptr : &sa, regionB, epsB,
                            epsB == 0.0 ? nullptr : &sb);
  } else {
    SumPotentialAndFieldTwo(charges_.data(), static_cast<long long>(charges_.size()), x, y, regionA, epsA,
                            epsA == 0.0 ? nullptr : &sa, regionB, epsB, epsB == 0.0 ? nullptr : &sb);
  }
  auto finish = [&](double eps, const FieldSums& s, double out[3]) {
    if (eps == 0.0) {
      out[0] = out[1] = out[2] = 0.0;
      return;
    }
    out[1] = s.x / eps;
    out[2] = s.y / eps + external_field::FieldY(parameters_.ExternalField);
    out[0] = s.phi + external_field::Potential(parameters_.ExternalField, y);
  };
  finish(epsA, sa, a);
  finish(epsB, sb, b);
}

void FieldCalc::FieldAt(int region, double x, double y, double* phi, double* Ex, double* Ey,
                        const ringkernel::ChargeArrays* prepared) const {
  const double eps = RegionPermittivity(region);
  if (eps == 0.0) {
    *phi = *Ex = *Ey = 0.0;
    return;
  }
  FieldSums s;
  if (parameters_.Precise)
    for (const Charge& c : charges_) precise::AddPotentialAndField(c, region, x, y, &s.phi, &s.x, &s.y, eps);
  else if (prepared)
    SumPotentialAndFieldTwo(*prepared, x, y, region, eps, &s, 0, 0.0, nullptr);
  else
    s = SumPotentialAndField(charges_.data(), static_cast<long long>(charges_.size()), region, x, y, eps);
  *Ex = s.x / eps;
  *Ey = s.y / eps + external_field::FieldY(parameters_.ExternalField);
  *phi = s.phi + external_field::Potential(parameters_.ExternalField, y);
}
