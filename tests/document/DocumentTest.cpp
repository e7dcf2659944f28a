// The document: its values after New and Open, the warnings of a file whose
// reading stops early, atomic saving, the command-enabling rules, and what
// each change does to the modified mark and to the results of the last run.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>

#include "DocumentTestSupport.h"
#include "document/CKalvorDoc.h"
#include "engine/GapCurves.h"
#include "engine/ProgressReporter.h"
#include "model/Line.h"

namespace {

class DocumentTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.isValid()); }

  // Opens the sphere with its results in the temporary folder and
  // calculates it.
  void Solve() {
    ASSERT_TRUE(document.OpenDocument(WriteFile(dir, "sphere.txt", kSphere)).opened);
    SilentProgress quiet;
    ASSERT_TRUE(document.Calculate(quiet).success);
    ASSERT_TRUE(document.ResultsPresent());
    CSurfColl curves;
    curves.Append(MakeGapLine(2, 4, 0, 0, 10, 0));
    document.SetGapCurves(std::move(curves));
    ASSERT_TRUE(document.CanGapCalculate());
    ASSERT_TRUE(document.CanShowCharges());
  }
  void ExpectResultsDiscarded() {
    EXPECT_FALSE(document.ResultsPresent());
    EXPECT_FALSE(document.CanGapCalculate());
    EXPECT_FALSE(document.CanShowCharges());
    EXPECT_TRUE(document.Calc().Charges().empty());
    SilentProgress quiet;
    EXPECT_EQ(document.GapCalculate(quiet), -1);
  }

  QTemporaryDir dir;
  CKalvorDoc document;
};

void ExpectValuesAfterNewOrOpen(const CKalvorDoc& d) {
  const CalcParameters& s = d.Parameters();
  EXPECT_FALSE(s.TestClosure);
  EXPECT_FALSE(s.ControlCalc);
  EXPECT_FALSE(s.ControlPotentials);
  EXPECT_FALSE(s.DumpMatrix);
  EXPECT_FALSE(s.DumpInverseMatrix);
  EXPECT_TRUE(s.SurfaceResults);
  EXPECT_EQ(s.PointsBetweenCPs, 1);
  EXPECT_FALSE(d.ChangedSinceCalculation());
  EXPECT_FALSE(d.ResultsPresent());
  EXPECT_FALSE(d.ShowGapCurves());
  EXPECT_FALSE(d.ShowCharges());
  EXPECT_FALSE(d.IsModified());
  EXPECT_EQ(s.ControlFilePath, s.ResultsFolder + "/ControlCalc.txt");
}

TEST_F(DocumentTest, NewGivesAnEmptySystemWithResultsInTheProgramFolder) {
  document.ToggleCharges();
  document.NewDocument();
  ExpectValuesAfterNewOrOpen(document);
  EXPECT_TRUE(document.Generatrices().IsEmpty());
  EXPECT_EQ(document.Xmax(), 0);
  EXPECT_EQ(document.Ymax(), 0);
  EXPECT_EQ(QString::fromStdString(document.Parameters().ResultsFolder), CKalvorDoc::ProgramFolder());
  EXPECT_EQ(document.Title(), "Kalvor");
  EXPECT_FALSE(document.CanCalculate());
  EXPECT_FALSE(document.CanShowGapCurves());
  EXPECT_FALSE(document.CanShowCharges());
  EXPECT_FALSE(document.CanGapCalculate());
}

TEST_F(DocumentTest, OpenReadsTheSystemAndTakesTheFileFolderForResults) {
  const QString path = WriteFile(dir, "four.txt", kFourGeneratrices);
  CalcParameters p = document.Parameters();
  p.DumpMatrix = true;
  p.PointsBetweenCPs = 7;
  document.SetParameters(p);
  QSignalSpy reset(&document, &CKalvorDoc::documentReset);

  const CKalvorDoc::OpenResult r = document.OpenDocument(path);
  ASSERT_TRUE(r.opened);
  EXPECT_TRUE(r.warning.isEmpty());
  EXPECT_EQ(reset.count(), 1);
  ExpectValuesAfterNewOrOpen(document);
  EXPECT_EQ(document.Generatrices().GetSize(), 4);
  // Max corners: the arc's whole circle (3, 8), the lines up to (14, 12).
  EXPECT_EQ(document.Xmax(), 14);
  EXPECT_EQ(document.Ymax(), 12);
  EXPECT_EQ(QString::fromStdString(document.Parameters().ResultsFolder), QDir(dir.path()).absolutePath());
  EXPECT_EQ(document.Parameters().ControlFilePath, QDir(dir.path()).absolutePath().toStdString() + "/ControlCalc.txt");
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
  EXPECT_EQ(document.Generatrices().GetSize(), 2);
  EXPECT_TRUE(r.warning.contains("Неверный тип образующей поверхности")) << r.warning.toStdString();
  EXPECT_TRUE(r.warning.contains("Строка файла: 4")) << r.warning.toStdString();
}

