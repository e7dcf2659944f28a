#pragma once
// A field-forming system from a DXF drawing: the pieces of each layer become
// generatrices of the kind the layer is mapped to. The DXF x axis is the
// radius, y the axial coordinate. Ends closer than the snapping tolerance
// are joined; region numbers and the direction of travel are derived from
// the contours the pieces form, never asked:
//   - every contour (closed, closed by the axis, or an open one closed by
//     its chord for this purpose) runs clockwise, so the side to the right
//     of travel — where a conductor's charges go — is its inside;
//   - the space outside every contour is region 1, contour k is region
//     k + 1 (in the order the contours are found, layer by layer), and a
//     contour's outer region is the innermost contour around it.
// A conductor's outer permittivity is that of the dielectric around it (1
// in free space).

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/DxfReader.h"
#include "model/CSurfColl.h"

enum class DxfLayerKind { kSkip, kConductor, kFloating, kDielectric };

struct DxfLayerMapping {
  DxfLayerKind kind = DxfLayerKind::kSkip;
  double potential = 0.0;  // kV, a conductor at a fixed potential
  double epsInner = 1.0;   // dielectric: inside its contours
  double epsOuter = 1.0;   // dielectric: outside them
  // Region numbers carried by the layer's name (layers the export wrote);
  // when set they are used instead of the derived ones.
  std::optional<int> innerRegion, outerRegion;
};

// "conductor,100" (kV), "conductor,x" (floating), "dielectric,4,1" or
// "skip". False with `error` set for anything else.
bool ParseDxfLayerMapping(const std::string& text, DxfLayerMapping& m, std::string& error);

// Layers named as the export names them map themselves
// ("KALVOR_ME1_2_U100", "KALVOR_ME3_2_FLOAT", "KALVOR_DE4_2_E4_1").
std::optional<DxfLayerMapping> MappingFromLayerName(const std::string& name);

struct DxfImportOptions {
  std::map<std::string, DxfLayerMapping> layers;  // by layer name
  bool autoLayers = true;   // use MappingFromLayerName for layers not named
  int unitsOverride = -1;   // an $INSUNITS code that replaces the file's
  double tolerance = 1e-4;  // snapping, relative to the drawing's size
  double pointsPerCm = 5.0;
  double ratioLd = 2.0;
};

constexpr int kDxfMaxGeneratrices = 20000;

struct DxfImportResult {
  std::string error;  // empty on success; the system is then not empty
  CSurfColl system;
  std::vector<std::string> notes;     // layers skipped, units assumed, mirroring
  std::vector<std::string> warnings;  // open contours, with the coordinates of their ends
  double cmPerUnit = 1.0;
  double toleranceCm = 0.0;
  int contours = 0;
  bool Ok() const { return error.empty(); }
};

DxfImportResult ImportDxf(const DxfDrawing& drawing, const DxfImportOptions& options);
