#pragma once
// Field systems and file helpers shared by the document and desktop tests.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// A conductor half sphere (fixed 10 kV), a dielectric wall, a floating plate
// and a variable-potential slant: one generatrix of every colour.
inline const char* const kFourGeneratrices =
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 5.000 ; 3.000 ; 90.00000 ; -90.00000 ; 10.000 ; 20 ; 1.0000 ;\n"
    "De; 3 ; 2 ;4.0 ; 1.0 ;\t\tl; 8.000 ; 0.000 ; 8.000 ; 10.000 ; 20 ; 1.0000 ;\n"
    "Me; 4 ; 2 ;    ; 1.0 ;\t\tl; 0.000 ; 12.000 ; 6.000 ; 12.000 ;x ; 15 ; 1.0000 ;\n"
    "Me; 5 ; 2 ;    ; 1.0 ;\t\tl; 10.000 ; 2.000 ; 14.000 ; 6.000 ;~ ; 0.000 ; 5.000 ; 10 ; 1.0000 ;\n";

// A sphere of radius 5 cm at 10 kV: the smallest system that calculates.
inline const char* const kSphere =
    "Me; 1 ; 2 ;    ; 1.0 ;\t\tc; 0.000 ; 10.000 ; 5.000 ; 90.00000 ; -90.00000 ; 10.000 ; 20 ; 1.0000 ;\n";

inline QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& contents) {
  const QString path = dir.filePath(name);
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly)) ADD_FAILURE() << "cannot write " << path.toStdString();
  f.write(contents);
  return path;
}

inline QByteArray ReadFile(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}
