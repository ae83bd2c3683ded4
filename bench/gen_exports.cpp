// Writes a realistic export of today's formats with N records of about
// 1 KB each to standard output: a PubMed .nbib file (PMID line, full and
// short author names, a title and an abstract wrapped onto continuation
// lines, MeSH headings, affiliations, identifiers that are not kept) or a
// RIS file (journal articles, books and chapters). Names and words include
// UTF-8 letters and characters TeX needs escaped.
//   gen_exports nbib|ris N [SEED]

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace {

const std::vector<std::string> kSurnames = {"M\xC3\xBCller",
                                            "Smith",
                                            "Garc\xC3\xAD"
                                            "a",
                                            "Nguyen",
                                            "\xC3\x98"
                                            "deg\xC3\xA5rd",
                                            "Dubois",
                                            "Kowalski",
                                            "Tanaka",
                                            "van der Berg",
                                            "Rossi",
                                            "\xC5\x81ukasiewicz",
                                            "Lee"};
const std::vector<std::string> kGiven = {"Hans",
                                         "John A",
                                         "Mar\xC3\xAD"
                                         "a",
                                         "Anh",
                                         "\xC3\x85se",
                                         "Pierre",
                                         "\xC5\x81ukasz",
                                         "Yuki",
                                         "Pieter",
                                         "Giulia",
                                         "Jan",
                                         "Min-Jun"};
const std::vector<std::string> kWords = {
    "analysis", "of",          "the",       "DNA",       "protein",       "binding",        "in",
    "vivo",     "model",       "for",       "efficient", "Bayesian",      "inference",      "under",
    "noise",    "\"quantum\"", "transport", "with",      "r\xC3\xA9gime", "\xCE\xB1-helix", "cells",
    "large",    "scale",       "study",     "clinical",  "trial",         "results",        "network",
    "dynamics", "95%",         "R&D",       "x_1"};
const std::vector<std::string> kHeadings = {"Humans", "Animals",         "Rats",     "Liver/metabolism",
                                            "Mice",   "Protein Binding", "Kinetics", "Molecular Sequence Data"};
const std::vector<std::string> kJournals = {"J Biol Chem",  "Nature", "Lancet",  "Proc Natl Acad Sci U S A",
                                            "N Engl J Med", "Cell",   "Science", "Biochemistry"};
const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

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

// A text wrapped as PubMed wraps it: lines of about 80 characters, the
// further ones behind six blanks.
void wrapped(std::string& out, std::string_view tag, const std::string& text) {
  out += tag;
  std::size_t column = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(' ', start);
    if (end == std::string::npos) end = text.size();
    if (column > 70) {
      out += "\n      ";
      column = 0;
    } else if (start > 0) {
      out += ' ';
    }
    out.append(text, start, end - start);
    column += end - start + 1;
    start = end + 1;
  }
  out += '\n';
}

void nbib_record(std::string& out, long i) {
  out += "PMID- " + std::to_string(30000000 + i) + "\nOWN - NLM\nSTAT- MEDLINE\n";
  out += "DP  - " + std::to_string(1990 + pick(35)) + " " + kMonths[pick(12)] + "\n";
  wrapped(out, "TI  - ", words(8 + pick(12)) + ".");
  out += "PG  - " + std::to_string(1 + pick(900)) + "-" + std::to_string(1 + pick(99)) + "\n";
  out += "LID - 10.1000/j." + std::to_string(i) + " [doi]\n";
  wrapped(out, "AB  - ", words(60 + pick(40)) + ".");
  const int authors = 1 + pick(6);
  for (int a = 0; a < authors; ++a) {
    const std::string& surname = any_of(kSurnames);
    const std::string& given = any_of(kGiven);
    out += "FAU - " + surname + ", " + given + "\n";
    out += "AU  - " + surname + " " + given.substr(0, 1) + "\n";
    if (pick(3) == 0) out += "AD  - Department of " + words(2) + ", University of " + words(1) + ".\n";
  }
  out += "LA  - eng\nPT  - Journal Article\n";
  out += "TA  - " + any_of(kJournals) + "\nJT  - The journal of " + words(2) + "\n";
  for (int h = pick(8); h > 0; --h) out += "MH  - " + any_of(kHeadings) + "\n";
  out += "EDAT- 2001/01/01 00:00\nMHDA- 2001/01/02 00:00\nSO  - " + any_of(kJournals) + ". 2001;1:1-2.\n\n";
}

void ris_record(std::string& out, long i) {
  const int kind = pick(10);
  const char* type = kind < 8 ? "JOUR" : kind == 8 ? "BOOK" : "CHAP";
  out += std::string("TY  - ") + type + "\n";
  const int authors = 1 + pick(6);
  for (int a = 0; a < authors; ++a) {
    if (pick(2) == 0) {
      out += "AU  - " + any_of(kSurnames) + ", " + any_of(kGiven) + "\n";
    } else {
      out += "AU  - " + any_of(kGiven) + " " + any_of(kSurnames) + "\n";
    }
  }
  out += "TI  - " + words(8 + pick(12)) + "\n";
  out += "T2  - " + any_of(kJournals) + "\n";
  out += "PY  - " + std::to_string(1990 + pick(35)) + "/" + std::to_string(1 + pick(12)) + "/01/\n";
  out += "VL  - " + std::to_string(1 + pick(300)) + "\nIS  - " + std::to_string(1 + pick(12)) + "\n";
  out += "SP  - " + std::to_string(1 + pick(900)) + "\nEP  - " + std::to_string(901 + pick(99)) + "\n";
  out += "AB  - " + words(70 + pick(40)) + "\n";
  for (int k = pick(6); k > 0; --k) out += "KW  - " + any_of(kHeadings) + "\n";
  out += "DO  - 10.1000/j." + std::to_string(i) + "\nUR  - https://example.org/" + std::to_string(i) + "\n";
  out += "ER  - \n\n";
}

}  // namespace

int main(int argc, char** argv) {
  const std::string_view format = argc > 1 ? argv[1] : "";
  if (argc < 3 || (format != "nbib" && format != "ris")) {
    std::fprintf(stderr, "usage: gen_exports nbib|ris N [SEED]\n");
    return 2;
  }
  const long n = std::atol(argv[2]);
  rng.seed(argc > 3 ? static_cast<unsigned>(std::atol(argv[3])) : 1U);
  std::string out;
  for (long i = 0; i < n; ++i) {
    out.clear();
    if (format == "nbib") {
      nbib_record(out, i);
    } else {
      ris_record(out, i);
    }
    std::fwrite(out.data(), 1, out.size(), stdout);
  }
  return 0;
}
