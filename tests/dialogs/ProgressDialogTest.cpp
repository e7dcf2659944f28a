// The progress window: percentage rules, cancel semantics (a request is a
// request, consumed once), the main window disabled while it exists, and
// the message boxes it owns. Also the information dialog and the kind
// chooser, the two small modal dialogs of a command.
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QTest>
#include <limits>

#include "DialogTestSupport.h"
#include "dialogs/CCalcInfo.h"
#include "dialogs/CDialogCreateGeneratrix.h"
#include "dialogs/CProgressDialog.h"

namespace {

class RecordingProgress : public CProgressDialog {
 public:
  int answer = QMessageBox::Yes;
  QString caption, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QWidget* boxParent = nullptr;
  QMessageBox::StandardButtons buttons;

 protected:
  int RunMessageBox(QMessageBox& box) override {
    caption = box.windowTitle();
    text = box.text();
    icon = box.icon();
    boxParent = box.parentWidget();
    buttons = box.standardButtons();
    return answer;
  }
};

QString Percent(const CProgressDialog& p) { return p.PercentLabel()->text(); }

TEST(ProgressDialog, PercentageRules) {
  CProgressDialog p;
  EXPECT_EQ(p.windowTitle(), "Расчет...");
  EXPECT_EQ(Percent(p), " 0 %");
  p.SetStep(1);
  for (int i = 0; i < 37; ++i) p.StepForward();
  EXPECT_EQ(Percent(p), "37%");

  p.SetRange(0, 200);
  EXPECT_EQ(p.SetPosition(50), 37);
  EXPECT_EQ(Percent(p), "25%");
  p.SetPosition(200);
  EXPECT_EQ(Percent(p), "100%");
  p.SetPosition(300);
  EXPECT_EQ(Percent(p), "50%") << "150 shows as 50";
  p.SetPosition(400);
  EXPECT_EQ(Percent(p), "0%");

  p.SetRange(5, 5);
  p.SetPosition(5);
  EXPECT_EQ(Percent(p), "0%") << "an empty range must not fail";
  p.StepForward();
  EXPECT_EQ(Percent(p), "0%");

  // Ranges far beyond 16 bits keep their precision.
  const long long big = 10'000'000'000LL;
  p.SetRange(0, big);
  p.SetPosition(big / 4);
  EXPECT_EQ(Percent(p), "25%");
  EXPECT_EQ(p.Bar()->value(), p.Bar()->maximum() / 4);
  EXPECT_EQ(p.SetStep(7), 1);
  EXPECT_EQ(p.StepForward(), big / 4);
}

// Regression: at the switch to a new stage the label said 0 % while the bar
// was still half full, and the window changed width with the stage text.
TEST(ProgressDialog, LabelAndBarAgreeAndTheWindowKeepsItsWidth) {
  CProgressDialog p;
  ASSERT_TRUE(p.CreateModeless(nullptr));
  p.ShowStage("Заполнение матрицы");
  p.SetRange(0, 100);
  p.SetPosition(50);
  const int width = p.width();
  auto agree = [&p] { return QString::number(p.Bar()->value() / 10) + "%" == Percent(p); };
  EXPECT_TRUE(agree());
  p.ShowStage("Решение системы линейных уравнений с очень длинным названием этапа, длиннее окна");
  p.SetRange(0, 1000);
  EXPECT_TRUE(agree()) << Percent(p).toStdString() << " " << p.Bar()->value();
  p.SetPosition(0);
  EXPECT_TRUE(agree());
  p.SetPosition(1500);  // past the end: the label's rule, and the bar with it
  EXPECT_TRUE(agree());
  QApplication::processEvents();
  EXPECT_EQ(p.width(), width);
  p.ShowStage("Потенциалы");
  QApplication::processEvents();
  EXPECT_EQ(p.width(), width);
  p.Close();
}

TEST(ProgressDialog, StageTextIsShownAndCleared) {
  CProgressDialog p;
  p.ShowStage("Заполнение матрицы");
  EXPECT_EQ(p.StageLabel()->text(), "Заполнение матрицы");
  p.ShowStage("");
  EXPECT_TRUE(p.StageLabel()->text().isEmpty());
}

TEST(ProgressDialog, CancelIsOneRequestConsumedByTheQuery) {
  QMainWindow main;
  main.show();
  CProgressDialog p;
  ASSERT_TRUE(p.CreateModeless(&main));
  EXPECT_FALSE(p.CancelRequested());
  p.CancelButton()->click();
  p.CancelButton()->click();
  EXPECT_TRUE(p.CancelRequested());
  EXPECT_FALSE(p.CancelRequested()) << "two presses before a query are one request";

  QTest::keyClick(&p, Qt::Key_Return);
  QTest::keyClick(&p, Qt::Key_Enter);
  EXPECT_FALSE(p.CancelRequested()) << "Enter does not cancel";
  EXPECT_TRUE(p.isVisible()) << "nor close";

  QTest::keyClick(&p, Qt::Key_Escape);
  EXPECT_TRUE(p.isVisible());
  EXPECT_TRUE(p.CancelRequested());

  p.close();  // the window's close button
  EXPECT_TRUE(p.isVisible());
  EXPECT_TRUE(p.CancelRequested());
}

TEST(ProgressDialog, MainWindowIsDisabledWhileItExists) {
  QMainWindow main;
  main.show();
  {
    CProgressDialog p;
    ASSERT_TRUE(p.CreateModeless(&main));
    EXPECT_FALSE(main.isEnabled());
    EXPECT_TRUE(p.isEnabled()) << "not a child of the disabled window";
    EXPECT_TRUE(p.OwnerDisabled());
    EXPECT_FALSE(main.close()) << "the main window cannot close under a running calculation";
    EXPECT_TRUE(main.isVisible());
  }
  EXPECT_TRUE(main.isEnabled());

  // Without an owner given, the main window is found.
  CProgressDialog p;
  ASSERT_TRUE(p.CreateModeless());
  EXPECT_EQ(p.Owner(), &main);
  EXPECT_FALSE(main.isEnabled());
  p.Close();
  EXPECT_TRUE(main.isEnabled());
  EXPECT_FALSE(p.isVisible());
  EXPECT_TRUE(main.close());
}

TEST(ProgressDialog, AlreadyDisabledOwnerStaysDisabled) {
  QMainWindow main;
  main.show();
  main.setEnabled(false);
  {
    CProgressDialog p;
    ASSERT_TRUE(p.CreateModeless(&main));
    EXPECT_FALSE(p.OwnerDisabled());
  }
  EXPECT_FALSE(main.isEnabled());
}

TEST(ProgressDialog, MinimisingMinimisesTheMainWindowAndRestoringComesBack) {
  QMainWindow main;
  main.show();
  CProgressDialog p;
  ASSERT_TRUE(p.CreateModeless(&main));
  p.setWindowState(Qt::WindowMinimized);
  EXPECT_TRUE(main.isEnabled()) << "the main window can be restored by the user";
  EXPECT_TRUE(main.isMinimized());
  main.setWindowState(Qt::WindowNoState);
  EXPECT_FALSE(main.isEnabled());
  EXPECT_FALSE(p.isMinimized());
  EXPECT_TRUE(p.isVisible());
}

TEST(ProgressDialog, QuestionsAndMessagesAreOwnedBoxes) {
  RecordingProgress p;
  p.answer = QMessageBox::No;
  EXPECT_FALSE(p.AskYesNo(ProgressReporter::Question::ConfirmAbort, "Вы действительно хотите прервать расчет?", "", ProgressReporter::Icon::Question));
  EXPECT_EQ(p.caption, "Программа Kalvor");
  EXPECT_EQ(p.text, "Вы действительно хотите прервать расчет?");
  EXPECT_EQ(p.icon, QMessageBox::Question);
  EXPECT_EQ(p.boxParent, &p);
  EXPECT_EQ(p.buttons, QMessageBox::Yes | QMessageBox::No);
  p.answer = QMessageBox::Yes;
  EXPECT_TRUE(p.AskYesNo(ProgressReporter::Question::ContinueWithOpenRegions, "?", "May be late", ProgressReporter::Icon::Question));
  EXPECT_EQ(p.caption, "May be late");

  p.ShowMessage("Матрица вырождена", "Error", ProgressReporter::Icon::Stop);
  EXPECT_EQ(p.caption, "Error");
  EXPECT_EQ(p.icon, QMessageBox::Critical);
  EXPECT_EQ(p.buttons, QMessageBox::Ok);
}

TEST(CalcInfo, ShowsTheSummaryAndItsButtonsDecide) {
  CCalcInfo info;
  info.text = "Количество КТ: 10\r\nЗемля: нет\r\n";
  info.show();
  EXPECT_EQ(info.windowTitle(), "Информация");
  EXPECT_EQ(info.TextField()->toPlainText(), "Количество КТ: 10\nЗемля: нет\n");
  EXPECT_TRUE(info.TextField()->isReadOnly());
  EXPECT_EQ(info.StartButton()->text(), "Начать расчет");
  info.StartButton()->click();
  EXPECT_EQ(info.result(), QDialog::Accepted);

  CCalcInfo cancelled;
  cancelled.show();
  cancelled.CancelButton()->click();
  EXPECT_EQ(cancelled.result(), QDialog::Rejected);
}

TEST(KindChooser, ArcPreselectedAndLineChosen) {
  CDialogCreateGeneratrix dlg;
  dlg.show();
  EXPECT_EQ(dlg.windowTitle(), "Создать образующую");
  EXPECT_TRUE(dlg.KindButton(CDialogCreateGeneratrix::kArc)->isChecked());
  EXPECT_EQ(dlg.KindButton(CDialogCreateGeneratrix::kLine)->text(), "Прямой");
  dlg.KindButton(CDialogCreateGeneratrix::kLine)->click();
  ASSERT_TRUE(PressOk(dlg));
  EXPECT_EQ(dlg.kind, CDialogCreateGeneratrix::kLine);
}

}  // namespace
