#pragma once
// Saving a whole file so that a failure never destroys the previous one.

#include <QByteArray>
#include <QString>

// Writes `bytes` to `path` through a temporary file that replaces the old
// file only when everything was written. Returns "" on success, else the
// reason (the old file, if any, is then untouched and no temporary is left).
//
// QSaveFile alone is not enough: Qt 6.4's commit() returns true after a
// buffered write has failed with ENOSPC, leaving an empty file in place of
// the old one. The flush and the error state are therefore checked first.
QString SafeSave(const QString& path, const QByteArray& bytes);
