#include "views/CKalvorView.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "document/CKalvorDoc.h"
#include "dialogs/CArchDialog.h"
#include "dialogs/CDialogCreateGeneratrix.h"
#include "dialogs/CLineDialog.h"
#include "model/Arch.h"
#include "model/Line.h"
#include "views/FieldPicture.h"
#include "views/InceptionView.h"
#include "views/LeftPaneHost.h"
#include "views/QtDrawSurface.h"

namespace {

QPen SolidPen(int r, int g, int b) {
  QPen pen(QColor(r, g, b));
  pen.setWidth(1);  // one pixel on screen; scales with the page when printing
  return pen;
}

// Keeps the canvas well inside the int range however often the user zooms in.
constexpr int kMaxCanvas = 1 << 20;

}  // namespace

CKalvorView::CKalvorView(CKalvorDoc& doc, QWidget* parent)
    : QAbstractScrollArea(parent),
      doc_(doc),
      dielectricPen_(SolidPen(0, 255, 0)),
      unknownPotentialPen_(SolidPen(220, 80, 181)),
      fixedPotentialPen_(SolidPen(128, 128, 128)),
      variablePotentialPen_(SolidPen(27, 21, 242)),
      blackPen_(SolidPen(0, 0, 0)),
      gapCurvePen_(SolidPen(67, 248, 252)) {
  gapCurvePen_.setStyle(Qt::DotLine);
  viewport()->setMouseTracking(true);
  viewport()->setAutoFillBackground(true);
  QPalette pal = viewport()->palette();
  pal.setColor(QPalette::Base, Qt::white);
  pal.setColor(QPalette::Window, Qt::white);
  viewport()->setPalette(pal);
  setFocusPolicy(Qt::StrongFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  UpdateScrollBars();
  connect(&doc_, &CKalvorDoc::viewsChanged, viewport(), qOverload<>(&QWidget::update));
  connect(&doc_, &CKalvorDoc::documentReset, this, &CKalvorView::OnInitialUpdate);
  picture_ = new FieldPicture(doc_, this);
  connect(picture_, &FieldPicture::changed, viewport(), qOverload<>(&QWidget::update));
}

QPen CKalvorView::PenFor(const SurfData& g) const {
  if (g.material == 0) return dielectricPen_;
  if (g.isFloating) return unknownPotentialPen_;
  if (g.isFixed) return fixedPotentialPen_;
  return variablePotentialPen_;
}

QPoint CKalvorView::ScrollPosition() const {
  return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

ViewMapping CKalvorView::Mapping(bool) {
  UpdateCanvas();
  return ViewMapping(SystemBox(), canvas_, ScrollPosition());
}

QRectF CKalvorView::SystemBox() const {
  // The meridian half-plane: the axis is the left edge of every picture, and
  // with the earth the ground is part of the system too.
  double x1 = 0.0, y0 = 0.0, y1 = 0.0;
  bool first = !doc_.Parameters().UseEarth;
  auto take = [&](double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    if (first) {
      y0 = y1 = y;
      first = false;
    }
    x1 = std::max(x1, x);
    y0 = std::min(y0, y);
    y1 = std::max(y1, y);
  };
  for (const auto& g : doc_.Generatrices()) {
    if (const auto* line = dynamic_cast<const Line*>(g.get())) {
      take(line->x1, line->y1);
      take(line->x2, line->y2);
    } else if (const auto* arch = dynamic_cast<const Arch*>(g.get())) {
      // Along the arc itself: a few hundredths of its radius at most are missed.
      constexpr int kSamples = 64;
      for (int i = 0; i <= kSamples; ++i) {
        const double a = arch->angle1 + (arch->angle2 - arch->angle1) * i / kSamples;
        take(arch->xc + arch->radius * std::cos(a), arch->yc + arch->radius * std::sin(a));
      }
    }
  }
  if (first) y1 = 1.0;  // nothing to show: 1 cm square at the origin
  // Logical units are 0.1 cm; the values are kept far inside the int range
  // the mapping rounds to.
  auto logical = [](double cm) { return std::clamp(10.0 * cm, -1.0e9, 1.0e9); };
  // The whole cross-section: the half-plane and its mirror image.
  const double x0 = picture_ && picture_->Options().mirror ? -logical(x1) : 0.0;
  return QRectF(QPointF(x0, logical(y0)), QPointF(logical(x1), logical(y1)));
}

void CKalvorView::UpdateCanvas() {
  const QSize client = viewport()->size();
  const int w = static_cast<int>(std::min<double>(std::round(client.width() * zoom_), kMaxCanvas));
  const int h = static_cast<int>(std::min<double>(std::round(client.height() * zoom_), kMaxCanvas));
  canvas_ = QSize(std::max(w, client.width()), std::max(h, client.height()));
  scrollTotal_ = canvas_ == client ? QSize(0, 0) : canvas_;
}

void CKalvorView::PaintSystem(QPainter& painter, const ViewMapping& mapping) const {
  const FieldCalc& calc = doc_.Calc();
  const CSurfColl& gens = calc.Generatrices();
  QtDrawSurface dc(painter, mapping);
  const bool mirror = picture_->Options().mirror;
  painter.save();
  if (!gens.IsEmpty()) {
    QPen axisPen = blackPen_;
    axisPen.setStyle(Qt::DashDotLine);
    painter.setPen(axisPen);
    dc.MoveTo(0, 0);
    dc.LineTo(0, 10 * doc_.Ymax() + 5);
    painter.setPen(blackPen_);
    dc.MoveTo(mirror ? -10 * (doc_.Xmax() + 2) : 0, 0);
    dc.LineTo(10 * (doc_.Xmax() + 2), 0);
  }
  picture_->PaintUnder(painter, mapping);
  auto drawSystem = [&] {
    // From the last to the first, so the earlier generatrix ends up on top.
    for (int i = gens.GetSize() - 1; i >= 0; --i) {
      const SurfData* g = gens.At(i);
      painter.setPen(PenFor(*g));
      g->Draw(dc);
    }
    if (doc_.ShowCharges() && doc_.ResultsPresent()) {
      for (const Charge& q : calc.Charges()) q.Draw(dc);
    }
    const CSurfColl& curves = calc.GapCurves();
    if (doc_.ShowGapCurves() && !curves.IsEmpty()) {
      painter.setPen(gapCurvePen_);
      for (int i = curves.GetSize() - 1; i >= 0; --i) curves.At(i)->Draw(dc);
    }
    // The critical lines belong to the system: the mirrored half has them too.
    if (doc_.ResultsPresent()) PaintCriticalLines(painter, mapping, doc_.Inception());
  };
  drawSystem();
  if (mirror) {
    // The same system drawn again, reflected in the axis.
    painter.save();
    const double axis = mapping.ToDevice(0.0, 0.0).x();
    painter.translate(axis, 0.0);
    painter.scale(-1.0, 1.0);
    painter.translate(-axis, 0.0);
    drawSystem();
    painter.restore();
  }
  picture_->PaintOver(painter, mapping, QRect(QPoint(0, 0), viewport()->size()), !gens.IsEmpty());
  painter.restore();
}

void CKalvorView::paintEvent(QPaintEvent*) {
  const ViewMapping mapping = Mapping(true);
  picture_->Follow(mapping, viewport()->size());
  QPainter painter(viewport());
  painter.fillRect(viewport()->rect(), Qt::white);
  PaintSystem(painter, mapping);
}

void CKalvorView::PrintOn(QPrinter& printer) {
  const ViewMapping mapping = Mapping(false);
  const QSize client = viewport()->size();
  QPainter painter;
  if (!painter.begin(&printer)) return;
  const QRect page = painter.viewport();
  const double s = std::min(page.width() / std::max(1.0, double(client.width())),
                            page.height() / std::max(1.0, double(client.height())));
  painter.scale(s, s);
  painter.setClipRect(QRect(QPoint(0, 0), client));
  PaintSystem(painter, mapping);
  painter.end();
}

void CKalvorView::ZoomAt(double factor, QPointF anchor) {
  const QPointF logical = Mapping().ToLogicalF(anchor);
  const QSize client = viewport()->size();
  const double most = double(kMaxCanvas) / std::max(1, std::max(client.width(), client.height()));
  zoom_ = std::clamp(zoom_ * factor, 1.0, std::max(1.0, most));
  UpdateCanvas();
  UpdateScrollBars();
  // The point under the anchor stays there, as far as the scroll range lets it.
  const QPointF device = ViewMapping(SystemBox(), canvas_, QPoint(0, 0)).ToDevice(logical.x(), logical.y());
  horizontalScrollBar()->setValue(static_cast<int>(std::lround(device.x() - anchor.x())));
  verticalScrollBar()->setValue(static_cast<int>(std::lround(device.y() - anchor.y())));
  viewport()->update();
}

void CKalvorView::ZoomIn() { ZoomAt(1.1, QRectF(viewport()->rect()).center()); }

void CKalvorView::ZoomOut() { ZoomAt(0.8333333333333334, QRectF(viewport()->rect()).center()); }

void CKalvorView::ZoomToFit() {
  zoom_ = 1.0;
  UpdateCanvas();
  UpdateScrollBars();
  horizontalScrollBar()->setValue(0);
  verticalScrollBar()->setValue(0);
  viewport()->update();
}

void CKalvorView::OnInitialUpdate() { ZoomToFit(); }

void CKalvorView::UpdateScrollBars() {
  UpdateCanvas();
  const QSize client = viewport()->size();
  const int rangeX = std::max(0, scrollTotal_.width() - client.width());
  const int rangeY = std::max(0, scrollTotal_.height() - client.height());
  horizontalScrollBar()->setRange(0, rangeX);
  horizontalScrollBar()->setPageStep(std::max(1, client.width()));
  horizontalScrollBar()->setSingleStep(std::max(1, client.width() / 100));
  verticalScrollBar()->setRange(0, rangeY);
  verticalScrollBar()->setPageStep(std::max(1, client.height()));
  verticalScrollBar()->setSingleStep(std::max(1, client.height() / 100));
}

void CKalvorView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

void CKalvorView::scrollContentsBy(int, int) { viewport()->update(); }

int CKalvorView::HitGeneratrix(QPointF model) const {
  const CSurfColl& gens = doc_.Generatrices();
  // The mirrored half stands for the same generatrices.
  const double x = picture_->HalfPlaneX(model.x());
  for (int i = gens.GetSize() - 1; i >= 0; --i)
    if (gens.At(i)->HitTest(x, model.y())) return i;
  return -1;
}

void CKalvorView::DoubleClickAt(QPoint pos) {
  if (!host_) return;
  // No generatrix under the pointer: the tree.
  host_->EditGeneratrix(HitGeneratrix(Mapping(false).ToModel(pos)));
}

void CKalvorView::MarkAt(QPoint pos) {
  const QPointF model = Mapping(false).ToModel(pos);
  const int hit = HitGeneratrix(model);
  if (hit >= 0) doc_.ToggleMarked(hit);
  viewport()->update();
}

void CKalvorView::ShowPositionAt(QPoint pos) {
  if (doc_.Generatrices().IsEmpty()) return;
  const QPointF model = Mapping(false).ToModel(pos);
  QString text = QString::asprintf("Point=[%4.1f,%4.1f]", model.x(), model.y());
  const QString field = picture_->ReadoutAt(model.x(), model.y());
  if (!field.isEmpty()) text += QStringLiteral("  ") + field;
  emit statusMessage(text);
}

void CKalvorView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton)
    DoubleClickAt(event->position().toPoint());
  else
    QAbstractScrollArea::mouseDoubleClickEvent(event);
}

