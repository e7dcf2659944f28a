// The frame's columns: the splitter with the left pane (the tree or an
// editor) and the geometry view, the results dock beside them, the bar's
// move mode and the focus switch between the panes.
#include <QCursor>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QScrollBar>
#include <QShowEvent>
#include <QSplitter>
#include <QSplitterHandle>
#include <QStatusBar>

#include "app/CMainFrame.h"
#include "app/FrameCommands.h"
#include "document/CKalvorDoc.h"
#include "model/Arch.h"
#include "model/Line.h"
#include "views/CKalvorView.h"
#include "views/CLeftView_Arch.h"
#include "views/CLeftView_Empty.h"
#include "views/CLeftView_Line.h"
#include "views/FieldPicture.h"
#include "views/FieldPlot.h"
#include "views/GeneratrixPane.h"
#include "views/ResultsPane.h"

namespace {

// "Показать целиком" where the desktop theme has no icon: a frame with its
// four corners pointing outwards, in the toolbar's 16-pixel style.
QIcon FitIcon() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setPen(QPen(Qt::black, 1));
  p.drawRect(4, 4, 7, 7);
  for (const QPoint corner : {QPoint(0, 0), QPoint(15, 0), QPoint(0, 15), QPoint(15, 15)}) {
    const int dx = corner.x() == 0 ? 1 : -1, dy = corner.y() == 0 ? 1 : -1;
    p.drawLine(corner, corner + QPoint(3 * dx, 0));
    p.drawLine(corner, corner + QPoint(0, 3 * dy));
  }
  return QIcon(pixmap);
}

}  // namespace

void CMainFrame::CreateSplitter() {
  splitter_ = new QSplitter(Qt::Horizontal, this);
  splitter_->setChildrenCollapsible(true);
  // The geometry view is created first, then the tree pane on its left.
  view_ = new CKalvorView(doc_, splitter_);
  view_->SetHost(this);
  view_->resize(325, 125);
  connect(view_, &CKalvorView::statusMessage, this, &CMainFrame::ShowStatusMessage);
  // Home fits the picture while the view has the focus; in a number field
  // it stays the key that goes to the start of the text.
  QAction* fit = Action(ID_ZOOM_FIT);
  fit->setShortcutContext(Qt::WidgetShortcut);
  view_->addAction(fit);
  fit->setIcon(QIcon::fromTheme(QStringLiteral("zoom-fit-best"), FitIcon()));
  auto* tree = new CLeftView_Empty(doc_, this, splitter_);
  splitter_->insertWidget(0, tree);
  splitter_->setStretchFactor(0, 0);
  splitter_->setStretchFactor(1, 1);
  splitter_->setSizes({kLeftPaneWidth, 325});
  setCentralWidget(splitter_);
}

void CMainFrame::CreateResultsPane() {
  results_ = new ResultsPane(doc_, this);
  // Right of the picture: the generatrix list and the view stay side by side.
  addDockWidget(Qt::RightDockWidgetArea, results_);
  results_->hide();
  // Shown by each run's results; the command shows or hides it.
  connect(&doc_, &CKalvorDoc::resultsChanged, this, [this](bool present) {
    if (!present || results_->isVisible()) return;
    results_->show();
    resizeDocks({results_}, {kResultsPaneWidth}, Qt::Horizontal);
  });
  QAction* toggle = Action(ID_RESULTS_PANE);
  toggle->setCheckable(true);
  connect(toggle, &QAction::toggled, results_, &QWidget::setVisible);
  connect(results_, &QDockWidget::visibilityChanged, toggle, &QAction::setChecked);
  connect(results_, &ResultsPane::locate, this, &CMainFrame::ShowModelPoint);
  connect(results_, &ResultsPane::markField, this, [this](double xcm, double ycm, double field, double error) {
    view_->Picture().SetMarker(QPointF(xcm, ycm), field, error);
  });
  connect(results_, &ResultsPane::plotRequested, this, [this](int index) { OpenGeneratrixPlot(doc_, index, this); });
}

void CMainFrame::ShowModelPoint(double xcm, double ycm) {
  const QPointF at = view_->Mapping(false).ToDevice(10.0 * xcm, 10.0 * ycm);
  const QPoint centre = view_->viewport()->rect().center();
  view_->horizontalScrollBar()->setValue(view_->horizontalScrollBar()->value() + int(at.x()) - centre.x());
  view_->verticalScrollBar()->setValue(view_->verticalScrollBar()->value() + int(at.y()) - centre.y());
  view_->Picture().SetMarker(QPointF(xcm, ycm));
  view_->viewport()->update();
}

QWidget* CMainFrame::LeftPane() const { return splitter_->widget(0); }

CLeftView_Empty* CMainFrame::TreePane() const { return qobject_cast<CLeftView_Empty*>(LeftPane()); }

