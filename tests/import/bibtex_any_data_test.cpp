// Each case is a BibTeX file tests/import/data/bibtex-any/<case>.bib, written
// as BibTeX itself, reference managers or people write them, with the file
// refloom-convert -f bibtex-any must write for it (<case>.expected.bib),
// written by hand, and optionally the messages it must print (<case>.err).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/bibtex_any_reader.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace refloom {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::run_command;

const std::string kConvert = REFLOOM_CONVERT_PATH;
const fs::path kCaseDir = fs::path(IMPORT_DATA_DIR) / "bibtex-any";

std::vector<std::string> all_cases() {
  std::vector<std::string> names;
  for (const auto& file : fs::directory_iterator(kCaseDir)) {
    const std::string name = file.path().filename().string();
    if (name.ends_with(".expected.bib")) names.push_back(name.substr(0, name.size() - 13));
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string first_difference(const std::string& actual, const std::string& expected) {
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  const std::size_t from = at > 40 ? at - 40 : 0;
  return "sizes " + std::to_string(actual.size()) + " and " + std::to_string(expected.size()) +
         ", first difference at byte " + std::to_string(at) + "\n  actual:   ..." + actual.substr(from, 80) +
         "\n  expected: ..." + expected.substr(from, 80);
}

class BibtexAnyData : public ::testing::TestWithParam<std::string> {
 protected:
  std::string path(const std::string& suffix) const { return (kCaseDir / (GetParam() + suffix)).string(); }
};

TEST_P(BibtexAnyData, RefloomConvertWritesTheExpectedFile) {
  const auto result = run_command(kConvert, {"-f", "bibtex-any", path(".bib")});
  EXPECT_EQ(result.exit_status, 0);
  const std::string expected = read_file(path(".expected.bib"));
  EXPECT_TRUE(result.out == expected) << first_difference(result.out, expected);
  const std::string messages = fs::exists(path(".err")) ? read_file(path(".err")) : std::string();
  EXPECT_EQ(result.err, messages);
}

// Whether the file holds only what the "BibTeX" format knows: numbers as
// keys, the 28 fields, no macros and no @string, @preamble or @comment.
bool plain_refloom_file(const std::string& file) {
  ReferenceDatabase db;
  std::ostringstream messages;
  if (read_bibtex_any(db, file, messages) != ReadResult::kDone) return false;
  if (!db.blocks().empty()) return false;
  return std::all_of(db.references().begin(), db.references().end(),
                     [](const Reference& reference) { return reference.extras().empty(); });
}

// What the new format reads, Refloom writes so that it reads back unchanged;
// a file of what the "BibTeX" format knows reads back through that too.
TEST_P(BibtexAnyData, TheWrittenFileReadsBackUnchanged) {
  const std::string expected = read_file(path(".expected.bib"));
  std::vector<const char*> formats = {"bibtex-any"};
  if (plain_refloom_file(path(".expected.bib"))) formats.push_back("bibtex");
  for (const char* format : formats) {
    const auto result = run_command(kConvert, {"-f", format, path(".expected.bib")});
    EXPECT_EQ(result.exit_status, 0);
    EXPECT_TRUE(result.out == expected) << format << ": " << first_difference(result.out, expected);
    // Macros that only the styles define are named on every load.
    std::istringstream lines(result.err);
    for (std::string line; std::getline(lines, line);) {
      EXPECT_TRUE(line.starts_with("unknown macro in line ")) << format << ": " << line;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, BibtexAnyData, ::testing::ValuesIn(all_cases()),
                         [](const ::testing::TestParamInfo<std::string>& case_info) { return case_info.param; });

}  // namespace
}  // namespace refloom
