// kalvor-calc --map and --field-lines: headers, rows, line ends and bad
// options.

#include <gtest/gtest.h>

#include "CliHarness.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

namespace {

namespace fs = std::filesystem;

class FieldViewCli : public clitest::Harness {
 protected:
  void SetUp() override {
    Harness::SetUp();
    Write("sphere.txt",
          "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 0.000 ; 5.000 ; 90.00000 ; -90.00000 ; 10.000 ; 30 ; 3.0000 ;\n");
  }

  int Run(const std::string& args, std::string* err = nullptr) {
    const clitest::Result r = Harness::Run((dir / "sphere.txt").string() + " --quiet " + args);
    if (err) *err = r.err;
    return r.exit;
  }
  static std::vector<std::vector<std::string>> Rows(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
      std::vector<std::string> cells;
      std::istringstream cs(line);
      for (std::string c; std::getline(cs, c, ',');) cells.push_back(c);
      rows.push_back(cells);
    }
    return rows;
  }
};

TEST_F(FieldViewCli, MapAndFieldLinesOfASphere) {
  const fs::path map = dir / "map.csv", lines = dir / "lines.csv";
  std::string err;
  ASSERT_EQ(Run("--map " + map.string() + " --map-size 21x11 --map-rect 0,-10,20,10 --field-lines " +
                    lines.string() + " --field-lines-per-electrode 4",
                &err),
            0)
      << err;
  const std::string mapText = Read(map);
  EXPECT_EQ(mapText.find('\r'), std::string::npos);  // LF line ends
  const auto rows = Rows(mapText);
  ASSERT_EQ(rows.size(), 1u + 21 * 11);
  EXPECT_EQ(mapText.substr(0, mapText.find('\n')),
            "x_cm,y_cm,region,conductor,phi_kv,ex_kv_per_cm,ey_kv_per_cm,e_kv_per_cm");
  int conductors = 0;
  for (size_t k = 1; k < rows.size(); ++k) {
    ASSERT_EQ(rows[k].size(), 8u);
    const double x = std::stod(rows[k][0]), y = std::stod(rows[k][1]), phi = std::stod(rows[k][4]);
    const double r = std::hypot(x, y);
    if (r < 4.9) {
      ++conductors;
      EXPECT_EQ(rows[k][2], "1");  // the sphere's body
      EXPECT_EQ(rows[k][3], "1");
      EXPECT_EQ(phi, 10.0);
      EXPECT_EQ(std::stod(rows[k][7]), 0.0);
    } else if (r > 5.1) {
      EXPECT_EQ(rows[k][2], "2");
      EXPECT_EQ(rows[k][3], "0");
      EXPECT_NEAR(phi, 10.0 * 5.0 / r, 1e-2);
    }
  }
  EXPECT_GT(conductors, 10);

  const std::string lineText = Read(lines);
  EXPECT_EQ(lineText.find('\r'), std::string::npos);
  EXPECT_EQ(lineText.substr(0, lineText.find('\n')), "line,x_cm,y_cm,e_kv_per_cm,ends_on");
  std::set<std::string> ids;
  for (const auto& row : Rows(lineText)) {
    if (row[0] == "line") continue;
    ASSERT_EQ(row.size(), 5u);
    ids.insert(row[0]);
    EXPECT_EQ(row[4], "border");
  }
  EXPECT_EQ(ids, (std::set<std::string>{"1", "2", "3", "4"}));
}

TEST_F(FieldViewCli, BadMapOptionsAreRefusedAndAnUnwritableFileIsReported) {
  std::string err;
  EXPECT_EQ(Run("--map " + (dir / "m.csv").string() + " --map-size 1x5", &err), 2);
  EXPECT_NE(err.find("--map-size"), std::string::npos);
  EXPECT_EQ(Run("--map " + (dir / "m.csv").string() + " --map-rect 1,2,0,3", &err), 2);
  EXPECT_EQ(Run("--map " + (dir / "m.csv").string() + " --map-rect 1,2,3", &err), 2);
  EXPECT_EQ(Run("--map " + (dir / "m.csv").string() + " --map-rect 0,0,1e300,1", &err), 2);
  EXPECT_EQ(Run("--map-size 10x10", &err), 2);
  EXPECT_EQ(Run("--field-lines-per-electrode 3", &err), 2);
  EXPECT_EQ(Run("--field-lines " + (dir / "l.csv").string() + " --field-lines-per-electrode 0", &err), 2);
  // Found before the calculation, the folder named.
  EXPECT_EQ(Run("--map " + (dir / "no-such-folder" / "m.csv").string(), &err), 2);
  EXPECT_NE(err.find("нет такой папки " + (dir / "no-such-folder").string()), std::string::npos) << err;
}

}  // namespace
