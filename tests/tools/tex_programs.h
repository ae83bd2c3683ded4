#pragma once

// Running the real latex and bibtex from the tests: whether they are there,
// and the quoting sh -c needs for a path.

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/run_command.h"

namespace refloom::testing {

inline bool have_program(const std::string& name) {
  return run_command("/bin/sh", {"-c", "command -v " + name}).exit_status == 0;
}

inline std::string shell_quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out.append("'\\''");
    } else {
      out.push_back(c);
    }
  }
  return out + "'";
}

// For SetUp: fails on CI without the programs (scripts/setup-deps.sh
// installs them there), skips elsewhere.
#define REFLOOM_NEED_TEX(...)                                                                   \
  do {                                                                                          \
    for (const char* program : {__VA_ARGS__}) {                                                 \
      if (::refloom::testing::have_program(program)) continue;                                  \
      if (std::getenv("CI") != nullptr) FAIL() << program << " is missing on CI";               \
      GTEST_SKIP() << program << " is not installed (texlive-latex-base and texlive-binaries)"; \
    }                                                                                           \
  } while (false)

}  // namespace refloom::testing
