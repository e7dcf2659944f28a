#pragma once
// The system's generatrices as a DXF drawing for CAD: LINE and ARC (CIRCLE
// for a whole circle) entities in cm, $INSUNITS set, one layer per body or
// dielectric region, named so that the import maps each layer back to the
// same kind, potential, permittivities and regions.

#include <string>
#include <vector>

#include "model/CSurfColl.h"

// "KALVOR_ME<inner>_<outer>_U<kV>", "KALVOR_ME<inner>_<outer>_FLOAT" or
// "KALVOR_DE<inner>_<outer>_E<eps in>_<eps out>".
std::string DxfLayerName(const SurfData& e);

// The whole file (ASCII DXF, CR LF line ends). `notes` receives what the
// drawing cannot carry (a variable potential is written as its start value).
std::string DxfText(const CSurfColl& system, std::vector<std::string>* notes = nullptr);

// Writes DxfText to `path` through the atomic facility. False with a
// message naming the path when it cannot be written.
bool ExportDxf(const CSurfColl& system, const std::string& path, std::string& error,
               std::vector<std::string>* notes = nullptr);
