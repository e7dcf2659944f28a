#pragma once
// The sidecar "FILE.kalvor.ini" of a field system for Qt code: the engine's
// reader and writer (engine/SidecarFile.h) with Qt strings. The file is
// written atomically, so a full disk keeps the previous one whole.

#include <QString>

#include "engine/SidecarFile.h"

namespace sidecar {

QString PathFor(const QString& systemPath);

// Writes the sidecar of `systemPath`; an empty string on success, else the
// message naming the file and the cause. Null `gapCurves`: the system has
// none of its own, and the file says nothing about curves (opening it keeps
// those in memory).
QString Write(const QString& systemPath, const CalcParameters& p, const CSurfColl* gapCurves);

// Reads the sidecar of `systemPath`; values missing from it keep those of
// `defaults`. Nothing found: `found` false.
Contents Read(const QString& systemPath, const CalcParameters& defaults);

}  // namespace sidecar
