#include "engine/RingFieldPrecise.h"

#include <cmath>

namespace precise {

void EllipticKE(double m1, double& K, double& E) {
  // AGM of 1 and k' = sqrt(m1); E from the sum of the squared half
  // differences c_n (c_0 = k).
  double a = 1.0, b = std::sqrt(m1);
  double sum = 0.5 * (1.0 - m1), power = 0.5;
  for (int i = 0; i < 40; ++i) {
    const double c = 0.5 * (a - b);
    const double an = 0.5 * (a + b);
    b = std::sqrt(a * b);
    a = an;
    power *= 2.0;
    sum += power * c * c;
    // Quadratic convergence: the next half difference is about c^2/(4a),
    // below 1e-20 of a, and adds nothing a double can hold.
    if (std::fabs(c) <= 1e-10 * a) break;
  }
  K = kPi / (2.0 * a);
  E = K * (1.0 - sum);
}

namespace {

// Below this fraction of the distance scale the radial field is set to
// zero: it vanishes on the axis, and its formula loses its digits there.
constexpr double kAxisFraction = 1e-9;

// Potential and field of charge Q on a ring of radius R for eps = 1 (they
// scale with 1/eps). False for the point on the ring itself.
bool UnitRing(bool wantField, double Q, double R, double r, double dz, double& phi, double& Er, double& Ez) {
  const double o = (r + R) * (r + R) + dz * dz;
  const double t = (R - r) * (R - r) + dz * dz;
  if (t == 0.0 || o == 0.0) return false;
  double K, E;
  EllipticKE(t / o, K, E);
  const double so = std::sqrt(o);
  const double B = 2.0 * kPi * kPi;
  phi = Q * K / (B * so);
  if (!wantField) return true;
  Ez = Q / B * dz * E / (t * so);
  if (r <= kAxisFraction * so)
    Er = 0.0;
  else
    Er = Q / (2.0 * B * r * so) * (K - E * (R * R - r * r + dz * dz) / t);
  return true;
}

// A charge and its earth image seen from one point, for eps = 1.
struct Seen {
  double phi = 0.0, er = 0.0, ez = 0.0;
  Seen(const Charge& c, double x, double y, bool wantField) {
    double p, r = 0.0, z = 0.0;
    if (UnitRing(wantField, c.q, c.x, x, y - c.y, p, r, z)) phi += p, er += r, ez += z;
    if (c.earthImage && UnitRing(wantField, -c.q, c.x, x, y + c.y, p, r, z)) phi += p, er += r, ez += z;
  }
  double Potential(double epsRel) const { return phi / (epsRel * kEps0); }
  // epsRel times the normal field, as the displacement condition wants it.
  double NormalDisplacement(double nx, double ny) const { return (er * nx + ez * ny) / kEps0; }
};

}  // namespace

void RingField(bool wantField, double eps, double Q, double R, double r, double dz, double& phi, double& Er,
               double& Ez) {
  phi = Er = Ez = 0.0;
  if (!UnitRing(wantField, Q, R, r, dz, phi, Er, Ez)) {
    phi = Er = Ez = 0.0;
    return;
  }
  phi /= eps;
  Er /= eps;
  Ez /= eps;
}

void AddPotentialAndField(const Charge& c, int region, double x, double y, double* accPhi, double* accX,
                          double* accY, double epsRel) {
  if (c.region == region) return;
  const Seen s(c, x, y, true);
  // The callers divide the field sums by epsRel again.
  *accX += s.er / kEps0;
  *accY += s.ez / kEps0;
  *accPhi += s.Potential(epsRel);
}

void AddPotentialAndFieldTwo(const Charge& c, double x, double y, int regionA, double epsA, FieldSums* a,
                             int regionB, double epsB, FieldSums* b) {
  const bool actsA = a && c.region != regionA, actsB = b && c.region != regionB;
  if (!actsA && !actsB) return;
  const Seen s(c, x, y, true);
  if (actsA) {
    a->x += s.er / kEps0;
    a->y += s.ez / kEps0;
    a->phi += s.Potential(epsA);
  }
  if (actsB) {
    b->x += s.er / kEps0;
    b->y += s.ez / kEps0;
    b->phi += s.Potential(epsB);
  }
}

void CoefficientRow(const ContourPoint& cp, const Charge* charges, long long count, double* potentialRow,
                    double* normalRow) {
  const bool dielectric = cp.material != 1;
  const double nx = cp.NormalX(), ny = cp.NormalY();
  for (long long j = 0; j < count; ++j) {
    Charge c = charges[j];
    c.q = 1.0;
    if (!dielectric) {
      // A charge acts on a conductor point unless it lies across the surface.
      const bool acts = c.region == cp.region || c.region != cp.otherRegion;
      potentialRow[j] = acts ? Seen(c, cp.x, cp.y, false).Potential(cp.epsOuter) : 0.0;
      continue;
    }
    const Seen s(c, cp.x, cp.y, true);
    // Potential and displacement continuous: inner side minus outer side;
    // a charge does not act in its own region.
    const bool outer = c.region == cp.otherRegion, inner = !outer && c.region == cp.region;
    const double pIn = outer ? s.Potential(cp.epsInner) : (inner ? 0.0 : s.Potential(cp.epsInner));
    const double pOut = outer ? 0.0 : s.Potential(cp.epsOuter);
    potentialRow[j] = pIn - pOut;
    if (normalRow) {
      const double d = s.NormalDisplacement(nx, ny);
      normalRow[j] = (outer ? d : (inner ? 0.0 : d)) - (outer ? 0.0 : d);
    }
  }
}

}  // namespace precise

bool RingModulusClamped(const Charge& c, double x, double y) {
  auto clamped = [&](double dz) {
    const double h = x * c.x;
    const double o = (x + c.x) * (x + c.x) + dz * dz;
    return o != 0.0 && 4.0 * h / o > 0.9999;
  };
  return clamped(y - c.y) || (c.earthImage && clamped(y + c.y));
}
