#pragma once
// "Результаты": a dockable pane beside the tree, filled after each run from
// the document (its last run report and the solved system) and cleared when
// the results are discarded. Per generatrix the largest |E| and where it is
// (a click asks the view to show the spot, a double click opens the plot),
// the result files, and whatever further figures the run report carries.

#include <QDockWidget>

class CKalvorDoc;
class QTreeWidget;
class QTreeWidgetItem;

class ResultsPane : public QDockWidget {
  Q_OBJECT

 public:
  explicit ResultsPane(CKalvorDoc& doc, QWidget* parent = nullptr);

  QTreeWidget* Tree() const { return tree_; }
  // Rebuilds the rows from the document (empty without results).
  void Fill();

  // Item data roles: the model point (QPointF, cm) of a row and its generatrix.
  static constexpr int kPointRole = Qt::UserRole + 1;
  static constexpr int kGeneratrixRole = Qt::UserRole + 2;

 signals:
  void locate(double xcm, double ycm);
  void plotRequested(int generatrix);

 private:
  void OnClicked(QTreeWidgetItem* item);
  void OnDoubleClicked(QTreeWidgetItem* item);
  QTreeWidgetItem* Section(const QString& title);

  CKalvorDoc& doc_;
  QTreeWidget* tree_;
};
