#include "engine/DxfImport.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <numeric>
#include <unordered_map>

#include "model/Arch.h"
#include "model/Line.h"
#include "model/TextFormat.h"

namespace {

constexpr double kPi = std::numbers::pi;

struct Pt {
  double x = 0, y = 0;
};
double Dist(Pt a, Pt b) { return std::hypot(a.x - b.x, a.y - b.y); }

// A piece in cm, with the index of its layer.
struct Seg {
  int layer = 0;
  bool arc = false;
  Pt a, b;  // ends in the piece's direction
  Pt c;
  double r = 0, a1 = 0, sweep = 0;
  int entity = 0;
  double Length() const { return arc ? std::fabs(sweep) * r : Dist(a, b); }
  Pt At(double t) const {  // t in [0, 1]
    if (!arc) return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)};
    const double th = a1 + t * sweep;
    return {c.x + r * std::cos(th), c.y + r * std::sin(th)};
  }
  Seg Reversed() const {
    Seg s = *this;
    std::swap(s.a, s.b);
    if (arc) s.a1 = a1 + sweep, s.sweep = -sweep;
    return s;
  }
  Seg Mirrored() const {
    Seg s = *this;
    s.a.x = -a.x, s.b.x = -b.x, s.c.x = -c.x;
    if (arc) s.a1 = kPi - a1, s.sweep = -sweep;
    return s;
  }
  // The part from parameter t0 to t1.
  Seg Part(double t0, double t1) const {
    Seg s = *this;
    s.a = At(t0), s.b = At(t1);
    if (arc) s.a1 = a1 + t0 * sweep, s.sweep = (t1 - t0) * sweep;
    return s;
  }
};

// Points within a distance of each other, found through a grid.
class PointGrid {
 public:
  explicit PointGrid(double cell) : cell_(cell) {}
  void Add(Pt p, int id) { cells_[Key(p, 0, 0)].push_back({p, id}); }
  template <class F>
  void Near(Pt p, double reach, F f) const {
    for (int dx = -1; dx <= 1; ++dx)
      for (int dy = -1; dy <= 1; ++dy) {
        const auto it = cells_.find(Key(p, dx, dy));
        if (it == cells_.end()) continue;
        for (const auto& [q, id] : it->second)
          if (Dist(p, q) <= reach) f(id);
      }
  }

 private:
  struct Hash {
    size_t operator()(const std::pair<long long, long long>& k) const {
      return std::hash<long long>()(k.first) * 1000003u ^ std::hash<long long>()(k.second);
    }
  };
  std::pair<long long, long long> Key(Pt p, int dx, int dy) const {
    return {static_cast<long long>(std::floor(p.x / cell_)) + dx, static_cast<long long>(std::floor(p.y / cell_)) + dy};
  }
  double cell_;
  std::unordered_map<std::pair<long long, long long>, std::vector<std::pair<Pt, int>>, Hash> cells_;
};

std::string Coord(Pt p) { return text::Format("(%.6g; %.6g)", p.x, p.y); }

double NormAngle(double a) {
  a = std::fmod(a, 2 * kPi);
  if (a <= -kPi) a += 2 * kPi;
  if (a > kPi) a -= 2 * kPi;
  return a;
}

