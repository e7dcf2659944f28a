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

constexpr double kGrowth = 1.5;       // largest spacing of a generatrix whose middle misses the target
constexpr double kEndGrowth = 4.0;    // an end spacing where the end misses it
constexpr double kRateGrowth = 1.5;   // the grading rate where the graded stretch misses it
constexpr double kSmallestRate = 0.01;
constexpr int kMaxRounds = 40;
// Rounds without a gain of this factor end the refinement.
constexpr double kStallGain = 0.9;
constexpr int kStallRounds = 4;
// Initial end spacing: this fraction of the largest one.
constexpr double kInitialEndFraction = 1.0 / 16.0;
// An end at an infinite singular point starts at a fraction of its
// neighbourhood that follows the target: what the charges miss within the
// first cell at the edge reaches the neighbourhood's rim weakened as
// (cell/radius)^(4/3) (a 270-degree edge; measured on a two-cylinder lens:
// 3e-4 of the rim field at 1/64, 1.3e-5 at 1/400), so that
// (target/kEdgeMissWeight)^(3/4) keeps it below the target. The analysis
// reports that very figure as the field's error there, so the cell is sized
// for half the target: the round that places it meets the target.
constexpr double kSingularEndFraction = 1.0 / 64.0;
double SingularEndFraction(double target) {
  return std::min(kSingularEndFraction, std::pow(0.5 * std::max(target, 1e-12) / kEdgeMissWeight, 0.75));
}
// Charges this many local spacings deep: the relative ripple of the field
// between contour points goes as 2*pi*exp(-2*pi*ratio) (2e-5 at 2, 4e-8 at
// 3, which 1e-7 targets need). Times the grading rate it stays below half
// the distance to the end a stretch grades toward: a junction or an edge is
// where the field's continuation into the conductor is singular, and
// charges deeper than their distance from it spoil the solution.
constexpr double kGradedRatio = 3.0;
// The grading rate toward an infinite singular point (an edge): there the
// charges must stay nearer still (rate 0.1 spoils a closed cylinder's
// edges, 0.03 resolves them from the first graded round).
constexpr double kSingularRate = 0.03;

double Figure(const RefinementRound& r) { return std::max(r.worstError, r.worstFieldError); }

