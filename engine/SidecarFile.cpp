#include "engine/SidecarFile.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

#include "engine/AtomicFile.h"
#include "engine/GapCurves.h"
#include "model/TextFormat.h"

namespace sidecar {

namespace {

namespace fs = std::filesystem;

const char kGroup[] = "Calculation";

// ---- Values as QSettings writes them ----

// A string in the INI file: control characters, quotes and backslashes
// escaped; quoted when it holds ';', ',' or '=' or begins or ends with a
// blank (the reader would otherwise cut or trim it).
std::string Escaped(const std::string& s) {
  std::string r = s.size() > 0 && s[0] == '@' ? "@" : "";
  bool quote = false;
  bool hexFollows = false;  // a digit after \xNN would extend the escape
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == ';' || c == ',' || c == '=') quote = true;
    if (hexFollows && std::isxdigit(c)) {
      r += text::Format("\\x%x", c);
      continue;
    }
    hexFollows = false;
    switch (c) {
      case '\0': r += "\\0"; hexFollows = true; break;
      case '\a': r += "\\a"; break;
      case '\b': r += "\\b"; break;
      case '\f': r += "\\f"; break;
      case '\n': r += "\\n"; break;
      case '\r': r += "\\r"; break;
      case '\t': r += "\\t"; break;
      case '\v': r += "\\v"; break;
      case '"': r += "\\\""; break;
      case '\\': r += "\\\\"; break;
      default:
        if (c <= 0x1F) {
          r += text::Format("\\x%x", c);
          hexFollows = true;
        } else {
          r += ch;
        }
    }
  }
  if (quote || (!r.empty() && (r.front() == ' ' || r.back() == ' '))) r = '"' + r + '"';
  return r;
}

std::string EscapedList(const std::vector<std::string>& items) {
  if (items.empty()) return "@Invalid()";
  std::string r;
  for (size_t i = 0; i < items.size(); ++i) r += (i ? ", " : "") + Escaped(items[i]);
  return r;
}

unsigned HexValue(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  return static_cast<unsigned>(std::tolower(static_cast<unsigned char>(c)) - 'a' + 10);
}

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | ((code >> 12) & 0x0F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The value of a line as QSettings reads it: quoted pieces taken as they
// are, unquoted ones trimmed, escapes resolved, ", " outside quotes
// separating the items of a list.
std::vector<std::string> Unescaped(const std::string& value, bool& isList) {
  std::vector<std::string> items;
  std::string current;
  bool inQuotes = false, quoted = false;
  size_t keep = 0;  // unquoted trailing blanks after this length are dropped
  isList = false;
  auto trim = [&] {
    if (quoted) return;
    while (current.size() > keep && (current.back() == ' ' || current.back() == '\t')) current.pop_back();
  };
  size_t i = 0;
  auto skipBlanks = [&] {
    while (i < value.size() && (value[i] == ' ' || value[i] == '\t')) ++i;
  };
  skipBlanks();
  while (i < value.size()) {
    const char c = value[i];
    if (c == '\\' && i + 1 < value.size()) {
      const char e = value[i + 1];
      i += 2;
      static const std::string from = "abfnrtv\"?'\\", to = "\a\b\f\n\r\t\v\"?'\\";
      if (const size_t k = from.find(e); k != std::string::npos) {
        current += to[k];
      } else if (e == 'x') {
        unsigned code = 0;
        while (i < value.size() && std::isxdigit(static_cast<unsigned char>(value[i])))
          code = code * 16 + HexValue(value[i++]);
        AppendUtf8(current, code & 0xFFFF);
      } else if (e >= '0' && e <= '7') {
        unsigned code = static_cast<unsigned>(e - '0');
        while (i < value.size() && value[i] >= '0' && value[i] <= '7') code = code * 8 + static_cast<unsigned>(value[i++] - '0');
        AppendUtf8(current, code & 0xFFFF);
      }
      keep = current.size();
    } else if (c == '"') {
      ++i;
      quoted = true;
      inQuotes = !inQuotes;
      if (!inQuotes) skipBlanks();
      keep = current.size();
    } else if (c == ',' && !inQuotes) {
      trim();
      isList = true;
      items.push_back(current);
      current.clear();
      quoted = false;
      keep = 0;
      ++i;
      skipBlanks();
    } else {
      current += c;
      ++i;
    }
  }
  trim();
  items.push_back(current);
  return items;
}

// ---- Folders relative to the system's folder ----

std::string Normal(const fs::path& p) {
  std::string s = p.lexically_normal().string();
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}

std::string Relative(const fs::path& base, const std::string& path) {
  if (path.empty()) return {};
  const fs::path absolute = fs::path(Normal(fs::absolute(path)));
  const std::string relative = absolute.lexically_relative(base).string();
  if (relative.empty() || relative.rfind("..", 0) == 0) return absolute.string();
  return relative;
}

std::string Absolute(const fs::path& base, const std::string& path) {
  if (path.empty()) return {};
  return Normal(fs::path(path).is_absolute() ? fs::path(path) : base / path);
}

fs::path BaseOf(const std::string& systemPath) {
  return fs::path(Normal(fs::absolute(systemPath))).parent_path();
}

// ---- Reading ----

struct Ini {
  std::map<std::string, std::string> values;  // "Group/Key" -> raw value
};

Ini Parse(std::istream& in) {
  Ini ini;
  std::string line, group;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t b = 0;
    while (b < line.size() && (line[b] == ' ' || line[b] == '\t')) ++b;
    if (b == line.size() || line[b] == ';' || line[b] == '#') continue;
    if (line[b] == '[') {
      const size_t e = line.find(']', b);
      group = line.substr(b + 1, (e == std::string::npos ? line.size() : e) - b - 1);
      if (group == "General") group.clear();
      continue;
    }
    // The value ends at a ';' outside quotes (a comment after it).
    const size_t eq = line.find('=', b);
    if (eq == std::string::npos) continue;
    std::string key = line.substr(b, eq - b);
    while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
    size_t end = eq + 1;
    for (bool inQuotes = false; end < line.size(); ++end) {
      if (line[end] == '\\') {
        ++end;
      } else if (line[end] == '"') {
        inQuotes = !inQuotes;
      } else if (line[end] == ';' && !inQuotes) {
        break;
      }
    }
    ini.values[group.empty() ? key : group + "/" + key] = line.substr(eq + 1, std::min(end, line.size()) - eq - 1);
  }
  return ini;
}

