// kalvor-calc takes the parameters saved beside a system (FILE.txt.kalvor.ini)
// as the desktop program does: a system saved there calculates the same in
// both. Options on the command line win; --no-sidecar ignores the file.
//
// The physics: a sphere of radius R = 5 cm at V = 100 kV, its centre d = 15 cm
// above the plane y = 0. Alone its charge is 4*pi*eps0*R*V; above the earthed
// plane the image series gives 4*pi*eps0*R*V * sinh(a) * sum 1/sinh(n*a)
// with cosh(a) = d/R. The discretisation (60 points, L/d = 2) is good to
// about 1e-5; 1e-4 is the tolerance.

#include <gtest/gtest.h>

#include "CliHarness.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

namespace fs = std::filesystem;

constexpr double kEps0 = 8.8541878128e-12;
constexpr double kR = 0.05, kD = 0.15, kV = 1e5;  // m, m, V

double IsolatedCharge() { return 4 * M_PI * kEps0 * kR * kV; }

double ChargeAboveEarth() {
  const double a = std::acosh(kD / kR);
  double sum = 0;
  for (int n = 1; n < 200; ++n) sum += std::sinh(a) / std::sinh(n * a);
  return IsolatedCharge() * sum;
}

const char kSphere[] =
    "// a sphere 10 cm above the plane\n"
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 15.000 ; 5.000 ; 90.00000 ; -90.00000 ; 100.000 ; 60 ; 2.0000 ;\n";

struct Outcome : clitest::Result {
  // The conductor's charge as printed ("заряд 6.68e-07 Кл"); nan if none.
  double Charge() const {
    std::smatch m;
    if (!std::regex_search(out, m, std::regex("заряд ([-+0-9.eE]+) Кл"))) return NAN;
    return std::stod(m[1].str());
  }
};

class SidecarCli : public clitest::Harness {
 protected:
  void SetUp() override {
    Harness::SetUp();
    system = Write("sphere.txt", kSphere);
  }
  void Sidecar(const std::string& text) { Write("sphere.txt.kalvor.ini", text); }

  Outcome Calc(const std::string& args) { return {Run(system.string() + " --quiet " + args)}; }

  fs::path system;
};

TEST_F(SidecarCli, TheEarthOfTheParametersFileIsUsedAndOptionsWin) {
  Sidecar("[Calculation]\nUseEarth=true\n");
  const Outcome saved = Calc("");
  ASSERT_EQ(saved.exit, 0) << saved.err;
  EXPECT_NE(saved.out.find("Параметры расчета из файла " + (dir / "sphere.txt.kalvor.ini").string()),
            std::string::npos)
      << saved.out;
  EXPECT_NEAR(saved.Charge(), ChargeAboveEarth(), 1e-4 * ChargeAboveEarth());

  // The file ignored: the sphere alone, as without any parameters.
  const Outcome ignored = Calc("--no-sidecar");
  ASSERT_EQ(ignored.exit, 0) << ignored.err;
  EXPECT_NEAR(ignored.Charge(), IsolatedCharge(), 1e-4 * IsolatedCharge());

  // An external field in the file, switched off by the option; the earth of
  // the file stays. With the field left on the charge would differ.
  Sidecar("[Calculation]\nUseEarth=true\nExternalField=5\n");
  const Outcome withField = Calc("");
  ASSERT_EQ(withField.exit, 0) << withField.err;
  EXPECT_GT(std::fabs(withField.Charge() - ChargeAboveEarth()), 0.1 * ChargeAboveEarth());
  const Outcome overridden = Calc("--external-field 0");
  ASSERT_EQ(overridden.exit, 0) << overridden.err;
  EXPECT_NEAR(overridden.Charge(), ChargeAboveEarth(), 1e-4 * ChargeAboveEarth());
}

