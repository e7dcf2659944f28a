#pragma once
// The main window: menus, toolbar, status bar and the two-column splitter
// with the generatrix pane on the left and the geometry view on the right.
// Its parts live in files of their own: the columns (FramePanes.cpp), the
// status bar (FrameStatusBar.cpp), the file commands (FrameFile.cpp), the
// view commands (FrameViewCommands.cpp) and the calculation commands
// (FrameCalculation.cpp).

#include <QHash>
#include <QMainWindow>
#include <QStringList>
#include <memory>

#include "app/RecentFileList.h"
#include "views/LeftPaneHost.h"

class CKalvorDoc;
class CKalvorView;
class CLeftView_Empty;
struct FieldPictureOptions;
class QAction;
class QKeyEvent;
class QLabel;
class QMenu;
class QPrinter;
class QSplitter;
class QToolBar;
class GeometryCommands;
class ResultsPane;

class CMainFrame : public QMainWindow, public LeftPaneHost {
  Q_OBJECT

 public:
  explicit CMainFrame(CKalvorDoc& doc, QWidget* parent = nullptr);
  ~CMainFrame() override;

  // LeftPaneHost. Leaving an editor pane with unapplied changes asks
  // whether to apply them; null when the user stays.
  QWidget* ReplaceLeftPane(LeftPaneKind kind) override;
  QWidget* LeftPane() const override;
  bool TreeShown() const override { return TreePane() != nullptr; }
  bool EditGeneratrix(int index) override;
  void CreateGeneratrix(bool arc) override;
  // The left pane when it is the tree, else null.
  CLeftView_Empty* TreePane() const;
  CKalvorView* GeometryView() const { return view_; }
  void HideLeftPane() override;
  void ShowStatusMessage(const QString& text) override;

  QAction* Action(int id) const { return actions_.value(id); }
  QSplitter* Splitter() const { return splitter_; }
  QToolBar* ToolBar() const { return toolBar_; }
  ResultsPane* Results() const { return results_; }
  // Scrolls the view so the model point (cm) is in its middle, and marks it.
  void ShowModelPoint(double xcm, double ycm);
  QStringList RecentFiles() const { return recent_.Files(); }
  QList<QAction*> RecentFileActions() const { return recentActions_; }

  // Opens a file with the document's reports; false when nothing was opened.
  bool OpenFile(const QString& path);
  // Asks whether to save a modified document; false when the user cancels.
  bool MaybeSave();
  bool Save();
  bool SaveAs();
  // Enables and checks every command by the document's state.
  void UpdateCommandUI();
  // The calculation-parameters command.
  void OnCalcParameters();

  static constexpr int kLeftPaneWidth = 400;
  static constexpr int kResultsPaneWidth = 460;
  static constexpr int kSplitStep = 10;  // pixels per arrow key in the move mode
  bool SplitMoving() const { return splitMoving_; }

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Asks about an editor pane's unapplied changes; false: stay in it.
  bool LeaveEditorPane();
  QWidget* SwapLeftPane(LeftPaneKind kind);
  void CreateActions();
  void CreateMenus();
  void CreateToolBar();
  void CreateStatusBar();
  void CreateSplitter();
  void CreateResultsPane();
  QAction* MakeAction(int id);
  void Connect(int id, void (CMainFrame::*slot)());

  void OnFileNew();
  void OnFileOpen();
  void OnFileSave();
  void OnFileSaveAs();
  void OnPrint();
  void OnPrintPreview();
  void OnPageSetup();
  void OnSplit();
  // A key of the splitter's move mode; false when it is not one.
  bool SplitMoveKey(int key);
  // An event while the bar moves; true when the move mode took it.
  bool SplitMoveEvent(const QEvent& event);
  void TrackLockKey(QObject* watched, const QKeyEvent& key);
  void OnZoomIn();
  void OnZoomOut();
  void OnZoomFit();
  bool IsKeypadZoom(QObject* watched, const QKeyEvent& key) const;
  void OnCreateArc();
  void OnCreateLine();
  void OnToggleGapCurves();
  void OnToggleCharges();
  void OnToggleFieldPicture();
  void OnFieldPicture();
  void SetPictureOptions(const FieldPictureOptions& o);
  void OnExportView();
  void OnGapCurves();
  void OnCalculate();
  void OnGapCalculate();
  void OnHelp();
  void OnContextHelp();
  void OnAbout();
  void OnNextPane();
  void OnPrevPane();
  void UpdateTitle();

  void RebuildRecentMenu();

  static inline const QString kWindowTitle = QStringLiteral("Kalvor");

  CKalvorDoc& doc_;
  QHash<int, QAction*> actions_;
  QMenu* fileMenu_ = nullptr;
  QAction* recentSeparator_ = nullptr;
  QList<QAction*> recentActions_;
  RecentFileList recent_;
  QToolBar* toolBar_ = nullptr;
  QSplitter* splitter_ = nullptr;
  CKalvorView* view_ = nullptr;
  ResultsPane* results_ = nullptr;
  GeometryCommands* geometry_ = nullptr;
  QLabel* lockLabels_[3] = {};
  bool lockState_[3] = {};
  bool shownOnce_ = false;
  bool splitMoving_ = false;
  QList<int> splitMoveFrom_;
  std::unique_ptr<QPrinter> printer_;
};
