#pragma once
// The calculation parameters and the gap curves of a field system, kept
// beside its file as "FILE.kalvor.ini" (FILE with its extension, so "a.txt"
// and "a.dat" in one folder keep theirs apart). The field-system file itself
// stays exactly in its format. Folders inside the system's folder are stored
// relative to it, so a system moved together with its results keeps finding
// them.
//
// The file is an INI file in the form Qt's QSettings reads and writes
// (groups "Calculation" and "GapCurves", quoted and escaped strings, lists
// separated by ", "), so files written by earlier versions of the desktop
// program read unchanged. Both programs read it through this code, and the
// desktop program writes it through this code and the atomic write: a full
// disk leaves the previous file whole instead of an empty one.

#include <string>

#include "engine/CalcParameters.h"
#include "model/CSurfColl.h"

namespace sidecar {

std::string PathFor(const std::string& systemPath);

struct Contents {
  bool found = false;
  CalcParameters parameters;
  bool hasGapCurves = false;
  CSurfColl gapCurves;
  // Why a value was not taken ("" when every value was): the file and the
  // key. The value then keeps its default.
  std::string problem;
};

// Reads the sidecar of `systemPath`; values missing from it keep those of
// `defaults`. Nothing found: `found` false.
Contents Read(const std::string& systemPath, const CalcParameters& defaults);

// The text of the sidecar of `systemPath`. Null `gapCurves`: the system has
// none of its own, and the file says nothing about curves.
std::string Text(const std::string& systemPath, const CalcParameters& p, const CSurfColl* gapCurves);

// Writes the sidecar of `systemPath` atomically; "" on success, else the
// message naming the file and the cause.
std::string Write(const std::string& systemPath, const CalcParameters& p, const CSurfColl* gapCurves);

}  // namespace sidecar
