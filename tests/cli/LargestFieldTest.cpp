// One largest field per generatrix: kalvor-calc's printed list and its JSON
// summary give the analysis's figure, and on the dielectric example the
// floating body's largest field is the larger of its two generatrices'.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TEST(LargestFieldTest, ThePrintedListTheSummaryAndTheBodiesAgreeOnTheFloatingSpheres) {
  const fs::path dir = fs::temp_directory_path() / ("kalvor-largest-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const std::string cmd = std::string(KALVOR_CALC) + " " + KALVOR_EXAMPLES "/floating-sphere.txt --external-field 10" +
                          " --quiet --results " + dir.string() + " --summary " + (dir / "s.json").string() + " >" +
                          (dir / "out.txt").string() + " 2>&1";
  const int status = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << Read(dir / "out.txt");
  const std::string out = Read(dir / "out.txt");
  const nlohmann::json summary = nlohmann::json::parse(Read(dir / "s.json"));

  // "  N: value" after the heading, one line per generatrix, %.5g.
  const size_t heading = out.find("Наибольшая напряженность на образующих");
  ASSERT_NE(heading, std::string::npos) << out;
  std::vector<double> printed;
  std::istringstream lines(out.substr(heading));
  std::string line;
  std::getline(lines, line);
  static const std::regex row(R"(^\s+(\d+): (\S+)$)");
  for (std::smatch m; std::getline(lines, line) && std::regex_match(line, m, row);) printed.push_back(std::stod(m[2]));
  const auto& gens = summary.at("generatrices");
  ASSERT_EQ(printed.size(), gens.size());
  std::vector<double> json;
  for (size_t i = 0; i < gens.size(); ++i) {
    json.push_back(gens[i].at("max_field_kv_per_cm").get<double>());
    EXPECT_NEAR(printed[i], json[i], 5e-5 * json[i]) << "generatrix " << i + 1;
  }
  // The conductor is generatrices 1 and 2; an uncharged sphere in 10 kV/cm
  // has 3 E0 at its poles, raised a little by the dielectric sphere above.
  const auto& body = summary.at("bodies").at(0);
  EXPECT_EQ(body.at("max_field_kv_per_cm").get<double>(), std::max(json[0], json[1]));
  EXPECT_NEAR(body.at("max_field_kv_per_cm").get<double>(), 30.0, 3.0);
  fs::remove_all(dir);
}

}  // namespace
