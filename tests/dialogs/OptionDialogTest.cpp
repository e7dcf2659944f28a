// The calculation-parameters dialog: the eleven values go in and come back
// unchanged through OK, Cancel changes nothing, a page is checked when its
// tab is left, and "Не производить расчет" drives the enabling.
#include <QCheckBox>
#include <QTabWidget>
#include <QToolButton>

#include "DialogTestSupport.h"
#include "dialogs/CCalcParam.h"
#include "dialogs/CFinalResult.h"
#include "dialogs/COptionDialog.h"
#include "dialogs/CSaveCtrlData.h"
#include "dialogs/UpDownControl.h"

namespace {

using OptionDialog = RecordedMessages;

void SetAll(COptionDialog& d) {
  d.ExternalField = -12.5;
  d.UseEarth = true;
  d.TestClosure = false;
  d.Precise = true;
  d.SkipControlCalc = true;
  d.DumpMatrix = false;
  d.DumpInverseMatrix = true;
  d.ControlPotentials = true;
  d.ControlFilePath = "/tmp/run/ControlCalc.txt";
  d.SkipFinalResults = false;
  d.PointsBetweenCPs = 7;
  d.ResultsFolder = "/tmp/run";
}

void ExpectAll(const COptionDialog& d) {
  EXPECT_EQ(d.ExternalField, -12.5);
  EXPECT_TRUE(d.UseEarth);
  EXPECT_FALSE(d.TestClosure);
  EXPECT_TRUE(d.Precise);
  EXPECT_TRUE(d.Capacitance);  // on by default, as in kalvor-calc
  EXPECT_TRUE(d.SkipControlCalc);
  EXPECT_FALSE(d.DumpMatrix);
  EXPECT_TRUE(d.DumpInverseMatrix);
  EXPECT_TRUE(d.ControlPotentials);
  EXPECT_EQ(d.ControlFilePath, "/tmp/run/ControlCalc.txt");
  EXPECT_FALSE(d.SkipFinalResults);
  EXPECT_EQ(d.PointsBetweenCPs, 7);
  EXPECT_EQ(d.ResultsFolder, "/tmp/run");
}

TEST_F(OptionDialog, OkWithoutChangesKeepsAllElevenValues) {
  COptionDialog dlg;
  SetAll(dlg);
  Open(dlg);
  EXPECT_EQ(dlg.windowTitle(), "Параметры расчета");
  EXPECT_EQ(dlg.Tabs()->currentIndex(), COptionDialog::kCalcTab);
  EXPECT_EQ(dlg.Tabs()->tabText(1), "Файл контр. расчета");
  EXPECT_EQ(dlg.CalcPage()->ExternalFieldEdit()->text(), "-12.5");
  EXPECT_TRUE(dlg.CalcPage()->UseEarthBox()->isChecked());
  // Visit every page, then OK.
  dlg.Tabs()->setCurrentIndex(COptionDialog::kControlTab);
  dlg.Tabs()->setCurrentIndex(COptionDialog::kResultsTab);
  ASSERT_TRUE(PressOk(dlg));
  ExpectAll(dlg);

  COptionDialog untouched;
  SetAll(untouched);
  Open(untouched);
  ASSERT_TRUE(PressOk(untouched));
  ExpectAll(untouched);
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(OptionDialog, CancelChangesNothingAndShowsNoMessage) {
  COptionDialog dlg;
  SetAll(dlg);
  Open(dlg);
  dlg.CalcPage()->ExternalFieldEdit()->setText("2000");
  dlg.CalcPage()->UseEarthBox()->setChecked(false);
  CancelButton(dlg)->click();
  EXPECT_EQ(dlg.result(), QDialog::Rejected);
  EXPECT_TRUE(messages.isEmpty());
  ExpectAll(dlg);
}

TEST_F(OptionDialog, InvalidPageKeepsItsTab) {
  COptionDialog dlg;
  SetAll(dlg);
  Open(dlg);
  dlg.CalcPage()->ExternalFieldEdit()->setText("2000");
  dlg.Tabs()->setCurrentIndex(COptionDialog::kResultsTab);
  EXPECT_EQ(dlg.Tabs()->currentIndex(), COptionDialog::kCalcTab);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains("от -1000 до 1000")) << messages[0].toStdString();
  EXPECT_EQ(dlg.focusWidget(), dlg.CalcPage()->ExternalFieldEdit());
  EXPECT_FALSE(PressOk(dlg));
  EXPECT_EQ(messages.size(), 2);

  dlg.CalcPage()->ExternalFieldEdit()->setText("1000");
  dlg.Tabs()->setCurrentIndex(COptionDialog::kResultsTab);
  EXPECT_EQ(dlg.Tabs()->currentIndex(), COptionDialog::kResultsTab);
  dlg.ResultsPage()->PointsEdit()->setText("101");
  EXPECT_FALSE(PressOk(dlg));
  EXPECT_EQ(dlg.focusWidget(), dlg.ResultsPage()->PointsEdit());
  dlg.Tabs()->setCurrentIndex(COptionDialog::kCalcTab);
  EXPECT_EQ(dlg.Tabs()->currentIndex(), COptionDialog::kResultsTab);
  dlg.ResultsPage()->PointsEdit()->setText("100");
  ASSERT_TRUE(PressOk(dlg));
  EXPECT_EQ(dlg.ExternalField, 1000.0);
  EXPECT_EQ(dlg.PointsBetweenCPs, 100);
}

TEST_F(OptionDialog, SkipFinalResultsDisablesItsControls) {
  COptionDialog dlg;
  SetAll(dlg);
  dlg.SkipFinalResults = true;
  Open(dlg);
  CFinalResult* page = dlg.ResultsPage();
  dlg.Tabs()->setCurrentIndex(COptionDialog::kResultsTab);
  EXPECT_FALSE(page->FolderEdit()->isEnabled());
  EXPECT_FALSE(page->PointsEdit()->isEnabled());
  EXPECT_FALSE(page->BrowseButton()->isEnabled());
  EXPECT_FALSE(page->PointsUpDown()->isEnabled());
  page->SkipBox()->click();
  EXPECT_TRUE(page->FolderEdit()->isEnabled());
  EXPECT_TRUE(page->BrowseButton()->isEnabled());
  page->SkipBox()->click();
  EXPECT_FALSE(page->PointsEdit()->isEnabled());
  page->SkipBox()->click();
  ASSERT_TRUE(PressOk(dlg));
  EXPECT_FALSE(dlg.SkipFinalResults);

  // The control page's check box changes no enabling.
  COptionDialog other;
  Open(other);
  other.Tabs()->setCurrentIndex(COptionDialog::kControlTab);
  other.ControlPage()->SkipBox()->click();
  EXPECT_TRUE(other.ControlPage()->PathEdit()->isEnabled());
  EXPECT_TRUE(other.ControlPage()->MatrixBox()->isEnabled());
}

TEST_F(OptionDialog, FolderBrowsePreselectsTheStoredFolder) {
  COptionDialog dlg;
  SetAll(dlg);
  Open(dlg);
  dlg.Tabs()->setCurrentIndex(COptionDialog::kResultsTab);
  CFinalResult* page = dlg.ResultsPage();
  QString seenTitle, seenStart;
  QString answer = "/data/results";
  page->pickFolder = [&](const QString& title, const QString& start) {
    seenTitle = title;
    seenStart = start;
    return answer;
  };
  page->FolderEdit()->setText("/typed/but/not/stored");
  page->BrowseButton()->click();
  EXPECT_EQ(seenTitle, "Выберите папку для сохранения результатов");
  EXPECT_EQ(seenStart, "/tmp/run");
  EXPECT_EQ(page->FolderEdit()->text(), "/data/results");
  EXPECT_EQ(page->ResultsFolder, "/tmp/run") << "stored only when the page takes its values back";
  answer.clear();  // cancelled
  page->BrowseButton()->click();
  EXPECT_EQ(page->FolderEdit()->text(), "/data/results");
  ASSERT_TRUE(PressOk(dlg));
  EXPECT_EQ(dlg.ResultsFolder, "/data/results");
}

TEST_F(OptionDialog, ControlFileBrowseStoresAtOnceAndCancelKeepsTypedText) {
  COptionDialog dlg;
  SetAll(dlg);
  Open(dlg);
  dlg.Tabs()->setCurrentIndex(COptionDialog::kControlTab);
  CSaveCtrlData* page = dlg.ControlPage();
  QString initial;
  QString answer;
  page->pickFile = [&](QWidget*, const QString& start) {
    initial = start;
    return answer;
  };
  page->PathEdit()->setText("typed.txt");
  page->BrowseButton()->click();
  EXPECT_EQ(initial, "/tmp/run/ControlCalc.txt");
  EXPECT_EQ(page->PathEdit()->text(), "typed.txt");
  answer = "/data/ctl.txt";
  page->BrowseButton()->click();
  EXPECT_EQ(page->PathEdit()->text(), "/data/ctl.txt");
  EXPECT_EQ(page->ControlFilePath, "/data/ctl.txt");
}

TEST_F(OptionDialog, PagesNeverShownKeepTheirValues) {
  COptionDialog dlg;
  SetAll(dlg);
  Open(dlg);
  dlg.CalcPage()->TestClosureBox()->setChecked(true);
  ASSERT_TRUE(PressOk(dlg));
  EXPECT_TRUE(dlg.TestClosure);
  EXPECT_EQ(dlg.PointsBetweenCPs, 7);
  EXPECT_EQ(dlg.ControlFilePath, "/tmp/run/ControlCalc.txt");
}

TEST_F(OptionDialog, PointsUpDownSteps) {
  COptionDialog dlg;
  SetAll(dlg);
  Open(dlg);
  dlg.Tabs()->setCurrentIndex(COptionDialog::kResultsTab);
  dlg.ResultsPage()->PointsUpDown()->UpButton()->click();
  ASSERT_TRUE(PressOk(dlg));
  EXPECT_EQ(dlg.PointsBetweenCPs, 8);
}

}  // namespace
