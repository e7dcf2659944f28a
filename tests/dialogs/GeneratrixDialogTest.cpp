// The line and arc generatrix dialogs: what a new dialog shows, the order
// and ranges of the checks on OK, the enabling rules, and the mapping of
// the fields onto a new or an edited element.
#include <QComboBox>
#include <QRadioButton>
#include <QToolButton>
#include <cmath>
#include <numbers>

#include "DialogTestSupport.h"
#include "dialogs/CArchDialog.h"
#include "dialogs/CLineDialog.h"
#include "dialogs/UpDownControl.h"

namespace {

using GeneratrixDialog = RecordedMessages;

void Type(CGeneratrixDialog& dlg, const char* field, const QString& text) {
  QLineEdit* e = dlg.EditFor(field);
  ASSERT_NE(e, nullptr) << field;
  e->setText(text);
}

QString Text(const CGeneratrixDialog& dlg, const char* field) { return dlg.EditFor(field)->text(); }

void ChooseMaterial(CGeneratrixDialog& dlg, int index) { dlg.MaterialList()->setCurrentIndex(index); }

SurfParams Conductor() {
  SurfParams p;
  p.material = 1;
  p.innerRegion = 3;
  p.outerRegion = 4;
  p.epsInner = 0.0;
  p.epsOuter = 2.5;
  p.pointCount = 40;
  p.ratioLd = 1.5;
  return p;
}

TEST_F(GeneratrixDialog, NewDialogsShowTheInitialValues) {
  CLineDialog line;
  Open(line);
  EXPECT_EQ(line.windowTitle(), "Новая образующая поверхности");
  EXPECT_EQ(Text(line, "innerRegion"), "1");
  EXPECT_EQ(Text(line, "outerRegion"), "2");
  EXPECT_EQ(Text(line, "epsInner"), "1");
  EXPECT_EQ(Text(line, "epsOuter"), "1");
  EXPECT_EQ(Text(line, "ratioLd"), "3");
  EXPECT_EQ(Text(line, "pointCount"), "1");
  for (const char* f : {"x1", "y1", "x2", "y2", "fixedValue", "rangeFrom", "rangeTo"})
    EXPECT_EQ(Text(line, f), "0") << f;
  EXPECT_EQ(line.MaterialList()->currentIndex(), -1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(line.PotentialButton(i)->isChecked());
    EXPECT_TRUE(line.PotentialButton(i)->isEnabled());
  }
  EXPECT_TRUE(line.EditFor("epsInner")->isEnabled());
  EXPECT_EQ(line.MaterialList()->itemText(0), "Диэлектрик");
  EXPECT_EQ(line.MaterialList()->itemText(1), "Проводник");

  CArchDialog arch;
  Open(arch);
  EXPECT_EQ(Text(arch, "radius"), "1");
  EXPECT_EQ(Text(arch, "angle1Deg"), "0");
  EXPECT_EQ(Text(arch, "xc"), "0");
  EXPECT_EQ(Text(arch, "ratioLd"), "3");
}

TEST_F(GeneratrixDialog, OkWithoutMaterialMakesAFloatingConductor) {
  for (bool isLine : {true, false}) {
    std::unique_ptr<SurfData> e;
    if (isLine) {
      CLineDialog dlg;
      Open(dlg);
      ASSERT_TRUE(PressOk(dlg));
      e = dlg.MakeElement();
    } else {
      CArchDialog dlg;
      Open(dlg);
      ASSERT_TRUE(PressOk(dlg));
      EXPECT_EQ(dlg.epsInner, 0.0);
      e = dlg.MakeElement();
    }
    EXPECT_EQ(e->material, 1);
    EXPECT_TRUE(e->isFloating);
    EXPECT_FALSE(e->isFixed);
    EXPECT_EQ(e->epsInner, 0.0);
    EXPECT_EQ(e->innerRegion, 1);
    EXPECT_EQ(e->outerRegion, 2);
    EXPECT_EQ(e->pointCount, 1);
    EXPECT_EQ(e->ratioLd, 3.0);
  }
  EXPECT_TRUE(messages.isEmpty());
}

// A value out of range keeps the dialog open with the focus on that field.
TEST_F(GeneratrixDialog, RatioLdZeroIsRefusedAndTinyAccepted) {
  CLineDialog dlg;
  Open(dlg);
  Type(dlg, "ratioLd", "0");
  EXPECT_FALSE(PressOk(dlg));
  EXPECT_TRUE(dlg.isVisible());
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains("Отношение L/d")) << messages[0].toStdString();
  EXPECT_TRUE(messages[0].contains("от 0.0001 до 10000")) << messages[0].toStdString();
  EXPECT_EQ(dlg.focusWidget(), dlg.EditFor("ratioLd"));
  EXPECT_EQ(dlg.ratioLd, 3.0) << "nothing is stored from a refused OK";

