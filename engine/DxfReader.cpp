#include "engine/DxfReader.h"

#include <dl_creationadapter.h>
#include <dl_dxf.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <numbers>
#include <set>
#include <sstream>

#include "model/TextFormat.h"

namespace {

constexpr double kPi = std::numbers::pi;
// Coordinates beyond this are no drawing of an electrode.
constexpr double kMaxCoordinate = 1e12;

struct Group {
  int code = 0;
  std::string value;
  int line = 0;  // 1-based line of the code
};

std::string Trim(const std::string& s) {
  const size_t a = s.find_first_not_of(" \t\r\n");
  if (a == std::string::npos) return {};
  const size_t b = s.find_last_not_of(" \t\r\n");
  return s.substr(a, b - a + 1);
}

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return s;
}

bool ParseWhole(const std::string& s, double& v) {
  const char* end = nullptr;
  v = text::ParseDouble(s.c_str(), &end);
  return !s.empty() && end == s.c_str() + s.size() && std::isfinite(v);
}

// What we hand to dxflib: the groups it needs, numbers rewritten in one
// canonical form once they have been checked.
bool IsRealCode(int c) { return (c >= 10 && c <= 39) || c == 40 || c == 42 || c == 50 || c == 51 || (c >= 210 && c <= 230); }
bool IsIntCode(int c) { return c == 70 || c == 90; }
bool Passed(int c) { return c == 8 || IsRealCode(c) || IsIntCode(c); }

struct Entity {
  std::string type;
  std::string layer = "0";
  int number = 0;  // 1-based among the file's entities
  int line = 0;
  std::vector<Group> groups;
  bool damaged = false;
  bool inVertices = false;  // a polyline's VERTEX groups follow
};

// Checks one entity's groups against what dxflib assumes; a damaged one is
// left out with a note rather than read wrongly.
bool CheckEntity(const Entity& e) {
  long long declared = -1, vertices = 0;
  for (const Group& g : e.groups) {
    if (IsRealCode(g.code)) {
      double v = 0;
      if (!ParseWhole(g.value, v) || std::fabs(v) > kMaxCoordinate) return false;
    } else if (IsIntCode(g.code)) {
      double v = 0;
      if (!ParseWhole(g.value, v) || v != std::floor(v) || std::fabs(v) > 1e6) return false;
      if (g.code == 90) {
        if (e.type != "LWPOLYLINE" || declared >= 0 || v < 1) return false;
        declared = static_cast<long long>(v);
      }
    }
    if (e.type == "LWPOLYLINE") {
      if ((g.code == 10 || g.code == 20 || g.code == 42) && declared < 0) return false;
      if (g.code == 10 && ++vertices > declared) return false;
      if (g.code == 42 && vertices == 0) return false;
    }
  }
  return e.type != "LWPOLYLINE" || vertices >= 2;
}

class Collector : public DL_CreationAdapter {
 public:
  Collector(DxfDrawing& d, const std::vector<int>& numbers) : d_(d), numbers_(numbers) {}

  void addLine(const DL_LineData& l) override {
    Begin();
    DxfPiece p = Piece();
    p.x1 = l.x1, p.y1 = l.y1, p.x2 = l.x2, p.y2 = l.y2;
    Add(p);
  }
  void addArc(const DL_ArcData& a) override {
    Begin();
    double sweep = std::fmod(a.angle2 - a.angle1, 360.0);
    if (sweep <= 0) sweep += 360.0;
    AddArc(a.cx, a.cy, a.radius, a.angle1 * kPi / 180, sweep * kPi / 180);
  }
  void addCircle(const DL_CircleData& c) override {
    Begin();
    AddArc(c.cx, c.cy, c.radius, 0.0, 2 * kPi);
  }
  void addPolyline(const DL_PolylineData& p) override {
    Begin();
    poly_ = true;
    closed_ = (p.flags & 1) != 0;
    vertices_.clear();
  }
  void addVertex(const DL_VertexData& v) override {
    if (poly_) vertices_.push_back(v);
  }
  void endSequence() override { FinishPolyline(); }
  void Done() { FinishPolyline(); }

