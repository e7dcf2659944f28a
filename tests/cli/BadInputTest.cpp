// kalvor-calc over the inputs that used to give nan or inf with exit 0:
// every one now either ends with a clear message and a non-zero exit, or
// succeeds with only finite numbers in every file it wrote.

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

struct Case {
  const char* name;
  std::string system;
  std::string options;
  std::string gap;          // gap-curve file, if any
  const char* refusal;      // words of the message; nullptr: must succeed
};

const std::string kOk = "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 10.000 ; 5.000 ; 90.00000 ; -90.00000 ; 10.000 ; 20 ; 1.0000 ;\n";
const std::string kGap = "Me; 2 ; -1 ;    ; 0.0 ;\t\tl; 0.000 ; 0.000 ; 0.000 ; 4.000 ;~ ; 0.000 ; 0.000 ; ";

TEST(CliBadInput, EveryReproducerEndsWithAMessageOrFiniteFiles) {
  const Case cases[] = {
      {"eps0", "Me; 1 ; 2 ;    ; 0.0 ;\t\tc; 0 ; 10 ; 5 ; 90 ; -90 ; 10 ; 20 ; 1 ;\n", "", "",
       "Образующая 1: диэлектрическая проницаемость внешней области 0 "},
      {"epsNegative", kOk + "De; 3 ; 2 ; -4 ; 1.0 ;\t\tl; 0 ; 30 ; 5 ; 30 ; 10 ; 1 ;\n", "", "",
       "Образующая 2: диэлектрическая проницаемость внутренней области -4 "},
      {"countMinus1", "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0 ; 10 ; 5 ; 90 ; -90 ; 10 ; -1 ; 1 ;\n", "", "",
       "Образующая 1: количество расчетных точек -1 "},
      {"countMax", "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0 ; 10 ; 5 ; 90 ; -90 ; 10 ; 2147483647 ; 1 ;\n", "", "",
       "Образующая 1: 2147483649 строк"},
      {"countMaxNoResults", "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0 ; 10 ; 5 ; 90 ; -90 ; 10 ; 2147483647 ; 1 ;\n",
       "--no-surface-results", "", "ГБ"},
      {"ld0", "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0 ; 10 ; 5 ; 90 ; -90 ; 10 ; 20 ; 0 ;\n", "", "",
       "Образующая 1: отношение L/d 0 "},
      // "0x14" reads as 0 points: nothing left to solve.
      {"hexCount", "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0 ; 10 ; 5 ; 90 ; -90 ; 10 ; 0x14 ; 1 ;\n", "", "",
       "неизвестных зарядов нет"},
      // "0x1p4" reads as 0: the sphere's centre moves to y = 0, below the earth.
      {"hexCentre", "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0 ; 0x1p4 ; 5 ; 90 ; -90 ; 10 ; 20 ; 1 ;\n", "--earth", "",
       "ниже"},
      {"infWord", "Me; 1 ; 2 ;    ; inf ;\t\tc; 0 ; 10 ; 5 ; 90 ; -90 ; 10 ; 20 ; 1 ;\n", "", "",
       "Образующая 1: диэлектрическая проницаемость внешней области 0 "},
      {"zeroUnknowns", "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0 ; 10 ; 5 ; 90 ; -90 ; 10 ; 0 ; 1 ;\n", "", "",
       "неизвестных зарядов нет"},
      {"chargesBelowEarth", "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 0 ; 0.5 ; 10 ; 0.5 ; 10 ; 4 ; 1 ;\n", "--earth", "",
       "Образующая 1: заряд"},
      {"hugeGapCurve", kOk, "", kGap + "2147483647 ; 0.0000 ;\n", "Кривая 1: количество точек 2147483647"},
      {"negativeGapCurve", kOk, "", kGap + "-1 ; 0.0000 ;\n", "Кривая 1: количество точек -1"},
      {"inceptionOffSurface", kOk, "--inception air --inception-from 3,3", "",
       "Точка (3; 3) не лежит на поверхности проводника"},
      {"inceptionMissingTable", kOk, "--inception /nonexistent/gas.tab", "", "/nonexistent/gas.tab"},
      {"inceptionConditionsAlone", kOk, "--pressure-bar 2", "", "только вместе с --inception"},
      {"inceptionSound", kOk, "--inception sf6 --pressure-bar 2 --inception-from 0,15", "", nullptr},
      {"sound", kOk, "--control --control-potentials --dump-matrix --points-between 3", kGap + "10 ; 0.0000 ;\n",
       nullptr},
  };
  const fs::path dir = fs::temp_directory_path() / ("kalvor-badinput-" + std::to_string(::getpid()));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir);
    fs::create_directories(dir / "results");
    std::ofstream(dir / "system.txt", std::ios::binary) << c.system;
    std::string args = (dir / "system.txt").string() + " --quiet --results " + (dir / "results").string() + " " +
                       c.options;
    if (!c.gap.empty()) {
      std::ofstream(dir / "gap.txt", std::ios::binary) << c.gap;
      args += " --gap-curves " + (dir / "gap.txt").string();
    }
    const std::string cmd = std::string(KALVOR_CALC) + " " + args + " >" + (dir / "out").string() + " 2>" +
                            (dir / "err").string();
    const int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    const std::string err = Read(dir / "err");
    if (c.refusal) {
      EXPECT_NE(WEXITSTATUS(status), 0);
      EXPECT_NE(err.find(c.refusal), std::string::npos) << err;
      EXPECT_EQ(Read(dir / "out").find("Расчет завершен"), std::string::npos);
    } else {
      EXPECT_EQ(WEXITSTATUS(status), 0) << err;
    }
    // Whatever was written holds only finite numbers, and nothing half-written.
    for (const auto& e : fs::directory_iterator(dir / "results")) {
      const std::string name = e.path().filename().string();
      EXPECT_EQ(name.find(".part-"), std::string::npos) << name;
      std::string text = Read(e.path());
      std::transform(text.begin(), text.end(), text.begin(), [](unsigned char ch) { return std::tolower(ch); });
      EXPECT_EQ(text.find("nan"), std::string::npos) << name;
      EXPECT_EQ(text.find("inf"), std::string::npos) << name;
    }
  }
  fs::remove_all(dir);
}

}  // namespace
