#include "model/CheckSurface.h"

#include <algorithm>
#include <array>

CheckSurface::CheckSurface(int n)
    : count(n > 0 ? n : 0), starts_(static_cast<size_t>(count)), ends_(static_cast<size_t>(count)) {}

void CheckSurface::SetEnds(int i, Point start, Point end) {
  if (i < 0 || i >= count) return;
  starts_[static_cast<size_t>(i)] = start;
  ends_[static_cast<size_t>(i)] = end;
}

std::vector<bool> CheckSurface::OpenFlags() const {
  const size_t n = static_cast<size_t>(count);
  auto ends = [&](size_t i) { return std::array<Point, 2>{starts_[i], ends_[i]}; };
  auto touches = [&](Point p, size_t j) { return p == starts_[j] || p == ends_[j]; };
  std::vector<bool> open(n, true);

  for (size_t i = 0; i < n; ++i) {
    if (starts_[i] == ends_[i]) {  // closed by itself
      open[i] = false;
      continue;
    }
    // Axis: an end on x = 0 and an end shared with another generatrix.
    bool onAxis = starts_[i].x == 0.0 || ends_[i].x == 0.0;
    if (onAxis) {
      for (size_t j = 0; j < n && open[i]; ++j)
        if (j != i && (touches(starts_[i], j) || touches(ends_[i], j))) open[i] = false;
      if (!open[i]) continue;
    }
    // Chain: one end shared with j, the other with a different k.
    for (size_t j = 0; j < n && open[i]; ++j) {
      if (j == i || !touches(starts_[i], j)) continue;
      for (size_t k = 0; k < n; ++k)
        if (k != i && k != j && touches(ends_[i], k)) {
          open[i] = false;
          break;
        }
    }
    if (!open[i]) continue;
    // T-junction on a horizontal or vertical generatrix.
    for (size_t j = 0; j < n && open[i]; ++j) {
      if (j == i) continue;
      const Point a = starts_[j], b = ends_[j];
      for (const Point& p : ends(i)) {
        const bool inHorizontal =
            a.y == b.y && p.y == b.y && p.x > std::min(a.x, b.x) && p.x < std::max(a.x, b.x);
        const bool inVertical =
            a.x == b.x && p.x == b.x && p.y > std::min(a.y, b.y) && p.y < std::max(a.y, b.y);
        if (inHorizontal || inVertical) {
          open[i] = false;
          break;
        }
      }
    }
  }
  return open;
}

int CheckSurface::Check() const {
  const std::vector<bool> open = OpenFlags();
  return std::any_of(open.begin(), open.end(), [](bool o) { return o; }) ? 6 : 0;
}
