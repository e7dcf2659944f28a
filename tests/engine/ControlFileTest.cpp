// The control file: the accumulating number formats, the matrix dump
// layout, the potentials and the control recalculation.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "engine/ControlStream.h"
#include "engine/FieldCalc.h"
#include "ScriptedProgress.h"
#include "TestSystems.h"

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

fs::path TempFile(const char* name) {
  return fs::temp_directory_path() / (std::string("kalvor-") + std::to_string(::getpid()) + "-" + name);
}

TEST(ControlStream, NumberFormatsAccumulate) {
  ControlStream s;
  EXPECT_EQ(s.FormatDouble(10.0), "10");
  s.SetScientific();
  s.SetPrecision(7);
  EXPECT_EQ(s.FormatDouble(10.0), "1.0000000e+01");
  s.SetFixed();
  EXPECT_EQ(s.FormatDouble(10.0), "10");
  ControlStream f;
  f.SetFixed();
  f.SetPrecision(3);
  EXPECT_EQ(f.FormatDouble(0.5), "0.500");
  f.SetScientific();
  EXPECT_EQ(f.FormatDouble(0.0), "0");  // a zero matrix element prints as a single digit
}

TEST(ControlFile, MatrixDumpLayout) {
  // Two charges, no floating conductor.
  FieldCalc calc;
  testsys::Load(calc, "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 0 ; 1 ; 10 ; 5 ; 2 ; 1 ;\n");
  calc.Place();
  calc.FillMatrix();
  const fs::path path = TempFile("dump.txt");
  ControlStream out;
  ASSERT_TRUE(out.Open(path.string()));
  calc.WriteMatrix(out);
  out.Close();
  const std::string text = ReadAll(path);
  fs::remove(path);
  std::istringstream lines(text);
  std::string empty, header, row1, row2;
  std::getline(lines, empty);
  std::getline(lines, header);
  std::getline(lines, row1);
  std::getline(lines, row2);
  EXPECT_EQ(empty, "\r");
  EXPECT_EQ(header, "            1             2        Column\r");
  EXPECT_EQ(row1.substr(0, 6), "   1::");
  char expected[32];
  std::snprintf(expected, sizeof expected, "%13.3g ", calc.Coefficients()(0, 1));
  EXPECT_EQ(row1.substr(6 + 14, 14), expected);
  EXPECT_EQ(row1.substr(6 + 28, 4), " ||\t");
  EXPECT_EQ(row1.substr(38), "5\r");
  EXPECT_EQ(row2.substr(0, 6), "   2::");
  // %.3g in 13 characters.
  std::snprintf(expected, sizeof expected, "%13.3g ", calc.Coefficients()(1, 0));
  EXPECT_EQ(row2.substr(6, 14), expected);
}

TEST(ControlFile, PotentialsAndControlValues) {
  FieldCalc calc;
  testsys::Load(calc,
                "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0 ; 0 ; 5 ; 90 ; -90 ; 10 ; 20 ; 1 ;\n"
                "Me; 3 ; 2 ;    ; 1.0 ;\t\tl; 8 ; 2 ; 8 ; 4 ; x ; 2 ; 0.5 ;\n");
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  const fs::path path = TempFile("control.txt");
  ControlStream out;
  ASSERT_TRUE(out.Open(path.string()));
  calc.WritePotentials(out);
  calc.WriteControl(out);
  EXPECT_FALSE(out.IsOpen());  // the control writer closes the file
  const std::string text = ReadAll(path);
  fs::remove(path);
  EXPECT_EQ(text.rfind("Potential in CP[0]= 1.0000000e+01 \r\n", 0), 0u);
  EXPECT_NE(text.find("Potential in CP[20] is Flow \r\n"), std::string::npos);
  EXPECT_NE(text.find("Charges[0]= "), std::string::npos);
  const std::string e = "\r\nE  in internal surface in   0 point [x= ";
  EXPECT_NE(text.find(e), std::string::npos);
  // The potential outside a conductor is its prescribed one; inside, the
  // conductor's region has no permittivity, so everything is zero.
  EXPECT_NE(text.find("is 10.0000\r\n"), std::string::npos);
  EXPECT_NE(text.find("fi in internal surface in   0 point"), std::string::npos);
  EXPECT_NE(text.find("is  0.0000\r\n"), std::string::npos);
  const std::string closing = "\r\n\r\n" + std::string(43, '-') + "\r\n";
  EXPECT_EQ(text.substr(text.size() - closing.size()), closing);
}

// Regression: an abort during the control recalculation used to leave a
// half-written control file in place of the previous one.
TEST(ControlFile, AbortLeavesThePreviousFileAndNoTemporary) {
  FieldCalc calc;
  testsys::Load(calc, testsys::Sphere(10, 1, 10));
  ASSERT_EQ(testsys::Solve(calc), FieldCalc::kNoError);
  ScriptedProgress progress;
  progress.cancelAt = 3;
  const FieldCalc::ProgressScope attached(calc, progress);
  const fs::path path = TempFile("abort.txt");
  std::ofstream(path) << "previous";
  {
    ControlStream out;
    ASSERT_TRUE(out.Open(path.string()));
    calc.WriteControl(out);
    EXPECT_EQ(calc.ErrorCode(), FieldCalc::kAborted);
  }
  EXPECT_EQ(ReadAll(path), "previous");
  for (const auto& entry : fs::directory_iterator(path.parent_path()))
    EXPECT_EQ(entry.path().filename().string().find("abort.txt.part-"), std::string::npos);
  fs::remove(path);
}

}  // namespace
