// Writes generated BibTeX files of N entries to standard output.
//   gen_bibtex_any any N [SEED]       today's style, as reference managers and
//                                     people write it: tab indentation, keys
//                                     such as smith2019deep, @string journal
//                                     macros, month macros, bare numbers,
//                                     # concatenation, field names in mixed
//                                     case, fields outside the 28 (doi, url,
//                                     issn), multi-line abstracts
//   gen_bibtex_any crlf N [SEED]      the same with CRLF line ends
//   gen_bibtex_any unknown N [SEED]   the BibTeX format's own style with three
//                                     unknown fields per entry (a message each)
//   gen_bibtex_any known N [SEED]     the same entries without those fields

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

const std::vector<std::string> kSurnames = {
    "M{\\\"u}ller",   "Smith", "Garc{\\'\\i}a", "Nguyen", "Schr{\\\"o}dinger", "Dubois", "Kowalski",  "Tanaka",
    "{\\O}stergaard", "Rossi", "Johnson",       "Brown",  "Fran{\\c{c}}ois",   "Lee",    "Andersson", "Nakamura"};
const std::vector<std::string> kKeyNames = {"muller",   "smith",  "garcia",     "nguyen",  "schrodinger", "dubois",
                                            "kowalski", "tanaka", "ostergaard", "rossi",   "johnson",     "brown",
                                            "francois", "lee",    "andersson",  "nakamura"};
const std::vector<std::string> kKeyWords = {"deep", "fast", "on", "a", "towards", "model", "quantum", "study"};
const std::vector<std::string> kWords = {
    "analysis",  "of",    "the",         "{DNA}",           "protein",   "binding",         "in",      "vivo",
    "model",     "for",   "efficient",   "{B}ayesian",      "inference", "under",           "noise",   "quantum",
    "transport", "with",  "r{\\'e}gime", "$\\alpha$-helix", "cells",     "large",           "scale",   "study",
    "clinical",  "trial", "results",     "network",         "dynamics",  "{M}onte {C}arlo", "methods", "na{\\\"\\i}ve",
    "approach"};
const std::vector<std::string> kJournalMacros = {"jbc", "nature", "prl", "pnas", "ieeetm", "lancet", "aos", "zphys"};
const std::vector<std::string> kJournals = {
    "J. Biol. Chem.",    "Nature", "Phys. Rev. Lett.", "Proc. Natl. Acad. Sci. {USA}",
    "IEEE Trans. Magn.", "Lancet", "Ann. Statist.",    "Z. Phys."};
const std::vector<std::string> kTypes = {"Article",       "article",    "ARTICLE", "book",
                                         "InProceedings", "techreport", "misc"};
const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};

std::mt19937 rng;

int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

template <typename T>
const T& any_of(const std::vector<T>& items) {
  return items[static_cast<std::size_t>(pick(static_cast<int>(items.size())))];
}

std::string words(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    if (i) text += ' ';
    text += any_of(kWords);
  }
  return text;
}

std::string authors() {
  std::string text;
  const int count = 1 + pick(4);
  for (int i = 0; i < count; ++i) {
    if (i) text += " and ";
    text += any_of(kSurnames);
    text += ", ";
    text += static_cast<char>('A' + pick(26));
    text += ".";
  }
  return text;
}

std::string abstract_text(const char* line_end) {
  std::string text;
  const int lines = 3 + pick(6);
  for (int l = 0; l < lines; ++l) {
    if (l) text += std::string(line_end) + "\t\t";
    text += words(9 + pick(4));
  }
  return text;
}

void put(const std::string& text) { std::fwrite(text.data(), 1, text.size(), stdout); }

void any_style(long n, const char* eol) {
  std::string out = "% Generated in the style of today's reference managers" + std::string(eol);
  for (std::size_t i = 0; i < kJournalMacros.size(); ++i) {
    out += "@String{" + kJournalMacros[i] + " = \"" + kJournals[i] + "\"}" + eol;
  }
  out += eol;
  put(out);
  for (long i = 0; i < n; ++i) {
    const int year = 1950 + pick(75);
    out = "@" + any_of(kTypes) + "{" + any_of(kKeyNames) + std::to_string(year) + any_of(kKeyWords) +
          std::to_string(i) + "," + eol;
    out += "\tAuthor = {" + authors() + "}," + eol;
    out += "\tTitle = {" + words(6 + pick(10)) + "}," + eol;
    out += "\tjournal = " + any_of(kJournalMacros) + "," + eol;
    out += "\tyear = " + std::to_string(year) + "," + eol;
    out += "\tmonth = " + std::string(kMonths[pick(12)]) + "," + eol;
    out += "\tvolume = " + std::to_string(1 + pick(300)) + "," + eol;
    out += "\tpages = {" + std::to_string(1 + pick(900)) + "--" + std::to_string(901 + pick(99)) + "}," + eol;
    out += "\tdoi = {10." + std::to_string(1000 + pick(9000)) + "/x" + std::to_string(i) + "}," + eol;
    if (pick(2)) out += "\turl = {https://example.org/" + std::to_string(i) + "}," + eol;
    if (pick(4) == 0)
      out += "\tISSN = {" + std::to_string(1000 + pick(9000)) + "-" + std::to_string(1000 + pick(9000)) + "}," + eol;
    if (pick(3) == 0) out += "\tnote = \"Part \" # {" + std::to_string(1 + pick(9)) + "}," + eol;
    out += "\tabstract = {" + abstract_text(eol) + "}" + eol;
    out += '}';  // appended, not "}" + std::string: GCC 12 -O3 flags that (-Wrestrict)
    out += eol;
    out += eol;
    put(out);
  }
}

void old_style(long n, bool with_unknown) {
  std::string out;
  for (long i = 0; i < n; ++i) {
    out = "@article{" + std::to_string(i + 1) + ",\n";
    out += "author     = \"" + authors() + "\",\n";
    if (with_unknown) out += "doi        = \"10.1000/" + std::to_string(i) + "\",\n";
    out += "title      = {" + words(6 + pick(10)) + "},\n";
    if (with_unknown) out += "url        = \"https://example.org/" + std::to_string(i) + "\",\n";
    out += "year       = \"" + std::to_string(1950 + pick(75)) + "\",\n";
    if (with_unknown) out += "issn       = \"1234-5678\",\n";
    out += "abstract   = \"" + abstract_text("\n") + "\",\n";
    out += "}\n\n";
    put(out);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: gen_bibtex_any any|crlf|unknown|known N [SEED]\n");
    return 2;
  }
  const std::string_view style = argv[1];
  const long n = std::atol(argv[2]);
  rng.seed(argc > 3 ? static_cast<unsigned>(std::atol(argv[3])) : 1U);
  if (style == "any") {
    any_style(n, "\n");
  } else if (style == "crlf") {
    any_style(n, "\r\n");
  } else if (style == "unknown" || style == "known") {
    old_style(n, style == "unknown");
  } else {
    std::fprintf(stderr, "gen_bibtex_any: unknown style %s\n", argv[1]);
    return 2;
  }
  return 0;
}