TEST_F(DocumentTest, AFileWithoutElementLinesOpensEmptyWithAWarning) {
  const CKalvorDoc::OpenResult r = document.OpenDocument(WriteFile(dir, "empty.txt", "// nothing\n"));
  ASSERT_TRUE(r.opened);
  EXPECT_TRUE(document.Generatrices().IsEmpty());
  EXPECT_TRUE(r.warning.contains("В файле исходных данных не найдены строки")) << r.warning.toStdString();
}

TEST_F(DocumentTest, AFileThatCannotBeReadLeavesTheDocumentAsItWas) {
  ASSERT_TRUE(document.OpenDocument(WriteFile(dir, "four.txt", kFourGeneratrices)).opened);
  ASSERT_TRUE(document.RemoveGeneratrix(3));
  const CKalvorDoc::OpenResult r = document.OpenDocument(dir.filePath("missing.txt"));
  EXPECT_FALSE(r.opened);
  EXPECT_FALSE(r.error.isEmpty());
  EXPECT_EQ(document.Generatrices().GetSize(), 3);
  EXPECT_TRUE(document.IsModified());
  EXPECT_EQ(document.Title(), "four.txt");
}

TEST_F(DocumentTest, SaveWritesTheSystemAndOpeningItRestoresIt) {
  const QString source = WriteFile(dir, "four.txt", kFourGeneratrices);
  ASSERT_TRUE(document.OpenDocument(source).opened);
  ASSERT_TRUE(document.ToggleMarked(0));
  ASSERT_TRUE(document.ToggleMarked(0));
  ASSERT_TRUE(document.ReplaceGeneratrix(0, document.Generatrices()[0]->Clone()));
  const QString copy = dir.filePath("copy.txt");
  EXPECT_TRUE(document.SaveDocument(copy).isEmpty());
  EXPECT_FALSE(document.IsModified());
  EXPECT_EQ(document.Title(), "copy.txt");
  EXPECT_EQ(ReadFile(copy), QByteArray(kFourGeneratrices));
  ASSERT_TRUE(document.OpenDocument(copy).opened);
  EXPECT_EQ(document.Generatrices().GetSize(), 4);
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
  CSurfColl curves;
  curves.Append(std::make_unique<Line>(p, 0, 0, 10, 0));
  document.SetGapCurves(std::move(curves));
  EXPECT_TRUE(document.IsModified());  // an undoable change, saved beside the system
  document.UndoStack().undo();
  EXPECT_FALSE(document.IsModified());
  document.UndoStack().redo();
  document.NewDocument();
  ASSERT_TRUE(document.OpenDocument(WriteFile(dir, "four.txt", kFourGeneratrices)).opened);
  EXPECT_EQ(document.GapCurves().GetSize(), 1);
  // No results yet: the gap calculation stays disabled.
  EXPECT_FALSE(document.CanGapCalculate());
}

TEST_F(DocumentTest, EditsMarkTheDocumentAndTogglesFlip) {
  ASSERT_TRUE(document.OpenDocument(WriteFile(dir, "four.txt", kFourGeneratrices)).opened);
  QSignalSpy modified(&document, &CKalvorDoc::modifiedChanged);
  QSignalSpy added(&document, &CKalvorDoc::generatrixAdded);
  EXPECT_FALSE(document.ToggleMarked(7));
  EXPECT_TRUE(document.ToggleMarked(1));  // a selection, not an edit
  EXPECT_FALSE(document.IsModified());
  EXPECT_EQ(document.AddGeneratrix(document.Generatrices()[1]->Clone()), 4);
  EXPECT_EQ(added.count(), 1);
  EXPECT_TRUE(document.IsModified());
  EXPECT_TRUE(document.ChangedSinceCalculation());
  EXPECT_EQ(modified.count(), 1);
  EXPECT_FALSE(document.RemoveGeneratrix(5));
  EXPECT_FALSE(document.ReplaceGeneratrix(-1, document.Generatrices()[0]->Clone()));
  document.ToggleGapCurves();
  EXPECT_TRUE(document.ShowGapCurves());
  document.ToggleGapCurves();
  EXPECT_FALSE(document.ShowGapCurves());
}

