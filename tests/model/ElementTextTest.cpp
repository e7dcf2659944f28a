// Element text lines and the field-system file: exact writer output, the
// lenient reader, and the reading of whole files.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cmath>
#include <numbers>
#include <sstream>

#include "engine/FieldCalc.h"
#include "model/Arch.h"
#include "model/ElementText.h"
#include "model/Line.h"

namespace {

SurfParams Conductor(int inner, int outer, double epsOuter, int n, double ld) {
  SurfParams p;
  p.material = 1;
  p.innerRegion = inner;
  p.outerRegion = outer;
  p.epsOuter = epsOuter;
  p.pointCount = n;
  p.ratioLd = ld;
  return p;
}

TEST(ElementText, WriterFormatsAreExact) {
  Line fixed(Conductor(1, 2, 1.0, 20, 1.0), 0, 0, 10, 5);
  fixed.SetFixedPotential(10.0);
  EXPECT_EQ(fixed.GetText(),
            "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 0.000 ; 0.000 ; 10.000 ; 5.000 ; 10.000 ; 20 ; 1.0000 ;");

  // The gap-curve example: a variable conductor with a zero range.
  Line curve(Conductor(1, -1, 0.0, 20, 0.0), 0, 0, 10, 5);
  curve.SetVariablePotential(0, 0);
  EXPECT_EQ(curve.GetText(),
            "Me; 1 ; -1 ;    ; 0.0 ;\t\tl; 0.000 ; 0.000 ; 10.000 ; 5.000 ;~ ; 0.000 ; 0.000 ; 20 ; "
            "0.0000 ;");

  SurfParams f = Conductor(3, 2, 1.0, 5, 0.5);
  f.isFloating = true;
  Arch floating(f, 0, 7.5, 2.5, std::numbers::pi / 2, -std::numbers::pi / 2);
  EXPECT_EQ(floating.GetText(),
            "Me; 3 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 7.500 ; 2.500 ; 90.00000 ; -90.00000 ;x ;  5 ; "
            "0.5000 ;");

  SurfParams d;
  d.material = 0;
  d.innerRegion = 4;
  d.outerRegion = 2;
  d.epsInner = 4.5;
  d.epsOuter = 1.0;
  d.pointCount = 120;
  d.ratioLd = 1.25;
  Line diel(d, 1, 2, 3, 4);
  EXPECT_EQ(diel.GetText(),
            "De; 4 ; 2 ;4.5 ; 1.0 ;\t\tl; 1.000 ; 2.000 ; 3.000 ; 4.000 ;120 ; 1.2500 ;");
}

TEST(ElementText, ReaderFollowsTheLenientFieldRules) {
  // Lower case, odd spacing, text after numbers, the kind letter "c" on a
  // line that contains an L elsewhere (read as a line).
  auto e = MakeElementFromLine("de;1;2; 3.5 kV ;1;  c ; 0;0;1;1; 7 ; 0.75 ; lalala");
  ASSERT_NE(e, nullptr);
  EXPECT_EQ(e->GetKind(), SurfData::kLine);
  EXPECT_EQ(e->material, 0);
  EXPECT_DOUBLE_EQ(e->epsInner, 3.5);
  EXPECT_EQ(e->pointCount, 7);
  EXPECT_DOUBLE_EQ(e->ratioLd, 0.75);

  for (const char* m : {"Me", "xx", "", "mE"}) {
    auto c = MakeElementFromLine(std::string(m) + "; 1 ; 2 ; ; 1 ; c; 0 ; 0 ; 1 ; 0 ; 90 ; X ; 3 ; 1 ;");
    ASSERT_NE(c, nullptr) << m;
    EXPECT_EQ(c->material, 1) << m;
    EXPECT_TRUE(c->isFloating) << m;
  }

  auto zero = MakeElementFromLine("Me; 1 ; 2 ; ; 1 ; c; 0 ; 0 ; 1 ; 0 ; 90 ; 0 ; 3 ; 1 ;");
  EXPECT_TRUE(zero->isFixed);
  EXPECT_EQ(zero->fixedPotential, 0.0);

  auto tiny = MakeElementFromLine("Me; 1 ; 2 ; ; 1 ; c; 0 ; 0 ; 1 ; 0 ; 90 ; 1e-400 ; 3 ; 1 ;");
  EXPECT_EQ(tiny->fixedPotential, 123456789.0);

  auto variable = MakeElementFromLine("me; 1 ; 2 ; ; 1 ; c; 0 ; 0 ; 1 ; 0 ; 90 ; ~ ; -2.5 ; 7 ; 3 ; 1 ;");
  EXPECT_FALSE(variable->isFixed);
  EXPECT_DOUBLE_EQ(variable->potentialFrom, -2.5);
  EXPECT_DOUBLE_EQ(variable->potentialTo, 7.0);

  // Missing fields read as 0, a huge count saturates instead of overflowing.
  auto shortLine = MakeElementFromLine("De; 1 ; 2 ; 1 ; 1 ; l ; 1 ; 2");
  EXPECT_EQ(shortLine->pointCount, 0);
  auto huge = MakeElementFromLine("De; 1 ; 2 ; 1 ; 1 ; l ; 0; 0; 1; 1; 1e30 ; 1 ;");
  EXPECT_EQ(huge->pointCount, 2147483647);

  EXPECT_EQ(MakeElementFromLine("Me; 1 ; 2 ; ; 1 ; x ; 0 ; 0 ;"), nullptr);
}

TEST(ElementText, WriteThenReadGivesTheSameElementsUpToRounding) {
  FieldCalc calc;
  SurfParams p = Conductor(1, 2, 1.0, 12, 1.5);
  auto arch = std::make_unique<Arch>(p, 0.12345, 20, 5.55555, 1.0, -0.3);
  arch->SetVariablePotential(1.23456, -7.5);
  calc.AddGeneratrix(std::move(arch));
  SurfParams d = p;
  d.material = 0;
  d.epsInner = 2.34;
  calc.AddGeneratrix(std::make_unique<Line>(d, 0, 0, 3.14159, 2.71828));

  std::ostringstream out;
  calc.WriteSystem(out);
  FieldCalc back;
  std::istringstream in(out.str());
  back.ReadSystem(in);
  ASSERT_EQ(back.ErrorCode(), FieldCalc::kNoError);
  ASSERT_EQ(back.Generatrices().GetSize(), 2);
  auto* a = dynamic_cast<const Arch*>(back.Generatrices()[0]);
  ASSERT_NE(a, nullptr);
  EXPECT_NEAR(a->xc, 0.123, 1e-12);
  EXPECT_NEAR(a->radius, 5.556, 1e-12);
  EXPECT_NEAR(a->angle1 * 180 / std::numbers::pi, 57.29578, 1e-9);
  EXPECT_NEAR(a->potentialFrom, 1.235, 1e-12);
  EXPECT_DOUBLE_EQ(a->potentialTo, -7.5);
  auto* l = dynamic_cast<const Line*>(back.Generatrices()[1]);
  ASSERT_NE(l, nullptr);
  EXPECT_NEAR(l->epsInner, 2.3, 1e-12);
  EXPECT_NEAR(l->x2, 3.142, 1e-12);
  // Writing what was read reproduces the file byte for byte.
  std::ostringstream again;
  back.WriteSystem(again);
  EXPECT_EQ(again.str(), out.str());
  EXPECT_EQ(out.str().find('\r'), std::string::npos);
}

// The desktop toolkit switches the process to the user's locale; with a
// decimal comma there, files must still say "1.500".
bool UseDecimalCommaLocale() {
  if (std::setlocale(LC_ALL, "ru_RU.UTF-8")) return true;
  // Build one for the test when the system has the sources but no compiled locale.
  const std::string dir = ::testing::TempDir() + "kalvor-locale";
  const std::string cmd = "localedef -i ru_RU -f UTF-8 " + dir + "/ru_RU.UTF-8 >/dev/null 2>&1";
  if (std::system(("mkdir -p " + dir).c_str()) != 0 || std::system(cmd.c_str()) != 0) return false;
  setenv("LOCPATH", dir.c_str(), 1);
  return std::setlocale(LC_ALL, "ru_RU.UTF-8") != nullptr;
}

TEST(ElementText, NumbersDoNotFollowTheUserLocale) {
  if (!UseDecimalCommaLocale()) GTEST_SKIP() << "no locale with a decimal comma available";
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 1.5);
  Line l(Conductor(1, 2, 1.0, 3, 0.5), 0, 0, 1.5, 2);
  const std::string written = l.GetText();
  auto back = MakeElementFromLine(written);
  std::setlocale(LC_ALL, "C");
  EXPECT_STREQ(probe, "1,5");  // the locale really has a decimal comma
  EXPECT_NE(written.find("1.500"), std::string::npos) << written;
  EXPECT_DOUBLE_EQ(dynamic_cast<Line&>(*back).x2, 1.5);
}

