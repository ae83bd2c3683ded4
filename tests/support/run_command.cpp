#include "support/run_command.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <stdexcept>

#include "support/temp_dir.h"

extern char** environ;

namespace refloom::testing {

CommandResult run_command(const std::string& program, const std::vector<std::string>& args,
                          std::optional<std::string_view> input) {
  TempDir dir;
  const std::string out_path = dir.file("stdout");
  const std::string err_path = dir.file("stderr");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  int pipe_ends[2] = {-1, -1};
  if (input) {
    if (pipe(pipe_ends) != 0) throw std::runtime_error("cannot make a pipe");
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[0], 0);
    posix_spawn_file_actions_addclose(&actions, pipe_ends[0]);
    posix_spawn_file_actions_addclose(&actions, pipe_ends[1]);
  }
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (input) {
    close(pipe_ends[0]);
    // A program that stops reading early must not kill the test.
    const auto previous = std::signal(SIGPIPE, SIG_IGN);
    for (std::size_t done = 0; spawned == 0 && done < input->size();) {
      const ssize_t n = write(pipe_ends[1], input->data() + done, input->size() - done);
      if (n <= 0) break;
      done += static_cast<std::size_t>(n);
    }
    close(pipe_ends[1]);
    std::signal(SIGPIPE, previous);
  }
  if (spawned != 0) throw std::runtime_error("cannot start " + program);
  int status = 0;
  waitpid(pid, &status, 0);
  CommandResult result;
  result.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  result.out = read_file(out_path);
  result.err = read_file(err_path);
  return result;
}

}  // namespace refloom::testing
