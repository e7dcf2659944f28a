#include "app/CKalvorApp.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QScreen>
#include <QTranslator>

#include "document/CKalvorDoc.h"
#include "app/CMainFrame.h"
#include "app/RecentFileList.h"

CKalvorApp::CKalvorApp() : qtTranslator_(std::make_unique<QTranslator>()) {
  QCoreApplication::setOrganizationName(QString::fromUtf8(RecentFileList::kOrganisation));
  QCoreApplication::setApplicationName(QString::fromUtf8(RecentFileList::kApplication));
  // The program speaks Russian whatever the locale; without the package the
  // standard texts stay English.
  if (qtTranslator_->load(QStringLiteral("qtbase_ru"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QCoreApplication::installTranslator(qtTranslator_.get());
  // Dates and sizes in the file dialogs, page names in the print dialogs.
  // The number fields parse with the C locale whatever this says.
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

CKalvorApp::~CKalvorApp() {
  // The frame's panes refer to the document: they go first.
  frame_.reset();
  doc_.reset();
  QCoreApplication::removeTranslator(qtTranslator_.get());
}

bool CKalvorApp::InitInstance(const QStringList& arguments, bool show) {
  doc_ = std::make_unique<CKalvorDoc>();
  frame_ = std::make_unique<CMainFrame>(*doc_);
  if (arguments.isEmpty()) {
    doc_->NewDocument();
  } else if (!frame_->OpenFile(arguments.first())) {
    return false;
  }
  if (show) {
    // Without a window manager "maximised" means nothing; the frame then
    // takes the screen's available area itself.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) frame_->setGeometry(screen->availableGeometry());
    frame_->showMaximized();
    frame_->repaint();
  }
  return true;
}
