#include "engine/ParameterSweep.h"

#include <climits>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <ostream>
#include <thread>

#include "engine/Blas.h"
#include "engine/Parallel.h"
#include "engine/ProgressReporter.h"
#include "engine/ScratchFolder.h"
#include "model/Arch.h"
#include "model/Line.h"
#include "model/TextFormat.h"

namespace {

struct FieldInfo {
  SweepField field;
  const char* name;
  const char* label;
};

constexpr FieldInfo kFields[] = {
    {SweepField::kX1, "x1", "X1, см"},
    {SweepField::kY1, "y1", "Y1, см"},
    {SweepField::kX2, "x2", "X2, см"},
    {SweepField::kY2, "y2", "Y2, см"},
    {SweepField::kCx, "cx", "Центр X, см"},
    {SweepField::kCy, "cy", "Центр Y, см"},
    {SweepField::kRadius, "radius", "Радиус R, см"},
    {SweepField::kAngle1, "angle1", "Начальный угол, град"},
    {SweepField::kAngle2, "angle2", "Конечный угол, град"},
    {SweepField::kPotential, "potential", "Потенциал, кВ"},
    {SweepField::kEpsInner, "eps_inner", "Проницаемость внутренней области"},
    {SweepField::kEpsOuter, "eps_outer", "Проницаемость внешней области"},
    {SweepField::kCount, "count", "Количество расчетных точек"},
    {SweepField::kLd, "ld", "Отношение L/d"},
    {SweepField::kExternalField, "external_field", "Напряженность внешнего поля, кВ/см"},
};

const FieldInfo& Info(SweepField f) {
  for (const FieldInfo& i : kFields)
    if (i.field == f) return i;
  return kFields[0];
}

bool IsLineField(SweepField f) { return f >= SweepField::kX1 && f <= SweepField::kY2; }
bool IsArcField(SweepField f) { return f >= SweepField::kCx && f <= SweepField::kAngle2; }

// The element's geometry as SetAll takes it (arc angles in radians).
void Geometry(const SurfData& e, double g[5]) {
  if (e.GetKind() == SurfData::kLine) {
    const auto& l = static_cast<const Line&>(e);
    g[0] = l.x1, g[1] = l.y1, g[2] = l.x2, g[3] = l.y2, g[4] = 0.0;
  } else {
    const auto& a = static_cast<const Arch&>(e);
    g[0] = a.xc, g[1] = a.yc, g[2] = a.radius, g[3] = a.angle1, g[4] = a.angle2;
  }
}

void SetAll(SurfData& e, const SurfParams& p, const double g[5]) {
  if (e.GetKind() == SurfData::kLine)
    static_cast<Line&>(e).SetAll(p, g[0], g[1], g[2], g[3]);
  else
    static_cast<Arch&>(e).SetAll(p, g[0], g[1], g[2], g[3], g[4]);
}

// Answers the cancel query from a flag; a request is a confirmed abort.
class FlagProgress : public SilentProgress {
 public:
  explicit FlagProgress(const std::atomic<bool>* stop) : stop_(stop) {}
  bool CancelRequested() override { return stop_ && stop_->load(); }
  bool AskYesNo(Question kind, const std::string&, const std::string&, Icon) override {
    return kind == Question::ConfirmAbort;
  }

 private:
  const std::atomic<bool>* stop_;
};

SweepRow Unfinished(const std::vector<SweepVariable>& variables, int k, int steps) {
  SweepRow row;
  for (const SweepVariable& v : variables) row.values.push_back(SweepValue(v, k, steps));
  row.errorCode = FieldCalc::kAborted;
  row.error = FieldCalc::MessageFor(FieldCalc::kAborted);
  return row;
}

std::string Number(double v) { return text::Format("%.10g", v); }

}  // namespace

bool SweepFieldFromName(const std::string& name, SweepField& field) {
  for (const FieldInfo& i : kFields)
    if (name == i.name) return field = i.field, true;
  return false;
}

std::string SweepFieldName(SweepField field) { return Info(field).name; }
std::string SweepFieldLabel(SweepField field) { return Info(field).label; }

std::vector<SweepField> SweepFieldsOf(const SurfData& e) {
  std::vector<SweepField> fields;
  for (const FieldInfo& i : kFields) {
    const SweepField f = i.field;
    if (f == SweepField::kExternalField) continue;
    if ((IsLineField(f) && e.GetKind() != SurfData::kLine) || (IsArcField(f) && e.GetKind() != SurfData::kArch))
      continue;
    if (f == SweepField::kPotential && !(e.IsConductor() && !e.isFloating && e.isFixed)) continue;
    if (f == SweepField::kEpsInner && e.IsConductor()) continue;
    fields.push_back(f);
  }
  return fields;
}

