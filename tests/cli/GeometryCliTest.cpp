// kalvor-calc's geometry options: rounding before the run, the DXF import in
// place of the system file, the export, the system saved.

#include <gtest/gtest.h>

#include "CliHarness.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

class GeometryCli : public clitest::Harness {
 protected:
  int Run(const std::string& args, std::string* out = nullptr, std::string* err = nullptr) {
    const clitest::Result r = Harness::Run(args + " --results " + dir.string() + " --quiet");
    if (out) *out = r.out;
    if (err) *err = r.err;
    return r.exit;
  }
};

constexpr const char* kCylinder =
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 0.000 ; 10.000 ; 5.000 ; 10.000 ; 10.000 ; 20 ; 2.0000 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 5.000 ; 10.000 ; 5.000 ; 0.000 ; 10.000 ; 40 ; 2.0000 ;\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 5.000 ; 0.000 ; 0.000 ; 0.000 ; 10.000 ; 20 ; 2.0000 ;\n";

TEST_F(GeometryCli, BothEdgesRoundedByTheFileNumbersAreSavedAndCalculated) {
  std::ofstream(dir / "cyl.txt") << kCylinder;
  std::string out, err;
  const fs::path saved = dir / "rounded.txt";
  ASSERT_EQ(Run((dir / "cyl.txt").string() + " --round-corner 1,2,1 --round-corner 2,3,1 --save-system " +
                    saved.string(),
                &out, &err),
            0)
      << err;
  EXPECT_NE(out.find("Расчет завершен"), std::string::npos);
  const std::string text = Read(saved);
  int arcs = 0;
  for (size_t p = 0; (p = text.find("\t\tc;", p)) != std::string::npos; ++p) ++arcs;
  EXPECT_EQ(arcs, 2) << text;
  EXPECT_NE(text.find("c; 4.000 ; 9.000 ; 1.000 ; 90.00000 ; 0.00000 ;"), std::string::npos) << text;
  EXPECT_TRUE(fs::exists(dir / "05.dat"));
  EXPECT_EQ(Read(dir / "cyl.txt"), kCylinder);  // the input stays as it was
}

TEST_F(GeometryCli, ARadiusThatDoesNotFitStopsBeforeTheRun) {
  std::ofstream(dir / "cyl.txt") << kCylinder;
  std::string err;
  EXPECT_EQ(Run((dir / "cyl.txt").string() + " --round-corner 1,2,7 --save-system " + (dir / "x.txt").string(),
                nullptr, &err),
            1);
  EXPECT_NE(err.find("не помещается"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(dir / "x.txt"));
  EXPECT_FALSE(fs::exists(dir / "01.dat"));
}

TEST_F(GeometryCli, TheExampleDrawingImportsCalculatesAndRoundTrips) {
  const std::string dxf = std::string(KALVOR_EXAMPLES) + "/dxf/rod-plate.dxf";
  std::string out, err;
  const fs::path saved = dir / "rod-plate.txt", exported = dir / "back.dxf";
  ASSERT_EQ(Run("--import-dxf " + dxf + " --dxf-layer ROD=conductor,50 --dxf-layer PLATE=dielectric,4,1 "
                "--points-per-cm 3 --save-system " + saved.string() + " --export-dxf " + exported.string(),
                &out, &err),
            0)
      << err;
  EXPECT_NE(out.find("Расчет завершен"), std::string::npos);
  EXPECT_NE(err.find("NOTES"), std::string::npos) << err;  // the unmapped layer is named
  EXPECT_NE(err.find("TEXT"), std::string::npos) << err;
  const std::string text = Read(saved);
  EXPECT_NE(text.find("Me; 2 ; 1 ;"), std::string::npos) << text;
  EXPECT_NE(text.find("De; 3 ; 1 ;4.0 ; 1.0 ;"), std::string::npos) << text;

  // The export maps itself back: same system file without --dxf-layer.
  const fs::path again = dir / "again.txt";
  ASSERT_EQ(Run("--import-dxf " + exported.string() + " --points-per-cm 3 --save-system " + again.string(), nullptr,
                &err),
            0)
      << err;
  EXPECT_EQ(Read(again), text);
}

TEST_F(GeometryCli, BadCombinationsAndBadDrawingsAreRefused) {
  std::string err;
  EXPECT_EQ(Run("--dxf-layer A=conductor,1 x.txt", nullptr, &err), 2);
  EXPECT_EQ(Run("--import-dxf a.dxf b.txt", nullptr, &err), 2);
  EXPECT_EQ(Run("--round-corner 1,2 x.txt", nullptr, &err), 2);
  EXPECT_EQ(Run("--import-dxf a.dxf --dxf-units furlong", nullptr, &err), 2);
  std::ofstream(dir / "empty.dxf") << "";
  EXPECT_EQ(Run("--import-dxf " + (dir / "empty.dxf").string(), nullptr, &err), 1);
  EXPECT_NE(err.find("пуст"), std::string::npos) << err;
  EXPECT_NE(err.find("empty.dxf"), std::string::npos) << err;
}

}  // namespace
