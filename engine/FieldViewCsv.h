#pragma once
// Machine-readable text of a field map and of field lines: CSV with a
// header line, one point a row, LF line ends, numbers with 10 significant
// digits and a point as the decimal separator whatever the locale.

#include <iosfwd>
#include <vector>

#include "engine/FieldLines.h"
#include "engine/FieldMap.h"

// "x_cm,y_cm,region,conductor,phi_kv,ex_kv_per_cm,ey_kv_per_cm,e_kv_per_cm",
// rows by y then x (row 0 at y1).
void WriteFieldMapCsv(const FieldMap& map, std::ostream& out);
// "line,x_cm,y_cm,e_kv_per_cm,ends_on", lines numbered from 1, points in
// order along each line.
void WriteFieldLinesCsv(const std::vector<FieldLine>& lines, std::ostream& out);
