#include "PySystem.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "KalvorError.h"
#include "engine/AtomicFile.h"
#include "engine/FieldCalc.h"
#include "model/Arch.h"
#include "model/Line.h"

namespace {

constexpr size_t kStateSize = 18;

void RequireConductor(const SurfData& e) {
  if (!e.IsConductor()) throw std::invalid_argument("a dielectric has no potential");
}

}  // namespace

// ---- PyGeneratrix ----

void PyGeneratrix::Geometry(double g[5]) const {
  if (IsLine()) {
    const auto& l = static_cast<const Line&>(*e_);
    g[0] = l.x1, g[1] = l.y1, g[2] = l.x2, g[3] = l.y2, g[4] = 0.0;
  } else {
    const auto& a = static_cast<const Arch&>(*e_);
    g[0] = a.xc, g[1] = a.yc, g[2] = a.radius, g[3] = a.angle1, g[4] = a.angle2;
  }
}

void PyGeneratrix::Apply(const SurfParams& p, const double g[5]) {
  if (IsLine())
    static_cast<Line&>(*e_).SetAll(p, g[0], g[1], g[2], g[3]);
  else
    static_cast<Arch&>(*e_).SetAll(p, g[0], g[1], g[2], g[3], g[4]);
}

void PyGeneratrix::Apply(const SurfParams& p) {
  double g[5];
  Geometry(g);
  Apply(p, g);
}

void PyGeneratrix::SetKind(const std::string& kind) {
  if (kind != "conductor" && kind != "dielectric")
    throw std::invalid_argument("kind must be \"conductor\" or \"dielectric\", not \"" + kind + "\"");
  if (kind == Kind()) return;
  SurfParams p = e_->Params();
  p.material = kind == "conductor" ? 1 : 0;
  p.isFloating = false;
  Apply(p);
  if (p.material == 1)
    e_->SetFixedPotential(0.0);  // a new conductor starts earthed
  else
    e_->fixedPotential = e_->potentialFrom = e_->potentialTo = 0.0;
}

PyGeneratrix::PotentialKind PyGeneratrix::Potential(double& value, double& from, double& to) const {
  value = e_->fixedPotential;
  e_->GetVariablePotential(from, to);
  if (!e_->IsConductor()) return PotentialKind::kNone;
  if (e_->isFloating) return PotentialKind::kFloating;
  return e_->isFixed ? PotentialKind::kFixed : PotentialKind::kVariable;
}

void PyGeneratrix::SetFloating() {
  RequireConductor(*e_);
  // The state the file reader leaves for "x".
  SurfParams p = e_->Params();
  p.isFloating = true;
  p.fixedPotential = 0.0;
  Apply(p);
  e_->isFixed = false;
  e_->potentialFrom = e_->potentialTo = 0.0;
}

void PyGeneratrix::SetFixed(double kv) {
  RequireConductor(*e_);
  e_->SetFixedPotential(kv);
}

void PyGeneratrix::SetVariable(double from, double to) {
  RequireConductor(*e_);
  e_->SetVariablePotential(from, to);
}

bool PyGeneratrix::Get(const std::string& name, double& value) const {
  double g[5];
  Geometry(g);
  static const char* lineNames[] = {"x1", "y1", "x2", "y2"};
  static const char* arcNames[] = {"cx", "cy", "radius", "angle1", "angle2"};
  if (IsLine()) {
    for (int i = 0; i < 4; ++i)
      if (name == lineNames[i]) return value = g[i], true;
  } else {
    for (int i = 0; i < 5; ++i)
      if (name == arcNames[i]) return value = i >= 3 ? RadiansToDegrees(g[i]) : g[i], true;
  }
  return false;
}

bool PyGeneratrix::Set(const std::string& name, double value) {
  double g[5];
  Geometry(g);
  static const char* lineNames[] = {"x1", "y1", "x2", "y2"};
  static const char* arcNames[] = {"cx", "cy", "radius", "angle1", "angle2"};
  int slot = -1;
  if (IsLine()) {
    for (int i = 0; i < 4; ++i)
      if (name == lineNames[i]) slot = i;
  } else {
    for (int i = 0; i < 5; ++i)
      if (name == arcNames[i]) slot = i;
  }
  if (slot < 0) return false;
  g[slot] = !IsLine() && slot >= 3 ? DegreesToRadians(value) : value;
  Apply(e_->Params(), g);
  return true;
}

std::vector<double> PyGeneratrix::State() const {
  double g[5];
  Geometry(g);
  const SurfData& e = *e_;
  return {static_cast<double>(e.GetKind()), static_cast<double>(e.material), static_cast<double>(e.innerRegion),
          static_cast<double>(e.outerRegion), e.epsInner, e.epsOuter, e.fixedPotential,
          e.isFloating ? 1.0 : 0.0, e.isFixed ? 1.0 : 0.0, e.potentialFrom, e.potentialTo,
          static_cast<double>(e.pointCount), e.ratioLd, g[0], g[1], g[2], g[3], g[4]};
}

