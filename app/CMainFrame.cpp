#include "app/CMainFrame.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QSplitter>
#include <QSplitterHandle>
#include <QScrollBar>
#include <QStatusBar>
#include <QToolBar>
#include <QUndoStack>

#include "app/FrameCommands.h"
#include "app/HelpWindow.h"
#include "dialogs/CCalcInfo.h"
#include "dialogs/COptionDialog.h"
#include "dialogs/CPointsDialog.h"
#include "dialogs/CProgressDialog.h"
#include "document/CKalvorDoc.h"
#include "engine/SystemWarnings.h"
#include "views/CKalvorView.h"
#include "views/CLeftView_Arch.h"
#include "views/CLeftView_Empty.h"
#include "views/CLeftView_Line.h"
#include "views/FieldPicture.h"
#include "views/ViewExport.h"
#include "views/FieldPlot.h"
#include "views/GeneratrixPane.h"
#include "views/KalvorIcons.h"
#include "views/ResultsPane.h"

using namespace KalvorIcons;

namespace {

const QString kWindowTitle = QStringLiteral("Kalvor");

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

CMainFrame::CMainFrame(CKalvorDoc& doc, QWidget* parent)
    : QMainWindow(parent), doc_(doc), printer_(std::make_unique<QPrinter>()) {
  setWindowIcon(ToolIcon(kMainIcon));
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreateStatusBar();
  CreateSplitter();
  CreateResultsPane();
  recent_.Load();
  RebuildRecentMenu();

  // The pane's generatrix has gone with the old system: nothing to ask.
  connect(&doc_, &CKalvorDoc::documentReset, this, [this] {
    SwapLeftPane(LeftPaneKind::Tree);
    statusBar()->clearMessage();  // the cursor position belonged to the old system
  });
  // φ and |E| under the cursor belonged to the results just discarded.
  connect(&doc_, &CKalvorDoc::resultsChanged, this, [this](bool present) {
    if (!present) statusBar()->clearMessage();
  });
  connect(&doc_, &CKalvorDoc::commandStateChanged, this, &CMainFrame::UpdateCommandUI);
  connect(&doc_, &CKalvorDoc::modifiedChanged, this, &QWidget::setWindowModified);
  connect(&doc_, &CKalvorDoc::titleChanged, this, &CMainFrame::UpdateTitle);
  qApp->installEventFilter(this);
  HelpWindow::InstallDialogHelpKey(this);
  UpdateTitle();
  UpdateCommandUI();
}

CMainFrame::~CMainFrame() { qApp->removeEventFilter(this); }

QAction* CMainFrame::MakeAction(int id) {
  const FrameCommand* c = FindCommand(id);
  auto* action = new QAction(c->text, this);
  action->setShortcuts(c->shortcuts);
  action->setStatusTip(c->StatusTip());
  action->setToolTip(c->ToolTip().isEmpty() ? c->StatusTip() : c->ToolTip());
  action->setShortcutContext(Qt::WindowShortcut);
  action->setData(id);  // context help finds the command's section by it
  actions_.insert(id, action);
  addAction(action);
  return action;
}

void CMainFrame::Connect(int id, void (CMainFrame::*slot)()) {
  connect(actions_.value(id), &QAction::triggered, this, slot);
}

void CMainFrame::CreateActions() {
  for (const FrameCommand& c : FrameCommands()) MakeAction(c.id);
  Connect(ID_FILE_NEW, &CMainFrame::OnFileNew);
  Connect(ID_FILE_OPEN, &CMainFrame::OnFileOpen);
  Connect(ID_FILE_SAVE, &CMainFrame::OnFileSave);
  Connect(ID_FILE_SAVE_AS, &CMainFrame::OnFileSaveAs);
  Connect(ID_FILE_PRINT, &CMainFrame::OnPrint);
  Connect(ID_FILE_PRINT_PREVIEW, &CMainFrame::OnPrintPreview);
  Connect(ID_FILE_PAGE_SETUP, &CMainFrame::OnPageSetup);
  connect(actions_.value(ID_APP_EXIT), &QAction::triggered, this, &QWidget::close);
  Connect(ID_WINDOW_SPLIT, &CMainFrame::OnSplit);
  Connect(ID_SHOW_GAP_CURVES, &CMainFrame::OnToggleGapCurves);
  Connect(ID_SHOW_CHARGES, &CMainFrame::OnToggleCharges);
  Connect(ID_ZOOM_IN, &CMainFrame::OnZoomIn);
  Connect(ID_ZOOM_OUT, &CMainFrame::OnZoomOut);
  Connect(ID_ZOOM_FIT, &CMainFrame::OnZoomFit);
  Connect(ID_CALC_PARAMETERS, &CMainFrame::OnCalcParameters);
  Connect(ID_GAP_CURVES, &CMainFrame::OnGapCurves);
  Connect(ID_CALCULATE, &CMainFrame::OnCalculate);
  Connect(ID_GAP_CALCULATE, &CMainFrame::OnGapCalculate);
  Connect(ID_HELP_FINDER, &CMainFrame::OnHelp);
  Connect(ID_HELP, &CMainFrame::OnHelp);
  Connect(ID_CONTEXT_HELP, &CMainFrame::OnContextHelp);
  Connect(ID_APP_ABOUT, &CMainFrame::OnAbout);
  Connect(ID_NEXT_PANE, &CMainFrame::OnNextPane);
  Connect(ID_PREV_PANE, &CMainFrame::OnPrevPane);
  Connect(ID_CREATE_ARC, &CMainFrame::OnCreateArc);
  Connect(ID_CREATE_LINE, &CMainFrame::OnCreateLine);
  for (int id : {ID_FIELD_MAP, ID_EQUIPOTENTIALS, ID_FIELD_LINES, ID_FULL_SECTION}) {
    actions_.value(id)->setCheckable(true);
    Connect(id, &CMainFrame::OnToggleFieldPicture);
  }
  Connect(ID_FIELD_PICTURE, &CMainFrame::OnFieldPicture);
  Connect(ID_EXPORT_VIEW, &CMainFrame::OnExportView);

  // Nothing moves through the clipboard; every change can be undone.
  for (int id : {ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE}) actions_.value(id)->setEnabled(false);
  QUndoStack& stack = doc_.UndoStack();
  // An editor pane whose generatrix the step took away gives way to the tree.
  auto dropStalePane = [this] {
    if (auto* pane = qobject_cast<GeneratrixPane*>(LeftPane()); pane && pane->Index() < 0)
      SwapLeftPane(LeftPaneKind::Tree);
  };
  connect(actions_.value(ID_EDIT_UNDO), &QAction::triggered, this, [&stack, dropStalePane] {
    stack.undo();
    dropStalePane();
  });
  connect(actions_.value(ID_EDIT_REDO), &QAction::triggered, this, [&stack, dropStalePane] {
    stack.redo();
    dropStalePane();
  });
  connect(&stack, &QUndoStack::canUndoChanged, actions_.value(ID_EDIT_UNDO), &QAction::setEnabled);
  connect(&stack, &QUndoStack::canRedoChanged, actions_.value(ID_EDIT_REDO), &QAction::setEnabled);
  actions_.value(ID_EDIT_UNDO)->setEnabled(stack.canUndo());
  actions_.value(ID_EDIT_REDO)->setEnabled(stack.canRedo());
  for (int id : {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_SHOW_GAP_CURVES, ID_SHOW_CHARGES})
    actions_.value(id)->setCheckable(true);

  const std::pair<int, ToolImage> icons[] = {
      {ID_FILE_NEW, kNew},       {ID_FILE_OPEN, kOpen},     {ID_FILE_SAVE, kSave},
      {ID_EDIT_CUT, kCut},       {ID_EDIT_COPY, kCopy},     {ID_EDIT_PASTE, kPaste},
      {ID_FILE_PRINT_PREVIEW, kPrintPreview}, {ID_ZOOM_IN, kZoomIn}, {ID_ZOOM_OUT, kZoomOut},
      {ID_FILE_PRINT, kPrint},   {ID_APP_ABOUT, kAbout},    {ID_CONTEXT_HELP, kContextHelp},
      {ID_CREATE_ARC, kCreateArc}, {ID_CREATE_LINE, kCreateLine}};
  for (const auto& [id, image] : icons) actions_.value(id)->setIcon(ToolIcon(image));
}

void CMainFrame::CreateMenus() {
  fileMenu_ = menuBar()->addMenu(QStringLiteral("&Файл"));
  for (int id : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS}) fileMenu_->addAction(Action(id));
  fileMenu_->addSeparator();
  for (int id : {ID_FILE_PRINT, ID_FILE_PRINT_PREVIEW, ID_FILE_PAGE_SETUP}) fileMenu_->addAction(Action(id));
  fileMenu_->addAction(Action(ID_EXPORT_VIEW));
  fileMenu_->addSeparator();
  fileMenu_->addAction(Action(ID_FILE_MRU_FILE1));
  recentSeparator_ = fileMenu_->addSeparator();
  fileMenu_->addAction(Action(ID_APP_EXIT));

