#pragma once
// Rounding the corner where two generatrices meet: the shared end is
// replaced by a circular arc of the given radius tangent to both, and both
// pieces are trimmed back to the tangent points. A sharp convex edge of a
// conductor has an infinite field; this is how engineers remove it.
//
// A pure function from system to system: the document wraps it in an
// undoable command and kalvor-calc applies it before a run.

#include <string>
#include <vector>

#include "model/CSurfColl.h"

struct RoundCornerResult {
  // Empty on success; otherwise a message for the user naming the
  // generatrices (1-based) and the cause, and `system` is empty.
  std::string error;
  CSurfColl system;
  // Index of the new arc in `system`.
  int arcIndex = -1;
  // For every index of the input: where that generatrix now stands, or -1
  // when the rounding used it up (the arc reached its far end).
  std::vector<int> indexMap;
  bool Ok() const { return error.empty(); }
};

// Rounds the corner shared by generatrices i and j (0-based) with radius
// `radius` (cm). Line-line, line-arc and arc-arc corners. The arc takes the
// material, regions, permittivities, potential and L/d of generatrix i and
// runs in its direction of travel, so the charges stay on the same side;
// the trimmed pieces keep their own parameters. Contour points: each piece
// keeps its density along its length, the arc gets the two pieces' mean
// density (at least enough for its charges to stay clear of its centre).
// Refused (with a message) when the two do not share an end, meet without
// a corner, bound different regions or potentials, or when the radius does
// not fit between their far ends.
RoundCornerResult RoundCorner(const CSurfColl& system, int i, int j, double radius);

// The corner nearest to (x, y) within `reach` cm: the two generatrices
// (0-based, i before j in the collection) whose shared end it is. False
// when there is none.
bool FindCorner(const CSurfColl& system, double x, double y, double reach, int& i, int& j);

// One rounding asked for by the numbers of the file read (1-based).
struct CornerSpec {
  int i = 0, j = 0;
  double radius = 0.0;
};

// Applies the roundings in order to `system`; each names the generatrices
// by their numbers in the original system, whatever earlier roundings
// inserted or used up. Empty on success, else the first refusal (the
// system is then left as it was).
std::string RoundCorners(CSurfColl& system, const std::vector<CornerSpec>& corners);

// Writes the system as a field-system file through the atomic facility.
// Empty on success, else a message naming the path.
std::string WriteSystemFile(const CSurfColl& system, const std::string& path);