  Type(dlg, "ratioLd", "0.0001");
  EXPECT_TRUE(PressOk(dlg));
  EXPECT_DOUBLE_EQ(dlg.ratioLd, 0.0001);
}

TEST_F(GeneratrixDialog, FirstFailingFieldInTableOrderIsReported) {
  CLineDialog line;
  Open(line);
  // Both wrong: the line dialog checks the outer region before x1.
  Type(line, "x1", "-1");
  Type(line, "outerRegion", "10001");
  EXPECT_FALSE(PressOk(line));
  EXPECT_EQ(line.focusWidget(), line.EditFor("outerRegion"));
  Type(line, "outerRegion", "7");
  EXPECT_FALSE(PressOk(line));
  EXPECT_EQ(line.focusWidget(), line.EditFor("x1"));
  Type(line, "x1", "1");
  Type(line, "y1", "-1");  // any number
  Type(line, "fixedValue", "abc");
  EXPECT_FALSE(PressOk(line));
  EXPECT_EQ(line.focusWidget(), line.EditFor("fixedValue"));
  EXPECT_TRUE(messages.last().contains("Введите число") || messages.last().contains("введите число"));
  EXPECT_FALSE(messages.last().contains(" от ")) << "not a number, not a range";
  Type(line, "fixedValue", "100001");
  EXPECT_FALSE(PressOk(line));
  Type(line, "fixedValue", "-100000");
  EXPECT_TRUE(PressOk(line));
  EXPECT_EQ(line.y1, -1.0);

  CArchDialog arch;
  Open(arch);
  // The arc checks the fixed value (any number) early and L/d late.
  Type(arch, "ratioLd", "0");
  Type(arch, "radius", "0.05");
  EXPECT_FALSE(PressOk(arch));
  EXPECT_EQ(arch.focusWidget(), arch.EditFor("radius"));
  Type(arch, "radius", "3276");
  Type(arch, "fixedValue", "1e6");
  EXPECT_FALSE(PressOk(arch));
  EXPECT_EQ(arch.focusWidget(), arch.EditFor("ratioLd"));
}

TEST_F(GeneratrixDialog, RangesDifferBetweenLineAndArc) {
  CLineDialog line;
  Open(line);
  Type(line, "pointCount", "1001");
  EXPECT_TRUE(PressOk(line));
  EXPECT_EQ(line.pointCount, 1001);

  CArchDialog arch;
  Open(arch);
  Type(arch, "pointCount", "1001");
  EXPECT_FALSE(PressOk(arch));
  EXPECT_EQ(arch.focusWidget(), arch.EditFor("pointCount"));
  Type(arch, "pointCount", "1000");
  Type(arch, "angle1Deg", "-91");
  EXPECT_FALSE(PressOk(arch));
  Type(arch, "angle1Deg", "-90");
  Type(arch, "angle2Deg", "-180");
  Type(arch, "rangeFrom", "-1e9");  // any number for the arc
  EXPECT_TRUE(PressOk(arch));
}

TEST_F(GeneratrixDialog, MaterialChoiceDrivesTheEnabling) {
  CLineDialog dlg;
  Open(dlg);
  ChooseMaterial(dlg, CGeneratrixDialog::kConductor);
  EXPECT_TRUE(dlg.PotentialButton(0)->isChecked());
  EXPECT_FALSE(dlg.PotentialButton(1)->isChecked());
  for (int i = 0; i < 3; ++i) EXPECT_TRUE(dlg.PotentialButton(i)->isEnabled());
  for (const char* f : {"fixedValue", "rangeFrom", "rangeTo", "epsInner"})
    EXPECT_FALSE(dlg.EditFor(f)->isEnabled()) << f;

  dlg.PotentialButton(CGeneratrixDialog::kVariable)->click();
  EXPECT_TRUE(dlg.EditFor("rangeFrom")->isEnabled());
  EXPECT_TRUE(dlg.EditFor("rangeTo")->isEnabled());
  EXPECT_FALSE(dlg.EditFor("fixedValue")->isEnabled());
  dlg.PotentialButton(CGeneratrixDialog::kFixed)->click();
  EXPECT_TRUE(dlg.EditFor("fixedValue")->isEnabled());
  EXPECT_FALSE(dlg.EditFor("rangeFrom")->isEnabled());

  ChooseMaterial(dlg, CGeneratrixDialog::kDielectric);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(dlg.PotentialButton(i)->isChecked());
    EXPECT_FALSE(dlg.PotentialButton(i)->isEnabled());
  }
  EXPECT_TRUE(dlg.EditFor("epsInner")->isEnabled());
  EXPECT_FALSE(dlg.EditFor("fixedValue")->isEnabled());
}

