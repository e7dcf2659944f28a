// The main frame: menu texts, separators, accelerators and enabling; the
// toolbar; the status bar; the splitter; the recent-file list; the
// calculation-parameters round trip.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMenuBar>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QToolBar>
#include <QUndoStack>

#include "GuiTestSupport.h"
#include "ModalDriver.h"
#include "app/FrameCommands.h"
#include "app/RecentFileList.h"
#include "dialogs/COptionDialog.h"
#include "views/CKalvorView.h"
#include "views/CLeftView_Empty.h"
#include "views/CLeftView_Line.h"

namespace {

// Menu contents as "text\tshortcut", separators as "-", submenus as ">text".
QStringList Describe(const QMenu* menu) {
  QStringList items;
  for (QAction* a : menu->actions()) {
    if (a->isSeparator())
      items << "-";
    else if (a->menu())
      items << ">" + a->text();
    else if (a->isVisible())
      items << a->text() + (a->shortcut().isEmpty() ? "" : "\t" + a->shortcut().toString());
  }
  return items;
}

QMenu* TopMenu(CMainFrame* f, const QString& title) {
  for (QAction* a : f->menuBar()->actions())
    if (a->text() == title) return a->menu();
  return nullptr;
}

class MainFrameTest : public GuiTest {};

TEST_F(MainFrameTest, MenusCarryTheirTextsSeparatorsAndAccelerators) {
  QSettings(RecentFileList::kOrganisation, RecentFileList::kApplication).clear();
  Start();
  QStringList titles;
  for (QAction* a : frame()->menuBar()->actions()) titles << a->text();
  EXPECT_EQ(titles, (QStringList{"&Файл", "&Правка", "&Вид", "Расчет", "&Помощь"}));

  EXPECT_EQ(Describe(TopMenu(frame(), "&Файл")),
            (QStringList{"&Создать\tCtrl+N", "&Открыть...\tCtrl+O", "&Сохранить\tCtrl+S", "Сохр&анить как...", "-",
                         "Импорт DXF...", "Экспорт DXF...", "-", "&Печать...\tCtrl+P", "Макет с&трницы", "Параметры п&ечати...", "Экспорт изображения...", "-",
                         "Recent File", "-",
                         "В&ыход"}));
  EXPECT_EQ(Describe(TopMenu(frame(), "&Правка")),
            (QStringList{"&Отменить\tCtrl+Z", "&Повторить\tCtrl+Y", "-", "&Вырезать\tCtrl+X", "&Копировать\tCtrl+C", "Вст&авить\tCtrl+V"}));
  EXPECT_EQ(Describe(TopMenu(frame(), "&Вид")),
            (QStringList{"&Панель инструментов", "&Строка состояния", "&Разделить/Показать", "-", ">Отобразить",
                         "&Увеличить масштаб\tCtrl++", "У&меньшить масштаб\tCtrl+-",
                         "&Показать целиком\tHome", "-", "Карта поля", "Эквипотенциали", "Силовые линии",
                         "Картина поля...", "Все сечение", "Результаты"}));
  EXPECT_EQ(Describe(TopMenu(frame(), "Расчет")),
            (QStringList{"Параметры расчета", "Точки в промежутке", "-", "Произвести расчет...",
                         "Расчет в точках промежутка", "Исследование параметра…"}));
  EXPECT_EQ(Describe(TopMenu(frame(), "&Помощь")), (QStringList{"&Вызов справки", "-", "&О программе..."}));
  QMenu* show = nullptr;
  for (QAction* a : TopMenu(frame(), "&Вид")->actions())
    if (a->menu()) show = a->menu();
  ASSERT_NE(show, nullptr);
  EXPECT_EQ(Describe(show), (QStringList{"Расчетные точки", "Заряды"}));
}

TEST_F(MainFrameTest, PromptsGiveStatusTipsAndTooltips) {
  Start();
  QAction* zoom = frame()->Action(ID_ZOOM_IN);
  EXPECT_EQ(zoom->statusTip(), "Увеличить масштаб изобажения конструкции");
  EXPECT_EQ(zoom->toolTip(), "Увеличить масштаб");
  EXPECT_EQ(frame()->Action(ID_CALCULATE)->statusTip(), "Произвести расчет с установленными параметрами");
  EXPECT_EQ(frame()->Action(ID_CREATE_ARC)->toolTip(), "Окружность");
  EXPECT_EQ(frame()->Action(ID_EDIT_UNDO)->shortcuts().size(), 2);
}

TEST_F(MainFrameTest, EnablingFollowsTheDocument) {
  Start();
  for (int id : {ID_EDIT_UNDO, ID_EDIT_REDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE})
    EXPECT_FALSE(frame()->Action(id)->isEnabled()) << id;
  EXPECT_FALSE(frame()->Action(ID_CALCULATE)->isEnabled());
  EXPECT_FALSE(frame()->Action(ID_SHOW_GAP_CURVES)->isEnabled());
  EXPECT_FALSE(frame()->Action(ID_SHOW_CHARGES)->isEnabled());
  EXPECT_FALSE(frame()->Action(ID_GAP_CALCULATE)->isEnabled());
  EXPECT_TRUE(frame()->Action(ID_GAP_CURVES)->isEnabled());
  EXPECT_TRUE(frame()->Action(ID_CALC_PARAMETERS)->isEnabled());

  ASSERT_TRUE(frame()->OpenFile(WriteFile(dir, "four.txt", kFourGeneratrices)));
  EXPECT_TRUE(frame()->Action(ID_CALCULATE)->isEnabled());
  EXPECT_TRUE(frame()->Action(ID_SHOW_GAP_CURVES)->isEnabled());
  EXPECT_FALSE(frame()->Action(ID_SHOW_CHARGES)->isEnabled());
  for (int id : {ID_EDIT_UNDO, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE})
    EXPECT_FALSE(frame()->Action(id)->isEnabled()) << id;

  // The check mark follows the toggle, and a new document clears it.
  frame()->Action(ID_SHOW_GAP_CURVES)->trigger();
  EXPECT_TRUE(frame()->Action(ID_SHOW_GAP_CURVES)->isChecked());
  EXPECT_TRUE(doc().ShowGapCurves());
  doc().NewDocument();
  EXPECT_FALSE(frame()->Action(ID_SHOW_GAP_CURVES)->isChecked());
  EXPECT_FALSE(frame()->Action(ID_CALCULATE)->isEnabled());
}

TEST_F(MainFrameTest, ToolbarHoldsItsButtonsInOrder) {
  Start();
  QList<int> ids;
  for (QAction* a : frame()->ToolBar()->actions()) {
    if (a->isSeparator()) {
      ids << 0;
      continue;
    }
    for (const FrameCommand& c : FrameCommands())
      if (frame()->Action(c.id) == a) ids << c.id;
  }
  EXPECT_EQ(ids, (QList<int>{ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE,
                             ID_FILE_PRINT_PREVIEW, ID_ZOOM_IN, ID_ZOOM_OUT, ID_ZOOM_FIT, 0, ID_FILE_PRINT, ID_APP_ABOUT,
                             ID_CONTEXT_HELP, ID_CREATE_ARC, ID_CREATE_LINE}));
  for (QAction* a : frame()->ToolBar()->actions())
    if (!a->isSeparator()) {
      EXPECT_FALSE(a->icon().isNull()) << a->text().toStdString();
    }
}

TEST_F(MainFrameTest, StatusBarShowsTheLockIndicators) {
  Start();
  QStringList texts;
  for (QLabel* l : frame()->statusBar()->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) texts << l->text();
  EXPECT_TRUE(texts.contains("CAP"));
  EXPECT_TRUE(texts.contains("NUM"));
  EXPECT_TRUE(texts.contains("SCRL"));
}

TEST_F(MainFrameTest, TheLeftPaneStarts400WideAndStaysCollapsedThroughAReplacement) {
  Start();
  QSplitter* s = frame()->Splitter();
  EXPECT_EQ(s->sizes().value(0), 400);
  EXPECT_NE(frame()->TreePane(), nullptr);
  EXPECT_EQ(s->widget(1), frame()->GeometryView());

  frame()->TreePane()->HideButton()->click();
  EXPECT_EQ(s->sizes().value(0), 0);
  frame()->ReplaceLeftPane(LeftPaneKind::Line);
  EXPECT_NE(qobject_cast<CLeftView_Line*>(frame()->LeftPane()), nullptr);
  EXPECT_EQ(s->sizes().value(0), 0);
  frame()->Action(ID_WINDOW_SPLIT)->trigger();
  EXPECT_EQ(s->sizes().value(0), 400);
}

TEST_F(MainFrameTest, RecentFilesKeepFourNewestFirstAcrossRuns) {
  QSettings(RecentFileList::kOrganisation, RecentFileList::kApplication).clear();
  Start();
  QStringList paths;
  for (int i = 1; i <= 5; ++i) {
    paths << WriteFile(dir, QString("s%1.txt").arg(i), kSphere);
    ASSERT_TRUE(frame()->OpenFile(paths.last()));
  }
  const QStringList expected{paths[4], paths[3], paths[2], paths[1]};
  EXPECT_EQ(frame()->RecentFiles(), expected);
  ASSERT_EQ(frame()->RecentFileActions().size(), 4);
  EXPECT_TRUE(frame()->RecentFileActions()[0]->text().startsWith("&1 "));
  EXPECT_FALSE(frame()->Action(ID_FILE_MRU_FILE1)->isVisible());

  // Reopening an older file brings it to the top; a new run sees the list.
  ASSERT_TRUE(frame()->OpenFile(paths[2]));
  RecentFileList stored;
  stored.Load();
  EXPECT_EQ(stored.Files(), (QStringList{paths[2], paths[4], paths[3], paths[1]}));

  // A file that has gone is dropped from the list when it fails to open.
  QFile::remove(paths[3]);
  ModalDriver driver;
  EXPECT_FALSE(frame()->OpenFile(paths[3]));
  EXPECT_FALSE(frame()->RecentFiles().contains(paths[3]));
  EXPECT_EQ(driver.boxes.size(), 1);
}

TEST_F(MainFrameTest, ParametersOkWithoutChangesKeepsAllElevenValues) {
  Start();
  CalcParameters s;
  s.ExternalField = 2.5;
  s.UseEarth = true;
  s.TestClosure = true;
  s.Precise = true;
  s.Capacitance = true;
  s.DumpMatrix = true;
  s.DumpInverseMatrix = false;
  s.ControlCalc = true;
  s.ControlPotentials = true;
  s.ControlFilePath = "/tmp/ctl.txt";
  s.SurfaceResults = false;
  s.PointsBetweenCPs = 7;
  s.ResultsFolder = "/tmp/results";
  doc().SetParameters(s);
  const int commands = doc().UndoStack().count();

  bool sawInverted = false;
  ModalDriver driver([&](QWidget* w) {
    auto* dlg = qobject_cast<COptionDialog*>(w);
    if (!dlg) return false;
    sawInverted = !dlg->SkipControlCalc && dlg->SkipFinalResults;
    static_cast<QDialog*>(dlg)->accept();
    return true;
  });
  frame()->OnCalcParameters();
  EXPECT_TRUE(sawInverted);
  EXPECT_EQ(doc().Parameters(), s);
  EXPECT_EQ(doc().UndoStack().count(), commands) << "no change, nothing to undo";
}

TEST_F(MainFrameTest, ParametersCancelChangesNothing) {
  Start();
  const CalcParameters before = doc().Parameters();
  ModalDriver cancel([&](QWidget* w) {
    auto* dlg = qobject_cast<COptionDialog*>(w);
    if (!dlg) return false;
    dlg->ExternalField = 100;
    dlg->SkipFinalResults = true;
    dlg->reject();
    return true;
  });
  frame()->OnCalcParameters();
  EXPECT_EQ(doc().Parameters(), before);
}

TEST_F(MainFrameTest, AModifiedDocumentIsOnlyReplacedWhenTheUserAgrees) {
  Start({WriteFile(dir, "four.txt", kFourGeneratrices)});
  doc().RemoveGeneratrix(3);
  EXPECT_TRUE(frame()->isWindowModified());
  {
    ModalDriver cancel([](QWidget* w) {
      qobject_cast<QMessageBox*>(w)->button(QMessageBox::Cancel)->click();
      return true;
    });
    frame()->Action(ID_FILE_NEW)->trigger();
    EXPECT_EQ(cancel.boxes.size(), 1);
  }
  EXPECT_EQ(doc().Generatrices().GetSize(), 3);
  {
    ModalDriver discard({}, false);
    frame()->Action(ID_FILE_NEW)->trigger();
  }
  EXPECT_TRUE(doc().Generatrices().IsEmpty());
  EXPECT_FALSE(frame()->isWindowModified());
  EXPECT_TRUE(frame()->windowTitle().startsWith("Kalvor"));
}

}  // namespace
