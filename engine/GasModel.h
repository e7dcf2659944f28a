#pragma once
// The effective ionisation coefficient alpha_eff = alpha - eta of the gas
// around the electrodes, as a function of the field, for the inception
// (streamer) criterion. Every model is a law in the reduced field E/p with
// p the pressure the same gas density would have at 20 °C, so temperature
// and pressure enter only through it (density scaling):
//   alpha_eff(E) = p20 * f(E / p20),  p20 = p * 293.15 / (273.15 + T).
//
// Air: the quadratic fit used with the streamer criterion in Kuffel, Zaengl
// and Kuffel, "High Voltage Engineering: Fundamentals" (2nd ed., 2000):
// alpha_eff/p = C (E/p - B)^2 - A with E/p in kV/(mm·bar), C = 1.6053,
// B = 2.165, A = 0.2873 (mm·bar)^-1; positive above 2.588 kV/(mm·bar);
// K = 9.15.
// SF6: the linear law alpha_eff/p = A (E/p - (E/p)crit), A = 27.7 kV^-1,
// (E/p)crit = 88.5 kV/(cm·bar); K = 10.5.
// A table: alpha_eff/p in 1/(cm·bar) against E/p in kV/(cm·bar), linear
// between the rows (format in README.md).

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

class GasModel {
 public:
  enum class Kind { kAir, kSf6, kTable };

  static GasModel Air();
  static GasModel Sf6();
  // A table file; nothing, with `error` set (Russian, naming the path and
  // the line), when it cannot be read or is not a table.
  static std::optional<GasModel> FromTableFile(const std::string& path, std::string& error);
  static std::optional<GasModel> FromTable(std::istream& in, const std::string& name, std::string& error);
  // "air", "sf6" or a table file's path.
  static std::optional<GasModel> FromName(const std::string& gas, std::string& error);

  Kind GetKind() const { return kind_; }
  // "air", "sf6" or the table's path.
  const std::string& Name() const { return name_; }
  // The critical avalanche number of the criterion this gas's law was
  // calibrated with (a table may state its own).
  double DefaultK() const { return defaultK_; }

  // alpha_eff/p (1/(cm·bar)) at the reduced field x = E/p (kV/(cm·bar)).
  double Reduced(double x) const;
  // alpha_eff (1/cm) at |E| (kV/cm) and the density pressure p20 (bar).
  double Alpha(double e, double p20) const { return p20 * Reduced(e / p20); }
  // The smallest E/p (kV/(cm·bar)) above which alpha_eff is positive (the
  // critical reduced field); 0 when the law is positive everywhere.
  double CriticalReducedField() const { return critical_; }

  // The table rows (table gases only).
  const std::vector<double>& TableX() const { return x_; }
  const std::vector<double>& TableY() const { return y_; }

 private:
  GasModel() = default;
  void FindCritical();

  Kind kind_ = Kind::kAir;
  std::string name_;
  double defaultK_ = 9.15;
  double critical_ = 0.0;
  std::vector<double> x_, y_;
};

// The pressure (bar) that gives the gas's density at 20 °C.
double DensityPressure(double pressureBar, double temperatureC);
// Relative air density delta: 1 at 1.01325 bar and 20 °C.
double RelativeAirDensity(double pressureBar, double temperatureC);

constexpr double kStandardPressureBar = 1.01325;
