#pragma once

#include <string>
#include <vector>

namespace refloom::testing {

struct CommandResult {
  int exit_status = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs a program with arguments (no shell), capturing both output streams.
CommandResult run_command(const std::string& program, const std::vector<std::string>& args);

}  // namespace refloom::testing
