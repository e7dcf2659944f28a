#pragma once
// The ring formula of RingField.h evaluated for many charges at once with
// SIMD (Highway), on the widest instruction set the processor has (chosen at
// run time). Charges are taken in blocks, copied into structure-of-arrays
// form, and their terms summed lane by lane.
//
// Guarantee: every term is within 1e-12 of the written scalar formula,
// relative to the size of the quantity it belongs to (the potential, or the
// field's magnitude for a field component); the inputs k^2 and m1 = 1 - k^2
// are formed with the same operations as the scalar formula, since m1 near
// the clamp would magnify any other rounding a thousandfold.

#include <algorithm>
#include <string>
#include <vector>

#include "model/Circle.h"

namespace ringkernel {

// Sums of the eps-free ring terms over the charges acting at a point (a
// charge never acts in its own region), earth images included:
//   p = sum Q*K/sqrt(o), r = sum of B*Er, z = sum of B*Ez, B = 2*pi^2*eps.
struct GeometrySums {
  double p = 0.0, r = 0.0, z = 0.0;
};

// For one point: sums for charges not in regionA into *a and, if b is not
// null, for charges not in regionB into *b.
void SumAtPoint(const Charge* charges, long long count, double x, double y, int regionA, GeometrySums* a,
                int regionB, GeometrySums* b);

// Weights that turn the eps-free terms of one charge into the coefficients
// of a contour point's row, by where the charge lies (RingField.cpp's rules):
// conductor point: acting charges get pot[0]; dielectric point: pot[side],
// normal[side] with side 0 outer, 1 inner, 2 elsewhere.
struct RowWeights {
  bool dielectric = false;
  double pot[3] = {0, 0, 0};
  double normal[3] = {0, 0, 0};
  double nx = 0.0, ny = 0.0;
};
void Row(const ContourPoint& cp, const RowWeights& w, const Charge* charges, long long count, double* potentialRow,
         double* normalRow);

// The charges once in the kernel's layout (structure of arrays, aligned,
// padded with chargeless rings), for many rows: the fill prepares them once
// instead of once per row.
class ChargeArrays {
 public:
  ChargeArrays(const Charge* charges, long long count);
  ChargeArrays(const ChargeArrays&) = delete;
  ChargeArrays& operator=(const ChargeArrays&) = delete;

  const Charge* charges = nullptr;
  long long count = 0, padded = 0;
  bool anyImage = false;
  const double *x = nullptr, *y = nullptr, *q = nullptr, *image = nullptr, *region = nullptr;

 private:
  std::vector<double> storage_;
};
// SumAtPoint over charges laid out once for many points: the same sums.
void SumAtPoint(const ChargeArrays& charges, double x, double y, int regionA, GeometrySums* a, int regionB,
                GeometrySums* b);
// Over charges [begin, end) (begin a multiple of 8), written from
// potentialRow[0] / normalRow[0] on.
void Row(const ContourPoint& cp, const RowWeights& w, const ChargeArrays& charges, long long begin, long long end,
         double* potentialRow, double* normalRow);

// Writes a tile of `rows` rows (row k at tile + k*stride, `width` values
// each) into the columns of a column-major matrix: value (k, j) to
// dst[j*ld + k], in pieces: the tile is StoreBlockCount pieces, eight rows
// by eight columns each, eight rows at a time across all columns, the
// rows before the first line of the columns (StoreHead), the rows and
// columns beyond the last eight as the last piece; [from, to) of them are
// written. Where ld is a multiple of 8, each piece goes out as eight whole
// lines that bypass the cache (the matrix is far larger than it and is
// read back only by the solver). Call StoreFence before the matrix is
// handed to another thread. rowMax[k] is raised to the largest magnitude
// stored in row k (the solver's equilibration wants it).
inline long long StoreHead(long long rows, const double* dst, long long ld) {
  if (ld % 8 != 0) return 0;
  const long long past = static_cast<long long>(reinterpret_cast<unsigned long long>(dst) % 64 / 8);
  return std::min(rows, (8 - past) % 8);
}
inline long long StoreBlockCount(long long rows, long long width, const double* dst, long long ld) {
  return (rows - StoreHead(rows, dst, ld)) / 8 * (width / 8) + 1;
}
void StoreBlocks(const double* tile, long long stride, long long rows, long long width, double* dst, long long ld,
                 double* rowMax, long long from, long long to);
void StoreFence();

// The rows of `count` contour points (point k's potential row rows[k], a
// dielectric point's normal row after it) for charges [begin, end), written
// straight into the columns of a column-major matrix: value (row, j) to
// dst[j*ld + row], the same values Row gives. The points go in lanes and
// the charge is broadcast, so each result is already a piece of a column:
// no tile, no transposition, one store per piece among the arithmetic.
// rowMax[row] is raised to the largest magnitude stored in the row.
constexpr long long kColumnPoints = 64;
void Columns(const ContourPoint* points, const RowWeights* weights, const long long* rows, long long count,
             const ChargeArrays& charges, long long begin, long long end, double* dst, long long ld, double* rowMax);

// Name of the instruction set in use ("AVX3" is AVX-512).
std::string TargetName();
// Restricts the choice to the given Highway target bits (0 restores the
// processor's own); for the tests that compare instruction sets.
void RestrictTargets(long long targets);
// The Highway target bits this build can run on this processor.
std::vector<long long> AvailableTargets();

}  // namespace ringkernel
