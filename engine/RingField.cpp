#include "engine/RingField.h"

#include <atomic>
#include <utility>

#include "engine/RingKernel.h"

void RingField(bool wantPhi, bool wantField, double eps, double Q, double R, double r, double dz,
               double& phi, double& Er, double& Ez) {
  const RingGeometry g = MakeRingGeometry(wantField, Q, R, r, dz);
  phi = wantPhi ? RingPotential(g, eps) : 0.0;
  if (wantField)
    RingFieldAt(g, eps, Er, Ez);
  else
    Er = Ez = 0.0;
}

namespace {

// A charge and its optional earth image (charge -q mirrored in y = 0) seen
// from one point; the permittivity is applied later.
struct ChargeGeometry {
  RingGeometry direct;
  RingGeometry image;
  bool hasImage = false;

  ChargeGeometry(const Charge& c, double x, double y, bool wantField)
      : direct(MakeRingGeometry(wantField, c.q, c.x, x, y - c.y)), hasImage(c.earthImage) {
    if (hasImage) image = MakeRingGeometry(wantField, -c.q, c.x, x, y + c.y);
  }

  double Potential(double epsRel) const {
    const double eps = epsRel * kEps0;
    double p = RingPotential(direct, eps);
    if (hasImage) p += RingPotential(image, eps);
    return p;
  }

  void Field(double epsRel, double& er, double& ez) const {
    const double eps = epsRel * kEps0;
    RingFieldAt(direct, eps, er, ez);
    if (hasImage) {
      double ir, iz;
      RingFieldAt(image, eps, ir, iz);
      er += ir;
      ez += iz;
    }
  }

  double NormalField(double epsRel, double nx, double ny) const {
    double er, ez;
    Field(epsRel, er, ez);
    return epsRel * (er * nx + ez * ny);
  }
};

enum class Side { Outer, Inner, Elsewhere };

// Where a charge lies relative to a dielectric point, tested in this order.
Side DielectricSide(const Charge& c, const ContourPoint& cp) {
  if (c.region == cp.otherRegion) return Side::Outer;
  if (c.region == cp.region) return Side::Inner;
  return Side::Elsewhere;
}

bool ActsOnConductorPoint(const Charge& c, const ContourPoint& cp) {
  return c.region == cp.region || c.region != cp.otherRegion;
}

double PotentialCoefficient(const ChargeGeometry& g, const Charge& c, const ContourPoint& cp) {
  if (cp.material == 1) return ActsOnConductorPoint(c, cp) ? g.Potential(cp.epsOuter) : 0.0;
  switch (DielectricSide(c, cp)) {
    case Side::Outer: return g.Potential(cp.epsInner);
    case Side::Inner: return -g.Potential(cp.epsOuter);
    default: return g.Potential(cp.epsInner) - g.Potential(cp.epsOuter);
  }
}

double NormalFieldCoefficient(const ChargeGeometry& g, const Charge& c, const ContourPoint& cp,
                              double nx, double ny) {
  switch (DielectricSide(c, cp)) {
    case Side::Outer: return g.NormalField(cp.epsInner, nx, ny);
    case Side::Inner: return -g.NormalField(cp.epsOuter, nx, ny);
    default: return g.NormalField(cp.epsInner, nx, ny) - g.NormalField(cp.epsOuter, nx, ny);
  }
}

}  // namespace

double PotentialCoefficient(const Charge& c, const ContourPoint& cp) {
  if (cp.material == 1 && !ActsOnConductorPoint(c, cp)) return 0.0;
  return PotentialCoefficient(ChargeGeometry(c, cp.x, cp.y, false), c, cp);
}

double NormalFieldCoefficient(const Charge& c, const ContourPoint& cp) {
  return NormalFieldCoefficient(ChargeGeometry(c, cp.x, cp.y, true), c, cp, cp.NormalX(),
                                cp.NormalY());
}

void AddPotential(const Charge& c, int region, double x, double y, double* acc, double epsRel) {
  if (c.region == region) return;
  *acc += ChargeGeometry(c, x, y, false).Potential(epsRel);
}

void AddField(const Charge& c, int region, double x, double y, double* accX, double* accY,
              double epsRel) {
  if (c.region == region) return;
  double er, ez;
  ChargeGeometry(c, x, y, true).Field(epsRel, er, ez);
  *accX += epsRel * er;
  *accY += epsRel * ez;
}

