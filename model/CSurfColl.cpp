#include "model/CSurfColl.h"

int CSurfColl::Append(std::unique_ptr<SurfData> e) {
  items_.push_back(std::move(e));
  return static_cast<int>(items_.size()) - 1;
}

void CSurfColl::RemoveElement(int index) {
  if (index < 0 || index >= GetSize()) return;
  items_.erase(items_.begin() + index);
  items_.shrink_to_fit();
}

void CSurfColl::RemoveAllElements() { items_.clear(); }

SurfData* CSurfColl::At(int index) const {
  if (index < 0 || index >= GetSize()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}
