#pragma once
// kalvor-calc options that change or make the geometry before the run:
// corner rounding, the DXF import and export, saving the resulting system.

#include <string>
#include <vector>

#include "engine/GeometrySteps.h"

// The options fill the engine's geometry steps directly.
using GeometryOptions = GeometrySteps;

enum class OptionParse { kNotMine, kOk, kFailed };

// Takes args[i] (and its value, advancing i) when it is one of these options.
OptionParse ParseGeometryOption(const std::vector<std::string>& args, size_t& i, GeometryOptions& g,
                                std::string& error);
// Checks the combination once all options are read; `systemFile` is the
// positional argument.
bool CheckGeometryOptions(const GeometryOptions& g, const std::string& systemFile, std::string& error);

// The options' lines of --help.
std::string GeometryUsage();