double SweepFieldValue(const CSurfColl& system, const CalcParameters& params, const SweepVariable& v) {
  if (v.field == SweepField::kExternalField) return params.ExternalField;
  const SurfData* e = system.At(v.generatrix);
  if (!e) return std::numeric_limits<double>::quiet_NaN();
  double g[5];
  Geometry(*e, g);
  const bool line = e->GetKind() == SurfData::kLine;
  switch (v.field) {
    case SweepField::kX1: case SweepField::kY1: case SweepField::kX2: case SweepField::kY2:
      return line ? g[static_cast<int>(v.field) - static_cast<int>(SweepField::kX1)]
                  : std::numeric_limits<double>::quiet_NaN();
    case SweepField::kCx: case SweepField::kCy: case SweepField::kRadius:
      return line ? std::numeric_limits<double>::quiet_NaN()
                  : g[static_cast<int>(v.field) - static_cast<int>(SweepField::kCx)];
    case SweepField::kAngle1:
      return line ? std::numeric_limits<double>::quiet_NaN() : RadiansToDegrees(g[3]);
    case SweepField::kAngle2:
      return line ? std::numeric_limits<double>::quiet_NaN() : RadiansToDegrees(g[4]);
    case SweepField::kPotential: return e->fixedPotential;
    case SweepField::kEpsInner: return e->epsInner;
    case SweepField::kEpsOuter: return e->epsOuter;
    case SweepField::kCount: return e->pointCount;
    case SweepField::kLd: return e->ratioLd;
    default: return std::numeric_limits<double>::quiet_NaN();
  }
}

std::string ParseSweepOption(const std::string& text, SweepVariable& v, int& steps) {
  const std::string expected = "нужно I:ПОЛЕ=ОТ:ДО:ШАГОВ или external_field=ОТ:ДО:ШАГОВ, получено \"" + text + "\"";
  const size_t eq = text.find('=');
  if (eq == std::string::npos) return expected;
  std::string target = text.substr(0, eq);
  v = SweepVariable{};
  if (const size_t colon = target.find(':'); colon != std::string::npos) {
    const std::string index = target.substr(0, colon);
    const char* end = nullptr;
    const double i = text::ParseDouble(index.c_str(), &end);
    if (index.empty() || end != index.c_str() + index.size() || i != std::floor(i) || i < 1 || i > INT_MAX)
      return expected;
    v.generatrix = static_cast<int>(i) - 1;
    target = target.substr(colon + 1);
  }
  if (!SweepFieldFromName(target, v.field)) {
    std::string names;
    for (const FieldInfo& i : kFields) names += names.empty() ? i.name : std::string(", ") + i.name;
    return "неизвестное поле \"" + target + "\" (допустимы " + names + ")";
  }
  if ((v.field == SweepField::kExternalField) != (v.generatrix < 0)) return expected;
  double numbers[3];
  std::string rest = text.substr(eq + 1);
  for (int n = 0; n < 3; ++n) {
    const size_t colon = rest.find(':');
    const std::string part = n < 2 ? rest.substr(0, colon) : rest;
    if (n < 2 && colon == std::string::npos) return expected;
    const char* end = nullptr;
    numbers[n] = text::ParseDouble(part.c_str(), &end);
    if (part.empty() || end != part.c_str() + part.size() || !std::isfinite(numbers[n])) return expected;
    if (n < 2) rest = rest.substr(colon + 1);
  }
  if (numbers[2] != std::floor(numbers[2]) || numbers[2] < 1 || numbers[2] > kMaxSweepSteps)
    return text::Format("число шагов должно быть целым от 1 до %d, получено \"%s\"", kMaxSweepSteps, text.c_str());
  v.from = numbers[0];
  v.to = numbers[1];
  steps = static_cast<int>(numbers[2]);
  return {};
}

double SweepValue(const SweepVariable& v, int k, int steps) {
  if (steps <= 1) return v.from;
  if (k == steps - 1) return v.to;  // exactly the end asked for
  return v.from + (v.to - v.from) * static_cast<double>(k) / static_cast<double>(steps - 1);
}

