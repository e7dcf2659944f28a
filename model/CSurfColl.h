#pragma once
// Ordered, owning collection of generatrix elements. The order is the order
// of the file, of the contour points and charges, of the result files and of
// the tree pane.

#include <memory>
#include <vector>

#include "model/SurfData.h"

class CSurfColl {
 public:
  CSurfColl() = default;
  CSurfColl(const CSurfColl&) = delete;
  CSurfColl& operator=(const CSurfColl&) = delete;
  CSurfColl(CSurfColl&&) = default;
  CSurfColl& operator=(CSurfColl&&) = default;

  // An independent copy of every element.
  CSurfColl Clone() const;

  // Appends at the end and returns the element's index.
  int Append(std::unique_ptr<SurfData> e);
  // Inserts before `index` (appends for an index outside) and returns where.
  int Insert(int index, std::unique_ptr<SurfData> e);
  // Destroys the element at `index`; later elements move down by one.
  // Indices outside the collection are ignored.
  void RemoveElement(int index);
  void RemoveAllElements();
  // Puts `e` in place of the element at `index` (ignored outside).
  void Replace(int index, std::unique_ptr<SurfData> e);

  int GetSize() const { return static_cast<int>(items_.size()); }
  bool IsEmpty() const { return items_.empty(); }
  // Null outside the collection.
  SurfData* At(int index);
  const SurfData* At(int index) const;
  SurfData* operator[](int index) { return At(index); }
  const SurfData* operator[](int index) const { return At(index); }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<std::unique_ptr<SurfData>> items_;
};