bool CMainFrame::EditGeneratrix(int index) {
  const SurfData* g = doc_.Generatrices().At(index);
  if (!g) return ReplaceLeftPane(LeftPaneKind::Tree) != nullptr;
  // Leaving the open pane may apply its changes and so replace generatrices:
  // the one to fill is looked up again once the new pane is there.
  const bool isLine = dynamic_cast<const Line*>(g) != nullptr;
  QWidget* pane = ReplaceLeftPane(isLine ? LeftPaneKind::Line : LeftPaneKind::Arch);
  if (!pane) return false;
  g = doc_.Generatrices().At(index);
  if (auto* linePane = qobject_cast<CLeftView_Line*>(pane); linePane && dynamic_cast<const Line*>(g))
    linePane->Fill(index, *static_cast<const Line*>(g));
  else if (auto* archPane = qobject_cast<CLeftView_Arch*>(pane); archPane && dynamic_cast<const Arch*>(g))
    archPane->Fill(index, *static_cast<const Arch*>(g));
  return true;
}

void CMainFrame::CreateGeneratrix(bool arc) {
  if (arc)
    view_->CreateArcGeneratrix();
  else
    view_->CreateLineGeneratrix();
}

bool CMainFrame::LeaveEditorPane() {
  auto* pane = qobject_cast<GeneratrixPane*>(LeftPane());
  if (!pane || !pane->HasUnappliedChanges()) return true;
  const auto answer = QMessageBox::question(
      this, kWindowTitle,
      QStringLiteral("Внести изменения в образующую %1?").arg(pane->Index() + 1),
      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
  if (answer == QMessageBox::Cancel) return false;
  // A refused value has been named by its message; the pane stays open.
  return answer == QMessageBox::No || pane->Apply();
}

QWidget* CMainFrame::ReplaceLeftPane(LeftPaneKind kind) {
  if (!LeaveEditorPane()) return nullptr;
  return SwapLeftPane(kind);
}

QWidget* CMainFrame::SwapLeftPane(LeftPaneKind kind) {
  const QList<int> sizes = splitter_->sizes();
  QWidget* pane = nullptr;
  switch (kind) {
    case LeftPaneKind::Tree:
      pane = new CLeftView_Empty(doc_, this);
      break;
    case LeftPaneKind::Line:
      pane = new CLeftView_Line(doc_, this);
      break;
    case LeftPaneKind::Arch:
      pane = new CLeftView_Arch(doc_, this);
      break;
  }
  QWidget* old = splitter_->replaceWidget(0, pane);
  if (old) {
    // The old pane may be the one whose button asked for the replacement.
    old->hide();
    old->deleteLater();
  }
  splitter_->setSizes(sizes);
  return pane;
}

void CMainFrame::HideLeftPane() {
  const QList<int> sizes = splitter_->sizes();
  splitter_->setSizes({0, sizes.value(0) + sizes.value(1)});
}

void CMainFrame::OnSplit() {
  const QList<int> sizes = splitter_->sizes();
  const int total = sizes.value(0) + sizes.value(1);
  if (sizes.value(0) == 0) {
    splitter_->setSizes({kLeftPaneWidth, std::max(0, total - kLeftPaneWidth)});
    return;
  }
  // The move mode: the arrow keys move the bar, Enter keeps it there, Escape
  // puts it back; the pointer sits on the bar for a drag.
  splitMoveFrom_ = sizes;
  splitMoving_ = true;
  if (QSplitterHandle* handle = splitter_->handle(1)) QCursor::setPos(handle->mapToGlobal(handle->rect().center()));
  statusBar()->showMessage(QStringLiteral("Стрелки передвигают границу; Enter - оставить, Esc - вернуть"));
}

bool CMainFrame::SplitMoveKey(int key) {
  QList<int> sizes = splitter_->sizes();
  const int total = sizes.value(0) + sizes.value(1);
  switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
      const int step = key == Qt::Key_Left ? -kSplitStep : kSplitStep;
      const int left = std::clamp(sizes.value(0) + step, 0, total);
      splitter_->setSizes({left, total - left});
      return true;
    }
    case Qt::Key_Escape:
      splitter_->setSizes(splitMoveFrom_);
      [[fallthrough]];
    case Qt::Key_Return:
    case Qt::Key_Enter:
      splitMoving_ = false;
      statusBar()->clearMessage();
      return true;
    default:
      return false;
  }
}

bool CMainFrame::SplitMoveEvent(const QEvent& event) {
  if (event.type() == QEvent::KeyPress && SplitMoveKey(static_cast<const QKeyEvent&>(event).key())) return true;
  // A click anywhere keeps the bar where it is.
  if (event.type() == QEvent::MouseButtonPress) {
    splitMoving_ = false;
    statusBar()->clearMessage();
  }
  return false;
}

void CMainFrame::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  // The left column starts 400 pixels wide; the geometry view takes the rest.
  const int total = splitter_->width() - splitter_->handleWidth();
  splitter_->setSizes({kLeftPaneWidth, std::max(1, total - kLeftPaneWidth)});
}

void CMainFrame::OnNextPane() {
  QWidget* focus = focusWidget();
  if (focus == view_ || view_->isAncestorOf(focus)) {
    LeftPane()->setFocus(Qt::TabFocusReason);
    if (QWidget* first = LeftPane()->nextInFocusChain(); first && LeftPane()->isAncestorOf(first))
      first->setFocus(Qt::TabFocusReason);
  } else {
    view_->setFocus(Qt::TabFocusReason);
  }
}

void CMainFrame::OnPrevPane() { OnNextPane(); }
