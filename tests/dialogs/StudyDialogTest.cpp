// The study dialog: the same numbers as separate runs, a stopped study
// leaves the document as it was, and the exports.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <sstream>

#include "dialogs/CStudyDialog.h"
#include "document/CKalvorDoc.h"
#include "engine/BatchRun.h"
#include "engine/ProgressReporter.h"
#include "model/Arch.h"

namespace {

const char* kSpherePlane =
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 15.000 ; 5.000 ; 90.00000 ; -90.00000 ; 100.000 ; 40 ; 2.0000 ;\n";

CalcParameters Earth() {
  CalcParameters p;
  p.UseEarth = true;
  return p;
}

CSurfColl System(const char* text) {
  FieldCalc calc;
  std::istringstream in(text);
  calc.ReadSystem(in);
  return calc.Generatrices().Clone();
}

bool WaitFinished(CStudyDialog& dlg) {
  QSignalSpy spy(&dlg, &CStudyDialog::studyFinished);
  return !dlg.Running() || spy.wait(120000);
}

TEST(StudyDialog, RowsAreTheNumbersOfSeparateRuns) {
  CStudyDialog dlg(System(kSpherePlane), Earth());
  dlg.SetStudy(0, SweepField::kCy, 12.0, 18.0, 3);
  EXPECT_EQ(dlg.FieldBox()->currentText(), QStringLiteral("Центр Y, см"));
  dlg.Start();
  EXPECT_FALSE(dlg.StartButton()->isEnabled());
  ASSERT_TRUE(WaitFinished(dlg));
  ASSERT_EQ(dlg.Rows().size(), 3u);
  for (int k = 0; k < 3; ++k) {
    FieldCalc calc;
    std::istringstream in(kSpherePlane);
    calc.ReadSystem(in);
    auto arc = calc.Generatrices().At(0)->Clone();
    static_cast<Arch&>(*arc).yc = 12.0 + 3.0 * k;
    calc.ReplaceGeneratrix(0, std::move(arc));
    CalcParameters p = Earth();
    p.SurfaceResults = false;
    p.ControlFilePath = QDir::temp().filePath(QStringLiteral("kalvor-study-test.txt")).toStdString();
    calc.SetParameters(p);
    SilentProgress ui;
    const BatchResult alone = RunBatch(calc, {}, ui);
    ASSERT_TRUE(alone.success);
    const SweepRow& row = dlg.Rows()[static_cast<size_t>(k)];
    ASSERT_TRUE(row.success) << row.error;
    EXPECT_EQ(row.charge[0], alone.analysis.bodies[0].charge);
    EXPECT_EQ(row.maxField[0], alone.analysis.bodies[0].maxField);
    EXPECT_EQ(dlg.Table()->item(k, 1)->text(), QString::number(row.maxField[0], 'g', 7));
  }
  QFile::remove(QDir::temp().filePath(QStringLiteral("kalvor-study-test.txt")));
  // The field falls as the sphere rises.
  EXPECT_GT(dlg.Rows()[0].maxField[0], dlg.Rows()[2].maxField[0]);

  QTemporaryDir dir;
  EXPECT_EQ(dlg.ExportCsv(dir.filePath("s.csv")), QString());
  QFile csv(dir.filePath("s.csv"));
  ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
  EXPECT_TRUE(csv.readLine().startsWith("value,max_field_kv_per_cm_1,max_field_error_kv_per_cm_1,charge_c_1,"));
  for (const char* name : {"s.png", "s.svg"}) {
    EXPECT_EQ(dlg.ExportPicture(dir.filePath(name)), QString());
    EXPECT_GT(QFileInfo(dir.filePath(name)).size(), 1000) << name;
  }
  // A format it cannot write and a folder that is not there: refused, named, nothing written.
  EXPECT_TRUE(dlg.ExportPicture(dir.filePath("s.bmp")).contains(QStringLiteral("s.bmp")));
  EXPECT_FALSE(QFileInfo::exists(dir.filePath("s.bmp")));
  EXPECT_TRUE(dlg.ExportPicture(dir.filePath("none/s.png")).contains(QStringLiteral("none/s.png")));
  CalcParameters rowParams;
  const CSurfColl second = dlg.SystemOfRow(1, rowParams);
  EXPECT_EQ(static_cast<const Arch&>(*second.At(0)).yc, 15.0);
  EXPECT_TRUE(rowParams.UseEarth);
}

TEST(StudyDialog, StoppedStudyLeavesTheDocumentAsItWas) {
  QTemporaryDir dir;
  const QString path = dir.filePath("sphere.txt");
  {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(kSpherePlane);
  }
  CKalvorDoc doc;
  ASSERT_TRUE(doc.OpenDocument(path).opened);
  std::string before;
  for (const auto& e : doc.Generatrices()) before += e->GetText() + "\n";

  CStudyDialog dlg(doc.Generatrices().Clone(), doc.Parameters());
  dlg.SetStudy(0, SweepField::kCount, 2000, 3000, 40);  // long enough to be stopped
  dlg.Start();
  ASSERT_TRUE(dlg.Running());
  dlg.Stop();
  ASSERT_TRUE(WaitFinished(dlg));
  ASSERT_EQ(dlg.Rows().size(), 40u);
  EXPECT_EQ(dlg.Rows().back().errorCode, FieldCalc::kAborted);
  EXPECT_TRUE(dlg.StartButton()->isEnabled());

  std::string after;
  for (const auto& e : doc.Generatrices()) after += e->GetText() + "\n";
  EXPECT_EQ(after, before);
  EXPECT_FALSE(doc.IsModified());
  EXPECT_FALSE(doc.ResultsPresent());
  EXPECT_EQ(doc.UndoStack().count(), 0);
}

TEST(StudyDialog, ClosingWhileRunningStopsTheRuns) {
  auto dlg = std::make_unique<CStudyDialog>(System(kSpherePlane), Earth());
  dlg->SetStudy(-1, SweepField::kExternalField, 0.0, 10.0, 200);
  dlg->Start();
  dlg->reject();  // must not wait for 200 runs
  EXPECT_FALSE(dlg->Running());
  dlg.reset();
}

}  // namespace
