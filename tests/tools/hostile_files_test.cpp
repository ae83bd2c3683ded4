// Files made to hurt the readers: each is read by every format through
// refloom-convert, which must come to an end, without a crash and without
// running out of memory, within 1.5 times the file and 31 MB (15 MB, and the
// 16 MB a value may reach through macros) beyond what it takes for an empty
// file. The limit is the child's address space; under AddressSanitizer,
// whose shadow memory needs a large one, only the end and the exit are
// checked.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace refloom {
namespace {

const std::string kConvert = REFLOOM_CONVERT_PATH;
constexpr const char* kFormats[] = {"bibtex", "ovid", "spirs", "pubmed", "inspec", "bibtex-any", "nbib", "ris"};

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kLimited = false;
#else
constexpr bool kLimited = true;
#endif

constexpr const char* kHostile[] = {"bomb.bib",     "chain.bib", "braces.bib",   "fields.bib", "key.bib",
                                    "utf16odd.bib", "nul.bib",   "authors.nbib", "authors.ris"};

// Made one at a time and dropped before the next: the test's own memory
// stays small, and so does that of the children it forks.
std::string hostile_content(std::string_view name) {
  if (name == "bomb.bib") {
    // Each macro twice the one before: 16 bytes times 2^39 if expanded.
    std::string bomb = "@string{m0 = \"0123456789abcdef\"}\n";
    for (int k = 1; k < 40; ++k) {
      bomb.append("@string{m").append(std::to_string(k)).append(" = m").append(std::to_string(k - 1));
      bomb.append(" # m").append(std::to_string(k - 1)).append("}\n");
    }
    return bomb + "@misc{bomb, note = m39}\n";
  }
  if (name == "chain.bib") {
    // Each macro made of later ones, none defined yet.
    std::string chain;
    for (int k = 0; k < 40; ++k) {
      chain.append("@string{c").append(std::to_string(k)).append(" = c").append(std::to_string(k + 1));
      chain.append(" # c").append(std::to_string(k + 1)).append("}\n");
    }
    return chain + "@misc{chain, note = c0}\n";
  }
  if (name == "braces.bib") {
    return "@misc{deep, title = " + std::string(2000000, '{') + "x" + std::string(2000000, '}') + "}\n";
  }
  if (name == "fields.bib") {
    std::string fields = "@misc{many,\n";
    for (int i = 0; i < 1000000; ++i) fields.append("f").append(std::to_string(i)).append(" = {v},\n");
    return fields + "}\n";
  }
  if (name == "key.bib") return "@misc{" + std::string(10000000, 'k') + ", title = {t}}\n";
  if (name == "utf16odd.bib") {
    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("@misc{u, title = {x}}\n")) utf16.append({c, '\0'});
    return utf16 + "@";
  }
  if (name == "nul.bib") return std::string(1000000, '\0');
  const bool nbib = name == "authors.nbib";
  std::string record = nbib ? "PMID- 1\nTI  - Many authors\n" : "TY  - JOUR\nTI  - Many authors\n";
  for (int i = 0; i < 1000000; ++i) {
    record.append(nbib ? "FAU - Author" : "AU  - Author").append(std::to_string(i)).append(", A\n");
  }
  return nbib ? record : record + "ER  - \n";
}

struct Outcome {
  int exit_status = -1;  // -1: ended by a signal
  int signal = 0;
  double seconds = 0;
  long peak_kb = 0;
  std::string err;
};

