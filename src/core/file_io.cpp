#include "core/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <random>
#include <vector>

namespace refloom {

namespace {

// What one reading stream met, reported when it is closed.
struct ReadingState {
  int fd;
  std::string path;
  std::ostream* messages;
  bool utf16_allowed;
  bool first_read = true;
  bool keep_nul = false;
  bool dropped_nul = false;
  bool failed = false;
};

// UTF-16 shows itself at the start of the file: a byte order mark, or a NUL
// beside the first character (which no 8-bit text has), on a first line of
// at least two bytes.
bool looks_like_utf16(const char* bytes, std::size_t size) {
  if (size < 2 || bytes[0] == '\n' || bytes[1] == '\n') return false;
  const auto b0 = static_cast<unsigned char>(bytes[0]);
  const auto b1 = static_cast<unsigned char>(bytes[1]);
  if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) return true;
  return (b0 == 0) != (b1 == 0);
}

ssize_t read_dropping_nul(void* cookie, char* buffer, std::size_t size) {
  auto* state = static_cast<ReadingState*>(cookie);
  if (state->failed) return 0;  // what followed the error is not read
  for (;;) {
    const ssize_t got = ::read(state->fd, buffer, size);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      state->failed = true;
      return -1;
    }
    if (got == 0) return 0;
    if (state->first_read) {
      state->first_read = false;
      state->keep_nul = state->utf16_allowed && looks_like_utf16(buffer, static_cast<std::size_t>(got));
    }
    if (state->keep_nul) return got;
    char* end = buffer + got;
    char* out = static_cast<char*>(std::memchr(buffer, '\0', static_cast<std::size_t>(got)));
    if (out == nullptr) return got;
    state->dropped_nul = true;
    for (const char* in = out + 1; in < end; ++in) {
      if (*in != '\0') *out++ = *in;
    }
    // A block of nothing but NUL bytes is not the end of the file.
    if (out != buffer) return out - buffer;
  }
}

int close_reading(void* cookie) {
  auto* state = static_cast<ReadingState*>(cookie);
  if (state->dropped_nul) *state->messages << "NUL bytes dropped from file: " << state->path << "\n";
  if (state->failed) *state->messages << "Cannot read file: " << state->path << "\n";
  const int result = ::close(state->fd);
  delete state;
  return result;
}

}  // namespace

FilePtr reading_stream(int fd, const std::string& path, std::ostream& messages, TextEncodings encodings) {
  auto* state = new ReadingState{fd, path, &messages, encodings == TextEncodings::kEightBitOrUtf16};
  cookie_io_functions_t functions{};
  functions.read = read_dropping_nul;
  functions.close = close_reading;
  FilePtr stream(fopencookie(state, "r", functions));
  if (!stream) {
    ::close(fd);
    delete state;
  }
  return stream;
}

FilePtr open_for_reading(const std::string& path, std::ostream& messages, TextEncodings encodings) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return nullptr;
  struct stat status;
  if (fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return reading_stream(fd, path, messages, encodings);
}

bool read_failed(std::FILE* stream) { return std::ferror(stream) != 0; }