// Splits a piece at the axis: the parts with x >= 0 and those with x <= 0.
void SplitAtAxis(const Seg& s, double tol, std::vector<Seg>& right, std::vector<Seg>& left) {
  std::vector<double> cuts;
  if (!s.arc) {
    if ((s.a.x < -tol && s.b.x > tol) || (s.a.x > tol && s.b.x < -tol)) cuts.push_back(s.a.x / (s.a.x - s.b.x));
  } else if (std::fabs(s.c.x) < s.r) {
    const double th = std::acos(-s.c.x / s.r);
    for (double cross : {th, -th}) {
      const double dir = s.sweep > 0 ? 1.0 : -1.0;
      double t = std::fmod(dir * (cross - s.a1), 2 * kPi);
      if (t < 0) t += 2 * kPi;
      t /= std::fabs(s.sweep);
      if (t > 1e-12 && t < 1 - 1e-12) cuts.push_back(t);
    }
  }
  std::sort(cuts.begin(), cuts.end());
  cuts.insert(cuts.begin(), 0.0);
  cuts.push_back(1.0);
  std::vector<Seg> parts;
  for (size_t k = 0; k + 1 < cuts.size(); ++k) parts.push_back(s.Part(cuts[k], cuts[k + 1]));
  // A whole circle cut at the axis: its first and last parts are one arc.
  if (s.arc && std::fabs(std::fabs(s.sweep) - 2 * kPi) < 1e-12 && parts.size() == 3) {
    Seg merged = parts[2];
    merged.sweep += parts[0].sweep;
    merged.b = parts[0].b;
    parts = {merged, parts[1]};
  }
  for (Seg& p : parts) {
    const Pt m = p.At(0.5);
    if (m.x >= 0) {
      if (std::fabs(p.a.x) <= tol) p.a.x = 0;
      if (std::fabs(p.b.x) <= tol) p.b.x = 0;
      right.push_back(p);
    } else {
      left.push_back(p);
    }
  }
}

bool SameGeometry(const Seg& u, const Seg& v, double tol) {
  if (u.arc != v.arc) return false;
  const bool ends = (Dist(u.a, v.a) <= tol && Dist(u.b, v.b) <= tol) || (Dist(u.a, v.b) <= tol && Dist(u.b, v.a) <= tol);
  if (!ends) return false;
  return !u.arc || (Dist(u.c, v.c) <= tol && std::fabs(u.r - v.r) <= tol);
}

// Polygon of a chain for area and inside tests (arcs in steps of <= 5 degrees).
std::vector<Pt> Polygon(const std::vector<Seg>& chain) {
  std::vector<Pt> poly;
  for (const Seg& s : chain) {
    const int steps = s.arc ? std::max(1, static_cast<int>(std::ceil(std::fabs(s.sweep) / (kPi / 36)))) : 1;
    for (int k = 0; k < steps; ++k) poly.push_back(s.At(static_cast<double>(k) / steps));
  }
  if (!chain.empty()) poly.push_back(chain.back().b);
  return poly;
}

double SignedArea(const std::vector<Pt>& poly) {
  double a = 0;
  for (size_t k = 0; k < poly.size(); ++k) {
    const Pt p = poly[k], q = poly[(k + 1) % poly.size()];
    a += p.x * q.y - q.x * p.y;
  }
  return a / 2;
}

bool Inside(const std::vector<Pt>& poly, Pt p) {
  bool in = false;
  for (size_t k = 0, j = poly.size() - 1; k < poly.size(); j = k++) {
    const Pt a = poly[k], b = poly[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) in = !in;
  }
  return in;
}

bool ParseNumberText(const std::string& s, double& v) {
  const char* end = nullptr;
  v = text::ParseDouble(s.c_str(), &end);
  return !s.empty() && end == s.c_str() + s.size() && std::isfinite(v);
}

std::vector<std::string> SplitOn(const std::string& s, char sep) {
  std::vector<std::string> out;
  size_t from = 0;
  for (;;) {
    const size_t p = s.find(sep, from);
    out.push_back(s.substr(from, p == std::string::npos ? std::string::npos : p - from));
    if (p == std::string::npos) break;
    from = p + 1;
  }
  return out;
}

}  // namespace

