// The file commands: new, open, save, the recent files and printing.
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>

#include "app/CMainFrame.h"
#include "app/FrameCommands.h"
#include "document/CKalvorDoc.h"
#include "views/CKalvorView.h"

bool CMainFrame::MaybeSave() {
  if (!LeaveEditorPane()) return false;
  if (!doc_.IsModified()) return true;
  const auto answer = QMessageBox::warning(
      this, kWindowTitle, QStringLiteral("Сохранить изменения в %1?").arg(doc_.Title()),
      QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
  if (answer == QMessageBox::Yes) return Save();
  return answer == QMessageBox::No;
}

bool CMainFrame::Save() {
  if (doc_.FilePath().isEmpty()) return SaveAs();
  if (doc_.StoppedAtLine() > 0) {
    // The file holds more than was read: saving over it loses the rest.
    const auto answer = QMessageBox::warning(
        this, kWindowTitle,
        QStringLiteral("Файл %1 был прочитан только до строки %2.\n"
                       "Если сохранить систему в него, строки файла начиная с этой будут потеряны.\n"
                       "Заменить файл? (\"Нет\" - сохранить под другим именем)")
            .arg(QDir::toNativeSeparators(doc_.FilePath()))
            .arg(doc_.StoppedAtLine()),
        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::No);
    if (answer == QMessageBox::Cancel) return false;
    if (answer == QMessageBox::No) return SaveAs();
  }
  const QString error = doc_.SaveDocument(doc_.FilePath());
  if (!error.isEmpty()) {
    QMessageBox::warning(this, kWindowTitle, error);
    return false;
  }
  return true;
}

bool CMainFrame::SaveAs() {
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить как"), doc_.FilePath(),
                                                    QStringLiteral("Все файлы (*)"));
  if (path.isEmpty()) return false;
  const QString error = doc_.SaveDocument(path);
  if (!error.isEmpty()) {
    QMessageBox::warning(this, kWindowTitle, error);
    return false;
  }
  recent_.Add(path);
  recent_.Store();
  RebuildRecentMenu();
  return true;
}

bool CMainFrame::OpenFile(const QString& path) {
  const CKalvorDoc::OpenResult result = doc_.OpenDocument(path);
  if (!result.opened) {
    QMessageBox::warning(this, kWindowTitle, result.error);
    recent_.Remove(path);
    recent_.Store();
    RebuildRecentMenu();
    return false;
  }
  recent_.Add(path);
  recent_.Store();
  RebuildRecentMenu();
  if (!result.warning.isEmpty()) QMessageBox::warning(this, kWindowTitle, result.warning);
  return true;
}

void CMainFrame::OnFileNew() {
  if (MaybeSave()) doc_.NewDocument();
}

void CMainFrame::OnFileOpen() {
  if (!MaybeSave()) return;
  const QString start = doc_.FilePath().isEmpty() ? QString() : QFileInfo(doc_.FilePath()).absolutePath();
  const QString path =
      QFileDialog::getOpenFileName(this, QStringLiteral("Открыть"), start, QStringLiteral("Все файлы (*)"));
  if (!path.isEmpty()) OpenFile(path);
}

void CMainFrame::OnFileSave() { Save(); }

void CMainFrame::OnFileSaveAs() { SaveAs(); }

void CMainFrame::RebuildRecentMenu() {
  for (QAction* a : recentActions_) {
    fileMenu_->removeAction(a);
    a->deleteLater();
  }
  recentActions_.clear();
  QAction* placeholder = Action(ID_FILE_MRU_FILE1);
  const QStringList& files = recent_.Files();
  placeholder->setVisible(files.isEmpty());
  placeholder->setEnabled(false);
  for (int i = 0; i < files.size(); ++i) {
    const QString path = files[i];
    auto* a = new QAction(QStringLiteral("&%1 %2").arg(i + 1).arg(QDir::toNativeSeparators(path)), this);
    a->setStatusTip(FindCommand(ID_FILE_MRU_FILE1)->prompt);
    connect(a, &QAction::triggered, this, [this, path] {
      if (MaybeSave()) OpenFile(path);
    });
    fileMenu_->insertAction(recentSeparator_, a);
    recentActions_ << a;
  }
}

// ---- Printing ----

void CMainFrame::OnPrint() {
  QPrintDialog dialog(printer_.get(), this);
  if (dialog.exec() == QDialog::Accepted) view_->PrintOn(*printer_);
}

void CMainFrame::OnPrintPreview() {
  QPrintPreviewDialog preview(printer_.get(), this);
  preview.setWindowTitle(QStringLiteral("Макет страницы"));
  connect(&preview, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter* p) { view_->PrintOn(*p); });
  preview.exec();
}

void CMainFrame::OnPageSetup() {
  QPageSetupDialog dialog(printer_.get(), this);
  dialog.exec();
}