  QMenu* edit = menuBar()->addMenu(QStringLiteral("&Правка"));
  edit->addAction(Action(ID_EDIT_UNDO));
  edit->addAction(Action(ID_EDIT_REDO));
  edit->addSeparator();
  for (int id : {ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE}) edit->addAction(Action(id));

  QMenu* view = menuBar()->addMenu(QStringLiteral("&Вид"));
  for (int id : {ID_VIEW_TOOLBAR, ID_VIEW_STATUS_BAR, ID_WINDOW_SPLIT}) view->addAction(Action(id));
  view->addSeparator();
  QMenu* show = view->addMenu(QStringLiteral("Отобразить"));
  show->addAction(Action(ID_SHOW_GAP_CURVES));
  show->addAction(Action(ID_SHOW_CHARGES));
  view->addAction(Action(ID_ZOOM_IN));
  view->addAction(Action(ID_ZOOM_OUT));
  view->addAction(Action(ID_ZOOM_FIT));
  view->addSeparator();
  for (int id : {ID_FIELD_MAP, ID_EQUIPOTENTIALS, ID_FIELD_LINES, ID_FIELD_PICTURE, ID_FULL_SECTION, ID_RESULTS_PANE})
    view->addAction(Action(id));

  QMenu* calc = menuBar()->addMenu(QStringLiteral("Расчет"));
  calc->addAction(Action(ID_CALC_PARAMETERS));
  calc->addAction(Action(ID_GAP_CURVES));
  calc->addSeparator();
  calc->addAction(Action(ID_CALCULATE));
  calc->addAction(Action(ID_GAP_CALCULATE));

