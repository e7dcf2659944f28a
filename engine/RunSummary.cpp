#include "engine/RunSummary.h"

#include <nlohmann/json.hpp>

#include "model/TextFormat.h"

using nlohmann::ordered_json;

namespace {

ordered_json At(double x, double y) { return ordered_json::array({x, y}); }

}  // namespace

std::string SummaryJson(const SummaryInput& in) {
  const FieldCalc& calc = *in.calc;
  const CalcParameters& p = in.report->parameters;
  const SolutionAnalysis& a = *in.analysis;
  ordered_json j;
  j["schema"] = 1;
  j["mode"] = p.Precise ? "precise" : "default";
  j["parameters"] = {
      {"external_field_kv_per_cm", p.ExternalField},
      {"use_earth", p.UseEarth},
      {"test_closure", p.TestClosure},
      {"control_calc", p.ControlCalc},
      {"control_potentials", p.ControlPotentials},
      {"dump_matrix", p.DumpMatrix},
      {"dump_inverse_matrix", p.DumpInverseMatrix},
      {"surface_results", p.SurfaceResults},
      {"points_between_cps", p.PointsBetweenCPs},
      {"results_folder", p.ResultsFolder},
      {"control_file", p.ControlFilePath},
      {"precise", p.Precise},
      {"capacitance", p.Capacitance},
      {"target_error", in.targetError ? ordered_json(*in.targetError) : ordered_json(nullptr)},
      {"max_unknowns", in.maxUnknowns},
  };
  j["counts"] = {{"contour_points", calc.TotalPoints()}, {"charges", calc.TotalCharges()},
                 {"unknowns", calc.Unknowns()}};
  ordered_json timings = ordered_json::object();
  for (const char* stage : {"read", "refinement", "place", "fill", "control", "solve", "results", "gap",
                            "analysis", "total"}) {
    const auto it = in.timings.find(stage);
    timings[stage] = it == in.timings.end() ? 0.0 : it->second;
  }
  j["timings_s"] = timings;

  ordered_json gens = ordered_json::array();
  for (const GeneratrixAccuracy& g : a.generatrices) {
    ordered_json e = {{"index", g.index + 1},
                      {"kind", g.conductor ? "conductor" : "dielectric"},
                      {"max_field_kv_per_cm", g.maxField},
                      {"max_field_error_kv_per_cm", g.maxFieldError},
                      {"max_field_at", At(g.maxX, g.maxY)},
                      {"max_field_side", g.maxInner ? "inner" : "outer"}};
    if (g.conductor) {
      e["potential_error"] = g.potentialError;
    } else {
      e["potential_jump"] = g.potentialJump;
      e["flux_jump"] = g.fluxJump;
    }
    gens.push_back(e);
  }
  j["generatrices"] = gens;

  ordered_json bodies = ordered_json::array();
  for (const BodyFigures& b : a.bodies) {
    ordered_json list = ordered_json::array();
    for (int g : b.generatrices) list.push_back(g + 1);
    bodies.push_back({{"generatrices", list},
                      {"floating", b.floating},
                      {"potential_kv", b.potential},
                      {"charge_c", b.charge},
                      {"max_field_kv_per_cm", b.maxField},
                      {"max_field_error_kv_per_cm", b.maxFieldError},
                      {"max_field_at", At(b.maxX, b.maxY)}});
  }
  j["bodies"] = bodies;
  j["capacitance_f"] = a.capacitance;
  j["accuracy"] = {
      {"worst_potential_error", a.worstPotentialError},
      {"worst_potential_jump", a.worstPotentialJump},
      {"worst_flux_jump", a.worstFluxJump},
      {"worst_field_error", a.worstFieldError},
      {"potential_scale_kv", a.potentialScale},
      {"flux_scale_kv_per_cm", a.fluxScale},
      {"reciprocal_condition",
       a.reciprocalCondition >= 0.0 ? ordered_json(a.reciprocalCondition) : ordered_json(nullptr)},
  };
  ordered_json singular = ordered_json::array();
  for (const SingularPoint& s : a.singularPoints) {
    ordered_json list = ordered_json::array();
    for (int g : s.generatrices) list.push_back(g + 1);
    singular.push_back({{"at", At(s.x, s.y)},
                        {"generatrices", list},
                        {"angle_deg", s.angleDeg},
                        {"exponent", s.exponent},
                        {"infinite", s.infinite},
                        {"radius_cm", s.infinite ? ordered_json(s.radius) : ordered_json(nullptr)}});
  }
  j["singular_points"] = singular;
  j["warnings"] = a.warnings;
  ordered_json rounds = ordered_json::array();
  if (in.refinement)
    for (const RefinementRound& r : in.refinement->rounds)
      rounds.push_back({{"unknowns", r.unknowns},
                        {"worst_potential_error", r.worstError},
                        {"worst_field_error", r.worstFieldError},
                        {"largest_field_kv_per_cm", r.largestField},
                        {"precise", r.precise},
                        {"seconds", r.seconds}});
  const RefinementResult* r = in.refinement;
  j["refinement"] = {
      {"rounds", rounds},
      {"target_met", r ? ordered_json(r->targetMet) : ordered_json(nullptr)},
      {"limit_reached", r ? ordered_json(r->limitReached) : ordered_json(nullptr)},
      {"stalled", r ? ordered_json(r->stalled) : ordered_json(nullptr)},
      {"stop_reason", r && !r->StopReason().empty() ? ordered_json(r->StopReason()) : ordered_json(nullptr)},
      {"switched_to_precise", r ? ordered_json(r->switchedToPrecise) : ordered_json(nullptr)},
      {"switched_for_formula", r ? ordered_json(r->switchedForFormula) : ordered_json(nullptr)},
      {"max_memory_mb", r ? ordered_json(r->maxMemoryMb) : ordered_json(nullptr)},
  };
  if (in.inception) {
    // Onset and margin are null for "no inception up to the largest factor".
    auto onset = [&](const InceptionOnset& o, ordered_json entry) {
      entry["onset_kv"] = o.incepts ? ordered_json(o.onsetKv) : ordered_json(nullptr);
      entry["margin"] = o.incepts ? ordered_json(o.margin) : ordered_json(nullptr);
      return entry;
    };
    ordered_json bodies = ordered_json::array(), points = ordered_json::array();
    for (const InceptionOnset& o : in.inception->bodies) {
      ordered_json e = onset(o, {{"body", o.body + 1}});
      e["start_at"] = At(o.startX, o.startY);
      e["critical_length_cm"] = o.incepts ? ordered_json(o.criticalLength) : ordered_json(nullptr);
      bodies.push_back(e);
    }
    for (const InceptionOnset& o : in.inception->points) points.push_back(onset(o, {{"at", At(o.atX, o.atY)}}));
    j["inception"] = {{"gas", in.inception->gas},
                      {"pressure_bar", in.inception->pressureBar},
                      {"temperature_c", in.inception->temperatureC},
                      {"k", in.inception->k},
                      {"max_factor", kInceptionMaxFactor},
                      {"bodies", bodies},
                      {"points", points}};
  }
  return j.dump(2) + "\n";
}