 private:
  // Every entity callback starts a new entity of the list we passed on.
  void Begin() {
    FinishPolyline();
    ++index_;
    layer_ = attributes.getLayer();
    const double* dir = getExtrusion()->getDirection();
    mirrored_ = dir && dir[2] < 0;
  }
  DxfPiece Piece() const {
    DxfPiece p;
    p.layer = layer_;
    p.entity = index_ >= 0 && index_ < static_cast<int>(numbers_.size()) ? numbers_[static_cast<size_t>(index_)] : 0;
    return p;
  }
  void AddArc(double cx, double cy, double r, double a1, double sweep) {
    if (!(r > 0)) {
      d_.notes.push_back(text::Format("Объект %d: дуга нулевого радиуса пропущена.", Piece().entity));
      return;
    }
    DxfPiece p = Piece();
    p.arc = true;
    p.cx = cx, p.cy = cy, p.r = r, p.a1 = a1, p.sweep = sweep;
    p.x1 = cx + r * std::cos(a1), p.y1 = cy + r * std::sin(a1);
    p.x2 = cx + r * std::cos(a1 + sweep), p.y2 = cy + r * std::sin(a1 + sweep);
    Add(p);
  }
  void Add(DxfPiece p) {
    // An entity seen from below (extrusion -Z) is the mirror image in x.
    if (mirrored_) {
      p.x1 = -p.x1, p.x2 = -p.x2, p.cx = -p.cx;
      p.a1 = kPi - p.a1, p.sweep = -p.sweep;
    }
    d_.pieces.push_back(p);
  }
  void FinishPolyline() {
    if (!poly_) return;
    poly_ = false;
    const size_t n = vertices_.size();
    for (size_t k = 0; k + 1 < n || (closed_ && n > 2 && k < n); ++k) {
      const DL_VertexData& a = vertices_[k];
      const DL_VertexData& b = vertices_[(k + 1) % n];
      if (a.x == b.x && a.y == b.y) continue;
      if (a.bulge == 0 || !std::isfinite(a.bulge)) {
        DxfPiece p = Piece();
        p.x1 = a.x, p.y1 = a.y, p.x2 = b.x, p.y2 = b.y;
        Add(p);
        continue;
      }
      // A bulge is tan(sweep / 4), counterclockwise positive.
      const double sweep = 4 * std::atan(a.bulge);
      const double dx = b.x - a.x, dy = b.y - a.y, chord = std::hypot(dx, dy);
      const double r = chord / (2 * std::sin(std::fabs(sweep) / 2));
      const double off = (chord / 2) / std::tan(sweep / 2);
      const double cx = (a.x + b.x) / 2 - off * dy / chord, cy = (a.y + b.y) / 2 + off * dx / chord;
      DxfPiece p = Piece();
      p.arc = true;
      p.cx = cx, p.cy = cy, p.r = r, p.a1 = std::atan2(a.y - cy, a.x - cx), p.sweep = sweep;
      // The ends are the vertices themselves, not recomputed from angles.
      p.x1 = a.x, p.y1 = a.y, p.x2 = b.x, p.y2 = b.y;
      Add(p);
    }
    vertices_.clear();
  }

  DxfDrawing& d_;
  const std::vector<int>& numbers_;
  int index_ = -1;
  std::string layer_;
  bool mirrored_ = false;
  bool poly_ = false, closed_ = false;
  std::vector<DL_VertexData> vertices_;
};

}  // namespace

double DxfUnitToCm(int code) {
  switch (code) {
    case 1: return 2.54;
    case 2: return 30.48;
    case 4: return 0.1;
    case 5: return 1.0;
    case 6: return 100.0;
    default: return 0.0;
  }
}

int DxfUnitsCode(const std::string& name) {
  if (name == "in") return 1;
  if (name == "mm") return 4;
  if (name == "cm") return 5;
  if (name == "m") return 6;
  return -1;
}