  QMenu* help = menuBar()->addMenu(QStringLiteral("&Помощь"));
  help->addAction(Action(ID_HELP_FINDER));
  help->addSeparator();
  help->addAction(Action(ID_APP_ABOUT));

  for (QMenu* menu : {fileMenu_, edit, view, show, calc, help})
    connect(menu, &QMenu::aboutToShow, this, &CMainFrame::UpdateCommandUI);
}

void CMainFrame::CreateToolBar() {
  toolBar_ = addToolBar(QStringLiteral("Стандартная"));
  toolBar_->setObjectName(QStringLiteral("ToolBar128"));
  toolBar_->setIconSize(QSize(16, 16));
  toolBar_->setAllowedAreas(Qt::AllToolBarAreas);
  for (int id : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE}) toolBar_->addAction(Action(id));
  toolBar_->addSeparator();
  for (int id : {ID_EDIT_CUT, ID_EDIT_COPY, ID_EDIT_PASTE, ID_FILE_PRINT_PREVIEW, ID_ZOOM_IN, ID_ZOOM_OUT, ID_ZOOM_FIT})
    toolBar_->addAction(Action(id));
  toolBar_->addSeparator();
  for (int id : {ID_FILE_PRINT, ID_APP_ABOUT, ID_CONTEXT_HELP, ID_CREATE_ARC, ID_CREATE_LINE})
    toolBar_->addAction(Action(id));
  QAction* toggle = Action(ID_VIEW_TOOLBAR);
  toggle->setChecked(true);
  connect(toggle, &QAction::toggled, toolBar_, &QToolBar::setVisible);
  connect(toolBar_, &QToolBar::visibilityChanged, toggle, &QAction::setChecked);
}