// refloom-convert on one input, its output and messages to files, with an
// address-space limit (0: none) and two minutes to finish. Measured by
// /usr/bin/time, whose child is a fresh process: a child forked from this
// test would count this test's memory until its exec.
Outcome convert(const std::string& format, const std::string& input, const testing::TempDir& dir, rlim_t limit) {
  const std::string err = dir.file("err.txt");
  const std::string peak = dir.file("peak.txt");
  std::string script = limit > 0 ? "ulimit -v " + std::to_string(limit >> 10) + " && " : "";
  script += "exec /usr/bin/time -f %M -o \"$5\" \"$0\" -f \"$1\" \"$2\" -o \"$3\" 2>\"$4\"";
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    alarm(120);
    execl("/bin/sh", "sh", "-c", script.c_str(), kConvert.c_str(), format.c_str(), input.c_str(),
          dir.file("out.bib").c_str(), err.c_str(), peak.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  Outcome run;
  int status = 0;
  waitpid(child, &status, 0);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // The last line: time writes a note about a signal before it.
  const std::string peak_text = testing::read_file(peak);
  const std::size_t last = peak_text.find_last_of("0123456789");
  if (last != std::string::npos) {
    std::size_t first = last;
    while (first > 0 && peak_text[first - 1] >= '0' && peak_text[first - 1] <= '9') --first;
    run.peak_kb = std::stol(peak_text.substr(first, last - first + 1));
  }
  // time exits with the status of its child, or 128 and more for a signal.
  if (WIFEXITED(status) && WEXITSTATUS(status) < 128) {
    run.exit_status = WEXITSTATUS(status);
  } else {
    run.signal = WIFEXITED(status) ? WEXITSTATUS(status) - 128 : WTERMSIG(status);
  }
  run.err = testing::read_file(err);
  return run;
}

// What refloom-convert takes for an empty file: its program, its libraries
// and the allocator's first arena.
Outcome baseline(const testing::TempDir& dir) {
  const std::string empty = dir.file("empty.bib");
  testing::write_file(empty, "");
  return convert("bibtex", empty, dir, 0);
}

TEST(HostileFiles, EveryFormatReadsThemToTheEndInBoundedMemory) {
  testing::TempDir dir;
  const long base_kb = baseline(dir).peak_kb;
  std::printf("refloom-convert takes %ld KB for an empty file\n", base_kb);
  for (const char* name : kHostile) {
    const std::string path = dir.file(name);
    long size = 0;
    {
      const std::string content = hostile_content(name);
      testing::write_file(path, content);
      size = static_cast<long>(content.size());
    }
    // 1.5 times the file, 15 MB, and the 16 MB a value may reach through
    // macros, beyond the empty file's memory.
    const long bound_kb = base_kb + (size + size / 2) / 1024 + 31 * 1024;
    for (const char* format : kFormats) {
      SCOPED_TRACE(std::string(name) + " as " + format);
      // The address space may hold twice the bound before a run is stopped
      // as running away (allocators keep room beyond what they use).
      const Outcome run = convert(format, path, dir, kLimited ? static_cast<rlim_t>(2 * bound_kb) << 10 : 0);
      EXPECT_EQ(run.signal, 0) << run.err.substr(0, 2000);
      EXPECT_EQ(run.exit_status, 0) << run.err.substr(0, 2000);
      EXPECT_EQ(run.err.find("Not enough memory"), std::string::npos) << run.err.substr(0, 2000);
      if (kLimited) {
        EXPECT_LE(run.peak_kb, bound_kb);
      }
      std::printf("%-14s %-10s %6.2f s %7ld KB (bound %ld KB)\n", name, format, run.seconds, run.peak_kb, bound_kb);
    }
  }
}

// What the readers say about them: the macros that would grow without end
// are stopped with the line where they are met.
TEST(HostileFiles, GrowingMacrosAreStoppedAndNamed) {
  testing::TempDir dir;
  const std::string path = dir.file("bomb.bib");
  testing::write_file(path, hostile_content("bomb.bib"));
  const Outcome run = convert("bibtex-any", path, dir, 0);
  EXPECT_EQ(run.exit_status, 0);
  EXPECT_NE(run.err.find("BibTeX file corrupted in line 20 (@string): macro m18 in line 20 makes the file's macros "
                         "expand to more than 16777455 bytes, going on with the next entry \n"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("unknown macro in line 21: m19, read as its name \n"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace refloom
