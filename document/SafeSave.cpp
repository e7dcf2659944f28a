#include "document/SafeSave.h"

#include <QFile>

#include "engine/AtomicFile.h"

QString SafeSave(const QString& path, const QByteArray& bytes) {
  return QString::fromStdString(
      WriteFileAtomically(QFile::encodeName(path).toStdString(), std::string_view(bytes.constData(), bytes.size())));
}
