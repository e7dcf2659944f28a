#include "engine/Refinement.h"

#include <algorithm>
#include <cmath>
#include <cmath>
#include <optional>

#include "engine/Accuracy.h"
#include "engine/ProgressReporter.h"
#include "model/Arch.h"
#include "model/Line.h"

namespace {

// Growth of the contour-point count of a generatrix that misses the
// target, and of a neighbour of one.
constexpr double kGrowth = 1.5;
constexpr double kNeighbourGrowth = 1.25;
constexpr int kMaxRounds = 30;
// Rounds without a gain of this factor end the refinement (the formula's
// own floor or the clamp has been reached).
constexpr double kStallGain = 0.9;
constexpr int kStallRounds = 5;

// The last kStallRounds rounds did not improve on the best before them by
// the factor kStallGain (errors are not monotonic from round to round).
bool Stalled(const std::vector<RefinementRound>& rounds) {
  const size_t r = rounds.size();
  if (r <= kStallRounds) return false;
  double before = INFINITY, recent = INFINITY;
  for (size_t i = 0; i < r; ++i) (i + kStallRounds < r ? before : recent) = std::min(i + kStallRounds < r ? before : recent, rounds[i].worstError);
  return recent > kStallGain * before;
}

// Grading toward a free end: a piece of this many steps split off with
// this many contour points and its charges twice as deep (up to the limit).
constexpr int kEndSteps = 2;
constexpr int kEndPoints = 5;
constexpr double kMaxEndRatio = 4.0;

int Grown(int n, double factor) { return std::max(n + 1, static_cast<int>(std::ceil(n * factor))); }

bool SharesEnd(const SurfData& a, const SurfData& b) {
  double a1x, a1y, a2x, a2y, b1x, b1y, b2x, b2y;
  a.GetEnds(a1x, a1y, a2x, a2y);
  b.GetEnds(b1x, b1y, b2x, b2y);
  const double tol = 1e-6 * (1.0 + std::fabs(a1x) + std::fabs(a1y) + std::fabs(a2x) + std::fabs(a2y));
  auto same = [&](double x1, double y1, double x2, double y2) { return std::hypot(x1 - x2, y1 - y2) <= tol; };
  return same(a1x, a1y, b1x, b1y) || same(a1x, a1y, b2x, b2y) || same(a2x, a2y, b1x, b1y) ||
         same(a2x, a2y, b2x, b2y);
}

// Whether no other generatrix has an end at (x, y).
bool FreeEnd(const CSurfColl& system, int self, double x, double y) {
  for (int j = 0; j < system.GetSize(); ++j) {
    if (j == self) continue;
    double x1, y1, x2, y2;
    system[j]->GetEnds(x1, y1, x2, y2);
    const double tol = 1e-6 * (1.0 + std::fabs(x) + std::fabs(y));
    if (std::hypot(x1 - x, y1 - y) <= tol || std::hypot(x2 - x, y2 - y) <= tol) return false;
  }
  return true;
}

// A copy of `e` with `points` contour points (a line derives its step from
// the count).
std::unique_ptr<SurfData> WithPoints(const SurfData& e, int points) {
  std::unique_ptr<SurfData> p = e.Clone();
  p->pointCount = points;
  if (e.GetKind() == SurfData::kLine) {
    auto& l = static_cast<Line&>(*p);
    l.SetAll(l.Params(), l.x1, l.y1, l.x2, l.y2);
  }
  return p;
}

// The part of `e` between t0 and t1 (in its contour-point steps) with
// `points` contour points and ratio `ratio`.
std::unique_ptr<SurfData> Piece(const SurfData& e, double t0, double t1, int points, double ratio) {
  std::unique_ptr<SurfData> p = e.Clone();
  p->pointCount = points;
  p->ratioLd = ratio;
  if (e.GetKind() == SurfData::kArch) {
    const auto& a = static_cast<const Arch&>(e);
    auto& q = static_cast<Arch&>(*p);
    const double d = a.AngularStep();
    q.angle1 = a.angle1 - t0 * d;
    q.angle2 = a.angle1 - t1 * d;
  } else {
    double x0, y0, x1, y1, nx, ny;
    PointOnGeneratrix(e, t0, x0, y0, nx, ny);
    PointOnGeneratrix(e, t1, x1, y1, nx, ny);
    static_cast<Line&>(*p).SetAll(p->Params(), x0, y0, x1, y1);
  }
  return p;
}

long long UnknownsOf(const CSurfColl& system) {
  long long n = 0;
  std::vector<int> floating;
  for (const auto& e : system) {
    n += e->ChargeCount();
    if (e->IsConductor() && e->isFloating &&
        std::find(floating.begin(), floating.end(), e->innerRegion) == floating.end())
      floating.push_back(e->innerRegion);
  }
  return n + static_cast<long long>(floating.size());
}

}  // namespace

