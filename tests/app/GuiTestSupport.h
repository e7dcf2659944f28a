#pragma once
// Shared pieces of the desktop tests: temporary system files and a running
// program (document and main frame) without the event loop.

#include <gtest/gtest.h>

#include <QSettings>
#include <QString>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "app/CKalvorApp.h"
#include "app/CMainFrame.h"
#include "app/RecentFileList.h"
#include "dialogs/NumberFields.h"
#include "document/DocumentTestSupport.h"
#include "document/CKalvorDoc.h"

// Settings go to a folder of the test process; validation messages are recorded.
class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Settings of this process only: tests may run in parallel.
    static QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    // Each test starts from the field picture's defaults.
    QSettings(QString::fromUtf8(RecentFileList::kOrganisation), QString::fromUtf8(RecentFileList::kApplication))
        .remove(QStringLiteral("FieldPicture"));
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
