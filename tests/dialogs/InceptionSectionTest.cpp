// The section "Возникновение разряда" of the parameters dialog: its values
// travel through the dialog unchanged, its controls follow the check box,
// and out-of-range numbers or an unreadable gas table keep the dialog open.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QTemporaryDir>

#include "DialogTestSupport.h"
#include "dialogs/CCalcParam.h"
#include "dialogs/COptionDialog.h"
#include "dialogs/InceptionSection.h"

namespace {

using InceptionDialog = RecordedMessages;

InceptionSection* Section(COptionDialog& d) { return d.findChild<InceptionSection*>(); }

}  // namespace

TEST_F(InceptionDialog, TheSettingsComeBackThroughOkAndTheUsersPointsSurvive) {
  CalcParameters p;
  p.Inception.Enabled = true;
  p.Inception.Gas = "sf6";
  p.Inception.PressureBar = 4.5;
  p.Inception.TemperatureC = -10;
  p.Inception.K = 11;
  p.Inception.From = {{1.0, 2.0}};
  COptionDialog d;
  d.SetParameters(p);
  Open(d);
  InceptionSection* s = Section(d);
  ASSERT_NE(s, nullptr);
  EXPECT_TRUE(s->EnabledBox()->isChecked());
  EXPECT_EQ(s->GasBox()->currentIndex(), 1);
  EXPECT_EQ(s->PressureEdit()->text(), QStringLiteral("4.5"));
  EXPECT_FALSE(s->TableEdit()->isEnabled());
  s->PressureEdit()->setText(QStringLiteral("2"));
  ASSERT_TRUE(PressOk(d));
  InceptionParameters expected = p.Inception;
  expected.PressureBar = 2.0;
  EXPECT_EQ(d.Parameters().Inception, expected);
  // Output only: the solution stays.
  EXPECT_TRUE(d.Parameters().SameSolution(p));
}

TEST_F(InceptionDialog, ControlsFollowTheCheckBoxAndTheGas) {
  COptionDialog d;
  d.SetParameters(CalcParameters{});
  Open(d);
  InceptionSection* s = Section(d);
  EXPECT_FALSE(s->EnabledBox()->isChecked());
  EXPECT_FALSE(s->PressureEdit()->isEnabled());
  s->EnabledBox()->setChecked(true);
  EXPECT_TRUE(s->PressureEdit()->isEnabled());
  EXPECT_FALSE(s->TableEdit()->isEnabled());
  s->GasBox()->setCurrentIndex(2);
  EXPECT_TRUE(s->TableEdit()->isEnabled());
}

TEST_F(InceptionDialog, BadNumbersAndUnreadableTablesKeepTheDialogOpen) {
  COptionDialog d;
  d.SetParameters(CalcParameters{});
  Open(d);
  InceptionSection* s = Section(d);
  s->EnabledBox()->setChecked(true);
  s->PressureEdit()->setText(QStringLiteral("0"));
  EXPECT_FALSE(PressOk(d));
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains(QStringLiteral("Давление"))) << messages[0].toStdString();
  s->PressureEdit()->setText(QStringLiteral("1"));

  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("gas.tab"));
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("80 -1\n70 2\n");  // E/p falls
  f.close();
  s->GasBox()->setCurrentIndex(2);
  s->TableEdit()->setText(path);
  EXPECT_FALSE(PressOk(d));
  ASSERT_EQ(messages.size(), 2);
  EXPECT_TRUE(messages[1].contains(path) && messages[1].contains(QStringLiteral("строка 2")))
      << messages[1].toStdString();

  ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
  f.write("# E/p  alpha/p\n80 -1\n90 2\n");
  f.close();
  ASSERT_TRUE(PressOk(d));
  EXPECT_EQ(d.Parameters().Inception.Gas, path.toStdString());
  EXPECT_TRUE(d.Parameters().Inception.Enabled);
}
