#include "engine/AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <streambuf>
#include <vector>

namespace {

constexpr size_t kNameMax = 255;
// ".part-" + a process id of up to 10 digits + "-" + 8 hex digits.
constexpr size_t kSuffixMax = 6 + 10 + 1 + 8;

struct Parts {
  std::string folder;  // "" for the current folder
  std::string name;
};

Parts Split(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {"", path};
  return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The name's first bytes that leave room for the suffix, cut at a
// character boundary of UTF-8.
std::string TemporaryStem(const std::string& name) {
  if (name.size() + kSuffixMax <= kNameMax) return name;
  size_t n = kNameMax - kSuffixMax;
  while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80) --n;
  return name.substr(0, n);
}

const char kNotRegular[] = "это не обычный файл (устройство, канал или сокет), он не будет заменен";
const char kIsFolder[] = "это папка, а не файл";

// What a write to `path` would replace: the path itself, or the file a
// symbolic link leads to. "" or the reason the target is refused.
std::string ResolveTarget(const std::string& path, std::string& target, struct stat& existing, bool& exists) {
  exists = false;
  target = path;
  if (path.empty()) return "не указано имя файла";
  if (path.back() == '/') return kIsFolder;
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {};  // the folder's check names it
    return FileErrorCause(errno);
  }
  if (S_ISLNK(st.st_mode)) {
    if (stat(path.c_str(), &st) != 0) return "символическая ссылка ведет к несуществующему файлу";
    if (S_ISDIR(st.st_mode)) return kIsFolder;
    if (!S_ISREG(st.st_mode)) return kNotRegular;
    char* real = realpath(path.c_str(), nullptr);
    if (!real) return FileErrorCause(errno);
    target = real;
    std::free(real);
  } else if (S_ISDIR(st.st_mode)) {
    return kIsFolder;
  } else if (!S_ISREG(st.st_mode)) {
    return kNotRegular;
  }
  existing = st;
  exists = true;
  return {};
}

std::atomic<bool> serialNames{false};

std::string RandomHex(int attempt) {
  static std::atomic<unsigned> serial{0};
  unsigned value = 0;
  if (serialNames)
    value = static_cast<unsigned>(attempt);
  else if (getrandom(&value, sizeof value, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof value))
    value = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()) * 2654435761u ^
            serial++;
  char text[9];
  std::snprintf(text, sizeof text, "%08x", value);
  return text;
}

// Creates a fresh temporary for `target`: exclusively, never through a link.
int CreateTemporary(const std::string& target, std::string& temp, int& error) {
  const std::string prefix = AtomicFile::TemporaryPrefix(target) + std::to_string(getpid()) + "-";
  for (int attempt = 0; attempt < 100; ++attempt) {
    temp = prefix + RandomHex(attempt);
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    if (errno != EEXIST) break;
  }
  error = errno;
  temp.clear();
  return -1;
}

// Removes temporaries of `target` whose writer no longer runs (a killed
// run). Only names of our own pattern, only files and links, never a
// folder; a live writer's temporary is left alone.
void RemoveStaleTemporaries(const std::string& target) {
  const Parts parts = Split(AtomicFile::TemporaryPrefix(target));
  DIR* dir = opendir(parts.folder.empty() ? "." : parts.folder.c_str());
  if (!dir) return;
  const int self = getpid();
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.compare(0, parts.name.size(), parts.name) != 0) continue;
    char* end = nullptr;
    const long pid = std::strtol(name.c_str() + parts.name.size(), &end, 10);
    if (pid <= 0 || pid == self || *end != '-') continue;
    if (kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
    struct stat st {};
    if (fstatat(dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) unlinkat(dirfd(dir), entry->d_name, 0);
  }
  closedir(dir);
}

void SyncFolder(const std::string& target) {
  const std::string folder = Split(target).folder;
  const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);  // the rename's durability; the file itself is already whole
  close(fd);
}

}  // namespace

// Buffers the stream's output and writes it to the temporary; remembers the
// first failure (ENOSPC...) so that Commit can name it.
class AtomicFile::Buffer : public std::streambuf {
 public:
  Buffer() : data_(size_t{1} << 16) {}
  void Attach(int fd) {
    fd_ = fd;
    error_ = 0;
    setp(data_.data(), data_.data() + data_.size());
  }
  int Error() const { return error_; }