struct ReadCase {
  std::string text;
  int elements, code, line;
};

TEST(FieldSystemFile, ReadingWholeFiles) {
  const std::string a = "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 0 ; 0 ; 0 ; 10 ; 5 ; 4 ; 1 ;";
  const std::string b = "De; 3 ; 2 ; 4.0 ; 1.0 ;\t\tc; 0 ; 20 ; 2 ; 90 ; -90 ; 5 ; 1 ;";
  const ReadCase cases[] = {
      {"", 0, 2, 0},
      {"// only a comment\n//another\n", 0, 2, 0},
      {"\n\n", 0, 2, 0},
      {(a + "\n" + b + "\n"), 2, 0, 0},
      {(a + "\r\n" + b + "\r\n"), 2, 0, 0},
      {(a + "\n" + b), 2, 0, 0},                       // no line end at the end
      {(a + "\n" + b + "\n\n\r\n"), 2, 0, 0},          // trailing blank lines
      {(a + "\n\n" + b + "\n"), 1, 7, 2},              // blank line in the middle
      {("// c\n" + a + "\n 3 ; 4 ; 5\n" + b), 1, 7, 3},  // no kind letter
      {(" //" + a + "\n"), 1, 0, 0},                   // not a comment: read
  };
  for (const ReadCase& c : cases) {
    FieldCalc calc;
    std::istringstream in(c.text);
    calc.ReadSystem(in);
    EXPECT_EQ(calc.Generatrices().GetSize(), c.elements) << c.text;
    EXPECT_EQ(calc.ErrorCode(), c.code) << c.text;
    EXPECT_EQ(calc.ErrorLine(), c.line) << c.text;
  }
}

