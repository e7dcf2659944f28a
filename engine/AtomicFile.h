#pragma once
// A file that appears complete or not at all: written under a temporary name
// in its own folder and renamed over the target only when every byte has
// reached the disk's file system. A failed write (a full disk), an abort or
// an exception leaves the previous file, if any, untouched and no temporary
// behind.

#include <fstream>
#include <string>

class AtomicFile {
 public:
  AtomicFile() = default;
  ~AtomicFile() { Discard(); }
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary beside `path`; false when it cannot be created.
  bool Open(const std::string& path);
  bool IsOpen() const { return out_.is_open(); }
  std::ostream& Stream() { return out_; }
  // Flushes and closes the temporary and renames it to the target; false
  // (and the temporary removed) when any write, the close or the rename
  // failed.
  bool Commit();
  // Closes and removes the temporary; nothing happens to the target.
  void Discard();

  // The name the temporary of `path` gets (tests look for leftovers).
  static std::string TemporaryPrefix(const std::string& path);

 private:
  std::ofstream out_;
  std::string path_;
  std::string temp_;
};