void CMainFrame::CreateStatusBar() {
  QStatusBar* bar = statusBar();
  const QString names[3] = {QStringLiteral("CAP"), QStringLiteral("NUM"), QStringLiteral("SCRL")};
  for (int i = 0; i < 3; ++i) {
    lockLabels_[i] = new QLabel(names[i], bar);
    lockLabels_[i]->setFrameShape(QFrame::Panel);
    lockLabels_[i]->setFrameShadow(QFrame::Sunken);
    lockLabels_[i]->setAlignment(Qt::AlignCenter);
    lockLabels_[i]->setMinimumWidth(lockLabels_[i]->fontMetrics().horizontalAdvance(names[i]) + 12);
    lockLabels_[i]->setEnabled(false);
    bar->addPermanentWidget(lockLabels_[i]);
  }
  QAction* toggle = Action(ID_VIEW_STATUS_BAR);
  toggle->setChecked(true);
  connect(toggle, &QAction::toggled, bar, &QStatusBar::setVisible);
}

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
  addDockWidget(Qt::LeftDockWidgetArea, results_);
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

void CMainFrame::ShowStatusMessage(const QString& text) {
  statusBar()->showMessage(text);
  statusBar()->repaint();
}

void CMainFrame::UpdateTitle() {
  setWindowTitle(doc_.Title() + QStringLiteral("[*] - ") + kWindowTitle);
  setWindowModified(doc_.IsModified());
}

void CMainFrame::UpdateCommandUI() {
  Action(ID_CALCULATE)->setEnabled(doc_.CanCalculate());
  Action(ID_SHOW_GAP_CURVES)->setEnabled(doc_.CanShowGapCurves());
  Action(ID_SHOW_CHARGES)->setEnabled(doc_.CanShowCharges());
  Action(ID_GAP_CALCULATE)->setEnabled(doc_.CanGapCalculate());
  Action(ID_SHOW_GAP_CURVES)->setChecked(doc_.ShowGapCurves());
  Action(ID_SHOW_CHARGES)->setChecked(doc_.ShowCharges());
  Action(ID_VIEW_STATUS_BAR)->setChecked(statusBar()->isVisible() || !isVisible());
  const FieldPictureOptions& field = view_->Picture().Options();
  for (int id : {ID_FIELD_MAP, ID_EQUIPOTENTIALS, ID_FIELD_LINES, ID_FIELD_PICTURE})
    Action(id)->setEnabled(doc_.ResultsPresent());
  Action(ID_FIELD_MAP)->setChecked(field.showMap);
  Action(ID_EQUIPOTENTIALS)->setChecked(field.showEquipotentials);
  Action(ID_FIELD_LINES)->setChecked(field.showFieldLines);
  Action(ID_FULL_SECTION)->setChecked(field.mirror);
}

// ---- File ----

