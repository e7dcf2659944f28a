#pragma once
// The tree pane, the default content of the left column: one top-level item
// per generatrix with its parameters as child items; a context menu to
// delete or edit a generatrix, "Добавить" for a new one and "Скрыть панель"
// to collapse the column.

#include <QWidget>

class CKalvorDoc;
class QAction;
class LeftPaneHost;
class QMenu;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class SurfData;

class CLeftView_Empty : public QWidget {
  Q_OBJECT

 public:
  CLeftView_Empty(CKalvorDoc& doc, LeftPaneHost* host, QWidget* parent = nullptr);

  // Fills the tree from the collection.
  void OnInitialUpdate();
  // Appends the items of a line or arc generatrix (others get none); the
  // item's data is the item counter, its number the counter plus one.
  void AppendItems(const SurfData& g);

  // Commands; they act on the selected top-level item.
  void DeleteSelected();
  void EditSelected();
  void OnAdd();
  void OnHide();

  QTreeWidget* Tree() const { return tree_; }
  QPushButton* AddButton() const { return addButton_; }
  QPushButton* HideButton() const { return hideButton_; }
  QMenu* ContextMenu() const { return contextMenu_; }
  int ItemCounter() const { return itemCounter_; }

  // The texts the tree shows.
  static QString TopLevelText(const SurfData& g, int number);
  // Writes the eight child items (creating them the first time).
  static void WriteChildren(QTreeWidgetItem* top, const SurfData& g);

 private:
  // The document's signals.
  void OnAdded(int index);
  void OnRemoved(int index);
  void OnChanged(int index);
  void OnContextMenu(const QPoint& pos);
  QTreeWidgetItem* SelectedTopLevel() const;

  CKalvorDoc& doc_;
  LeftPaneHost* host_;
  QTreeWidget* tree_;
  QPushButton* addButton_;
  QPushButton* hideButton_;
  QMenu* contextMenu_;
  QAction* plotAction_ = nullptr;  // "График", with results only
  int itemCounter_ = 0;
};