// A disabled field is still checked: the user typed 0 before switching.
TEST_F(GeneratrixDialog, DisabledInnerPermittivityIsStillChecked) {
  CArchDialog dlg;
  Open(dlg);
  Type(dlg, "epsInner", "0");
  ChooseMaterial(dlg, CGeneratrixDialog::kConductor);
  EXPECT_EQ(Text(dlg, "epsInner"), "0") << "switching material leaves the text";
  EXPECT_FALSE(PressOk(dlg));
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].startsWith("Диэлектрическая проницаемость внутренней области"));
}

TEST_F(GeneratrixDialog, ConductorChoicesMapOntoTheNewElement) {
  CLineDialog fixed;
  Open(fixed);
  ChooseMaterial(fixed, CGeneratrixDialog::kConductor);
  fixed.PotentialButton(CGeneratrixDialog::kFixed)->click();
  Type(fixed, "fixedValue", "10");
  Type(fixed, "x2", "5");
  Type(fixed, "y2", "2.5");
  ASSERT_TRUE(PressOk(fixed));
  auto line = fixed.MakeElement();
  EXPECT_TRUE(line->isFixed);
  EXPECT_FALSE(line->isFloating);
  EXPECT_EQ(line->fixedPotential, 10.0);
  EXPECT_EQ(line->epsInner, 0.0) << "a conductor leaves with inner permittivity 0 though the field showed 1";
  EXPECT_EQ(line->x2, 5.0);
  EXPECT_EQ(line->y2, 2.5);

  CArchDialog variable;
  Open(variable);
  ChooseMaterial(variable, CGeneratrixDialog::kConductor);
  variable.PotentialButton(CGeneratrixDialog::kVariable)->click();
  Type(variable, "rangeFrom", "-5");
  Type(variable, "rangeTo", "7.5");
  Type(variable, "angle1Deg", "90");
  Type(variable, "angle2Deg", "180");
  ASSERT_TRUE(PressOk(variable));
  auto arch = variable.MakeElement();
  EXPECT_FALSE(arch->isFloating);
  EXPECT_FALSE(arch->isFixed);
  EXPECT_EQ(arch->potentialFrom, -5.0);
  EXPECT_EQ(arch->potentialTo, 7.5);
  EXPECT_DOUBLE_EQ(arch->angle1, std::numbers::pi / 2);
  EXPECT_DOUBLE_EQ(arch->angle2, std::numbers::pi);
}

TEST_F(GeneratrixDialog, DielectricDropsTheTypedFixedValue) {
  CLineDialog dlg;
  Open(dlg);
  Type(dlg, "fixedValue", "12");
  Type(dlg, "epsInner", "4");
  ChooseMaterial(dlg, CGeneratrixDialog::kDielectric);
  ASSERT_TRUE(PressOk(dlg));
  EXPECT_EQ(dlg.fixedValue, 0.0);
  auto line = dlg.MakeElement();
  EXPECT_EQ(line->material, 0);
  EXPECT_EQ(line->fixedPotential, 0.0);
  EXPECT_FALSE(line->isFloating);
  EXPECT_FALSE(line->isFixed);
  EXPECT_EQ(line->epsInner, 4.0);
}

TEST_F(GeneratrixDialog, EditingAConductorOpensItsChoiceAndWritesBack) {
  Line line(Conductor(), 1, 2, 3, 4);
  line.SetVariablePotential(-2, 8);
  CLineDialog dlg;
  dlg.FillFrom(line);
  Open(dlg);
  EXPECT_EQ(dlg.windowTitle(), "Новая образующая поверхности");
  EXPECT_EQ(dlg.MaterialList()->currentIndex(), 1);
  EXPECT_EQ(Text(dlg, "epsInner"), "1");
  EXPECT_FALSE(dlg.EditFor("epsInner")->isEnabled());
  EXPECT_TRUE(dlg.PotentialButton(CGeneratrixDialog::kVariable)->isChecked());
  EXPECT_TRUE(dlg.EditFor("rangeFrom")->isEnabled());
  EXPECT_FALSE(dlg.EditFor("fixedValue")->isEnabled());
  EXPECT_EQ(Text(dlg, "rangeTo"), "8");
  EXPECT_EQ(Text(dlg, "x2"), "3");
  EXPECT_EQ(Text(dlg, "pointCount"), "40");

  dlg.PotentialButton(CGeneratrixDialog::kFixed)->click();
  Type(dlg, "fixedValue", "33");
  Type(dlg, "y1", "-7");
  ASSERT_TRUE(PressOk(dlg));
  dlg.ApplyTo(line);
  EXPECT_TRUE(line.isFixed);
  EXPECT_EQ(line.fixedPotential, 33.0);
  EXPECT_EQ(line.potentialFrom, 0.0);
  EXPECT_EQ(line.y1, -7.0);
  EXPECT_EQ(line.epsOuter, 2.5);
  EXPECT_EQ(line.innerRegion, 3);
}

