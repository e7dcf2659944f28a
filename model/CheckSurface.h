#pragma once
// Closure test: does every generatrix take part in closing a region? End
// points are compared exactly; no tolerance is applied.

#include <vector>

class CheckSurface {
 public:
  struct Point {
    double x = 0.0, y = 0.0;
    bool operator==(const Point&) const = default;
  };

  explicit CheckSurface(int n);
  void SetEnds(int i, Point start, Point end);
  // 0 when every generatrix is closed, 6 when one at least is open.
  int Check() const;
  // Which generatrices are open (same rules as Check).
  std::vector<bool> OpenFlags() const;

  int count = 0;

 private:
  std::vector<Point> starts_;
  std::vector<Point> ends_;
};
