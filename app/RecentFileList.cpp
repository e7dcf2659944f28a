#include "app/RecentFileList.h"

#include <QFileInfo>
#include <QSettings>

const char* const RecentFileList::kOrganisation = "Local AppWizard-Generated Applications";
const char* const RecentFileList::kApplication = "Программа Kalvor";

namespace {

const char* const kGroup = "Recent File List";

QString Key(int i) { return QStringLiteral("File%1").arg(i + 1); }

QString Normalised(const QString& path) { return QFileInfo(path).absoluteFilePath(); }

}  // namespace

void RecentFileList::Load() {
  QSettings settings(QString::fromUtf8(kOrganisation), QString::fromUtf8(kApplication));
  settings.beginGroup(kGroup);
  files_.clear();
  for (int i = 0; i < kSize; ++i) {
    const QString path = settings.value(Key(i)).toString();
    if (!path.isEmpty() && !files_.contains(path)) files_ << path;
  }
}

void RecentFileList::Store() const {
  QSettings settings(QString::fromUtf8(kOrganisation), QString::fromUtf8(kApplication));
  settings.beginGroup(kGroup);
  for (int i = 0; i < kSize; ++i) {
    if (i < files_.size())
      settings.setValue(Key(i), files_[i]);
    else
      settings.remove(Key(i));
  }
}

void RecentFileList::Add(const QString& path) {
  const QString p = Normalised(path);
  files_.removeAll(p);
  files_.prepend(p);
  while (files_.size() > kSize) files_.removeLast();
}

void RecentFileList::Remove(const QString& path) { files_.removeAll(Normalised(path)); }
