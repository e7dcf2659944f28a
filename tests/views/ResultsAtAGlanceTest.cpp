// What a run shows without another click, on the shipped examples: the
// field picture on, the colour scale ending at the largest surface field
// (sphere–plane: the image-series value), the peak marked where it is, the
// whole cross-section, one largest field per generatrix and body in the
// pane, Russian stage names, the version, and a clean status bar once the
// results are gone.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <cmath>
#include <functional>

#include "app/FrameCommands.h"
#include "app/GuiTestSupport.h"
#include "app/ModalDriver.h"
#include "engine/GapCurves.h"
#include "engine/ProgressReporter.h"
#include "views/FieldPlot.h"
#include "views/CKalvorView.h"
#include "views/FieldPicture.h"
#include "views/LargestField.h"
#include "views/ResultsPane.h"

namespace {

bool WaitFor(const std::function<bool()>& done, int ms = 60000) {
  for (int t = 0; t < ms; t += 20) {
    if (done()) return true;
    QTest::qWait(20);
  }
  return done();
}

class ResultsAtAGlanceTest : public GuiTest {
 protected:
  // Runs a shipped example (with its parameters file) from a copy.
  void RunExample(const QString& name) {
    for (const QString& file : {name, name + QStringLiteral(".kalvor.ini")}) {
      const QString from = QString::fromUtf8(KALVOR_EXAMPLES "/") + file;
      if (QFile::exists(from)) {
        ASSERT_TRUE(QFile::copy(from, dir.filePath(file)));
      }
    }
    Start();
    ASSERT_TRUE(frame()->OpenFile(dir.filePath(name)));
    SilentProgress quiet;
    ASSERT_TRUE(doc().Calculate(quiet).success);
  }
  CKalvorView* view() { return frame()->GeometryView(); }
  FieldPicture& picture() { return view()->Picture(); }
  QImage Paint() {
    QImage image(view()->viewport()->size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    view()->PaintSystem(painter, view()->Mapping(false));
    return image;
  }
  QPoint Pixel(double xcm, double ycm) { return view()->Mapping(false).ToDevice(10 * xcm, 10 * ycm).toPoint(); }
  QTreeWidgetItem* Section(const QString& title) {
    QTreeWidget* tree = frame()->Results()->Tree();
    for (int s = 0; s < tree->topLevelItemCount(); ++s)
      if (tree->topLevelItem(s)->text(0) == title) return tree->topLevelItem(s);
    return nullptr;
  }
  // The largest fields the pane lists for the generatrices and the bodies.
  std::vector<double> FieldsIn(const QString& title) {
    std::vector<double> fields;
    if (QTreeWidgetItem* s = Section(title))
      for (int k = 0; k < s->childCount(); ++k) fields.push_back(s->child(k)->data(0, ResultsPane::kFieldRole).toDouble());
    return fields;
  }
};

TEST_F(ResultsAtAGlanceTest, SpherePlaneShowsItsPeakOnTheScaleAndTheWholeSectionRightAfterARun) {
  RunExample(QStringLiteral("sphere-plane.txt"));
  EXPECT_TRUE(picture().Active());
  EXPECT_TRUE(picture().Options().showMap && picture().Options().showEquipotentials &&
              picture().Options().showFieldLines && picture().Options().mirror);
  view()->viewport()->update();
  ASSERT_TRUE(WaitFor([&] { return picture().Map().Complete() && !picture().Lines().empty() && !picture().Running(); }));

  // R = 5 cm at 100 kV, lowest point h = 10 cm above the earth: image series
  // Emax R / V = 1.33885 for h/R = 2.
  const double exact = 1.33885 * 100.0 / 5.0;
  EXPECT_NEAR(picture().ScaleMax(), exact, 1e-3 * exact);
  EXPECT_NEAR(picture().Peak().value, picture().ScaleMax(), 0.0);
  // Marked at the sphere's lowest point, with its value.
  // (The analysis finds it at a check point beside the pole: within 4
  // degrees of the lowest point, on the sphere.)
  ASSERT_TRUE(picture().Marker().has_value());
  const QPointF mark = *picture().Marker();
  EXPECT_NEAR(std::hypot(mark.x(), mark.y() - 15.0), 5.0, 0.01);
  EXPECT_LT(std::atan2(std::abs(mark.x()), 15.0 - mark.y()), 4.0 * 3.141592653589793 / 180.0);
  EXPECT_TRUE(picture().MarkerText().contains(QStringLiteral("26.7"))) << picture().MarkerText().toStdString();
  // The scale's ends, linear and logarithmic.
  EXPECT_DOUBLE_EQ(picture().ScalePosition(picture().ScaleMax()), 1.0);
  FieldPictureOptions log = picture().Options();
  log.logScale = true;
  picture().SetOptions(log);
  const double top = picture().ScaleMax(), bottom = picture().ScaleBottom();
  ASSERT_GT(bottom, 0.0);
  EXPECT_LE(bottom, top / 2);
  EXPECT_DOUBLE_EQ(picture().ScalePosition(top), 1.0);
  EXPECT_DOUBLE_EQ(picture().ScalePosition(bottom), 0.0);
  EXPECT_NEAR(picture().ScalePosition(std::sqrt(top * bottom)), 0.5, 1e-12);
  log.logScale = false;
  picture().SetOptions(log);

  // The mirrored half: the map and the sphere are drawn left of the axis too,
  // and the read-out there is the same field with Ex reversed.
  const QImage shown = Paint();
  const QRgb right = shown.pixel(Pixel(3.0, 8.0)), left = shown.pixel(Pixel(-3.0, 8.0));
  EXPECT_NE(left, qRgb(255, 255, 255));
  EXPECT_NEAR(qGreen(left), qGreen(right), 12);
  EXPECT_NEAR(qBlue(left), qBlue(right), 12);
  bool sphereLeft = false;
  const QPoint rim = Pixel(-5.0, 15.0);
  for (int dx = -2; dx <= 2; ++dx)
    for (int dy = -2; dy <= 2; ++dy)
      {
        // The fixed-potential pen's grey, maybe blended with its neighbours.
        const QColor c(shown.pixel(rim + QPoint(dx, dy)));
        sphereLeft = sphereLeft || (std::max({c.red(), c.green(), c.blue()}) - std::min({c.red(), c.green(), c.blue()}) < 25 &&
                                    c.red() < 215);
      }
  EXPECT_TRUE(sphereLeft);
  const QString a = picture().ReadoutAt(3.0, 8.0), b = picture().ReadoutAt(-3.0, 8.0);
  ASSERT_FALSE(a.isEmpty());
  EXPECT_EQ(a.section(QStringLiteral("Ex="), 0, 0), b.section(QStringLiteral("Ex="), 0, 0));
  EXPECT_TRUE(a.contains(QStringLiteral("Ex=")) && a.contains(QStringLiteral("Ey=")) &&
              a.count(QStringLiteral("кВ/см")) == 3)
      << a.toStdString();

  // One largest field: the generatrix's row, the body's row and the mark agree.
  const std::vector<double> gens = FieldsIn(QStringLiteral("Наибольшая |E| на образующих"));
  const std::vector<double> bodies = FieldsIn(QStringLiteral("Тела"));
  ASSERT_EQ(gens.size(), 1u);
  ASSERT_EQ(bodies.size(), 1u);
  EXPECT_EQ(gens[0], bodies[0]);
  EXPECT_EQ(gens[0], picture().Peak().value);

  // The stages by the progress window's Russian names, each once.
  QTreeWidgetItem* stages = Section(QStringLiteral("Этапы расчета"));
  ASSERT_NE(stages, nullptr);
  QStringList names;
  for (int k = 0; k < stages->childCount(); ++k) names << stages->child(k)->text(0);
  EXPECT_TRUE(names.contains(QStringLiteral("Заполнение матрицы")));
  EXPECT_TRUE(names.contains(QStringLiteral("Решение системы алгебраических уравнений")));
  EXPECT_EQ(names.removeDuplicates(), 0);
  for (const QString& n : names) EXPECT_FALSE(n.contains(QRegularExpression(QStringLiteral("^[a-z]+$")))) << n.toStdString();
  QTreeWidgetItem* run = Section(QStringLiteral("Расчет"));
  ASSERT_NE(run, nullptr);
  QStringList values;
  for (int k = 0; k < run->childCount(); ++k) values << run->child(k)->text(1);
  EXPECT_TRUE(values.contains(QString::fromUtf8("Kalvor, версия " KALVOR_VERSION_FOR_TESTS)));
}

TEST_F(ResultsAtAGlanceTest, AClickOnABodysLargestFieldMovesTheMarkAndDiscardingClearsTheReadout) {
  RunExample(QStringLiteral("floating-sphere.txt"));
  // The floating sphere's two halves are one body: its largest field is the
  // larger of its two generatrices', the same number.
  const std::vector<double> gens = FieldsIn(QStringLiteral("Наибольшая |E| на образующих"));
  const std::vector<double> bodies = FieldsIn(QStringLiteral("Тела"));
  ASSERT_EQ(gens.size(), 3u);
  ASSERT_EQ(bodies.size(), 1u);
  EXPECT_EQ(bodies[0], std::max(gens[0], gens[1]));
  // An uncharged conductor sphere in a uniform field: 3 E0 at its poles
  // (the dielectric sphere 7 cm above it disturbs this by well under 10 %).
  EXPECT_NEAR(bodies[0], 30.0, 3.0);

  // The dielectric's row moves the mark there, with its value.
  QTreeWidgetItem* dielectric = Section(QStringLiteral("Наибольшая |E| на образующих"))->child(2);
  emit frame()->Results()->Tree()->itemClicked(dielectric, 0);
  ASSERT_TRUE(picture().Marker().has_value());
  EXPECT_EQ(*picture().Marker(), dielectric->data(0, ResultsPane::kPointRole).toPointF());
  EXPECT_TRUE(picture().MarkerText().contains(QString::number(gens[2], 'g', 4))) << picture().MarkerText().toStdString();

  // The read-out goes with the results it was read from.
  view()->ShowPositionAt(Pixel(4.0, 15.0));
  EXPECT_TRUE(frame()->statusBar()->currentMessage().contains(QStringLiteral("φ=")));
  CalcParameters p = doc().Parameters();
  p.UseEarth = !p.UseEarth;
  doc().SetParameters(p);
  ASSERT_FALSE(doc().ResultsPresent());
  EXPECT_TRUE(frame()->statusBar()->currentMessage().isEmpty());
}

TEST_F(ResultsAtAGlanceTest, TheUsersChoiceOfThePictureIsKeptForTheNextSession) {
  RunExample(QStringLiteral("sphere-plane.txt"));
  frame()->Action(ID_FIELD_LINES)->trigger();
  frame()->Action(ID_FULL_SECTION)->trigger();
  EXPECT_FALSE(picture().Options().showFieldLines);
  EXPECT_FALSE(picture().Options().mirror);
  // Without the mirror the view starts at the axis again.
  EXPECT_NEAR(view()->SystemBox().left(), 0.0, 0.0);
  const FieldPictureOptions kept = LoadFieldPictureOptions();
  EXPECT_FALSE(kept.showFieldLines);
  EXPECT_FALSE(kept.mirror);
  EXPECT_TRUE(kept.showMap && kept.showEquipotentials);
}

TEST_F(ResultsAtAGlanceTest, OnePlotWindowHoldsEveryGapCurveAndPlotsCompare) {
  RunExample(QStringLiteral("sphere-plane.txt"));
  CSurfColl curves;
  curves.Append(MakeGapLine(2, 6, 0, 0, 0, 10));   // the axis below the sphere
  curves.Append(MakeGapLine(2, 6, 6, 0, 6, 20));   // a vertical line beside it
  curves.Append(MakeGapArch(2, 8, 0, 15, 7, -90, 90));
  doc().SetGapCurves(std::move(curves));
  for (int run = 0; run < 2; ++run) {
    ModalDriver driver;
    frame()->Action(ID_GAP_CALCULATE)->trigger();
    EXPECT_TRUE(driver.boxes.isEmpty()) << driver.boxes.join("\n").toStdString();
  }
  // Twice calculated, still one window, a tab per curve.
  const QList<FieldPlot*> plots = frame()->findChildren<FieldPlot*>();
  ASSERT_EQ(plots.size(), 1);
  FieldPlot* gap = plots[0];
  EXPECT_EQ(gap->TabCount(), 3);
  EXPECT_EQ(gap->Tabs()->tabText(2), QStringLiteral("кривая в промежутке 3"));
  // The pane lists the gap result files.
  QStringList files;
  QTreeWidgetItem* section = Section(QStringLiteral("Файлы результатов"));
  ASSERT_NE(section, nullptr);
  for (int k = 0; k < section->childCount(); ++k) files << section->child(k)->text(1);
  EXPECT_TRUE(files.contains(QStringLiteral("01space.dat")) && files.contains(QStringLiteral("03space.dat")));
  // A gap curve has no inner side: its columns stay empty.
  const QStringList rows = gap->Csv().split('\n', Qt::SkipEmptyParts);
  ASSERT_GT(rows.size(), 2);
  EXPECT_TRUE(rows[1].endsWith(QStringLiteral(",,"))) << rows[1].toStdString();
  // Every axis says its unit.
  for (QAbstractAxis* axis : gap->Chart()->axes())
    EXPECT_TRUE(axis->titleText().contains(QStringLiteral("см")) || axis->titleText().contains(QStringLiteral("кВ")) ||
                axis->titleText().contains(QStringLiteral("град")))
        << axis->titleText().toStdString();

  // The sphere's plot before and after an edit: the earlier run is offered
  // and overlaid with its own legend entries.
  FieldPlot* before = OpenGeneratrixPlot(doc(), 0, frame());
  ASSERT_NE(before, nullptr);
  const double peak = before->Series().samples.empty() ? 0.0 : GeneratrixLargestField(doc().Analysis(), 0).value;
  before->close();
  CalcParameters p = doc().Parameters();
  p.PointsBetweenCPs += 1;  // a different result file for the same sphere
  doc().SetParameters(p);
  SilentProgress quiet;
  ASSERT_TRUE(doc().Calculate(quiet).success);
  FieldPlot* after = OpenGeneratrixPlot(doc(), 0, frame());
  ASSERT_NE(after, nullptr);
  const QStringList offers = after->Offers();
  const int earlier = offers.indexOf(QRegularExpression(QStringLiteral("^образующая 1, расчет до .*")));
  ASSERT_GE(earlier, 0) << offers.join(" | ").toStdString();
  const int lines = after->Chart()->series().size();
  after->AddOffer(earlier);
  ASSERT_EQ(after->Chart()->series().size(), lines + 2);
  EXPECT_TRUE(after->Chart()->series().back()->name().contains(offers[earlier]));
  // The plot's largest field is the pane's.
  bool marked = false;
  for (QAbstractSeries* s : after->Chart()->series())
    marked = marked || s->name().contains(QString::number(GeneratrixLargestField(doc().Analysis(), 0).value, 'g', 5));
  EXPECT_TRUE(marked);
  EXPECT_GT(peak, 0.0);
  // A conductor's inner-side columns are empty too.
  EXPECT_TRUE(after->Csv().split('\n')[1].endsWith(QStringLiteral(",,")));
}

}  // namespace
