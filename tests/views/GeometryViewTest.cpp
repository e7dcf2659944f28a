// The geometry view: the mapping, the picture (pens, drawing order, what an
// empty system shows), zoom, marking, deletion with its confirmation and the
// cursor position in the status bar.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QPrinter>
#include <QPainter>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QStatusBar>

#include "app/GuiTestSupport.h"
#include "app/ModalDriver.h"
#include "dialogs/CLineDialog.h"
#include "model/Arch.h"
#include "model/Line.h"
#include "views/CKalvorView.h"
#include "views/CLeftView_Empty.h"
#include "views/CLeftView_Line.h"
#include "views/ViewMapping.h"

namespace {

SurfParams Conductor(int region = 1) {
  SurfParams p;
  p.material = 1;
  p.innerRegion = region;
  p.outerRegion = 2;
  p.epsOuter = 1;
  p.pointCount = 5;
  p.ratioLd = 1;
  p.isFloating = true;
  return p;
}

TEST(ViewMapping, TenByFiveCentimetresFillA420By220ClientLessTheMargins) {
  const ViewMapping m(10, 5, QSize(420, 220), QPoint(0, 0));
  EXPECT_DOUBLE_EQ(m.Scale(), 4.0);
  EXPECT_EQ(m.ToDevice(0, 0), QPointF(10, 210));
  EXPECT_EQ(m.ToDevice(100, 50), QPointF(410, 10));
  EXPECT_EQ(m.ToModel(QPoint(210, 110)), QPointF(5.0, 2.5));
  // Isotropic: a wider client keeps the scale of the tighter direction.
  const ViewMapping wide(10, 5, QSize(820, 220), QPoint(0, 0));
  EXPECT_DOUBLE_EQ(wide.Scale(), 4.0);
  // Scrolling shifts the origin.
  const ViewMapping scrolled(10, 5, QSize(420, 220), QPoint(30, 40));
  EXPECT_EQ(scrolled.ToDevice(0, 0), QPointF(-20, 170));
}

TEST(ViewMapping, ZeroExtentsAndTinyCanvasesStayDefined) {
  const ViewMapping onAxis(0, 5, QSize(420, 220), QPoint(0, 0));
  EXPECT_DOUBLE_EQ(onAxis.Scale(), 4.0);
  const ViewMapping tiny(0, 0, QSize(5, 5), QPoint(0, 0));
  EXPECT_GT(tiny.Scale(), 0.0);
  const QPoint l = tiny.ToLogical(QPoint(1000000, -1000000));
  EXPECT_GT(l.x(), 0);
}

class GeometryViewTest : public GuiTest {
 protected:
  // Paints the document into an image of the given client size.
  QImage Paint(QSize client) {
    QImage image(client, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    frame()->GeometryView()->PaintSystem(painter, ViewMapping(doc().Xmax(), doc().Ymax(), client, QPoint(0, 0)));
    return image;
  }
  void Add(std::unique_ptr<SurfData> g) { doc().AddGeneratrix(std::move(g)); }
  CKalvorView* view() { return frame()->GeometryView(); }
};

TEST_F(GeometryViewTest, AnEmptySystemPaintsNothing) {
  Start();
  const QImage image = Paint(QSize(420, 220));
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) ASSERT_EQ(image.pixel(x, y), qRgb(255, 255, 255)) << x << "," << y;
}

TEST_F(GeometryViewTest, LinesAreDrawnWithThePenOfTheirPotential) {
  Start();
  SurfParams fixed = Conductor();
  auto fixedLine = std::make_unique<Line>(fixed, 2, 1, 2, 4);  // vertical at x = 2 cm
  fixedLine->SetFixedPotential(10);
  Add(std::move(fixedLine));
  SurfParams dielectric = Conductor(3);
  dielectric.material = 0;
  Add(std::make_unique<Line>(dielectric, 4, 1, 4, 4));                // x = 4 cm
  Add(std::make_unique<Line>(Conductor(4), 6, 1, 6, 4));              // floating, x = 6 cm
  auto variable = std::make_unique<Line>(Conductor(5), 8, 1, 8, 4);  // x = 8 cm
  variable->SetVariablePotential(0, 5);
  Add(std::move(variable));
  Add(std::make_unique<Line>(Conductor(6), 10, 0, 10, 5));  // sets the 10 x 5 extents
  ASSERT_EQ(doc().Xmax(), 10);
  ASSERT_EQ(doc().Ymax(), 5);

  const QImage image = Paint(QSize(420, 220));
  // x cm -> 10 + 40 x pixels; y = 2.5 cm -> row 110.
  EXPECT_EQ(image.pixel(90, 110), qRgb(128, 128, 128));
  EXPECT_EQ(image.pixel(170, 110), qRgb(0, 255, 0));
  EXPECT_EQ(image.pixel(250, 110), qRgb(220, 80, 181));
  EXPECT_EQ(image.pixel(330, 110), qRgb(27, 21, 242));
  // The line y = 0 in black from the origin to 2 cm beyond Xmax (clipped),
  // the axis dash-dotted up to 0.5 cm above Ymax.
  EXPECT_EQ(image.pixel(50, 210), qRgb(0, 0, 0));
  EXPECT_EQ(image.pixel(415, 210), qRgb(0, 0, 0));
  int axisBlack = 0, axisWhite = 0;
  for (int y = 10; y < 210; ++y) (image.pixel(10, y) == qRgb(0, 0, 0) ? axisBlack : axisWhite)++;
  EXPECT_GT(axisBlack, 50);
  EXPECT_GT(axisWhite, 10);
  // Nothing to the left of the axis, nothing below the earth line.
  EXPECT_EQ(image.pixel(5, 110), qRgb(255, 255, 255));
  EXPECT_EQ(image.pixel(200, 215), qRgb(255, 255, 255));
}

TEST_F(GeometryViewTest, TheEarlierOfTwoOverlappingGeneratricesIsOnTopAndTheLaterIsHitFirst) {
  Start();
  SurfParams dielectric = Conductor(3);
  dielectric.material = 0;
  auto fixedLine = std::make_unique<Line>(Conductor(), 0, 2, 10, 2);
  fixedLine->SetFixedPotential(1);
  Add(std::move(fixedLine));
  Add(std::make_unique<Line>(dielectric, 0, 2, 10, 2));
  Add(std::make_unique<Line>(Conductor(6), 10, 0, 10, 5));
  const QImage image = Paint(QSize(420, 220));
  EXPECT_EQ(image.pixel(200, 130), qRgb(128, 128, 128));  // y = 2 cm -> row 130

  // A right click marks the later generatrix, the one found first.
  view()->viewport()->repaint();
  view()->MarkAt(view()->Mapping(false).ToDevice(50, 20).toPoint());
  EXPECT_FALSE(doc().Generatrices().At(0)->marked);
  EXPECT_TRUE(doc().Generatrices().At(1)->marked);
  // A click on nothing changes nothing.
  view()->MarkAt(view()->Mapping(false).ToDevice(50, 45).toPoint());
  EXPECT_TRUE(doc().Generatrices().At(1)->marked);
}

TEST_F(GeometryViewTest, GapCurvesAreDottedAndShownOnlyWithTheToggle) {
  Start();
  Add(std::make_unique<Line>(Conductor(6), 10, 0, 10, 5));
  SurfParams curve;
  curve.innerRegion = 2;
  curve.outerRegion = -1;
  curve.pointCount = 4;
  CSurfColl curves;
  curves.Append(std::make_unique<Line>(curve, 0, 3, 10, 3));  // row 90
  doc().SetGapCurves(std::move(curves));
  const QRgb cyan = qRgb(67, 248, 252);
  auto countCyan = [&](const QImage& image) {
    int n = 0;
    for (int x = 20; x < 400; ++x) n += image.pixel(x, 90) == cyan;
    return n;
  };
  EXPECT_EQ(countCyan(Paint(QSize(420, 220))), 0);
  doc().ToggleGapCurves();
  const int shown = countCyan(Paint(QSize(420, 220)));
  EXPECT_GT(shown, 50);
  EXPECT_LT(shown, 330);  // dotted, not solid
}

TEST_F(GeometryViewTest, AnArcIsDrawnOverItsOwnPartOfTheCircleOnly) {
  Start();
  Add(std::make_unique<Line>(Conductor(6), 10, 0, 10, 5));
  // Clockwise from 90 to -90 degrees about (5, 2.5) with radius 2: the right half.
  Add(std::make_unique<Arch>(Conductor(), 5, 2.5, 2, DegreesToRadians(90), DegreesToRadians(-90)));
  const QImage image = Paint(QSize(420, 220));
  const QRgb grey = qRgb(220, 80, 181);  // floating conductor
  auto near = [&](int cx, int cy) {
    for (int dx = -2; dx <= 2; ++dx)
      for (int dy = -2; dy <= 2; ++dy)
        if (image.pixel(cx + dx, cy + dy) == grey) return true;
    return false;
  };
  EXPECT_TRUE(near(10 + 40 * 7, 110));   // (7, 2.5): right end of the circle
  EXPECT_FALSE(near(10 + 40 * 3, 110));  // (3, 2.5): left end, not part of the arc
}

TEST_F(GeometryViewTest, ZoomingScalesTheCanvasAndTheWholeSystemIsTheLeastZoom) {
  Start();
  ASSERT_TRUE(frame()->OpenFile(WriteFile(dir, "four.txt", kFourGeneratrices)));
  view()->viewport()->repaint();
  const QSize client = view()->viewport()->size();
  EXPECT_EQ(view()->Canvas(), client);
  view()->ZoomIn();
  EXPECT_EQ(view()->Canvas(), QSize(qRound(client.width() * 1.1), qRound(client.height() * 1.1)));
  EXPECT_EQ(view()->ScrollTotal(), view()->Canvas());
  view()->ZoomIn();
  view()->ZoomOut();
  view()->ZoomOut();
  EXPECT_EQ(view()->Canvas(), client);
  EXPECT_TRUE(view()->ScrollTotal().isEmpty());
}

TEST_F(GeometryViewTest, TheCursorPositionGoesToTheStatusBarOnlyWithGeneratrices) {
  Start();
  QSignalSpy spy(view(), &CKalvorView::statusMessage);
  view()->ShowPositionAt(QPoint(50, 50));
  EXPECT_EQ(spy.count(), 0);
  ASSERT_TRUE(frame()->OpenFile(WriteFile(dir, "four.txt", kFourGeneratrices)));
  view()->viewport()->repaint();
  const ViewMapping m = view()->Mapping(false);
  const QPointF device = m.ToDevice(30, 45);  // (3.0, 4.5) cm
  view()->ShowPositionAt(device.toPoint());
  ASSERT_EQ(spy.count(), 1);
  EXPECT_EQ(spy.takeFirst().at(0).toString(), "Point=[ 3.0, 4.5]");
  EXPECT_EQ(frame()->statusBar()->currentMessage(), "Point=[ 3.0, 4.5]");
}

TEST_F(GeometryViewTest, DeleteAsksForEachMarkedGeneratrixFromTheLastAndRebuildsTheTree) {
  Start();
  ASSERT_TRUE(frame()->OpenFile(WriteFile(dir, "four.txt", kFourGeneratrices)));
  doc().ToggleMarked(1);
  doc().ToggleMarked(3);
  CLeftView_Empty* before = frame()->TreePane();
  ModalDriver driver([](QWidget* w) {
    auto* box = qobject_cast<QMessageBox*>(w);
    // Keep number 4, delete number 2.
    box->button(box->text().endsWith(" 4") ? QMessageBox::No : QMessageBox::Yes)->click();
    return true;
  });
  view()->DeleteMarked();
  ASSERT_EQ(driver.boxes.size(), 2);
  EXPECT_EQ(driver.boxes[0],
            "Ты, чо, серьезно|Вы действительно хотите удалить выбранную образующую?\n Номер образующей -  4");
  EXPECT_TRUE(driver.boxes[1].endsWith(" 2"));
  EXPECT_EQ(doc().Generatrices().GetSize(), 3);
  EXPECT_TRUE(doc().IsModified());
  EXPECT_TRUE(doc().ChangedSinceCalculation());
  ASSERT_NE(frame()->TreePane(), nullptr);
  EXPECT_NE(frame()->TreePane(), before);
  EXPECT_EQ(frame()->TreePane()->Tree()->topLevelItemCount(), 3);
}

TEST_F(GeometryViewTest, DeletingUnderAnOpenEditorPaneBringsBackTheTree) {
  Start();
  ASSERT_TRUE(frame()->OpenFile(WriteFile(dir, "four.txt", kFourGeneratrices)));
  frame()->ReplaceLeftPane(LeftPaneKind::Line);
  doc().ToggleMarked(3);
  ModalDriver driver;
  view()->DeleteMarked();
  EXPECT_NE(frame()->TreePane(), nullptr);
}

}  // namespace

