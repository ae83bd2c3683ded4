// Writes a realistic BibTeX file of N entries to standard output: numeric
// keys, 6 to 12 fields, multi-line abstracts, TeX accents and braces.
//   gen_bibtex N [SEED] [FIRST_KEY]

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> kSurnames = {
    "M{\\\"u}ller",   "Smith", "Garc{\\'\\i}a", "Nguyen", "Schr{\\\"o}dinger", "Dubois", "Kowalski",  "Tanaka",
    "{\\O}stergaard", "Rossi", "Johnson",       "Brown",  "Fran{\\c{c}}ois",   "Lee",    "Andersson", "Nakamura"};
const std::vector<std::string> kWords = {
    "analysis",  "of",    "the",         "{DNA}",           "protein",   "binding",         "in",      "vivo",
    "model",     "for",   "efficient",   "{B}ayesian",      "inference", "under",           "noise",   "quantum",
    "transport", "with",  "r{\\'e}gime", "$\\alpha$-helix", "cells",     "large",           "scale",   "study",
    "clinical",  "trial", "results",     "network",         "dynamics",  "{M}onte {C}arlo", "methods", "na{\\\"\\i}ve",
    "approach"};
const std::vector<std::string> kJournals = {
    "J. Biol. Chem.",    "Nature", "Phys. Rev. Lett.", "Proc. Natl. Acad. Sci. {USA}",
    "IEEE Trans. Magn.", "Lancet", "Ann. Statist.",    "Z. Phys."};
const std::vector<std::string> kTypes = {"article",       "article",    "article", "book",
                                         "inproceedings", "techreport", "misc"};

std::mt19937 rng;

int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

std::string words(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    if (i) text += ' ';
    text += kWords[static_cast<std::size_t>(pick(static_cast<int>(kWords.size())))];
  }
  return text;
}

std::string authors() {
  std::string text;
  const int count = 1 + pick(4);
  for (int i = 0; i < count; ++i) {
    if (i) text += " and ";
    text += kSurnames[static_cast<std::size_t>(pick(static_cast<int>(kSurnames.size())))];
    text += ", ";
    text += static_cast<char>('A' + pick(26));
    text += ".";
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: gen_bibtex N [SEED] [FIRST_KEY]\n");
    return 2;
  }
  const long n = std::atol(argv[1]);
  rng.seed(argc > 2 ? static_cast<unsigned>(std::atol(argv[2])) : 1U);
  const long first_key = argc > 3 ? std::atol(argv[3]) : 1;
  std::string out;
  for (long i = 0; i < n; ++i) {
    out.clear();
    out += "@" + kTypes[static_cast<std::size_t>(pick(static_cast<int>(kTypes.size())))] + "{" +
           std::to_string(first_key + i) + ",\n";
    // Always: author, title, year, abstract; then 2 to 8 further fields.
    out += "author     = \"" + authors() + "\",\n";
    out += "title      = {" + words(6 + pick(10)) + "},\n";
    out += "journal    = \"" + kJournals[static_cast<std::size_t>(pick(static_cast<int>(kJournals.size())))] + "\",\n";
    out += "year       = \"" + std::to_string(1950 + pick(75)) + "\",\n";
    out += "abstract   = \"";
    const int lines = 3 + pick(6);
    for (int l = 0; l < lines; ++l) {
      if (l) out += "\n";
      out += words(9 + pick(4));
    }
    out += "\",\n";
    const int extra = 2 + pick(7);
    static const char* const kExtra[] = {"volume",    "number",  "pages", "month",
                                         "publisher", "keyword", "note",  "address"};
    for (int e = 0; e < extra; ++e) {
      const std::string name = kExtra[e];
      std::string value;
      if (name == "volume" || name == "number")
        value = std::to_string(1 + pick(300));
      else if (name == "pages")
        value = std::to_string(1 + pick(900)) + "--" + std::to_string(901 + pick(99));
      else if (name == "month")
        value = "Mar";
      else
        value = words(2 + pick(5));
      out += name + std::string(11 - name.size(), ' ') + "= \"" + value + "\",\n";
    }
    out += "}\n\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
  }
  return 0;
}