class Reader {
 public:
  Reader(const Ini& ini, std::string file) : ini_(ini), file_(std::move(file)) {}

  bool Has(const std::string& key) const { return ini_.values.count(key) != 0; }
  std::string String(const std::string& key) const {
    bool list = false;
    std::vector<std::string> items = Unescaped(ini_.values.at(key), list);
    std::string s = list ? items.front() : items.back();
    if (s.rfind("@@", 0) == 0) s.erase(0, 1);
    return s;
  }
  std::vector<std::string> List(const std::string& key) const {
    bool list = false;
    std::vector<std::string> items = Unescaped(ini_.values.at(key), list);
    if (!list && (items[0] == "@Invalid()" || items[0].empty())) return {};
    for (std::string& s : items)
      if (s.rfind("@@", 0) == 0) s.erase(0, 1);
    return items;
  }
  // As QVariant reads a string: false for "", "0" and "false".
  void Bool(const std::string& key, bool& v) const {
    if (!Has(key)) return;
    std::string s = String(key);
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    v = !(s.empty() || s == "0" || s == "false");
  }
  // Overflowing, partial or missing numbers keep the default and are named.
  void Double(const std::string& key, double& v) {
    if (!Has(key)) return;
    const std::string s = String(key);
    const char* end = nullptr;
    bool range = false;
    const double d = text::ParseDouble(s.c_str(), &end, &range);
    while (*end == ' ' || *end == '\t') ++end;
    if (end == s.c_str() || *end != '\0' || !std::isfinite(d) || (range && d != 0.0))
      return Problem(key, s);
    v = d;
  }
  void Int(const std::string& key, int& v, int low, int high) {
    double d = v;
    Double(key, d);
    if (d != std::floor(d) || d < low || d > high) return Problem(key, String(key));
    v = static_cast<int>(d);
  }
  void Problem(const std::string& key, const std::string& value) {
    if (problem_.empty())
      problem_ = text::Format("Файл %s: значение %s = \"%s\" не принято.", file_.c_str(), key.c_str(), value.c_str());
  }
  void Problem(const std::string& text) {
    if (problem_.empty()) problem_ = text;
  }
  const std::string& TakenProblem() const { return problem_; }

 private:
  const Ini& ini_;
  std::string file_;
  std::string problem_;
};

std::string Key(const char* name) { return std::string(kGroup) + "/" + name; }

}  // namespace

std::string PathFor(const std::string& systemPath) { return systemPath + ".kalvor.ini"; }

