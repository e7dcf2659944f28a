// The system of equations of the charge simulation method and its solution.
//
// Unknowns: the charges in placement order, then one potential per floating
// conductor. Rows: one per conductor contour point, two per dielectric
// contour point (potential and normal displacement continuous), then one
// zero-net-charge row per floating conductor.

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "engine/FieldCalc.h"
#include "engine/Parallel.h"
#include "engine/ProgressReporter.h"
#include "engine/RingField.h"


void FieldCalc::FillMatrix() {
  const long long nc = totalCharges;
  const long long n = Unknowns();
  const long long np = static_cast<long long>(points.size());
  if (progress) {
    progress->ShowStage("Заполнение матрицы");
    progress->SetRange(0, totalPoints);
    progress->SetPosition(0);
  }
  if (static_cast<long long>(charges.size()) != nc || np != totalPoints ||
      static_cast<long long>(coefficients.RowNo()) != n || static_cast<long long>(rhs.RowNo()) != n) {
    // Only possible when Place did not run or failed; the solver would
    // then meet zero rows.
    if (progress)
      progress->ShowMessage("matrixT::operator(): Index out of range!", "error",
                            ProgressReporter::Icon::Warning);
    return;
  }

  // Row of each contour point's first equation.
  std::vector<long long> rowOf(static_cast<size_t>(np) + 1, 0);
  for (long long p = 0; p < np; ++p) rowOf[p + 1] = rowOf[p] + (points[p].material == 1 ? 1 : 2);

  double* a = coefficients.Data();
  const long long ld = static_cast<long long>(coefficients.Ld());
  double* b = rhs.Data();
  const Charge* q = charges.data();

  // Rows of one chunk of points are computed in parallel into a row-major
  // buffer, then copied into the column-major matrix in parallel by
  // columns, so that no two threads ever write to the same cache line.
  std::vector<double> buffer;
  long long chunkRow0 = 0;
  auto computePoints = [&](long long begin, long long end) {
    for (long long p = begin; p < end; ++p) {
      double* pot = buffer.data() + (rowOf[p] - chunkRow0) * nc;
      CoefficientRow(points[p], q, nc, pot, points[p].material == 1 ? nullptr : pot + nc);
    }
  };
  auto storeRows = [&](long long rows) {
    // Eight columns at a time: one cache line of each buffer row feeds
    // eight sequential column streams.
    ParallelFor((nc + 7) / 8, [&](long long b0, long long b1) {
      for (long long j0 = b0 * 8; j0 < std::min(nc, b1 * 8); j0 += 8) {
        const long long j1 = std::min(nc, j0 + 8);
        for (long long r = 0; r < rows; ++r) {
          const double* from = buffer.data() + r * nc;
          for (long long j = j0; j < j1; ++j) a[j * ld + chunkRow0 + r] = from[j];
        }
      }
    });
  };

  const long long chunk = ChunkFor(static_cast<double>(nc) * (UseEarth ? 2 : 1));
  long long groups = 0;
  int groupId = 0;
  auto finishRow = [&](long long p) {
    const ContourPoint& cp = points[p];
    const long long r = rowOf[p];
    if (cp.isFloating) {
      if (cp.region != groupId) {
        groupId = cp.region;
        const long long gr = nc + groups;
        for (long long j = 0; j < nc; ++j) a[j * ld + gr] = charges[j].region == groupId ? 1.0 : 0.0;
        for (long long g = 0; g < totalFloating; ++g) a[(nc + g) * ld + gr] = 0.0;
        b[gr] = 0.0;
        ++groups;
      }
      for (long long g = 0; g < totalFloating; ++g) a[(nc + g) * ld + r] = 0.0;
      a[(nc + groups - 1) * ld + r] = -1.0;
      b[r] = cp.y * ExternalField;
    } else if (cp.material != 1) {
      b[r] = cp.potential;
      b[r + 1] = -(cp.epsInner - cp.epsOuter) * std::sin(cp.normalAngle) * ExternalField;
      for (long long g = 0; g < totalFloating; ++g) {
        a[(nc + g) * ld + r] = 0.0;
        a[(nc + g) * ld + r + 1] = 0.0;
      }
    } else {
      b[r] = cp.y * ExternalField + cp.potential;
      for (long long g = 0; g < totalFloating; ++g) a[(nc + g) * ld + r] = 0.0;
    }
    if (progress) progress->StepForward();
  };
  try {
    for (long long start = 0; start < np;) {
      // The cancel question point by point first, so that an abort stops
      // the fill before the point at which it was confirmed.
      long long stop = std::min(np, start + chunk);
      bool aborted = false;
      for (long long p = start; p < stop; ++p)
        if (AbortRequested()) {
          stop = p;
          aborted = true;
          break;
        }
      chunkRow0 = rowOf[start];
      const long long rows = rowOf[stop] - chunkRow0;
      buffer.resize(static_cast<size_t>(rows * nc));
      ParallelFor(stop - start, [&](long long b0, long long b1) { computePoints(start + b0, start + b1); });
      storeRows(rows);
      for (long long p = start; p < stop; ++p) finishRow(p);
      if (aborted) return;
      start = stop;
    }
  } catch (const std::bad_alloc&) {
    SetError(kNoMemory);
  }
}

void FieldCalc::SolveCharges(bool keepMatrix) {
  solved_ = false;
  const long long n = Unknowns();
  matrixT solution;
  try {
    coefficients.progress = progress;
    // Asked on this thread while the factorisation runs; a confirmed abort
    // (code 9) stops it at its next block.
    const math::SolveWatch watch = [this](double) { return !AbortRequested(); };
    solution = keepMatrix ? coefficients.Solve(rhs, watch) : coefficients.SolveReleasing(rhs, watch);
    coefficients.progress = nullptr;
  } catch (const math::solve_stopped&) {
    coefficients.progress = nullptr;  // AbortRequested has set code 9
  } catch (const math::matrix_error&) {
    coefficients.progress = nullptr;
    SetError(kSingular);
  } catch (const std::bad_alloc&) {
    coefficients.progress = nullptr;
    SetError(kNoMemory);
  }
  if (errorCode != 0) {
    if (progress) progress->ShowStage("");
    return;
  }

  if (progress) {
    progress->ShowStage("Расчет зарядов");
    progress->SetRange(0, totalCharges);
    progress->SetPosition(0);
  }
  long long reached = 0;
  for (; reached < totalCharges; ++reached) {
    if (AbortRequested()) break;
    charges[static_cast<size_t>(reached)].q = solution(static_cast<size_t>(reached), 0);
    if (progress) progress->StepForward();
  }

  if (progress) {
    progress->ShowStage("Определение плавающих потенциалов");
    progress->SetRange(reached, n);
  }
  std::vector<double> floating(static_cast<size_t>(totalFloating), 0.0);
  for (long long g = 0; g < totalFloating; ++g) {
    if (AbortRequested()) break;
    floating[static_cast<size_t>(g)] = solution(static_cast<size_t>(totalCharges + g), 0);
    if (progress) progress->StepForward();
  }

  int previous = 0;
  long long group = -1;
  for (ContourPoint& p : points) {
    if (!p.isFloating) continue;
    if (p.region != previous) {
      ++group;
      previous = p.region;
    }
    if (group >= 0 && group < totalFloating) p.potential = floating[static_cast<size_t>(group)];
  }
  if (progress) progress->ShowStage("");
  solved_ = errorCode == 0;
}