SaveTarget save_target(const std::string& path) {
  struct stat status;
  if (stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return SaveTarget::kDirectory;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return SaveTarget::kAbsent;
  ::close(fd);
  return SaveTarget::kExistingFile;
}

namespace {

std::string directory_of(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string name_of(const std::string& path) {
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
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

// A new file in the directory with a short name (".rf" and six random
// characters), so that it fits wherever the target's name fits.
int make_temporary(int directory_fd, mode_t mode, std::string& name) {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  static std::mt19937_64 random{std::random_device{}() ^ static_cast<std::uint64_t>(getpid())};
  for (int attempt = 0; attempt < 100; ++attempt) {
    name = ".rf";
    for (int i = 0; i < 6; ++i) name.push_back(kChars[random() % (sizeof kChars - 1)]);
    const int fd = openat(directory_fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// ACLs are extended attributes too; a new inode would lose them. Unknown
// counts as present, which only means the file is rewritten in place.
bool has_extended_attributes(int fd) {
  const ssize_t size = flistxattr(fd, nullptr, 0);
  if (size < 0) return errno != ENOTSUP;
  return size > 0;
}

// In a sticky directory only the owner of the file or of the directory
// may rename over a file.
bool may_replace_entry(const struct stat& directory, const struct stat& file) {
  if ((directory.st_mode & S_ISVTX) == 0) return true;
  const uid_t user = geteuid();
  return user == 0 || user == file.st_uid || user == directory.st_uid;
}

bool write_all(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

std::optional<SafeOutputFile> SafeOutputFile::open(const std::string& path) {
  if (path.empty()) return std::nullopt;
  SafeOutputFile file;
  struct stat status;
  if (stat(path.c_str(), &status) == 0) {
    if (S_ISDIR(status.st_mode)) return std::nullopt;
    if (!S_ISREG(status.st_mode)) {
      // A pipe, a terminal or a device (also reached through a link such
      // as /dev/stdout) is written as it is.
      file.stream_ = std::fopen(path.c_str(), "wb");
      if (!file.stream_) return std::nullopt;
      return file;
    }
  } else if (errno != ENOENT) {
    return std::nullopt;
  }

  const auto target = resolve_links(path);
  if (!target) return std::nullopt;
  file.directory_fd_ = ::open(directory_of(*target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (file.directory_fd_ < 0) return std::nullopt;
  file.target_name_ = name_of(*target);
  const char* name = file.target_name_.c_str();

  if (fstatat(file.directory_fd_, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT) return std::nullopt;
    // A new file: made as opening it would make it (the umask and the
    // directory's default ACL apply), under the temporary name.
    const int fd = make_temporary(file.directory_fd_, 0666, file.temporary_);
    if (fd < 0) return std::nullopt;
    file.mode_ = Mode::kRename;
    file.stream_ = fdopen(fd, "wb");
    if (!file.stream_) {
      ::close(fd);
      return std::nullopt;  // the destructor removes the temporary
    }
    return file;
  }
  if (!S_ISREG(status.st_mode)) return std::nullopt;

  // The target must be writable, exactly as opening it would require.
  const int target_fd = openat(file.directory_fd_, name, O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (target_fd < 0) return std::nullopt;

  struct stat directory_status;
  const bool renamable = status.st_nlink == 1 && !has_extended_attributes(target_fd) &&
                         fstat(file.directory_fd_, &directory_status) == 0 &&
                         may_replace_entry(directory_status, status);
  if (renamable) {
    const int fd = make_temporary(file.directory_fd_, 0600, file.temporary_);
    if (fd >= 0) {
      // The owner first: changing it clears set-user-ID bits that the
      // permission bits then put back.
      if (fchown(fd, status.st_uid, status.st_gid) == 0 && fchmod(fd, status.st_mode & 07777) == 0) {
        file.stream_ = fdopen(fd, "wb");
        if (file.stream_) {
          ::close(target_fd);
          file.mode_ = Mode::kRename;
          return file;
        }
      }
      ::close(fd);
      unlinkat(file.directory_fd_, file.temporary_.c_str(), 0);
    }
    file.temporary_.clear();
  }

  // In place: a complete copy of the old content first. Only with the copy
  // taken does the file count as being rewritten (and get put back).
  file.restore_fd_ = target_fd;
  if (status.st_size > 0 && !file.keep_old_content()) return std::nullopt;
  file.mode_ = Mode::kInPlace;
  const int write_fd = dup(target_fd);
  if (write_fd < 0) return std::nullopt;
  if (ftruncate(write_fd, 0) != 0 || !(file.stream_ = fdopen(write_fd, "wb"))) {
    ::close(write_fd);
    file.restore();
    return std::nullopt;
  }
  return file;
}

// Copies the target's content aside, into an unnamed temporary file or,
// when none can be written, into memory.
bool SafeOutputFile::keep_old_content() {
  const int old_fd = openat(directory_fd_, target_name_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (old_fd < 0) return false;
  std::vector<char> buffer(1 << 16);
  const auto copy = [&](auto&& store) {
    if (lseek(old_fd, 0, SEEK_SET) != 0) return false;
    for (;;) {
      const ssize_t got = ::read(old_fd, buffer.data(), buffer.size());
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) return false;
      if (got == 0) return true;
      if (!store(static_cast<std::size_t>(got))) return false;
    }
  };
  backup_.reset(std::tmpfile());
  bool kept = backup_ &&
              copy([&](std::size_t size) { return std::fwrite(buffer.data(), 1, size, backup_.get()) == size; }) &&
              std::fflush(backup_.get()) == 0;
  if (!kept) {
    backup_.reset();
    backup_memory_.clear();
    kept = copy([&](std::size_t size) {
      backup_memory_.append(buffer.data(), size);
      return true;
    });
  }
  ::close(old_fd);
  return kept;
}

// The rename was refused although the directory allowed it (the target is
// a mount point of its own, for one): the new content goes onto the
// target's inode instead, the old content kept until it is there.
bool SafeOutputFile::write_over_target() {
  const int target_fd = openat(directory_fd_, target_name_.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
  if (target_fd < 0) return false;
  restore_fd_ = target_fd;
  if (!keep_old_content()) return false;
  mode_ = Mode::kInPlace;
  const int source = openat(directory_fd_, temporary_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (source < 0) return false;
  bool ok = ftruncate(target_fd, 0) == 0 && lseek(target_fd, 0, SEEK_SET) == 0;
  std::vector<char> buffer(1 << 16);
  while (ok) {
    const ssize_t got = ::read(source, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    ok = write_all(target_fd, buffer.data(), static_cast<std::size_t>(got));
  }
  ::close(source);
  ok = ok && fsync(target_fd) == 0;
  if (ok) {
    backup_.reset();
    backup_memory_.clear();
    mode_ = Mode::kDirect;  // nothing left to put back
  }
  return ok;  // on failure, discard() puts the old content back
}

SafeOutputFile::SafeOutputFile(SafeOutputFile&& other) noexcept
    : mode_(other.mode_),
      stream_(other.stream_),
      directory_fd_(other.directory_fd_),
      temporary_(std::move(other.temporary_)),
      target_name_(std::move(other.target_name_)),
      restore_fd_(other.restore_fd_),
      backup_(std::move(other.backup_)),
      backup_memory_(std::move(other.backup_memory_)) {
  other.mode_ = Mode::kDirect;
  other.stream_ = nullptr;
  other.directory_fd_ = -1;
  other.temporary_.clear();
  other.restore_fd_ = -1;
}

SafeOutputFile::~SafeOutputFile() { discard(); }

// Puts the old content back into the target that was being rewritten.
bool SafeOutputFile::restore() {
  if (restore_fd_ < 0) return true;
  if (ftruncate(restore_fd_, 0) != 0 || lseek(restore_fd_, 0, SEEK_SET) != 0) return false;
  if (!backup_) return write_all(restore_fd_, backup_memory_.data(), backup_memory_.size());
  std::FILE* backup = backup_.get();
  if (std::fseek(backup, 0, SEEK_SET) != 0) return false;
  // On the stack: putting the old content back must work with no memory
  // left, as after a save that ran out of it.
  char buffer[1 << 14];
  for (;;) {
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, backup);
    if (got == 0) return !std::ferror(backup);
    if (!write_all(restore_fd_, buffer, got)) return false;
  }
}

// Drops what was written and leaves the old content as it was.
void SafeOutputFile::discard() {
  if (stream_) {
    std::fclose(stream_);
    stream_ = nullptr;
  }
  if (mode_ == Mode::kInPlace) restore();
  if (!temporary_.empty()) {
    unlinkat(directory_fd_, temporary_.c_str(), 0);
    temporary_.clear();
  }
  if (restore_fd_ >= 0) ::close(restore_fd_);
  restore_fd_ = -1;
  if (directory_fd_ >= 0) ::close(directory_fd_);
  directory_fd_ = -1;
  backup_.reset();
  backup_memory_.clear();
  mode_ = Mode::kDirect;
}

bool SafeOutputFile::commit() {
  if (!stream_) return false;
  bool ok = std::fflush(stream_) == 0 && !std::ferror(stream_);
  if (ok && mode_ == Mode::kInPlace) {
    // The old content is dropped once this returns: make sure the disk
    // took the new one (delayed allocation reports a full disk only here).
    ok = fsync(fileno(stream_)) == 0;
  }
  // No fsync before a rename: the usual Linux file systems order a rename
  // over an old file after its new data, and syncing would multiply the
  // time a large save takes.
  const bool closed = std::fclose(stream_) == 0;
  stream_ = nullptr;
  ok = ok && closed;
  if (ok && mode_ == Mode::kRename) {
    if (renameat(directory_fd_, temporary_.c_str(), directory_fd_, target_name_.c_str()) == 0) {
      temporary_.clear();
    } else {
      ok = errno != ENOENT && write_over_target();
    }
  }
  if (ok && mode_ == Mode::kInPlace) {
    backup_.reset();
    backup_memory_.clear();
    mode_ = Mode::kDirect;  // nothing left to put back
  }
  discard();
  return ok;
}

}  // namespace refloom