DxfDrawing ReadDxf(std::istream& in) {
  DxfDrawing d;
  std::string data;
  {
    char buf[65536];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
      data.append(buf, static_cast<size_t>(in.gcount()));
      if (static_cast<long long>(data.size()) > kDxfMaxBytes) {
        d.error = text::Format("Файл больше %lld МБ: такой чертеж не читается.", kDxfMaxBytes >> 20);
        return d;
      }
    }
  }
  if (Trim(data).empty()) {
    d.error = "Файл пуст: в нем нет ни одного объекта чертежа.";
    return d;
  }
  if (data.rfind("AutoCAD Binary DXF", 0) == 0) {
    d.error = "Это двоичный DXF; он не читается. Сохраните чертеж в CAD как DXF в текстовом виде (ASCII).";
    return d;
  }
  if (data.find('\0') != std::string::npos) {
    d.error = "Файл содержит двоичные данные: это не текстовый DXF.";
    return d;
  }

  // Pairs of lines: a group code, then its value.
  std::vector<Group> groups;
  {
    size_t pos = 0;
    int lineNo = 0;
    auto next = [&](std::string& out) {
      if (pos >= data.size()) return false;
      size_t e = data.find('\n', pos);
      if (e == std::string::npos) e = data.size();
      out.assign(data, pos, e - pos);
      if (!out.empty() && out.back() == '\r') out.pop_back();
      pos = e + 1;
      ++lineNo;
      return true;
    };
    std::string codeText, value;
    while (next(codeText)) {
      const std::string c = Trim(codeText);
      if (c.empty() && pos >= data.size()) break;
      double code = 0;
      if (!ParseWhole(c, code) || code != std::floor(code) || code < 0 || code > 1071) {
        d.error = text::Format("Файл поврежден или это не DXF: в строке %d ожидался код группы, а стоит \"%.40s\".",
                               lineNo, c.c_str());
        return d;
      }
      const int codeLine = lineNo;
      if (!next(value)) {
        d.error = text::Format("Файл обрывается: у кода группы в строке %d нет значения.", codeLine);
        return d;
      }
      groups.push_back({static_cast<int>(code), Trim(value), codeLine});
    }
  }

  // Sections; the header's $INSUNITS; the entities of the ENTITIES section.
  std::vector<Entity> entities;
  bool eof = false;
  std::string section;
  for (size_t k = 0; k < groups.size(); ++k) {
    const Group& g = groups[k];
    if (g.code == 0 && Upper(g.value) == "SECTION") {
      section.clear();
      if (k + 1 < groups.size() && groups[k + 1].code == 2) section = Upper(groups[++k].value);
      continue;
    }
    if (g.code == 0 && Upper(g.value) == "ENDSEC") {
      section.clear();
      continue;
    }
    if (g.code == 0 && Upper(g.value) == "EOF") {
      eof = true;
      break;
    }
    if (section == "HEADER" && g.code == 9 && g.value == "$INSUNITS" && k + 1 < groups.size()) {
      double v = 0;
      if (ParseWhole(groups[k + 1].value, v) && v == std::floor(v) && v >= 0 && v < 100) d.insUnits = static_cast<int>(v);
      ++k;
      continue;
    }
    if (section != "ENTITIES") continue;
    if (g.code == 0) {
      const std::string type = Upper(g.value);
      // A polyline's vertices and end belong to it.
      if ((type == "VERTEX" || type == "SEQEND") && !entities.empty() && entities.back().type == "POLYLINE") {
        entities.back().groups.push_back({0, type, g.line});
        entities.back().inVertices = true;
        continue;
      }
      if (static_cast<int>(entities.size()) >= kDxfMaxEntities) {
        d.error = text::Format("В чертеже больше %d объектов: такой чертеж не читается.", kDxfMaxEntities);
        return d;
      }
      Entity e;
      e.type = type;
      e.number = static_cast<int>(entities.size()) + 1;
      e.line = g.line;
      entities.push_back(std::move(e));
      continue;
    }
    if (entities.empty()) continue;
    Entity& e = entities.back();
    if (g.code == 8 && !e.inVertices) e.layer = g.value;
    if (g.value.size() > 255) e.damaged = true;
    e.groups.push_back(g);
  }
  if (!eof && entities.empty()) {
    d.error = "Файл поврежден или это не DXF: не найдены ни раздел ENTITIES, ни конец файла (EOF).";
    return d;
  }
  if (!eof) d.notes.push_back("Файл обрывается без EOF: прочитано то, что в нем есть.");

  static const std::set<std::string> kRead = {"LINE", "ARC", "CIRCLE", "LWPOLYLINE", "POLYLINE"};
  std::ostringstream filtered;
  filtered << "0\nSECTION\n2\nENTITIES\n";
  std::vector<int> passed;
  std::map<std::string, size_t> layerIndex;
  for (const Entity& e : entities) {
    auto [it, added] = layerIndex.try_emplace(e.layer, d.layers.size());
    if (added) d.layers.push_back({e.layer, 0, {}, 0});
    DxfLayerInfo& info = d.layers[it->second];
    ++info.entities;
    ++info.types[e.type];
    if (!kRead.count(e.type)) {
      ++d.skipped[e.type];
      continue;
    }
    if (e.damaged || !CheckEntity(e)) {
      d.notes.push_back(text::Format("Объект %d (%s, строка %d) поврежден и пропущен.", e.number, e.type.c_str(), e.line));
      continue;
    }
    filtered << "0\n" << e.type << "\n";
    for (const Group& g : e.groups) {
      if (g.code == 0) {
        filtered << "0\n" << g.value << "\n";
      } else if (g.code == 8) {
        filtered << "8\n" << g.value << "\n";
      } else if (Passed(g.code)) {
        double v = 0;
        ParseWhole(g.value, v);
        filtered << g.code << "\n" << (IsIntCode(g.code) ? text::Format("%.0f", v) : text::Format("%.17g", v)) << "\n";
      }
    }
    passed.push_back(e.number);
  }
  filtered << "0\nENDSEC\n0\nEOF\n";

  std::istringstream clean(filtered.str());
  Collector collector(d, passed);
  DL_Dxf dxf;
  dxf.in(clean, &collector);
  collector.Done();

  for (DxfPiece& p : d.pieces) {
    const auto it = layerIndex.find(p.layer);
    if (it != layerIndex.end()) ++d.layers[it->second].pieces;
  }
  if (entities.empty()) d.error = "В чертеже нет ни одного объекта (раздел ENTITIES пуст).";
  return d;
}

DxfDrawing ReadDxfFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  DxfDrawing d;
  if (!in) {
    d.error = "Не удается открыть файл " + path + ".";
    return d;
  }
  d = ReadDxf(in);
  if (!d.Ok()) d.error = path + ": " + d.error;
  return d;
}
