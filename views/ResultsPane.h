#pragma once
// "Результаты": a dockable pane beside the tree, filled after each run from
// the document (its last run report and the solved system) and cleared when
// the results are discarded. Per generatrix and per body the largest |E| and
// where it is, both from the run's analysis, so they agree (a click shows
// the spot and moves the view's mark there, a double click opens the plot);
// the accuracy figures, the stages with their times, the result files of
// the surfaces and, after the gap calculation, of the gap curves.

#include <QDockWidget>
#include <QString>
#include <utility>
#include <vector>

#include "engine/CalculationRun.h"

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
  // After a gap calculation: its files join the result files.
  void ShowGapFiles();
  // The stages of a run by the names the progress window gives them, in
  // the order they first ran, each once with its time (s).
  static std::vector<std::pair<QString, double>> StageTimes(const std::vector<StageTiming>& timings);

  // Item data roles: the model point (QPointF, cm) of a row and its generatrix.
  static constexpr int kPointRole = Qt::UserRole + 1;
  static constexpr int kGeneratrixRole = Qt::UserRole + 2;
  static constexpr int kFieldRole = Qt::UserRole + 3;  // |E| at the point, kV/cm
  static constexpr int kErrorRole = Qt::UserRole + 4;  // its error, kV/cm (< 0 unknown)

 signals:
  void locate(double xcm, double ycm);
  // A largest field was clicked: the view's mark goes there.
  void markField(double xcm, double ycm, double field, double error);
  void plotRequested(int generatrix);

 private:
  void resizeEvent(QResizeEvent* event) override;
  void FitColumns();
  void OnClicked(QTreeWidgetItem* item);
  void OnDoubleClicked(QTreeWidgetItem* item);
  QTreeWidgetItem* Section(const QString& title);

  CKalvorDoc& doc_;
  QTreeWidget* tree_;
  QTreeWidgetItem* files_ = nullptr;
};
