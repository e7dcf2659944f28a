#pragma once
// What the panes and the geometry view need of the main frame: the two-column
// splitter whose left pane is replaced at run time, and the status bar. The
// views change each other only through it, never by reaching into one
// another's widgets.

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
  // Whether the left pane is the tree.
  virtual bool TreeShown() const = 0;
  // Opens generatrix `index` in its editor pane, filled from it (the tree
  // for an index outside the system); false when the user chose to stay in
  // an editor pane with unapplied changes.
  virtual bool EditGeneratrix(int index) = 0;
  // Creates a generatrix in the geometry view, an arc or a line.
  virtual void CreateGeneratrix(bool arc) = 0;
  // Collapses the left column; dragging the bar brings it back.
  virtual void HideLeftPane() = 0;
  virtual void ShowStatusMessage(const QString& text) = 0;
};