bool CMainFrame::MaybeSave() {
  if (!LeaveEditorPane()) return false;
  if (!doc_.IsModified()) return true;
  const auto answer = QMessageBox::warning(
      this, kWindowTitle, QStringLiteral("Сохранить изменения в %1?").arg(doc_.Title()),
      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (answer == QMessageBox::Yes) return Save();
  return answer == QMessageBox::No;
}

bool CMainFrame::Save() {
  if (doc_.FilePath().isEmpty()) return SaveAs();
  if (doc_.StoppedAtLine() > 0) {
    // The file holds more than was read: saving over it loses the rest.
    const auto answer = QMessageBox::warning(
        this, kWindowTitle,
        QStringLiteral("Файл %1 был прочитан только до строки %2.\n"
                       "Если сохранить систему в него, строки файла начиная с этой будут потеряны.\n"
                       "Заменить файл? (\"Нет\" - сохранить под другим именем)")
            .arg(QDir::toNativeSeparators(doc_.FilePath()))
            .arg(doc_.StoppedAtLine()),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::No);
    if (answer == QMessageBox::Cancel) return false;
    if (answer == QMessageBox::No) return SaveAs();
  }
  const QString error = doc_.SaveDocument(doc_.FilePath());
  if (!error.isEmpty()) {
    QMessageBox::warning(this, kWindowTitle, error);
    return false;
  }
  return true;
}

bool CMainFrame::SaveAs() {
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить как"), doc_.FilePath(),
                                                    QStringLiteral("Все файлы (*)"));
  if (path.isEmpty()) return false;
  const QString error = doc_.SaveDocument(path);
  if (!error.isEmpty()) {
    QMessageBox::warning(this, kWindowTitle, error);
    return false;
  }
  recent_.Add(path);
  recent_.Store();
  RebuildRecentMenu();
  return true;
}

bool CMainFrame::OpenFile(const QString& path) {
  const CKalvorDoc::OpenResult result = doc_.OpenDocument(path);
  if (!result.opened) {
    QMessageBox::warning(this, kWindowTitle, result.error);
    recent_.Remove(path);
    recent_.Store();
    RebuildRecentMenu();
    return false;
  }
  recent_.Add(path);
  recent_.Store();
  RebuildRecentMenu();
  if (!result.warning.isEmpty()) QMessageBox::warning(this, kWindowTitle, result.warning);
  return true;
}

void CMainFrame::OnFileNew() {
  if (MaybeSave()) doc_.NewDocument();
}

void CMainFrame::OnFileOpen() {
  if (!MaybeSave()) return;
  const QString start = doc_.FilePath().isEmpty() ? QString() : QFileInfo(doc_.FilePath()).absolutePath();
  const QString path =
      QFileDialog::getOpenFileName(this, QStringLiteral("Открыть"), start, QStringLiteral("Все файлы (*)"));
  if (!path.isEmpty()) OpenFile(path);
}

void CMainFrame::OnFileSave() { Save(); }

void CMainFrame::OnFileSaveAs() { SaveAs(); }

void CMainFrame::RebuildRecentMenu() {
  for (QAction* a : recentActions_) {
    fileMenu_->removeAction(a);
    a->deleteLater();
  }
  recentActions_.clear();
  QAction* placeholder = Action(ID_FILE_MRU_FILE1);
  const QStringList& files = recent_.Files();
  placeholder->setVisible(files.isEmpty());
  placeholder->setEnabled(false);
  for (int i = 0; i < files.size(); ++i) {
    const QString path = files[i];
    auto* a = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(path)), this);
    a->setStatusTip(FindCommand(ID_FILE_MRU_FILE1)->prompt);
    connect(a, &QAction::triggered, this, [this, path] {
      if (MaybeSave()) OpenFile(path);
    });
    fileMenu_->insertAction(recentSeparator_, a);
    recentActions_ << a;
  }
}

void CMainFrame::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  // The left column starts 400 pixels wide; the geometry view takes the rest.
  const int total = splitter_->width() - splitter_->handleWidth();
  splitter_->setSizes({kLeftPaneWidth, std::max(1, total - kLeftPaneWidth)});
}

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (!isEnabled() || !MaybeSave()) {
    event->ignore();
    return;
  }
  event->accept();
}

// ---- Printing ----