void AddPotentialAndField(const Charge& c, int region, double x, double y, double* accPhi,
                          double* accX, double* accY, double epsRel) {
  if (c.region == region) return;
  const ChargeGeometry g(c, x, y, true);
  double er, ez;
  g.Field(epsRel, er, ez);
  *accX += epsRel * er;
  *accY += epsRel * ez;
  *accPhi += g.Potential(epsRel);
}

void AddPotentialAndFieldTwo(const Charge& c, double x, double y, int regionA, double epsA, FieldSums* a,
                             int regionB, double epsB, FieldSums* b) {
  const bool actsA = a && c.region != regionA, actsB = b && c.region != regionB;
  if (!actsA && !actsB) return;
  const ChargeGeometry g(c, x, y, true);
  double er, ez;
  if (actsA) {
    g.Field(epsA, er, ez);
    a->x += epsA * er;
    a->y += epsA * ez;
    a->phi += g.Potential(epsA);
  }
  if (actsB) {
    g.Field(epsB, er, ez);
    b->x += epsB * er;
    b->y += epsB * ez;
    b->phi += g.Potential(epsB);
  }
}

namespace {
std::atomic<bool> vectorised{true};

// 1 / (2*pi^2*eps) for a relative permittivity: the factor the eps-free
// kernel terms are scaled by.
double InverseB(double epsRel) { return 1.0 / (2.0 * kPi * kPi * (epsRel * kEps0)); }

void FinishSums(const ringkernel::GeometrySums& g, double epsRel, FieldSums* s) {
  const double ib = InverseB(epsRel);
  s->phi = g.p * ib;
  s->x = epsRel * (g.r * ib);
  s->y = epsRel * (g.z * ib);
}
}  // namespace

void SetRingKernelVectorised(bool on) { vectorised.store(on); }
bool RingKernelVectorised() { return vectorised.load(); }

FieldSums SumPotentialAndField(const Charge* charges, long long count, int region, double x, double y,
                               double epsRel) {
  FieldSums s;
  SumPotentialAndFieldTwo(charges, count, x, y, region, epsRel, &s, 0, 0.0, nullptr);
  return s;
}

namespace {
// Puts the set asked for first and clears both; false when none is asked.
bool StartSums(int& regionA, double& epsA, FieldSums*& a, int& regionB, double& epsB, FieldSums*& b) {
  if (!a) {
    std::swap(regionA, regionB);
    std::swap(epsA, epsB);
    std::swap(a, b);
  }
  if (!a) return false;
  *a = FieldSums{};
  if (b) *b = FieldSums{};
  return true;
}

void FinishBoth(const ringkernel::GeometrySums& ga, double epsA, FieldSums* a, const ringkernel::GeometrySums& gb,
                double epsB, FieldSums* b) {
  FinishSums(ga, epsA, a);
  if (b) FinishSums(gb, epsB, b);
}
}  // namespace

void SumPotentialAndFieldTwo(const Charge* charges, long long count, double x, double y, int regionA, double epsA,
                             FieldSums* a, int regionB, double epsB, FieldSums* b) {
  if (!StartSums(regionA, epsA, a, regionB, epsB, b)) return;
  if (!vectorised.load()) {
    for (long long j = 0; j < count; ++j) {
      if (b)
        AddPotentialAndFieldTwo(charges[j], x, y, regionA, epsA, a, regionB, epsB, b);
      else
        AddPotentialAndField(charges[j], regionA, x, y, &a->phi, &a->x, &a->y, epsA);
    }
    return;
  }
  ringkernel::GeometrySums ga, gb;
  ringkernel::SumAtPoint(charges, count, x, y, regionA, &ga, regionB, b ? &gb : nullptr);
  FinishBoth(ga, epsA, a, gb, epsB, b);
}

void SumPotentialAndFieldTwo(const ringkernel::ChargeArrays& charges, double x, double y, int regionA, double epsA,
                             FieldSums* a, int regionB, double epsB, FieldSums* b) {
  if (!vectorised.load()) {
    SumPotentialAndFieldTwo(charges.charges, charges.count, x, y, regionA, epsA, a, regionB, epsB, b);
    return;
  }
  if (!StartSums(regionA, epsA, a, regionB, epsB, b)) return;
  ringkernel::GeometrySums ga, gb;
  ringkernel::SumAtPoint(charges, x, y, regionA, &ga, regionB, b ? &gb : nullptr);
  FinishBoth(ga, epsA, a, gb, epsB, b);
}

