#include "engine/Refinement.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <optional>
#include <sstream>

#include "engine/Accuracy.h"
#include "engine/ProgressReporter.h"
#include "engine/SingularPoints.h"
#include "model/Arch.h"
#include "model/Line.h"

namespace {

constexpr double kGrowth = 1.5;       // largest spacing of a generatrix that misses the target
constexpr double kEndGrowth = 2.0;    // its end spacings
constexpr int kMaxRounds = 40;
// Rounds without a gain of this factor end the refinement.
constexpr double kStallGain = 0.9;
constexpr int kStallRounds = 4;
// Initial end spacing: this fraction of the given step.
constexpr double kInitialEndFraction = 1.0 / 16.0;
// The depth ratio graded placement works toward.
constexpr double kGradedRatio = 3.0;

double Figure(const RefinementRound& r) { return std::max(r.worstError, r.worstFieldError); }

bool Stalled(const std::vector<RefinementRound>& rounds) {
  const size_t r = rounds.size();
  if (r <= kStallRounds) return false;
  double before = INFINITY, recent = INFINITY;
  for (size_t i = 0; i < r; ++i) {
    double& slot = i + kStallRounds < r ? before : recent;
    slot = std::min(slot, Figure(rounds[i]));
  }
  return recent > kStallGain * before;
}

double Length(const SurfData& e) {
  if (e.GetKind() == SurfData::kLine) return static_cast<const Line&>(e).length;
  if (e.GetKind() == SurfData::kArch) {
    const auto& a = static_cast<const Arch&>(e);
    return std::fabs(a.radius * (a.angle1 - a.angle2));
  }
  return 0.0;
}

bool Gradable(const SurfData& e) {
  const bool shaped = e.GetKind() == SurfData::kArch || e.GetKind() == SurfData::kLine;
  const bool variable = e.IsConductor() && !e.isFixed && !e.isFloating;
  return shaped && !variable && e.PointCount() > 0 && Length(e) > 0.0;
}

// Spacings (cm) that define a generatrix's graded placement.
struct Spacing {
  double largest = 0.0, end0 = 0.0, end1 = 0.0;
};

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

std::string RefinementResult::StopReason() const {
  if (targetMet) return "target_met";
  if (memoryLimited) return "memory";
  if (limitReached) return "limit";
  if (stalled) return "stalled";
  return "";
}

void WriteRefinedSystem(const FieldCalc& calc, std::ostream& out) {
  FieldCalc pieces;
  for (const auto& e : calc.Generatrices()) {
    if (!e->Graded()) {
      pieces.AddGeneratrix(e->Clone());
      continue;
    }
    for (long long i = 1; i <= e->PointCount(); ++i) {
      std::unique_ptr<SurfData> p = e->Clone();
      p->cells.clear();
      p->pointCount = 1;
      p->ratioLd = 2.0 * e->ratioLd;
      const double f0 = e->cells[i - 1], f1 = e->cells[i];
      if (e->GetKind() == SurfData::kArch) {
        const auto& a = static_cast<const Arch&>(*e);
        auto& q = static_cast<Arch&>(*p);
        q.angle1 = a.angle1 - f0 * (a.angle1 - a.angle2);
        q.angle2 = a.angle1 - f1 * (a.angle1 - a.angle2);
      } else {
        const auto& l = static_cast<const Line&>(*e);
        static_cast<Line&>(*p).SetAll(p->Params(), l.x1 + f0 * (l.x2 - l.x1), l.y1 + f0 * (l.y2 - l.y1),
                                      l.x1 + f1 * (l.x2 - l.x1), l.y1 + f1 * (l.y2 - l.y1));
      }
      pieces.AddGeneratrix(std::move(p));
    }
  }
  pieces.WriteSystem(out);
}

double MatrixMemoryMb(long long unknowns) {
  return 8.0 * static_cast<double>(unknowns) * static_cast<double>(unknowns) / (1024.0 * 1024.0);
}

double DefaultMemoryBoundMb() {
  std::ifstream in("/proc/meminfo");
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream s(line);
    std::string key;
    double kb = 0.0;
    if (s >> key >> kb && key == "MemAvailable:") return kb / 1024.0 / 2.0;
  }
  return 0.0;
}

