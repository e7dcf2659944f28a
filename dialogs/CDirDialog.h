#pragma once
// The folder picker: a title above the folders, a folder to preselect, and
// only file-system folders to choose from.

#include <QString>

class QWidget;

class CDirDialog {
 public:
  QString title;        // "Открыть" when empty
  QString initialPath;  // preselected when not empty
  QString path;         // the chosen folder after Browse() returned true

  // False when the user cancels.
  bool Browse(QWidget* parent = nullptr);
};
