#include "support/file_conditions.h"

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

namespace refloom::testing {

FileSizeLimit::FileSizeLimit(rlim_t bytes) {
  getrlimit(RLIMIT_FSIZE, &old_limit_);
  old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit limit = old_limit_;
  limit.rlim_cur = bytes;
  setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
  setrlimit(RLIMIT_FSIZE, &old_limit_);
  std::signal(SIGXFSZ, old_handler_);
}

bool can_run_as_another_user() { return geteuid() == 0; }

int run_as_unprivileged_user(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(kUnprivilegedGroup) != 0 || setuid(kUnprivilegedUser) != 0) _exit(120);
    _exit(body());
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace refloom::testing
