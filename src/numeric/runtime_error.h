#pragma once

namespace refloom {

// The numeric library's one way out: prints the three-line report on
// standard error and ends the process with status 1.
[[noreturn]] void runtime_error_exit(const char* message);

}  // namespace refloom