void CMainFrame::OnPrint() {
  QPrintDialog dialog(printer_.get(), this);
  if (dialog.exec() == QDialog::Accepted) view_->PrintOn(*printer_);
}

void CMainFrame::OnPrintPreview() {
  QPrintPreviewDialog preview(printer_.get(), this);
  preview.setWindowTitle(QStringLiteral("Макет страницы"));
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { view_->PrintOn(*p); });
  preview.exec();
}

void CMainFrame::OnPageSetup() {
  QPageSetupDialog dialog(printer_.get(), this);
  dialog.exec();
}

// ---- View and calculation ----

void CMainFrame::OnZoomIn() { view_->ZoomIn(); }
void CMainFrame::OnZoomOut() { view_->ZoomOut(); }
void CMainFrame::OnZoomFit() { view_->ZoomToFit(); }
void CMainFrame::OnCreateArc() { view_->CreateArcGeneratrix(); }
void CMainFrame::OnCreateLine() { view_->CreateLineGeneratrix(); }

void CMainFrame::OnToggleGapCurves() {
  if (doc_.CanShowGapCurves()) doc_.ToggleGapCurves();
  UpdateCommandUI();
}

void CMainFrame::OnToggleCharges() {
  if (doc_.CanShowCharges()) doc_.ToggleCharges();
  UpdateCommandUI();
}

void CMainFrame::OnToggleFieldPicture() {
  FieldPictureOptions o = view_->Picture().Options();
  o.showMap = Action(ID_FIELD_MAP)->isChecked();
  o.showEquipotentials = Action(ID_EQUIPOTENTIALS)->isChecked();
  o.showFieldLines = Action(ID_FIELD_LINES)->isChecked();
  o.mirror = Action(ID_FULL_SECTION)->isChecked();
  SetPictureOptions(o);
}

void CMainFrame::OnFieldPicture() {
  FieldPictureDialog dlg(this);
  dlg.SetOptions(view_->Picture().Options());
  if (dlg.exec() == QDialog::Accepted) SetPictureOptions(dlg.Options());
  UpdateCommandUI();
}

// The user's choice: applied, and kept for the next runs and sessions.
void CMainFrame::SetPictureOptions(const FieldPictureOptions& o) {
  const bool refit = o.mirror != view_->Picture().Options().mirror;
  view_->Picture().SetOptions(o);
  StoreFieldPictureOptions(o);
  if (refit) view_->ZoomToFit();
  UpdateCommandUI();
}

void CMainFrame::OnExportView() {
  const QString path = QFileDialog::getSaveFileName(this, FindCommand(ID_EXPORT_VIEW)->text.chopped(3),
                                                    QString(), QStringLiteral("PNG (*.png);;SVG (*.svg)"));
  if (path.isEmpty()) return;
  const QString error = ExportView(*view_, path);
  if (!error.isEmpty()) QMessageBox::warning(this, kWindowTitle, error);
}

void CMainFrame::OnCalcParameters() {
  COptionDialog dlg(this);
  dlg.SetParameters(doc_.Parameters());
  if (dlg.exec() == QDialog::Accepted) doc_.SetParameters(dlg.Parameters());
}

void CMainFrame::OnGapCurves() {
  CPointsDialog dlg(doc_.GapCurves(), this);
  dlg.exec();
  // The dialog's changes count whichever button closed it.
  doc_.SetGapCurves(dlg.TakeCurves());
}

