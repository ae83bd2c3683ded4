#include "session/recovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string_view>

#include "core/bibtex_writer.h"

namespace refloom {

namespace {

constexpr std::string_view kPrefix = "recovery-";
constexpr std::string_view kCopySuffix = ".bib";
constexpr std::string_view kLockSuffix = ".lock";

bool ends_with(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The lock that belongs to a copy: the same name, ".lock" for ".bib".
std::string lock_of(const std::string& copy) {
  return copy.substr(0, copy.size() - kCopySuffix.size()) + std::string(kLockSuffix);
}

// Whether a process holds the lock: it runs. A lock file that is missing
// or can be locked belongs to none.
bool held_by_a_process(const std::string& lock_path) {
  const int fd = ::open(lock_path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
  if (fd < 0) return false;
  const bool held = flock(fd, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
  ::close(fd);
  return held;
}

// Makes the directory and its missing parents (mode 0700, as the XDG base
// directories want them) and makes sure only its owner, this user, can
// enter it: bibliographies can be private.
bool prepare_directory(const std::string& directory, std::string& problem) {
  for (std::size_t slash = directory.find('/', 1);; slash = directory.find('/', slash + 1)) {
    const std::string part = directory.substr(0, slash);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      problem = std::strerror(errno);
      return false;
    }
    if (slash == std::string::npos) break;
  }
  struct stat status;
  if (::stat(directory.c_str(), &status) != 0) {
    problem = std::strerror(errno);
    return false;
  }
  if (!S_ISDIR(status.st_mode)) {
    problem = "not a directory";
    return false;
  }
  if (status.st_uid != ::geteuid()) {
    problem = "owned by another user";
    return false;
  }
  if ((status.st_mode & 07777) != 0700 && ::chmod(directory.c_str(), 0700) != 0) {
    problem = std::strerror(errno);
    return false;
  }
  return true;
}

// Writes a copy readable by its owner alone: the umask makes a new file
// 0600 from its start, and a save keeps the mode of the file it replaces.
// Memory that runs out midway fails the copy, never the program: the
// temporary file goes, and the copy on disk stays as it was.
bool write_copy(const ReferenceDatabase& database, const std::string& path) {
  const mode_t old_mask = ::umask(077);
  bool ok = false;
  try {
    // What a save says about keys and braces is for saves the user asked for.
    std::ostream discard(nullptr);
    ok = write_bibtex(database, path, discard) == WriteResult::kDone;
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  ::umask(old_mask);
  return ok;
}

void say_cannot_write(const std::string& path, std::ostream& messages) {
  messages << "Cannot write the recovery copy of unsaved work: " << path << "\n";
}

}  // namespace

std::string recovery_directory() {
  const char* state = std::getenv("XDG_STATE_HOME");
  // The XDG base directories take absolute paths only.
  if (state != nullptr && state[0] == '/') {
    std::string directory = state;
    while (!directory.empty() && directory.back() == '/') directory.pop_back();
    return directory + "/refloom";
  }
  const char* home = std::getenv("HOME");
  std::string home_directory = home != nullptr ? home : "";
  if (home_directory.empty()) {
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr) {
      home_directory = entry->pw_dir;
    }
  }
  if (home_directory.empty() || home_directory[0] != '/') return {};
  while (!home_directory.empty() && home_directory.back() == '/') home_directory.pop_back();
  return home_directory + "/.local/state/refloom";
}

std::vector<LeftCopy> left_copies(const std::string& directory) {
  std::vector<LeftCopy> copies;
  DIR* entries = ::opendir(directory.c_str());
  if (entries == nullptr) return copies;
  while (const dirent* entry = ::readdir(entries)) {
    const std::string_view name = entry->d_name;
    if (!name.starts_with(kPrefix) || !ends_with(name, kCopySuffix)) continue;
    const std::string path = directory + "/" + std::string(name);
    struct stat status;
    if (::lstat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) continue;
    if (held_by_a_process(lock_of(path))) continue;
    copies.push_back({path, status.st_mtime});
  }
  ::closedir(entries);
  std::sort(copies.begin(), copies.end(), [](const LeftCopy& a, const LeftCopy& b) {
    return a.written != b.written ? a.written < b.written : a.path < b.path;
  });
  return copies;
}

std::string left_copies_announcement(const std::vector<LeftCopy>& copies) {
  std::string text;
  for (const LeftCopy& copy : copies) {
    char when[32] = "";
    std::tm local{};
    if (::localtime_r(&copy.written, &local) != nullptr) std::strftime(when, sizeof when, "%Y-%m-%d %H:%M", &local);
    text += "Recovery copy of unsaved work from an earlier run (";
    text += when;
    text += "): " + copy.path + "\n";
  }
  if (!copies.empty()) {
    text +=
        "Load a recovery copy with File > Load and the format \"BibTeX (any style)\"; each stays until you "
        "delete it.\n";
  }
  return text;
}

RecoveryCopy::RecoveryCopy(std::string directory) : directory_(std::move(directory)) {}

RecoveryCopy::~RecoveryCopy() {
  std::ostream discard(nullptr);
  wait(discard);
  release();
}

bool RecoveryCopy::wanted(const Session& session) {
  const ReferenceDatabase& database = session.database();
  return session.modified() && (!database.empty() || !database.blocks().empty());
}

bool RecoveryCopy::up_to_date(const Session& session) const {
  if (!wanted(session)) return !on_disk_changes_ && writer_ <= 0;
  if (writer_ > 0) return writer_changes_ == session.changes();
  return on_disk_changes_ == session.changes();
}

bool RecoveryCopy::claim(std::ostream& messages) {
  if (lock_fd_ >= 0) return true;
  std::string problem = "no home directory";
  if (directory_.empty() || !prepare_directory(directory_, problem)) {
    if (!failure_said_) {
      messages << "Cannot keep a recovery copy of unsaved work in " << (directory_.empty() ? "~" : directory_) << ": "
               << problem << "\n";
      failure_said_ = true;
    }
    return false;
  }
  const std::string process = std::to_string(::getpid());
  for (; next_number_ < 10000; ++next_number_) {
    std::string stem = directory_ + "/" + std::string(kPrefix) + process;
    // Appended, not added to a literal: GCC 12 at -O3 takes that for an
    // overlapping copy.
    if (next_number_ > 1) stem.append("-").append(std::to_string(next_number_));
    const std::string copy = stem + std::string(kCopySuffix);
    const std::string lock = stem + std::string(kLockSuffix);
    // A name an ended process left (its pid came round again) stays its own.
    struct stat status;
    if (::lstat(copy.c_str(), &status) == 0 || errno != ENOENT) continue;
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      break;
    }
    // A start that tidied up stale locks may have removed this one between
    // its making and its locking: then it guards nothing.
    struct stat held;
    struct stat named;
    if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &held) != 0 || ::stat(lock.c_str(), &named) != 0 ||
        held.st_dev != named.st_dev || held.st_ino != named.st_ino) {
      ::close(fd);
      continue;
    }
    lock_fd_ = fd;
    path_ = copy;
    lock_path_ = lock;
    remove_stale_locks();
    return true;
  }
  if (!failure_said_) {
    messages << "Cannot keep a recovery copy of unsaved work in " << directory_ << ": " << std::strerror(errno) << "\n";
    failure_said_ = true;
  }
  return false;
}

