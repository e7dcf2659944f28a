#pragma once
// The recent-file list of the "&Файл" menu: at most four paths, newest
// first, kept in the per-user settings of the program.

#include <QString>
#include <QStringList>

class RecentFileList {
 public:
  static constexpr int kSize = 4;
  static const char* const kOrganisation;  // settings key of the program
  static const char* const kApplication;   // subkey, the application title

  void Load();
  void Store() const;
  // Moves or inserts `path` at the top and drops what falls off the end.
  void Add(const QString& path);
  void Remove(const QString& path);

  const QStringList& Files() const { return files_; }

 private:
  QStringList files_;
};
