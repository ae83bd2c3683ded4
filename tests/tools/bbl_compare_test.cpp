// The real bibtex judges a save: each file of today's style, loaded with
// "BibTeX (any style)" and saved, must give the bibliography the original
// gives, byte for byte, in the styles plain, abbrv, alpha and unsrt, for a
// document that cites every entry. And whatever a save writes, bibtex reads
// every entry of it.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "support/run_command.h"
#include "support/temp_dir.h"
#include "tools/tex_programs.h"

namespace refloom {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::run_command;
using testing::shell_quoted;
using testing::write_file;

const std::string kConvert = REFLOOM_CONVERT_PATH;
const fs::path kCaseDir = fs::path(IMPORT_DATA_DIR) / "bibtex-any";
constexpr const char* kStyles[] = {"plain", "abbrv", "alpha", "unsrt"};

// Cases whose original bibtex itself does not read as its author meant,
// so that the saved file, mended, gives another bibliography: broken
// entries, keys missing or given twice, doubled commas, braces that do not
// balance, UTF-16, and an entry inside @comment{...} (which bibtex reads,
// and a save moves behind the entries).
const std::set<std::string> kNotForBibtex = {"broken",      "unclosed_at_end",  "keys",
                                             "comma_first", "refloom_saved",    "utf16be",
                                             "utf16le",     "utf16le_unmarked", "junk"};

std::vector<std::string> cases() {
  std::vector<std::string> names;
  for (const auto& file : fs::directory_iterator(kCaseDir)) {
    const std::string name = file.path().filename().string();
    if (!name.ends_with(".expected.bib")) continue;
    const std::string base = name.substr(0, name.size() - 13);
    if (!kNotForBibtex.contains(base)) names.push_back(base);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// bibtex on a document citing every entry of `bib` with a style; the .bbl.
std::string bbl(const testing::TempDir& dir, const std::string& bib, const std::string& style,
                std::string* log = nullptr) {
  const std::string job = bib + "-" + style;
  write_file(dir.file(job + ".aux"), "\\relax\n\\citation{*}\n\\bibstyle{" + style + "}\n\\bibdata{" + bib + "}\n");
  const auto result = run_command("/bin/sh", {"-c", "cd " + shell_quoted(dir.path()) + " && bibtex -terse " + job});
  if (log != nullptr) *log = result.out + read_file(dir.file(job + ".blg"));
  return testing::file_exists(dir.file(job + ".bbl")) ? read_file(dir.file(job + ".bbl")) : std::string();
}

class SavedBibliography : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override { REFLOOM_NEED_TEX("bibtex"); }
};

TEST_P(SavedBibliography, BibtexGivesTheSameBblAsForTheOriginal) {
  testing::TempDir dir;
  fs::copy_file(kCaseDir / (GetParam() + ".bib"), dir.file("original.bib"));
  const auto saved = run_command(kConvert, {"-f", "bibtex-any", dir.file("original.bib"), "-o", dir.file("saved.bib")});
  ASSERT_EQ(saved.exit_status, 0) << saved.err;
  for (const char* style : kStyles) {
    SCOPED_TRACE(style);
    const std::string original = bbl(dir, "original", style);
    ASSERT_FALSE(original.empty()) << "bibtex wrote no bibliography for the original";
    EXPECT_EQ(bbl(dir, "saved", style), original);
  }
}

INSTANTIATE_TEST_SUITE_P(TodaysStyle, SavedBibliography, ::testing::ValuesIn(cases()),
                         [](const ::testing::TestParamInfo<std::string>& case_info) { return case_info.param; });

class WhatASaveWrites : public ::testing::Test {
 protected:
  void SetUp() override { REFLOOM_NEED_TEX("bibtex"); }
};

// Values that a quoted form would cut short in bibtex (a backslash escapes
// nothing there, so \" ends the value), values with {"}, a quote outside
// braces, and braces that do not balance: bibtex reads every entry, and
// every value as it stands.
TEST_F(WhatASaveWrites, EveryEntryReachesBibtexWithItsValues) {
  testing::TempDir dir;
  // Written through the "BibTeX" format, which keeps quoted values as they
  // stand, braces or not.
  write_file(dir.file("in.bib"),
             "@article{1,\n"
             "author     = \"M\\\"uller, Hans and G\\\"odel, Kurt\",\n"
             "title      = \"A {\"}quoted{\"} word\",\n"
             "journal    = \"J\",\n"
             "year       = \"2001\",\n"
             "}\n\n"
             "@article{2,\n"
             "author     = \"Open, Brace\",\n"
             "title      = \"An {unclosed brace\",\n"
             "journal    = \"J\",\n"
             "year       = \"2002\",\n"
             "}\n\n"
             "@article{3,\n"
             "author     = \"Stray, Brace\",\n"
             "title      = \"A stray } brace\",\n"
             "journal    = \"J\",\n"
             "year       = \"2003\",\n"
             "}\n\n"
             "@article{4,\n"
             "author     = \"Last, Entry\",\n"
             "title      = {Said \"hello\" and M\\\"uller},\n"
             "journal    = \"J\",\n"
             "year       = \"2004\",\n"
             "}\n\n");
  const auto saved = run_command(kConvert, {dir.file("in.bib"), "-o", dir.file("saved.bib")});
  ASSERT_EQ(saved.exit_status, 0) << saved.err;
  EXPECT_EQ(saved.err,
            "braces balanced in title of 2, so that BibTeX reads the file \n"
            "braces balanced in title of 3, so that BibTeX reads the file \n");
  std::string log;
  const std::string out = bbl(dir, "saved", "unsrt", &log);
  EXPECT_EQ(log.find("error message"), std::string::npos) << log;
  // The names as the style writes them, the title as it lowers it.
  for (const char* text :
       {"\\bibitem{1}", "Hans M\\\"uller and Kurt G\\\"odel", "A {\"}quoted{\"} word", "\\bibitem{2}",
        "An {unclosed brace}", "\\bibitem{3}", "{A stray } brace", "\\bibitem{4}", "Said \"hello\" and m\\\"uller"}) {
    EXPECT_NE(out.find(text), std::string::npos) << text << "\n" << out;
  }
}

}  // namespace
}  // namespace refloom
