#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace refloom::testing {

struct CommandResult {
  int exit_status = -1;  // -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// Runs a program with arguments (no shell), capturing both output streams.
// With `input`, the program's standard input is a pipe that carries it.
CommandResult run_command(const std::string& program, const std::vector<std::string>& args,
                          std::optional<std::string_view> input = std::nullopt);

}  // namespace refloom::testing
