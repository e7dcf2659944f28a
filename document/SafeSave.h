#pragma once
// Saving a whole file from Qt code: the engine's atomic write (AtomicFile),
// so that both programs write every file the same way.

#include <QByteArray>
#include <QString>

// Writes `bytes` to `path` through a temporary file that replaces the old
// file only when everything was written and synced. Returns "" on success,
// else the cause in Russian (the old file, if any, is then untouched and no
// temporary is left). A target that is a device, a pipe or a folder is
// refused and left as it is.
QString SafeSave(const QString& path, const QByteArray& bytes);
