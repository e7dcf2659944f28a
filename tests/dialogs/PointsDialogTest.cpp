// The gap-curves dialog: rows and their texts, Add / Edit / Delete with the
// enabling of the buttons and the selected index, and the curve file.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <deque>
#include <functional>

#include "DialogTestSupport.h"
#include "dialogs/CArchPoints.h"
#include "dialogs/CLinePoints.h"
#include "dialogs/CPointsDialog.h"
#include "engine/FieldCalc.h"
#include "engine/GapCurves.h"
#include "model/Arch.h"
#include "model/Line.h"

namespace {

// Answers every question the dialog asks from scripted queues.
class ScriptedPointsDialog : public CPointsDialog {
 public:
  using CPointsDialog::CPointsDialog;

  std::deque<int> kinds;
  // Each fills the shown curve dialog's edits; the dialog's own OK decides.
  std::deque<std::function<void(QDialog&)>> curveInput;
  bool confirm = true;
  int confirmations = 0;
  QString savePath, openPath, initialSeen;
  QStringList problems;

 protected:
  int ChooseKind() override {
    if (kinds.empty()) return -1;
    const int k = kinds.front();
    kinds.pop_front();
    return k;
  }
  bool RunCurveDialog(QDialog& dialog) override {
    if (curveInput.empty()) return false;
    dialog.show();
    curveInput.front()(dialog);
    curveInput.pop_front();
    OkButton(dialog)->click();
    return dialog.result() == QDialog::Accepted && !dialog.isVisible();
  }
  bool ConfirmDelete() override {
    ++confirmations;
    return confirm;
  }
  QString AskSavePath(const QString& initial) override {
    initialSeen = initial;
    return savePath;
  }
  QString AskOpenPath(const QString& initial) override {
    initialSeen = initial;
    return openPath;
  }
  void ShowProblem(const QString& text) override { problems << text; }
};

template <class D>
std::function<void(QDialog&)> Fill(std::initializer_list<std::pair<const char*, const char*>> values) {
  std::vector<std::pair<const char*, const char*>> v(values);
  return [v](QDialog& dialog) {
    auto& d = dynamic_cast<D&>(dialog);
    for (auto [field, text] : v) d.EditFor(field)->setText(QString::fromUtf8(text));
  };
}

class PointsDialog : public RecordedMessages {
 protected:
  void AddThree() {
    curves.Append(MakeGapLine(1, 20, 0, 0, 10, 5));
    curves.Append(MakeGapArch(2, 30, 1, 2, 3, 90, -90));
    curves.Append(MakeGapLine(3, 5, 1, -1, 2, -2));
  }
  QString Cell(const CPointsDialog& d, int row, int col) const {
    return d.List()->topLevelItem(row)->text(col);
  }
  bool Buttons(const CPointsDialog& d) const {
    const bool e = d.EditButton()->isEnabled();
    EXPECT_EQ(d.DeleteButton()->isEnabled(), e);
    EXPECT_EQ(d.SaveButton()->isEnabled(), e);
    return e;
  }