// Regression: the gap calculation mixed the old charges with a new external
// field, since the field is read live when the gap files are written.
TEST_F(DocumentTest, ParameterChangeAfterASolveDisablesTheGapCalculationUntilTheNextRun) {
  Solve();
  QSignalSpy results(&document, &CKalvorDoc::resultsChanged);
  CalcParameters p = document.Parameters();
  p.PointsBetweenCPs = 3;  // output only: the results hold
  p.ControlCalc = true;
  document.SetParameters(p);
  EXPECT_TRUE(document.CanGapCalculate());
  EXPECT_EQ(results.count(), 0);

  p.ExternalField = 5.0;
  document.SetParameters(p);
  ExpectResultsDiscarded();
  EXPECT_TRUE(document.Analysis().bodies.empty());
  EXPECT_EQ(results.count(), 1);

  SilentProgress quiet;
  ASSERT_TRUE(document.Calculate(quiet).success);
  EXPECT_TRUE(document.CanGapCalculate());
  EXPECT_EQ(document.LastRun().parameters.ExternalField, 5.0);
  // What the run is worth comes with it: one body, the sphere at its 10 kV.
  ASSERT_EQ(document.Analysis().bodies.size(), 1u);
  EXPECT_NEAR(document.Analysis().bodies[0].potential, 10.0, 1e-9);

  p.UseEarth = true;
  document.SetParameters(p);
  ExpectResultsDiscarded();
}

// Regression: deleting or editing a generatrix after a calculation left its
// charges on show and the gap calculation running on the old solution.
TEST_F(DocumentTest, DeleteOrEditAfterASolveDiscardsTheResults) {
  Solve();
  ASSERT_TRUE(document.RemoveGeneratrix(0));
  ExpectResultsDiscarded();

  Solve();
  auto edited = document.Generatrices()[0]->Clone();
  edited->pointCount = 30;
  ASSERT_TRUE(document.ReplaceGeneratrix(0, std::move(edited)));
  ExpectResultsDiscarded();
  EXPECT_TRUE(document.IsModified());

  Solve();
  ASSERT_EQ(document.AddGeneratrix(document.Generatrices()[0]->Clone()), 1);
  ExpectResultsDiscarded();
}

// Every change is a command: undo and redo give back the same system, in
// the same order, and undoing to the saved state clears the modified mark.
TEST_F(DocumentTest, EveryChangeIsUndoneAndRedoneAndTheSavedStateIsClean) {
  ASSERT_TRUE(document.OpenDocument(WriteFile(dir, "four.txt", kFourGeneratrices)).opened);
  auto texts = [this] {
    std::vector<std::string> t;
    for (const auto& g : document.Generatrices()) t.push_back(g->GetText());
    return t;
  };
  const auto original = texts();
  QUndoStack& stack = document.UndoStack();
  EXPECT_FALSE(stack.canUndo());

  EXPECT_EQ(document.AddGeneratrix(document.Generatrices()[1]->Clone()), 4);
  stack.undo();
  EXPECT_EQ(texts(), original);
  EXPECT_FALSE(document.IsModified());
  stack.redo();
  EXPECT_EQ(document.Generatrices().GetSize(), 5);
  EXPECT_TRUE(document.IsModified());
  stack.undo();

  // A deleted generatrix comes back in its place, with the views told where.
  QSignalSpy added(&document, &CKalvorDoc::generatrixAdded);
  ASSERT_TRUE(document.RemoveGeneratrix(1));
  stack.undo();
  EXPECT_EQ(texts(), original);
  ASSERT_EQ(added.count(), 1);
  EXPECT_EQ(added[0][0].toInt(), 1);

  auto edited = document.Generatrices()[0]->Clone();
  edited->pointCount = 30;
  ASSERT_TRUE(document.ReplaceGeneratrix(0, std::move(edited)));
  stack.undo();
  EXPECT_EQ(texts(), original);
  stack.redo();
  EXPECT_EQ(document.Generatrices()[0]->pointCount, 30);

  CalcParameters p = document.Parameters();
  p.ExternalField = 5.0;
  document.SetParameters(p);
  stack.undo();
  EXPECT_EQ(document.Parameters().ExternalField, 0.0);

  CSurfColl curves;
  curves.Append(MakeGapLine(2, 4, 0, 0, 10, 0));
  document.SetGapCurves(std::move(curves));
  stack.undo();
  EXPECT_TRUE(document.GapCurves().IsEmpty());
  stack.redo();
  EXPECT_EQ(document.GapCurves().GetSize(), 1);

  // Saved here: undoing leaves the saved state, redoing returns to it.
  ASSERT_TRUE(document.SaveDocument(dir.filePath("saved.txt")).isEmpty());
  EXPECT_FALSE(document.IsModified());
  stack.undo();
  EXPECT_TRUE(document.IsModified());
  stack.redo();
  EXPECT_FALSE(document.IsModified());

  // Nothing to undo across documents.
  document.NewDocument();
  EXPECT_FALSE(stack.canUndo());
}

