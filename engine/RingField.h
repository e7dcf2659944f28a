#pragma once
// Potential and field of a ring charge (charge Q on a ring of radius R) at a
// point (r, z) of the meridian half-plane, with the polynomial approximations
// of the complete elliptic integrals. Units: cm, kV, kV/cm; eps is absolute
// (relative permittivity times kEps0).

#include <cmath>

#include "model/Circle.h"

constexpr double kEps0 = 8.85e-12;
constexpr double kPi = 3.141592653589793;

// Abramowitz & Stegun 17.3.34 / 17.3.36 in the complementary parameter
// m1 = 1 - k^2, with L = ln(m1) given (K and E share it).
inline double EllipticKWithLog(double m1, double L) {
  return ((0.0725296 - 0.0288729 * L) * m1 + 0.1119723 - 0.1213478 * L) * m1 + 1.3862944 - 0.5 * L;
}
inline double EllipticEWithLog(double m1, double L) {
  return ((0.1077812 - 0.0412496 * L) * m1 + 0.4630151 - 0.2452727 * L) * m1 + 1.0;
}
inline double EllipticK(double m1) { return EllipticKWithLog(m1, std::log(m1)); }
inline double EllipticE(double m1) { return EllipticEWithLog(m1, std::log(m1)); }

// Modulus k^2 = 4h/o of the ring formula, clamped to 0.9999 so that the
// logarithm stays finite next to the ring.
inline double RingModulus(double h, double o) {
  const double k2 = 4.0 * h / o;
  return k2 > 0.9999 ? 0.9999 : k2;
}

// The potential alone: what RingPotential(MakeRingGeometry(...)) gives, bit
// for bit, with the field's work left out (the fill's conductor rows).
inline double RingPotentialOnly(double Q, double R, double r, double dz, double eps) {
  const double h = r * R;
  const double o = (r + R) * (r + R) + dz * dz;
  if (o == 0.0) return 0.0;
  const double m1 = 1.0 - RingModulus(h, o);
  const double qk = Q * EllipticK(m1);
  const double B = 2.0 * kPi * kPi * eps;
  return qk / B / std::sqrt(o);
}

// The part of the ring formula that does not depend on the permittivity.
// Evaluating it once and applying several permittivities gives bit for bit
// what separate RingField calls give.
struct RingGeometry {
  double qk = 0.0;     // Q*K
  double so = 1.0;     // sqrt(o)
  bool singular = false;  // the point coincides with a ring of zero radius
  // Field pieces.
  int erForm = 0;      // 0: on the axis (Er = 0), 1: ring formula, 2: point charge (R = 0)
  double erA = 0.0, erB = 1.0, erC = 1.0, erD = 1.0, erBracket = 0.0;
  double q = 0.0, dz = 0.0, e = 0.0, t = 0.0;
};

inline RingGeometry MakeRingGeometry(bool wantField, double Q, double R, double r, double dz) {
  RingGeometry g;
  const double h = r * R;
  const double o = (r + R) * (r + R) + dz * dz;
  if (o == 0.0) {
    g.singular = true;
    return g;
  }
  const double t = (R - r) * (R - r) + dz * dz;
  const double k2 = RingModulus(h, o);
  const double m1 = 1.0 - k2;
  const double L = std::log(m1);
  const double K = EllipticKWithLog(m1, L);
  g.qk = Q * K;
  g.so = std::sqrt(o);
  if (!wantField) return g;
  const double E = EllipticEWithLog(m1, L);
  if (r < 0.0001 * R || r == 0.0) {
    g.erForm = 0;  // on the axis the radial field vanishes by symmetry
  } else if (h == 0.0) {
    // Ring of zero radius: the general form would be 0/0; its limit is the
    // field of a point charge.
    g.erForm = 2;
    g.erA = Q;
    g.erB = r * g.so;
    g.erBracket = K - E * (R * R - r * r + dz * dz) / t;
  } else {
    g.erForm = 1;
    g.erA = Q * 0.25;
    g.erB = std::sqrt(h);
    g.erC = std::sqrt(k2);
    g.erD = r;
    g.erBracket = K + E * ((r - R) * 0.5 / R * k2 / m1 - 1.0);
  }
  g.q = Q;
  g.dz = dz;
  g.e = E;
  g.t = t;
  return g;
}

inline double RingPotential(const RingGeometry& g, double eps) {
  if (g.singular) return 0.0;
  const double B = 2.0 * kPi * kPi * eps;
  return g.qk / B / g.so;
}

