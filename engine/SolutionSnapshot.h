#pragma once
// An immutable copy of a solved system for work off the calculating thread
// (the field picture): the generatrices, the parameters, the contour points
// and the solved charges, with the regions of the plane built from them,
// everything FieldAt and PlaneRegions read. The matrices and the gap curves
// stay behind. Shared as std::shared_ptr<const SolutionSnapshot>: a reader
// keeps its copy alive for as long as it runs, whatever happens to the
// engine meanwhile, and never sees a later change.

#include <memory>

#include "engine/FieldCalc.h"
#include "engine/PlaneRegions.h"

class SolutionSnapshot {
 public:
  // Null when `calc` holds no solution.
  static std::shared_ptr<const SolutionSnapshot> Of(const FieldCalc& calc);

  // A copy with the same solution: FieldAt, the map and the field lines
  // give the numbers the engine gave when the snapshot was taken.
  const FieldCalc& Calc() const { return *calc_; }
  const PlaneRegions& Regions() const { return regions_; }
  const CalcParameters& Parameters() const { return calc_->Parameters(); }

  explicit SolutionSnapshot(std::unique_ptr<FieldCalc> calc);
  SolutionSnapshot(const SolutionSnapshot&) = delete;
  SolutionSnapshot& operator=(const SolutionSnapshot&) = delete;

 private:
  std::unique_ptr<const FieldCalc> calc_;
  PlaneRegions regions_;
};