ringkernel::RowWeights RowWeightsFor(const ContourPoint& cp) {
  ringkernel::RowWeights w;
  w.dielectric = cp.material != 1;
  if (!w.dielectric) {
    w.pot[0] = InverseB(cp.epsOuter);
  } else {
    const double bi = InverseB(cp.epsInner), bo = InverseB(cp.epsOuter);
    // Outer, inner, elsewhere: the sides of DielectricSide.
    w.pot[0] = bi;
    w.pot[1] = -bo;
    w.pot[2] = bi - bo;
    w.normal[0] = cp.epsInner * bi;
    w.normal[1] = -(cp.epsOuter * bo);
    w.normal[2] = cp.epsInner * bi - cp.epsOuter * bo;
    w.nx = cp.NormalX();
    w.ny = cp.NormalY();
  }
  return w;
}

namespace {
// The written formula's terms at one point, each times 2*pi^2*eps: the
// potential and both field components, with its guards (the point a ring of
// zero radius itself: nothing; on the axis Er = 0; a ring of zero radius a
// point charge; on the ring Ez = 0).
struct RingTerms {
  double p = 0.0, r = 0.0, z = 0.0;
};
inline void AddRingTerms(double Q, double R, double r, double dz, RingTerms& s) {
  const double h = r * R;
  const double o = (r + R) * (r + R) + dz * dz;
  if (o == 0.0) return;
  const double k2 = RingModulus(h, o);
  const double m1 = 1.0 - k2;
  const double L = std::log(m1);
  const double K = EllipticKWithLog(m1, L), E = EllipticEWithLog(m1, L);
  const double so = std::sqrt(o);
  const double t = (R - r) * (R - r) + dz * dz;
  s.p += Q * K / so;
  if (r < 0.0001 * R || r == 0.0)
    ;
  else if (h == 0.0)
    s.r += Q / (2.0 * r * so) * (K - E * (R * R - r * r + dz * dz) / t);
  else
    s.r += (Q * 0.25 / std::sqrt(h)) * std::sqrt(k2) / r * (K + E * ((r - R) * 0.5 / R * k2 / m1 - 1.0));
  if (t != 0.0) s.z += Q * dz * E / t / so;
}
}  // namespace

void CoefficientRowScalar(const ContourPoint& cp, const Charge* charges, long long count, double* potentialRow,
                          double* normalRow) {
  if (cp.material == 1) {
    const double eps = cp.epsOuter * kEps0;
    for (long long j = 0; j < count; ++j) {
      const Charge& c = charges[j];
      double p = 0.0;
      if (ActsOnConductorPoint(c, cp)) {
        p = RingPotentialOnly(c.q, c.x, cp.x, cp.y - c.y, eps);
        if (c.earthImage) p += RingPotentialOnly(-c.q, c.x, cp.x, cp.y + c.y, eps);
      }
      potentialRow[j] = p;
    }
    return;
  }
  // A dielectric point: the terms once, weighted by the side the charge
  // lies on (outer, inner, elsewhere) as the conditions read.
  const ringkernel::RowWeights w = RowWeightsFor(cp);
  for (long long j = 0; j < count; ++j) {
    const Charge& c = charges[j];
    RingTerms s;
    AddRingTerms(c.q, c.x, cp.x, cp.y - c.y, s);
    if (c.earthImage) AddRingTerms(-c.q, c.x, cp.x, cp.y + c.y, s);
    const int side = c.region == cp.otherRegion ? 0 : c.region == cp.region ? 1 : 2;
    potentialRow[j] = s.p * w.pot[side];
    if (normalRow) normalRow[j] = (s.r * w.nx + s.z * w.ny) * w.normal[side];
  }
}

void CoefficientRow(const ContourPoint& cp, const Charge* charges, long long count, double* potentialRow,
                    double* normalRow) {
  if (!vectorised.load()) {
    CoefficientRowScalar(cp, charges, count, potentialRow, normalRow);
    return;
  }
  ringkernel::Row(cp, RowWeightsFor(cp), charges, count, potentialRow, normalRow);
}

void CoefficientRow(const ContourPoint& cp, const ringkernel::ChargeArrays& charges, long long begin, long long end,
                    double* potentialRow, double* normalRow) {
  CoefficientRow(cp, RowWeightsFor(cp), charges, begin, end, potentialRow, normalRow);
}

void CoefficientRow(const ContourPoint& cp, const ringkernel::RowWeights& w, const ringkernel::ChargeArrays& charges,
                    long long begin, long long end, double* potentialRow, double* normalRow) {
  if (!vectorised.load()) {
    CoefficientRowScalar(cp, charges.charges + begin, end - begin, potentialRow, normalRow);
    return;
  }
  ringkernel::Row(cp, w, charges, begin, end, potentialRow, normalRow);
}
