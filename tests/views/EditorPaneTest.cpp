// The editor panes: filled by a double click in the geometry view, their
// enabling rules, their own validation ranges, and "Внести Изменения"
// writing into the generatrix (and refusing when it has gone).
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>
#include <numbers>

#include "app/GuiTestSupport.h"
#include "app/ModalDriver.h"
#include "model/Arch.h"
#include "model/Line.h"
#include "views/CKalvorView.h"
#include "views/CLeftView_Arch.h"
#include "views/CLeftView_Empty.h"
#include "views/CLeftView_Line.h"

namespace {

class EditorPaneTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    Start({WriteFile(dir, "four.txt", kFourGeneratrices)});
    view()->viewport()->repaint();
  }
  CKalvorView* view() { return frame()->GeometryView(); }
  // Double click at a model point in cm.
  void DoubleClick(double x, double y) {
    view()->DoubleClickAt(view()->Mapping(false).ToDevice(10 * x, 10 * y).toPoint());
  }
  CLeftView_Line* linePane() { return qobject_cast<CLeftView_Line*>(frame()->LeftPane()); }
  CLeftView_Arch* archPane() { return qobject_cast<CLeftView_Arch*>(frame()->LeftPane()); }
};

TEST_F(EditorPaneTest, DoubleClickOnADielectricLineFillsTheLinePane) {
  DoubleClick(8, 5);
  CLeftView_Line* pane = linePane();
  ASSERT_NE(pane, nullptr);
  EXPECT_EQ(linePane()->Index(), 1);
  EXPECT_EQ(pane->MaterialList()->currentText(), "Диэлектрик");
  EXPECT_EQ(pane->EpsInnerEdit()->text(), "4");
  EXPECT_EQ(pane->EpsOuterEdit()->text(), "1");
  EXPECT_EQ(pane->InnerRegionEdit()->text(), "3");
  EXPECT_EQ(pane->OuterRegionEdit()->text(), "2");
  EXPECT_EQ(pane->PointCountEdit()->text(), "20");
  EXPECT_EQ(pane->RatioLdEdit()->text(), "1");
  EXPECT_EQ(pane->X1Edit()->text(), "8");
  EXPECT_EQ(pane->Y1Edit()->text(), "0");
  EXPECT_EQ(pane->X2Edit()->text(), "8");
  EXPECT_EQ(pane->Y2Edit()->text(), "10");
  // A dielectric: radio buttons unchecked and disabled, inner permittivity open.
  for (int i = 0; i < 3; ++i) {
    EXPECT_FALSE(pane->PotentialButton(i)->isChecked());
    EXPECT_FALSE(pane->PotentialButton(i)->isEnabled());
  }
  EXPECT_TRUE(pane->EpsInnerEdit()->isEnabled());
  EXPECT_FALSE(pane->FixedValueEdit()->isEnabled());

  // Switching to a conductor checks the held choice (variable, as filled).
  pane->MaterialList()->setCurrentIndex(1);
  emit pane->MaterialList()->activated(1);
  EXPECT_TRUE(pane->PotentialButton(1)->isEnabled());
  EXPECT_FALSE(pane->EpsInnerEdit()->isEnabled());
  EXPECT_TRUE(pane->RangeFromEdit()->isEnabled());
}

TEST_F(EditorPaneTest, DoubleClickOnAnArcFillsTheArcPaneInDegrees) {
  DoubleClick(3, 5);  // the right end of the half circle about (0, 5)
  CLeftView_Arch* pane = archPane();
  ASSERT_NE(pane, nullptr);
  EXPECT_EQ(archPane()->Index(), 0);
  EXPECT_EQ(pane->MaterialList()->currentText(), "Проводник");
  EXPECT_EQ(pane->XEdit()->text(), "0");
  EXPECT_EQ(pane->YEdit()->text(), "5");
  EXPECT_EQ(pane->REdit()->text(), "3");
  EXPECT_EQ(pane->Teta1Edit()->text(), "90");
  EXPECT_EQ(pane->Teta2Edit()->text(), "-90");
  EXPECT_TRUE(pane->PotentialButton(2)->isChecked());
  EXPECT_EQ(pane->FixedValueEdit()->text(), "10");
  EXPECT_TRUE(pane->FixedValueEdit()->isEnabled());
  EXPECT_FALSE(pane->RangeFromEdit()->isEnabled());
  EXPECT_FALSE(pane->EpsInnerEdit()->isEnabled());
}

TEST_F(EditorPaneTest, DoubleClickOnEmptySpaceBringsBackTheTree) {
  DoubleClick(8, 5);
  ASSERT_NE(linePane(), nullptr);
  DoubleClick(12, 11);
  ASSERT_NE(frame()->TreePane(), nullptr);
  EXPECT_EQ(frame()->TreePane()->Tree()->topLevelItemCount(), 4);
}

