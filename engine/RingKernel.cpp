// Compiled once per instruction set by Highway's foreach_target; the
// dispatch picks the best one the processor supports at the first call.

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "engine/RingKernel.cpp"
#include <hwy/foreach_target.h>  // IWYU pragma: keep

#include <hwy/contrib/math/math-inl.h>
#include <hwy/cache_control.h>
#include <hwy/highway.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/RingKernel.h"

HWY_BEFORE_NAMESPACE();
namespace ringkernel {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using D = hn::ScalableTag<double>;
using V = hn::Vec<D>;

// Charges per block copied into structure-of-arrays form; small enough to
// stay in the first-level cache, a multiple of every vector width.
constexpr long long kBlock = 256;

// The arrays of a Block or of ChargeArrays: aligned, padded.
struct Arrays {
  const double *x, *y, *q, *image, *region;
  bool anyImage;
};

struct Block {
  alignas(64) double x[kBlock], y[kBlock], q[kBlock], image[kBlock], region[kBlock];
  long long size = 0;    // real charges
  long long padded = 0;  // a whole number of vectors
  bool anyImage = false;

  Arrays View() const { return {x, y, q, image, region, anyImage}; }

  void Load(const Charge* c, long long n, size_t lanes) {
    size = n;
    padded = static_cast<long long>((static_cast<size_t>(n) + lanes - 1) / lanes * lanes);
    anyImage = false;
    for (long long i = 0; i < n; ++i) {
      x[i] = c[i].x;
      y[i] = c[i].y;
      q[i] = c[i].q;
      image[i] = c[i].earthImage ? -c[i].q : 0.0;
      anyImage |= c[i].earthImage;
      region[i] = static_cast<double>(c[i].region);
    }
    // Padding lanes carry no charge; their geometry is an ordinary ring.
    for (long long i = n; i < padded; ++i) {
      x[i] = 1.0;
      y[i] = 0.0;
      q[i] = image[i] = 0.0;
      region[i] = 0.0;
    }
  }
};

// One ring (charge Q, radius R) seen from radius r at axial distance dz:
// P = Q*K/sqrt(o), Er = B*Er(formula), Ez = B*Ez(formula). The guards are
// those of RingField: singular place 0, axis Er = 0, zero-radius ring as a
// point charge, Ez = 0 on the ring itself.
template <bool kField>
HWY_INLINE void Ring(D d, V Q, V R, V r, V dz, V& P, V& Er, V& Ez) {
  const V zero = hn::Zero(d), one = hn::Set(d, 1.0);
  const V h = r * R;
  const V rpR = r + R;
  const V o = rpR * rpR + dz * dz;
  // As the scalar formula forms it: m1 must come out bit for bit the same.
  const V k2raw = hn::Set(d, 4.0) * h / o;
  const auto clamped = hn::Gt(k2raw, hn::Set(d, 0.9999));
  const V k2 = hn::IfThenElse(clamped, hn::Set(d, 0.9999), k2raw);
  const V m1 = one - k2;
  const auto singular = hn::Eq(o, zero);
  const V L = hn::Log(d, hn::IfThenElse(singular, one, m1));
  const V K = ((hn::Set(d, 0.0725296) - hn::Set(d, 0.0288729) * L) * m1 + hn::Set(d, 0.1119723) -
               hn::Set(d, 0.1213478) * L) *
                  m1 +
              hn::Set(d, 1.3862944) - hn::Set(d, 0.5) * L;
  const V so = hn::Sqrt(o);
  const V iso = one / hn::IfThenElse(singular, one, so);
  P = hn::IfThenElseZero(hn::Not(singular), Q * K * iso);
  if (!kField) return;

  const V E = ((hn::Set(d, 0.1077812) - hn::Set(d, 0.0412496) * L) * m1 + hn::Set(d, 0.4630151) -
               hn::Set(d, 0.2452727) * L) *
                  m1 +
              one;
  const V Rmr = R - r;
  const V t = Rmr * Rmr + dz * dz;
  const auto onRing = hn::Eq(t, zero);
  Ez = hn::IfThenElseZero(hn::Not(onRing), Q * dz * E / hn::IfThenElse(onRing, one, t * so));

  // One reciprocal serves 1/r and 1/(R*m1) of the written bracket
  // K + E*((r - R)*0.5/R*k2/m1 - 1).
  const V den = R * m1 * r;
  const auto denZero = hn::Eq(den, zero);
  const V iden = one / hn::IfThenElse(denZero, one, den);
  const V bracket = K + E * ((r - R) * hn::Set(d, 0.5) * k2 * (r * iden) - one);
  // 0.25*sqrt(k2)/sqrt(h) is 0.5/sqrt(o) while k2 = 4h/o is not clamped.
  V f = hn::Set(d, 0.5) * iso;
  if (!hn::AllFalse(d, clamped))
    f = hn::IfThenElse(clamped, hn::Set(d, 0.25 * std::sqrt(0.9999)) / hn::Sqrt(hn::IfThenElse(clamped, h, one)),
                       f);
  V er = Q * f * (R * m1 * iden) * bracket;
  const auto axis = hn::Or(hn::Lt(r, hn::Set(d, 0.0001) * R), hn::Eq(r, zero));
  const auto point = hn::AndNot(axis, hn::Eq(h, zero));
  if (!hn::AllFalse(d, point)) {
    const V rs = hn::IfThenElse(point, r * so, one);
    const V tp = hn::IfThenElse(point, t, one);
    const V pointEr = Q * hn::Set(d, 0.5) / rs * (K - E * (R * R - r * r + dz * dz) / tp);
    er = hn::IfThenElse(point, pointEr, er);
  }
  Er = hn::IfThenElseZero(hn::Not(axis), er);
}

// A ring (charge Q at radius R, height cy) and, where any charge has one,
// its earth image (charge Qi, zero for a charge without one) seen from (r, y).
template <bool kField>
HWY_INLINE void RingAndImage(D d, V Q, V Qi, V R, V cy, bool anyImage, V r, V y, V& P, V& Er, V& Ez) {
  Ring<kField>(d, Q, R, r, y - cy, P, Er, Ez);
  if (anyImage) {
    V p2, r2, z2;
    Ring<kField>(d, Qi, R, r, y + cy, p2, r2, z2);
    P = P + p2;
    if (kField) {
      Er = Er + r2;
      Ez = Ez + z2;
    }
  }
}

template <bool kField>
HWY_INLINE void ChargeTerms(D d, const Arrays& b, long long i, V r, V y, V& P, V& Er, V& Ez) {
  RingAndImage<kField>(d, hn::Load(d, b.q + i), hn::Load(d, b.image + i), hn::Load(d, b.x + i), hn::Load(d, b.y + i),
                       b.anyImage, r, y, P, Er, Ez);
}

// The weight of a charge on the point's outer side, its inner side, elsewhere.
HWY_INLINE V BySide(hn::Mask<D> isOuter, hn::Mask<D> isInner, V outer, V inner, V elsewhere) {
  return hn::IfThenElse(isOuter, outer, hn::IfThenElse(isInner, inner, elsewhere));
}

// Sums over `padded` charges of `arrays` (chargeless padding adds nothing).
struct PointSums {
  V ap, ar, az, bp, br, bz;
};
HWY_INLINE void SumOver(D d, const Arrays& arrays, long long padded, V vr, V vy, V ra, V rb, bool two, PointSums& s) {
  const size_t lanes = hn::Lanes(d);
  for (long long i = 0; i < padded; i += static_cast<long long>(lanes)) {
    V P, Er, Ez;
    ChargeTerms<true>(d, arrays, i, vr, vy, P, Er, Ez);
    const V reg = hn::Load(d, arrays.region + i);
    const auto actsA = hn::Ne(reg, ra);
    s.ap = s.ap + hn::IfThenElseZero(actsA, P);
    s.ar = s.ar + hn::IfThenElseZero(actsA, Er);
    s.az = s.az + hn::IfThenElseZero(actsA, Ez);
    if (two) {
      const auto actsB = hn::Ne(reg, rb);
      s.bp = s.bp + hn::IfThenElseZero(actsB, P);
      s.br = s.br + hn::IfThenElseZero(actsB, Er);
      s.bz = s.bz + hn::IfThenElseZero(actsB, Ez);
    }
  }
}

HWY_INLINE void FinishPoint(D d, const PointSums& s, GeometrySums* a, GeometrySums* b) {
  a->p = hn::GetLane(hn::SumOfLanes(d, s.ap));
  a->r = hn::GetLane(hn::SumOfLanes(d, s.ar));
  a->z = hn::GetLane(hn::SumOfLanes(d, s.az));
  if (b) {
    b->p = hn::GetLane(hn::SumOfLanes(d, s.bp));
    b->r = hn::GetLane(hn::SumOfLanes(d, s.br));
    b->z = hn::GetLane(hn::SumOfLanes(d, s.bz));
  }
}

void SumAtPoint(const Charge* charges, long long count, double x, double y, int regionA, GeometrySums* a,
                int regionB, GeometrySums* b) {
  const D d;
  const size_t lanes = hn::Lanes(d);
  Block block;
  const V zero = hn::Zero(d);
  PointSums s{zero, zero, zero, zero, zero, zero};
  for (long long start = 0; start < count; start += kBlock) {
    block.Load(charges + start, std::min(kBlock, count - start), lanes);
    SumOver(d, block.View(), block.padded, hn::Set(d, x), hn::Set(d, y), hn::Set(d, static_cast<double>(regionA)),
            hn::Set(d, static_cast<double>(regionB)), b != nullptr, s);
  }
  FinishPoint(d, s, a, b);
}

void SumAtPointPrepared(const ChargeArrays& charges, double x, double y, int regionA, GeometrySums* a, int regionB,
                        GeometrySums* b) {
  const D d;
  const V zero = hn::Zero(d);
  PointSums s{zero, zero, zero, zero, zero, zero};
  const Arrays arrays{charges.x, charges.y, charges.q, charges.image, charges.region, charges.anyImage};
  SumOver(d, arrays, charges.padded, hn::Set(d, x), hn::Set(d, y), hn::Set(d, static_cast<double>(regionA)),
          hn::Set(d, static_cast<double>(regionB)), b != nullptr, s);
  FinishPoint(d, s, a, b);
}

// One row over charges [0, size) of `b` (padded to `padded`), written from
// potentialRow[0] / normalRow[0] on.
HWY_INLINE void RowOver(D d, const ContourPoint& cp, const RowWeights& w, const Arrays& b, long long size,
                        long long padded, double* potentialRow, double* normalRow) {
  const size_t lanes = hn::Lanes(d);
  const V vr = hn::Set(d, cp.x), vy = hn::Set(d, cp.y);
  const V inner = hn::Set(d, static_cast<double>(cp.region)), outer = hn::Set(d, static_cast<double>(cp.otherRegion));
  const V p0 = hn::Set(d, w.pot[0]), p1 = hn::Set(d, w.pot[1]), p2 = hn::Set(d, w.pot[2]);
  const V n0 = hn::Set(d, w.normal[0]), n1 = hn::Set(d, w.normal[1]), n2 = hn::Set(d, w.normal[2]);
  const V nx = hn::Set(d, w.nx), ny = hn::Set(d, w.ny);
  alignas(64) double tailP[64], tailN[64];
  for (long long i = 0; i < padded; i += static_cast<long long>(lanes)) {
    const bool whole = i + static_cast<long long>(lanes) <= size;
    double* outP = whole ? potentialRow + i : tailP;
    double* outN = whole && normalRow ? normalRow + i : tailN;
    const V reg = hn::Load(d, b.region + i);
    V P, Er, Ez;
    if (!w.dielectric) {
      ChargeTerms<false>(d, b, i, vr, vy, P, Er, Ez);
      const auto acts = hn::Or(hn::Eq(reg, inner), hn::Ne(reg, outer));
      hn::StoreU(hn::IfThenElseZero(acts, P * p0), d, outP);
    } else {
      ChargeTerms<true>(d, b, i, vr, vy, P, Er, Ez);
      const auto isOuter = hn::Eq(reg, outer);
      const auto isInner = hn::AndNot(isOuter, hn::Eq(reg, inner));
      const V wp = BySide(isOuter, isInner, p0, p1, p2);
      hn::StoreU(P * wp, d, outP);
      if (normalRow) {
        const V wn = BySide(isOuter, isInner, n0, n1, n2);
        hn::StoreU((Er * nx + Ez * ny) * wn, d, outN);
      }
    }
    if (!whole && i < size) {
      const long long n = size - i;
      std::copy_n(tailP, n, potentialRow + i);
      if (normalRow && w.dielectric) std::copy_n(tailN, n, normalRow + i);
    }
  }
}

void Row(const ContourPoint& cp, const RowWeights& w, const Charge* charges, long long count, double* potentialRow,
         double* normalRow) {
  const D d;
  const size_t lanes = hn::Lanes(d);
  Block block;
  for (long long start = 0; start < count; start += kBlock) {
    block.Load(charges + start, std::min(kBlock, count - start), lanes);
    RowOver(d, cp, w, block.View(), block.size, block.padded, potentialRow + start,
            normalRow ? normalRow + start : nullptr);
  }
}

void RowPrepared(const ContourPoint& cp, const RowWeights& w, const ChargeArrays& a, long long begin, long long end,
                 double* potentialRow, double* normalRow) {
  const D d;
  const Arrays arrays{a.x + begin, a.y + begin, a.q + begin, a.image + begin, a.region + begin, a.anyImage};
  const long long size = std::min(end, a.count) - begin;
  const long long padded = (size + 7) / 8 * 8;
  if (size > 0) RowOver(d, cp, w, arrays, size, padded, potentialRow, normalRow);
}

// Tile rows -> matrix columns. Whole lines of a column go out as streaming
// stores (no read of the line first, no eviction of the tile), the rest as
// ordinary stores. The value (k, j) of the tile to dst[j*ld + k], one at a
// time:
inline void StoreOne(const double* tile, long long stride, long long k, long long j, double* dst, long long ld,
                     double* rowMax) {
  const double v = tile[k * stride + j];
  dst[j * ld + k] = v;
  rowMax[k] = std::max(rowMax[k], std::fabs(v));
}

#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
// Eight tile rows, eight columns: transposed in registers, each column's
// eight values one whole line; rowMax[0..8) raised on the way. Unrolled by
// hand and inlined: written as loops over arrays it stayed out of line with
// every register spilled, a quarter of what the fill paid beyond the kernel.
template <bool kStream>
HWY_INLINE __m512d Store8x8(const double* t, long long s, double* d, long long ld, __m512d largest) {
  const __m512d r0 = _mm512_loadu_pd(t), r1 = _mm512_loadu_pd(t + s), r2 = _mm512_loadu_pd(t + 2 * s),
                r3 = _mm512_loadu_pd(t + 3 * s), r4 = _mm512_loadu_pd(t + 4 * s), r5 = _mm512_loadu_pd(t + 5 * s),
                r6 = _mm512_loadu_pd(t + 6 * s), r7 = _mm512_loadu_pd(t + 7 * s);
  const __m512d t0 = _mm512_unpacklo_pd(r0, r1), t1 = _mm512_unpackhi_pd(r0, r1);
  const __m512d t2 = _mm512_unpacklo_pd(r2, r3), t3 = _mm512_unpackhi_pd(r2, r3);
  const __m512d t4 = _mm512_unpacklo_pd(r4, r5), t5 = _mm512_unpackhi_pd(r4, r5);
  const __m512d t6 = _mm512_unpacklo_pd(r6, r7), t7 = _mm512_unpackhi_pd(r6, r7);
  const __m512d u0 = _mm512_shuffle_f64x2(t0, t2, 0x88), u1 = _mm512_shuffle_f64x2(t0, t2, 0xDD);
  const __m512d u2 = _mm512_shuffle_f64x2(t1, t3, 0x88), u3 = _mm512_shuffle_f64x2(t1, t3, 0xDD);
  const __m512d u4 = _mm512_shuffle_f64x2(t4, t6, 0x88), u5 = _mm512_shuffle_f64x2(t4, t6, 0xDD);
  const __m512d u6 = _mm512_shuffle_f64x2(t5, t7, 0x88), u7 = _mm512_shuffle_f64x2(t5, t7, 0xDD);
  // Lane k of a column is row k: the rows' largest magnitudes without a
  // reduction.
  const __m512d magnitude = _mm512_castsi512_pd(_mm512_set1_epi64(0x7fffffffffffffffLL));
  auto put = [&](long long j, __m512d c) {
    largest = _mm512_max_pd(largest, _mm512_and_pd(c, magnitude));
    if constexpr (kStream)
      _mm512_stream_pd(d + j * ld, c);
    else
      _mm512_storeu_pd(d + j * ld, c);
  };
  put(0, _mm512_shuffle_f64x2(u0, u4, 0x88));
  put(1, _mm512_shuffle_f64x2(u2, u6, 0x88));
  put(2, _mm512_shuffle_f64x2(u1, u5, 0x88));
  put(3, _mm512_shuffle_f64x2(u3, u7, 0x88));
  put(4, _mm512_shuffle_f64x2(u0, u4, 0xDD));
  put(5, _mm512_shuffle_f64x2(u2, u6, 0xDD));
  put(6, _mm512_shuffle_f64x2(u1, u5, 0xDD));
  put(7, _mm512_shuffle_f64x2(u3, u7, 0xDD));
  return largest;
}
#endif

void StoreBlocks(const double* tile, long long stride, long long rows, long long width, double* dst, long long ld,
                 double* rowMax, long long from, long long to) {
  // Blocks of eight rows start where the columns' lines do.
  const long long head = StoreHead(rows, dst, ld);
  const long long across = width / 8, blocks = (rows - head) / 8 * across, end = head + (rows - head) / 8 * 8;
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
  const bool stream = ld % 8 == 0 && reinterpret_cast<uintptr_t>(dst + head) % 64 == 0;
  // The eight rows' maxima stay in a register along a strip of blocks: read
  // and written back per block, each block waited for the one before.
  for (long long b = from; b < std::min(to, blocks);) {
    const long long k = head + b / across * 8, stripEnd = std::min(std::min(to, blocks), (b / across + 1) * across);
    __m512d largest = _mm512_loadu_pd(rowMax + k);
    if (stream)
      for (; b < stripEnd; ++b)
        largest = Store8x8<true>(tile + k * stride + b % across * 8, stride, dst + b % across * 8 * ld + k, ld, largest);
    else
      for (; b < stripEnd; ++b)
        largest = Store8x8<false>(tile + k * stride + b % across * 8, stride, dst + b % across * 8 * ld + k, ld, largest);
    _mm512_storeu_pd(rowMax + k, largest);
  }
#else
  for (long long b = from; b < std::min(to, blocks); ++b) {
    const long long k = head + b / across * 8, j = b % across * 8;
    for (long long jj = j; jj < j + 8; ++jj)
      for (long long kk = k; kk < k + 8; ++kk) StoreOne(tile, stride, kk, jj, dst, ld, rowMax);
  }
#endif
  if (from <= blocks && to > blocks) {  // the rest: rows before the first line and after the last eight,
                                        // columns beyond the last eight
    for (long long k = head; k < end; ++k)
      for (long long j = across * 8; j < width; ++j) StoreOne(tile, stride, k, j, dst, ld, rowMax);
    for (long long k = 0; k < rows; ++k)
      if (k < head || k >= end)
        for (long long j = 0; j < width; ++j) StoreOne(tile, stride, k, j, dst, ld, rowMax);
  }
}

// A strip of a column: a whole line is streamed, so that the memory need
// not read it first and it never sits in a thread's cache. With each
// thread on its own run of rows (the fill's spans) this kept the fill at
// the kernel's pace on a two-core machine where ordinary stores at times
// made it 1.5-2 times dearer (measured). Fenced at the fill's end.
HWY_INLINE void StoreStrip(D d, V v, double* to) {
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
  if (reinterpret_cast<uintptr_t>(to) % 64 == 0) return hn::Stream(v, d, to);
#endif
  hn::StoreU(v, d, to);
}

// Two strips interleaved (a dielectric point's potential and normal rows).
HWY_INLINE void StoreStripPair(D d, V a, V b, double* to) {
#if HWY_ARCH_X86 && HWY_TARGET <= HWY_AVX3
  if (reinterpret_cast<uintptr_t>(to) % 64 == 0) {
    const __m512i low = _mm512_set_epi64(11, 3, 10, 2, 9, 1, 8, 0), high = _mm512_set_epi64(15, 7, 14, 6, 13, 5, 12, 4);
    _mm512_stream_pd(to, _mm512_permutex2var_pd(a.raw, low, b.raw));
    _mm512_stream_pd(to + 8, _mm512_permutex2var_pd(a.raw, high, b.raw));
    return;
  }
#endif
  hn::StoreInterleaved2(a, b, d, to);
}

// Lanes of points, one charge at a time (the charge broadcast): each result
// is a piece of the charge's column, stored where it goes, with no tile and
// no transposition in between. Bit for bit RowOver's values: Ring is the
// same lane-wise arithmetic whichever side is broadcast.
void Columns(const ContourPoint* points, const RowWeights* weights, const long long* rows, long long count,
             const ChargeArrays& a, long long begin, long long end, double* dst, long long ld, double* rowMax) {
  const D d;
  const long long N = static_cast<long long>(hn::Lanes(d));
  end = std::min(end, a.count);
  for (long long first = 0; first < count; first += kColumnPoints) {
    const long long m = std::min(kColumnPoints, count - first);
    const ContourPoint* pts = points + first;
    const RowWeights* ws = weights + first;
    const long long* row = rows + first;
    // Per lane: the point and the weights for a charge on its outer side,
    // its inner side, elsewhere (a conductor point: outer only when it is
    // also its own region, as RowOver's `acts`).
    alignas(64) double px[kColumnPoints], py[kColumnPoints], inner[kColumnPoints], outer[kColumnPoints],
        wo[kColumnPoints], wi[kColumnPoints], we[kColumnPoints], no[kColumnPoints], ni[kColumnPoints],
        ne[kColumnPoints], nx[kColumnPoints], ny[kColumnPoints], die[kColumnPoints];
    alignas(64) double maxP[kColumnPoints], maxN[kColumnPoints];
    for (long long k = 0; k < kColumnPoints; ++k) {
      const bool real = k < m;
      px[k] = real ? pts[k].x : 1.0;  // padding lanes: an ordinary point, weighed by nothing
      py[k] = real ? pts[k].y : 0.0;
      inner[k] = real ? static_cast<double>(pts[k].region) : -1.0;
      outer[k] = real ? static_cast<double>(pts[k].otherRegion) : -1.0;
      const RowWeights w = real ? ws[k] : RowWeights{};
      die[k] = w.dielectric ? 1.0 : 0.0;
      wo[k] = w.pot[0];
      wi[k] = w.dielectric ? w.pot[1] : w.pot[0];
      we[k] = w.dielectric ? w.pot[2] : w.pot[0];
      no[k] = w.normal[0];
      ni[k] = w.normal[1];
      ne[k] = w.normal[2];
      nx[k] = w.nx;
      ny[k] = w.ny;
      maxP[k] = maxN[k] = 0.0;
    }
    // A run of N points is stored whole where its rows are one piece of
    // the column: N conductor rows, or N dielectric pairs (potential and
    // normal rows interleaved); otherwise lane by lane.
    enum Kind : char { kConductors, kDielectrics, kMixed };
    Kind kind[kColumnPoints];
    const long long strips = (m + N - 1) / N;
    for (long long s = 0; s < strips; ++s) {
      const long long k0 = s * N;
      bool conductors = k0 + N <= m, dielectrics = k0 + N <= m;
      for (long long k = k0; k < std::min(m, k0 + N); ++k) {
        conductors = conductors && !ws[k].dielectric && row[k] == row[k0] + (k - k0);
        dielectrics = dielectrics && ws[k].dielectric && row[k] == row[k0] + 2 * (k - k0);
      }
      kind[s] = conductors ? kConductors : dielectrics ? kDielectrics : kMixed;
    }
    const V zero = hn::Zero(d), magnitude = hn::BitCast(d, hn::Set(hn::RebindToUnsigned<D>(), 0x7fffffffffffffffull));
    for (long long j = begin; j < end; ++j) {
      const V R = hn::Set(d, a.x[j]), cy = hn::Set(d, a.y[j]), Q = hn::Set(d, a.q[j]), reg = hn::Set(d, a.region[j]);
      const V Qi = hn::Set(d, a.image[j]);
      double* column = dst + j * ld;
      for (long long s = 0; s < strips; ++s) {
        const long long k0 = s * N;
        const V r = hn::Load(d, px + k0), y = hn::Load(d, py + k0);
        const V in = hn::Load(d, inner + k0), out = hn::Load(d, outer + k0);
        V P, Er, Ez;
        if (kind[s] == kConductors) {
          RingAndImage<false>(d, Q, Qi, R, cy, a.anyImage, r, y, P, Er, Ez);
          const auto acts = hn::Or(hn::Eq(reg, in), hn::Ne(reg, out));
          const V v = hn::IfThenElseZero(acts, P * hn::Load(d, wo + k0));
          StoreStrip(d, v, column + row[k0]);
          hn::Store(hn::Max(hn::Load(d, maxP + k0), hn::And(v, magnitude)), d, maxP + k0);
          continue;
        }
        RingAndImage<true>(d, Q, Qi, R, cy, a.anyImage, r, y, P, Er, Ez);
        const auto isOuter = hn::Eq(reg, out);
        const auto isInner = hn::AndNot(isOuter, hn::Eq(reg, in));
        const V wp = BySide(isOuter, isInner, hn::Load(d, wo + k0), hn::Load(d, wi + k0), hn::Load(d, we + k0));
        const V wn = BySide(isOuter, isInner, hn::Load(d, no + k0), hn::Load(d, ni + k0), hn::Load(d, ne + k0));
        const V en = (Er * hn::Load(d, nx + k0) + Ez * hn::Load(d, ny + k0)) * wn;
        if (kind[s] == kDielectrics) {
          const V v = P * wp;
          StoreStripPair(d, v, en, column + row[k0]);
          hn::Store(hn::Max(hn::Load(d, maxP + k0), hn::And(v, magnitude)), d, maxP + k0);
          hn::Store(hn::Max(hn::Load(d, maxN + k0), hn::And(en, magnitude)), d, maxN + k0);
          continue;
        }
        // Conductor lanes as RowOver's conductor rows.
        const auto acts = hn::Or(hn::Eq(reg, in), hn::Ne(reg, out));
        const auto dielectric = hn::Ne(hn::Load(d, die + k0), zero);
        const V v = hn::IfThenElse(dielectric, P * wp, hn::IfThenElseZero(acts, P * hn::Load(d, wo + k0)));
        alignas(64) double pv[kColumnPoints], nv[kColumnPoints];
        hn::Store(v, d, pv);
        hn::Store(en, d, nv);
        for (long long k = k0; k < std::min(m, k0 + N); ++k) {
          column[row[k]] = pv[k - k0];
          maxP[k] = std::max(maxP[k], std::fabs(pv[k - k0]));
          if (ws[k].dielectric) {
            column[row[k] + 1] = nv[k - k0];
            maxN[k] = std::max(maxN[k], std::fabs(nv[k - k0]));
          }
        }
      }
    }
    for (long long k = 0; k < m; ++k) {
      rowMax[row[k]] = std::max(rowMax[row[k]], maxP[k]);
      if (ws[k].dielectric) rowMax[row[k] + 1] = std::max(rowMax[row[k] + 1], maxN[k]);
    }
  }
}

long long CurrentTarget() { return HWY_TARGET; }

}  // namespace HWY_NAMESPACE
}  // namespace ringkernel
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace ringkernel {

HWY_EXPORT(SumAtPoint);
HWY_EXPORT(SumAtPointPrepared);
HWY_EXPORT(Row);
HWY_EXPORT(RowPrepared);
HWY_EXPORT(CurrentTarget);
HWY_EXPORT(StoreBlocks);
HWY_EXPORT(Columns);

void Columns(const ContourPoint* points, const RowWeights* weights, const long long* rows, long long count,
             const ChargeArrays& charges, long long begin, long long end, double* dst, long long ld, double* rowMax) {
  HWY_DYNAMIC_DISPATCH(Columns)(points, weights, rows, count, charges, begin, end, dst, ld, rowMax);
}

void StoreBlocks(const double* tile, long long stride, long long rows, long long width, double* dst, long long ld,
                 double* rowMax, long long from, long long to) {
  HWY_DYNAMIC_DISPATCH(StoreBlocks)(tile, stride, rows, width, dst, ld, rowMax, from, to);
}

void SumAtPoint(const Charge* charges, long long count, double x, double y, int regionA, GeometrySums* a,
                int regionB, GeometrySums* b) {
  HWY_DYNAMIC_DISPATCH(SumAtPoint)(charges, count, x, y, regionA, a, regionB, b);
}

void SumAtPoint(const ChargeArrays& charges, double x, double y, int regionA, GeometrySums* a, int regionB,
                GeometrySums* b) {
  HWY_DYNAMIC_DISPATCH(SumAtPointPrepared)(charges, x, y, regionA, a, regionB, b);
}

void Row(const ContourPoint& cp, const RowWeights& w, const Charge* charges, long long count, double* potentialRow,
         double* normalRow) {
  HWY_DYNAMIC_DISPATCH(Row)(cp, w, charges, count, potentialRow, normalRow);
}

void Row(const ContourPoint& cp, const RowWeights& w, const ChargeArrays& charges, long long begin, long long end,
         double* potentialRow, double* normalRow) {
  HWY_DYNAMIC_DISPATCH(RowPrepared)(cp, w, charges, begin, end, potentialRow, normalRow);
}

ChargeArrays::ChargeArrays(const Charge* c, long long n) : charges(c), count(n) {
  // A whole number of the widest vectors (8 doubles), each array aligned
  // to a cache line.
  padded = (n + 7) / 8 * 8;
  const size_t stride = static_cast<size_t>(padded);
  storage_.assign(5 * stride + 8, 0.0);
  double* base = storage_.data();
  while (reinterpret_cast<uintptr_t>(base) % 64 != 0) ++base;
  double* px = base;
  double* py = base + stride;
  double* pq = base + 2 * stride;
  double* pi = base + 3 * stride;
  double* pr = base + 4 * stride;
  for (long long i = 0; i < padded; ++i) {
    const bool real = i < n;
    px[i] = real ? c[i].x : 1.0;  // padding: an ordinary ring without charge
    py[i] = real ? c[i].y : 0.0;
    pq[i] = real ? c[i].q : 0.0;
    pi[i] = real && c[i].earthImage ? -c[i].q : 0.0;
    pr[i] = real ? static_cast<double>(c[i].region) : 0.0;
    anyImage = anyImage || (real && c[i].earthImage);
  }
  x = px;
  y = py;
  q = pq;
  image = pi;
  region = pr;
}

void StoreFence() { hwy::FlushStream(); }

std::string TargetName() { return hwy::TargetName(HWY_DYNAMIC_DISPATCH(CurrentTarget)()); }

void RestrictTargets(long long targets) { hwy::SetSupportedTargetsForTest(targets); }

std::vector<long long> AvailableTargets() {
  std::vector<long long> out;
  for (int64_t t : hwy::SupportedAndGeneratedTargets()) out.push_back(t);
  return out;
}

}  // namespace ringkernel
#endif
