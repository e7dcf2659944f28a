// The field picture computes from the document's snapshot of the solution:
// editing, undoing and saving while it runs neither wait for it nor race it
// (the thread-sanitized run of this test is the proof), the picture it
// finishes is that of the snapshot, and only a dropped solution stops it.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <cmath>
#include <functional>

#include "app/FrameCommands.h"
#include "app/GuiTestSupport.h"
#include "engine/FieldMap.h"
#include "engine/PlaneRegions.h"
#include "engine/ProgressReporter.h"
#include "engine/SolutionSnapshot.h"
#include "views/CKalvorView.h"
#include "views/FieldPicture.h"

namespace {

bool WaitFor(const std::function<bool()>& done, int ms = 120000) {
  for (int t = 0; t < ms; t += 10) {
    if (done()) return true;
    QTest::qWait(10);
  }
  return done();
}

class PictureSnapshotTest : public GuiTest {
 protected:
  FieldPicture& picture() { return frame()->GeometryView()->Picture(); }

  // A new (unsaved) system: one sphere with enough charges that the picture
  // takes a while, solved. Its results folder is the program's until it is
  // saved; nothing is written there.
  void SolveNewSphere() {
    Start();
    ASSERT_TRUE(frame()->OpenFile(WriteFile(dir, "sphere.txt", kSphere)));
    std::unique_ptr<SurfData> sphere = doc().Generatrices().At(0)->Clone();
    sphere->pointCount = 600;
    doc().NewDocument();
    doc().AddGeneratrix(std::move(sphere));
    CalcParameters p = doc().Parameters();
    p.SurfaceResults = false;
    p.ControlFilePath = (dir.path() + QStringLiteral("/ControlCalc.txt")).toStdString();
    doc().SetParameters(p);
    SilentProgress quiet;
    ASSERT_TRUE(doc().Calculate(quiet).success);
    ASSERT_NE(doc().Solution(), nullptr);
  }
  void ShowEverything(int linesPerElectrode = 10) {
    FieldPictureOptions o;
    o.showMap = o.showEquipotentials = o.showFieldLines = true;
    o.linesPerElectrode = linesPerElectrode;
    picture().SetOptions(o);
    ASSERT_TRUE(WaitFor([&] { return picture().Running(); }, 10000));
  }
};

TEST_F(PictureSnapshotTest, EditingUndoingAndSavingWhileThePictureIsComputedKeepItsSolution) {
  SolveNewSphere();
  const std::shared_ptr<const SolutionSnapshot> solution = doc().Solution();
  ShowEverything();

  // Output-only changes and their undo, a mark, and the first save (which
  // moves the results folder beside the file) write the engine while the
  // worker reads: the solution and its snapshot stay.
  CalcParameters p = doc().Parameters();
  p.PointsBetweenCPs = 3;
  doc().SetParameters(p);
  doc().UndoStack().undo();
  doc().ToggleMarked(0);
  const QString saved = dir.path() + QStringLiteral("/saved.txt");
  ASSERT_EQ(doc().SaveDocument(saved), QString());
  EXPECT_EQ(doc().Parameters().ResultsFolder, QFileInfo(saved).absolutePath().toStdString());
  EXPECT_EQ(doc().Solution(), solution);
  EXPECT_TRUE(picture().Active());

  // The picture goes on to the end and shows the solution's own numbers.
  ASSERT_TRUE(WaitFor([&] { return picture().Map().Complete() && !picture().Lines().empty() && !picture().Running(); }));
  const FieldMap& map = picture().Map();
  const PlaneRegions regions(doc().Calc());
  int compared = 0;
  for (int j = 0; j < map.Height(); j += 17)
    for (int i = 0; i < map.Width(); i += 13) {
      const MapPoint live = EvaluatePoint(doc().Calc(), regions, map.X(i), map.Y(j));
      if (live.conductor) continue;
      EXPECT_NEAR(map.At(i, j).phi, live.phi, 1e-12 * (1.0 + std::fabs(live.phi))) << i << ',' << j;
      ++compared;
    }
  EXPECT_GT(compared, 10);
}

TEST_F(PictureSnapshotTest, AnEditWhileThePictureIsComputedStopsItAndUndoDoesNotRestartIt) {
  SolveNewSphere();
  ShowEverything();
  // An edit discards the solution: the worker stops, the picture is cleared.
  std::unique_ptr<SurfData> moved = doc().Generatrices().At(0)->Clone();
  moved->pointCount = 500;
  ASSERT_TRUE(doc().ReplaceGeneratrix(0, std::move(moved)));
  EXPECT_EQ(doc().Solution(), nullptr);
  EXPECT_FALSE(picture().Running());
  EXPECT_FALSE(picture().Active());
  EXPECT_EQ(picture().Map().Width(), 0);
  // Undo brings the sphere back, not the results; saving goes on.
  doc().UndoStack().undo();
  EXPECT_EQ(doc().Generatrices().At(0)->pointCount, 600);
  EXPECT_EQ(doc().Solution(), nullptr);
  EXPECT_FALSE(picture().Running());
  ASSERT_EQ(doc().SaveDocument(dir.path() + QStringLiteral("/after-undo.txt")), QString());

  // A new calculation while a picture runs replaces the snapshot and starts
  // again on the new one.
  SilentProgress quiet;
  ASSERT_TRUE(doc().Calculate(quiet).success);
  const std::shared_ptr<const SolutionSnapshot> first = doc().Solution();
  ASSERT_TRUE(WaitFor([&] { return picture().Running(); }, 10000));
  ASSERT_TRUE(doc().Calculate(quiet).success);
  EXPECT_NE(doc().Solution(), first);
  ASSERT_TRUE(WaitFor([&] { return picture().Map().Complete() && !picture().Running(); }));
}

}  // namespace
