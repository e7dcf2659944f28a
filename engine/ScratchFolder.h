#pragma once
// A private temporary folder, removed with everything in it when the object
// goes: for the control file a calculation writes that nobody asked for
// (studies, the Python module). Empty Path() when it could not be made.

#include <cstdlib>
#include <filesystem>
#include <string>

class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "kalvor-XXXXXX").string();
    if (!ec && mkdtemp(pattern.data())) path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) std::filesystem::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};
