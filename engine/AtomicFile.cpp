#include "engine/AtomicFile.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>

std::string AtomicFile::TemporaryPrefix(const std::string& path) { return path + ".part-"; }

bool AtomicFile::Open(const std::string& path) {
  Discard();
  static std::atomic<unsigned> serial{0};
  path_ = path;
  // Same folder, so that the rename never crosses file systems; the process
  // id and a serial keep concurrent writers of one target apart.
  temp_ = TemporaryPrefix(path) + std::to_string(getpid()) + "-" + std::to_string(serial++);
  out_.open(temp_, std::ios::binary | std::ios::trunc);
  if (!out_.is_open()) {
    temp_.clear();
    return false;
  }
  return true;
}

bool AtomicFile::Commit() {
  if (!out_.is_open()) return false;
  out_.flush();
  const bool written = !out_.fail();
  out_.close();
  if (!written || out_.fail() || std::rename(temp_.c_str(), path_.c_str()) != 0) {
    std::remove(temp_.c_str());
    temp_.clear();
    return false;
  }
  temp_.clear();
  return true;
}

void AtomicFile::Discard() {
  if (out_.is_open()) out_.close();
  if (!temp_.empty()) std::remove(temp_.c_str());
  temp_.clear();
}