Contents Read(const std::string& systemPath, const CalcParameters& defaults) {
  Contents c;
  c.parameters = defaults;
  const std::string path = PathFor(systemPath);
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return c;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    c.problem = text::Format("Файл %s не прочитан: %s.", path.c_str(), FileErrorCause(errno).c_str());
    return c;
  }
  c.found = true;
  const Ini ini = Parse(in);
  Reader r(ini, path);
  const fs::path base = BaseOf(systemPath);
  CalcParameters& p = c.parameters;
  r.Double(Key("ExternalField"), p.ExternalField);
  r.Bool(Key("UseEarth"), p.UseEarth);
  r.Bool(Key("TestClosure"), p.TestClosure);
  r.Bool(Key("Precise"), p.Precise);
  r.Bool(Key("Capacitance"), p.Capacitance);
  r.Bool(Key("ControlCalc"), p.ControlCalc);
  r.Bool(Key("ControlPotentials"), p.ControlPotentials);
  r.Bool(Key("DumpMatrix"), p.DumpMatrix);
  r.Bool(Key("DumpInverseMatrix"), p.DumpInverseMatrix);
  r.Bool(Key("SurfaceResults"), p.SurfaceResults);
  // The parameters dialog's own range.
  r.Int(Key("PointsBetweenCPs"), p.PointsBetweenCPs, 1, 10000);
  if (r.Has(Key("ResultsFolder"))) p.ResultsFolder = Absolute(base, r.String(Key("ResultsFolder")));
  if (r.Has(Key("ControlFilePath")))
    p.ControlFilePath = Absolute(base, r.String(Key("ControlFilePath")));
  else if (r.Has(Key("ResultsFolder")) && !p.ResultsFolder.empty())
    p.ControlFilePath = ControlFileIn(p.ResultsFolder);  // a file written by hand: it goes with the results
  if (p.ResultsFolder.empty()) p.ResultsFolder = defaults.ResultsFolder;
  // Discharge inception: values the parameters dialog would refuse keep
  // the defaults and are named.
  InceptionParameters& inc = p.Inception;
  r.Bool("Inception/Enabled", inc.Enabled);
  if (r.Has("Inception/Gas")) {
    const std::string gas = r.String("Inception/Gas");
    if (!gas.empty()) inc.Gas = gas == "air" || gas == "sf6" ? gas : Absolute(base, gas);
  }
  auto number = [&](const char* key, double& value, double lo, double hi) {
    double v = value;
    r.Double(key, v);
    if (v >= lo && v <= hi)
      value = v;
    else
      r.Problem(key, r.String(key));
  };
  number("Inception/PressureBar", inc.PressureBar, 0.001, 1000);
  number("Inception/TemperatureC", inc.TemperatureC, -200, 1000);
  number("Inception/K", inc.K, 0, 100);
  if (r.Has("GapCurves/Lines")) {
    std::string lines;
    for (const std::string& l : r.List("GapCurves/Lines")) lines += l + "\n";
    std::istringstream curves(lines);
    // A line that is not a curve ends the list, as in the curves' own file.
    const ElementReadResult read = LoadGapCurves(c.gapCurves, curves);
    if (read.errorCode != 0)
      r.Problem(text::Format("Файл %s: кривая %d в промежутке не прочитана.", path.c_str(), read.errorLine));
    c.hasGapCurves = true;
  }
  c.problem = r.TakenProblem();
  return c;
}

std::string Text(const std::string& systemPath, const CalcParameters& p, const CSurfColl* gapCurves) {
  const fs::path base = BaseOf(systemPath);
  auto flag = [](bool v) { return v ? "true" : "false"; };
  // The shortest text that reads back as the same double.
  char number[64];
  const auto end = std::to_chars(number, number + sizeof number, p.ExternalField).ptr;
  std::string t = "[Calculation]\n";
  t += "ExternalField=" + std::string(number, end) + "\n";
  t += std::string("UseEarth=") + flag(p.UseEarth) + "\n";
  t += std::string("TestClosure=") + flag(p.TestClosure) + "\n";
  t += std::string("Precise=") + flag(p.Precise) + "\n";
  t += std::string("Capacitance=") + flag(p.Capacitance) + "\n";
  t += std::string("ControlCalc=") + flag(p.ControlCalc) + "\n";
  t += std::string("ControlPotentials=") + flag(p.ControlPotentials) + "\n";
  t += std::string("DumpMatrix=") + flag(p.DumpMatrix) + "\n";
  t += std::string("DumpInverseMatrix=") + flag(p.DumpInverseMatrix) + "\n";
  t += std::string("SurfaceResults=") + flag(p.SurfaceResults) + "\n";
  t += "PointsBetweenCPs=" + std::to_string(p.PointsBetweenCPs) + "\n";
  t += "ResultsFolder=" + Escaped(Relative(base, p.ResultsFolder)) + "\n";
  t += "ControlFilePath=" + Escaped(Relative(base, p.ControlFilePath)) + "\n";
  const InceptionParameters& inc = p.Inception;
  auto shortest = [](double v) {
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
  };
  t += "\n[Inception]\n";
  t += std::string("Enabled=") + flag(inc.Enabled) + "\n";
  t += "Gas=" + Escaped(inc.Gas == "air" || inc.Gas == "sf6" ? inc.Gas : Relative(base, inc.Gas)) + "\n";
  t += "PressureBar=" + shortest(inc.PressureBar) + "\n";
  t += "TemperatureC=" + shortest(inc.TemperatureC) + "\n";
  t += "K=" + shortest(inc.K) + "\n";
  if (!gapCurves) return t;
  std::ostringstream curves;
  SaveGapCurves(*gapCurves, curves);
  // One element line per entry: the curves' own file format.
  std::vector<std::string> lines;
  std::istringstream in(curves.str());
  for (std::string l; std::getline(in, l);) {
    if (!l.empty() && l.back() == '\r') l.pop_back();
    if (!l.empty()) lines.push_back(l);
  }
  t += "\n[GapCurves]\nLines=" + EscapedList(lines) + "\n";
  return t;
}

std::string Write(const std::string& systemPath, const CalcParameters& p, const CSurfColl* gapCurves) {
  const std::string path = PathFor(systemPath);
  if (const std::string cause = WriteFileAtomically(path, Text(systemPath, p, gapCurves)); !cause.empty())
    return "Не удается записать параметры расчета в файл " + path + ":\n" + cause;
  return {};
}

}  // namespace sidecar