std::vector<double> GradedCells(double length, double largest, double end0, double end1) {
  // The spacing h(s) = min(largest, end0 + rate*s, end1 + rate*(L - s));
  // N = ceil(integral of ds/h) cells, boundaries where the integral reaches
  // equal shares (a numerical integral over kSamples pieces is plenty).
  constexpr int kSamples = 4096;
  auto h = [&](double s) { return std::min({largest, end0 + kGradingRate * s, end1 + kGradingRate * (length - s)}); };
  std::vector<double> cumulative(kSamples + 1, 0.0);
  for (int i = 0; i < kSamples; ++i) {
    const double s = (i + 0.5) * length / kSamples;
    cumulative[i + 1] = cumulative[i] + (length / kSamples) / h(s);
  }
  const int n = std::max(1, static_cast<int>(std::ceil(cumulative[kSamples] - 1e-9)));
  std::vector<double> cells(static_cast<size_t>(n) + 1, 0.0);
  cells[n] = 1.0;
  int j = 0;
  for (int k = 1; k < n; ++k) {
    const double share = cumulative[kSamples] * k / n;
    while (j + 1 < kSamples && cumulative[j + 1] < share) ++j;
    const double within = (share - cumulative[j]) / (cumulative[j + 1] - cumulative[j]);
    cells[k] = (j + within) / kSamples;
  }
  return cells;
}

RefinementResult RefineToTarget(FieldCalc& calc, double target, long long maxUnknowns, ProgressReporter* ui) {
  RefinementOptions o;
  o.target = target;
  o.maxUnknowns = maxUnknowns;
  return RefineToTarget(calc, o, ui);
}

