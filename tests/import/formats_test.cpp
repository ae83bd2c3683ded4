// The format table: the Load dialog's list, the -f names, refloom-convert's
// usage and the fuzz targets all come from it, so its rows must hold
// together.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "import/formats.h"
#include "import/load.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace refloom {
namespace {

using testing::run_command;

const std::string kConvert = REFLOOM_CONVERT_PATH;

TEST(Formats, TheLoadDialogListsTheFormatsInTheirOrder) {
  // Users and stored scripts know the formats by these positions and
  // names; the list's position is the FileType the dialog hands over.
  const std::vector<std::pair<std::string_view, std::string_view>> expected = {
      {"BibTeX", "bibtex"},
      {"Medline Ovid", "ovid"},
      {"Medline Spirs", "spirs"},
      {"Medline PubMed", "pubmed"},
      {"Inspec", "inspec"},
      {"BibTeX (any style)", "bibtex-any"},
      {"PubMed / MEDLINE (.nbib)", "nbib"},
      {"RIS", "ris"},
  };
  ASSERT_EQ(formats().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const Format& format = formats()[i];
    EXPECT_EQ(static_cast<std::size_t>(format.type), i + 1);
    EXPECT_EQ(format.label, expected[i].first);
    EXPECT_EQ(format.name, expected[i].second);
    EXPECT_EQ(format_of(format.type), &format);
    EXPECT_EQ(format_named(format.name), &format);
    EXPECT_EQ(file_type_from_name(format.name), format.type);
    EXPECT_EQ(file_type_label(format.type), format.label);
  }
}

TEST(Formats, EveryRowIsCompleteAndUnique) {
  std::set<std::string_view> labels, names, fuzzers;
  for (const Format& format : formats()) {
    SCOPED_TRACE(format.name);
    EXPECT_TRUE(labels.insert(format.label).second);
    EXPECT_TRUE(names.insert(format.name).second);
    EXPECT_TRUE(fuzzers.insert(format.fuzzer).second);
    EXPECT_FALSE(format.description.empty());
    EXPECT_NE(format.read, nullptr);
    EXPECT_NE(format.read_stream, nullptr);
    // A -f name is typed on command lines.
    EXPECT_EQ(format.name.find_first_not_of("abcdefghijklmnopqrstuvwxyz-"), std::string_view::npos);
  }
}

TEST(Formats, NoFormatOutsideTheTable) {
  EXPECT_EQ(format_of(FileType{0}), nullptr);
  EXPECT_EQ(format_of(FileType{static_cast<int>(formats().size()) + 1}), nullptr);
  EXPECT_EQ(format_of(FileType{-1}), nullptr);
  EXPECT_EQ(file_type_label(FileType{0}), "");
  for (const char* name : {"", "Ovid", "medline", "BibTeX", "bibtex "}) {
    EXPECT_EQ(format_named(name), nullptr) << name;
    EXPECT_EQ(file_type_from_name(name), std::nullopt) << name;
  }
  // A load of no format reads nothing, not even a file that is there.
  testing::TempDir dir;
  const std::string path = dir.file("one.bib");
  testing::write_file(path, "@article{1,\n  title = {T},\n}\n");
  ReferenceDatabase db;
  std::ostringstream messages;
  EXPECT_EQ(load_file(db, path, FileType{0}, messages), ReadResult::kDone);
  EXPECT_EQ(db.ref_count(), 0U);
  EXPECT_EQ(messages.str(), "");
}

TEST(Formats, TheReadersOfAllRowsShareTheOpenFailure) {
  testing::TempDir dir;
  for (const Format& format : formats()) {
    SCOPED_TRACE(format.name);
    ReferenceDatabase db;
    std::ostringstream messages;
    FormatHints hints;
    EXPECT_EQ(format.read(db, dir.file("missing"), messages, hints), ReadResult::kCannotOpen);
    EXPECT_EQ(messages.str(), "Cannot open file: " + dir.file("missing") + "\n");
    EXPECT_EQ(db.ref_count(), 0U);
  }
}

TEST(Formats, RefloomConvertTakesAndNamesEveryFormat) {
  const auto help = run_command(kConvert, {"--help"});
  EXPECT_EQ(help.exit_status, 0);
  EXPECT_NE(help.out.find("  -f FORMAT      format of the inputs that follow (bibtex by default):\n"),
            std::string::npos)
      << help.out;
  testing::TempDir dir;
  const std::string empty = dir.file("empty");
  testing::write_file(empty, "");
  for (const Format& format : formats()) {
    SCOPED_TRACE(format.name);
    std::string line = "                   " + std::string(format.name);
    line.resize(std::max<std::size_t>(line.size() + 1, 19 + 13), ' ');
    line += std::string(format.description) + "\n";
    EXPECT_NE(help.out.find(line), std::string::npos) << help.out;
    const auto run = run_command(kConvert, {"-f", std::string(format.name), empty});
    EXPECT_EQ(run.exit_status, 0) << run.err;
  }
  const auto unknown = run_command(kConvert, {"-f", "endnote", empty});
  EXPECT_EQ(unknown.exit_status, 2);
  EXPECT_TRUE(unknown.err.starts_with("refloom-convert: unknown format: endnote\n")) << unknown.err;
}

// The fuzz build makes one target a row, named by its `.fuzzer`, which it
// finds in the table's source line by line; each needs its source and its
// seeds.
TEST(Formats, EveryFormatHasItsFuzzTargetAndSeeds) {
  const std::filesystem::path root = REFLOOM_SOURCE_DIR;
  std::ifstream table(root / "src/import/formats.cpp");
  std::stringstream text;
  text << table.rdbuf();
  for (const Format& format : formats()) {
    SCOPED_TRACE(format.fuzzer);
    const std::string row = ".fuzzer = \"" + std::string(format.fuzzer) + "\"";
    EXPECT_NE(text.str().find(row), std::string::npos) << "the fuzz build looks for " << row << " on one line";
    EXPECT_TRUE(std::filesystem::is_regular_file(root / "fuzz" / (std::string(format.fuzzer) + "_fuzzer.cpp")));
    const std::filesystem::path seeds = root / "fuzz/seeds" / std::string(format.fuzzer);
    EXPECT_TRUE(std::filesystem::is_directory(seeds) && !std::filesystem::is_empty(seeds));
  }
}

}  // namespace
}  // namespace refloom
