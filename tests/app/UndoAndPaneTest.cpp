// Undo and redo through the frame's commands for every kind of change, and
// the editor pane that asks before its unapplied changes are left behind.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMenuBar>
#include <QTreeWidget>
#include <QUndoStack>

#include "GuiTestSupport.h"
#include "ModalDriver.h"
#include "app/FrameCommands.h"
#include "engine/GapCurves.h"
#include "model/Line.h"
#include "views/CKalvorView.h"
#include "model/Arch.h"
#include "views/CLeftView_Arch.h"
#include "views/CLeftView_Empty.h"
#include "views/CLeftView_Line.h"

namespace {

class UndoAndPaneTest : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    Start({WriteFile(dir, "four.txt", kFourGeneratrices)});
  }
  void Undo() { frame()->Action(ID_EDIT_UNDO)->trigger(); }
  void Redo() { frame()->Action(ID_EDIT_REDO)->trigger(); }
  std::string Text(int i) { return doc().Generatrices().At(i)->GetText(); }
  // The line pane on the dielectric wall (generatrix 2).
  CLeftView_Line* OpenWallPane() {
    auto* pane = qobject_cast<CLeftView_Line*>(frame()->ReplaceLeftPane(LeftPaneKind::Line));
    if (pane) pane->Fill(1, *dynamic_cast<const Line*>(doc().Generatrices().At(1)));
    return pane;
  }
};

TEST_F(UndoAndPaneTest, UndoAndRedoFollowEveryChangeAndTheSavedState) {
  QAction* undo = frame()->Action(ID_EDIT_UNDO);
  QAction* redo = frame()->Action(ID_EDIT_REDO);
  EXPECT_EQ(undo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
  EXPECT_EQ(redo->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Y));
  EXPECT_FALSE(undo->isEnabled());
  EXPECT_FALSE(redo->isEnabled());
  const std::string wall = Text(1);

  // Delete through the geometry view, as the Delete key does.
  ASSERT_TRUE(doc().ToggleMarked(1));
  {
    ModalDriver yes;
    frame()->GeometryView()->DeleteMarked();
  }
  ASSERT_EQ(doc().Generatrices().GetSize(), 3);
  EXPECT_TRUE(undo->isEnabled());
  EXPECT_TRUE(frame()->isWindowModified());
  Undo();
  ASSERT_EQ(doc().Generatrices().GetSize(), 4);
  EXPECT_EQ(Text(1), wall);
  EXPECT_EQ(frame()->TreePane()->Tree()->topLevelItemCount(), 4);
  EXPECT_FALSE(frame()->isWindowModified());
  EXPECT_TRUE(redo->isEnabled());
  Redo();
  EXPECT_EQ(doc().Generatrices().GetSize(), 3);
  Undo();

  // The gap curves and the parameters.
  CSurfColl curves;
  curves.Append(MakeGapLine(2, 4, 0, 0, 10, 0));
  doc().SetGapCurves(std::move(curves));
  CalcParameters p = doc().Parameters();
  p.UseEarth = true;
  doc().SetParameters(p);
  Undo();
  EXPECT_FALSE(doc().Parameters().UseEarth);
  Undo();
  EXPECT_TRUE(doc().GapCurves().IsEmpty());
  EXPECT_FALSE(undo->isEnabled());
}