namespace {

TEST_F(GeometryViewTest, CreatingALineAppendsItEverywhereAndDiscardsTheResults) {
  Start({WriteFile(dir, "four.txt", kFourGeneratrices)});
  const long long points = doc().Calc().TotalPoints(), charges = doc().Calc().TotalCharges();
  ModalDriver driver([](QWidget* w) {
    auto* dlg = qobject_cast<CLineDialog*>(w);
    if (!dlg) return false;
    dlg->MaterialList()->setCurrentIndex(1);  // a conductor, floating
    dlg->EditFor("innerRegion")->setText("9");
    dlg->EditFor("pointCount")->setText("7");
    dlg->EditFor("x2")->setText("30");
    dlg->EditFor("y2")->setText("3.5");
    static_cast<QDialog*>(dlg)->accept();
    return true;
  });
  view()->CreateLineGeneratrix();
  ASSERT_EQ(doc().Generatrices().GetSize(), 5);
  EXPECT_EQ(doc().Calc().TotalPoints(), points + 7);
  EXPECT_EQ(doc().Calc().TotalCharges(), charges + 7);
  EXPECT_EQ(doc().Xmax(), 30);
  EXPECT_TRUE(doc().IsModified());
  EXPECT_FALSE(doc().ResultsPresent());
  ASSERT_EQ(frame()->TreePane()->Tree()->topLevelItemCount(), 5);
  EXPECT_EQ(frame()->TreePane()->Tree()->topLevelItem(4)->text(0),
            " 5: Отрезок прямой, ( 0.0,  0.0) - (30.0,  3.5)");
}

TEST_F(GeometryViewTest, PrintingDrawsThePictureOntoThePage) {
  Start({WriteFile(dir, "four.txt", kFourGeneratrices)});
  QPrinter printer(QPrinter::HighResolution);
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(dir.filePath("out.pdf"));
  view()->PrintOn(printer);
  EXPECT_GT(QFileInfo(dir.filePath("out.pdf")).size(), 500);
}

}  // namespace
