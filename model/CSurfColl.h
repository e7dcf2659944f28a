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

  // Appends at the end and returns the element's index.
  int Append(std::unique_ptr<SurfData> e);
  // Destroys the element at `index`; later elements move down by one.
  // Indices outside the collection are ignored.
  void RemoveElement(int index);
  void RemoveAllElements();

  int GetSize() const { return static_cast<int>(items_.size()); }
  bool IsEmpty() const { return items_.empty(); }
  SurfData* At(int index) const;  // null outside the collection
  SurfData* operator[](int index) const { return At(index); }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

  int current = 0;  // element open in an editor pane

 private:
  std::vector<std::unique_ptr<SurfData>> items_;
};
