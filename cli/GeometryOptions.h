#pragma once
// kalvor-calc options that change or make the geometry before the run:
// corner rounding, the DXF import and export, saving the resulting system.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/DxfImport.h"

struct RoundCornerOption {
  int i = 0, j = 0;  // 1-based, as numbered in the file read
  double radius = 0.0;
};

struct GeometryOptions {
  std::vector<RoundCornerOption> roundCorners;
  std::optional<std::string> saveSystem;
  std::optional<std::string> importDxf;
  std::map<std::string, DxfLayerMapping> dxfLayers;
  std::optional<std::string> dxfUnits;  // "mm", "cm", "m", "in"
  std::optional<double> dxfTolerance;   // relative to the drawing's size
  std::optional<double> pointsPerCm;
  std::optional<double> ratioLd;
  std::optional<std::string> exportDxf;
};

enum class OptionParse { kNotMine, kOk, kFailed };

// Takes args[i] (and its value, advancing i) when it is one of these options.
OptionParse ParseGeometryOption(const std::vector<std::string>& args, size_t& i, GeometryOptions& g,
                                std::string& error);
// Checks the combination once all options are read; `systemFile` is the
// positional argument.
bool CheckGeometryOptions(const GeometryOptions& g, const std::string& systemFile, std::string& error);

// The options' lines of --help.
std::string GeometryUsage();