void CKalvorView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::MiddleButton) {
    panning_ = true;
    panFrom_ = event->position().toPoint();
    viewport()->setCursor(Qt::ClosedHandCursor);
    return;
  }
  QAbstractScrollArea::mousePressEvent(event);
}

void CKalvorView::wheelEvent(QWheelEvent* event) {
  const int steps = event->angleDelta().y();
  if (steps == 0) {
    QAbstractScrollArea::wheelEvent(event);
    return;
  }
  ZoomAt(std::pow(1.1, steps / 120.0), event->position());
  event->accept();
}

void CKalvorView::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::MiddleButton && panning_) {
    panning_ = false;
    viewport()->unsetCursor();
    return;
  }
  if (event->button() == Qt::RightButton) {
    const QPoint at = event->position().toPoint();
    if (rightClickHook_ && !doc_.Generatrices().IsEmpty()) {
      const ViewMapping m = Mapping(false);
      const QPointF model = m.ToModel(at);
      const QPointF near = m.ToModel(at + QPoint(8, 0));
      if (rightClickHook_(event->globalPosition().toPoint(), model, std::hypot(near.x() - model.x(), near.y() - model.y())))
        return;
    }
    MarkAt(at);
  }
  else
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void CKalvorView::mouseMoveEvent(QMouseEvent* event) {
  if (panning_) {
    const QPoint at = event->position().toPoint();
    const QPoint moved = at - panFrom_;
    panFrom_ = at;
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() - moved.x());
    verticalScrollBar()->setValue(verticalScrollBar()->value() - moved.y());
  }
  ShowPositionAt(event->position().toPoint());
  QAbstractScrollArea::mouseMoveEvent(event);
}

