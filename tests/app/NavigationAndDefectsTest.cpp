// The geometry view's navigation (keypad, wheel, fit, middle-button pan, the
// picture fitted to the window) and the frame's finish: the splitter's move
// mode, the status bar after New, Russian standard texts, and the question
// before a file read only in part is overwritten.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMenuBar>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QWheelEvent>

#include "GuiTestSupport.h"
#include "ModalDriver.h"
#include "app/FrameCommands.h"
#include "model/Line.h"
#include "views/CKalvorView.h"
#include "views/CLeftView_Line.h"

namespace {

// A rod 1 cm from the axis, from 50 to 100 cm above the ground.
const char* const kRaisedRod =
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 1.000 ; 50.000 ; 1.000 ; 100.000 ; 20 ; 1.0000 ;\n";

class NavigationTest : public GuiTest {
 protected:
  CKalvorView* view() { return frame()->GeometryView(); }
};

// Regression: keypad + and - did nothing; the menu named them "Num++".
TEST_F(NavigationTest, KeypadPlusAndMinusZoomButTypeSignsInNumberFields) {
  Start({WriteFile(dir, "four.txt", kFourGeneratrices)});
  view()->setFocus();
  QTest::keyClick(view(), Qt::Key_Plus, Qt::KeypadModifier);
  EXPECT_NEAR(view()->ZoomFactor(), 1.1, 1e-9);
  QTest::keyClick(view(), Qt::Key_Plus, Qt::KeypadModifier);
  QTest::keyClick(view(), Qt::Key_Minus, Qt::KeypadModifier);
  EXPECT_NEAR(view()->ZoomFactor(), 1.1 * 1.1 / 1.2, 1e-9);
  EXPECT_FALSE(frame()->Action(ID_ZOOM_IN)->shortcut().toString(QKeySequence::NativeText).contains("Num"));

  auto* pane = qobject_cast<CLeftView_Line*>(frame()->ReplaceLeftPane(LeftPaneKind::Line));
  ASSERT_NE(pane, nullptr);
  pane->Y1Edit()->setFocus();
  pane->Y1Edit()->clear();
  const double zoom = view()->ZoomFactor();
  QTest::keyClick(pane->Y1Edit(), '-', Qt::KeypadModifier);
  EXPECT_EQ(pane->Y1Edit()->text(), "-");
  EXPECT_EQ(view()->ZoomFactor(), zoom);
}

TEST_F(NavigationTest, WheelZoomsAboutTheCursorHomeFitsAndTheMiddleButtonPans) {
  Start({WriteFile(dir, "four.txt", kFourGeneratrices)});
  const QPointF cursor(120, 90);
  const QPointF before = view()->Mapping().ToLogicalF(cursor);
  QWheelEvent wheel(cursor, view()->viewport()->mapToGlobal(cursor), QPoint(), QPoint(0, 360), Qt::NoButton,
                    Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view()->viewport(), &wheel);
  EXPECT_NEAR(view()->ZoomFactor(), 1.1 * 1.1 * 1.1, 1e-9);
  const QPointF after = view()->Mapping().ToLogicalF(cursor);
  const double pixel = 1.0 / view()->Mapping().Scale();
  EXPECT_NEAR(after.x(), before.x(), pixel);
  EXPECT_NEAR(after.y(), before.y(), pixel);

  const QPoint scroll(view()->horizontalScrollBar()->value(), view()->verticalScrollBar()->value());
  QTest::mousePress(view()->viewport(), Qt::MiddleButton, Qt::NoModifier, QPoint(100, 100));
  QMouseEvent move(QEvent::MouseMove, QPointF(90, 95), view()->viewport()->mapToGlobal(QPointF(90, 95)),
                   Qt::NoButton, Qt::MiddleButton, Qt::NoModifier);
  QApplication::sendEvent(view()->viewport(), &move);
  QTest::mouseRelease(view()->viewport(), Qt::MiddleButton, Qt::NoModifier, QPoint(90, 95));
  EXPECT_EQ(view()->horizontalScrollBar()->value(), scroll.x() + 10);
  EXPECT_EQ(view()->verticalScrollBar()->value(), scroll.y() + 5);

  view()->setFocus();
  QTest::keyClick(view(), Qt::Key_Home);
  EXPECT_EQ(view()->ZoomFactor(), 1.0);
  EXPECT_EQ(view()->horizontalScrollBar()->maximum(), 0);
  EXPECT_EQ(view()->verticalScrollBar()->maximum(), 0);
}

// Regression: a system away from the ground was fitted with the empty room
// below it, in part of the window; a zoom kept across Open clipped the new
// picture with no scroll bars to reach the rest.
TEST_F(NavigationTest, TheSystemFillsTheWindowAndOpenShowsItWhole) {
  Start({WriteFile(dir, "four.txt", kFourGeneratrices)});
  view()->ZoomIn();
  view()->ZoomIn();
  ASSERT_TRUE(frame()->OpenFile(WriteFile(dir, "rod.txt", kRaisedRod)));
  EXPECT_EQ(view()->ZoomFactor(), 1.0);
  EXPECT_EQ(view()->verticalScrollBar()->maximum(), 0);
  const QSize client = view()->viewport()->size();
  const ViewMapping m = view()->Mapping();
  EXPECT_NEAR(m.ToDevice(10, 500).y(), client.height() - ViewMapping::kMargin, 1.0);
  EXPECT_NEAR(m.ToDevice(10, 1000).y(), ViewMapping::kMargin, 1.0);
  // Narrow: the whole section (the rod and its mirror image) centred across
  // the window, the axis in the middle.
  EXPECT_NEAR(m.ToDevice(0, 750).x(), client.width() / 2.0, 1.0);
}

// Regression: the "Point=[…]" of the old system stayed after New and Open.
TEST_F(NavigationTest, NewClearsTheCursorPositionFromTheStatusBar) {
  Start({WriteFile(dir, "four.txt", kFourGeneratrices)});
  view()->ShowPositionAt(QPoint(50, 50));
  EXPECT_TRUE(frame()->statusBar()->currentMessage().startsWith("Point="));
  doc().NewDocument();
  EXPECT_TRUE(frame()->statusBar()->currentMessage().isEmpty());
}

TEST_F(NavigationTest, SplitGivesAMoveModeForTheArrowKeys) {
  Start();
  QSplitter* s = frame()->Splitter();
  const QList<int> start = s->sizes();
  frame()->Action(ID_WINDOW_SPLIT)->trigger();
  ASSERT_TRUE(frame()->SplitMoving());
  view()->setFocus();
  QTest::keyClick(view(), Qt::Key_Right);
  QTest::keyClick(view(), Qt::Key_Right);
  EXPECT_EQ(s->sizes().value(0), start.value(0) + 2 * CMainFrame::kSplitStep);
  QTest::keyClick(view(), Qt::Key_Escape);
  EXPECT_EQ(s->sizes(), start);
  EXPECT_FALSE(frame()->SplitMoving());

  frame()->Action(ID_WINDOW_SPLIT)->trigger();
  QTest::keyClick(view(), Qt::Key_Left);
  QTest::keyClick(view(), Qt::Key_Return);
  EXPECT_FALSE(frame()->SplitMoving());
  EXPECT_EQ(s->sizes().value(0), start.value(0) - CMainFrame::kSplitStep);
}

// Regression: Yes/No/Cancel and the file dialogs spoke English.
TEST_F(NavigationTest, StandardButtonsSpeakRussian) {
  Start();
  QMessageBox box(QMessageBox::Question, "Kalvor", "?", QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  EXPECT_EQ(box.button(QMessageBox::Yes)->text(), "&Да");
  EXPECT_EQ(box.button(QMessageBox::No)->text(), "&Нет");
  EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), "Отмена");
}

