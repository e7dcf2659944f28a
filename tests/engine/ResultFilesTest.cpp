// Surface and gap result files: names, headers, row formats, row counts and
// positions, progress stage texts, CR LF.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <unistd.h>

#include "engine/FieldCalc.h"
#include "engine/GapCurves.h"
#include "engine/Parallel.h"
#include "ScriptedProgress.h"
#include "TestSystems.h"

namespace {

namespace fs = std::filesystem;

class ResultFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / ("kalvor-results-" + std::to_string(::getpid()) + "-" +
                                       ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }

  static std::vector<std::string> Lines(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string s = ss.str();
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t pos; (pos = s.find("\r\n", start)) != std::string::npos; start = pos + 2)
      lines.push_back(s.substr(start, pos - start));
    EXPECT_EQ(start, s.size()) << "every line ends with CR LF";
    return lines;
  }

  fs::path dir;
};

TEST_F(ResultFiles, NamesFollowTheirFormats) {
  EXPECT_EQ(FieldCalc::SurfaceFileName(1), "01.dat");
  EXPECT_EQ(FieldCalc::SurfaceFileName(12), "12.dat");
  EXPECT_EQ(FieldCalc::SurfaceFileName(100), "100.dat");
  EXPECT_EQ(FieldCalc::GapFileName(3), "03space.dat");
  EXPECT_EQ(FieldCalc::GapFileName(100), "100space.dat");
}

TEST_F(ResultFiles, SurfaceHeadersRowsAndCounts) {
  FieldCalc calc;
  testsys::Load(calc,
                "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 2 ; 0 ; 2 ; 14 ; 10 ; 3 ; 1 ;\n"
                "De; 3 ; 2 ; 4.0 ; 1.0 ;\t\tc; 0 ; 30 ; 5 ; 90 ; -90 ; 20 ; 1 ;\n"
                "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 2 ; 14 ; 0 ; 14 ; 10 ; 0 ; 1 ;\n");
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  ScriptedProgress progress;
  const FieldCalc::ProgressScope attached(calc, progress);
  calc.WriteSurfaceResults(dir.string(), 2);
  ASSERT_EQ(calc.ErrorCode(), FieldCalc::kNoError);

  auto line = Lines(dir / "01.dat");
  ASSERT_EQ(line.size(), 1u + 8u);  // k = 2, n = 3: 8 rows, 2 cm apart
  EXPECT_EQ(line[0],
            "            X             Y            Fi       En(ext)       Ex(out)       Ey(out)        "
            "Ex(in)        Ey(in) ");
  EXPECT_EQ(line[1].substr(0, 28), "          2.0           0.0 ");
  EXPECT_EQ(line[8].substr(0, 28), "          2.0          14.0 ");
  EXPECT_EQ(line[3].size(), 6u * 13 + 5);  // a conductor row has six columns
  EXPECT_NEAR(std::stod(line[4].substr(28, 13)), 10.0, 0.05);  // potential on the conductor
  EXPECT_EQ(line[4][28 + 7], '.');                                // five decimals

  auto arc = Lines(dir / "02.dat");
  ASSERT_EQ(arc.size(), 1u + 42u);
  EXPECT_EQ(arc[0].substr(0, 13), "         Alfa");
  EXPECT_EQ(arc[1].size(), 9u * 13 + 8);
  EXPECT_EQ(arc[1].substr(0, 13), "         90.0");
  EXPECT_EQ(arc.back().substr(0, 13), "        -90.0");

  auto empty = Lines(dir / "03.dat");
  EXPECT_EQ(empty.size(), 1u + 2u);  // n = 0: the two ends

  EXPECT_EQ(progress.stages.back(), "Расчет по пов-сти и запись рез-ов в файл 03.dat : 3/ 3");
}

TEST_F(ResultFiles, FilesDoNotDependOnTheNumberOfThreads) {
  FieldCalc calc;
  testsys::Load(calc, testsys::Sphere(12, 3, 50) + "De; 5 ; 2 ; 3.0 ; 1.0 ;\t\tl; 8 ; 1 ; 8 ; 20 ; 40 ; 1 ;\n");
  testsys::With(calc, [&](CalcParameters& p) { p.UseEarth = true; });
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  std::vector<std::string> texts;
  for (int threads : {1, 2}) {
    SetWorkerThreads(threads);
    calc.WriteSurfaceResults(dir.string(), 3);
    std::ifstream a(dir / "01.dat", std::ios::binary), b(dir / "02.dat", std::ios::binary);
    std::stringstream ss;
    ss << a.rdbuf() << b.rdbuf();
    texts.push_back(ss.str());
  }
  SetWorkerThreads(0);
  EXPECT_EQ(texts[0], texts[1]);
}