TEST_F(GeneratrixDialog, EditingAnArcKeepsAnglesAndFloating) {
  Arch arch(Conductor(), 1, 2, 3, std::numbers::pi / 2, -std::numbers::pi / 2);
  arch.isFloating = true;
  CArchDialog dlg;
  dlg.FillFrom(arch);
  Open(dlg);
  EXPECT_TRUE(dlg.PotentialButton(CGeneratrixDialog::kFloating)->isChecked());
  EXPECT_EQ(Text(dlg, "angle1Deg"), "90");
  EXPECT_EQ(Text(dlg, "angle2Deg"), "-90");
  ASSERT_TRUE(PressOk(dlg));
  dlg.ApplyTo(arch);
  EXPECT_TRUE(arch.isFloating);
  EXPECT_EQ(arch.fixedPotential, 0.0);
  EXPECT_NEAR(arch.angle1, std::numbers::pi / 2, 1e-15);
  EXPECT_NEAR(arch.angle2, -std::numbers::pi / 2, 1e-15);
}

TEST_F(GeneratrixDialog, DielectricOpensWithRadiosOffAndCancelKeepsFields) {
  SurfParams p = Conductor();
  p.material = 0;
  p.epsInner = 4;
  Line line(p, 0, 0, 1, 1);
  CLineDialog dlg;
  dlg.FillFrom(line);
  Open(dlg);
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(dlg.PotentialButton(i)->isChecked());
    EXPECT_FALSE(dlg.PotentialButton(i)->isEnabled());
  }
  EXPECT_TRUE(dlg.EditFor("epsInner")->isEnabled());
  EXPECT_EQ(Text(dlg, "epsInner"), "4");
  Type(dlg, "epsInner", "oops");
  CancelButton(dlg)->click();
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  EXPECT_TRUE(messages.isEmpty()) << "Cancel checks nothing";
  EXPECT_EQ(dlg.epsInner, 4.0);
}

TEST_F(GeneratrixDialog, UpDownStepsByOneWithinZeroToHundred) {
  CLineDialog dlg;
  Open(dlg);
  auto* upDown = dlg.findChild<UpDownControl*>("pointCountUpDown");
  ASSERT_NE(upDown, nullptr);
  Type(dlg, "pointCount", "20");
  upDown->UpButton()->click();
  EXPECT_EQ(Text(dlg, "pointCount"), "21");
  upDown->DownButton()->click();
  upDown->DownButton()->click();
  EXPECT_EQ(Text(dlg, "pointCount"), "19");
  Type(dlg, "pointCount", "100");
  upDown->Step(+1);
  EXPECT_EQ(Text(dlg, "pointCount"), "100");
  Type(dlg, "pointCount", "0");
  upDown->Step(-1);
  EXPECT_EQ(Text(dlg, "pointCount"), "0");
  // Typed values beyond the span are still fine for OK.
  Type(dlg, "pointCount", "5000");
  EXPECT_TRUE(PressOk(dlg));
  EXPECT_EQ(dlg.pointCount, 5000);
}

TEST(NumberFieldsText, ParsesAndFormatsLikeTheUserTypes) {
  double v = 0;
  EXPECT_TRUE(NumberFields::ParseReal(" 1.5 ", v));
  EXPECT_EQ(v, 1.5);
  EXPECT_TRUE(NumberFields::ParseReal("2,25", v));
  EXPECT_EQ(v, 2.25);
  EXPECT_TRUE(NumberFields::ParseReal("1e55", v));
  EXPECT_FALSE(NumberFields::ParseReal("", v));
  EXPECT_FALSE(NumberFields::ParseReal("1.5x", v));
  EXPECT_FALSE(NumberFields::ParseReal("1e999", v));
  EXPECT_FALSE(NumberFields::ParseReal("nan", v));
  int i = 0;
  EXPECT_TRUE(NumberFields::ParseInteger(" 42", i));
  EXPECT_EQ(i, 42);
  EXPECT_FALSE(NumberFields::ParseInteger("4.2", i));
  EXPECT_FALSE(NumberFields::ParseInteger("99999999999", i));
  EXPECT_EQ(NumberFields::FormatReal(1.0), "1");
  EXPECT_EQ(NumberFields::FormatReal(0.0001), "0.0001");
  EXPECT_EQ(NumberFields::FormatReal(0.1), "0.1");
  EXPECT_EQ(NumberFields::FormatReal(-3276.5), "-3276.5");
}

}  // namespace
