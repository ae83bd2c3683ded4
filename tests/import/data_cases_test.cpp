// Each case is an export file tests/import/data/<format>/<case>.txt with the
// BibTeX file refloom-convert must write for it (<case>.bib), written by
// hand from the import rules, and optionally the messages it must print
// (<case>.err). A new case is a new pair of files.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/bibtex_writer.h"
#include "import/formats.h"
#include "import/importers.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace refloom {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::run_command;

const std::string kConvert = REFLOOM_CONVERT_PATH;
const fs::path kDataDir = IMPORT_DATA_DIR;

struct DataCase {
  std::string format;
  std::string name;
  fs::path input;
};

void PrintTo(const DataCase& data_case, std::ostream* out) { *out << data_case.format << "/" << data_case.name; }

// The cases of every format of the format table that has a data directory
// named by its -f name.
std::vector<DataCase> all_cases() {
  std::vector<DataCase> cases;
  for (const Format& format : formats()) {
    const fs::path directory = kDataDir / format.name;
    if (!fs::is_directory(directory)) continue;
    for (const auto& file : fs::directory_iterator(directory)) {
      if (file.path().extension() == ".txt") {
        cases.push_back({std::string(format.name), file.path().stem().string(), file.path()});
      }
    }
  }
  std::sort(cases.begin(), cases.end(), [](const DataCase& a, const DataCase& b) { return a.input < b.input; });
  return cases;
}

// Where two long texts part, with a little context, instead of both whole.
std::string first_difference(const std::string& actual, const std::string& expected) {
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  const std::size_t from = at > 40 ? at - 40 : 0;
  return "sizes " + std::to_string(actual.size()) + " and " + std::to_string(expected.size()) +
         ", first difference at byte " + std::to_string(at) + "\n  actual:   ..." + actual.substr(from, 80) +
         "\n  expected: ..." + expected.substr(from, 80);
}

using StreamImport = void (*)(ReferenceDatabase&, std::FILE*, std::string_view, RecordStorage);

StreamImport importer(const std::string& format) {
  if (format == "ovid") return import_medline_ovid;
  if (format == "spirs") return import_medline_spirs;
  if (format == "pubmed") return import_medline_pubmed;
  if (format == "inspec") return import_inspec;
  return nullptr;
}

class ImportData : public ::testing::TestWithParam<DataCase> {
 protected:
  std::string expected_bib() const {
    fs::path path = GetParam().input;
    return read_file(path.replace_extension(".bib").string());
  }
  std::string expected_messages() const {
    fs::path path = GetParam().input;
    path.replace_extension(".err");
    return fs::exists(path) ? read_file(path.string()) : std::string();
  }
};

TEST_P(ImportData, RefloomConvertWritesTheExpectedFile) {
  const DataCase& data_case = GetParam();
  const auto result = run_command(kConvert, {"-f", data_case.format, data_case.input.string()});
  EXPECT_EQ(result.exit_status, 0);
  const std::string expected = expected_bib();
  EXPECT_TRUE(result.out == expected) << first_difference(result.out, expected);
  EXPECT_EQ(result.err, expected_messages());
}

// The importers keep the record being read aside and store it once; going
// through the database setters line by line must give the same file.
TEST_P(ImportData, ThroughTheSettersTheResultIsTheSame) {
  const DataCase& data_case = GetParam();
  if (importer(data_case.format) == nullptr) {
    GTEST_SKIP() << data_case.format << " stores each record one way only: there are no setters to compare with";
  }
  std::FILE* stream = std::fopen(data_case.input.c_str(), "rb");
  ASSERT_NE(stream, nullptr);
  ReferenceDatabase db;
  importer(data_case.format)(db, stream, "article", RecordStorage::kThroughSetters);
  std::fclose(stream);
  std::ostringstream messages;
  const std::string written = bibtex_text(db, messages);
  const std::string expected = expected_bib();
  EXPECT_TRUE(written == expected) << first_difference(written, expected);
}

// Every import format comes with its data pairs; the BibTeX formats have
// theirs in bibtex-any/ (a test of its own) and in the reader tests.
TEST(ImportDataPairs, EveryImportFormatHasSome) {
  for (const Format& format : formats()) {
    if (format.name == "bibtex" || format.name == "bibtex-any") continue;
    const auto cases = all_cases();
    EXPECT_TRUE(std::any_of(cases.begin(), cases.end(),
                            [&](const DataCase& data_case) { return data_case.format == format.name; }))
        << "no data pairs in " << (kDataDir / format.name);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, ImportData, ::testing::ValuesIn(all_cases()),
                         [](const ::testing::TestParamInfo<DataCase>& case_info) {
                           return case_info.param.format + "_" + case_info.param.name;
                         });

}  // namespace
}  // namespace refloom
