#include "dialogs/CDirDialog.h"

#include <QFileDialog>
#include <QFileInfo>

bool CDirDialog::Browse(QWidget* parent) {
  const QString caption = title.isEmpty() ? QStringLiteral("Открыть") : title;
  // ShowDirsOnly keeps the choice to file-system folders.
  const QString chosen = QFileDialog::getExistingDirectory(parent, caption, initialPath,
                                                           QFileDialog::ShowDirsOnly);
  if (chosen.isEmpty() || !QFileInfo(chosen).isDir()) return false;
  path = QFileInfo(chosen).absoluteFilePath();
  return true;
}
