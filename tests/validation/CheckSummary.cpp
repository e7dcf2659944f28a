// Checks the numbers of one validation run against the analytic values of
// its .check file: lines of the summary JSON, columns of result files and
// the warnings. Prints every check; exit 0 when all pass.
//
//   json PTR VALUE [rel|abs TOL]    VALUE: a number, true, false, a text or absent
//   rows FILE COL VALUE rel|abs TOL every data row of FILE (COL from 1)
//   interior FILE COL VALUE rel|abs TOL   the same without the first and last row
//   agree PTR FILE COL VALUE FACTOR the reported figure at PTR within FACTOR of
//                                   the largest relative deviation of COL from VALUE
//   warning "TEXT" / nowarning "TEXT"     among the warnings (summary and stderr)

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Quoted(std::istringstream& in) {
  std::string rest;
  std::getline(in, rest);
  const size_t a = rest.find('"'), b = rest.rfind('"');
  return a == std::string::npos || b <= a ? rest : rest.substr(a + 1, b - a - 1);
}

bool Within(double got, double want, const std::string& kind, double tol) {
  if (!std::isfinite(got)) return false;
  if (kind == "abs") return std::fabs(got - want) <= tol;
  return std::fabs(got - want) <= tol * std::fabs(want);
}

// Data rows of a result file: the numbers of every line after the header.
std::vector<std::vector<double>> Rows(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::vector<double>> rows;
  std::string line;
  bool header = true;
  while (std::getline(in, line)) {
    if (header) {
      header = false;
      continue;
    }
    std::istringstream s(line);
    std::vector<double> row;
    for (double v; s >> v;) row.push_back(v);
    if (!row.empty()) rows.push_back(row);
  }
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kalvor_check_summary RESULTS_DIR CHECK_FILE\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  nlohmann::json summary;
  try {
    std::ifstream in(dir + "summary.json");
    summary = nlohmann::json::parse(in);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "summary.json: %s\n", e.what());
    return 1;
  }
  std::string warnings;
  {
    std::ifstream err(dir + "stderr.txt");
    std::stringstream ss;
    ss << err.rdbuf();
    warnings = ss.str();
    for (const auto& w : summary.value("warnings", nlohmann::json::array())) warnings += w.get<std::string>() + "\n";
  }
  std::ifstream checks(argv[2]);
  std::string line;
  int failed = 0, count = 0;
  while (std::getline(checks, line)) {
    std::istringstream in(line);
    std::string kind;
    if (!(in >> kind) || kind[0] == '#' || kind == "run") continue;
    bool ok = false;
    std::string detail;
    if (kind == "json") {
      std::string ptr, value, tolKind = "rel";
      double tol = 0.0;
      in >> ptr >> value >> tolKind >> tol;
      const nlohmann::json::json_pointer p(ptr);
      if (value == "absent") {
        ok = !summary.contains(p);
      } else if (!summary.contains(p)) {
        detail = "missing";
      } else {
        const nlohmann::json& v = summary.at(p);
        detail = v.dump();
        if (value == "true" || value == "false")
          ok = v.is_boolean() && v.get<bool>() == (value == "true");
        else if (v.is_number())
          ok = Within(v.get<double>(), std::stod(value), tolKind, tol);
        else
          ok = v.is_string() && v.get<std::string>() == value;
      }
    } else if (kind == "rows" || kind == "interior") {
      std::string file, tolKind;
      int col = 0;
      double want = 0.0, tol = 0.0;
      in >> file >> col >> want >> tolKind >> tol;
      auto rows = Rows(dir + file);
      if (kind == "interior" && rows.size() >= 2) rows = std::vector<std::vector<double>>(rows.begin() + 1, rows.end() - 1);
      ok = !rows.empty();
      double worst = 0.0;
      for (const auto& r : rows) {
        const double v = col >= 1 && col <= static_cast<int>(r.size()) ? r[col - 1] : NAN;
        if (!Within(v, want, tolKind, tol)) ok = false;
        worst = std::max(worst, std::fabs(v - want) / (tolKind == "abs" ? 1.0 : std::fabs(want)));
      }
      detail = std::to_string(rows.size()) + " rows, largest deviation " + std::to_string(worst);
    } else if (kind == "agree") {
      std::string ptr, file;
      int col = 0;
      double want = 0.0, factor = 0.0;
      in >> ptr >> file >> col >> want >> factor;
      double measured = 0.0;
      for (const auto& r : Rows(dir + file))
        if (col >= 1 && col <= static_cast<int>(r.size()))
          measured = std::max(measured, std::fabs(r[col - 1] - want) / std::fabs(want));
      const nlohmann::json::json_pointer p(ptr);
      const double reported = summary.contains(p) ? summary.at(p).get<double>() : NAN;
      ok = measured > 0.0 && reported >= measured / factor && reported <= measured * factor;
      detail = "reported " + std::to_string(reported) + ", measured " + std::to_string(measured);
    } else if (kind == "warning" || kind == "nowarning") {
      const std::string text = Quoted(in);
      ok = (warnings.find(text) != std::string::npos) == (kind == "warning");
    } else {
      detail = "unknown check";
    }
    ++count;
    if (!ok) ++failed;
    std::printf("%s %s%s%s\n", ok ? "ok  " : "FAIL", line.c_str(), detail.empty() ? "" : "  -> ", detail.c_str());
  }
  std::printf("%d of %d checks passed\n", count - failed, count);
  return failed == 0 && count > 0 ? 0 : 1;
}
