#include "engine/FieldMap.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "engine/FieldCalc.h"
#include "engine/Parallel.h"
#include "engine/PlaneRegions.h"
#include "engine/RingKernel.h"

FieldMap::FieldMap(const MapRect& rect, int width, int height)
    : rect_(rect), width_(std::max(0, width)), height_(std::max(0, height)) {
  points_.resize(static_cast<size_t>(width_) * static_cast<size_t>(height_));
}

double FieldMap::X(int i) const {
  return width_ > 1 ? rect_.x1 + (rect_.x2 - rect_.x1) * i / (width_ - 1) : rect_.x1;
}

double FieldMap::Y(int j) const {
  return height_ > 1 ? rect_.y1 + (rect_.y2 - rect_.y1) * j / (height_ - 1) : rect_.y1;
}

void FieldMap::Range(double& phiMin, double& phiMax, double& eMax) const {
  phiMin = phiMax = eMax = 0.0;
  bool any = false;
  for (const MapPoint& p : points_) {
    if (!p.exact) continue;
    if (!any) phiMin = phiMax = p.phi, any = true;
    phiMin = std::min(phiMin, p.phi);
    phiMax = std::max(phiMax, p.phi);
    eMax = std::max(eMax, p.e);
  }
}

MapRect DefaultMapRect(const FieldCalc& calc, double margin) {
  const PlaneRegions regions(calc);
  double x1, y1, x2, y2;
  regions.Bounds(x1, y1, x2, y2);
  x1 = std::min(0.0, x1);
  const double size = std::max({x2 - x1, y2 - y1, 1.0});
  MapRect r;
  r.x1 = 0.0;
  r.x2 = x2 + margin * size;
  r.y1 = calc.UseEarth() ? 0.0 : y1 - margin * size;
  r.y2 = y2 + margin * size;
  return r;
}

MapPoint EvaluatePoint(const FieldCalc& calc, const PlaneRegions& regions, double x, double y,
                       const ringkernel::ChargeArrays* prepared) {
  MapPoint p;
  const PointRegion where = regions.Locate(x, y);
  p.region = where.region;
  p.generatrix = where.generatrix;
  p.conductor = where.conductor;
  if (where.conductor) {
    p.phi = where.potential;
  } else {
    // The field is axisymmetric: left of the axis mirror the radial part.
    calc.FieldAt(where.region, std::fabs(x), y, &p.phi, &p.ex, &p.ey, prepared);
    if (x < 0) p.ex = -p.ex;
    p.e = std::hypot(p.ex, p.ey);
  }
  p.exact = true;
  return p;
}

MapStatus ComputeFieldMap(const FieldCalc& calc, FieldMap& map, const MapCallbacks& cb, bool coarseFirst) {
  if (!calc.HasSolution()) return MapStatus::kNoSolution;
  const int W = map.Width(), H = map.Height();
  const MapRect& r = map.Rect();
  if (W <= 0 || H <= 0 || !std::isfinite(r.x1) || !std::isfinite(r.x2) || !std::isfinite(r.y1) ||
      !std::isfinite(r.y2))
    return MapStatus::kBadRequest;
  const PlaneRegions regions(calc);

  // The first pass has at most some 700 points whatever the size, so that
  // a picture appears within a small fraction of a second.
  int first = 1;
  if (coarseFirst)
    while (static_cast<long long>((W - 1) / first + 1) * ((H - 1) / first + 1) > 700 && first < 64) first *= 2;

  const double perPoint = static_cast<double>(calc.Charges().size()) * (calc.UseEarth() ? 2 : 1);
  const long long chunk = std::max<long long>(16, static_cast<long long>(1.5e6 / std::max(1.0, perPoint)));
  long long total = static_cast<long long>(W) * H, done = 0;

  const auto prepared = calc.PrepareCharges();
  auto evaluate = [&](int i, int j) {
    map.At(i, j) = EvaluatePoint(calc, regions, map.X(i), map.Y(j), prepared.get());
  };

  std::vector<std::pair<int, int>> todo;
  for (int stride = first; stride >= 1; stride /= 2) {
    todo.clear();
    for (int j = 0; j < H; j += stride)
      for (int i = 0; i < W; i += stride)
        if (!map.At(i, j).exact) todo.emplace_back(i, j);
    const long long n = static_cast<long long>(todo.size());
    for (long long start = 0; start < n; start += chunk) {
      if (cb.stop && cb.stop->load()) return MapStatus::kStopped;
      const long long stop = std::min(n, start + chunk);
      ParallelFor(stop - start, [&](long long b, long long e) {
        for (long long k = start + b; k < start + e; ++k) evaluate(todo[static_cast<size_t>(k)].first, todo[static_cast<size_t>(k)].second);
      });
      done += stop - start;
      if (cb.onProgress) cb.onProgress(static_cast<double>(done) / static_cast<double>(total));
    }
    if (stride > 1) {
      // Fill the rest from the computed point at the lower-left of its block.
      for (int j = 0; j < H; ++j)
        for (int i = 0; i < W; ++i) {
          MapPoint& p = map.At(i, j);
          if (p.exact) continue;
          p = map.At(i - i % stride, j - j % stride);
          p.exact = false;
        }
    }
    map.SetStride(stride);
    if (cb.onPass) cb.onPass(map);
  }
  return MapStatus::kComplete;
}

std::vector<double> ContourLevels(double lo, double hi, double step) {
  std::vector<double> levels;
  if (!(step > 0) || !std::isfinite(lo) || !std::isfinite(hi) || hi < lo) return levels;
  for (double k = std::ceil(lo / step); k * step <= hi && levels.size() < 1000; k += 1) levels.push_back(k * step);
  return levels;
}