TEST_F(EditorPaneTest, LineRangesOfThePaneAreCheckedInOrder) {
  DoubleClick(8, 5);
  CLeftView_Line* pane = linePane();
  ASSERT_NE(pane, nullptr);

  pane->RatioLdEdit()->setText("0");
  pane->X1Edit()->setText("-1");
  EXPECT_FALSE(pane->Apply());
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains("L/d")) << messages[0].toStdString();
  EXPECT_FALSE(doc().IsModified());

  pane->RatioLdEdit()->setText("0.0001");
  EXPECT_FALSE(pane->Apply());
  ASSERT_EQ(messages.size(), 2);
  EXPECT_TRUE(messages[1].contains("X1")) << messages[1].toStdString();

  pane->X1Edit()->setText("1");
  pane->Y1Edit()->setText("-1");
  EXPECT_TRUE(pane->Apply());
  const auto* line = dynamic_cast<const Line*>(doc().Generatrices().At(1));
  ASSERT_NE(line, nullptr);
  EXPECT_DOUBLE_EQ(line->ratioLd, 0.0001);
  EXPECT_DOUBLE_EQ(line->x1, 1);
  EXPECT_DOUBLE_EQ(line->y1, -1);
  EXPECT_TRUE(doc().IsModified());
  EXPECT_TRUE(doc().ChangedSinceCalculation());

  pane->PointCountEdit()->setText("abc");
  EXPECT_FALSE(pane->Apply());
  EXPECT_EQ(messages.size(), 3);
}

TEST_F(EditorPaneTest, AnArcRadiusOf32760IsAcceptedAndAnglesAreStoredInRadians) {
  DoubleClick(3, 5);
  CLeftView_Arch* pane = archPane();
  ASSERT_NE(pane, nullptr);
  pane->REdit()->setText("32760");
  pane->Teta1Edit()->setText("90");
  pane->Teta2Edit()->setText("180");
  EXPECT_TRUE(pane->Apply()) << messages.join("; ").toStdString();
  const auto* arch = dynamic_cast<const Arch*>(doc().Generatrices().At(0));
  ASSERT_NE(arch, nullptr);
  EXPECT_DOUBLE_EQ(arch->radius, 32760);
  EXPECT_NEAR(arch->angle1, std::numbers::pi / 2, 1e-12);
  EXPECT_NEAR(arch->angle2, std::numbers::pi, 1e-12);
  pane->REdit()->setText("32761");
  EXPECT_FALSE(pane->Apply());
  pane->REdit()->setText("3");
  pane->Teta1Edit()->setText("-91");
  EXPECT_FALSE(pane->Apply());
}

TEST_F(EditorPaneTest, ApplyingAConductorStoresEachPotentialChoice) {
  DoubleClick(3, 12);  // the floating plate, generatrix 3
  CLeftView_Line* pane = linePane();
  ASSERT_NE(pane, nullptr);
  ASSERT_EQ(pane->Index(), 2);
  auto g = [&] { return doc().Generatrices().At(2); };
  EXPECT_TRUE(pane->PotentialButton(0)->isChecked());

  pane->PotentialButton(1)->click();
  EXPECT_TRUE(pane->RangeFromEdit()->isEnabled());
  pane->RangeFromEdit()->setText("1.5");
  pane->RangeToEdit()->setText("-2");
  ASSERT_TRUE(pane->Apply());
  EXPECT_FALSE(g()->isFloating);
  EXPECT_FALSE(g()->isFixed);
  EXPECT_DOUBLE_EQ(g()->potentialFrom, 1.5);
  EXPECT_DOUBLE_EQ(g()->potentialTo, -2);
  EXPECT_DOUBLE_EQ(g()->fixedPotential, 0);

  pane->PotentialButton(2)->click();
  EXPECT_TRUE(pane->FixedValueEdit()->isEnabled());
  EXPECT_FALSE(pane->RangeFromEdit()->isEnabled());
  pane->FixedValueEdit()->setText("7");
  ASSERT_TRUE(pane->Apply());
  EXPECT_TRUE(g()->isFixed);
  EXPECT_DOUBLE_EQ(g()->fixedPotential, 7);

  pane->PotentialButton(0)->click();
  ASSERT_TRUE(pane->Apply());
  EXPECT_TRUE(g()->isFloating);
  EXPECT_DOUBLE_EQ(g()->fixedPotential, 0);
}

TEST_F(EditorPaneTest, APaneWhoseGeneratrixWentAwayRefusesAndBringsBackTheTree) {
  DoubleClick(10 + 2, 4);  // the slant, the last generatrix
  CLeftView_Line* pane = linePane();
  ASSERT_NE(pane, nullptr);
  ASSERT_EQ(pane->Index(), 3);
  // Removed behind the pane's back (the view itself would bring back the tree).
  doc().RemoveGeneratrix(3);
  ModalDriver driver;
  EXPECT_FALSE(pane->Apply());
  EXPECT_EQ(driver.boxes.size(), 1);
  EXPECT_EQ(doc().Generatrices().GetSize(), 3);
  EXPECT_NE(frame()->TreePane(), nullptr);
}

TEST_F(EditorPaneTest, APaneOnAGeneratrixOfTheOtherKindRefuses) {
  DoubleClick(8, 5);
  CLeftView_Line* pane = linePane();
  ASSERT_NE(pane, nullptr);
  ASSERT_EQ(pane->Index(), 1);
  // Replaced behind the pane's back: its index now names an arc.
  doc().ReplaceGeneratrix(1, doc().Generatrices().At(0)->Clone());
  ModalDriver driver;
  EXPECT_FALSE(pane->Apply());
  EXPECT_EQ(driver.boxes.size(), 1);
  EXPECT_DOUBLE_EQ(dynamic_cast<const Arch*>(doc().Generatrices().At(1))->radius, 3);
}

}  // namespace