TEST(FieldSystemFile, ReaderKeepsTheCounters) {
  FieldCalc calc;
  std::istringstream in(
      "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 0 ; 0 ; 0 ; 10 ; 5 ; 10 ; 1 ;\n"
      "De; 3 ; 2 ; 4.0 ; 1.0 ;\t\tl; 0 ; 0 ; 1 ; 1 ; 5 ; 1 ;\n"
      "Me; 4 ; 2 ;    ; 1.0 ;\t\tl; 0 ; 0 ; 1 ; 1 ; x ; 3 ; 1 ;\n"
      "Me; 4 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 1 ; 2 ; 2 ; x ; 3 ; 1 ;\n"
      "Me; 5 ; 2 ;    ; 1.0 ;\t\tl; 1 ; 1 ; 2 ; 2 ; x ; -4 ; 1 ;\n");
  calc.ReadSystem(in);
  EXPECT_EQ(calc.TotalPoints(), 10 + 5 + 3 + 3);
  EXPECT_EQ(calc.TotalCharges(), 10 + 10 + 3 + 3);
  EXPECT_EQ(calc.TotalFloating(), 2);
  const long long p = calc.TotalPoints(), c = calc.TotalCharges(), f = calc.TotalFloating();
  calc.Recount();
  EXPECT_EQ(calc.TotalPoints(), p);
  EXPECT_EQ(calc.TotalCharges(), c);
  EXPECT_EQ(calc.TotalFloating(), f);
}

}  // namespace