// Regression: saving a file read only up to a bad line silently dropped
// every line from it on.
TEST_F(NavigationTest, SavingOverAFileReadInPartAsksFirst) {
  const QByteArray original = QByteArray(kSphere) + "Qq; not a generatrix\n" + kSphere;
  const QString path = WriteFile(dir, "partial.txt", original);
  {
    ModalDriver readingStopped;
    Start({path});
  }
  ASSERT_EQ(doc().StoppedAtLine(), 2);
  {
    ModalDriver cancel([](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box || !box->text().contains("строки 2")) return false;
      box->button(QMessageBox::Cancel)->click();
      return true;
    });
    EXPECT_FALSE(frame()->Save());
    EXPECT_EQ(cancel.boxes.size(), 1);
  }
  EXPECT_EQ(ReadFile(path), original);
  {
    ModalDriver yes;
    EXPECT_TRUE(frame()->Save());
  }
  EXPECT_EQ(ReadFile(path), QByteArray(kSphere));
  EXPECT_EQ(doc().StoppedAtLine(), 0);
}

// Regression: the line dialog's defaults (0,0)-(0,0) "completed" with
// all-zero results.
TEST_F(NavigationTest, NonsenseIsNamedBeforeTheSummary) {
  Start();
  SurfParams p;
  p.material = 1;
  p.innerRegion = 1;
  p.outerRegion = 2;
  p.pointCount = 10;
  p.ratioLd = 1.0;
  doc().AddGeneratrix(std::make_unique<Line>(p, 0, 0, 0, 0));
  ModalDriver no({}, false);
  frame()->Action(ID_CALCULATE)->trigger();
  ASSERT_EQ(no.boxes.size(), 1);
  EXPECT_TRUE(no.SawBox("Образующая 1: отрезок нулевой длины"));
  EXPECT_TRUE(no.dialogs.isEmpty()) << "no summary after No";
}

}  // namespace
