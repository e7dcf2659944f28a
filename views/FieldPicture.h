#pragma once
// The field picture of the geometry view: a colour map of |E| or φ under the
// generatrices, equipotentials with their values and field lines over them,
// the largest field marked with its value, a colour bar whose |E| scale ends
// at that largest field, and axes with ticks in cm. With `mirror` the
// half-plane is drawn again into r < 0, so the view shows the whole
// cross-section through the axis. The same Paint* calls draw the screen, the
// exported images and the printed page.
//
// The numbers come from the engine on one worker thread (std::thread): the
// map of the visible part of the plane, coarse passes first, each pass
// handed to the GUI thread as it is done; then its equipotentials; then the
// field lines of the whole system (traced again only when the results or the
// count per electrode change). A new view rectangle restarts the job after a
// short pause; stopping sets the engine's stop flag and joins, so nothing is
// ever killed. The worker reads only the document's immutable snapshot of
// the solution (CKalvorDoc::Solution), never the live engine: editing,
// undoing and saving go on while it runs, and a new or dropped solution
// restarts or stops it.

#include <QImage>
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>
#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <optional>
#include <QPointF>
#include <thread>
#include <vector>

#include "dialogs/FieldPictureDialog.h"
#include "engine/FieldLines.h"
#include "engine/FieldMap.h"
#include "views/LargestField.h"

class CKalvorDoc;
class SolutionSnapshot;
class QPainter;
class ViewMapping;

class FieldPicture : public QObject {
  Q_OBJECT

 public:
  explicit FieldPicture(CKalvorDoc& doc, QObject* parent = nullptr);
  ~FieldPicture() override;

  const FieldPictureOptions& Options() const { return options_; }
  void SetOptions(const FieldPictureOptions& options);
  // Results present and something switched on.
  bool Active() const;

  // Before each screen paint: the part of the plane the view shows. A new
  // part (zoom, scroll, resize) restarts the map after a short pause.
  void Follow(const ViewMapping& mapping, QSize viewport);
  // The colour map, under the generatrices.
  void PaintUnder(QPainter& painter, const ViewMapping& mapping) const;
  // Equipotentials, field lines, the colour bar and the axes, inside `area`
  // (device pixels of the picture).
  void PaintOver(QPainter& painter, const ViewMapping& mapping, QRect area, bool axes) const;

  // The mark: after a run at the largest field of the system, moved to the
  // spot the results pane points at (cm; with its field in kV/cm and the
  // error of that field, < 0 where unknown, to write beside it). Cleared
  // with the results.
  void SetMarker(QPointF at, double field = -1.0, double error = -1.0);
  std::optional<QPointF> Marker() const;
  QString MarkerText() const;
  // The largest field of the system, from the run's analysis.
  const LargestField& Peak() const { return peak_; }

  // "φ=… |E|=… Ex=… Ey=… область N" at a model point (cm), on either half of
  // the cross-section; empty without results.
  QString ReadoutAt(double x, double y) const;
  // The x of a model point in the half-plane the engine computes.
  double HalfPlaneX(double x) const { return options_.mirror ? std::abs(x) : x; }

  // What has arrived so far (tests, export).
  const FieldMap& Map() const { return map_; }
  const std::vector<Polyline>& Contours() const { return contours_; }
  const std::vector<FieldLine>& Lines() const { return lines_; }
  double ContourStep() const { return contourStep_; }
  // Colour-scale range of the map shown.
  double ScaleMin() const { return scaleMin_; }
  double ScaleMax() const { return scaleMax_; }
  // The bottom of the scale: its lowest value, on a logarithmic scale the
  // field three decades (or the map's weakest field) below the top.
  double ScaleBottom() const;
  // Where on the colour bar (0 bottom, 1 top) a value of the map falls.
  double ScalePosition(double value) const;
  bool Running() const { return worker_.joinable() && !finished_.load(); }
  // The colour of a value t in [0, 1] (viridis-like, perceptually uniform).
  static QColor ColourAt(double t);
  // A round step (1, 2 or 5 times a power of ten) near span / count.
  static double RoundStep(double span, int count);

 signals:
  // New partial results arrived: repaint.
  void changed();

 private:
  struct Job;
  // What the worker hands to the GUI thread: one of the three parts.
  struct Delivery {
    int generation = 0;
    std::shared_ptr<FieldMap> map;
    std::shared_ptr<std::vector<Polyline>> contours;
    double step = 0.0;
    std::shared_ptr<std::vector<FieldLine>> lines;
  };
  void Stop();
  void Clear();
  void Restart();
  void OnSolution();
  void Post(Delivery delivery);  // worker thread
  Q_INVOKABLE void Deliver();    // GUI thread
  void Run(std::shared_ptr<Job> job);
  void AcceptMap(int generation, std::shared_ptr<FieldMap> map);
  void AcceptContours(int generation, std::shared_ptr<std::vector<Polyline>> contours, double step);
  void AcceptLines(int generation, std::shared_ptr<std::vector<FieldLine>> lines);
  void RebuildImage();
  bool LogScale() const;
  void PaintColourBar(QPainter& painter, QRect bar, const QFontMetrics& fm) const;
  QRect ColourBarRect(QRect area, const QFontMetrics& fm) const;

  CKalvorDoc& doc_;
  FieldPictureOptions options_;
  std::shared_ptr<const SolutionSnapshot> solution_;

  std::thread worker_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> finished_{true};
  int generation_ = 0;
  std::mutex mailboxMutex_;
  std::vector<Delivery> mailbox_;
  QTimer restartTimer_;

  MapRect wanted_;
  QSize wantedSize_;
  bool linesValid_ = false;

  FieldMap map_;
  QImage image_;
  double scaleMin_ = 0.0, scaleMax_ = 1.0;
  std::vector<Polyline> contours_;
  double contourStep_ = 0.0;
  std::vector<FieldLine> lines_;
  struct Mark {
    QPointF at;
    double field = -1.0, error = -1.0;
  };
  std::optional<Mark> marker_;
  LargestField peak_;
  double logFloor_ = 0.0;  // the bottom of a logarithmic scale
};
