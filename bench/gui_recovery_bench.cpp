// Times how long a recovery copy holds the window: the main window with a
// loaded file listed, then the copy written in the process (as a plain
// save would) against the forked snapshot the program uses, whose write
// the window does not wait for; and an Add while a forked write runs (the
// pages the parent touches are copied then) against an Add without one.
// Needs a display. Medians of five.
//   gui_recovery_bench FILE.bib

#include <X11/Intrinsic.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "gui_bench.h"
#include "session/recovery.h"
#include "ui/app.h"

namespace {

using refloom::RecoveryCopy;
using refloom::bench::Clock;
using refloom::bench::seconds_since;
using refloom::bench::settle;

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// A change to copy: an added reference, shown as the window shows it.
void add_reference(std::ostream& messages) {
  refloom::ui::session().start_add();
  refloom::ui::session().set_edit_text(refloom::kTitle, "Added while benchmarking");
  refloom::ui::show(refloom::ui::session().add_from_edit_buffer(messages));
}

long resident_mb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6)) / 1024;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gui_recovery_bench FILE.bib\n");
    return 2;
  }
  refloom::bench::start_main_window(argv);
  std::ostringstream messages;
  refloom::ui::set_messages(messages);
  refloom::ui::show(refloom::ui::session().load(argv[1], refloom::FileType::kBibtex, messages));
  settle();

  char directory_template[] = "/tmp/refloom-recovery-bench-XXXXXX";
  const char* directory = mkdtemp(directory_template);
  if (directory == nullptr) return 1;
  std::vector<double> in_process;
  std::vector<double> fork_returns;
  std::vector<double> child_writes;
  std::vector<double> add_while_writing;
  std::vector<double> add_alone;
  {
    RecoveryCopy copy(std::string(directory) + "/refloom");
    for (int run = 0; run < 5; ++run) {
      add_reference(messages);
      settle();
      auto start = Clock::now();
      copy.update(refloom::ui::session(), RecoveryCopy::When::kNow, messages);
      in_process.push_back(seconds_since(start));

      add_reference(messages);
      settle();
      start = Clock::now();
      copy.update(refloom::ui::session(), RecoveryCopy::When::kInBackground, messages);
      fork_returns.push_back(seconds_since(start));
      // The window goes on meanwhile: an Add touches the list and the
      // database while the child still reads them.
      auto part = Clock::now();
      add_reference(messages);
      settle();
      add_while_writing.push_back(seconds_since(part));
      copy.wait(messages);
      child_writes.push_back(seconds_since(start));

      part = Clock::now();
      add_reference(messages);
      settle();
      add_alone.push_back(seconds_since(part));
    }
    copy.finish(refloom::ui::session(), messages);
  }
  const std::string cleanup = std::string("rm -rf ") + directory;
  if (std::system(cleanup.c_str()) != 0) return 1;

  std::printf(
      "references: %zu, resident memory %ld MB\n"
      "copy written in the process (the window waits): %.3f s\n"
      "forked snapshot, until the window goes on: %.4f s\n"
      "  the child's write, to its end: %.3f s\n"
      "an Add with the list shown, while the child writes: %.4f s; without a write: %.4f s\n",
      refloom::ui::database().ref_count(), resident_mb(), median(in_process), median(fork_returns),
      median(child_writes), median(add_while_writing), median(add_alone));
  return messages.str().empty() ? 0 : 1;
}
