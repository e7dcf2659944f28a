#include "engine/Refinement.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "engine/Accuracy.h"
#include "engine/ProgressReporter.h"
#include "model/Arch.h"
#include "model/Line.h"

namespace {

// Growth of the contour-point count of a generatrix failing in its
// interior, and of a neighbour of a refined generatrix.
constexpr double kInteriorGrowth = 1.5;
constexpr double kNeighbourGrowth = 1.25;
// The end piece: this many steps of the generatrix, this many contour
// points (a third of the step), charges this much deeper (up to a limit).
constexpr int kEndSteps = 2;
constexpr int kEndPoints = 5;
constexpr double kEndDepthFactor = 2.0;
constexpr double kMaxEndRatio = 4.0;
constexpr int kMaxRounds = 30;

int Grown(int n, double factor) { return std::max(n + 1, static_cast<int>(std::ceil(n * factor))); }

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
    auto& q = static_cast<Line&>(*p);
    q.SetAll(p->Params(), x0, y0, x1, y1);
  }
  return p;
}

bool SharesEnd(const SurfData& a, const SurfData& b) {
  double a1x, a1y, a2x, a2y, b1x, b1y, b2x, b2y;
  a.GetEnds(a1x, a1y, a2x, a2y);
  b.GetEnds(b1x, b1y, b2x, b2y);
  const double tol = 1e-6 * (1.0 + std::fabs(a1x) + std::fabs(a1y) + std::fabs(a2x) + std::fabs(a2y));
  auto same = [&](double x1, double y1, double x2, double y2) { return std::hypot(x1 - x2, y1 - y2) <= tol; };
  return same(a1x, a1y, b1x, b1y) || same(a1x, a1y, b2x, b2y) || same(a2x, a2y, b1x, b1y) ||
         same(a2x, a2y, b2x, b2y);
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
    const bool shaped = e.GetKind() == SurfData::kArch || e.GetKind() == SurfData::kLine;
    if (!failing[i] || !shaped || n < 2) {
      std::unique_ptr<SurfData> c = e.Clone();
      if (failing[i] || neighbour[i]) c->pointCount = Grown(n, failing[i] ? kInteriorGrowth : kNeighbourGrowth);
      out.Append(std::move(c));
      continue;
    }
    const double t = worstAt[i];
    const bool variable = e.IsConductor() && !e.isFixed && !e.isFloating;
    const bool atEnd = (t <= 1.0 || t >= n) && !variable && n > kEndSteps;
    if (!atEnd) {
      std::unique_ptr<SurfData> c = e.Clone();
      c->pointCount = Grown(n, kInteriorGrowth);
      out.Append(std::move(c));
      continue;
    }
    const double endRatio = std::min(kMaxEndRatio, std::max(e.ratioLd, e.ratioLd * kEndDepthFactor));
    const double last = n + 1.0;
    if (t < last / 2) {
      out.Append(Piece(e, 0.0, kEndSteps, kEndPoints, endRatio));
      out.Append(Piece(e, kEndSteps, last, n - 1, e.ratioLd));
    } else {
      out.Append(Piece(e, 0.0, last - kEndSteps, n - 1, e.ratioLd));
      out.Append(Piece(e, last - kEndSteps, last, kEndPoints, endRatio));
    }
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
  CSurfColl previous;
  for (int round = 0; round < kMaxRounds; ++round) {
    calc.ClearError();
    calc.Place();
    if (!calc.ErrorCode()) calc.FillMatrix();
    if (!calc.ErrorCode()) calc.SolveCharges(false);
    if (calc.ErrorCode() || !calc.HasSolution()) {
      result.errorCode = calc.ErrorCode() ? calc.ErrorCode() : FieldCalc::kBadElement;
      if (round > 0) replaceSystem(previous);
      calc.ClearError();
      return result;
    }
    const SolutionAnalysis a = AnalyseSolution(calc, 1);
    result.rounds.push_back({calc.Unknowns(), a.WorstError()});
    if (a.WorstError() <= target) {
      result.targetMet = true;
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
      return result;
    }
    previous = calc.Generatrices().Clone();
    replaceSystem(next);
  }
  return result;
}
