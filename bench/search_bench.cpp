// Times the searches on a large database: an all-fields search over every
// listed reference, OR with half the database listed, and a field-by-field
// AND; each result's computation apart from refilling the list with it.
// Needs a display for the list.
//   search_bench FILE.bib

#include <X11/Intrinsic.h>

#include <chrono>
#include <cstdio>
#include <sstream>

#include "core/search.h"
#include "gui_bench.h"
#include "import/load.h"
#include "ui/app.h"
#include "ui/reference_list.h"

namespace {

using refloom::bench::Clock;
using refloom::bench::seconds_since;
using refloom::bench::settle;

void report(const char* what, const std::vector<std::size_t>& listed,
            const std::function<std::vector<std::size_t>(const std::vector<std::size_t>&)>& search) {
  refloom::ui::show(refloom::ui::session().list(listed));
  settle();
  // Best of three for the computation; the refill once.
  double best = 1e9;
  std::vector<std::size_t> result;
  for (int run = 0; run < 3; ++run) {
    const auto start = Clock::now();
    result = search(refloom::ui::session().listed_references().indices());
    best = std::min(best, seconds_since(start));
  }
  const auto start = Clock::now();
  refloom::ui::show(refloom::ui::session().list(result));
  settle();
  std::printf("%-48s %8zu listed -> %8zu: search %.3f s, refill %.3f s\n", what, listed.size(), result.size(), best,
              seconds_since(start));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: search_bench FILE.bib\n");
    return 2;
  }
  refloom::bench::start_main_window(argv);
  std::ostringstream messages;
  refloom::ui::session().load(argv[1], refloom::FileType::kBibtex, messages);
  const refloom::ReferenceDatabase& db = refloom::ui::database();
  const std::size_t n = db.ref_count();
  std::vector<std::size_t> all(n);
  std::vector<std::size_t> half;
  for (std::size_t i = 0; i < n; ++i) {
    all[i] = i;
    if (i % 2 == 0) half.push_back(i);
  }
  std::printf("references: %zu\n", n);

  for (const char* text : {"smith", "bayesian inference", "zzzz-not-there"}) {
    const refloom::TextPattern pattern(text, true);
    const auto match = [&pattern](const refloom::Reference& r) { return refloom::all_fields_match(r, pattern); };
    std::string label = std::string("all fields AND \"") + text + "\" (folded)";
    report(label.c_str(), all, [&](const std::vector<std::size_t>& listed) {
      return refloom::combine_search(refloom::SearchMode::kAnd, db, listed, match);
    });
    label = std::string("all fields OR \"") + text + "\" (folded)";
    report(label.c_str(), half, [&](const std::vector<std::size_t>& listed) {
      return refloom::combine_search(refloom::SearchMode::kOr, db, listed, match);
    });
  }
  refloom::EditBuffer criteria;
  criteria.text(refloom::kAuthor) = "m{\\\"u}ller";
  criteria.text(refloom::kYear) = "19";
  const refloom::FormCriteria form(criteria, true);
  report("form AND author, year", all, [&](const std::vector<std::size_t>& listed) {
    return refloom::combine_search(refloom::SearchMode::kAnd, db, listed,
                                   [&form](const refloom::Reference& r) { return form.matches(r); });
  });
  report("form OR author, year", half, [&](const std::vector<std::size_t>& listed) {
    return refloom::combine_search(refloom::SearchMode::kOr, db, listed,
                                   [&form](const refloom::Reference& r) { return form.matches(r); });
  });
  return 0;
}
