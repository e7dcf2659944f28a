#pragma once
// Gap curves: Line and Arch elements that carry a region, a number of
// calculation points and placeholder physical values, and their file.

#include <iosfwd>
#include <memory>
#include <string>

#include "model/Arch.h"
#include "model/ElementText.h"
#include "model/Line.h"

class CSurfColl;

// The common parameters of a gap curve: a conductor with outer region -1,
// no permittivities, a variable potential from 0 to 0 and L/d 0.
SurfParams GapCurveParams(int region, int points);

std::unique_ptr<Line> MakeGapLine(int region, int points, double x1, double y1, double x2, double y2);
// Angles in degrees.
std::unique_ptr<Arch> MakeGapArch(int region, int points, double xc, double yc, double radius,
                                  double angle1Deg, double angle2Deg);
void SetGapLine(Line& curve, int region, int points, double x1, double y1, double x2, double y2);
void SetGapArch(Arch& curve, int region, int points, double xc, double yc, double radius,
                double angle1Deg, double angle2Deg);

// The gap-curve dialogs' own range of calculation points; a curve file may
// hold any count, and a larger one would write a result file without bound.
inline constexpr int kMaxGapPoints = 10000;

// Why the gap calculation cannot take `curves` (a count outside 0 to
// kMaxGapPoints, a non-finite coordinate), naming the curve; "" when it can.
std::string GapCurveProblem(const CSurfColl& curves);

// Replaces `curves` by the curves of the file. A line of no known kind stops
// reading: the curves above it stay and the result carries code 7 and the
// line.
ElementReadResult LoadGapCurves(CSurfColl& curves, std::istream& in);
// One element line per curve, CR LF, nothing else.
void SaveGapCurves(const CSurfColl& curves, std::ostream& out);
