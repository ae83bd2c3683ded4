// Generates BibTeX files for the sort and long-line benchmarks:
//   gen_orders sorted|random|adversary N   N minimal entries, keys 1..N in
//                                           that order
//   gen_orders longline MEGABYTES           one entry whose abstract is one
//                                           line of that many megabytes
//   gen_orders pubmedline MEGABYTES         one PubMed record whose abstract
//                                           line is that long (cut to 2,999
//                                           characters on import)
// The adversary order is McIlroy's killer adversary run against the plain
// median-of-three quicksort of the numeric library, which is the order that
// drove it quadratic.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "killer_adversary.h"
#include "numeric/sort.h"

namespace {

std::vector<std::uint64_t> order(std::string_view kind, std::size_t n) {
  std::vector<std::uint64_t> values(n);
  for (std::size_t i = 0; i < n; ++i) values[i] = i;
  if (kind == "random") {
    std::mt19937_64 rng(42);
    std::shuffle(values.begin(), values.end(), rng);
  } else if (kind == "adversary") {
    refloom::bench::KillerAdversary adversary(n);
    auto items = adversary.items();
    refloom::detail::sort_with_stack(n, items.data(), refloom::NSTACK, std::numeric_limits<long>::max());
    values = adversary.input_order();
  }
  return values;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: gen_orders sorted|random|adversary N | longline|pubmedline MEGABYTES\n");
    return 2;
  }
  const std::string_view kind = argv[1];
  const std::size_t n = std::strtoull(argv[2], nullptr, 10);
  if (kind == "longline" || kind == "pubmedline") {
    const bool pubmed = kind == "pubmedline";
    std::string text = pubmed ? "UI  - 1\nTI  - A record with one long line\nAB  - " : "@article{1,\n  abstract = {";
    const std::string words = "lorem ipsum {dolor} sit amet, \\\"{u}ber consectetur ";
    const std::size_t size = n << 20;
    std::string line;
    line.reserve(size);
    while (line.size() + words.size() < size) line += words;
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputs(pubmed ? "\nSO  - J Biol Chem 1995;270(9):4563-9\n" : "},\n  title = {One long line},\n}\n", stdout);
    return 0;
  }
  std::string out;
  for (std::uint64_t key : order(kind, n)) {
    out += "@misc{" + std::to_string(key + 1) + ",\n  title = {T},\n}\n";
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