void RecoveryCopy::remove_stale_locks() const {
  DIR* entries = ::opendir(directory_.c_str());
  if (entries == nullptr) return;
  while (const dirent* entry = ::readdir(entries)) {
    const std::string_view name = entry->d_name;
    if (!name.starts_with(kPrefix) || !ends_with(name, kLockSuffix)) continue;
    const std::string lock = directory_ + "/" + std::string(name);
    if (lock == lock_path_) continue;
    const std::string copy = lock.substr(0, lock.size() - kLockSuffix.size()) + std::string(kCopySuffix);
    struct stat status;
    if (::lstat(copy.c_str(), &status) == 0) continue;  // it tells the copy's process has ended
    const int fd = ::open(lock.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY);
    if (fd < 0) continue;
    // Removed only while locked here, so never under a running process.
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) ::unlink(lock.c_str());
    ::close(fd);
  }
  ::closedir(entries);
}

void RecoveryCopy::release() {
  if (lock_fd_ < 0) return;
  // Removed while still locked: no other process can take it meanwhile.
  ::unlink(lock_path_.c_str());
  ::close(lock_fd_);
  lock_fd_ = -1;
  path_.clear();
  lock_path_.clear();
  on_disk_changes_.reset();
}

void RecoveryCopy::remove_copy() {
  if (!on_disk_changes_) return;
  if (::unlink(path_.c_str()) == 0 || errno == ENOENT) on_disk_changes_.reset();
}

void RecoveryCopy::written(bool ok, std::uint64_t changes, std::ostream& messages) {
  if (ok) {
    on_disk_changes_ = changes;
    failure_said_ = false;
    return;
  }
  if (!failure_said_) say_cannot_write(path_, messages);
  failure_said_ = true;
}

void RecoveryCopy::write_now(const Session& session, std::ostream& messages) {
  written(write_copy(session.database(), path_), session.changes(), messages);
}

void RecoveryCopy::update(const Session& session, When when, std::ostream& messages) {
  wait(messages);
  if (!wanted(session)) {
    remove_copy();
    return;
  }
  if (on_disk_changes_ == session.changes() || !claim(messages)) return;
  if (when == When::kNow) {
    write_now(session, messages);
    return;
  }
  const pid_t child = ::fork();
  if (child < 0) {
    write_now(session, messages);
    return;
  }
  if (child == 0) {
    // The child holds the database as it was at the fork. It finishes its
    // write whatever happens to the parent (which waits for it before its
    // own last copy), and leaves without the parent's exit handlers and
    // buffered output.
    ::signal(SIGTERM, SIG_IGN);
    ::signal(SIGHUP, SIG_IGN);
    ::signal(SIGINT, SIG_IGN);
    ::_exit(write_copy(session.database(), path_) ? 0 : 1);
  }
  writer_ = child;
  writer_changes_ = session.changes();
}

bool RecoveryCopy::writing(std::ostream& messages) {
  if (writer_ <= 0) return false;
  int status = 0;
  const pid_t ended = ::waitpid(writer_, &status, WNOHANG);
  if (ended == 0) return true;
  writer_ = -1;
  written(ended > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0, writer_changes_, messages);
  return false;
}

void RecoveryCopy::wait(std::ostream& messages) {
  if (writer_ <= 0) return;
  int status = 0;
  pid_t ended = 0;
  do {
    ended = ::waitpid(writer_, &status, 0);
  } while (ended < 0 && errno == EINTR);
  writer_ = -1;
  written(ended > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0, writer_changes_, messages);
}

void RecoveryCopy::keep_before_new(const Session& session, std::ostream& messages) {
  if (!wanted(session)) return;
  update(session, When::kNow, messages);
  if (!on_disk_changes_) return;  // nothing kept: the file (if any) goes on
  release();
  ++next_number_;
}

void RecoveryCopy::finish(const Session& session, std::ostream& messages) {
  update(session, When::kNow, messages);
  release();
}

}  // namespace refloom
