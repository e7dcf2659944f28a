#pragma once
// "График": φ, |E|, En (and Et where it is not zero by construction, on a
// dielectric) along a generatrix or a gap curve, against the arc length or,
// on an arc, the angle; both sides of a dielectric as separate curves. The
// numbers are those of the result file at the same points. The chart exports
// to PNG, SVG and CSV.

#include <QDialog>
#include <QString>

#include "views/SurfaceSamples.h"

class QChart;
class QChartView;
class QLineSeries;

class FieldPlot : public QDialog {
  Q_OBJECT

 public:
  FieldPlot(const SurfaceSeries& series, const QString& title, QWidget* parent = nullptr);

  QChart* Chart() const { return chart_; }
  QChartView* View() const { return view_; }
  const SurfaceSeries& Series() const { return series_; }
  // Empty string on success, else the reason; the format by the suffix.
  QString ExportTo(const QString& path) const;
  QString Csv() const;

 private:
  void OnExport();

  SurfaceSeries series_;
  QChart* chart_ = nullptr;
  QChartView* view_ = nullptr;
};

class CKalvorDoc;

// Opens (non-modal) the plot of generatrix `index` / of every gap curve;
// nothing without results.
FieldPlot* OpenGeneratrixPlot(const CKalvorDoc& doc, int index, QWidget* parent);
void OpenGapCurvePlots(const CKalvorDoc& doc, QWidget* parent);
