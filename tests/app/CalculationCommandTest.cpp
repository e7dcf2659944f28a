// The calculation and gap-calculation commands run from the main frame with
// the real summary and progress windows: a run ends with "Расчет завершен"
// and charges that can be shown; a failed run leaves no results on show;
// the gap calculation writes one file per curve.
#include <gtest/gtest.h>

#include "model/SurfData.h"

#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>

#include "GuiTestSupport.h"
#include "ModalDriver.h"
#include "app/FrameCommands.h"
#include "dialogs/CCalcInfo.h"
#include "model/Line.h"
#include "views/CKalvorView.h"
#include "views/CLeftView_Empty.h"

#include <QTreeWidget>
#include <cmath>

namespace {

class CalculationCommandTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    Start({WriteFile(dir, "sphere.txt", kSphere)});
  }
  // Confirms the summary with "Начать расчет" (or cancels it) and records it.
  ModalDriver::Handler Summary(bool start) {
    return [this, start](QWidget* w) {
      auto* info = qobject_cast<CCalcInfo*>(w);
      if (!info) return false;
      summary = info->TextField()->toPlainText();
      (start ? info->StartButton() : info->CancelButton())->click();
      return true;
    };
  }
  // Calculates with the charge display on; remembers where the charges are.
  void CalculateAndShowCharges() {
    ModalDriver driver(Summary(true));
    frame()->Action(ID_CALCULATE)->trigger();
    ASSERT_TRUE(doc().ResultsPresent());
    if (!doc().ShowCharges()) frame()->Action(ID_SHOW_CHARGES)->trigger();
    ASSERT_TRUE(doc().ShowCharges());
    chargesAt.clear();
    for (const Charge& q : doc().Calc().Charges()) chargesAt.emplace_back(q.x, q.y);
  }
  // Black pixels the view paints where the charges of the last run were.
  int ChargePixels() {
    const QSize client(420, 420);
    QImage image(client, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    const ViewMapping m(doc().Xmax(), doc().Ymax(), client, QPoint());
    frame()->GeometryView()->PaintSystem(painter, m);
    painter.end();
    int black = 0;
    for (auto [x, y] : chargesAt) {
      const QPointF p = m.ToDevice(LogicalUnits(x), LogicalUnits(y));
      black += image.pixel(qRound(p.x()), qRound(p.y())) == qRgb(0, 0, 0);
    }
    return black;
  }
  std::vector<std::pair<double, double>> chargesAt;
  QString summary;
};

// Regression: after a calculation, deleting or editing a generatrix left its
// charges on show and the gap calculation enabled on the old solution.
TEST_F(CalculationCommandTest, DeletingOrEditingAfterARunHidesTheChargesAndDisablesTheGapCalculation) {
  CSurfColl curves;
  SurfParams curve;
  curve.innerRegion = 2;
  curve.pointCount = 4;
  curves.Append(std::make_unique<Line>(curve, 10, 0, 20, 0));
  doc().SetGapCurves(std::move(curves));

  CalculateAndShowCharges();
  EXPECT_EQ(ChargePixels(), 20);
  EXPECT_TRUE(frame()->Action(ID_GAP_CALCULATE)->isEnabled());
  auto edited = doc().Generatrices()[0]->Clone();
  edited->ratioLd = 2.0;
  ASSERT_TRUE(doc().ReplaceGeneratrix(0, std::move(edited)));
  EXPECT_EQ(ChargePixels(), 0);
  EXPECT_FALSE(frame()->Action(ID_GAP_CALCULATE)->isEnabled());
  EXPECT_FALSE(frame()->Action(ID_SHOW_CHARGES)->isEnabled());

  CalculateAndShowCharges();
  frame()->TreePane()->Tree()->setCurrentItem(frame()->TreePane()->Tree()->topLevelItem(0));
  {
    ModalDriver yes;
    frame()->TreePane()->DeleteSelected();
  }
  EXPECT_TRUE(doc().Generatrices().IsEmpty());
  EXPECT_EQ(ChargePixels(), 0);
  EXPECT_FALSE(frame()->Action(ID_GAP_CALCULATE)->isEnabled());
}

