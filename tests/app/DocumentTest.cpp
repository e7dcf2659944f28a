// The document: its values after New and Open, the warnings of a file whose
// reading stops early, atomic saving, and the command-enabling rules.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>

#include "GuiTestSupport.h"
#include "model/Line.h"

namespace {

class DocumentTest : public GuiTest {
 protected:
  CKalvorDoc document;
};

void ExpectValuesAfterNewOrOpen(const CKalvorDoc& d) {
  const CalcSettings& s = d.Settings();
  EXPECT_FALSE(s.TestClosure);
  EXPECT_FALSE(s.ControlCalc);
  EXPECT_FALSE(s.ControlPotentials);
  EXPECT_FALSE(s.DumpMatrix);
  EXPECT_FALSE(s.DumpInverseMatrix);
  EXPECT_TRUE(s.SurfaceResults);
  EXPECT_EQ(s.PointsBetweenCPs, 1);
  EXPECT_FALSE(d.changedSinceCalculation);
  EXPECT_FALSE(d.ResultsPresent());
  EXPECT_FALSE(d.ShowGapCurves());
  EXPECT_FALSE(d.ShowCharges());
  EXPECT_FALSE(d.IsModified());
  EXPECT_EQ(d.Calc().ControlFilePath, s.ResultsFolder + "/ControlCalc.txt");
}

TEST_F(DocumentTest, NewGivesAnEmptySystemWithResultsInTheProgramFolder) {
  document.ToggleCharges();
  document.NewDocument();
  ExpectValuesAfterNewOrOpen(document);
  EXPECT_TRUE(document.Calc().Generatrices.IsEmpty());
  EXPECT_EQ(document.Xmax(), 0);
  EXPECT_EQ(document.Ymax(), 0);
  EXPECT_EQ(QString::fromStdString(document.Settings().ResultsFolder), CKalvorDoc::ProgramFolder());
  EXPECT_EQ(document.Title(), "Kalvor");
  EXPECT_FALSE(document.CanCalculate());
  EXPECT_FALSE(document.CanShowGapCurves());
  EXPECT_FALSE(document.CanShowCharges());
  EXPECT_FALSE(document.CanGapCalculate());
}

TEST_F(DocumentTest, OpenReadsTheSystemAndTakesTheFileFolderForResults) {
  const QString path = WriteFile(dir, "four.txt", kFourGeneratrices);
  document.Settings().DumpMatrix = true;
  document.Settings().PointsBetweenCPs = 7;
  document.MarkEdited();
  QSignalSpy reset(&document, &CKalvorDoc::documentReset);

  const CKalvorDoc::OpenResult r = document.OpenDocument(path);
  ASSERT_TRUE(r.opened);
  EXPECT_TRUE(r.warning.isEmpty());
  EXPECT_EQ(reset.count(), 1);
  ExpectValuesAfterNewOrOpen(document);
  EXPECT_EQ(document.Calc().Generatrices.GetSize(), 4);
  // Max corners: the arc's whole circle (3, 8), the lines up to (14, 12).
  EXPECT_EQ(document.Xmax(), 14);
  EXPECT_EQ(document.Ymax(), 12);
  EXPECT_EQ(QString::fromStdString(document.Settings().ResultsFolder), QDir(dir.path()).absolutePath());
  EXPECT_EQ(document.Calc().ControlFilePath, QDir(dir.path()).absolutePath().toStdString() + "/ControlCalc.txt");
  EXPECT_EQ(document.Title(), "four.txt");
  EXPECT_TRUE(document.CanCalculate());
  EXPECT_TRUE(document.CanShowGapCurves());
  EXPECT_FALSE(document.CanShowCharges());
}

TEST_F(DocumentTest, ABadLineOpensWhatWasReadWithAWarningNamingTheLine) {
  const QByteArray text = QByteArray("// two good lines, then a bad one\n") + kSphere +
                          "De; 3 ; 2 ;4.0 ; 1.0 ;\t\tl; 8.0 ; 0.0 ; 8.0 ; 10.0 ; 20 ; 1.0 ;\n" + "Me; 1 ; 2 ; q ;\n" +
                          kSphere;
  const CKalvorDoc::OpenResult r = document.OpenDocument(WriteFile(dir, "bad.txt", text));
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(document.Calc().Generatrices.GetSize(), 2);
  EXPECT_TRUE(r.warning.contains("Неверный тип образующей поверхности")) << r.warning.toStdString();
  EXPECT_TRUE(r.warning.contains("Строка файла: 4")) << r.warning.toStdString();
}

TEST_F(DocumentTest, AFileWithoutElementLinesOpensEmptyWithAWarning) {
  const CKalvorDoc::OpenResult r = document.OpenDocument(WriteFile(dir, "empty.txt", "// nothing\n"));
  ASSERT_TRUE(r.opened);
  EXPECT_TRUE(document.Calc().Generatrices.IsEmpty());
  EXPECT_TRUE(r.warning.contains("В файле исходных данных не найдены строки")) << r.warning.toStdString();
}

TEST_F(DocumentTest, AFileThatCannotBeReadLeavesTheDocumentAsItWas) {
  ASSERT_TRUE(document.OpenDocument(WriteFile(dir, "four.txt", kFourGeneratrices)).opened);
  document.MarkEdited();
  const CKalvorDoc::OpenResult r = document.OpenDocument(dir.filePath("missing.txt"));
  EXPECT_FALSE(r.opened);
  EXPECT_FALSE(r.error.isEmpty());
  EXPECT_EQ(document.Calc().Generatrices.GetSize(), 4);
  EXPECT_TRUE(document.IsModified());
  EXPECT_EQ(document.Title(), "four.txt");
}

TEST_F(DocumentTest, SaveWritesTheSystemAndOpeningItRestoresIt) {
  const QString source = WriteFile(dir, "four.txt", kFourGeneratrices);
  ASSERT_TRUE(document.OpenDocument(source).opened);
  document.MarkEdited();
  const QString copy = dir.filePath("copy.txt");
  EXPECT_TRUE(document.SaveDocument(copy).isEmpty());
  EXPECT_FALSE(document.IsModified());
  EXPECT_EQ(document.Title(), "copy.txt");
  EXPECT_EQ(ReadFile(copy), QByteArray(kFourGeneratrices));
  ASSERT_TRUE(document.OpenDocument(copy).opened);
  EXPECT_EQ(document.Calc().Generatrices.GetSize(), 4);
}

TEST_F(DocumentTest, AFailedSaveKeepsTheOldFile) {
  const QString path = WriteFile(dir, "keep.txt", "old contents\n");
  ASSERT_TRUE(document.OpenDocument(WriteFile(dir, "four.txt", kFourGeneratrices)).opened);
  document.MarkEdited();
  // The folder cannot take the temporary file the atomic save writes first.
  QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  const bool writable = QFileInfo(dir.path()).isWritable();  // root ignores permissions
  const QString error = document.SaveDocument(path);
  QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  if (writable) GTEST_SKIP() << "permissions are not enforced for this user";
  EXPECT_FALSE(error.isEmpty());
  EXPECT_TRUE(document.IsModified());
  EXPECT_EQ(ReadFile(path), QByteArray("old contents\n"));
}

TEST_F(DocumentTest, SavingIntoAMissingFolderFailsWithAReason) {
  ASSERT_TRUE(document.OpenDocument(WriteFile(dir, "four.txt", kFourGeneratrices)).opened);
  const QString error = document.SaveDocument(dir.filePath("no/such/folder/x.txt"));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_EQ(document.Title(), "four.txt");
}

TEST_F(DocumentTest, GapCurvesSurviveNewAndOpen) {
  SurfParams p;
  p.innerRegion = 2;
  p.pointCount = 4;
  document.Calc().GapCurves.Append(std::make_unique<Line>(p, 0, 0, 10, 0));
  document.NewDocument();
  ASSERT_TRUE(document.OpenDocument(WriteFile(dir, "four.txt", kFourGeneratrices)).opened);
  EXPECT_EQ(document.Calc().GapCurves.GetSize(), 1);
  // No results yet: the gap calculation stays disabled.
  EXPECT_FALSE(document.CanGapCalculate());
}

TEST_F(DocumentTest, EditsMarkTheDocumentAndTogglesFlip) {
  QSignalSpy modified(&document, &CKalvorDoc::modifiedChanged);
  document.MarkEdited();
  EXPECT_TRUE(document.IsModified());
  EXPECT_TRUE(document.changedSinceCalculation);
  EXPECT_EQ(modified.count(), 1);
  document.ToggleGapCurves();
  EXPECT_TRUE(document.ShowGapCurves());
  document.ToggleGapCurves();
  EXPECT_FALSE(document.ShowGapCurves());
}

}  // namespace