RefinementResult RefineToTarget(FieldCalc& calc, const RefinementOptions& options, ProgressReporter* ui) {
  RefinementResult result;
  result.maxMemoryMb = options.maxMemoryMb > 0.0 ? options.maxMemoryMb : DefaultMemoryBoundMb();
  std::optional<FieldCalc::ProgressScope> attached;
  if (ui) attached.emplace(calc, *ui);
  if (options.target < kApproximateFormulaFloor && !calc.Parameters().Precise) {
    CalcParameters p = calc.Parameters();
    p.Precise = true;
    calc.SetParameters(p);
    result.switchedToPrecise = true;
  }
  auto replaceSystem = [&](const CSurfColl& system) {
    while (calc.Generatrices().GetSize() > 0) calc.RemoveGeneratrix(calc.Generatrices().GetSize() - 1);
    for (const auto& e : system) calc.AddGeneratrix(e->Clone());
  };
  // The system as given, which every round's placement is derived from.
  const CSurfColl original = calc.Generatrices().Clone();
  const int count = original.GetSize();
  const std::vector<SingularPoint> singular = FindSingularPoints(original, options.singularRadius);

  // Which ends meet (for shared spacing) and which are singular.
  struct EndInfo {
    double x = 0.0, y = 0.0;
    double singularSpacing = INFINITY;
  };
  std::vector<EndInfo> ends(2 * static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    double x1, y1, x2, y2;
    original[i]->GetEnds(x1, y1, x2, y2);
    ends[2 * i] = {x1, y1};
    ends[2 * i + 1] = {x2, y2};
  }
  for (const SingularPoint& p : singular)
    if (p.infinite)
      for (EndInfo& e : ends)
        if (std::hypot(e.x - p.x, e.y - p.y) <= 1e-6 * (1.0 + std::fabs(p.x) + std::fabs(p.y)))
          e.singularSpacing = std::min(e.singularSpacing, 0.25 * p.radius);

  std::vector<Spacing> spacing(static_cast<size_t>(count));
  std::vector<double> steps(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const SurfData& e = *original[i];
    const double step = Length(e) / (static_cast<double>(e.PointCount()) + 1.0);
    steps[i] = step;
    spacing[i] = {step, kInitialEndFraction * step, kInitialEndFraction * step};
    spacing[i].end0 = std::min(spacing[i].end0, ends[2 * i].singularSpacing);
    spacing[i].end1 = std::min(spacing[i].end1, ends[2 * i + 1].singularSpacing);
  }
  std::vector<int> evenCounts(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) evenCounts[i] = original[i]->pointCount;

  auto graded = [&]() {
    // Ends that meet take the finer spacing of the two.
    for (size_t a = 0; a < ends.size(); ++a)
      for (size_t b = a + 1; b < ends.size(); ++b)
        if (std::hypot(ends[a].x - ends[b].x, ends[a].y - ends[b].y) <=
            1e-6 * (1.0 + std::fabs(ends[a].x) + std::fabs(ends[a].y))) {
          double& sa = a % 2 ? spacing[a / 2].end1 : spacing[a / 2].end0;
          double& sb = b % 2 ? spacing[b / 2].end1 : spacing[b / 2].end0;
          sa = sb = std::min(sa, sb);
        }
    CSurfColl system;
    for (int i = 0; i < count; ++i) {
      std::unique_ptr<SurfData> e = original[i]->Clone();
      if (Gradable(*e)) {
        const Spacing& s = spacing[i];
        e->cells = GradedCells(Length(*e), s.largest, std::min(s.end0, s.largest), std::min(s.end1, s.largest));
        e->pointCount = static_cast<int>(e->cells.size()) - 1;
        // No charge deeper than the given placement put one.
        const double givenDepth = original[i]->ratioLd * steps[i];
        e->ratioLd = std::max(original[i]->ratioLd, std::min(kGradedRatio, givenDepth / s.largest));
      } else {
        e->pointCount = evenCounts[i];
        e->cells.clear();
      }
      if (e->GetKind() == SurfData::kLine) {
        auto& l = static_cast<Line&>(*e);
        l.SetAll(l.Params(), l.x1, l.y1, l.x2, l.y2);  // the step follows the count
        l.cells = e->cells;
      }
      system.Append(std::move(e));
    }
    return system;
  };

  CSurfColl best;
  double bestFigure = INFINITY;
  bool lastIsBest = true;
  auto keepBest = [&] {
    if (!lastIsBest) replaceSystem(best);
  };
  AnalysisOptions analysisOptions;
  analysisOptions.singularRadius = options.singularRadius;
  for (int round = 0; round < kMaxRounds; ++round) {
    const auto start = std::chrono::steady_clock::now();
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
    const SolutionAnalysis a = AnalyseSolution(calc, analysisOptions, ui);
    if (a.aborted) {
      result.errorCode = FieldCalc::kAborted;
      result.errorText = FieldCalc::MessageFor(FieldCalc::kAborted);
      return result;
    }
    RefinementRound r;
    r.unknowns = calc.Unknowns();
    r.worstError = a.WorstError();
    r.worstFieldError = a.worstFieldError;
    for (const GeneratrixAccuracy& g : a.generatrices) r.largestField = std::max(r.largestField, g.maxField);
    r.memoryMb = MatrixMemoryMb(r.unknowns);
    r.precise = calc.Parameters().Precise;
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.rounds.push_back(r);
    if (options.onRound) options.onRound(r);
    lastIsBest = Figure(r) < bestFigure;
    if (lastIsBest) {
      bestFigure = Figure(r);
      best = calc.Generatrices().Clone();
    }
    if (Figure(r) <= options.target) {
      result.targetMet = true;
      return result;
    }
    if (Stalled(result.rounds)) {
      result.stalled = true;
      keepBest();
      return result;
    }
    // Refine the generatrices that miss the target.
    for (int i = 0; i < count; ++i) {
      const GeneratrixAccuracy& g = a.generatrices[i];
      if (std::max(g.Error(), g.fieldError) <= options.target) continue;
      if (round == 0) continue;  // the first graded round starts from the given steps
      spacing[i].largest /= kGrowth;
      spacing[i].end0 /= kEndGrowth;
      spacing[i].end1 /= kEndGrowth;
      evenCounts[i] = std::max(evenCounts[i] + 1, static_cast<int>(std::ceil(evenCounts[i] * kGrowth)));
    }
    const CSurfColl next = graded();
    result.nextUnknowns = UnknownsOf(next);
    result.nextMemoryMb = MatrixMemoryMb(result.nextUnknowns);
    if (result.nextUnknowns > options.maxUnknowns) {
      result.limitReached = true;
      keepBest();
      return result;
    }
    if (result.maxMemoryMb > 0.0 && result.nextMemoryMb > result.maxMemoryMb) {
      result.memoryLimited = true;
      keepBest();
      return result;
    }
    replaceSystem(next);
  }
  result.stalled = true;
  keepBest();
  return result;
}
