#include "engine/DxfExport.h"

#include <cmath>
#include <map>
#include <numbers>
#include <sstream>

#include "engine/AtomicFile.h"
#include "model/Arch.h"
#include "model/Line.h"
#include "model/TextFormat.h"

namespace {

void Group(std::ostringstream& o, int code, const std::string& value) { o << code << "\r\n" << value << "\r\n"; }
void Group(std::ostringstream& o, int code, double value) { Group(o, code, text::Format("%.17g", value)); }

// The view's colours in the CAD palette: grey fixed, magenta floating,
// blue variable conductors, green dielectrics.
int Colour(const SurfData& e) {
  if (e.material == 0) return 3;
  if (e.isFloating) return 6;
  return e.isFixed ? 8 : 5;
}

}  // namespace

std::string DxfLayerName(const SurfData& e) {
  if (e.material == 0)
    return text::Format("KALVOR_DE%d_%d_E%g_%g", e.innerRegion, e.outerRegion, e.epsInner, e.epsOuter);
  if (e.isFloating) return text::Format("KALVOR_ME%d_%d_FLOAT", e.innerRegion, e.outerRegion);
  return text::Format("KALVOR_ME%d_%d_U%.10g", e.innerRegion, e.outerRegion,
                      e.isFixed ? e.fixedPotential : e.potentialFrom);
}

std::string DxfText(const CSurfColl& system, std::vector<std::string>* notes) {
  std::map<std::string, int> layers;  // name -> colour, in name order
  std::vector<std::string> order;
  for (const auto& e : system) {
    const std::string name = DxfLayerName(*e);
    if (layers.emplace(name, Colour(*e)).second) order.push_back(name);
  }
  std::ostringstream o;
  Group(o, 0, "SECTION");
  Group(o, 2, "HEADER");
  Group(o, 9, "$ACADVER");
  Group(o, 1, "AC1009");
  Group(o, 9, "$INSUNITS");
  Group(o, 70, "5");  // centimetres
  Group(o, 0, "ENDSEC");
  Group(o, 0, "SECTION");
  Group(o, 2, "TABLES");
  Group(o, 0, "TABLE");
  Group(o, 2, "LTYPE");
  Group(o, 70, "1");
  Group(o, 0, "LTYPE");
  Group(o, 2, "CONTINUOUS");
  Group(o, 70, "0");
  Group(o, 3, "Solid line");
  Group(o, 72, "65");
  Group(o, 73, "0");
  Group(o, 40, "0.0");
  Group(o, 0, "ENDTAB");
  Group(o, 0, "TABLE");
  Group(o, 2, "LAYER");
  Group(o, 70, std::to_string(order.size() + 1));
  for (const std::string& name : std::vector<std::string>{"0"}) {
    Group(o, 0, "LAYER");
    Group(o, 2, name);
    Group(o, 70, "0");
    Group(o, 62, "7");
    Group(o, 6, "CONTINUOUS");
  }
  for (const std::string& name : order) {
    Group(o, 0, "LAYER");
    Group(o, 2, name);
    Group(o, 70, "0");
    Group(o, 62, std::to_string(layers[name]));
    Group(o, 6, "CONTINUOUS");
  }
  Group(o, 0, "ENDTAB");
  Group(o, 0, "ENDSEC");
  Group(o, 0, "SECTION");
  Group(o, 2, "ENTITIES");
  int index = 0;
  for (const auto& e : system) {
    ++index;
    const std::string layer = DxfLayerName(*e);
    if (e->material != 0 && !e->isFloating && !e->isFixed && notes)
      notes->push_back(text::Format("Образующая %d: переменный потенциал записан как постоянный %.6g кВ.", index,
                                    e->potentialFrom));
    if (const auto* l = dynamic_cast<const Line*>(e.get())) {
      Group(o, 0, "LINE");
      Group(o, 8, layer);
      Group(o, 10, l->x1);
      Group(o, 20, l->y1);
      Group(o, 30, 0.0);
      Group(o, 11, l->x2);
      Group(o, 21, l->y2);
      Group(o, 31, 0.0);
    } else if (const auto* a = dynamic_cast<const Arch*>(e.get())) {
      const double lo = std::min(a->angle1, a->angle2), hi = std::max(a->angle1, a->angle2);
      const bool whole = hi - lo >= 2 * std::numbers::pi - 1e-12;
      Group(o, 0, whole ? "CIRCLE" : "ARC");
      Group(o, 8, layer);
      Group(o, 10, a->xc);
      Group(o, 20, a->yc);
      Group(o, 30, 0.0);
      Group(o, 40, a->radius);
      // DXF arcs run counterclockwise from 50 to 51.
      if (!whole) {
        Group(o, 50, lo * 180.0 / std::numbers::pi);
        Group(o, 51, hi * 180.0 / std::numbers::pi);
      }
    }
  }
  Group(o, 0, "ENDSEC");
  Group(o, 0, "EOF");
  return o.str();
}

bool ExportDxf(const CSurfColl& system, const std::string& path, std::string& error, std::vector<std::string>* notes) {
  const std::string textOut = DxfText(system, notes);
  AtomicFile file;
  if (!file.Open(path)) {
    error = "Не удается создать файл " + path + ".";
    return false;
  }
  file.Stream() << textOut;
  if (!file.Commit()) {
    error = "Не удается записать файл " + path + " (нет места на диске или нет доступа).";
    return false;
  }
  return true;
}
