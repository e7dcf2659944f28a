#pragma once
// The ring-charge formula of precise mode: the complete elliptic integrals
// to full double precision (arithmetic-geometric mean) and no modulus
// clamp. The modulus is formed as m1 = t/o, so that it keeps its digits
// next to the ring where 1 - 4h/o would lose them. Only the exact singular
// case (the point on the ring itself) is treated specially: such a charge
// contributes nothing there. The functions have the shapes of their
// counterparts in RingField.h and the same region rules.

#include "engine/RingField.h"

namespace precise {

// K(m) and E(m) of the parameter m = k^2 given its complement m1 = 1 - m
// (0 < m1 <= 1).
void EllipticKE(double m1, double& K, double& E);

// Potential and field of a ring charge (units and conventions of RingField).
void RingField(bool wantField, double eps, double Q, double R, double r, double dz, double& phi, double& Er,
               double& Ez);

void AddPotentialAndField(const Charge& c, int region, double x, double y, double* accPhi, double* accX,
                          double* accY, double epsRel);
void AddPotentialAndFieldTwo(const Charge& c, double x, double y, int regionA, double epsA, FieldSums* a,
                             int regionB, double epsB, FieldSums* b);
void CoefficientRow(const ContourPoint& cp, const Charge* charges, long long count, double* potentialRow,
                    double* normalRow);

}  // namespace precise

// Whether the modulus clamp of the written formula (k^2 > 0.9999) takes
// effect for a charge (or its earth image) seen from (x, y).
bool RingModulusClamped(const Charge& c, double x, double y);