TEST_F(SidecarCli, FoldersAndCurvesOfTheParametersFileAreUsed) {
  fs::create_directories(dir / "out");
  Sidecar("[Calculation]\nUseEarth=true\nResultsFolder=out\nPointsBetweenCPs=3\n\n[GapCurves]\n"
          "Lines=\"Me; 2 ; -1 ;    ; 0.0 ;\\t\\tl; 0.000 ; 0.000 ; 0.000 ; 10.000 ;~ ; 0.000 ; 0.000 ; 9 ; 0.0000 ;\"\n");
  Outcome r = Calc("");
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir / "out" / "01.dat"));
  EXPECT_TRUE(fs::exists(dir / "out" / "ControlCalc.txt"));
  EXPECT_FALSE(fs::exists(dir / "01.dat"));
  // Three calculation points per contour point, and both ends (one per
  // contour point and the ends by default).
  std::istringstream rows(Read(dir / "out" / "01.dat"));
  int count = -1;  // the header
  for (std::string row; std::getline(rows, row);) ++count;
  EXPECT_EQ(count, 60 * 3 + 2);
  // The curve along the axis from the plane to the sphere: 0 kV on the
  // earthed plane, 100 kV at the sphere.
  const std::string space = Read(dir / "out" / "01space.dat");
  ASSERT_FALSE(space.empty());
  std::istringstream lines(space);
  std::string header, first, last;
  std::getline(lines, header);
  for (std::string row; std::getline(lines, row);) {
    if (first.empty()) first = row;
    if (row.size() > 2) last = row;
  }
  double x = 0, y = 0, fi0 = -1, fi1 = -1;
  ASSERT_EQ(std::sscanf(first.c_str(), "%lf %lf %lf", &x, &y, &fi0), 3) << first;
  ASSERT_EQ(std::sscanf(last.c_str(), "%lf %lf %lf", &x, &y, &fi1), 3) << last;
  EXPECT_NEAR(fi0, 0.0, 1e-2);
  EXPECT_NEAR(fi1, 100.0, 1e-2);

  // --results wins, and the control file goes with it.
  fs::create_directories(dir / "mine");
  r = Calc("--results " + (dir / "mine").string());
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir / "mine" / "01.dat"));
  EXPECT_TRUE(fs::exists(dir / "mine" / "ControlCalc.txt"));

  // A folder of the file that is missing here: refused before the run, the
  // folder and where it came from named.
  fs::remove_all(dir / "out");
  r = Calc("");
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("нет такой папки " + (dir / "out").string()), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("файла параметров"), std::string::npos) << r.err;
}

// A spoiled value is a warning naming the file and the key; it keeps its
// default and the run goes on with the rest of the file.
TEST_F(SidecarCli, ASpoiledValueIsNamedAndTheRestTaken) {
  Sidecar("[Calculation]\nUseEarth=true\nExternalField=1e400\n");
  Outcome r = Calc("");
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_NE(r.err.find("Предупреждение: Файл " + (dir / "sphere.txt.kalvor.ini").string()), std::string::npos)
      << r.err;
  EXPECT_NE(r.err.find("ExternalField"), std::string::npos) << r.err;
  EXPECT_NEAR(r.Charge(), ChargeAboveEarth(), 1e-4 * ChargeAboveEarth());

  // Garbage throughout: nothing taken, no crash.
  const char garbage[] = "\0\xff[[[=\n=;\"\\x\n[Calculation\nUseEarth";
  Sidecar(std::string(garbage, sizeof garbage - 1));
  r = Calc("");
  EXPECT_EQ(r.exit, 0) << r.err;
  EXPECT_NEAR(r.Charge(), IsolatedCharge(), 1e-4 * IsolatedCharge());

  // A parameters file that cannot be read is named, not silently skipped.
  if (::geteuid() != 0) {
    Sidecar("[Calculation]\nUseEarth=true\n");
    fs::permissions(dir / "sphere.txt.kalvor.ini", fs::perms::none);
    r = Calc("");
    EXPECT_EQ(r.exit, 0) << r.err;
    EXPECT_NE(r.err.find("не прочитан"), std::string::npos) << r.err;
  }
}

// The inception conditions may refine a screening the file switches on.
TEST_F(SidecarCli, InceptionConditionsNeedAScreeningFromEitherSource) {
  Outcome r = Calc("--pressure-bar 2 --no-surface-results");
  EXPECT_EQ(r.exit, 2);
  EXPECT_NE(r.err.find("только вместе с --inception"), std::string::npos) << r.err;
  Sidecar("[Inception]\nEnabled=true\nGas=air\n");
  r = Calc("--pressure-bar 2 --no-surface-results");
  EXPECT_EQ(r.exit, 0) << r.err;
}

// The shipped example with no options: the earth its file asks for.
TEST_F(SidecarCli, TheExampleCalculatesWithItsOwnParameters) {
  for (const char* name : {"sphere-plane.txt", "sphere-plane.txt.kalvor.ini"})
    fs::copy_file(fs::path(KALVOR_EXAMPLES) / name, dir / name);
  system = dir / "sphere-plane.txt";
  const Outcome r = Calc("");
  ASSERT_EQ(r.exit, 0) << r.err;
  EXPECT_NEAR(r.Charge(), ChargeAboveEarth(), 1e-4 * ChargeAboveEarth());
}

}  // namespace