// Undoing a change that discarded the results does not bring them back.
TEST_F(DocumentTest, UndoAfterASolveKeepsTheResultsDiscarded) {
  Solve();
  ASSERT_TRUE(document.RemoveGeneratrix(0));
  document.UndoStack().undo();
  EXPECT_EQ(document.Generatrices().GetSize(), 1);
  ExpectResultsDiscarded();
}

// The user's notes in a system file survive a save where they were; a file
// read only in part is known to be longer than what would be saved.
TEST_F(DocumentTest, CommentLinesAreSavedWhereTheyWere) {
  const QByteArray sphere(kSphere);
  const QByteArray text = "// electrode of the test rig\n" + sphere + "// below: the same sphere again\n" + sphere +
                          "// end\n";
  const QString path = WriteFile(dir, "notes.txt", text);
  ASSERT_TRUE(document.OpenDocument(path).opened);
  EXPECT_EQ(document.Comments().size(), 3u);
  EXPECT_EQ(document.StoppedAtLine(), 0);
  ASSERT_TRUE(document.SaveDocument(path).isEmpty());
  EXPECT_EQ(ReadFile(path), text);

  const QString partial = WriteFile(dir, "partial.txt", sphere + "// kept\nQq; nonsense\n// lost\n" + sphere);
  ASSERT_TRUE(document.OpenDocument(partial).opened);
  EXPECT_EQ(document.StoppedAtLine(), 3);
  EXPECT_EQ(document.Comments().size(), 1u);
}

// The parameters and gap curves travel with the system in FILE.kalvor.ini;
// the system file itself keeps its format.
TEST_F(DocumentTest, ParametersAndGapCurvesAreSavedBesideTheSystemAndRestored) {
  const QString path = WriteFile(dir, "sphere.txt", kSphere);
  ASSERT_TRUE(document.OpenDocument(path).opened);
  CalcParameters p = document.Parameters();
  p.ExternalField = 2.5;
  p.UseEarth = true;
  p.TestClosure = true;
  p.Precise = true;
  p.Capacitance = true;
  p.ControlCalc = true;
  p.DumpMatrix = true;
  p.SurfaceResults = false;
  p.PointsBetweenCPs = 7;
  p.ResultsFolder = QDir(dir.path()).absoluteFilePath("results").toStdString();
  p.ControlFilePath = "/tmp/elsewhere/ctl.txt";
  p.Inception.Enabled = true;
  p.Inception.Gas = QDir(dir.path()).absoluteFilePath("gases/sf6-n2.tab").toStdString();
  p.Inception.PressureBar = 3.5;
  p.Inception.TemperatureC = 40;
  p.Inception.K = 10.2;
  document.SetParameters(p);
  CSurfColl curves;
  curves.Append(MakeGapLine(2, 4, 0, 0, 10, 0));
  curves.Append(MakeGapArch(2, 5, 0, 10, 7, 90, -90));
  document.SetGapCurves(std::move(curves));
  ASSERT_TRUE(document.SaveDocument(path).isEmpty());
  EXPECT_EQ(ReadFile(path), QByteArray(kSphere));
  EXPECT_TRUE(QFileInfo::exists(path + ".kalvor.ini"));

  document.NewDocument();
  ASSERT_TRUE(document.OpenDocument(path).opened);
  EXPECT_EQ(document.Parameters(), p);
  ASSERT_EQ(document.GapCurves().GetSize(), 2);
  EXPECT_EQ(document.GapCurves()[1]->pointCount, 5);
  EXPECT_FALSE(document.IsModified());
}

// The shipped examples open with the parameters they are meant for.
TEST_F(DocumentTest, TheExamplesOpenWithTheirOwnParameters) {
  const QString examples = QStringLiteral(KALVOR_EXAMPLES_DIR);
  ASSERT_TRUE(document.OpenDocument(examples + "/sphere-plane.txt").opened);
  EXPECT_TRUE(document.Parameters().UseEarth);
  EXPECT_EQ(QString::fromStdString(document.Parameters().ResultsFolder), QDir(examples).absolutePath());
  ASSERT_TRUE(document.OpenDocument(examples + "/floating-sphere.txt").opened);
  EXPECT_FALSE(document.Parameters().UseEarth);
  EXPECT_EQ(document.Parameters().ExternalField, 10.0);
}

TEST_F(DocumentTest, ANewSystemPutsItsResultsWhereItIsSaved) {
  document.NewDocument();
  document.AddGeneratrix(MakeGapLine(2, 4, 0, 0, 10, 0));
  const QString path = dir.filePath("new.txt");
  ASSERT_TRUE(document.SaveDocument(path).isEmpty());
  const std::string folder = QFileInfo(path).absolutePath().toStdString();
  EXPECT_EQ(document.Parameters().ResultsFolder, folder);
  EXPECT_EQ(document.Parameters().ControlFilePath, ControlFileIn(folder));
}

}  // namespace