CSurfColl RefinedSystem(const CSurfColl& system, const std::vector<double>& errors,
                        const std::vector<double>& worstAt, double target) {
  const int count = system.GetSize();
  std::vector<char> failing(static_cast<size_t>(count), 0), neighbour(static_cast<size_t>(count), 0);
  for (int i = 0; i < count; ++i) failing[i] = i < static_cast<int>(errors.size()) && errors[i] > target;
  for (int i = 0; i < count; ++i)
    for (int j = 0; j < count && !failing[i]; ++j)
      if (failing[j] && SharesEnd(*system[i], *system[j])) neighbour[i] = 1;
  CSurfColl out;
  for (int i = 0; i < count; ++i) {
    const SurfData& e = *system[i];
    const int n = static_cast<int>(e.PointCount());
    // Worst at a free end (on the axis, say): split off a graded end piece
    // once, while its charges can still go deeper.
    const double t = i < static_cast<int>(worstAt.size()) ? worstAt[i] : -1.0;
    const bool shaped = e.GetKind() == SurfData::kArch || e.GetKind() == SurfData::kLine;
    const bool variable = e.IsConductor() && !e.isFixed && !e.isFloating;
    const bool atStart = t >= 0.0 && t <= 1.0, atFinish = t >= n;
    if (failing[i] && shaped && !variable && n > kEndSteps + 1 && (atStart || atFinish) &&
        2.0 * e.ratioLd <= kMaxEndRatio) {
      double x, y, nx, ny;
      PointOnGeneratrix(e, atStart ? 0.0 : n + 1.0, x, y, nx, ny);
      if (FreeEnd(system, i, x, y)) {
        const double last = n + 1.0;
        const int rest = Grown(n - kEndSteps + 1, kGrowth);
        if (atStart) {
          out.Append(Piece(e, 0.0, kEndSteps, kEndPoints, 2.0 * e.ratioLd));
          out.Append(Piece(e, kEndSteps, last, rest, e.ratioLd));
        } else {
          out.Append(Piece(e, 0.0, last - kEndSteps, rest, e.ratioLd));
          out.Append(Piece(e, last - kEndSteps, last, kEndPoints, 2.0 * e.ratioLd));
        }
        continue;
      }
    }
    const bool grow = n > 0 && (failing[i] || neighbour[i]);
    out.Append(WithPoints(e, grow ? Grown(n, failing[i] ? kGrowth : kNeighbourGrowth) : n));
  }
  return out;
}

RefinementResult RefineToTarget(FieldCalc& calc, double target, long long maxUnknowns, ProgressReporter* ui) {
  RefinementResult result;
  std::optional<FieldCalc::ProgressScope> attached;
  if (ui) attached.emplace(calc, *ui);
  auto replaceSystem = [&](const CSurfColl& system) {
    while (calc.Generatrices().GetSize() > 0) calc.RemoveGeneratrix(calc.Generatrices().GetSize() - 1);
    for (const auto& e : system) calc.AddGeneratrix(e->Clone());
  };
  CSurfColl best;
  double bestError = INFINITY;
  bool lastIsBest = true;
  // A stalled or limited refinement ends with the best system seen.
  auto keepBest = [&] {
    if (!lastIsBest) replaceSystem(best);
  };
  for (int round = 0; round < kMaxRounds; ++round) {
    calc.ClearError();
    calc.Place();
    if (!calc.ErrorCode()) calc.FillMatrix();
    if (!calc.ErrorCode()) calc.SolveCharges(false);
    if (calc.ErrorCode() || !calc.HasSolution()) {
      result.errorCode = calc.ErrorCode() ? calc.ErrorCode() : FieldCalc::kBadElement;
      result.errorText = calc.FullErrorText();
      if (round > 0) replaceSystem(best);
      calc.ClearError();
      return result;
    }
    const SolutionAnalysis a = AnalyseSolution(calc, 1);
    result.rounds.push_back({calc.Unknowns(), a.WorstError()});
    lastIsBest = a.WorstError() < bestError;
    if (lastIsBest) {
      bestError = a.WorstError();
      best = calc.Generatrices().Clone();
    }
    if (a.WorstError() <= target) {
      result.targetMet = true;
      return result;
    }
    if (Stalled(result.rounds)) {
      result.stalled = true;
      keepBest();
      return result;
    }
    std::vector<double> errors, worstAt;
    for (const GeneratrixAccuracy& g : a.generatrices) {
      errors.push_back(g.Error());
      worstAt.push_back(g.worstAt);
    }
    CSurfColl next = RefinedSystem(calc.Generatrices(), errors, worstAt, target);
    if (UnknownsOf(next) > maxUnknowns) {
      result.limitReached = true;
      keepBest();
      return result;
    }
    replaceSystem(next);
  }
  return result;
}