std::string CheckSweep(const CSurfColl& system, const std::vector<SweepVariable>& variables) {
  for (const SweepVariable& v : variables) {
    if (v.field == SweepField::kExternalField) continue;
    const SurfData* e = system.At(v.generatrix);
    if (!e)
      return text::Format("Образующей %d нет: в системе %d образующих.", v.generatrix + 1, system.GetSize());
    bool has = false;
    for (SweepField f : SweepFieldsOf(*e)) has = has || f == v.field;
    if (!has) {
      if (v.field == SweepField::kPotential)
        return text::Format("Образующая %d: потенциал можно менять только у проводника с фиксированным потенциалом.",
                            v.generatrix + 1);
      return text::Format("Образующая %d (%s) не имеет числа %s.", v.generatrix + 1,
                          e->GetKind() == SurfData::kLine ? "прямая" : "дуга", SweepFieldName(v.field).c_str());
    }
  }
  return {};
}

std::string ApplySweepValue(CSurfColl& system, CalcParameters& params, const SweepVariable& v, double value) {
  if (!std::isfinite(value)) return "значение " + Number(value) + " не является числом";
  if (v.field == SweepField::kExternalField) {
    params.ExternalField = value;
    return {};
  }
  if (std::string problem = CheckSweep(system, {v}); !problem.empty()) return problem;
  SurfData& e = *system.At(v.generatrix);
  SurfParams p = e.Params();
  double g[5];
  Geometry(e, g);
  switch (v.field) {
    case SweepField::kX1: case SweepField::kY1: case SweepField::kX2: case SweepField::kY2:
      g[static_cast<int>(v.field) - static_cast<int>(SweepField::kX1)] = value;
      break;
    case SweepField::kCx: case SweepField::kCy: case SweepField::kRadius:
      g[static_cast<int>(v.field) - static_cast<int>(SweepField::kCx)] = value;
      break;
    case SweepField::kAngle1: g[3] = DegreesToRadians(value); break;
    case SweepField::kAngle2: g[4] = DegreesToRadians(value); break;
    case SweepField::kPotential:
      e.SetFixedPotential(value);
      return {};
    case SweepField::kEpsInner: p.epsInner = value; break;
    case SweepField::kEpsOuter: p.epsOuter = value; break;
    case SweepField::kCount: {
      const double n = std::round(value);
      if (n < 0 || n > INT_MAX)
        return text::Format("Образующая %d: количество расчетных точек %s вне пределов.", v.generatrix + 1,
                            Number(value).c_str());
      p.pointCount = static_cast<int>(n);
      break;
    }
    case SweepField::kLd: p.ratioLd = value; break;
    default: break;
  }
  SetAll(e, p, g);
  return {};
}

SweepRow RunSweepPoint(const CSurfColl& system, const CalcParameters& params, const BatchOptions& options,
                       const std::vector<SweepVariable>& variables, int k, int steps, ProgressReporter& ui) {
  SweepRow row;
  CSurfColl copy = system.Clone();
  CalcParameters p = params;
  for (const SweepVariable& v : variables) row.values.push_back(SweepValue(v, k, steps));
  for (size_t i = 0; i < variables.size(); ++i)
    if (std::string problem = ApplySweepValue(copy, p, variables[i], row.values[i]); !problem.empty()) {
      row.errorCode = FieldCalc::kBadParameter;
      row.error = FieldCalc::MessageFor(FieldCalc::kBadParameter) + "\n" + problem;
      return row;
    }
  // A study keeps figures only: the run's control file goes to a folder of
  // its own, and no result files are written.
  ScratchFolder scratch;
  if (scratch.Path().empty()) {
    row.errorCode = FieldCalc::kFileOpen;
    row.error = FieldCalc::MessageFor(FieldCalc::kFileOpen) + "\nвременная папка";
    return row;
  }
  p.ResultsFolder = scratch.Path();
  p.ControlFilePath = ControlFileIn(scratch.Path());
  p.SurfaceResults = false;
  p.ControlCalc = p.ControlPotentials = p.DumpMatrix = p.DumpInverseMatrix = false;
  FieldCalc calc;
  for (const auto& e : copy) calc.AddGeneratrix(e->Clone());
  calc.SetParameters(p);
  const BatchResult r = RunBatch(calc, options, ui);
  if (!r.success) {
    row.errorCode = r.errorCode;
    row.error = r.errorText;
    return row;
  }
  row.success = true;
  for (const BodyFigures& b : r.analysis.bodies) {
    row.maxField.push_back(b.maxField);
    row.maxFieldError.push_back(b.maxFieldError);
    row.charge.push_back(b.charge);
    row.potential.push_back(b.potential);
  }
  row.capacitance = r.analysis.capacitance;
  row.unknowns = calc.Unknowns();
  return row;
}

