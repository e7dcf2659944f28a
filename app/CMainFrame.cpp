#include "app/CMainFrame.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrinter>
#include <QStatusBar>
#include <QToolBar>
#include <QUndoStack>

#include "app/FrameCommands.h"
#include "app/GeometryCommands.h"
#include "app/HelpWindow.h"
#include "app/StudyCommand.h"
#include "dialogs/CCalcInfo.h"
#include "document/CKalvorDoc.h"
#include "views/CKalvorView.h"
#include "views/FieldPicture.h"
#include "views/GeneratrixPane.h"
#include "views/KalvorIcons.h"

using namespace KalvorIcons;

CMainFrame::CMainFrame(CKalvorDoc& doc, QWidget* parent)
    : QMainWindow(parent), doc_(doc), printer_(std::make_unique<QPrinter>()) {
  setWindowIcon(ToolIcon(kMainIcon));
  CreateActions();
  CreateMenus();
  CreateToolBar();
  CreateStatusBar();
  CreateSplitter();
  CreateResultsPane();
  // Rounding, DXF import and export: their actions go after "Сохранить как".
  geometry_ = new GeometryCommands(this, doc_, *view_, [this] {
    if (!MaybeSave()) return false;
    doc_.NewDocument();
    return true;
  });
  fileMenu_->insertActions(Action(ID_FILE_PRINT), {geometry_->ImportAction(), geometry_->ExportAction()});
  fileMenu_->insertSeparator(Action(ID_FILE_PRINT));
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
  connect(actions_.value(ID_STUDY), &QAction::triggered, this, [this] { RunStudyCommand(*this, doc_); });
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
  calc->addAction(Action(ID_STUDY));

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

void CMainFrame::UpdateTitle() {
  setWindowTitle(doc_.Title() + QStringLiteral("[*] - ") + kWindowTitle);
  setWindowModified(doc_.IsModified());
}

void CMainFrame::UpdateCommandUI() {
  Action(ID_CALCULATE)->setEnabled(doc_.CanCalculate());
  Action(ID_STUDY)->setEnabled(doc_.CanCalculate());
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

void CMainFrame::closeEvent(QCloseEvent* event) {
  if (!isEnabled() || !MaybeSave()) {
    event->ignore();
    return;
  }
  event->accept();
}

// ---- Help ----

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
  if (splitMoving_ && SplitMoveEvent(*event)) return true;
  if (event->type() == QEvent::KeyPress) {
    const auto& key = *static_cast<QKeyEvent*>(event);
    if (IsKeypadZoom(watched, key)) {
      if (key.key() == Qt::Key_Plus)
        OnZoomIn();
      else
        OnZoomOut();
      return true;
    }
    TrackLockKey(watched, key);
  }
  return QMainWindow::eventFilter(watched, event);
}
