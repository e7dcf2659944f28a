#include "engine/FieldViewCsv.h"

#include <ostream>

#include "model/TextFormat.h"

void WriteFieldMapCsv(const FieldMap& map, std::ostream& out) {
  out << "x_cm,y_cm,region,conductor,phi_kv,ex_kv_per_cm,ey_kv_per_cm,e_kv_per_cm\n";
  for (int j = 0; j < map.Height(); ++j)
    for (int i = 0; i < map.Width(); ++i) {
      const MapPoint& p = map.At(i, j);
      out << text::Format("%.10g,%.10g,%d,%d,%.10g,%.10g,%.10g,%.10g\n", map.X(i), map.Y(j), p.region,
                          p.conductor ? 1 : 0, p.phi, p.ex, p.ey, p.e);
    }
}

void WriteFieldLinesCsv(const std::vector<FieldLine>& lines, std::ostream& out) {
  out << "line,x_cm,y_cm,e_kv_per_cm,ends_on\n";
  for (size_t k = 0; k < lines.size(); ++k) {
    const std::string ends = LineEndText(lines[k]);
    for (const FieldLinePoint& p : lines[k].points)
      out << text::Format("%zu,%.10g,%.10g,%.10g,", k + 1, p.x, p.y, p.e) << ends << '\n';
  }
}
