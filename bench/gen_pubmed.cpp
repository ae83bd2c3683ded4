// Writes a realistic Medline export in the PubMed tagged format with N
// records of about 1 KB each to standard output: authors, a title and an
// abstract with continuation lines, MeSH headings and the other keyword
// tags, an address, a source line, and now and then a code page 437 letter,
// a double quote or a percent sign.
//   gen_pubmed N [SEED]

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> kSurnames = {"M\x81ller",
                                            "Smith",
                                            "Garcia",
                                            "Nguyen",
                                            "Schr\x94"
                                            "der",
                                            "Dubois",
                                            "Kowalski",
                                            "Tanaka",
                                            "van der Berg",
                                            "Rossi",
                                            "Johnson",
                                            "Brown",
                                            "Fran\x87ois",
                                            "Lee",
                                            "Andersson"};
const std::vector<std::string> kWords = {
    "analysis",  "of",    "the",       "DNA",         "protein",   "binding", "in",      "vivo",
    "model",     "for",   "efficient", "Bayesian",    "inference", "under",   "noise",   "\"quantum\"",
    "transport", "with",  "r\x82gime", "alpha-helix", "cells",     "large",   "scale",   "study",
    "clinical",  "trial", "results",   "network",     "dynamics",  "95%",     "methods", "approach"};
const std::vector<std::string> kHeadings = {"Humans", "Animals",         "Rats",     "Liver/metabolism",
                                            "Mice",   "Protein Binding", "Kinetics", "Molecular Sequence Data"};
const std::vector<std::string> kJournals = {"J Biol Chem",  "Nature", "Lancet",  "Proc Natl Acad Sci U S A",
                                            "N Engl J Med", "Cell",   "Science", "Biochemistry"};

std::mt19937 rng;

int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }

template <class T>
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

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: gen_pubmed N [SEED]\n");
    return 2;
  }
  const long n = std::atol(argv[1]);
  rng.seed(argc > 2 ? static_cast<unsigned>(std::atol(argv[2])) : 1U);
  std::string out;
  for (long i = 0; i < n; ++i) {
    out.clear();
    out += "UI  - " + std::to_string(96000000 + i) + "\n";
    const int authors = 1 + pick(6);
    for (int a = 0; a < authors; ++a) {
      out += "AU  - " + any_of(kSurnames) + " " + static_cast<char>('A' + pick(26));
      if (pick(2)) out += static_cast<char>('A' + pick(26));
      out += "\n";
    }
    out += "TI  - " + words(8 + pick(4)) + "\n      " + words(4 + pick(4)) + ".\n";
    out += "LA  - Eng\nPT  - Journal Article\n";
    out += "DP  - " + std::to_string(1960 + pick(40)) + " Mar\n";
    out += "AD  - Department of " + words(2) + ", University of " + words(1) + "\n";
    out += "AB  - " + words(9 + pick(3)) + "\n";
    const int lines = 6 + pick(3);
    for (int l = 0; l < lines; ++l) out += "      " + words(9 + pick(3)) + "\n";
    const int headings = 3 + pick(4);
    for (int h = 0; h < headings; ++h) out += "MH  - " + any_of(kHeadings) + "\n";
    out += "SO  - " + any_of(kJournals) + " " + std::to_string(1960 + pick(40)) + ";" + std::to_string(1 + pick(300)) +
           "(" + std::to_string(1 + pick(12)) + "):" + std::to_string(1 + pick(900)) + "-" +
           std::to_string(1 + pick(99)) + "\n\n";
    std::fwrite(out.data(), 1, out.size(), stdout);
  }
  return 0;
}
