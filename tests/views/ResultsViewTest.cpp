// The results in the desktop program: the field picture of the view (its
// switches, the background map against the sphere's analytic potential, the
// status-bar read-out, clearing with the results), the results pane, the
// plots (their series hold the result file's numbers) and the exports.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <cmath>
#include <functional>

#include "app/FrameCommands.h"
#include "app/GuiTestSupport.h"
#include "engine/GapCurves.h"
#include "engine/ProgressReporter.h"
#include "views/CKalvorView.h"
#include "views/FieldPicture.h"
#include "views/FieldPlot.h"
#include "views/ResultsPane.h"
#include "views/SurfaceSamples.h"
#include "views/ViewExport.h"
#include "views/ViewMapping.h"

namespace {

// The sphere of kSphere: centre (0, 10) cm, radius 5 cm, 10 kV, no earth.
constexpr double kU = 10.0, kR = 5.0, kCy = 10.0;

bool WaitFor(const std::function<bool()>& done, int ms = 60000) {
  for (int t = 0; t < ms; t += 20) {
    if (done()) return true;
    QTest::qWait(20);
  }
  return done();
}

class ResultsViewTest : public GuiTest {
 protected:
  void Solve() {
    Start();
    ASSERT_TRUE(frame()->OpenFile(WriteFile(dir, "sphere.txt", kSphere)));
    SilentProgress quiet;
    ASSERT_TRUE(doc().Calculate(quiet).success);
  }
  CKalvorView* view() { return frame()->GeometryView(); }
  FieldPicture& picture() { return view()->Picture(); }
  QImage Paint() {
    const QSize client = view()->viewport()->size();
    QImage image(client, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    view()->PaintSystem(painter, view()->Mapping(false));
    return image;
  }
};

TEST_F(ResultsViewTest, TheSwitchesDrawAMapOfTheSpherePotentialComputedInTheBackground) {
  Solve();
  // Without results the commands are off; with them they switch the parts on.
  for (int id : {ID_FIELD_MAP, ID_EQUIPOTENTIALS, ID_FIELD_LINES}) EXPECT_TRUE(frame()->Action(id)->isEnabled());
  // On by default; switched off, the gap is white.
  EXPECT_TRUE(picture().Active());
  frame()->Action(ID_FIELD_MAP)->trigger();
  frame()->Action(ID_EQUIPOTENTIALS)->trigger();
  frame()->Action(ID_FIELD_LINES)->trigger();
  EXPECT_FALSE(picture().Active());
  // 1.4 cm off the sphere, wherever the layout puts it now.
  auto gap = [&] { return view()->Mapping(false).ToDevice(10.0 * 4.5, 10.0 * 5.5); };
  EXPECT_EQ(Paint().pixel(gap().toPoint()), qRgb(255, 255, 255));

  frame()->Action(ID_FIELD_MAP)->trigger();
  frame()->Action(ID_EQUIPOTENTIALS)->trigger();
  frame()->Action(ID_FIELD_LINES)->trigger();
  EXPECT_TRUE(picture().Options().showMap && picture().Options().showEquipotentials &&
              picture().Options().showFieldLines);
  view()->viewport()->update();
  ASSERT_TRUE(WaitFor([&] { return picture().Map().Complete() && !picture().Lines().empty() && !picture().Running(); }));

  // Outside the sphere phi = U R / r within 1e-3 U; inside, marked.
  const FieldMap& map = picture().Map();
  int outside = 0, inside = 0;
  for (int j = 0; j < map.Height(); j += 7)
    for (int i = 0; i < map.Width(); i += 7) {
      const double r = std::hypot(map.X(i), map.Y(j) - kCy);
      const MapPoint& p = map.At(i, j);
      if (r < kR * 0.97) {
        EXPECT_TRUE(p.conductor);
        ++inside;
      } else if (r > kR * 1.05) {
        EXPECT_FALSE(p.conductor);
        EXPECT_NEAR(p.phi, kU * kR / r, 1e-3 * kU) << map.X(i) << "," << map.Y(j);
        ++outside;
      }
    }
  EXPECT_GT(inside, 3);
  EXPECT_GT(outside, 50);
  // Equipotentials at round values are circles about the centre.
  ASSERT_FALSE(picture().Contours().empty());
  for (const Polyline& c : picture().Contours())
    for (size_t k = 0; k < c.x.size(); k += 5)
      EXPECT_NEAR(std::hypot(c.x[k], c.y[k] - kCy), kU * kR / c.level, 0.03 * kU * kR / c.level);
  // Field lines start on the sphere and run radially outwards.
  for (const FieldLine& line : picture().Lines()) {
    ASSERT_GE(line.points.size(), 2u);
    const FieldLinePoint& a = line.points.front();
    const FieldLinePoint& b = line.points.back();
    EXPECT_NEAR(std::hypot(a.x, a.y - kCy), kR, 0.05);
    EXPECT_NEAR(std::atan2(a.y - kCy, a.x), std::atan2(b.y - kCy, b.x), 1e-2);
  }

  // The map colours the gap; the colour bar scale is phi's or |E|'s range.
  const QImage shown = Paint();
  EXPECT_NE(shown.pixel(gap().toPoint()), qRgb(255, 255, 255));
  EXPECT_GT(picture().ScaleMax(), 0.0);

  // The cursor read-out in the status bar.
  view()->ShowPositionAt(gap().toPoint());
  const QString status = frame()->statusBar()->currentMessage();
  EXPECT_TRUE(status.contains(QStringLiteral("φ=")) && status.contains(QStringLiteral("|E|="))) << status.toStdString();

  // Switching the map off leaves the gap white again (lines aside).
  frame()->Action(ID_FIELD_MAP)->trigger();
  frame()->Action(ID_EQUIPOTENTIALS)->trigger();
  frame()->Action(ID_FIELD_LINES)->trigger();
  EXPECT_EQ(Paint().pixel(gap().toPoint()), qRgb(255, 255, 255));

  // Discarding the results clears the picture and stops any job.
  frame()->Action(ID_FIELD_MAP)->trigger();
  CalcParameters p = doc().Parameters();
  p.UseEarth = !p.UseEarth;
  doc().SetParameters(p);
  EXPECT_FALSE(doc().ResultsPresent());
  EXPECT_FALSE(picture().Running());
  EXPECT_EQ(picture().Map().Width(), 0);
  EXPECT_TRUE(picture().Lines().empty());
  EXPECT_FALSE(frame()->Action(ID_FIELD_MAP)->isEnabled());
}

TEST_F(ResultsViewTest, AnEditDuringTheMapStopsItBeforeTheEngineChanges) {
  Solve();
  FieldPictureOptions o;
  o.showMap = true;
  o.showFieldLines = true;
  picture().SetOptions(o);
  ASSERT_TRUE(WaitFor([&] { return picture().Running() || picture().Map().Width() > 0; }, 5000));
  // A new calculation while the worker may still read the engine.
  SilentProgress quiet;
  ASSERT_TRUE(doc().Calculate(quiet).success);
  ASSERT_TRUE(WaitFor([&] { return picture().Map().Complete() && !picture().Running(); }));
  doc().NewDocument();
  EXPECT_FALSE(picture().Running());
  EXPECT_EQ(picture().Map().Width(), 0);
}

TEST_F(ResultsViewTest, ThePaneShowsTheLargestFieldAndItsPlaceAndIsClearedWithTheResults) {
  Solve();
  ResultsPane* pane = frame()->Results();
  ASSERT_NE(pane, nullptr);
  EXPECT_TRUE(pane->isVisibleTo(frame()));
  QTreeWidgetItem* row = nullptr;
  QStringList files;
  for (int s = 0; s < pane->Tree()->topLevelItemCount(); ++s)
    for (int k = 0; k < pane->Tree()->topLevelItem(s)->childCount(); ++k) {
      QTreeWidgetItem* item = pane->Tree()->topLevelItem(s)->child(k);
      if (item->data(0, ResultsPane::kGeneratrixRole).isValid()) row = item;
      files << item->text(1);
    }
  ASSERT_NE(row, nullptr);
  EXPECT_TRUE(files.contains(QStringLiteral("01.dat")));
  // The body's charge is 4 pi eps0 R U (the figures come from the run's analysis).
  QString body;
  for (int s = 0; s < pane->Tree()->topLevelItemCount(); ++s)
    if (pane->Tree()->topLevelItem(s)->text(0) == QStringLiteral("Тела"))
      body = pane->Tree()->topLevelItem(s)->child(0)->text(1);
  ASSERT_FALSE(body.isEmpty());
  const double charge = body.section(QStringLiteral(", "), 1, 1).section(' ', 0, 0).toDouble();
  EXPECT_NEAR(charge / (4 * 3.141592653589793 * 8.8541878128e-12 * kR * 1e-2 * kU * 1e3), 1.0, 5e-3)
      << body.toStdString();
  // On an isolated sphere |E| = U / R everywhere on the surface.
  EXPECT_TRUE(row->text(1).startsWith(QStringLiteral("2 ")) || row->text(1).startsWith(QStringLiteral("1.9")) ||
              row->text(1).startsWith(QStringLiteral("2.0")))
      << row->text(1).toStdString();
  const QPointF at = row->data(0, ResultsPane::kPointRole).toPointF();
  EXPECT_NEAR(std::hypot(at.x(), at.y() - kCy), kR, 0.01);

  // A click marks the spot in the view.
  QSignalSpy located(pane, &ResultsPane::locate);
  emit pane->Tree()->itemClicked(row, 0);
  ASSERT_EQ(located.count(), 1);
  ASSERT_TRUE(picture().Marker().has_value());
  EXPECT_EQ(*picture().Marker(), at);

  // A double click opens the plot.
  QSignalSpy plotted(pane, &ResultsPane::plotRequested);
  emit pane->Tree()->itemDoubleClicked(row, 0);
  EXPECT_EQ(plotted.count(), 1);
  EXPECT_FALSE(frame()->findChildren<FieldPlot*>().isEmpty());

  doc().NewDocument();
  EXPECT_EQ(pane->Tree()->topLevelItemCount(), 0);
  EXPECT_FALSE(picture().Marker().has_value());
}

TEST_F(ResultsViewTest, ThePlotHoldsTheResultFileNumbersAndExportsThem) {
  Solve();
  FieldPlot* plot = OpenGeneratrixPlot(doc(), 0, frame());
  ASSERT_NE(plot, nullptr);
  // 01.dat of an arc: Alfa X Y Fi En Ex Ey, one row a point.
  const QStringList rows = QString::fromUtf8(ReadFile(dir.filePath("01.dat"))).split("\r\n", Qt::SkipEmptyParts);
  ASSERT_GT(rows.size(), 10);
  QList<QLineSeries*> series;
  for (QAbstractSeries* s : plot->Chart()->series())
    if (auto* line = qobject_cast<QLineSeries*>(s)) series << line;
  ASSERT_GE(series.size(), 3);
  EXPECT_EQ(series[0]->name(), QStringLiteral("φ, кВ"));
  EXPECT_EQ(series[2]->name(), QStringLiteral("En, кВ/см"));
  ASSERT_EQ(series[0]->count(), rows.size() - 1);
  for (int k = 1; k < rows.size(); ++k) {
    const QStringList v = rows[k].simplified().split(' ');
    ASSERT_EQ(v.size(), 7) << rows[k].toStdString();
    const QPointF phi = series[0]->at(k - 1), en = series[2]->at(k - 1);
    EXPECT_NEAR(phi.x(), v[0].toDouble(), 0.051);  // the angle, printed to 0.1 degree
    EXPECT_NEAR(phi.y(), v[3].toDouble(), 0.51e-5);
    EXPECT_NEAR(en.y(), v[4].toDouble(), 0.51e-5);
  }

  // Every curve lies within its axis (Qt Charts fits an axis to its first
  // series only, which once hid the En and inner-side curves).
  for (QLineSeries* s : series) {
    auto* axis = qobject_cast<QValueAxis*>(s->attachedAxes().value(1));
    ASSERT_NE(axis, nullptr);
    for (const QPointF& pt : s->points()) {
      EXPECT_GE(pt.y(), axis->min()) << s->name().toStdString();
      EXPECT_LE(pt.y(), axis->max()) << s->name().toStdString();
    }
  }

  for (const QString name : {"plot.png", "plot.svg", "plot.csv"})
    EXPECT_TRUE(plot->ExportTo(dir.filePath(name)).isEmpty()) << name.toStdString();
  const QByteArray csv = ReadFile(dir.filePath("plot.csv"));
  EXPECT_TRUE(csv.startsWith("angle_deg,x_cm,y_cm,phi_kv,"));
  EXPECT_EQ(csv.count('\n'), rows.size());
  EXPECT_FALSE(QImage(dir.filePath("plot.png")).isNull());
  EXPECT_TRUE(ReadFile(dir.filePath("plot.svg")).contains("<svg"));
  EXPECT_FALSE(plot->ExportTo(dir.filePath("plot.xyz")).isEmpty());
}

TEST_F(ResultsViewTest, AGapCurvePlotHoldsItsSpaceFileNumbers) {
  Solve();
  CSurfColl curves;
  curves.Append(MakeGapLine(2, 6, 6, 0, 6, 20));  // a vertical line 1 cm off the sphere
  doc().SetGapCurves(std::move(curves));
  SilentProgress quiet;
  ASSERT_EQ(doc().GapCalculate(quiet), 0);
  const SurfaceSeries series = SampleGapCurve(doc().Calc(), 0);
  // 01space.dat: X Y Fi Ex Ey.
  const QStringList rows =
      QString::fromUtf8(ReadFile(dir.filePath("01space.dat"))).split("\r\n", Qt::SkipEmptyParts);
  ASSERT_EQ(static_cast<int>(series.samples.size()), rows.size() - 1);
  for (int k = 1; k < rows.size(); ++k) {
    const QStringList v = rows[k].simplified().split(' ');
    const SurfaceSample& p = series.samples[static_cast<size_t>(k - 1)];
    EXPECT_NEAR(p.y, v[1].toDouble(), 0.051);
    EXPECT_NEAR(p.phi, v[2].toDouble(), 0.51e-5);
    EXPECT_NEAR(p.ex, v[3].toDouble(), 0.51e-5);
    EXPECT_NEAR(p.ey, v[4].toDouble(), 0.51e-5);
    // And the sphere's potential there.
    EXPECT_NEAR(p.phi, kU * kR / std::hypot(p.x, p.y - kCy), 1e-3 * kU);
  }
  EXPECT_DOUBLE_EQ(series.samples.back().s, 20.0);  // the arc length of a straight curve
}

TEST_F(ResultsViewTest, TheViewExportsToPngAndSvgWithItsFieldPicture) {
  Solve();
  FieldPictureOptions o;
  o.showMap = true;
  picture().SetOptions(o);
  view()->viewport()->update();
  ASSERT_TRUE(WaitFor([&] { return picture().Map().Complete(); }));
  EXPECT_TRUE(ExportView(*view(), dir.filePath("view.png")).isEmpty());
  EXPECT_TRUE(ExportView(*view(), dir.filePath("view.svg")).isEmpty());
  const QImage png(dir.filePath("view.png"));
  ASSERT_FALSE(png.isNull());
  const QPointF gap = view()->Mapping(false).ToDevice(45.0, 55.0);
  EXPECT_NE(png.pixel(gap.toPoint()), qRgb(255, 255, 255));
  const QByteArray svg = ReadFile(dir.filePath("view.svg"));
  EXPECT_TRUE(svg.contains("<svg") && svg.contains("<image"));
  EXPECT_FALSE(ExportView(*view(), dir.filePath("view.bmpx")).isEmpty());
}

TEST(FieldPictureScale, ViridisEndsAndRoundSteps) {
  EXPECT_EQ(FieldPicture::ColourAt(0.0), QColor(68, 1, 84));
  EXPECT_EQ(FieldPicture::ColourAt(1.0), QColor(253, 231, 37));
  // Lightness rises monotonically: no invented edges.
  double last = -1;
  for (int k = 0; k <= 20; ++k) {
    const QColor c = FieldPicture::ColourAt(k / 20.0);
    const double l = 0.299 * c.redF() + 0.587 * c.greenF() + 0.114 * c.blueF();
    EXPECT_GT(l, last);
    last = l;
  }
  EXPECT_DOUBLE_EQ(FieldPicture::RoundStep(10.0, 10), 1.0);
  EXPECT_DOUBLE_EQ(FieldPicture::RoundStep(7.3, 10), 1.0);
  EXPECT_DOUBLE_EQ(FieldPicture::RoundStep(0.15, 1), 0.2);
  EXPECT_DOUBLE_EQ(FieldPicture::RoundStep(0.0, 10), 0.0);
}

TEST(FieldPictureDialogTest, TheDialogCarriesEveryOptionBothWays) {
  FieldPictureOptions o;
  o.showMap = true;
  o.quantity = FieldPictureOptions::Quantity::kPotential;
  o.showEquipotentials = true;
  o.equipotentialStep = 2.5;
  o.showFieldLines = true;
  o.linesPerElectrode = 7;
  FieldPictureDialog dlg;
  dlg.SetOptions(o);
  EXPECT_EQ(dlg.Options(), o);
  dlg.MapBox()->setChecked(false);
  dlg.QuantityBox()->setCurrentIndex(0);
  dlg.StepBox()->setValue(0.0);  // shown as "авто"
  EXPECT_EQ(dlg.StepBox()->text(), QStringLiteral("авто"));
  const FieldPictureOptions changed = dlg.Options();
  EXPECT_FALSE(changed.showMap);
  EXPECT_EQ(changed.quantity, FieldPictureOptions::Quantity::kField);
  EXPECT_EQ(changed.equipotentialStep, 0.0);
  EXPECT_EQ(changed.linesPerElectrode, 7);
}

}  // namespace