void CKalvorView::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Insert:
      CreateGeneratrix();
      return;
    case Qt::Key_Delete:
      DeleteMarked();
      return;
    default:
      QAbstractScrollArea::keyPressEvent(event);
  }
}

bool CKalvorView::event(QEvent* e) {
  switch (static_cast<int>(e->type())) {
    case kCreateArcEvent:
      CreateArcGeneratrix();
      return true;
    case kCreateLineEvent:
      CreateLineGeneratrix();
      return true;
    case kZoomInEvent:
      ZoomIn();
      return true;
    case kZoomOutEvent:
      ZoomOut();
      return true;
    default:
      return QAbstractScrollArea::event(e);
  }
}

void CKalvorView::CreateGeneratrix() {
  CDialogCreateGeneratrix chooser(window());
  if (chooser.exec() != QDialog::Accepted) return;
  if (chooser.kind == CDialogCreateGeneratrix::kArc)
    CreateArcGeneratrix();
  else
    CreateLineGeneratrix();
}

void CKalvorView::DeleteMarked() {
  const CSurfColl& gens = doc_.Generatrices();
  if (gens.IsEmpty()) return;
  bool deleted = false;
  for (int i = gens.GetSize() - 1; i >= 0; --i) {
    if (!gens.At(i)->marked) continue;
    const QString question =
        QString::asprintf("Вы действительно хотите удалить выбранную образующую?\n Номер образующей - %2i", i + 1);
    if (QMessageBox::question(window(), QStringLiteral("Ты, чо, серьезно"), question,
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
      continue;
    deleted = doc_.RemoveGeneratrix(i) || deleted;
  }
  // An editor pane would otherwise keep the index of a generatrix that has
  // gone or moved; the tree takes its place, as after every deletion.
  if (host_ && (host_->TreeShown() || deleted)) host_->ReplaceLeftPane(LeftPaneKind::Tree);
  viewport()->update();
}

void CKalvorView::CreateLineGeneratrix() {
  CLineDialog dlg(window());
  if (dlg.exec() != QDialog::Accepted) return;
  doc_.AddGeneratrix(dlg.MakeElement());
}

void CKalvorView::CreateArcGeneratrix() {
  CArchDialog dlg(window());
  if (dlg.exec() != QDialog::Accepted) return;
  doc_.AddGeneratrix(dlg.MakeElement());
}
