#pragma once
// The geometry view, the right pane of the main frame: draws the
// field-forming system in the meridian half-plane (x right, y up, cm), the
// ring charges and the gap curves on request; maps the mouse to the model;
// marks, creates, deletes and opens generatrices for editing; zooms.

#include <QAbstractScrollArea>
#include <QPen>
#include <QSize>
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
  CKalvorDoc& Document() const { return doc_; }
  // The field picture drawn with the system once results are present.
  FieldPicture& Picture() const { return *picture_; }

  // Operations of the toolbar, the keyboard and the tree pane.
  void CreateArcGeneratrix();
  void CreateLineGeneratrix();
  void ZoomIn();
  void ZoomOut();
  // Insert key: asks for the kind first.
  void CreateGeneratrix();
  // Delete key: deletes the marked generatrices after confirmation.
  void DeleteMarked();
  // Each new or opened document: no scroll bars; the zoom is kept.
  void OnInitialUpdate();

  // The mapping of the current canvas; `forPaint` first raises the canvas to
  // the client size, as painting does.
  ViewMapping Mapping(bool forPaint);
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
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Zoom(double factor);
  void UpdateScrollBars();
  QPoint ScrollPosition() const;
  // Index of the last generatrix hit at a model point, or -1.
  int HitGeneratrix(QPointF model) const;

  CKalvorDoc& doc_;
  LeftPaneHost* host_ = nullptr;
  FieldPicture* picture_ = nullptr;  // a child object
  QSize canvas_{0, 0};
  QSize scrollTotal_{0, 0};  // empty: no scroll bars

  QPen dielectricPen_;
  QPen unknownPotentialPen_;
  QPen fixedPotentialPen_;
  QPen variablePotentialPen_;
  QPen blackPen_;
  QPen gapCurvePen_;
};