  CSurfColl curves;
  QTemporaryDir dir;
};

TEST_F(PointsDialog, RowsShowEveryCurveInTheListFormats) {
  AddThree();
  ScriptedPointsDialog dlg(curves);
  EXPECT_EQ(dlg.windowTitle(), "Параметры расчетных кривых");
  QTreeWidget* list = dlg.List();
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(list->headerItem()->text(0), "Вид образующей");
  EXPECT_EQ(list->headerItem()->text(3), "Кол-во точек");
  EXPECT_GE(list->columnWidth(0), 100);
  EXPECT_GE(list->columnWidth(1), 200);
  EXPECT_GE(list->columnWidth(2), 50);
  EXPECT_GE(list->columnWidth(3), 90);
  EXPECT_EQ(Cell(dlg, 0, 0), "  1: Отрезок прямой");
  EXPECT_EQ(Cell(dlg, 0, 1), "x1= 0.0, y1= 0.0; x2=10.0, y2= 5.0");
  EXPECT_EQ(Cell(dlg, 0, 2), " 1");
  EXPECT_EQ(Cell(dlg, 0, 3), "20");
  EXPECT_EQ(Cell(dlg, 1, 0), "  2: Окружность");
  EXPECT_EQ(Cell(dlg, 1, 1), QString::fromUtf8("x= 1.0, y= 2.0,R= 3.0; \u203990.0, -90.0\u203a"));
  EXPECT_EQ(list->topLevelItem(1)->textAlignment(1), int(Qt::AlignCenter));
  EXPECT_FALSE(list->topLevelItem(0)->icon(0).isNull());
  EXPECT_TRUE(Buttons(dlg));
  EXPECT_EQ(dlg.SelectedIndex(), 0);
}

TEST_F(PointsDialog, DeletingTheSecondOfThreeRenumbersTheRows) {
  AddThree();
  ScriptedPointsDialog dlg(curves);
  dlg.List()->setCurrentItem(dlg.List()->topLevelItem(1));
  EXPECT_EQ(dlg.SelectedIndex(), 1);
  dlg.confirm = false;
  dlg.Delete();
  EXPECT_EQ(dlg.Curves().GetSize(), 3) << "No keeps the curve";
  dlg.confirm = true;
  dlg.Delete();
  ASSERT_EQ(dlg.Curves().GetSize(), 2);
  ASSERT_EQ(dlg.List()->topLevelItemCount(), 2);
  EXPECT_EQ(Cell(dlg, 0, 0), "  1: Отрезок прямой");
  EXPECT_EQ(Cell(dlg, 1, 0), "  2: Отрезок прямой");
  EXPECT_EQ(Cell(dlg, 1, 2), " 3");
  // The index stays and names the former third curve, now shown selected.
  EXPECT_EQ(dlg.SelectedIndex(), 1);
  EXPECT_TRUE(dlg.List()->topLevelItem(1)->isSelected());
}

TEST_F(PointsDialog, EditAndDeleteDoNothingWhenTheIndexNamesNoCurve) {
  AddThree();
  ScriptedPointsDialog dlg(curves);
  dlg.List()->setCurrentItem(dlg.List()->topLevelItem(2));
  dlg.Delete();
  EXPECT_EQ(dlg.SelectedIndex(), 2);
  ASSERT_EQ(dlg.Curves().GetSize(), 2);
  const int asked = dlg.confirmations;
  dlg.Delete();
  EXPECT_EQ(dlg.confirmations, asked) << "no question about a curve that is not there";
  EXPECT_EQ(dlg.Curves().GetSize(), 2);
  dlg.curveInput.push_back(Fill<CLinePoints>({{"x1", "9"}}));
  dlg.Edit();
  EXPECT_EQ(dlg.curveInput.size(), 1u) << "no dialog was run";
}

TEST_F(PointsDialog, AddEnablesAndDeletingTheLastDisables) {
  ScriptedPointsDialog dlg(curves);
  EXPECT_FALSE(Buttons(dlg));
  dlg.kinds = {1};
  dlg.curveInput.push_back(Fill<CLinePoints>({{"region", "4"}, {"x2", "10"}, {"y2", "-5"}}));
  dlg.Add();
  ASSERT_EQ(dlg.Curves().GetSize(), 1);
  EXPECT_TRUE(Buttons(dlg));
  const SurfData& c = *dlg.Curves().At(0);
  EXPECT_EQ(c.GetKind(), SurfData::kLine);
  EXPECT_EQ(c.innerRegion, 4);
  EXPECT_EQ(c.outerRegion, -1);
  EXPECT_EQ(c.pointCount, 20);
  EXPECT_EQ(c.material, 1);
  EXPECT_FALSE(c.isFloating);
  EXPECT_EQ(c.ratioLd, 0.0);
  EXPECT_EQ(Cell(dlg, 0, 1), "x1= 0.0, y1= 0.0; x2=10.0, y2=-5.0");

  // Cancelled chooser or curve dialog adds nothing.
  dlg.Add();
  dlg.kinds = {0};
  dlg.Add();
  EXPECT_EQ(dlg.Curves().GetSize(), 1);

  dlg.Delete();
  EXPECT_TRUE(dlg.Curves().IsEmpty());
  EXPECT_FALSE(Buttons(dlg));
}

TEST_F(PointsDialog, CurveDialogsRefuseOutOfRangeValues) {
  ScriptedPointsDialog dlg(curves);
  dlg.kinds = {0};
  dlg.curveInput.push_back(Fill<CArchPoints>({{"region", "65536"}}));
  dlg.Add();
  EXPECT_TRUE(dlg.Curves().IsEmpty());
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains("от 0 до 65535"));

