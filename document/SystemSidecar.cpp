#include "document/SystemSidecar.h"

#include <QFile>

namespace sidecar {

namespace {

std::string Native(const QString& path) { return QFile::encodeName(path).toStdString(); }

}  // namespace

QString PathFor(const QString& systemPath) { return systemPath + QStringLiteral(".kalvor.ini"); }

QString Write(const QString& systemPath, const CalcParameters& p, const CSurfColl* gapCurves) {
  return QFile::decodeName(QByteArray::fromStdString(Write(Native(systemPath), p, gapCurves)));
}

Contents Read(const QString& systemPath, const CalcParameters& defaults) {
  return Read(Native(systemPath), defaults);
}

}  // namespace sidecar