TEST_F(CalculationCommandTest, AFullRunEndsWithTheMessageAndChargesThatCanBeShown) {
  ASSERT_TRUE(frame()->Action(ID_CALCULATE)->isEnabled());
  EXPECT_FALSE(frame()->Action(ID_SHOW_CHARGES)->isEnabled());
  {
    ModalDriver driver(Summary(true));
    frame()->Action(ID_CALCULATE)->trigger();
    EXPECT_TRUE(driver.SawBox("Расчет завершен")) << driver.boxes.join("\n").toStdString();
    EXPECT_FALSE(driver.SawBox("Error"));
  }
  EXPECT_TRUE(summary.startsWith("Расчет будет производиться со следующими параметрами:"));
  EXPECT_TRUE(frame()->isEnabled());
  EXPECT_TRUE(doc().ResultsPresent());
  EXPECT_EQ(doc().Calc().Charges().size(), 20u);
  EXPECT_TRUE(QFileInfo::exists(dir.filePath("01.dat")));
  EXPECT_TRUE(QFileInfo::exists(dir.filePath("ControlCalc.txt")));

  // The charges are drawn as black pixels once the toggle is on.
  ASSERT_TRUE(frame()->Action(ID_SHOW_CHARGES)->isEnabled());
  frame()->Action(ID_SHOW_CHARGES)->trigger();
  EXPECT_TRUE(frame()->Action(ID_SHOW_CHARGES)->isChecked());
  const QSize client(420, 420);
  QImage image(client, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  frame()->GeometryView()->PaintSystem(painter, ViewMapping(doc().Xmax(), doc().Ymax(), client, QPoint()));
  painter.end();
  // The charges sit inside the sphere, away from the axis and earth lines.
  const ViewMapping m(doc().Xmax(), doc().Ymax(), client, QPoint());
  int black = 0;
  for (const Charge& q : doc().Calc().Charges()) {
    const QPointF p = m.ToDevice(LogicalUnits(q.x), LogicalUnits(q.y));
    black += image.pixel(qRound(p.x()), qRound(p.y())) == qRgb(0, 0, 0);
  }
  EXPECT_EQ(black, 20);
}

TEST_F(CalculationCommandTest, CancellingTheSummaryChangesNothing) {
  ModalDriver driver(Summary(false));
  frame()->Action(ID_CALCULATE)->trigger();
  EXPECT_TRUE(driver.boxes.isEmpty());
  EXPECT_FALSE(doc().ResultsPresent());
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("ControlCalc.txt")));
}

TEST_F(CalculationCommandTest, AFailedRunAfterASuccessfulOneLeavesNoResultsOnShow) {
  {
    ModalDriver driver(Summary(true));
    frame()->Action(ID_CALCULATE)->trigger();
    ASSERT_TRUE(doc().ResultsPresent());
  }
  frame()->Action(ID_SHOW_CHARGES)->trigger();
  CalcParameters p = doc().Parameters();
  p.ControlFilePath = dir.filePath("no/such/folder/ControlCalc.txt").toStdString();
  doc().SetParameters(p);
  ModalDriver driver(Summary(true));
  frame()->Action(ID_CALCULATE)->trigger();
  EXPECT_TRUE(driver.SawBox("Error|Невозможно открыть файл")) << driver.boxes.join("\n").toStdString();
  EXPECT_FALSE(driver.SawBox("Расчет завершен"));
  EXPECT_FALSE(doc().ResultsPresent());
  EXPECT_FALSE(frame()->Action(ID_SHOW_CHARGES)->isEnabled());
  EXPECT_TRUE(frame()->isEnabled());
}

TEST_F(CalculationCommandTest, TheGapCalculationWritesOneFilePerCurve) {
  SurfParams curve;
  curve.innerRegion = 2;
  curve.outerRegion = -1;
  curve.pointCount = 4;
  CSurfColl curves;
  curves.Append(std::make_unique<Line>(curve, 10, 0, 20, 0));
  curves.Append(std::make_unique<Line>(curve, 0, 20, 0, 30));
  doc().SetGapCurves(std::move(curves));
  EXPECT_FALSE(frame()->Action(ID_GAP_CALCULATE)->isEnabled());
  {
    ModalDriver driver(Summary(true));
    frame()->Action(ID_CALCULATE)->trigger();
  }
  ASSERT_TRUE(frame()->Action(ID_GAP_CALCULATE)->isEnabled());
  ModalDriver driver;
  frame()->Action(ID_GAP_CALCULATE)->trigger();
  EXPECT_TRUE(driver.boxes.isEmpty()) << driver.boxes.join("\n").toStdString();
  const QByteArray first = ReadFile(dir.filePath("01space.dat"));
  EXPECT_TRUE(first.startsWith("            X             Y            Fi            Ex            Ey "));
  EXPECT_EQ(first.count('\n'), 7);  // header and n + 2 rows
  EXPECT_TRUE(QFileInfo::exists(dir.filePath("02space.dat")));
  EXPECT_TRUE(frame()->isEnabled());
}

TEST_F(CalculationCommandTest, TheGapCurvesCommandOpensTheDialogAndRepaints) {
  ModalDriver driver;
  frame()->Action(ID_GAP_CURVES)->trigger();
  EXPECT_EQ(driver.dialogs, QStringList{"CPointsDialog"});
}

}  // namespace