  // The line accepts region 65536, x1 must not be negative.
  dlg.kinds = {1, 1};
  dlg.curveInput.push_back(Fill<CLinePoints>({{"region", "65536"}, {"x1", "-1"}}));
  dlg.curveInput.push_back(Fill<CLinePoints>({{"region", "65536"}, {"y1", "-1"}, {"pointCount", "0"}}));
  dlg.Add();
  dlg.Add();
  EXPECT_TRUE(dlg.Curves().IsEmpty());
  ASSERT_EQ(messages.size(), 3);
  EXPECT_TRUE(messages[1].startsWith("X1")) << messages[1].toStdString();
  EXPECT_TRUE(messages[2].startsWith("Количество расчетных точек")) << messages[2].toStdString();
}

TEST_F(PointsDialog, CurveDialogsOpenWithTheirInitialValues) {
  CArchPoints arch;
  Open(arch);
  EXPECT_EQ(arch.windowTitle(), "Параметры обраующей расчетной поверхности");
  EXPECT_EQ(arch.EditFor("region")->text(), "1");
  EXPECT_EQ(arch.EditFor("pointCount")->text(), "20");
  EXPECT_EQ(arch.EditFor("radius")->text(), "1");
  CLinePoints line;
  Open(line);
  EXPECT_EQ(line.EditFor("pointCount")->text(), "20");
  EXPECT_EQ(line.EditFor("x2")->text(), "0");
}

TEST_F(PointsDialog, EditingAnArcRewritesItsRowButNotTheKindColumn) {
  AddThree();
  ScriptedPointsDialog dlg(curves);
  dlg.List()->setCurrentItem(dlg.List()->topLevelItem(1));
  dlg.curveInput.push_back([](QDialog& d) {
    auto& a = dynamic_cast<CArchPoints&>(d);
    EXPECT_EQ(a.EditFor("angle1Deg")->text(), "90");
    EXPECT_EQ(a.EditFor("angle2Deg")->text(), "-90");
    EXPECT_EQ(a.EditFor("region")->text(), "2");
    a.EditFor("angle1Deg")->setText("0");
    a.EditFor("angle2Deg")->setText("180");
    a.EditFor("pointCount")->setText("99");
  });
  dlg.Edit();
  const auto& arch = static_cast<const Arch&>(*dlg.Curves().At(1));
  EXPECT_NEAR(arch.angle2, 3.141592653589793, 1e-15);
  EXPECT_EQ(arch.pointCount, 99);
  EXPECT_EQ(Cell(dlg, 1, 0), "  2: Окружность");
  EXPECT_EQ(Cell(dlg, 1, 1), QString::fromUtf8("x= 1.0, y= 2.0,R= 3.0; \u2039 0.0, 180.0\u203a"));
  EXPECT_EQ(Cell(dlg, 1, 3), "99");
}

