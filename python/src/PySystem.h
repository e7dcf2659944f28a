#pragma once
// The field-forming system as Python sees it: an ordered list of
// generatrices, each a live object whose fields can be read and set.
// Nothing here knows Python; SystemBindings.cpp exposes it.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/CSurfColl.h"
#include "model/SurfData.h"

// One generatrix, owning its Line or Arch. Geometry and the number of
// contour points change through SetAll, so a Line's derived fields follow.
class PyGeneratrix {
 public:
  explicit PyGeneratrix(std::unique_ptr<SurfData> element) : e_(std::move(element)) {}

  const SurfData& Element() const { return *e_; }
  bool IsLine() const { return e_->GetKind() == SurfData::kLine; }

  std::string Kind() const { return e_->IsConductor() ? "conductor" : "dielectric"; }
  void SetKind(const std::string& kind);
  std::string Shape() const { return IsLine() ? "line" : "arc"; }

  int InnerRegion() const { return e_->innerRegion; }
  void SetInnerRegion(int v) { SetParam<&SurfParams::innerRegion>(v); }
  int OuterRegion() const { return e_->outerRegion; }
  void SetOuterRegion(int v) { SetParam<&SurfParams::outerRegion>(v); }
  double EpsInner() const { return e_->epsInner; }
  void SetEpsInner(double v) { SetParam<&SurfParams::epsInner>(v); }
  double EpsOuter() const { return e_->epsOuter; }
  void SetEpsOuter(double v) { SetParam<&SurfParams::epsOuter>(v); }
  int Count() const { return e_->pointCount; }
  void SetCount(int v) { SetParam<&SurfParams::pointCount>(v); }
  double Ld() const { return e_->ratioLd; }
  void SetLd(double v) { SetParam<&SurfParams::ratioLd>(v); }

  // Potential of a conductor: nothing for a floating one (and for a
  // dielectric), one value when fixed, a (from, to) pair when it varies
  // along the generatrix.
  enum class PotentialKind { kNone, kFloating, kFixed, kVariable };
  PotentialKind Potential(double& value, double& from, double& to) const;
  void SetFloating();
  void SetFixed(double kv);
  void SetVariable(double from, double to);

  // Geometry by name: x1 y1 x2 y2 for a line; cx cy radius angle1 angle2
  // (degrees) for an arc. False for a name the shape does not have.
  bool Get(const std::string& name, double& value) const;
  bool Set(const std::string& name, double value);

  std::string Text() const { return e_->GetText(); }

  // Every field at full precision, for pickling (shape, parameters,
  // geometry with angles in radians).
  std::vector<double> State() const;
  static std::unique_ptr<SurfData> FromState(const std::vector<double>& state);

 private:
  // One parameter changed, the others and the geometry kept.
  template <auto Field, class T>
  void SetParam(T v) {
    SurfParams p = e_->Params();
    p.*Field = v;
    Apply(p);
  }
  // Re-applies the parameters and the geometry through SetAll.
  void Apply(const SurfParams& p);
  void Apply(const SurfParams& p, const double g[5]);
  void Geometry(double g[5]) const;

  std::unique_ptr<SurfData> e_;
};

class PySystem {
 public:
  PySystem() = default;
  // The elements' copies; the collection is left alone.
  static PySystem FromCollection(const CSurfColl& coll);
  // Parses the text of a field-system file; throws KalvorError with the
  // reader's code, message and line (`origin` names the file, if any).
  static PySystem FromText(const std::string& text, const std::string& origin = {});
  static PySystem Read(const std::string& path);

  // An independent copy of every generatrix, for the engine.
  CSurfColl Collection() const;
  // The file's text, as the desktop program and kalvor-calc write it.
  std::string Text() const;
  // Written through the atomic facility; throws KalvorError naming the path.
  void Write(const std::string& path) const;
  PySystem Copy() const { return FromCollection(Collection()); }

  const std::vector<std::shared_ptr<PyGeneratrix>>& Items() const { return items_; }
  std::shared_ptr<PyGeneratrix> At(long index) const;  // Python indexing, negatives from the end
  std::shared_ptr<PyGeneratrix> Add(std::unique_ptr<SurfData> e);
  void Remove(long index);

  std::vector<std::vector<double>> State() const;
  static PySystem FromState(const std::vector<std::vector<double>>& state);

 private:
  long Normalise(long index) const;
  std::vector<std::shared_ptr<PyGeneratrix>> items_;
};
