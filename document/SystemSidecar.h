#pragma once
// The calculation parameters and the gap curves of a field system, kept
// beside its file as "FILE.kalvor.ini" (FILE with its extension, so
// "a.txt" and "a.dat" in one folder keep theirs apart). The field-system
// file itself stays exactly in its format, readable by kalvor-calc and by
// older versions. Folders inside the system's folder are stored relative to
// it, so a system moved together with its results keeps finding them.

#include <QString>

#include "engine/CalcParameters.h"
#include "model/CSurfColl.h"

namespace sidecar {

QString PathFor(const QString& systemPath);

// Writes the sidecar of `systemPath`; an empty string on success, else the
// reason. Null `gapCurves`: the system has none of its own, and the file
// says nothing about curves (opening it keeps those in memory).
QString Write(const QString& systemPath, const CalcParameters& p, const CSurfColl* gapCurves);

struct Contents {
  bool found = false;
  CalcParameters parameters;
  bool hasGapCurves = false;
  CSurfColl gapCurves;
};
// Reads the sidecar of `systemPath`; values missing from it keep those of
// `defaults`. Nothing found: `found` false.
Contents Read(const QString& systemPath, const CalcParameters& defaults);

}  // namespace sidecar
