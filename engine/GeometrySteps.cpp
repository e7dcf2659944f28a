#include "engine/GeometrySteps.h"

#include "engine/DxfExport.h"
#include "engine/DxfReader.h"
#include "engine/FieldCalc.h"

void ReplaceSystem(FieldCalc& calc, const CSurfColl& system) {
  while (calc.Generatrices().GetSize() > 0) calc.RemoveGeneratrix(calc.Generatrices().GetSize() - 1);
  for (const auto& e : system) calc.AddGeneratrix(e->Clone());
}

GeometryStepsOutcome ImportDxfInto(FieldCalc& calc, const GeometrySteps& steps) {
  GeometryStepsOutcome out;
  const DxfDrawing drawing = ReadDxfFile(*steps.importDxf);
  if (!drawing.Ok()) {
    out.error = drawing.error;
    return out;
  }
  DxfImportOptions o;
  o.layers = steps.dxfLayers;
  if (steps.dxfUnits) o.unitsOverride = DxfUnitsCode(*steps.dxfUnits);
  if (steps.dxfTolerance) o.tolerance = *steps.dxfTolerance;
  if (steps.pointsPerCm) o.pointsPerCm = *steps.pointsPerCm;
  if (steps.ratioLd) o.ratioLd = *steps.ratioLd;
  DxfImportResult r = ImportDxf(drawing, o);
  out.notes = std::move(r.notes);
  out.warnings = std::move(r.warnings);
  if (!r.Ok()) {
    out.error = *steps.importDxf + ": " + r.error;
    return out;
  }
  ReplaceSystem(calc, r.system);
  return out;
}

GeometryStepsOutcome ApplyGeometrySteps(FieldCalc& calc, const GeometrySteps& steps) {
  GeometryStepsOutcome out;
  if (!steps.roundCorners.empty()) {
    CSurfColl system = calc.Generatrices().Clone();
    out.error = RoundCorners(system, steps.roundCorners);
    if (!out.Ok()) return out;
    ReplaceSystem(calc, system);
  }
  if (steps.saveSystem) {
    out.error = WriteSystemFile(calc.Generatrices(), *steps.saveSystem);
    if (!out.Ok()) return out;
  }
  if (steps.exportDxf) ExportDxf(calc.Generatrices(), *steps.exportDxf, out.error, &out.notes);
  return out;
}
