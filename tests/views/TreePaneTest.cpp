// The tree pane: item texts and images for lines, arcs, dielectrics and
// conductors; deleting, editing and adding with the numbering rules; the
// context menu only on top-level items.
#include <gtest/gtest.h>

#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>

#include "app/GuiTestSupport.h"
#include "app/ModalDriver.h"
#include "dialogs/CDialogCreateGeneratrix.h"
#include "dialogs/CLineDialog.h"
#include <QRadioButton>
#include <QComboBox>
#include <QLineEdit>
#include "model/Line.h"
#include "views/CLeftView_Empty.h"

namespace {

QStringList Children(const QTreeWidgetItem* item) {
  QStringList texts;
  for (int i = 0; i < item->childCount(); ++i) texts << item->child(i)->text(0);
  return texts;
}

class TreePaneTest : public GuiTest {
 protected:
  CLeftView_Empty* tree() { return frame()->TreePane(); }
  QTreeWidgetItem* top(int i) { return tree()->Tree()->topLevelItem(i); }
};

TEST_F(TreePaneTest, AnEmptySystemGivesADisabledEmptyTree) {
  Start();
  EXPECT_EQ(tree()->Tree()->topLevelItemCount(), 0);
  EXPECT_FALSE(tree()->Tree()->isEnabled());
  EXPECT_EQ(tree()->AddButton()->text(), "Добавить");
  EXPECT_EQ(tree()->HideButton()->text(), "Скрыть панель");
}

TEST_F(TreePaneTest, ItemsShowEveryParameterOfLinesArcsDielectricsAndConductors) {
  Start({WriteFile(dir, "four.txt", kFourGeneratrices)});
  ASSERT_EQ(tree()->Tree()->topLevelItemCount(), 4);
  EXPECT_TRUE(tree()->Tree()->isEnabled());

  EXPECT_EQ(top(0)->text(0), " 1: Окружность, ( 0.0,  5.0), 3.0; <90.0, -90.0>");
  EXPECT_EQ(Children(top(0)), (QStringList{"Проводник", "Область внутри : 1", "Область снаружи : 2",
                                           "Eps снаружи : 1.00", "Потенциал: фиксированный = 10.00", "Координаты:",
                                           "Количество КТ : 20", "Отношение l/d : 1.00"}));
  EXPECT_EQ(Children(top(0)->child(5)),
            (QStringList{"x= 0.00", "y= 5.00", "r= 3.00", "Teta1= 90.00", "Teta2= -90.00"}));

  EXPECT_EQ(top(1)->text(0), " 2: Отрезок прямой, ( 8.0,  0.0) - ( 8.0, 10.0)");
  EXPECT_EQ(Children(top(1)), (QStringList{"Диэлектрик", "Область внутри : 3", "Область снаружи : 2",
                                           "Eps внутри : 4.00", "Eps снаружи : 1.00", "Координаты:",
                                           "Количество КТ : 20", "Отношение l/d : 1.00"}));
  EXPECT_EQ(Children(top(1)->child(5)), (QStringList{"x1= 8.00", "y1= 0.00", "x2= 8.00", "y2= 10.00"}));

  EXPECT_EQ(top(2)->child(4)->text(0), "Потенциал: неизвестный");
  EXPECT_EQ(top(3)->child(4)->text(0), "Потенциал: переменный = (0.00 - 5.00)");
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(top(i)->data(0, Qt::UserRole).toInt(), i);
    EXPECT_FALSE(top(i)->icon(0).isNull());
  }
}

TEST_F(TreePaneTest, NumbersOfTenAndMoreWidenTheirField) {
  QByteArray text;
  for (int i = 0; i < 10; ++i) text += kSphere;
  Start({WriteFile(dir, "ten.txt", text)});
  EXPECT_TRUE(top(8)->text(0).startsWith(" 9: "));
  EXPECT_TRUE(top(9)->text(0).startsWith("10: "));
}

TEST_F(TreePaneTest, DeletingTheSecondOfThreeKeepsTheOldNumbersAndRenumbersTheData) {
  QByteArray text = QByteArray(kSphere) + kSphere + kSphere;
  Start({WriteFile(dir, "three.txt", text)});
  tree()->Tree()->setCurrentItem(top(1));
  {
    ModalDriver driver;
    tree()->DeleteSelected();
    ASSERT_EQ(driver.boxes.size(), 1);
    EXPECT_EQ(driver.boxes[0], "Ты, чо, серьезно|Вы действительно хотите удалить выбранную образующую?");
  }
  EXPECT_EQ(doc().Generatrices().GetSize(), 2);
  ASSERT_EQ(tree()->Tree()->topLevelItemCount(), 2);
  EXPECT_TRUE(top(0)->text(0).startsWith(" 1:"));
  EXPECT_TRUE(top(1)->text(0).startsWith(" 3:"));
  EXPECT_EQ(top(1)->data(0, Qt::UserRole).toInt(), 1);
  EXPECT_TRUE(doc().IsModified());
  EXPECT_TRUE(doc().ChangedSinceCalculation());

  // Editing the second item edits position 1 and renumbers its text.
  tree()->Tree()->setCurrentItem(top(1));
  {
    ModalDriver driver([](QWidget* w) {
      auto* dlg = qobject_cast<QDialog*>(w);
      if (!dlg) return false;
      dlg->accept();
      return true;
    });
    tree()->EditSelected();
  }
  EXPECT_TRUE(top(1)->text(0).startsWith(" 2:"));

  // A new generatrix gets number 3 and data 2.
  SurfParams p;
  p.pointCount = 3;
  doc().AddGeneratrix(std::make_unique<Line>(p, 0, 0, 1, 1));
  EXPECT_TRUE(top(2)->text(0).startsWith(" 3:"));
  EXPECT_EQ(top(2)->data(0, Qt::UserRole).toInt(), 2);
}

