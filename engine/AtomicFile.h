#pragma once
// The one way both programs write a file: it appears complete or not at all.
//
// The bytes go to a temporary created exclusively (O_EXCL, never through a
// symbolic link) in the target's own folder, so the final rename never
// crosses file systems and nothing planted under a temporary's name is ever
// written through. The temporary's name fits the 255-byte limit even for a
// target whose name nearly fills it. The data is flushed and synced, and
// every step checked, before the rename; any failure removes the temporary
// and leaves the previous file untouched.
//
// A target that exists and is not a regular file (a device, a pipe, a
// socket, a folder) is refused and stays what it is. A symbolic link to a
// regular file is written through to that file, so the link survives.
// Temporaries left by a process that no longer runs (killed mid-write) are
// removed when the same target is written again.
//
// Failures are described by a short Russian cause ("нет места на диске");
// callers put the path in front of it.

#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

class AtomicFile {
 public:
  AtomicFile();
  ~AtomicFile();
  AtomicFile(const AtomicFile&) = delete;
  AtomicFile& operator=(const AtomicFile&) = delete;

  // Creates the temporary beside `path`; false (with Error()) when the
  // target is refused or the temporary cannot be created.
  bool Open(const std::string& path);
  bool IsOpen() const { return fd_ >= 0; }
  std::ostream& Stream() { return out_; }
  // Flushes, syncs and closes the temporary and renames it to the target;
  // false (with Error(), the temporary removed) when any step failed.
  bool Commit();
  // Closes and removes the temporary; nothing happens to the target.
  void Discard();
  // Why the last Open or Commit failed, in Russian; empty after success.
  const std::string& Error() const { return error_; }

  // How the temporaries of `path` begin (tests look for leftovers).
  static std::string TemporaryPrefix(const std::string& path);
  // Temporaries numbered 00000000, 00000001, … after the process id instead
  // of random, so that a test can plant links at the names a write tries.
  static void UseSerialNamesForTests(bool on);

 private:
  class Buffer;
  bool Fail(std::string cause);

  std::unique_ptr<Buffer> buffer_;
  std::ostream out_;
  int fd_ = -1;
  std::string target_;
  std::string temp_;
  std::string error_;
};

// Writes `bytes` to `path` whole. "" on success, else the cause in Russian;
// the previous file, if any, is then untouched and no temporary is left.
std::string WriteFileAtomically(const std::string& path, std::string_view bytes);

// The Russian cause for an errno value of a file operation ("нет прав на
// запись", "нет такой папки", "нет места на диске").
std::string FileErrorCause(int errnoValue);

// Whether a file could be written at `path` now, before a long run makes
// it: the folder exists and takes a new file (tried by creating and removing
// a temporary), the target is not a folder or a device, and when `bytes` is
// positive the file system has that much free. "" or the cause.
std::string CheckWritable(const std::string& path, double bytes = 0.0);

// Whether `path` names the same existing file as one of `inputs` (a link or
// another spelling included). The output then must not be written: the run
// would destroy what it reads.
bool IsOneOf(const std::string& path, const std::vector<std::string>& inputs);
