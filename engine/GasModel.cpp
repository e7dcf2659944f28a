#include "engine/GasModel.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <istream>
#include <limits>

#include "model/TextFormat.h"

namespace {

// Air after Kuffel, Zaengl and Kuffel: E/p in kV/(mm·bar), alpha_eff/p in
// 1/(mm·bar).
constexpr double kAirC = 1.6053, kAirB = 2.165, kAirA = 0.2873;
constexpr double kAirK = 9.15;
// SF6: E/p in kV/(cm·bar), alpha_eff/p in 1/(cm·bar).
constexpr double kSf6A = 27.7, kSf6Critical = 88.5;
constexpr double kSf6K = 10.5;
constexpr double kTableK = 10.0;
// Far more rows than any measured table has; refuses a runaway file.
constexpr size_t kMaxTableRows = 100000;

bool Blank(const std::string& s) { return s.find_first_not_of(" \t\r") == std::string::npos; }

// The next number of `p` after blanks, ',' or ';'; false at the end of the
// text or on something that is not a number.
bool NextNumber(const char*& p, double& v) {
  while (*p == ' ' || *p == '\t' || *p == ',' || *p == ';' || *p == '\r') ++p;
  if (!*p) return false;
  const char* end = p;
  bool range = false;
  v = text::ParseDouble(p, &end, &range);
  if (end == p || range || !std::isfinite(v)) return false;
  p = end;
  return true;
}

}  // namespace

double DensityPressure(double pressureBar, double temperatureC) {
  return pressureBar * 293.15 / (273.15 + temperatureC);
}

double RelativeAirDensity(double pressureBar, double temperatureC) {
  return DensityPressure(pressureBar, temperatureC) / kStandardPressureBar;
}

GasModel GasModel::Air() {
  GasModel g;
  g.kind_ = Kind::kAir;
  g.name_ = "air";
  g.defaultK_ = kAirK;
  g.critical_ = 10.0 * (kAirB + std::sqrt(kAirA / kAirC));
  return g;
}

GasModel GasModel::Sf6() {
  GasModel g;
  g.kind_ = Kind::kSf6;
  g.name_ = "sf6";
  g.defaultK_ = kSf6K;
  g.critical_ = kSf6Critical;
  return g;
}

std::optional<GasModel> GasModel::FromName(const std::string& gas, std::string& error) {
  if (gas == "air") return Air();
  if (gas == "sf6" || gas == "SF6") return Sf6();
  return FromTableFile(gas, error);
}

std::optional<GasModel> GasModel::FromTableFile(const std::string& path, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "Невозможно открыть таблицу газа: " + path;
    return std::nullopt;
  }
  return FromTable(in, path, error);
}

std::optional<GasModel> GasModel::FromTable(std::istream& in, const std::string& name, std::string& error) {
  GasModel g;
  g.kind_ = Kind::kTable;
  g.name_ = name;
  g.defaultK_ = kTableK;
  std::string line;
  int number = 0;
  auto fail = [&](const std::string& why) {
    error = text::Format("Таблица газа %s, строка %d: ", name.c_str(), number) + why;
    return std::nullopt;
  };
  while (std::getline(in, line)) {
    ++number;
    if (Blank(line)) continue;
    const size_t first = line.find_first_not_of(" \t");
    if (line[first] == '#' || line.compare(first, 2, "//") == 0) continue;
    const char* p = line.c_str() + first;
    if (*p == 'K' || *p == 'k') {
      ++p;
      double k;
      if (!NextNumber(p, k) || !(k > 0)) return fail("после K ожидается положительное число.");
      g.defaultK_ = k;
      continue;
    }
    double x, y, extra;
    if (!NextNumber(p, x) || !NextNumber(p, y))
      return fail("ожидаются два числа: E/p, кВ/(см·бар), и alpha_eff/p, 1/(см·бар).");
    if (NextNumber(p, extra) || !Blank(p)) return fail("лишний текст после двух чисел.");
    if (x < 0) return fail("E/p не может быть отрицательной.");
    if (!g.x_.empty() && !(x > g.x_.back())) return fail("E/p должна возрастать от строки к строке.");
    if (g.x_.size() >= kMaxTableRows) return fail(text::Format("больше %zu строк.", kMaxTableRows));
    g.x_.push_back(x);
    g.y_.push_back(y);
  }
  if (in.bad()) return fail("ошибка чтения.");
  if (g.x_.size() < 2) {
    error = "Таблица газа " + name + ": нужны хотя бы две строки E/p и alpha_eff/p.";
    return std::nullopt;
  }
  g.FindCritical();
  return g;
}

void GasModel::FindCritical() {
  if (y_.front() > 0) {
    critical_ = 0.0;
    return;
  }
  for (size_t i = 1; i < x_.size(); ++i)
    if (y_[i] > 0) {
      critical_ = x_[i - 1] + (x_[i] - x_[i - 1]) * (0.0 - y_[i - 1]) / (y_[i] - y_[i - 1]);
      return;
    }
  // Beyond the table the last two rows continue the law.
  const size_t n = x_.size();
  const double slope = (y_[n - 1] - y_[n - 2]) / (x_[n - 1] - x_[n - 2]);
  critical_ = slope > 0 ? x_[n - 1] - y_[n - 1] / slope : std::numeric_limits<double>::infinity();
}

double GasModel::Reduced(double x) const {
  switch (kind_) {
    case Kind::kAir: {
      const double u = 0.1 * x;  // kV/(mm·bar)
      const double perMm = u > kAirB ? kAirC * (u - kAirB) * (u - kAirB) - kAirA : -kAirA;
      return 10.0 * perMm;
    }
    case Kind::kSf6: return kSf6A * (x - kSf6Critical);
    case Kind::kTable: break;
  }
  if (x <= x_.front()) return y_.front();
  // Beyond the last row the last two rows continue the law (t > 1).
  const auto above = std::upper_bound(x_.begin(), x_.end(), x);
  const size_t hi = above == x_.end() ? x_.size() - 1 : static_cast<size_t>(above - x_.begin());
  const double t = (x - x_[hi - 1]) / (x_[hi] - x_[hi - 1]);
  return y_[hi - 1] + t * (y_[hi] - y_[hi - 1]);
}
