#pragma once
// Shared pieces of the desktop tests: temporary system files and a running
// program (document and main frame) without the event loop.

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/CKalvorApp.h"
#include "app/CKalvorDoc.h"
#include "app/CMainFrame.h"
#include "dialogs/NumberFields.h"

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

// Settings go to a folder of the test process; validation messages are recorded.
class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Settings of this process only: tests may run in parallel.
    static QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    ASSERT_TRUE(dir.isValid());
    NumberFields::SetMessageHandler([this](QWidget*, const QString& text) { messages << text; });
  }
  void TearDown() override { NumberFields::SetMessageHandler(nullptr); }

  // Starts the program, optionally on a file, with the frame shown at a
  // fixed size.
  void Start(const QStringList& args = {}) {
    app = std::make_unique<CKalvorApp>();
    ASSERT_TRUE(app->InitInstance(args, false));
    frame()->resize(1200, 800);
    frame()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(frame()));
  }
  CKalvorDoc& doc() { return *app->Document(); }
  CMainFrame* frame() { return app->MainFrame(); }

  QTemporaryDir dir;
  QStringList messages;
  std::unique_ptr<CKalvorApp> app;
};
