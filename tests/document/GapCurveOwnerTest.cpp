// Gap curves stay in memory across New and Open, but belong to the system
// they were loaded or edited for: only that system's parameters file gets
// them.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <fstream>

#include "DocumentTestSupport.h"
#include "document/CKalvorDoc.h"
#include "document/SystemSidecar.h"
#include "engine/GapCurves.h"

namespace {

class GapCurveOwnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.isValid());
    for (const char* name : {"rod-support.txt", "rod-support.txt.kalvor.ini", "rod-support.gap.txt",
                             "sphere-plane.txt", "sphere-plane.txt.kalvor.ini"})
      ASSERT_TRUE(QFile::copy(QStringLiteral(KALVOR_EXAMPLES_DIR "/") + name, Path(name))) << name;
  }
  QString Path(const char* name) const { return dir.path() + '/' + name; }
  // The curves of the file, as the gap curves dialog loads them.
  CSurfColl CurvesOf(const char* name) const {
    CSurfColl curves;
    std::ifstream in(Path(name).toStdString());
    LoadGapCurves(curves, in);
    return curves;
  }
  sidecar::Contents Saved(const char* system) const { return sidecar::Read(Path(system), CalcParameters{}); }

  QTemporaryDir dir;
  CKalvorDoc document;
};

TEST_F(GapCurveOwnerTest, CurvesOfOneSystemDoNotLeakIntoAnotherSystemsParametersFile) {
  ASSERT_TRUE(document.OpenDocument(Path("rod-support.txt")).opened);
  document.SetGapCurves(CurvesOf("rod-support.gap.txt"));
  ASSERT_EQ(document.GapCurves().GetSize(), 3);
  ASSERT_TRUE(document.OpenDocument(Path("sphere-plane.txt")).opened);
  EXPECT_EQ(document.GapCurves().GetSize(), 3);  // kept in memory across Open
  CalcParameters p = document.Parameters();
  p.PointsBetweenCPs = 2;
  document.SetParameters(p);
  ASSERT_EQ(document.SaveDocument(Path("sphere-plane.txt")), QString());

  const sidecar::Contents sphere = Saved("sphere-plane.txt");
  ASSERT_TRUE(sphere.found);
  EXPECT_EQ(sphere.parameters.PointsBetweenCPs, 2);
  EXPECT_TRUE(sphere.parameters.UseEarth);  // the system's own parameters stay
  EXPECT_EQ(sphere.gapCurves.GetSize(), 0);
  EXPECT_FALSE(sphere.hasGapCurves);
  // Opening it again keeps whatever curves are in memory, as any Open does.
  ASSERT_TRUE(document.OpenDocument(Path("sphere-plane.txt")).opened);
  EXPECT_EQ(document.GapCurves().GetSize(), 3);
}

TEST_F(GapCurveOwnerTest, CurvesGoWithTheSystemTheyWereLoadedOrEditedFor) {
  // Loaded for rod-support: saved with it, and with its copy under a new name.
  ASSERT_TRUE(document.OpenDocument(Path("rod-support.txt")).opened);
  document.SetGapCurves(CurvesOf("rod-support.gap.txt"));
  ASSERT_EQ(document.SaveDocument(Path("rod-support.txt")), QString());
  EXPECT_EQ(Saved("rod-support.txt").gapCurves.GetSize(), 3);
  ASSERT_EQ(document.SaveDocument(Path("rod-copy.txt")), QString());
  EXPECT_EQ(Saved("rod-copy.txt").gapCurves.GetSize(), 3);

  // Reopened from its file, rod-support owns them again.
  ASSERT_TRUE(document.OpenDocument(Path("rod-support.txt")).opened);
  ASSERT_EQ(document.SaveDocument(Path("rod-support.txt")), QString());
  EXPECT_EQ(Saved("rod-support.txt").gapCurves.GetSize(), 3);

  // Edited while sphere-plane is open: now they are sphere-plane's; undoing
  // the edit gives back rod-support's curves and ownership.
  ASSERT_TRUE(document.OpenDocument(Path("sphere-plane.txt")).opened);
  CSurfColl one = CurvesOf("rod-support.gap.txt");
  one.RemoveElement(2);
  one.RemoveElement(1);
  document.SetGapCurves(std::move(one));
  ASSERT_EQ(document.SaveDocument(Path("sphere-plane.txt")), QString());
  EXPECT_EQ(Saved("sphere-plane.txt").gapCurves.GetSize(), 1);
  document.UndoStack().undo();
  EXPECT_EQ(document.GapCurves().GetSize(), 3);
  ASSERT_EQ(document.SaveDocument(Path("sphere-plane.txt")), QString());
  EXPECT_FALSE(Saved("sphere-plane.txt").hasGapCurves);

  // A new system's own curves follow it into its first file.
  document.NewDocument();
  CSurfColl two = CurvesOf("rod-support.gap.txt");
  two.RemoveElement(0);
  document.SetGapCurves(std::move(two));
  ASSERT_EQ(document.SaveDocument(Path("new.txt")), QString());
  EXPECT_EQ(Saved("new.txt").gapCurves.GetSize(), 2);
}

}  // namespace
