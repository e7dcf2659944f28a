#pragma once
// The geometry view, the right pane of the main frame: draws the
// field-forming system in the meridian half-plane (x right, y up, cm), the
// ring charges and the gap curves on request; maps the mouse to the model;
// marks, creates, deletes and opens generatrices for editing; zooms (the
// wheel about the cursor, "fit" shows the whole system) and pans (middle
// button, scroll bars). ViewMapping is the one mapping between the model and
// the window: everything drawn in the view goes through Mapping().

#include <QAbstractScrollArea>
#include <QPen>
#include <QRectF>
#include <QSize>
#include <functional>
#include <memory>

#include "views/ViewMapping.h"

class CKalvorDoc;
class FieldPicture;
class LeftPaneHost;
class QPainter;
class QPrinter;
class SurfData;

class CKalvorView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  explicit CKalvorView(CKalvorDoc& doc, QWidget* parent = nullptr);

  void SetHost(LeftPaneHost* host) { host_ = host; }
  // Offered every right click first (screen position, model point, the
  // reach of a few pixels in cm); when it returns true the click is taken.
  using RightClickHook = std::function<bool(QPoint global, QPointF model, double reachCm)>;
  void SetRightClickHook(RightClickHook hook) { rightClickHook_ = std::move(hook); }
  CKalvorDoc& Document() const { return doc_; }
  // The field picture drawn with the system once results are present.
  FieldPicture& Picture() const { return *picture_; }

  // Operations of the toolbar, the keyboard and the tree pane.
  void CreateArcGeneratrix();
  void CreateLineGeneratrix();
  void ZoomIn();
  void ZoomOut();
  // Zooms by `factor` keeping the model point under `anchor` (viewport
  // pixels) where it is; the whole system in the window is the least zoom.
  void ZoomAt(double factor, QPointF anchor);
  // The whole system in the window, no scroll bars.
  void ZoomToFit();
  double ZoomFactor() const { return zoom_; }
  // Insert key: asks for the kind first.
  void CreateGeneratrix();
  // Delete key: deletes the marked generatrices after confirmation.
  void DeleteMarked();
  // Each new or opened document: the whole new system in the window (the
  // old zoom framed a part of the old one).
  void OnInitialUpdate();

  // The mapping of the current canvas (the window times the zoom) and
  // scroll position; `forPaint` is kept for the callers that paint.
  ViewMapping Mapping(bool forPaint = false);
  // The box the picture is fitted to, logical units: the axis, the
  // generatrices, and the ground when the earth is used.
  QRectF SystemBox() const;
  QSize Canvas() const { return canvas_; }
  QSize ScrollTotal() const { return scrollTotal_; }

  // Draws the system with the given mapping (screen, printer, tests).
  void PaintSystem(QPainter& painter, const ViewMapping& mapping) const;
  // Prints the picture of the window as it is on screen, scaled to the page.
  void PrintOn(QPrinter& printer);

  // Mouse actions at a viewport position, for the event handlers and tests.
  void DoubleClickAt(QPoint pos);
  void MarkAt(QPoint pos);
  void ShowPositionAt(QPoint pos);

  // The pen a generatrix is drawn with.
  QPen PenFor(const SurfData& g) const;
  QPen GapCurvePen() const { return gapCurvePen_; }

  // Application-defined events that run the operations, for callers that
  // post rather than call.
  enum ViewEvent { kCreateArcEvent = 0x8003, kCreateLineEvent = 0x8005, kZoomInEvent = 0x800A, kZoomOutEvent = 0x800B };

 signals:
  void statusMessage(const QString& text);

 protected:
  bool event(QEvent* e) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void UpdateCanvas();
  void UpdateScrollBars();
  QPoint ScrollPosition() const;
  // Index of the last generatrix hit at a model point, or -1.
  int HitGeneratrix(QPointF model) const;

  CKalvorDoc& doc_;
  LeftPaneHost* host_ = nullptr;
  FieldPicture* picture_ = nullptr;  // a child object
  QSize canvas_{0, 0};
  QSize scrollTotal_{0, 0};  // empty: no scroll bars
  double zoom_ = 1.0;        // canvas / window
  bool panning_ = false;
  QPoint panFrom_;

  QPen dielectricPen_;
  QPen unknownPotentialPen_;
  QPen fixedPotentialPen_;
  QPen variablePotentialPen_;
  QPen blackPen_;
  QPen gapCurvePen_;
  RightClickHook rightClickHook_;
};
