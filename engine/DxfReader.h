#pragma once
// Reading the profile drawn in a DXF file: straight and circular pieces by
// layer, in the drawing's own units, before any mapping to generatrices.
//
// The groups of the file are checked here first (text, pairs of lines,
// numeric codes, polyline vertex counts); only the entities we use go on
// to dxflib, which trusts vertex counts and group order in the file.

#include <istream>
#include <map>
#include <string>
#include <vector>

// One straight or circular piece of a profile, in drawing units. An arc
// runs from angle `a1` (radians) through the signed `sweep` (counterclockwise
// positive), about (cx, cy) with radius r; (x1, y1) and (x2, y2) are its
// ends in that order.
struct DxfPiece {
  std::string layer;
  bool arc = false;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  double cx = 0, cy = 0, r = 0, a1 = 0, sweep = 0;
  int entity = 0;  // 1-based number of the entity in the file
};

struct DxfLayerInfo {
  std::string name;
  int entities = 0;                  // every entity on the layer
  std::map<std::string, int> types;  // entity type -> count
  int pieces = 0;                    // pieces made from the entities we read
};

struct DxfDrawing {
  // Empty on success; else why the file cannot be read (Russian).
  std::string error;
  std::vector<DxfPiece> pieces;
  std::vector<DxfLayerInfo> layers;  // in order of first appearance
  // Entity types we do not read, with their counts ("SPLINE: 2").
  std::map<std::string, int> skipped;
  // Remarks on what was read: damaged entities left out, and the like.
  std::vector<std::string> notes;
  int insUnits = -1;  // $INSUNITS, -1 when absent
  bool Ok() const { return error.empty(); }
};

// Bounds of what is read: more would not fit a calculation anyway.
constexpr long long kDxfMaxBytes = 256LL << 20;
constexpr int kDxfMaxEntities = 2000000;

DxfDrawing ReadDxf(std::istream& in);
// Names the path in the messages.
DxfDrawing ReadDxfFile(const std::string& path);

// Centimetres per drawing unit for an $INSUNITS code (inches, feet, mm,
// cm, m); 0 for a code we do not take.
double DxfUnitToCm(int insUnits);
// "mm", "cm", "m", "in" -> the $INSUNITS code; -1 otherwise.
int DxfUnitsCode(const std::string& name);
