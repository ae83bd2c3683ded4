#include "numeric/runtime_error.h"

#include <cstdio>
#include <cstdlib>

namespace refloom {

void runtime_error_exit(const char* message) {
  std::fflush(stdout);
  std::fputs("Numerical Recipes run-time error...\n", stderr);
  std::fprintf(stderr, "%s\n", message);
  std::fputs("...now exiting to system...\n", stderr);
  std::exit(1);
}

}  // namespace refloom