TEST_F(UndoAndPaneTest, AnUndoneApplyRefillsThePane) {
  CLeftView_Line* pane = OpenWallPane();
  ASSERT_NE(pane, nullptr);
  pane->X2Edit()->setText("9");
  ASSERT_TRUE(pane->Apply());
  EXPECT_DOUBLE_EQ(dynamic_cast<const Line*>(doc().Generatrices().At(1))->x2, 9.0);
  EXPECT_FALSE(pane->HasUnappliedChanges());
  Undo();
  EXPECT_DOUBLE_EQ(dynamic_cast<const Line*>(doc().Generatrices().At(1))->x2, 8.0);
  EXPECT_EQ(pane->X2Edit()->text(), "8");
  EXPECT_FALSE(frame()->isWindowModified());

  // A generatrix added above the pane's moves it down; the pane follows.
  doc().AddGeneratrix(doc().Generatrices().At(0)->Clone());
  doc().RemoveGeneratrix(0);
  EXPECT_EQ(pane->Index(), 0);
  Undo();
  EXPECT_EQ(pane->Index(), 1);

  // Its generatrix gone, the pane refuses; the next undo or redo brings
  // back the tree.
  doc().RemoveGeneratrix(1);
  EXPECT_EQ(pane->Index(), -1);
  EXPECT_EQ(frame()->LeftPane(), pane);
  Undo();
  EXPECT_NE(frame()->TreePane(), nullptr);
}

TEST_F(UndoAndPaneTest, LeavingAPaneWithUnappliedChangesAsksToApplyThem) {
  auto answer = [](QMessageBox::StandardButton b) {
    return [b](QWidget* w) {
      auto* box = qobject_cast<QMessageBox*>(w);
      if (!box) return false;
      box->button(b)->click();
      return true;
    };
  };
  CLeftView_Line* pane = OpenWallPane();
  ASSERT_NE(pane, nullptr);
  {
    // Nothing changed: no question.
    ModalDriver none;
    ASSERT_NE(frame()->ReplaceLeftPane(LeftPaneKind::Tree), nullptr);
    EXPECT_TRUE(none.boxes.isEmpty());
  }
  pane = OpenWallPane();
  pane->X2Edit()->setText("9");
  {
    ModalDriver cancel(answer(QMessageBox::Cancel));
    EXPECT_EQ(frame()->ReplaceLeftPane(LeftPaneKind::Tree), nullptr);
    EXPECT_TRUE(cancel.SawBox("Внести изменения в образующую 2?"));
  }
  EXPECT_EQ(frame()->LeftPane(), pane);
  {
    ModalDriver yes(answer(QMessageBox::Yes));
    ASSERT_NE(frame()->ReplaceLeftPane(LeftPaneKind::Tree), nullptr);
  }
  EXPECT_DOUBLE_EQ(dynamic_cast<const Line*>(doc().Generatrices().At(1))->x2, 9.0);

  pane = OpenWallPane();
  pane->X2Edit()->setText("7");
  {
    // New asks about the pane first, then about saving.
    ModalDriver no({}, false);
    frame()->Action(ID_FILE_NEW)->trigger();
    EXPECT_EQ(no.boxes.size(), 2);
  }
  EXPECT_TRUE(doc().Generatrices().IsEmpty());
}

}  // namespace

namespace {

// Regression: a double click on another generatrix while the pane had
// unapplied changes applied them (replacing the generatrices) and then
// filled the new pane from the replaced, freed one.
TEST_F(UndoAndPaneTest, DoubleClickOnAGeneratrixAfterApplyingFillsFromTheCurrentOne) {
  CKalvorView* view = frame()->GeometryView();
  const QPoint arc = view->Mapping().ToDevice(30, 50).toPoint();  // the half sphere, r = 3
  view->DoubleClickAt(arc);
  auto* pane = qobject_cast<CLeftView_Arch*>(frame()->LeftPane());
  ASSERT_NE(pane, nullptr);
  pane->REdit()->setText("4");
  {
    ModalDriver yes;
    view->DoubleClickAt(arc);
    EXPECT_EQ(yes.boxes.size(), 1);
  }
  EXPECT_DOUBLE_EQ(dynamic_cast<const Arch*>(doc().Generatrices().At(0))->radius, 4.0);
  pane = qobject_cast<CLeftView_Arch*>(frame()->LeftPane());
  ASSERT_NE(pane, nullptr);
  EXPECT_EQ(pane->REdit()->text(), "4");
  EXPECT_EQ(pane->InnerRegionEdit()->text(), "1");
}

}  // namespace
