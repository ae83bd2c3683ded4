// The cost of showing messages on screen: loads a BibTeX file whose every
// entry writes messages, with the messages going to a file through the
// program's buffered stream alone and through the window's collector in
// front of it, and the same entries without the messages. Medians of nine
// runs, taken in turn so that a busy machine slows all three alike.
//   message_bench KNOWN.bib UNKNOWN.bib MESSAGES_FILE

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "core/message_stream.h"
#include "core/message_summary.h"
#include "core/reference_database.h"
#include "import/load.h"

namespace {

using Clock = std::chrono::steady_clock;

double median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// Seconds for one load, the messages written to `messages_path`.
double timed_load(const std::string& path, const std::string& messages_path, bool collect, std::size_t& shown) {
  std::FILE* file = std::fopen(messages_path.c_str(), "w");
  if (file == nullptr) return -1;
  refloom::ReferenceDatabase database;
  const auto start = Clock::now();
  {
    refloom::MessageStream stream(file);
    if (collect) {
      refloom::MessageCollector collector(stream);
      refloom::load_file(database, path, refloom::FileType::kBibtex, collector);
      collector.flush();
      shown = collector.summary().message_count();
    } else {
      refloom::load_file(database, path, refloom::FileType::kBibtex, stream);
      stream.flush();
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::fclose(file);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: message_bench KNOWN.bib UNKNOWN.bib MESSAGES_FILE\n");
    return 2;
  }
  std::vector<double> known;
  std::vector<double> stream_only;
  std::vector<double> collected;
  std::size_t count = 0;
  for (int run = 0; run < 9; ++run) {
    known.push_back(timed_load(argv[1], argv[3], false, count));
    stream_only.push_back(timed_load(argv[2], argv[3], false, count));
    collected.push_back(timed_load(argv[2], argv[3], true, count));
  }
  const double base = median(known);
  const double plain = median(stream_only);
  const double with_collector = median(collected);
  std::printf("  without messages: %.3f s\n", base);
  std::printf("  %zu messages to the stream: %.3f s (%.2fx)\n", count, plain, plain / base);
  std::printf("  the same through the window's collector: %.3f s (%.2fx; %.2fx the stream alone)\n", with_collector,
              with_collector / base, with_collector / plain);
  return 0;
}