// Over the rounds from `from` on.
bool Stalled(const std::vector<RefinementRound>& rounds, size_t from) {
  const size_t r = rounds.size();
  if (r <= from + kStallRounds) return false;
  double before = INFINITY, recent = INFINITY;
  for (size_t i = from; i < r; ++i) {
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
  // Growth of the spacing per unit length away from each end.
  double rate0 = kGradingRate, rate1 = kGradingRate;
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

int WriteRefinedSystem(const FieldCalc& calc, std::ostream& out) {
  FieldCalc pieces;
  int merged = 0;
  for (const auto& e : calc.Generatrices()) {
    if (!e->Graded()) {
      pieces.AddGeneratrix(e->Clone());
      continue;
    }
    // Where fraction f of the element lands in the file: its end point to
    // 0.001 cm (a line) or its angle to 1e-5 degrees (an arc). A piece must
    // end somewhere else than it starts.
    const bool arch = e->GetKind() == SurfData::kArch;
    auto key = [&](double f) {
      if (arch) {
        const auto& a = static_cast<const Arch&>(*e);
        return std::vector<long long>{std::llround((a.angle1 - f * (a.angle1 - a.angle2)) * 180.0 / 3.141592653589793 * 1e5)};
      }
      const auto& l = static_cast<const Line&>(*e);
      return std::vector<long long>{std::llround((l.x1 + f * (l.x2 - l.x1)) * 1e3),
                                    std::llround((l.y1 + f * (l.y2 - l.y1)) * 1e3)};
    };
    // Groups of consecutive cells [first, last]: one cell each where the
    // file can hold it, else as many as it takes.
    std::vector<std::pair<long long, long long>> groups;
    long long first = 1;
    for (long long i = 1; i <= e->PointCount(); ++i) {
      if (key(e->cells[first - 1]) == key(e->cells[i])) continue;
      groups.emplace_back(first, i);
      first = i + 1;
    }
    if (first <= e->PointCount()) {
      if (groups.empty()) groups.emplace_back(first, e->PointCount());
      else groups.back().second = e->PointCount();
    }
    for (const auto& [g0, g1] : groups) {
      const long long k = g1 - g0 + 1;
      if (k > 1) ++merged;
      std::unique_ptr<SurfData> p = e->Clone();
      p->cells.clear();
      p->pointCount = static_cast<int>(k);
      // An even piece of k points has k + 1 steps; its charges sit as deep
      // as the cells' mean length times L/d.
      p->ratioLd = e->ratioLd * static_cast<double>(k + 1) / static_cast<double>(k);
      const double f0 = e->cells[g0 - 1], f1 = e->cells[g1];
      if (arch) {
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
  return merged;
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

std::vector<double> GradedCells(double length, double largest, double end0, double end1, double rate0,
                                double rate1) {
  // The spacing h(s) = min(largest, end0 + rate0*s, end1 + rate1*(L - s));
  // N = ceil(integral of ds/h) cells, boundaries where the integral reaches
  // equal shares. h is piecewise linear: a ramp up from each end to an even
  // middle [a, b] (or the two ramps meeting), so both the integral and its
  // inverse are closed forms.
  if (!(length > 0.0) || !(largest > 0.0)) return {0.0, 1.0};
  if (rate1 <= 0.0) rate1 = rate0;
  rate0 = std::max(rate0, 1e-6);
  rate1 = std::max(rate1, 1e-6);
  end0 = std::clamp(end0, 1e-12 * length, largest);
  end1 = std::clamp(end1, 1e-12 * length, largest);
  double a = std::clamp((largest - end0) / rate0, 0.0, length);
  double b = std::clamp(length - (largest - end1) / rate1, 0.0, length);
  if (a > b) a = b = std::clamp((end1 - end0 + rate1 * length) / (rate0 + rate1), 0.0, length);
  const double n0 = std::log1p(rate0 * a / end0) / rate0;
  const double nMiddle = (b - a) / largest;
  const double n1 = std::log1p(rate1 * (length - b) / end1) / rate1;
  const double total = n0 + nMiddle + n1;
  const int n = std::max(1, static_cast<int>(std::ceil(total - 1e-9)));
  std::vector<double> cells(static_cast<size_t>(n) + 1, 0.0);
  cells[n] = 1.0;
  for (int k = 1; k < n; ++k) {
    const double share = total * k / n;
    double s;
    if (share <= n0)
      s = end0 * std::expm1(rate0 * share) / rate0;
    else if (share <= n0 + nMiddle)
      s = a + (share - n0) * largest;
    else
      s = length - end1 * std::expm1(rate1 * (total - share)) / rate1;
    cells[k] = std::clamp(s / length, cells[k - 1], 1.0);
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
  // The exact integrals from round `fromRound` (1-based; 0: from the start,
  // for a target below the written formula's floor) on.
  auto goPrecise = [&](int fromRound) {
    CalcParameters p = calc.Parameters();
    p.Precise = true;
    calc.SetParameters(p);
    result.switchedToPrecise = true;
    if (fromRound > 0) {
      result.switchedForFormula = true;
      result.switchedAtRound = fromRound;
    }
  };
  if (options.target < kApproximateFormulaFloor && !calc.Parameters().Precise) goPrecise(0);
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
    bool singular = false;
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
        {
          e.singularSpacing = std::min(e.singularSpacing, SingularEndFraction(options.target) * p.radius);
          e.singular = true;
        }

  // The first graded round: charges kGradedRatio spacings deep, never
  // deeper than the given placement put them.
  std::vector<Spacing> spacing(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const SurfData& e = *original[i];
    const double step = Length(e) / (static_cast<double>(e.PointCount()) + 1.0);
    const double largest = std::min(step, e.ratioLd * step / kGradedRatio);
    spacing[i] = {largest, kInitialEndFraction * largest, kInitialEndFraction * largest, kGradingRate};
    spacing[i].end0 = std::min(spacing[i].end0, ends[2 * i].singularSpacing);
    spacing[i].end1 = std::min(spacing[i].end1, ends[2 * i + 1].singularSpacing);
    if (ends[2 * i].singular) spacing[i].rate0 = kSingularRate;
    if (ends[2 * i + 1].singular) spacing[i].rate1 = kSingularRate;
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
          double& ra = a % 2 ? spacing[a / 2].rate1 : spacing[a / 2].rate0;
          double& rb = b % 2 ? spacing[b / 2].rate1 : spacing[b / 2].rate0;
          ra = rb = std::min(ra, rb);
        }
    CSurfColl system;
    for (int i = 0; i < count; ++i) {
      std::unique_ptr<SurfData> e = original[i]->Clone();
      if (Gradable(*e)) {
        const Spacing& s = spacing[i];
        e->cells = GradedCells(Length(*e), s.largest, std::min(s.end0, s.largest), std::min(s.end1, s.largest),
                               s.rate0, s.rate1);
        e->pointCount = static_cast<int>(e->cells.size()) - 1;
        e->ratioLd = kGradedRatio;
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

  // What a graded generatrix refines where a figure misses the target at
  // `t` steps: the end cell, the graded stretch beside an end (where the
  // local spacing follows the distance from it), or the even middle.
  enum Action { kLargest = 1, kEnd0 = 2, kEnd1 = 4, kRate0 = 8, kRate1 = 16 };
  auto actionAt = [&](const SurfData& e, const Spacing& sp, double t) {
    const double length = Length(e), s = std::clamp(e.FractionAt(t), 0.0, 1.0) * length;
    const double h0 = sp.end0 + sp.rate0 * s, h1 = sp.end1 + sp.rate1 * (length - s);
    if (sp.largest <= std::min(h0, h1)) return kLargest;
    // A stretch graded as slowly as it may be takes a finer end instead.
    if (h0 <= h1) return sp.end0 >= sp.rate0 * s || sp.rate0 <= kSmallestRate ? kEnd0 : kRate0;
    return sp.end1 >= sp.rate1 * (length - s) || sp.rate1 <= kSmallestRate ? kEnd1 : kRate1;
  };

  CSurfColl best;
  double bestFigure = INFINITY;
  bool lastIsBest = true;
  auto keepBest = [&] {
    if (!lastIsBest) replaceSystem(best);
  };
  AnalysisOptions analysisOptions;
  analysisOptions.singularRadius = options.singularRadius;
  std::vector<double> previousMax(static_cast<size_t>(count), 0.0);
  size_t stallFrom = 0;  // the first round of the present formula
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
    // Finer points cannot cure the clamp (the charges stay as deep as the
    // given placement put them) and its rounds go wild (a coat from 360
    // points: 10, 6, 9, 1109, 52 kV/cm against 11.4): the same round again
    // with the exact integrals, and every round after it.
    if (a.clampReached && !calc.Parameters().Precise) {
      goPrecise(round + 1);
      --round;
      continue;
    }
    RefinementRound r;
    r.unknowns = calc.Unknowns();
    r.worstError = a.WorstError();
    for (const GeneratrixAccuracy& g : a.generatrices) r.largestField = std::max(r.largestField, g.maxField);
    // The field figure: the estimate of the solution itself, or the change
    // of the generatrix's largest field since the round before, whichever
    // is larger (so a met target means two rounds agree).
    std::vector<double> fieldFigure(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
      const GeneratrixAccuracy& g = a.generatrices[i];
      const double scale = std::max(g.maxField, 0.1 * r.largestField);
      fieldFigure[i] = g.fieldError;
      if (round > 0 && scale > 0.0)
        fieldFigure[i] = std::max(fieldFigure[i], std::fabs(g.maxField - previousMax[i]) / scale);
      r.worstFieldError = std::max(r.worstFieldError, fieldFigure[i]);
      previousMax[i] = g.maxField;
    }
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
    if (Stalled(result.rounds, stallFrom)) {
      if (calc.Parameters().Precise) {
        result.stalled = true;
        keepBest();
        return result;
      }
      // A stall with the written formula can be its own error in the
      // solution, which the checks (taking the same formula) do not see:
      // fine cells at the axis made a coated sphere's pole 6.398, 6.423,
      // 6.449 kV/cm against 6.364 and it stalled at 5e-3 for 1e-3. The
      // rounds go on with the exact integrals.
      goPrecise(round + 2);
      stallFrom = result.rounds.size();
    }
    // Refine the generatrices that miss the target where they miss it (the
    // first graded round starts from the given steps).
    for (int i = 0; i < count && round > 0; ++i) {
      const GeneratrixAccuracy& g = a.generatrices[i];
      const SurfData& e = *calc.Generatrices()[i];
      if (!e.Graded()) {
        if (std::max(g.Error(), fieldFigure[i]) > options.target)
          evenCounts[i] = std::max(evenCounts[i] + 1, static_cast<int>(std::ceil(evenCounts[i] * kGrowth)));
        continue;
      }
      Spacing& sp = spacing[i];
      int actions = 0;
      if (g.Error() > options.target) actions |= actionAt(e, sp, g.worstAt);
      if (fieldFigure[i] > options.target) actions |= actionAt(e, sp, g.maxAt);
      if (actions & kLargest) sp.largest /= kGrowth;
      if (actions & kEnd0) sp.end0 /= kEndGrowth;
      if (actions & kEnd1) sp.end1 /= kEndGrowth;
      if (actions & kRate0) sp.rate0 = std::max(kSmallestRate, sp.rate0 / kRateGrowth);
      if (actions & kRate1) sp.rate1 = std::max(kSmallestRate, sp.rate1 / kRateGrowth);
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