TEST_F(ResultFiles, UnwritableFolderIsCode1AndKeepsEarlierFiles) {
  FieldCalc calc;
  testsys::Load(calc, testsys::Sphere(10, 1, 4));
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  calc.WriteSurfaceResults((dir / "missing").string(), 1);
  EXPECT_EQ(calc.ErrorCode(), FieldCalc::kFileOpen);
  EXPECT_NE(calc.FullErrorText().find("missing"), std::string::npos);
}

TEST_F(ResultFiles, GapFilesAndAbortBetweenFiles) {
  FieldCalc calc;
  testsys::Load(calc, testsys::Sphere(10, 10, 20));
  testsys::With(calc, [&](CalcParameters& p) { p.UseEarth = true; });
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  testsys::AddGapCurve(calc, MakeGapLine(2, 4, 0, 0, 10, 0));
  testsys::AddGapCurve(calc, MakeGapArch(2, 3, 0, 10, 7, 90, -90));
  testsys::AddGapCurve(calc, MakeGapLine(9, 1, 0, 0, 1, 1));  // a region nothing borders

  ScriptedProgress progress;
  const FieldCalc::ProgressScope attached(calc, progress);
  calc.WriteGapResults(dir.string());
  ASSERT_EQ(calc.ErrorCode(), FieldCalc::kNoError);
  auto l = Lines(dir / "01space.dat");
  ASSERT_EQ(l.size(), 7u);
  EXPECT_EQ(l[0], "            X             Y            Fi            Ex            Ey ");
  for (int j = 0; j < 6; ++j) {
    EXPECT_EQ(l[j + 1].substr(0, 27), std::string(13 - 3 - (j == 5), ' ') + std::to_string(2 * j) + ".0           0.0");
    // On the earthed plane the potential is zero.
    EXPECT_EQ(l[j + 1].substr(28, 13), "      0.00000");
  }
  EXPECT_EQ(Lines(dir / "02space.dat").size(), 1u + 5u);
  EXPECT_EQ(Lines(dir / "03space.dat")[1], "          0.0           0.0       0.00000       0.00000       0.00000");
  EXPECT_EQ(progress.stages.back(), "Расчет в промежутке и запись рез-ов в файл 03space.dat : 3/ 3");

  // Cancel while the second file is written: asked before the third.
  fs::remove_all(dir);
  fs::create_directories(dir);
  ScriptedProgress cancel;
  cancel.cancelAt = 3;
  {
    const FieldCalc::ProgressScope replaced(calc, cancel);
    calc.WriteGapResults(dir.string());
  }
  EXPECT_EQ(calc.ErrorCode(), FieldCalc::kAborted);
  EXPECT_TRUE(fs::exists(dir / "01space.dat"));
  EXPECT_TRUE(fs::exists(dir / "02space.dat"));
  EXPECT_FALSE(fs::exists(dir / "03space.dat"));
}

TEST(GapCurveFile, SaveLoadAndBadLines) {
  CSurfColl curves;
  curves.Append(MakeGapLine(1, 20, 0, 0, 10, 5));
  curves.Append(MakeGapArch(3, 7, 1, 2, 3.5, 45, -30.25));
  std::ostringstream out;
  SaveGapCurves(curves, out);
  EXPECT_EQ(out.str().substr(0, out.str().find('\n') + 1),
            "Me; 1 ; -1 ;    ; 0.0 ;\t\tl; 0.000 ; 0.000 ; 10.000 ; 5.000 ;~ ; 0.000 ; 0.000 ; 20 ; "
            "0.0000 ;\r\n");

  CSurfColl back;
  back.Append(MakeGapLine(5, 5, 0, 0, 1, 1));  // replaced by the load
  std::istringstream in(out.str());
  LoadGapCurves(back, in);
  ASSERT_EQ(back.GetSize(), 2);
  std::ostringstream again;
  SaveGapCurves(back, again);
  EXPECT_EQ(again.str(), out.str());

  std::istringstream blank("// c\n" + out.str().substr(0, out.str().find('\n') + 1) + "\n" + out.str());
  const ElementReadResult r = LoadGapCurves(back, blank);
  EXPECT_EQ(back.GetSize(), 1);
  EXPECT_EQ(r.errorCode, FieldCalc::kBadKindLetter);
  EXPECT_EQ(r.errorLine, 3);
}

}  // namespace