std::unique_ptr<SurfData> PyGeneratrix::FromState(const std::vector<double>& s) {
  const int shape = s.empty() ? 0 : static_cast<int>(s[0]);
  if (s.size() != kStateSize || (shape != SurfData::kLine && shape != SurfData::kArch))
    throw std::invalid_argument("not the state of a kalvor generatrix");
  SurfParams p;
  p.material = static_cast<int>(s[1]);
  p.innerRegion = static_cast<int>(s[2]);
  p.outerRegion = static_cast<int>(s[3]);
  p.epsInner = s[4];
  p.epsOuter = s[5];
  p.fixedPotential = s[6];
  p.isFloating = s[7] != 0.0;
  p.pointCount = static_cast<int>(s[11]);
  p.ratioLd = s[12];
  std::unique_ptr<SurfData> e;
  if (shape == SurfData::kLine)
    e = std::make_unique<Line>(p, s[13], s[14], s[15], s[16]);
  else
    e = std::make_unique<Arch>(p, s[13], s[14], s[15], s[16], s[17]);
  if (e->IsConductor()) {
    e->isFixed = s[8] != 0.0;
    e->potentialFrom = s[9];
    e->potentialTo = s[10];
  }
  return e;
}

// ---- PySystem ----

PySystem PySystem::FromCollection(const CSurfColl& coll) {
  PySystem s;
  for (const auto& e : coll) s.items_.push_back(std::make_shared<PyGeneratrix>(e->Clone()));
  return s;
}

PySystem PySystem::FromText(const std::string& text, const std::string& origin) {
  FieldCalc calc;
  std::istringstream in(text);
  calc.ReadSystem(in);
  if (calc.ErrorCode() != 0) {
    std::string message = calc.FullErrorText();
    if (calc.ErrorLine() > 0)
      message += "\n" + (origin.empty() ? std::string() : origin + ": ") + "строка " +
                 std::to_string(calc.ErrorLine());
    else if (!origin.empty())
      message += "\n" + origin;
    throw KalvorError(calc.ErrorCode(), message);
  }
  return FromCollection(calc.Generatrices());
}

PySystem PySystem::Read(const std::string& path) {
  std::error_code ec;
  std::ifstream in(path, std::ios::binary);
  if (!in || std::filesystem::is_directory(path, ec))
    throw KalvorError(FieldCalc::kFileOpen, FieldCalc::MessageFor(FieldCalc::kFileOpen) + "\n" + path);
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad())
    throw KalvorError(FieldCalc::kFileOpen, FieldCalc::MessageFor(FieldCalc::kFileOpen) + "\n" + path);
  return FromText(text.str(), path);
}

CSurfColl PySystem::Collection() const {
  CSurfColl coll;
  for (const auto& g : items_) coll.Append(g->Element().Clone());
  return coll;
}

std::string PySystem::Text() const {
  std::string text;
  for (const auto& g : items_) text += g->Text() + "\n";
  return text;
}

void PySystem::Write(const std::string& path) const {
  AtomicFile file;
  if (!file.Open(path))
    throw KalvorError(FieldCalc::kFileOpen, FieldCalc::MessageFor(FieldCalc::kFileOpen) + "\n" + path);
  file.Stream() << Text();
  if (!file.Commit()) throw KalvorError(FieldCalc::kFileOpen, "Ошибка записи файла " + path);
}

long PySystem::Normalise(long index) const {
  const long n = static_cast<long>(items_.size());
  if (index < 0) index += n;
  if (index < 0 || index >= n)
    throw std::out_of_range("generatrix index out of range (the system has " + std::to_string(n) + ")");
  return index;
}

std::shared_ptr<PyGeneratrix> PySystem::At(long index) const { return items_[static_cast<size_t>(Normalise(index))]; }

std::shared_ptr<PyGeneratrix> PySystem::Add(std::unique_ptr<SurfData> e) {
  items_.push_back(std::make_shared<PyGeneratrix>(std::move(e)));
  return items_.back();
}

void PySystem::Remove(long index) { items_.erase(items_.begin() + Normalise(index)); }

std::vector<std::vector<double>> PySystem::State() const {
  std::vector<std::vector<double>> state;
  for (const auto& g : items_) state.push_back(g->State());
  return state;
}

PySystem PySystem::FromState(const std::vector<std::vector<double>>& state) {
  PySystem s;
  for (const auto& g : state) s.items_.push_back(std::make_shared<PyGeneratrix>(PyGeneratrix::FromState(g)));
  return s;
}
