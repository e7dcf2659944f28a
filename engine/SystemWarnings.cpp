#include "engine/SystemWarnings.h"

#include <cmath>
#include <cstdio>
#include <map>

#include "model/Arch.h"
#include "model/CSurfColl.h"
#include "model/Line.h"

namespace {

std::string Format(const char* format, int number, double value = 0.0) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, format, number, value);
  return buffer;
}

}  // namespace

std::vector<std::string> SystemWarnings(const CSurfColl& generatrices) {
  std::vector<std::string> warnings;
  int number = 0;
  for (const auto& g : generatrices) {
    ++number;
    if (const auto* line = dynamic_cast<const Line*>(g.get())) {
      if (line->x1 == line->x2 && line->y1 == line->y2)
        warnings.push_back(Format("Образующая %d: отрезок нулевой длины", number));
    } else if (const auto* arch = dynamic_cast<const Arch*>(g.get())) {
      if (arch->radius == 0.0 || arch->angle1 == arch->angle2)
        warnings.push_back(Format("Образующая %d: дуга нулевой длины", number));
    }
    if (g->material == 0 && g->epsInner == g->epsOuter)
      warnings.push_back(Format("Образующая %d: диэлектрик с одинаковой проницаемостью внутри и снаружи (%g)",
                                number, g->epsInner));
    if (g->PointCount() == 0) warnings.push_back(Format("Образующая %d: 0 контурных точек", number));
  }
  // One region, one permittivity: each generatrix's equations use its own
  // values, the field in the region the first one's, so two values give
  // jumps of potential across the boundary and wrong charges (a factor of
  // the ratio). A conductor's inner side has none.
  struct Declared {
    double eps;
    int generatrix;
    bool warned;
  };
  std::map<int, Declared> regions;
  auto declare = [&](int region, double eps, int generatrix) {
    auto [it, fresh] = regions.try_emplace(region, Declared{eps, generatrix, false});
    if (fresh || it->second.eps == eps || it->second.warned) return;
    it->second.warned = true;
    char buffer[320];
    std::snprintf(buffer, sizeof buffer,
                  "Область %d: проницаемость %g на образующей %d и %g на образующей %d; у одной области "
                  "должна быть одна проницаемость",
                  region, it->second.eps, it->second.generatrix, eps, generatrix);
    warnings.push_back(buffer);
  };
  number = 0;
  for (const auto& g : generatrices) {
    ++number;
    if (!g->IsConductor()) declare(g->innerRegion, g->epsInner, number);
    declare(g->outerRegion, g->epsOuter, number);
  }
  return warnings;
}