std::vector<SweepRow> RunSweep(const CSurfColl& system, const CalcParameters& params, const BatchOptions& options,
                               const std::vector<SweepVariable>& variables, int steps, const SweepControl& control) {
  std::vector<SweepRow> rows(static_cast<size_t>(std::max(0, steps)));
  const int threads = std::max(1, std::min(control.parallel, steps));
  std::mutex m;
  std::condition_variable done;
  std::deque<int> finished;
  int next = 0, running = 0;

  auto work = [&] {
    FlagProgress ui(control.stop);
    for (;;) {
      int k;
      {
        std::lock_guard<std::mutex> lock(m);
        if (next >= steps || (control.stop && control.stop->load())) break;
        k = next++;
      }
      SweepRow row;
      try {
        row = RunSweepPoint(system, params, options, variables, k, steps, ui);
      } catch (const std::bad_alloc&) {
        row = Unfinished(variables, k, steps);
        row.errorCode = FieldCalc::kNoMemory;
        row.error = FieldCalc::MessageFor(FieldCalc::kNoMemory);
      }
      std::lock_guard<std::mutex> lock(m);
      rows[static_cast<size_t>(k)] = std::move(row);
      finished.push_back(k);
      done.notify_one();
    }
    std::lock_guard<std::mutex> lock(m);
    --running;
    done.notify_one();
  };

  if (threads > 1) {
    // Side by side, one thread each: as fast as threads inside one run,
    // and no run waits for another's.
    SetWorkerThreads(1);
    blas::SetThreads(1);
  }
  std::vector<std::thread> pool;
  running = threads;
  for (int t = 0; t < threads; ++t) pool.emplace_back(work);
  {
    std::unique_lock<std::mutex> lock(m);
    for (;;) {
      done.wait(lock, [&] { return !finished.empty() || running == 0; });
      while (!finished.empty()) {
        const int k = finished.front();
        finished.pop_front();
        if (control.onRow) {
          lock.unlock();
          control.onRow(k, rows[static_cast<size_t>(k)]);
          lock.lock();
        }
      }
      if (running == 0) break;
    }
  }
  for (std::thread& t : pool) t.join();
  if (threads > 1) {
    SetWorkerThreads(0);
    blas::SetThreads(0);
  }
  for (int k = 0; k < steps; ++k)
    if (rows[static_cast<size_t>(k)].values.empty()) rows[static_cast<size_t>(k)] = Unfinished(variables, k, steps);
  return rows;
}

void WriteSweepCsv(const std::vector<SweepRow>& rows, std::ostream& out) {
  size_t bodies = 0, fixed = 0;
  for (const SweepRow& r : rows) {
    if (!r.success) continue;
    bodies = std::max(bodies, r.maxField.size());
    fixed = std::max(fixed, r.capacitance.size());
  }
  std::string header = "value";
  for (size_t b = 1; b <= bodies; ++b)
    header += text::Format(",max_field_kv_per_cm_%zu,max_field_error_kv_per_cm_%zu,charge_c_%zu", b, b, b);
  for (size_t i = 1; i <= fixed; ++i)
    for (size_t j = 1; j <= fixed; ++j) header += text::Format(",capacitance_f_%zu_%zu", i, j);
  out << header << ",error\n";
  for (const SweepRow& r : rows) {
    std::string line = Number(r.values.empty() ? std::nan("") : r.values[0]);
    auto cell = [&](const std::vector<double>& v, size_t i) {
      line += ',';
      if (r.success && i < v.size()) line += Number(v[i]);
    };
    for (size_t b = 0; b < bodies; ++b) {
      cell(r.maxField, b);
      cell(r.maxFieldError, b);
      cell(r.charge, b);
    }
    for (size_t i = 0; i < fixed; ++i)
      for (size_t j = 0; j < fixed; ++j) cell(i < r.capacitance.size() ? r.capacitance[i] : std::vector<double>{}, j);
    line += ',';
    if (!r.success) {
      std::string message = r.error;
      for (char& c : message)
        if (c == '\n' || c == '\r') c = ' ';
      std::string quoted = "\"";
      for (char c : message) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
      line += quoted + "\"";
    }
    out << line << '\n';
  }
}