namespace {

// Marching squares for one level on the nodes (i*s, j*s) of the map.
struct Crossing {
  double x, y;
};

void ContoursAt(const FieldMap& map, int s, double level, std::vector<Polyline>& out) {
  const int nx = (map.Width() - 1) / s + 1, ny = (map.Height() - 1) / s + 1;
  if (nx < 2 || ny < 2) return;
  auto phi = [&](int a, int b) { return map.At(a * s, b * s).phi; };
  // Edge ids: horizontal edge from node (a, b) to (a+1, b): 2*(b*nx+a);
  // vertical edge from (a, b) to (a, b+1): 2*(b*nx+a)+1.
  auto edgeId = [&](int a, int b, bool vertical) { return 2LL * (static_cast<long long>(b) * nx + a) + (vertical ? 1 : 0); };
  auto crossing = [&](int a, int b, bool vertical) {
    const double v0 = phi(a, b), v1 = vertical ? phi(a, b + 1) : phi(a + 1, b);
    const double t = v1 != v0 ? (level - v0) / (v1 - v0) : 0.5;
    const double x0 = map.X(a * s), y0 = map.Y(b * s);
    const double x1 = vertical ? x0 : map.X((a + 1) * s), y1 = vertical ? map.Y((b + 1) * s) : y0;
    return Crossing{x0 + t * (x1 - x0), y0 + t * (y1 - y0)};
  };
  std::unordered_map<long long, std::vector<long long>> links;  // edge -> segments
  std::vector<std::pair<long long, long long>> segments;
  auto addSegment = [&](long long e1, long long e2) {
    const long long k = static_cast<long long>(segments.size());
    segments.emplace_back(e1, e2);
    links[e1].push_back(k);
    links[e2].push_back(k);
  };
  for (int b = 0; b + 1 < ny; ++b)
    for (int a = 0; a + 1 < nx; ++a) {
      const double v[4] = {phi(a, b), phi(a + 1, b), phi(a + 1, b + 1), phi(a, b + 1)};
      if (!std::isfinite(v[0]) || !std::isfinite(v[1]) || !std::isfinite(v[2]) || !std::isfinite(v[3])) continue;
      int code = 0;
      for (int c = 0; c < 4; ++c)
        if (v[c] >= level) code |= 1 << c;
      if (code == 0 || code == 15) continue;
      // Cell edges: 0 bottom, 1 right, 2 top, 3 left.
      const long long e[4] = {edgeId(a, b, false), edgeId(a + 1, b, true), edgeId(a, b + 1, false), edgeId(a, b, true)};
      auto cut = [&](int c0, int c1) { return ((code >> c0) & 1) != ((code >> c1) & 1); };
      std::vector<int> edges;
      for (int k = 0; k < 4; ++k)
        if (cut(k, (k + 1) % 4)) edges.push_back(k);
      if (edges.size() == 2) {
        addSegment(e[edges[0]], e[edges[1]]);
      } else if (edges.size() == 4) {
        // Saddle: the mean decides which corners connect.
        const bool centreHigh = (v[0] + v[1] + v[2] + v[3]) / 4 >= level;
        const bool corner0High = (code & 1) != 0;
        if (centreHigh == corner0High) {
          addSegment(e[0], e[1]);
          addSegment(e[2], e[3]);
        } else {
          addSegment(e[3], e[0]);
          addSegment(e[1], e[2]);
        }
      }
    }
  auto point = [&](long long id) {
    const long long node = id / 2;
    return crossing(static_cast<int>(node % nx), static_cast<int>(node / nx), (id & 1) != 0);
  };
  std::vector<bool> used(segments.size(), false);
  auto nextSegment = [&](long long edge, long long from) -> long long {
    for (long long k : links[edge])
      if (k != from && !used[static_cast<size_t>(k)]) return k;
    return -1;
  };
  // Chains start at open ends (an edge with one segment) first, then the
  // closed loops that remain.
  for (int pass = 0; pass < 2; ++pass)
    for (size_t k0 = 0; k0 < segments.size(); ++k0) {
      if (used[k0]) continue;
      long long startEdge = segments[k0].first;
      if (pass == 0) {
        if (links[segments[k0].first].size() == 1) startEdge = segments[k0].first;
        else if (links[segments[k0].second].size() == 1) startEdge = segments[k0].second;
        else continue;
      }
      Polyline line;
      line.level = level;
      long long edge = startEdge, k = static_cast<long long>(k0);
      Crossing c = point(edge);
      line.x.push_back(c.x), line.y.push_back(c.y);
      while (k >= 0) {
        used[static_cast<size_t>(k)] = true;
        edge = segments[static_cast<size_t>(k)].first == edge ? segments[static_cast<size_t>(k)].second : segments[static_cast<size_t>(k)].first;
        c = point(edge);
        line.x.push_back(c.x), line.y.push_back(c.y);
        k = nextSegment(edge, k);
      }
      line.closed = pass == 1 && edge == startEdge;
      out.push_back(std::move(line));
    }
}

}  // namespace

std::vector<Polyline> ExtractContours(const FieldMap& map, const std::vector<double>& levels) {
  std::vector<Polyline> out;
  const int s = std::max(1, map.Stride());
  if (map.Stride() == 0) return out;
  for (double level : levels)
    if (std::isfinite(level)) ContoursAt(map, s, level, out);
  return out;
}
