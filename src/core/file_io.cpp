#include "core/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

namespace refloom {

FilePtr open_for_reading(const std::string& path) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) return nullptr;
  struct stat status;
  if (fstat(fileno(file.get()), &status) == 0 && S_ISDIR(status.st_mode)) return nullptr;
  return file;
}

namespace {

std::string directory_of(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Follows symbolic links, also dangling ones, so that the file they point
// at is the one replaced.
std::optional<std::string> resolve_links(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat status;
    if (lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return path;
    std::vector<char> buffer(static_cast<std::size_t>(status.st_size > 0 ? status.st_size : PATH_MAX) + 1);
    const ssize_t length = readlink(path.c_str(), buffer.data(), buffer.size());
    if (length < 0 || static_cast<std::size_t>(length) >= buffer.size()) return std::nullopt;
    std::string link(buffer.data(), static_cast<std::size_t>(length));
    path = (!link.empty() && link[0] == '/') ? link : directory_of(path) + "/" + link;
  }
  return std::nullopt;
}

mode_t current_umask() {
  const mode_t mask = umask(0);
  umask(mask);
  return mask;
}

}  // namespace

std::optional<SafeOutputFile> SafeOutputFile::open(const std::string& path) {
  if (path.empty()) return std::nullopt;
  const auto target = resolve_links(path);
  if (!target) return std::nullopt;

  SafeOutputFile file;
  file.target_ = *target;
  struct stat status;
  const bool exists = stat(target->c_str(), &status) == 0;
  if (exists && S_ISDIR(status.st_mode)) return std::nullopt;
  if (exists && !S_ISREG(status.st_mode)) {
    file.stream_ = std::fopen(target->c_str(), "wb");
    if (!file.stream_) return std::nullopt;
    return file;
  }
  // A file the user may not write stays refused, as opening it would be.
  if (exists && access(target->c_str(), W_OK) != 0) return std::nullopt;

  const std::string directory = directory_of(*target);
  const auto slash = target->rfind('/');
  const std::string name = slash == std::string::npos ? *target : target->substr(slash + 1);
  std::string pattern = directory + "/." + name + ".XXXXXX";
  const int fd = mkstemp(pattern.data());
  if (fd < 0) return std::nullopt;
  if (exists) {
    (void)fchmod(fd, status.st_mode & 07777);
    (void)fchown(fd, status.st_uid, status.st_gid);
  } else {
    (void)fchmod(fd, 0666 & ~current_umask());
  }
  file.stream_ = fdopen(fd, "wb");
  if (!file.stream_) {
    close(fd);
    unlink(pattern.c_str());
    return std::nullopt;
  }
  file.temporary_ = pattern;
  return file;
}

SafeOutputFile::SafeOutputFile(SafeOutputFile&& other) noexcept
    : stream_(other.stream_), target_(std::move(other.target_)), temporary_(std::move(other.temporary_)) {
  other.stream_ = nullptr;
  other.temporary_.clear();
}

SafeOutputFile::~SafeOutputFile() { discard(); }

void SafeOutputFile::discard() {
  if (stream_) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
  if (!temporary_.empty()) {
    unlink(temporary_.c_str());
    temporary_.clear();
  }
}

bool SafeOutputFile::commit() {
  if (!stream_) return false;
  // No fsync: a rename over the old file is ordered after the new data by
  // the usual Linux file systems, and syncing would multiply the time a
  // large save takes.
  bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_);
  const bool closed = std::fclose(stream_) == 0;
  stream_ = nullptr;
  ok = ok && closed;
  if (ok && !temporary_.empty()) ok = std::rename(temporary_.c_str(), target_.c_str()) == 0;
  if (!ok) {
    discard();
    return false;
  }
  temporary_.clear();
  return true;
}

}  // namespace refloom
