#include "engine/CornerRounding.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <numbers>
#include <optional>

#include "engine/AtomicFile.h"
#include "model/Arch.h"
#include "model/Line.h"
#include "model/TextFormat.h"

namespace {

constexpr double kPi = std::numbers::pi;

struct V {
  double x = 0, y = 0;
};
V operator+(V a, V b) { return {a.x + b.x, a.y + b.y}; }
V operator-(V a, V b) { return {a.x - b.x, a.y - b.y}; }
V operator*(double s, V a) { return {s * a.x, s * a.y}; }
double Dot(V a, V b) { return a.x * b.x + a.y * b.y; }
double Cross(V a, V b) { return a.x * b.y - a.y * b.x; }
double Norm(V a) { return std::hypot(a.x, a.y); }
V Perp(V a) { return {-a.y, a.x}; }  // the left normal

// A generatrix seen as geometry, with one end chosen as the corner.
struct Piece {
  const SurfData* element = nullptr;
  bool arc = false;
  V p0, p1;                      // first and second end
  V c;                           // arc centre
  double r = 0, a1 = 0, a2 = 0;  // arc radius and angles
  double length = 0;
  int end = 0;     // which end is the corner: 0 first, 1 second
  V corner;        // that end
  V into;          // unit tangent at the corner pointing into the piece
  V normal;        // unit normal at the corner towards the other piece
};

std::optional<Piece> MakePiece(const SurfData* e) {
  if (!e) return std::nullopt;
  Piece p;
  p.element = e;
  if (const auto* l = dynamic_cast<const Line*>(e)) {
    p.p0 = {l->x1, l->y1};
    p.p1 = {l->x2, l->y2};
    p.length = Norm(p.p1 - p.p0);
  } else if (const auto* a = dynamic_cast<const Arch*>(e)) {
    p.arc = true;
    p.c = {a->xc, a->yc};
    p.r = a->radius;
    p.a1 = a->angle1;
    p.a2 = a->angle2;
    p.p0 = p.c + p.r * V{std::cos(p.a1), std::sin(p.a1)};
    p.p1 = p.c + p.r * V{std::cos(p.a2), std::sin(p.a2)};
    p.length = std::fabs(p.r * (p.a2 - p.a1));
  } else {
    return std::nullopt;
  }
  if (!(p.length > 0) || !std::isfinite(p.length)) return std::nullopt;
  return p;
}

void ChooseEnd(Piece& p, int end) {
  p.end = end;
  p.corner = end == 0 ? p.p0 : p.p1;
  if (!p.arc) {
    p.into = (1.0 / p.length) * (end == 0 ? p.p1 - p.p0 : p.p0 - p.p1);
  } else {
    const double th = end == 0 ? p.a1 : p.a2;
    const double s = p.a2 > p.a1 ? 1.0 : -1.0;
    const V ccw{-std::sin(th), std::cos(th)};
    p.into = (end == 0 ? s : -s) * ccw;
  }
}

// How far into the piece (cm along it) the point t of its curve lies,
// measured from the corner; negative or beyond the length when outside.
double Advance(const Piece& p, V t) {
  if (!p.arc) return Dot(t - p.corner, p.into);
  const double thP = p.end == 0 ? p.a1 : p.a2;
  const double thT = std::atan2(t.y - p.c.y, t.x - p.c.x);
  const double s = p.a2 > p.a1 ? 1.0 : -1.0;
  const double dir = p.end == 0 ? s : -s;
  double d = std::fmod(dir * (thT - thP), 2 * kPi);
  if (d < 0) d += 2 * kPi;
  // A point just behind the corner reads as almost a full turn ahead.
  if (d > kPi + std::fabs(p.a2 - p.a1) / 2) d -= 2 * kPi;
  return d * p.r;
}

// The foot of the fillet centre on the piece: its tangent point.
V TangentPoint(const Piece& p, V centre) {
  if (!p.arc) return p.corner + Dot(centre - p.corner, p.into) * p.into;
  const V d = centre - p.c;
  return p.c + (p.r / Norm(d)) * d;
}

// Candidate centres at distance `radius` from both pieces, on the corner's
// side of each: intersections of the two offset curves.
std::vector<V> Centres(const Piece& a, const Piece& b, double radius) {
  struct Offset {
    bool circle;
    V q, t;     // line: point and direction
    V c;        // circle: centre
    double r;   // circle: radius
  };
  auto offset = [&](const Piece& p) -> std::optional<Offset> {
    if (!p.arc) return Offset{false, p.corner + radius * p.normal, p.into, {}, 0};
    const double sigma = Dot(p.normal, p.corner - p.c) > 0 ? 1.0 : -1.0;
    const double r = p.r + sigma * radius;
    if (!(r > 0)) return std::nullopt;
    return Offset{true, {}, {}, p.c, r};
  };
  const auto oa = offset(a), ob = offset(b);
  std::vector<V> out;
  if (!oa || !ob) return out;
  auto lineCircle = [&](const Offset& l, const Offset& c) {
    const V w = l.q - c.c;
    const double bq = Dot(w, l.t), cq = Dot(w, w) - c.r * c.r;
    const double disc = bq * bq - cq;
    if (disc < 0) return;
    const double sq = std::sqrt(disc);
    out.push_back(l.q + (-bq - sq) * l.t);
    out.push_back(l.q + (-bq + sq) * l.t);
  };
  if (!oa->circle && !ob->circle) {
    const double den = Cross(oa->t, ob->t);
    if (den != 0) out.push_back(oa->q + (Cross(ob->q - oa->q, ob->t) / den) * oa->t);
  } else if (!oa->circle) {
    lineCircle(*oa, *ob);
  } else if (!ob->circle) {
    lineCircle(*ob, *oa);
  } else {
    const V d = ob->c - oa->c;
    const double dist = Norm(d);
    if (dist == 0) return out;
    const double along = (dist * dist + oa->r * oa->r - ob->r * ob->r) / (2 * dist);
    const double h2 = oa->r * oa->r - along * along;
    if (h2 < 0) return out;
    const V m = oa->c + (along / dist) * d;
    const V n = (std::sqrt(h2) / dist) * Perp(d);
    out.push_back(m + n);
    out.push_back(m - n);
  }
  return out;
}

double PotentialAt(const SurfData& e, int end) {
  if (e.isFloating) return 0.0;
  if (e.isFixed) return e.fixedPotential;
  return end == 0 ? e.potentialFrom : e.potentialTo;
}

// Whether the two pieces bound the same regions with the same material and
// potential, so that one arc can stand for both at the corner.
// `sameTravel`: the chain a -> arc -> b runs in b's direction too.
bool Compatible(const SurfData& a, const SurfData& b, bool sameTravel) {
  if (a.material != b.material) return false;
  const bool regions = sameTravel ? a.innerRegion == b.innerRegion && a.outerRegion == b.outerRegion &&
                                        a.epsInner == b.epsInner && a.epsOuter == b.epsOuter
                                  : a.innerRegion == b.outerRegion && a.outerRegion == b.innerRegion &&
                                        a.epsInner == b.epsOuter && a.epsOuter == b.epsInner;
  if (!regions && a.material == 0) return false;
  if (a.material != 0) {
    // A conductor's regions are its body and what lies around it, however
    // each piece was drawn.
    if (!(a.innerRegion == b.innerRegion && a.outerRegion == b.outerRegion && a.epsOuter == b.epsOuter))
      return false;
    if (a.isFloating != b.isFloating) return false;
    if (!a.isFloating && a.isFixed && b.isFixed && a.fixedPotential != b.fixedPotential) return false;
  }
  return true;
}

int Scaled(int n, double newLength, double oldLength) {
  if (n <= 0) return n;
  const double v = std::round(n * newLength / oldLength);
  return std::max(1, static_cast<int>(std::min(v, 1e6)));
}

std::unique_ptr<SurfData> Trimmed(const Piece& p, double advance) {
  if (!p.arc) {
    const auto* l = static_cast<const Line*>(p.element);
    const V t = p.corner + advance * p.into;
    SurfParams prm = l->Params();
    prm.pointCount = Scaled(l->pointCount, p.length - advance, p.length);
    auto out = p.end == 0 ? std::make_unique<Line>(prm, t.x, t.y, l->x2, l->y2)
                          : std::make_unique<Line>(prm, l->x1, l->y1, t.x, t.y);
    out->isFixed = l->isFixed;
    out->potentialFrom = l->potentialFrom;
    out->potentialTo = l->potentialTo;
    out->marked = false;
    return out;
  }
  auto out = std::unique_ptr<Arch>(static_cast<Arch*>(p.element->Clone().release()));
  const double s = p.a2 > p.a1 ? 1.0 : -1.0;
  const double dth = advance / p.r;
  if (p.end == 0)
    out->angle1 = p.a1 + s * dth;
  else
    out->angle2 = p.a2 - s * dth;
  out->pointCount = Scaled(out->pointCount, p.length - advance, p.length);
  out->marked = false;
  return out;
}

}  // namespace