void CMainFrame::OnCalculate() {
  if (!doc_.CanCalculate()) return;
  const std::vector<std::string> warnings = SystemWarnings(doc_.Generatrices());
  if (!warnings.empty()) {
    QStringList lines;
    for (const std::string& w : warnings) lines << QString::fromStdString(w);
    const auto answer = QMessageBox::warning(
        this, kWindowTitle,
        QStringLiteral("Расчет такой системы не имеет смысла:\n\n%1\n\nВсе равно произвести расчет?")
            .arg(lines.join('\n')),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
  }
  CCalcInfo info(this);
  info.text = QString::fromStdString(ParameterSummary(doc_.Parameters()));
  if (info.exec() != QDialog::Accepted) return;
  CProgressDialog progress;
  if (!progress.CreateModeless(this)) return;
  progress.SetStep(1);
  doc_.Calculate(progress);
  progress.Close();
}

void CMainFrame::OnGapCalculate() {
  if (!doc_.CanGapCalculate()) return;
  int code = 0;
  {
    CProgressDialog progress;
    if (!progress.CreateModeless(this)) return;
    progress.SetStep(1);
    code = doc_.GapCalculate(progress);
    progress.Close();
  }
  // A failed gap calculation is said so; files written before it remain.
  if (code > 0) {
    const FieldCalc& calc = doc_.Calc();
    const QString text = QString::fromStdString(calc.ErrorCode() == code ? calc.FullErrorText()
                                                                          : FieldCalc::MessageFor(code));
    QMessageBox::critical(this, QStringLiteral("Error"), text);
  } else if (code == 0) {
    results_->ShowGapFiles();
    OpenGapCurvePlots(doc_, this);
  }
}

// ---- Help and panes ----

// F1 opens the manual at the section of the focused control, "Вызов справки"
// at its beginning.
void CMainFrame::OnHelp() {
  HelpWindow::Open(this, sender() == Action(ID_HELP) ? HelpWindow::SectionFor(focusWidget()) : QString());
}

void CMainFrame::OnContextHelp() {
  statusBar()->showMessage(QStringLiteral("Выберите элемент, для которого Вы хотите получить справку"));
  HelpWindow::StartContextHelp(this);
}

void CMainFrame::OnAbout() {
  QMessageBox box(this);
  box.setWindowTitle(QStringLiteral("О программе Kalvor"));
  box.setIconPixmap(ToolIcon(kMainIcon).pixmap(32, 32));
  box.setText(VersionLine());
  box.setInformativeText(QStringLiteral(
      "Расчет осесимметричных электростатических полей методом эквивалентных зарядов."));
  box.exec();
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

bool CMainFrame::IsKeypadZoom(QObject* watched, const QKeyEvent& key) const {
  if (!(key.modifiers() & Qt::KeypadModifier) || (key.key() != Qt::Key_Plus && key.key() != Qt::Key_Minus))
    return false;
  // In this window only, outside any dialog, and never where the key types a sign.
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget || widget != QApplication::focusWidget() || widget->window() != this ||
      QApplication::activeModalWidget())
    return false;
  return !qobject_cast<QLineEdit*>(widget) && !qobject_cast<QAbstractSpinBox*>(widget) &&
         !widget->inherits("QTextEdit") && !widget->inherits("QPlainTextEdit");
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
  if (splitMoving_) {
    if (event->type() == QEvent::KeyPress && SplitMoveKey(static_cast<QKeyEvent*>(event)->key())) return true;
    // A click anywhere keeps the bar where it is.
    if (event->type() == QEvent::MouseButtonPress) {
      splitMoving_ = false;
      statusBar()->clearMessage();
    }
  }
  if (event->type() == QEvent::KeyPress && IsKeypadZoom(watched, *static_cast<QKeyEvent*>(event))) {
    if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Plus)
      OnZoomIn();
    else
      OnZoomOut();
    return true;
  }
  // The lock indicators follow the lock keys pressed while the program runs.
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    const int index = key == Qt::Key_CapsLock ? 0 : key == Qt::Key_NumLock ? 1 : key == Qt::Key_ScrollLock ? 2 : -1;
    if (index >= 0 && !static_cast<QKeyEvent*>(event)->isAutoRepeat() && watched == QApplication::focusWidget()) {
      lockState_[index] = !lockState_[index];
      lockLabels_[index]->setEnabled(lockState_[index]);
    }
  }
  return QMainWindow::eventFilter(watched, event);
}