inline void RingFieldAt(const RingGeometry& g, double eps, double& Er, double& Ez) {
  if (g.singular) {
    Er = Ez = 0.0;
    return;
  }
  const double B = 2.0 * kPi * kPi * eps;
  switch (g.erForm) {
    case 1: Er = (g.erA / B / g.erB) * g.erC / g.erD * g.erBracket; break;
    case 2: Er = g.erA / (4.0 * kPi * kPi * eps * g.erB) * g.erBracket; break;
    default: Er = 0.0;
  }
  // At the ring itself (t = 0, hence dz = 0) the axial field vanishes.
  Ez = g.t == 0.0 ? 0.0 : g.q / B * g.dz * g.e / g.t / g.so;
}

// The ring formula with its documented guards: on the axis Er = 0; exactly
// on the ring Ez = 0; a ring of zero radius acts as a point charge; at the
// position of a zero-radius ring itself everything is 0. Results are finite
// for any finite input with R >= 0.
void RingField(bool wantPhi, bool wantField, double eps, double Q, double R, double r, double dz,
               double& phi, double& Er, double& Ez);

// Coefficients of a charge (with its current q) at a contour point: the
// potential condition (conductor point: seen from the outer side; dielectric
// point: inner minus outer) and the normal-displacement condition.
double PotentialCoefficient(const Charge& c, const ContourPoint& cp);
double NormalFieldCoefficient(const Charge& c, const ContourPoint& cp);

// Contribution of a charge at (x, y) seen from `region` with relative
// permittivity epsRel; a charge never acts in its own region. AddField adds
// epsRel*Er and epsRel*Ez.
void AddPotential(const Charge& c, int region, double x, double y, double* acc, double epsRel);
void AddField(const Charge& c, int region, double x, double y, double* accX, double* accY,
              double epsRel);
// Both at once, with the same sums as the two calls above.
void AddPotentialAndField(const Charge& c, int region, double x, double y, double* accPhi,
                          double* accX, double* accY, double epsRel);

// The same for two regions at once (the ring geometry is shared); sums are
// those of two separate calls. A null accumulator set skips that region.
struct FieldSums {
  double phi = 0.0, x = 0.0, y = 0.0;
};
void AddPotentialAndFieldTwo(const Charge& c, double x, double y, int regionA, double epsA, FieldSums* a,
                             int regionB, double epsB, FieldSums* b);

// Sums over charges[0, count) at one point: what AddPotentialAndField
// (respectively AddPotentialAndFieldTwo) accumulates over them, starting
// from zero. Evaluated by the vectorised kernel (RingKernel.h) unless it is
// switched off; a null sum skips that region.
FieldSums SumPotentialAndField(const Charge* charges, long long count, int region, double x, double y,
                               double epsRel);
void SumPotentialAndFieldTwo(const Charge* charges, long long count, double x, double y, int regionA, double epsA,
                             FieldSums* a, int regionB, double epsB, FieldSums* b);
namespace ringkernel {
class ChargeArrays;
struct RowWeights;
}
// The same over charges laid out once for many points (a stage that
// evaluates the field at thousands of points).
void SumPotentialAndFieldTwo(const ringkernel::ChargeArrays& charges, double x, double y, int regionA, double epsA,
                             FieldSums* a, int regionB, double epsB, FieldSums* b);

// One matrix row (two for a dielectric point) for all charges: the
// coefficients PotentialCoefficient / NormalFieldCoefficient of each charge.
// `normalRow` may be null for a conductor point. Vectorised unless switched
// off; CoefficientRowScalar is the written formula charge by charge.
void CoefficientRow(const ContourPoint& cp, const Charge* charges, long long count, double* potentialRow,
                    double* normalRow);
void CoefficientRowScalar(const ContourPoint& cp, const Charge* charges, long long count, double* potentialRow,
                          double* normalRow);
// The same over charges laid out once for many rows (the fill).
namespace ringkernel {
class ChargeArrays;
}
// Charges [begin, end) only (begin a multiple of 8), written from
// potentialRow[0] / normalRow[0] on.
void CoefficientRow(const ContourPoint& cp, const ringkernel::ChargeArrays& charges, long long begin, long long end,
                    double* potentialRow, double* normalRow);
// The same with the point's weights (its permittivities and normal) taken
// once for the many pieces of its row.
ringkernel::RowWeights RowWeightsFor(const ContourPoint& cp);
void CoefficientRow(const ContourPoint& cp, const ringkernel::RowWeights& w, const ringkernel::ChargeArrays& charges,
                    long long begin, long long end, double* potentialRow, double* normalRow);

// Whether the batch entry points above use the vectorised kernel (the
// default) or the scalar formula; for tests and benchmarks that compare them.
void SetRingKernelVectorised(bool on);
bool RingKernelVectorised();
