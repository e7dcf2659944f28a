#include "engine/SolutionSnapshot.h"

std::unique_ptr<FieldCalc> FieldCalc::SolutionCopy() const {
  auto copy = std::make_unique<FieldCalc>();
  copy->parameters_ = parameters_;
  copy->generatrices_ = generatrices_.Clone();
  copy->totalCharges_ = totalCharges_;
  copy->totalPoints_ = totalPoints_;
  copy->totalFloating_ = totalFloating_;
  copy->points_ = points_;
  copy->charges_ = charges_;
  copy->solved_ = solved_;
  copy->resultsPerInterval_ = resultsPerInterval_;
  return copy;
}

SolutionSnapshot::SolutionSnapshot(std::unique_ptr<FieldCalc> calc)
    : calc_(std::move(calc)), regions_(*calc_) {}

std::shared_ptr<const SolutionSnapshot> SolutionSnapshot::Of(const FieldCalc& calc) {
  if (!calc.HasSolution()) return nullptr;
  return std::make_shared<const SolutionSnapshot>(calc.SolutionCopy());
}
