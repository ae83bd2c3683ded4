#pragma once

#include <sys/resource.h>

#include <csignal>
#include <functional>
#include <string>

namespace refloom::testing {

// A limit on the size of files written, as a full disk would set one: writes
// beyond it fail (the signal it raises is ignored meanwhile). Inherited by
// programs started while it holds.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes);
  ~FileSizeLimit();
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  struct rlimit old_limit_;
  void (*old_handler_)(int);
};

// The user tests that need someone other than the file's owner run as.
inline constexpr unsigned kUnprivilegedUser = 65534;  // nobody
inline constexpr unsigned kUnprivilegedGroup = 65534;

// Whether this process may switch to the unprivileged user (it runs as root).
bool can_run_as_another_user();

// Runs `body` in a child process as the unprivileged user; its result is
// the child's exit status (-1 when the child did not exit normally).
int run_as_unprivileged_user(const std::function<int()>& body);

}  // namespace refloom::testing