TEST_F(PointsDialog, SaveThenLoadGivesTheSameCurves) {
  AddThree();
  const QString path = dir.filePath("curves.txt");
  std::vector<std::string> before;
  for (const auto& c : curves) before.push_back(c->GetText());
  {
    ScriptedPointsDialog dlg(curves);
    dlg.savePath = path;
    dlg.Save();
    EXPECT_TRUE(dlg.problems.isEmpty());
    EXPECT_EQ(dlg.LastFilePath(), path);
  }
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  EXPECT_TRUE(bytes.startsWith("Me; 1 ; -1 ;    ; 0.0 ;\t\tl; 0.000 ; 0.000 ; 10.000 ; 5.000 ;~ ; 0.000 ; 0.000 ;"
                               " 20 ; 0.0000 ;\r\n"))
      << bytes.toStdString();
  EXPECT_EQ(bytes.count("\r\n"), 3);

  CSurfColl other;
  other.Append(MakeGapLine(9, 9, 9, 9, 9, 9));
  ScriptedPointsDialog dlg(other);
  dlg.openPath = path;
  dlg.Load();
  EXPECT_TRUE(dlg.problems.isEmpty());
  ASSERT_EQ(dlg.Curves().GetSize(), 3);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(dlg.Curves().At(i)->GetText(), before[i]);
  EXPECT_EQ(dlg.Curves().At(1)->GetKind(), SurfData::kArch);
  EXPECT_EQ(dlg.List()->topLevelItemCount(), 3);
  EXPECT_EQ(Cell(dlg, 2, 0), "  3: Отрезок прямой");
  EXPECT_TRUE(Buttons(dlg));
}

TEST_F(PointsDialog, BlankLineStopsTheLoadAndTheUserIsTold) {
  const QString path = dir.filePath("blank.txt");
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("// curves\r\n");
  f.write(MakeGapLine(1, 20, 0, 0, 10, 5)->GetText().c_str());
  f.write("\r\n\r\n");
  f.write(MakeGapArch(2, 30, 1, 2, 3, 0, 90)->GetText().c_str());
  f.write("\r\n");
  f.close();

  ScriptedPointsDialog dlg(curves);
  dlg.openPath = path;
  dlg.Load();
  EXPECT_EQ(dlg.Curves().GetSize(), 1) << "the curve above the blank line stays";
  EXPECT_EQ(dlg.List()->topLevelItemCount(), 1);
  ASSERT_EQ(dlg.problems.size(), 1);
  EXPECT_TRUE(dlg.problems[0].contains("строка 3")) << dlg.problems[0].toStdString();
  EXPECT_TRUE(dlg.problems[0].contains("Неверный тип образующей поверхности"));
}

TEST_F(PointsDialog, LoadOfCommentsOnlyReplacesTheCurvesAndDisables) {
  AddThree();
  const QString path = dir.filePath("comments.txt");
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write("// nothing\n// here\n");
  f.close();
  ScriptedPointsDialog dlg(curves);
  dlg.openPath = path;
  dlg.Load();
  EXPECT_TRUE(dlg.Curves().IsEmpty());
  EXPECT_EQ(dlg.List()->topLevelItemCount(), 0);
  EXPECT_FALSE(Buttons(dlg));
  EXPECT_TRUE(dlg.problems.isEmpty());
}

// A failed file operation never costs the user's curves or files.
TEST_F(PointsDialog, UnreadableOrUnwritableFilesKeepCurvesAndFiles) {
  AddThree();
  ScriptedPointsDialog dlg(curves);
  dlg.openPath = dir.filePath("missing.txt");
  dlg.Load();
  EXPECT_EQ(dlg.Curves().GetSize(), 3);
  EXPECT_EQ(dlg.List()->topLevelItemCount(), 3);
  ASSERT_EQ(dlg.problems.size(), 1);
  EXPECT_TRUE(dlg.problems[0].contains("missing.txt"));

  dlg.savePath = dir.filePath("no/such/folder/curves.txt");
  dlg.Save();
  EXPECT_EQ(dlg.problems.size(), 2);
  EXPECT_EQ(dlg.LastFilePath(), dlg.savePath);

  // Cancelled dialogs change nothing.
  dlg.openPath.clear();
  dlg.Load();
  dlg.savePath.clear();
  dlg.Save();
  EXPECT_EQ(dlg.Curves().GetSize(), 3);
  EXPECT_EQ(dlg.problems.size(), 2);
  EXPECT_EQ(dlg.initialSeen, dir.filePath("no/such/folder/curves.txt"));
}

}  // namespace