 protected:
  int_type overflow(int_type c) override {
    if (!Drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    if (n < static_cast<std::streamsize>(data_.size())) return std::streambuf::xsputn(s, n);
    if (!Drain() || !WriteAll(s, static_cast<size_t>(n))) return 0;
    return n;
  }
  int sync() override { return Drain() ? 0 : -1; }

 private:
  bool Drain() {
    const bool ok = error_ == 0 && WriteAll(pbase(), static_cast<size_t>(pptr() - pbase()));
    setp(data_.data(), data_.data() + data_.size());
    return ok;
  }
  bool WriteAll(const char* p, size_t n) {
    while (n > 0) {
      const ssize_t written = write(fd_, p, n);
      if (written < 0) {
        if (errno == EINTR) continue;
        error_ = errno;
        return false;
      }
      p += written;
      n -= static_cast<size_t>(written);
    }
    return true;
  }

  std::vector<char> data_;
  int fd_ = -1;
  int error_ = 0;
};

AtomicFile::AtomicFile() : buffer_(std::make_unique<Buffer>()), out_(nullptr) {}

AtomicFile::~AtomicFile() { Discard(); }

void AtomicFile::UseSerialNamesForTests(bool on) { serialNames = on; }

std::string AtomicFile::TemporaryPrefix(const std::string& path) {
  const Parts parts = Split(path);
  return Join(parts.folder, TemporaryStem(parts.name) + ".part-");
}

bool AtomicFile::Open(const std::string& path) {
  Discard();
  error_.clear();
  struct stat existing {};
  bool exists = false;
  if (std::string refused = ResolveTarget(path, target_, existing, exists); !refused.empty())
    return Fail(std::move(refused));
  RemoveStaleTemporaries(target_);
  int error = 0;
  fd_ = CreateTemporary(target_, temp_, error);
  if (fd_ < 0) return Fail(FileErrorCause(error));
  if (exists) {
    // The replacement keeps the old file's permissions (and, for root, its
    // owner), as an editor saving in place would.
    fchmod(fd_, existing.st_mode & 07777);
    if (geteuid() == 0 && fchown(fd_, existing.st_uid, existing.st_gid) != 0) {
      // best effort: a file system without owners keeps ours
    }
  }
  buffer_->Attach(fd_);
  out_.rdbuf(buffer_.get());
  out_.clear();
  return true;
}

bool AtomicFile::Commit() {
  if (fd_ < 0) {
    if (error_.empty()) error_ = "файл не открыт";
    return false;
  }
  out_.flush();
  if (buffer_->Error() != 0) return Fail(FileErrorCause(buffer_->Error()));
  if (!out_) return Fail(FileErrorCause(EIO));
  // Some file systems report a full disk only when the data is synced or
  // the file closed.
  if (fdatasync(fd_) != 0) return Fail(FileErrorCause(errno));
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) return Fail(FileErrorCause(errno));
  // Checked again just before the rename: a device put there meanwhile
  // stays a device.
  struct stat st {};
  if (lstat(target_.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
    return Fail(S_ISDIR(st.st_mode) ? kIsFolder : kNotRegular);
  if (rename(temp_.c_str(), target_.c_str()) != 0) return Fail(FileErrorCause(errno));
  temp_.clear();
  out_.rdbuf(nullptr);
  SyncFolder(target_);
  error_.clear();
  return true;
}

void AtomicFile::Discard() {
  out_.rdbuf(nullptr);
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
}

bool AtomicFile::Fail(std::string cause) {
  Discard();
  error_ = std::move(cause);
  return false;
}

std::string WriteFileAtomically(const std::string& path, std::string_view bytes) {
  AtomicFile file;
  if (!file.Open(path)) return file.Error();
  file.Stream().write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file.Commit()) return file.Error();
  return {};
}

std::string FileErrorCause(int e) {
  switch (e) {
    case ENOENT:
    case ENOTDIR:
      return "нет такой папки";
    case EACCES:
    case EPERM:
      return "нет прав на запись";
    case EROFS:
      return "нет прав на запись: файловая система только для чтения";
    case ENOSPC:
    case EDQUOT:
      return "нет места на диске";
    case EISDIR:
      return kIsFolder;
    case ENAMETOOLONG:
      return "слишком длинное имя";
    case ELOOP:
      return "символическая ссылка на себя";
    case EMFILE:
    case ENFILE:
      return "открыто слишком много файлов";
    case EFBIG:
      return "файл слишком велик для этой файловой системы";
    case EIO:
      return "ошибка ввода-вывода";
    default:
      return "системная ошибка " + std::to_string(e);
  }
}

std::string CheckWritable(const std::string& path, double bytes) {
  std::string target;
  struct stat existing {};
  bool exists = false;
  if (std::string refused = ResolveTarget(path, target, existing, exists); !refused.empty()) return refused;
  const std::string folder = Split(target).folder;
  const std::string shown = folder.empty() ? "." : folder;
  struct stat st {};
  const int found = stat(shown.c_str(), &st) == 0 ? 0 : errno;
  if (found == EACCES) return "нет прав на папку " + shown;
  if (found != 0 || !S_ISDIR(st.st_mode)) return "нет такой папки " + shown;
  std::string temp;
  int error = 0;
  const int fd = CreateTemporary(target, temp, error);
  if (fd < 0) {
    if (error == EACCES || error == EPERM || error == EROFS) return FileErrorCause(error) + " в папку " + shown;
    return FileErrorCause(error);
  }
  close(fd);
  unlink(temp.c_str());
  if (bytes > 0.0) {
    struct statvfs fs {};
    if (statvfs(shown.c_str(), &fs) == 0) {
      const double free = static_cast<double>(fs.f_bavail) * static_cast<double>(fs.f_frsize);
      if (free < bytes) {
        char text[160];
        std::snprintf(text, sizeof text, "нет места на диске: нужно около %.1f МБ, свободно %.1f МБ",
                      bytes / 1048576.0, free / 1048576.0);
        return text;
      }
    }
  }
  return {};
}

bool IsOneOf(const std::string& path, const std::vector<std::string>& inputs) {
  struct stat out {};
  if (stat(path.c_str(), &out) != 0) return false;
  for (const std::string& input : inputs) {
    struct stat in {};
    if (!input.empty() && stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino)
      return true;
  }
  return false;
}