// Regression: "Добавить" marked the document modified even when the user
// cancelled the kind chooser or the generatrix dialog.
TEST_F(TreePaneTest, CancelledAddLeavesTheDocumentUnmodified) {
  Start({WriteFile(dir, "four.txt", kFourGeneratrices)});
  {
    ModalDriver cancelChooser;
    tree()->OnAdd();
    EXPECT_EQ(cancelChooser.dialogs, QStringList{"CDialogCreateGeneratrix"});
  }
  {
    ModalDriver cancelLine([](QWidget* w) {
      if (auto* chooser = qobject_cast<CDialogCreateGeneratrix*>(w)) {
        chooser->KindButton(CDialogCreateGeneratrix::kLine)->click();
        static_cast<QDialog*>(chooser)->accept();
        return true;
      }
      return false;
    });
    tree()->OnAdd();
    EXPECT_EQ(cancelLine.dialogs, (QStringList{"CDialogCreateGeneratrix", "CLineDialog"}));
  }
  EXPECT_FALSE(doc().IsModified());
  EXPECT_EQ(doc().Generatrices().GetSize(), 4);
}

TEST_F(TreePaneTest, DeleteAnsweredNoChangesNothing) {
  Start({WriteFile(dir, "four.txt", kFourGeneratrices)});
  tree()->Tree()->setCurrentItem(top(0));
  ModalDriver driver({}, false);
  tree()->DeleteSelected();
  EXPECT_EQ(driver.boxes.size(), 1);
  EXPECT_EQ(doc().Generatrices().GetSize(), 4);
  EXPECT_EQ(tree()->Tree()->topLevelItemCount(), 4);
  EXPECT_FALSE(doc().IsModified());
}

TEST_F(TreePaneTest, EditingThroughTheLineDialogRewritesTheChildren) {
  Start({WriteFile(dir, "four.txt", kFourGeneratrices)});
  tree()->Tree()->setCurrentItem(top(2));  // the floating plate
  ModalDriver driver([](QWidget* w) {
    auto* dlg = qobject_cast<CLineDialog*>(w);
    if (!dlg) return false;
    dlg->MaterialList()->setCurrentIndex(0);
    dlg->EditFor("epsInner")->setText("2.5");
    static_cast<QDialog*>(dlg)->accept();
    return true;
  });
  tree()->EditSelected();
  ASSERT_EQ(driver.dialogs, QStringList{"CLineDialog"});
  const SurfData* g = doc().Generatrices().At(2);
  EXPECT_EQ(g->material, 0);
  EXPECT_FALSE(g->isFloating);
  EXPECT_EQ(top(2)->child(0)->text(0), "Диэлектрик");
  EXPECT_EQ(top(2)->child(3)->text(0), "Eps внутри : 2.50");
  EXPECT_EQ(top(2)->childCount(), 8);
}

TEST_F(TreePaneTest, TheContextMenuOpensOnTopLevelItemsOnly) {
  Start({WriteFile(dir, "four.txt", kFourGeneratrices)});
  top(0)->setExpanded(true);
  QTreeWidget* t = tree()->Tree();
  const QRect childRect = t->visualItemRect(top(0)->child(1));
  emit t->customContextMenuRequested(childRect.center());
  EXPECT_FALSE(tree()->ContextMenu()->isVisible());
  emit t->customContextMenuRequested(t->visualItemRect(top(0)).center());
  EXPECT_TRUE(tree()->ContextMenu()->isVisible());
  QStringList texts;
  for (QAction* a : tree()->ContextMenu()->actions()) texts << a->text();
  EXPECT_EQ(texts, (QStringList{"Удалить", "Редактировать", "График"}));
  tree()->ContextMenu()->hide();
}

TEST_F(TreePaneTest, HideCollapsesTheLeftColumn) {
  Start();
  tree()->HideButton()->click();
  EXPECT_EQ(frame()->Splitter()->sizes().value(0), 0);
}

}  // namespace