std::string SummaryJson(const FieldCalc& calc, const BatchResult& result, const BatchOptions& options,
                        const std::map<std::string, double>& timings) {
  SummaryInput in;
  in.calc = &calc;
  in.report = &result.report;
  in.analysis = &result.analysis;
  in.refinement = result.refinement ? &*result.refinement : nullptr;
  in.targetError = options.targetError;
  in.maxUnknowns = options.maxUnknowns;
  in.timings = timings;
  in.inception = result.inception ? &*result.inception : nullptr;
  return SummaryJson(in);
}

std::string AnalysisText(const FieldCalc& calc, const SolutionAnalysis& a) {
  (void)calc;
  std::string t = "Точность (проверочные точки между КТ и на концах):\n";
  for (const GeneratrixAccuracy& g : a.generatrices) {
    if (g.conductor)
      t += text::Format("  %2d: ошибка потенциала %.2e\n", g.index + 1, g.potentialError);
    else
      t += text::Format("  %2d: скачок потенциала %.2e, скачок Dn %.2e\n", g.index + 1, g.potentialJump, g.fluxJump);
  }
  t += text::Format("Наибольшие: ошибка потенциала %.2e, скачок потенциала %.2e, скачок Dn %.2e "
                    "(масштабы %.4g кВ, %.4g кВ/см)\n",
                    a.worstPotentialError, a.worstPotentialJump, a.worstFluxJump, a.potentialScale, a.fluxScale);
  t += text::Format("Наибольшая погрешность наибольшей напряженности (относительная): %.2e\n", a.worstFieldError);
  for (const SingularPoint& s : a.singularPoints)
    if (s.infinite)
      t += text::Format("Особая точка (%.6g; %.6g): угол %.0f°, E ~ r^%.2f; не учитывается круг радиусом %.3g см\n",
                        s.x, s.y, s.angleDeg, s.exponent, s.radius);
  if (!a.bodies.empty()) t += "Проводники:\n";
  for (size_t b = 0; b < a.bodies.size(); ++b) {
    const BodyFigures& body = a.bodies[b];
    std::string list;
    for (int g : body.generatrices) list += (list.empty() ? "" : ",") + std::to_string(g + 1);
    t += text::Format("  тело %zu (образующие %s%s): потенциал %.6g кВ, заряд %.6e Кл, Emax %s кВ/см в (%.4g; %.4g)\n",
                      b + 1, list.c_str(), body.floating ? ", плавающий" : "", body.potential, body.charge,
                      FormatWithError(body.maxField, body.maxFieldError).c_str(), body.maxX, body.maxY);
  }
  if (!a.capacitance.empty()) {
    t += "Матрица емкостей, Ф (тела";
    for (int b : a.capacitanceBodies) t += " " + std::to_string(b + 1);
    t += "):\n";
    for (const auto& row : a.capacitance) {
      t += " ";
      for (double c : row) t += text::Format(" %.6e", c);
      t += "\n";
    }
  }
  if (a.reciprocalCondition >= 0.0)
    t += text::Format("Оценка обратного числа обусловленности матрицы: %.2e\n", a.reciprocalCondition);
  return t;
}
