// Regression: saving onto a full disk reported success and left an empty
// file in place of the old one (QSaveFile::commit() in Qt 6.4 returns true
// after a buffered write failed with ENOSPC). Checked on a real full file
// system: a small tmpfs.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <fstream>

#include "../common/SmallDisk.h"
#include "document/SafeSave.h"

namespace {

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

TEST(SafeSave, FullDiskKeepsTheOldFileAndReportsTheFailure) {
  SmallDisk disk;
  if (!disk.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs (needs root)";
  const QString folder = QString::fromStdString(disk.Path().string());
  const QString path = folder + "/system.txt";
  const QByteArray old = "Me; 1 ; 2 ;    ; 1.0 ;\t\tl; 1.000 ; 0.000 ; 1.000 ; 10.000 ; 5.000 ;  4 ; 1.0000 ;\n";
  ASSERT_TRUE(SafeSave(path, old).isEmpty());
  ASSERT_EQ(ReadAll(path), old);

  // A save larger than the whole disk, and one into the last free bytes
  // (a buffered write that fails only when flushed).
  for (const qsizetype size : {qsizetype{64 * 1024}, qsizetype{3000}}) {
    if (size == 3000) {
      std::ofstream filler((disk.Path() / "filler").string(), std::ios::binary);
      const std::string block(512, 'f');
      while (filler.write(block.data(), static_cast<std::streamsize>(block.size()))) filler.flush();
    }
    const QString reason = SafeSave(path, QByteArray(size, 'x'));
    EXPECT_FALSE(reason.isEmpty()) << size;
    EXPECT_EQ(ReadAll(path), old) << size;
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    names.removeAll(QStringLiteral("filler"));
    EXPECT_EQ(names, QStringList{QStringLiteral("system.txt")}) << size;
  }
}

TEST(SafeSave, WritesTheBytesAndNamesAMissingFolder) {
  const QString path = QDir::tempPath() + QStringLiteral("/kalvor-safesave-%1.txt").arg(QCoreApplication::applicationPid());
  EXPECT_TRUE(SafeSave(path, "abc\n").isEmpty());
  EXPECT_EQ(ReadAll(path), QByteArray("abc\n"));
  QFile::remove(path);
  EXPECT_FALSE(SafeSave(QDir::tempPath() + "/no/such/folder/x.txt", "abc").isEmpty());
}

}  // namespace