bool ParseDxfLayerMapping(const std::string& text, DxfLayerMapping& m, std::string& error) {
  const std::vector<std::string> f = SplitOn(text, ',');
  m = DxfLayerMapping();
  if (f[0] == "skip" && f.size() == 1) return true;
  if (f[0] == "conductor" && f.size() == 2) {
    if (f[1] == "x" || f[1] == "X") {
      m.kind = DxfLayerKind::kFloating;
      return true;
    }
    if (ParseNumberText(f[1], m.potential) && std::fabs(m.potential) <= 1e9) {
      m.kind = DxfLayerKind::kConductor;
      return true;
    }
    error = "потенциал проводника — число (кВ) или x (неизвестный), получено \"" + f[1] + "\"";
    return false;
  }
  if (f[0] == "dielectric" && f.size() == 3) {
    if (ParseNumberText(f[1], m.epsInner) && ParseNumberText(f[2], m.epsOuter) && m.epsInner >= 1 && m.epsOuter >= 1 &&
        m.epsInner <= 1e6 && m.epsOuter <= 1e6) {
      m.kind = DxfLayerKind::kDielectric;
      return true;
    }
    error = "у диэлектрика две проницаемости (внутри и снаружи), числа от 1 до 1e6, получено \"" + text + "\"";
    return false;
  }
  error = "вид слоя: conductor,U | conductor,x | dielectric,EPS_IN,EPS_OUT | skip; получено \"" + text + "\"";
  return false;
}

std::optional<DxfLayerMapping> MappingFromLayerName(const std::string& name) {
  if (name.rfind("KALVOR_", 0) != 0) return std::nullopt;
  const std::vector<std::string> f = SplitOn(name.substr(7), '_');
  if (f.size() < 3 || f[0].size() < 3) return std::nullopt;
  const std::string kind = f[0].substr(0, 2);
  double inner = 0, outer = 0;
  if (!ParseNumberText(f[0].substr(2), inner) || !ParseNumberText(f[1], outer)) return std::nullopt;
  if (inner != std::floor(inner) || outer != std::floor(outer) || std::fabs(inner) > 1e9 || std::fabs(outer) > 1e9)
    return std::nullopt;
  DxfLayerMapping m;
  m.innerRegion = static_cast<int>(inner);
  m.outerRegion = static_cast<int>(outer);
  if (kind == "ME" && f.size() == 3 && f[2] == "FLOAT") {
    m.kind = DxfLayerKind::kFloating;
    return m;
  }
  if (kind == "ME" && f.size() == 3 && f[2].size() > 1 && f[2][0] == 'U' && ParseNumberText(f[2].substr(1), m.potential)) {
    m.kind = DxfLayerKind::kConductor;
    return m;
  }
  if (kind == "DE" && f.size() == 4 && f[2].size() > 1 && f[2][0] == 'E' && ParseNumberText(f[2].substr(1), m.epsInner) &&
      ParseNumberText(f[3], m.epsOuter)) {
    m.kind = DxfLayerKind::kDielectric;
    return m;
  }
  return std::nullopt;
}