RoundCornerResult RoundCorner(const CSurfColl& system, int i, int j, double radius) {
  RoundCornerResult res;
  const int n = system.GetSize();
  auto fail = [&](std::string msg) {
    res.error = std::move(msg);
    res.system = CSurfColl();
    res.indexMap.clear();
    res.arcIndex = -1;
    return std::move(res);
  };
  if (i < 0 || j < 0 || i >= n || j >= n)
    return fail(text::Format("Скругление: нет образующей с номером %d (в системе %d образующих).",
                             (i < 0 || i >= n ? i : j) + 1, n));
  if (i == j) return fail(text::Format("Скругление: нужны две разные образующие, а указана дважды %d.", i + 1));
  if (!(radius > 0) || !std::isfinite(radius) || radius > 1e6)
    return fail(text::Format("Скругление образующих %d и %d: радиус должен быть положительным числом до 1e6 см.",
                             i + 1, j + 1));
  auto a = MakePiece(system.At(i));
  auto b = MakePiece(system.At(j));
  if (!a || !b)
    return fail(text::Format("Скругление образующих %d и %d: образующая %d нулевой длины.", i + 1, j + 1,
                             a ? j + 1 : i + 1));

  // The shared end: the closest pair of ends, within a tolerance that
  // covers the file's three decimals and arc ends computed from angles.
  double best = std::numeric_limits<double>::infinity();
  int ea = 0, eb = 0;
  for (int u = 0; u < 2; ++u)
    for (int v = 0; v < 2; ++v) {
      const double d = Norm((u == 0 ? a->p0 : a->p1) - (v == 0 ? b->p0 : b->p1));
      if (d < best) best = d, ea = u, eb = v;
    }
  const double scale = std::max({1.0, Norm(a->p0), Norm(a->p1), Norm(b->p0), Norm(b->p1)});
  const double tol = 1e-5 * scale;
  if (!(best <= 2e-3))
    return fail(text::Format("Скругление: у образующих %d и %d нет общего конца (ближайшие концы в %.4g см "
                             "друг от друга).",
                             i + 1, j + 1, best));
  ChooseEnd(*a, ea);
  ChooseEnd(*b, eb);
  const double cr = Cross(a->into, b->into);
  if (std::fabs(cr) < 1e-9) {
    return fail(Dot(a->into, b->into) < 0
                    ? text::Format("Скругление: образующие %d и %d сходятся без излома, скруглять нечего.", i + 1,
                                   j + 1)
                    : text::Format("Скругление: образующие %d и %d касаются друг друга в общем конце, угол между "
                                   "ними нулевой.",
                                   i + 1, j + 1));
  }
  a->normal = (cr > 0 ? 1.0 : -1.0) * Perp(a->into);
  b->normal = (cr > 0 ? -1.0 : 1.0) * Perp(b->into);

  // Chain order: a ends at the corner -> a, arc, b; else b, arc, a.
  const bool aLeads = ea == 1;
  const bool sameTravel = aLeads ? eb == 0 : eb == 1;
  if (!Compatible(*a->element, *b->element, sameTravel))
    return fail(text::Format("Скругление: образующие %d и %d различаются материалом, областями, "
                             "проницаемостями или потенциалом; дуга между ними была бы неоднозначной.",
                             i + 1, j + 1));

  // The fillet centre nearest the corner whose tangent points lie on both.
  const double eps = 1e-9 * scale;
  std::optional<V> centre;
  double ta = 0, tb = 0;
  for (const V c : Centres(*a, *b, radius)) {
    const V pa = TangentPoint(*a, c), pb = TangentPoint(*b, c);
    const double da = Advance(*a, pa), db = Advance(*b, pb);
    if (!(da > eps && da <= a->length + tol && db > eps && db <= b->length + tol)) continue;
    if (!centre || Norm(c - a->corner) < Norm(*centre - a->corner)) centre = c, ta = da, tb = db;
  }
  if (!centre)
    return fail(text::Format("Скругление образующих %d и %d: радиус %.4g см не помещается — касательная "
                             "дуга вышла бы за дальний конец одной из них. Уменьшите радиус.",
                             i + 1, j + 1, radius));

  // Tangent points within the tolerance of a far end use that piece up.
  const bool aUsed = ta >= a->length - tol, bUsed = tb >= b->length - tol;
  const V ta0 = aUsed ? (ea == 0 ? a->p1 : a->p0) : TangentPoint(*a, *centre);
  const V tb0 = bUsed ? (eb == 0 ? b->p1 : b->p0) : TangentPoint(*b, *centre);
  const V from = aLeads ? ta0 : tb0, to = aLeads ? tb0 : ta0;
  const double th1 = std::atan2(from.y - centre->y, from.x - centre->x);
  double sweep = std::atan2(to.y - centre->y, to.x - centre->x) - th1;
  while (sweep > kPi) sweep -= 2 * kPi;
  while (sweep <= -kPi) sweep += 2 * kPi;

  const SurfData& pa = *a->element;
  SurfParams prm = pa.Params();
  const double arcLength = std::fabs(sweep) * radius;
  const int na = pa.pointCount, nb = b->element->pointCount;
  if (na + nb > 0) {
    const double density = static_cast<double>(na + nb) / (a->length + b->length);
    // Charges on the centre's side stay clear of it: |L/d * step angle| < 1.
    const double clear = std::ceil(std::fabs(prm.ratioLd * sweep)) + 1;
    prm.pointCount = static_cast<int>(std::min(1e6, std::max({3.0, std::round(density * arcLength), clear})));
  }
  auto arc = std::make_unique<Arch>(prm, centre->x, centre->y, radius, th1, th1 + sweep);
  if (pa.material != 0 && !pa.isFloating) {
    if (pa.isFixed) {
      arc->SetFixedPotential(pa.fixedPotential);
    } else {
      // A variable potential runs on across the arc from the value at one
      // side of the corner to the value at the other.
      const double va = PotentialAt(pa, ea), vb = PotentialAt(*b->element, eb);
      arc->SetVariablePotential(aLeads ? va : vb, aLeads ? vb : va);
    }
  }

  // Assemble: pieces trimmed in place, the arc between them in the chain
  // (after the leading piece), used-up pieces removed.
  std::vector<std::unique_ptr<SurfData>> items;
  std::vector<int> map(static_cast<size_t>(n), -1);
  const int lead = aLeads ? i : j;
  for (int k = 0; k < n; ++k) {
    std::unique_ptr<SurfData> e;
    if (k == i)
      e = aUsed ? nullptr : Trimmed(*a, ta);
    else if (k == j)
      e = bUsed ? nullptr : Trimmed(*b, tb);
    else
      e = system.At(k)->Clone();
    if (e) {
      map[static_cast<size_t>(k)] = static_cast<int>(items.size());
      items.push_back(std::move(e));
    }
    if (k == lead) {
      res.arcIndex = static_cast<int>(items.size());
      items.push_back(std::move(arc));
    }
  }
  for (auto& e : items) res.system.Append(std::move(e));
  res.indexMap = std::move(map);
  return res;
}

