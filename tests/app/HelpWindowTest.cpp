// The manual: F1 and "Вызов справки" open it, F1 and context help at the
// section of the control, and every section a control points to exists.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTextBrowser>
#include <QTreeWidget>
#include <QToolBar>
#include <QToolButton>

#include "GuiTestSupport.h"
#include "ModalDriver.h"
#include "app/FrameCommands.h"
#include "app/HelpWindow.h"
#include "views/CKalvorView.h"
#include "views/CLeftView_Empty.h"
#include "views/ResultsPane.h"

namespace {

class HelpWindowTest : public GuiTest {
 protected:
  HelpWindow* Help() { return frame()->findChild<HelpWindow*>(); }
};

TEST_F(HelpWindowTest, MenuOpensTheManualAndF1TheSectionOfTheFocusedPane) {
  Start();
  frame()->Action(ID_HELP_FINDER)->trigger();
  ASSERT_TRUE(Help());
  EXPECT_TRUE(Help()->isVisible());
  EXPECT_TRUE(Help()->Browser()->toPlainText().contains("Файл полеобразующей системы"));
  EXPECT_EQ(Help()->CurrentSection(), "contents");

  frame()->GeometryView()->setFocus();
  frame()->Action(ID_HELP)->trigger();
  QTest::qWait(50);
  EXPECT_EQ(Help()->CurrentSection(), "view");
  EXPECT_EQ(frame()->findChildren<HelpWindow*>().size(), 1);  // one window, reused
}

TEST_F(HelpWindowTest, ContextHelpOpensTheSectionOfTheClickedControl) {
  Start();
  frame()->Action(ID_CONTEXT_HELP)->trigger();
  auto* button = qobject_cast<QToolButton*>(frame()->ToolBar()->widgetForAction(frame()->Action(ID_CREATE_ARC)));
  ASSERT_TRUE(button);
  const int arcs = doc().Generatrices().GetSize();
  QTest::mouseClick(button, Qt::LeftButton);
  ASSERT_TRUE(Help());
  QTest::qWait(50);
  EXPECT_EQ(Help()->CurrentSection(), "generatrix");
  EXPECT_EQ(doc().Generatrices().GetSize(), arcs);  // the click only asked for help
}

// A modal dialog blocks the frame's own F1 and every window but its children.
TEST_F(HelpWindowTest, F1InADialogOpensItsSectionInAWindowThatDialogLetsThrough) {
  Start();
  QString section;
  bool child = false;
  ModalDriver driver([&](QWidget* dialog) {
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : dialog, Qt::Key_F1);
    if (auto* help = dialog->findChild<HelpWindow*>()) {
      section = help->CurrentSection();
      child = help->isVisible() && help->isWindow();  // a child window of the dialog: not blocked
    }
    static_cast<QDialog*>(dialog)->reject();
    return true;
  });
  frame()->OnCalcParameters();
  EXPECT_EQ(section, "parameters");
  EXPECT_TRUE(child);
}

TEST_F(HelpWindowTest, EverySectionAControlNamesIsInTheManual) {
  Start();
  HelpWindow* help = HelpWindow::Open(frame());
  const QStringList sections = help->Sections();
  for (const char* s : {"window", "format", "tutorial", "tree", "view", "generatrix", "editing", "file",
                        "parameters", "calculation", "gap-curves", "results", "accuracy", "batch", "navigation", "undo",
                        "sidecar", "precise", "field-picture", "results-pane", "plots", "export", "accuracy-figures"})
    EXPECT_TRUE(sections.contains(s)) << s;
  EXPECT_EQ(HelpWindow::SectionFor(frame()->TreePane()), "tree");
  EXPECT_EQ(HelpWindow::SectionFor(frame()->GeometryView()->viewport()), "view");
  for (QAction* a : frame()->ToolBar()->actions()) {
    if (a->isSeparator()) continue;
    const QString s = HelpWindow::SectionFor(frame()->ToolBar()->widgetForAction(a));
    EXPECT_TRUE(sections.contains(s)) << a->text().toStdString() << " -> " << s.toStdString();
  }
}

// Every pane and dialog of the program, found in its sources, has its
// section in the manual: a new dialog without one fails here.
TEST_F(HelpWindowTest, EveryPaneAndDialogHasASectionOfTheManual) {
  Start();
  const QStringList sections = HelpWindow::Open(frame())->Sections();
  // class -> base, from every header of the desktop program.
  QHash<QString, QString> base;
  static const QRegularExpression declaration(QStringLiteral("\\bclass\\s+(\\w+)\\s*(?:final\\s*)?:\\s*public\\s+(\\w+)"));
  for (const char* folder : {"app", "dialogs", "views", "document"}) {
    QDirIterator it(QString::fromUtf8(KALVOR_SOURCE_DIR "/") + QLatin1String(folder), {QStringLiteral("*.h")}, QDir::Files);
    while (it.hasNext()) {
      QFile file(it.next());
      ASSERT_TRUE(file.open(QIODevice::ReadOnly));
      const QString text = QString::fromUtf8(file.readAll());
      for (auto m = declaration.globalMatch(text); m.hasNext();) {
        const QRegularExpressionMatch d = m.next();
        base.insert(d.captured(1), d.captured(2));
      }
    }
  }
  auto derives = [&](QString cls, const QStringList& roots) {
    for (int depth = 0; depth < 10 && !cls.isEmpty(); ++depth, cls = base.value(cls))
      if (roots.contains(cls)) return true;
    return false;
  };
  // The section a class gets, as F1 finds it: its own or its nearest base's.
  auto section = [&](QString cls) {
    for (int depth = 0; depth < 10 && !cls.isEmpty(); ++depth, cls = base.value(cls))
      if (const QString s = HelpWindow::SectionForClass(cls); !s.isEmpty()) return s;
    return QString();
  };
  const QStringList roots = {QStringLiteral("QDialog"), QStringLiteral("QDockWidget"),
                             QStringLiteral("QAbstractScrollArea"), QStringLiteral("GeneratrixPane"),
                             QStringLiteral("COptionPage"), QStringLiteral("CLeftView_Empty")};
  int checked = 0;
  for (auto it = base.cbegin(); it != base.cend(); ++it) {
    if (!derives(it.key(), roots)) continue;
    ++checked;
    const QString s = section(it.key());
    EXPECT_TRUE(sections.contains(s)) << it.key().toStdString() << " -> \"" << s.toStdString() << "\"";
  }
  EXPECT_GT(checked, 15);
}

TEST_F(HelpWindowTest, ContextHelpOnTheResultsPaneOpensItsSectionAndClearsThePrompt) {
  Start();
  ResultsPane* pane = frame()->Results();
  pane->show();
  QTest::qWait(20);
  frame()->Action(ID_CONTEXT_HELP)->trigger();
  EXPECT_FALSE(frame()->statusBar()->currentMessage().isEmpty());
  QTest::mouseClick(pane->Tree()->viewport(), Qt::LeftButton);
  ASSERT_TRUE(Help());
  QTest::qWait(50);
  EXPECT_EQ(Help()->CurrentSection(), "results-pane");
  EXPECT_TRUE(frame()->statusBar()->currentMessage().isEmpty());
}

}  // namespace