DxfImportResult ImportDxf(const DxfDrawing& drawing, const DxfImportOptions& opt) {
  DxfImportResult res;
  if (!drawing.Ok()) {
    res.error = drawing.error;
    return res;
  }
  // Units.
  int units = opt.unitsOverride >= 0 ? opt.unitsOverride : drawing.insUnits;
  if (DxfUnitToCm(units) == 0) {
    if (opt.unitsOverride < 0)
      res.notes.push_back(drawing.insUnits < 0 ? "Единицы чертежа не указаны ($INSUNITS): приняты миллиметры."
                                               : text::Format("Единицы чертежа $INSUNITS = %d не поддерживаются: "
                                                              "приняты миллиметры.",
                                                              drawing.insUnits));
    units = 4;
  }
  res.cmPerUnit = DxfUnitToCm(units);

  // Layers.
  std::vector<DxfLayerMapping> maps;
  for (const DxfLayerInfo& l : drawing.layers) {
    DxfLayerMapping m;
    if (const auto it = opt.layers.find(l.name); it != opt.layers.end()) {
      m = it->second;
    } else if (const auto named = opt.autoLayers ? MappingFromLayerName(l.name) : std::nullopt) {
      m = *named;
    } else {
      res.notes.push_back(text::Format("Слой \"%s\" (объектов: %d) не назначен и пропущен.", l.name.c_str(), l.entities));
    }
    maps.push_back(m);
  }
  for (const auto& entry : opt.layers) {
    const std::string& name = entry.first;
    const bool present = std::any_of(drawing.layers.begin(), drawing.layers.end(),
                                     [&](const DxfLayerInfo& l) { return l.name == name; });
    if (!present) res.notes.push_back("Слоя \"" + name + "\" в чертеже нет.");
  }
  for (const auto& [type, count] : drawing.skipped)
    res.notes.push_back(text::Format("Пропущены объекты %s: %d.", type.c_str(), count));
  for (const std::string& n : drawing.notes) res.notes.push_back(n);

  std::vector<Seg> segs;
  for (const DxfPiece& p : drawing.pieces) {
    int layer = -1;
    for (size_t k = 0; k < drawing.layers.size(); ++k)
      if (drawing.layers[k].name == p.layer) layer = static_cast<int>(k);
    if (layer < 0 || maps[static_cast<size_t>(layer)].kind == DxfLayerKind::kSkip) continue;
    if (segs.size() >= static_cast<size_t>(kDxfMaxGeneratrices)) {
      res.error = text::Format("На назначенных слоях больше %d отрезков и дуг: такая система не поместится в расчет.",
                               kDxfMaxGeneratrices);
      return res;
    }
    const double k = res.cmPerUnit;
    Seg s;
    s.layer = layer;
    s.arc = p.arc;
    s.a = {p.x1 * k, p.y1 * k};
    s.b = {p.x2 * k, p.y2 * k};
    s.c = {p.cx * k, p.cy * k};
    s.r = p.r * k;
    s.a1 = p.a1;
    s.sweep = p.sweep;
    s.entity = p.entity;
    segs.push_back(s);
  }
  if (segs.empty()) {
    res.error = "На назначенных слоях нет ни одного отрезка или дуги: назначьте слоям вид (проводник, диэлектрик).";
    return res;
  }

  // Size and tolerance.
  double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
  for (const Seg& s : segs)
    for (double t : {0.0, 0.5, 1.0}) {
      const Pt p = s.At(t);
      x0 = std::min(x0, p.x), y0 = std::min(y0, p.y), x1 = std::max(x1, p.x), y1 = std::max(y1, p.y);
    }
  const double size = std::hypot(x1 - x0, y1 - y0);
  if (!(size > 0) || !std::isfinite(size)) {
    res.error = "Чертеж на назначенных слоях вырожден: все его точки совпадают.";
    return res;
  }
  const double tol = std::max(opt.tolerance, 1e-12) * size;
  res.toleranceCm = tol;

  // The axis: pieces on it are no surface; parts at x < 0 are the mirror
  // half of a whole section, or a drawing on the wrong side.
  std::vector<Seg> right, left;
  int onAxis = 0;
  for (const Seg& s : segs) {
    if (!s.arc && std::fabs(s.a.x) <= tol && std::fabs(s.b.x) <= tol) {
      ++onAxis;
      continue;
    }
    SplitAtAxis(s, tol, right, left);
  }
  if (onAxis) res.notes.push_back(text::Format("Отрезков на оси симметрии: %d (ось не поверхность, они пропущены).", onAxis));
  if (!left.empty()) {
    PointGrid grid(tol * 4);
    for (size_t k = 0; k < right.size(); ++k) {
      grid.Add(right[k].a, static_cast<int>(k));
      grid.Add(right[k].b, static_cast<int>(k));
    }
    std::vector<Seg> unmatched;
    for (const Seg& l : left) {
      const Seg m = l.Mirrored();
      bool twin = false;
      grid.Near(m.a, tol, [&](int id) { twin = twin || SameGeometry(m, right[static_cast<size_t>(id)], tol); });
      if (!twin) unmatched.push_back(m);
    }
    if (unmatched.empty()) {
      res.notes.push_back("Левая половина сечения (x < 0) совпадает с правой и пропущена.");
    } else if (right.empty()) {
      res.notes.push_back("Чертеж лежит при x < 0: он отражен относительно оси.");
      right = unmatched;
    } else {
      const Seg& u = unmatched.front();
      res.error = text::Format("Часть контура лежит при r < 0 и не повторяет правую половину: слой \"%s\", "
                               "от %s до %s см (в чертеже x — радиус).",
                               drawing.layers[static_cast<size_t>(u.layer)].name.c_str(), Coord(u.Mirrored().a).c_str(),
                               Coord(u.Mirrored().b).c_str());
      return res;
    }
  }
  segs.clear();
  for (const Seg& s : right)
    if (s.Length() > tol) segs.push_back(s);
  // Nothing left would be reported as an import of an empty system.
  if (segs.empty()) {
    res.error = text::Format("На назначенных слоях нет ни одного отрезка или дуги вне оси длиннее допуска (%.3g см): "
                             "импортировать нечего.",
                             tol);
    return res;
  }

  // Snapping: ends within the tolerance become one node.
  const int ends = static_cast<int>(segs.size()) * 2;
  std::vector<int> parent(static_cast<size_t>(ends));
  std::iota(parent.begin(), parent.end(), 0);
  auto find = [&](int v) {
    while (parent[static_cast<size_t>(v)] != v) v = parent[static_cast<size_t>(v)] = parent[static_cast<size_t>(parent[static_cast<size_t>(v)])];
    return v;
  };
  auto endPt = [&](int e) { const Seg& s = segs[static_cast<size_t>(e / 2)]; return e % 2 ? s.b : s.a; };
  {
    PointGrid grid(tol);
    for (int e = 0; e < ends; ++e) {
      grid.Near(endPt(e), tol, [&](int o) {
        const int a = find(e), b = find(o);
        if (a != b) parent[static_cast<size_t>(std::max(a, b))] = std::min(a, b);
      });
      grid.Add(endPt(e), e);
    }
  }
  std::vector<int> node(static_cast<size_t>(ends));
  std::unordered_map<int, int> nodeOfRoot;
  std::vector<Pt> nodePt;
  std::vector<bool> nodeHasLine;
  for (int e = 0; e < ends; ++e) {
    const int root = find(e);
    auto [it, added] = nodeOfRoot.try_emplace(root, static_cast<int>(nodePt.size()));
    const bool line = !segs[static_cast<size_t>(e / 2)].arc;
    if (added) {
      nodePt.push_back(endPt(e));
      nodeHasLine.push_back(line);
    } else if (line && !nodeHasLine[static_cast<size_t>(it->second)]) {
      // A line's end from the file is exact; an arc's is computed.
      nodePt[static_cast<size_t>(it->second)] = endPt(e);
      nodeHasLine[static_cast<size_t>(it->second)] = true;
    }
    node[static_cast<size_t>(e)] = it->second;
  }
  for (Pt& p : nodePt)
    if (std::fabs(p.x) <= tol) p.x = 0;
  for (size_t k = 0; k < segs.size(); ++k) {
    Seg& s = segs[k];
    s.a = nodePt[static_cast<size_t>(node[2 * k])];
    s.b = nodePt[static_cast<size_t>(node[2 * k + 1])];
    if (s.arc) {
      // The circle stays; the angles follow the joined ends.
      const double na = std::atan2(s.a.y - s.c.y, s.a.x - s.c.x);
      const double nb = std::atan2(s.b.y - s.c.y, s.b.x - s.c.x);
      double sw = nb - na;
      if (node[2 * k] == node[2 * k + 1]) {
        sw = s.sweep > 0 ? 2 * kPi : -2 * kPi;
      } else {
        while (sw - s.sweep > kPi) sw -= 2 * kPi;
        while (s.sweep - sw > kPi) sw += 2 * kPi;
      }
      s.a1 = na, s.sweep = sw;
    }
  }
  std::vector<int> degree(nodePt.size(), 0);
  for (int e = 0; e < ends; ++e) ++degree[static_cast<size_t>(node[static_cast<size_t>(e)])];

  // Chains of pieces of one layer through nodes where exactly two meet.
  std::vector<std::vector<int>> atNode(nodePt.size());  // end ids
  for (int e = 0; e < ends; ++e) atNode[static_cast<size_t>(node[static_cast<size_t>(e)])].push_back(e);
  auto sameLayerEnds = [&](int n, int layer) {
    std::vector<int> out;
    for (int e : atNode[static_cast<size_t>(n)])
      if (segs[static_cast<size_t>(e / 2)].layer == layer) out.push_back(e);
    return out;
  };
  struct Chain {
    std::vector<Seg> segs;
    int layer = 0;
    int startNode = 0, endNode = 0;
    bool closed = false;
  };
  std::vector<Chain> chains;
  std::vector<bool> used(segs.size(), false);
  for (size_t k = 0; k < segs.size(); ++k) {
    if (used[k]) continue;
    used[k] = true;
    Chain ch;
    ch.layer = segs[k].layer;
    std::vector<Seg> fwd{segs[k]};
    int endNode = node[2 * k + 1], startNode = node[2 * k];
    auto extend = [&](int& at, bool forward) {
      for (;;) {
        const std::vector<int> es = sameLayerEnds(at, ch.layer);
        if (es.size() != 2) return;
        int next = -1;
        for (int e : es)
          if (!used[static_cast<size_t>(e / 2)]) next = e;
        if (next < 0) return;
        used[static_cast<size_t>(next / 2)] = true;
        const Seg& s = segs[static_cast<size_t>(next / 2)];
        // Going forward the next piece must start here; going back, end here.
        const bool startsHere = next % 2 == 0;
        Seg oriented = startsHere == forward ? s : s.Reversed();
        const int far = node[static_cast<size_t>(next ^ 1)];
        if (forward)
          fwd.push_back(oriented);
        else
          fwd.insert(fwd.begin(), oriented);
        at = far;
      }
    };
    extend(endNode, true);
    extend(startNode, false);
    ch.segs = std::move(fwd);
    ch.startNode = startNode;
    ch.endNode = endNode;
    ch.closed = startNode == endNode;
    chains.push_back(std::move(ch));
  }

  // Open ends: not on the axis and not met by any other piece.
  std::vector<std::pair<Pt, int>> dangling;  // point, chain
  for (size_t c = 0; c < chains.size(); ++c) {
    if (chains[c].closed) continue;
    for (int n : {chains[c].startNode, chains[c].endNode})
      if (nodePt[static_cast<size_t>(n)].x != 0 && degree[static_cast<size_t>(n)] < 2)
        dangling.push_back({nodePt[static_cast<size_t>(n)], static_cast<int>(c)});
  }
  for (size_t k = 0; k < dangling.size(); ++k) {
    const auto& [p, c] = dangling[k];
    const std::string& layer = drawing.layers[static_cast<size_t>(chains[static_cast<size_t>(c)].layer)].name;
    int nearest = -1;
    for (size_t o = 0; o < dangling.size(); ++o)
      if (o != k && (nearest < 0 || Dist(dangling[o].first, p) < Dist(dangling[static_cast<size_t>(nearest)].first, p)))
        nearest = static_cast<int>(o);
    if (nearest >= 0 && static_cast<size_t>(nearest) < k && Dist(dangling[static_cast<size_t>(nearest)].first, p) < 0.1 * size)
      continue;  // the pair was named from the other end
    if (nearest >= 0 && Dist(dangling[static_cast<size_t>(nearest)].first, p) < 0.1 * size) {
      const Pt q = dangling[static_cast<size_t>(nearest)].first;
      res.warnings.push_back(text::Format("Контур слоя \"%s\" не замкнут: разрыв между %s и %s см (%.3g см, больше "
                                          "допуска %.3g см).",
                                          layer.c_str(), Coord(p).c_str(), Coord(q).c_str(), Dist(p, q), tol));
    } else {
      res.warnings.push_back(text::Format("Контур слоя \"%s\" не замкнут: свободный конец в %s см.", layer.c_str(),
                                          Coord(p).c_str()));
    }
  }

  // Orientation: every contour clockwise, its inside to the right.
  std::vector<std::vector<Pt>> polys;
  std::vector<double> areas;
  for (Chain& ch : chains) {
    std::vector<Pt> poly = Polygon(ch.segs);
    double area = SignedArea(poly);
    if (area > 0) {
      std::reverse(ch.segs.begin(), ch.segs.end());
      for (Seg& s : ch.segs) s = s.Reversed();
      std::reverse(poly.begin(), poly.end());
      area = -area;
    }
    polys.push_back(std::move(poly));
    areas.push_back(std::fabs(area));
  }
  res.contours = static_cast<int>(chains.size());

  // Regions: contour c is region c + 2; its outer region is the innermost
  // contour around a point just outside it.
  std::vector<int> outerOf(chains.size(), 1);
  std::vector<int> outerContour(chains.size(), -1);
  std::vector<std::array<double, 4>> box;
  for (const auto& poly : polys) {
    std::array<double, 4> b{1e300, 1e300, -1e300, -1e300};
    for (const Pt& p : poly) b = {std::min(b[0], p.x), std::min(b[1], p.y), std::max(b[2], p.x), std::max(b[3], p.y)};
    box.push_back(b);
  }
  for (size_t c = 0; c < chains.size(); ++c) {
    const Seg& s = chains[c].segs.front();
    const Pt m = s.At(0.5), m2 = s.At(0.5 + 1e-6);
    const double tx = m2.x - m.x, ty = m2.y - m.y, tn = std::hypot(tx, ty);
    const double delta = std::min(10 * tol, 0.01 * s.Length());
    // Left of travel is outside.
    const Pt probe = tn > 0 ? Pt{m.x - delta * ty / tn, m.y + delta * tx / tn} : m;
    double best = 1e300;
    for (size_t o = 0; o < chains.size(); ++o) {
      if (o == c || areas[o] <= 0) continue;
      const auto& b = box[o];
      if (probe.x < b[0] || probe.x > b[2] || probe.y < b[1] || probe.y > b[3]) continue;
      if (areas[o] < best && Inside(polys[o], probe)) best = areas[o], outerContour[c] = static_cast<int>(o);
    }
    if (outerContour[c] >= 0) outerOf[c] = outerContour[c] + 2;
  }

  // Generatrices.
  for (size_t c = 0; c < chains.size(); ++c) {
    const DxfLayerMapping& m = maps[static_cast<size_t>(chains[c].layer)];
    SurfParams p;
    p.material = m.kind == DxfLayerKind::kDielectric ? 0 : 1;
    p.innerRegion = m.innerRegion.value_or(static_cast<int>(c) + 2);
    p.outerRegion = m.outerRegion.value_or(outerOf[c]);
    if (p.material == 0) {
      p.epsInner = m.epsInner;
      p.epsOuter = m.epsOuter;
    } else {
      p.epsInner = 0;
      p.epsOuter = 1.0;
      const int o = outerContour[c];
      if (o >= 0 && maps[static_cast<size_t>(chains[static_cast<size_t>(o)].layer)].kind == DxfLayerKind::kDielectric)
        p.epsOuter = maps[static_cast<size_t>(chains[static_cast<size_t>(o)].layer)].epsInner;
    }
    p.isFloating = m.kind == DxfLayerKind::kFloating;
    p.ratioLd = opt.ratioLd;
    for (const Seg& s : chains[c].segs) {
      double n = std::round(opt.pointsPerCm * s.Length());
      if (s.arc) n = std::max({n, 3.0, std::ceil(opt.ratioLd * std::fabs(s.sweep)) + 1});
      p.pointCount = static_cast<int>(std::clamp(n, 2.0, 10000.0));
      std::unique_ptr<SurfData> e;
      if (s.arc) {
        const double a1 = NormAngle(s.a1);
        e = std::make_unique<Arch>(p, s.c.x, s.c.y, s.r, a1, a1 + s.sweep);
      } else {
        e = std::make_unique<Line>(p, s.a.x, s.a.y, s.b.x, s.b.y);
      }
      if (m.kind == DxfLayerKind::kConductor) e->SetFixedPotential(m.potential);
      res.system.Append(std::move(e));
    }
  }
  return res;
}