bool FindCorner(const CSurfColl& system, double x, double y, double reach, int& i, int& j) {
  const int n = system.GetSize();
  double best = reach;
  bool found = false;
  std::vector<std::pair<V, int>> ends;
  for (int k = 0; k < n; ++k) {
    double x1, y1, x2, y2;
    system.At(k)->GetEnds(x1, y1, x2, y2);
    ends.push_back({{x1, y1}, k});
    ends.push_back({{x2, y2}, k});
  }
  const V p{x, y};
  for (size_t u = 0; u < ends.size(); ++u) {
    const double d = Norm(ends[u].first - p);
    if (!(d <= best)) continue;
    for (size_t v = 0; v < ends.size(); ++v) {
      if (ends[v].second == ends[u].second) continue;
      if (Norm(ends[v].first - ends[u].first) > 2e-3) continue;
      best = d;
      i = std::min(ends[u].second, ends[v].second);
      j = std::max(ends[u].second, ends[v].second);
      found = true;
      break;
    }
  }
  return found;
}

std::string RoundCorners(CSurfColl& system, const std::vector<CornerSpec>& corners) {
  CSurfColl work = system.Clone();
  std::vector<int> where(static_cast<size_t>(work.GetSize()));
  for (size_t k = 0; k < where.size(); ++k) where[k] = static_cast<int>(k);
  for (const CornerSpec& c : corners) {
    const int n = static_cast<int>(where.size());
    if (c.i < 1 || c.j < 1 || c.i > n || c.j > n)
      return text::Format("Скругление %d,%d: в исходной системе %d образующих.", c.i, c.j, n);
    const int i = where[static_cast<size_t>(c.i - 1)], j = where[static_cast<size_t>(c.j - 1)];
    if (i < 0 || j < 0)
      return text::Format("Скругление %d,%d: образующая %d целиком ушла в предыдущее скругление.", c.i, c.j,
                          i < 0 ? c.i : c.j);
    RoundCornerResult r = RoundCorner(work, i, j, c.radius);
    if (!r.Ok()) {
      // The message names the numbers of the file, not the working ones.
      return text::Format("Скругление %d,%d (радиус %g см): ", c.i, c.j, c.radius) + r.error;
    }
    for (int& w : where)
      if (w >= 0) w = r.indexMap[static_cast<size_t>(w)];
    work = std::move(r.system);
  }
  system = std::move(work);
  return {};
}

std::string WriteSystemFile(const CSurfColl& system, const std::string& path) {
  AtomicFile file;
  if (!file.Open(path)) return "Не удается создать файл " + path + ".";
  for (const auto& e : system) file.Stream() << e->GetText() << "\n";
  if (!file.Commit()) return "Не удается записать файл " + path + " (нет места на диске или нет доступа).";
  return {};
}
