#include "model/CSurfColl.h"

int CSurfColl::Append(std::unique_ptr<SurfData> e) {
  items_.push_back(std::move(e));
  return static_cast<int>(items_.size()) - 1;
}

int CSurfColl::Insert(int index, std::unique_ptr<SurfData> e) {
  if (index < 0 || index >= GetSize()) return Append(std::move(e));
  items_.insert(items_.begin() + index, std::move(e));
  return index;
}

void CSurfColl::RemoveElement(int index) {
  if (index < 0 || index >= GetSize()) return;
  items_.erase(items_.begin() + index);
  items_.shrink_to_fit();
}

void CSurfColl::RemoveAllElements() { items_.clear(); }

SurfData* CSurfColl::At(int index) {
  if (index < 0 || index >= GetSize()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}

const SurfData* CSurfColl::At(int index) const {
  if (index < 0 || index >= GetSize()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}

void CSurfColl::Replace(int index, std::unique_ptr<SurfData> e) {
  if (index < 0 || index >= GetSize() || !e) return;
  items_[static_cast<size_t>(index)] = std::move(e);
}

CSurfColl CSurfColl::Clone() const {
  CSurfColl copy;
  copy.items_.reserve(items_.size());
  for (const auto& e : items_) copy.items_.push_back(e->Clone());
  return copy;
}
