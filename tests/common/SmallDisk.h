#pragma once
// A tiny file system for tests of full disks: a tmpfs of `size` mounted on a
// fresh folder for the lifetime of the object. Mounting needs root (CI runs
// as root); without it Mounted() is false and the test skips itself.

#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <string>

class SmallDisk {
 public:
  explicit SmallDisk(const char* size = "size=16k") {
    namespace fs = std::filesystem;
    static int serial = 0;
    path_ = fs::temp_directory_path() /
            ("kalvor-disk-" + std::to_string(::getpid()) + "-" + std::to_string(serial++));
    fs::create_directories(path_);
    mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, size) == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool Mounted() const { return mounted_; }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
  bool mounted_ = false;
};
