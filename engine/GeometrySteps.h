#pragma once
// The geometry steps of a batch run, before the calculation: the system from
// a DXF drawing instead of a file, corners rounded, the result saved as a
// system file and exported as a drawing.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/CornerRounding.h"
#include "engine/DxfImport.h"

class FieldCalc;

struct GeometrySteps {
  std::vector<CornerSpec> roundCorners;  // by the numbers of the system read
  std::optional<std::string> saveSystem;
  std::optional<std::string> importDxf;
  std::map<std::string, DxfLayerMapping> dxfLayers;
  std::optional<std::string> dxfUnits;  // "mm", "cm", "m", "in"
  std::optional<double> dxfTolerance;   // relative to the drawing's size
  std::optional<double> pointsPerCm;
  std::optional<double> ratioLd;
  std::optional<std::string> exportDxf;
};

struct GeometryStepsOutcome {
  std::string error;                  // empty on success
  std::vector<std::string> notes;     // for the user, not failures
  std::vector<std::string> warnings;  // open contours and the like
  bool Ok() const { return error.empty(); }
};

// The system of `calc` from the drawing `steps.importDxf` (the DXF options
// applied), replacing what it held.
GeometryStepsOutcome ImportDxfInto(FieldCalc& calc, const GeometrySteps& steps);

// Roundings, then --save-system and --export-dxf (each written atomically).
// On a refusal `calc` keeps the system it had and nothing is written.
GeometryStepsOutcome ApplyGeometrySteps(FieldCalc& calc, const GeometrySteps& steps);

// Puts `system` in place of the engine's generatrices.
void ReplaceSystem(FieldCalc& calc, const CSurfColl& system);
