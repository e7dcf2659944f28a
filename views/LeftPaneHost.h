#pragma once
// What the panes and the geometry view need of the main frame: the two-column
// splitter whose left pane is replaced at run time, and the status bar.

class CKalvorView;
class CLeftView_Empty;
class QString;
class QWidget;

enum class LeftPaneKind { Tree, Line, Arch };

class LeftPaneHost {
 public:
  virtual ~LeftPaneHost() = default;

  // Replaces the left pane by a fresh pane of `kind` with the same size (a
  // collapsed column stays collapsed) and returns it; null when the user
  // chose to stay in an editor pane with unapplied changes.
  virtual QWidget* ReplaceLeftPane(LeftPaneKind kind) = 0;
  virtual QWidget* LeftPane() const = 0;
  // The left pane when it is the tree, else null.
  virtual CLeftView_Empty* TreePane() const = 0;
  virtual CKalvorView* GeometryView() const = 0;
  // Collapses the left column; dragging the bar brings it back.
  virtual void HideLeftPane() = 0;
  virtual void ShowStatusMessage(const QString& text) = 0;
};
