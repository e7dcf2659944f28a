#pragma once
// "График": φ, |E|, En (and Et where it is not zero by construction, on a
// dielectric) along a generatrix or a gap curve, against the arc length or,
// on an arc, the angle; both sides of a dielectric as separate curves; on a
// generatrix the largest field of the run's analysis as a point. The
// numbers are those of the result file at the same points.
//
// One window holds several curves, a tab each (all the gap curves of a gap
// calculation in one window). "Добавить на график" overlays φ and |E| of
// another generatrix, or of a curve plotted from an earlier run (before an
// edit), on the tab shown, each with its own legend entry. The tab shown
// exports to PNG, SVG and CSV.

#include <QDialog>
#include <QString>
#include <memory>
#include <vector>

#include "views/LargestField.h"
#include "views/SurfaceSamples.h"

class CKalvorDoc;
class QChart;
class QChartView;
class QMenu;
class QTabWidget;
class QValueAxis;

class FieldPlot : public QDialog {
  Q_OBJECT

 public:
  // A window with one tab; `doc` (may be null) offers its generatrices to
  // "Добавить на график".
  FieldPlot(const SurfaceSeries& series, const QString& title, QWidget* parent = nullptr,
            const CKalvorDoc* doc = nullptr, const LargestField& peak = {});
  ~FieldPlot() override;

  // A further tab; returns its index.
  int AddTab(const SurfaceSeries& series, const QString& title, const LargestField& peak = {});
  void RemoveTabs();
  int TabCount() const;
  QTabWidget* Tabs() const { return tabs_; }

  // The tab shown.
  QChart* Chart() const;
  QChartView* View() const;
  const SurfaceSeries& Series() const;
  // φ and |E| of `series` over the tab shown, named after `label`.
  void Overlay(const SurfaceSeries& series, const QString& label);

  // Empty string on success, else the reason; the format by the suffix.
  QString ExportTo(const QString& path) const;
  // The tab's own curve; the inner-side columns are empty where there is no
  // inner side (conductors, gap curves).
  QString Csv() const;

  // What "Добавить на график" offers for the tab shown.
  QStringList Offers() const;
  // Overlays offer `index` of Offers().
  void AddOffer(int index);

  // Curves plotted from earlier runs, kept for comparison while the program runs.
  struct Remembered {
    QString label;
    int generatrix = -1;
    SurfaceSeries series;
  };
  static const std::vector<Remembered>& Remembers();
  static void Remember(int generatrix, const SurfaceSeries& series);

 private:
  struct Tab;
  void OnExport();
  void Fit(Tab& tab);
  Tab& Current();
  const Tab& Current() const;

  const CKalvorDoc* doc_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  std::vector<std::unique_ptr<Tab>> tabList_;
  QMenu* addMenu_ = nullptr;
};

// Opens (non-modal) the plot of generatrix `index`; nothing without results.
FieldPlot* OpenGeneratrixPlot(const CKalvorDoc& doc, int index, QWidget* parent);
// One window with a tab per gap curve, the same window again on the next gap
// calculation; nothing without results.
FieldPlot* OpenGapCurvePlots(const CKalvorDoc& doc, QWidget* parent);
