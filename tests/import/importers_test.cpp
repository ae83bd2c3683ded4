#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "core/bibtex_writer.h"
#include "import/importers.h"
#include "import/load.h"
#include "support/run_command.h"
#include "support/temp_dir.h"

namespace refloom {
namespace {

namespace fs = std::filesystem;
using testing::read_file;
using testing::run_command;
using testing::TempDir;
using testing::write_file;

const std::string kConvert = REFLOOM_CONVERT_PATH;
const fs::path kDataDir = IMPORT_DATA_DIR;

using PathImport = ReadResult (*)(ReferenceDatabase&, const std::string&, std::string_view, std::ostream&);
using StreamImport = void (*)(ReferenceDatabase&, std::FILE*, std::string_view, RecordStorage);

struct Format {
  std::string name;
  PathImport from_path;
  StreamImport from_stream;
  // One complete record whose title is "Sentinel".
  std::string sentinel;
};

const std::vector<Format>& formats() {
  static const std::vector<Format> all = {
      {"ovid", import_medline_ovid, import_medline_ovid, "1\nTI  - Sentinel\n"},
      {"spirs", import_medline_spirs, import_medline_spirs, "Rec 1\nTI:    Sentinel\n"},
      {"pubmed", import_medline_pubmed, import_medline_pubmed, "UI  - 1\nTI  - Sentinel\n"},
      {"inspec", import_inspec, import_inspec, "AN   S\nTI   Sentinel\n"},
  };
  return all;
}

ReferenceDatabase import_text(const Format& format, const std::string& text, RecordStorage storage,
                              std::string_view entry_type = "article") {
  ReferenceDatabase db;
  std::FILE* stream = fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
  if (stream == nullptr) throw std::runtime_error("fmemopen failed");
  format.from_stream(db, stream, entry_type, storage);
  std::fclose(stream);
  return db;
}

std::string written(const ReferenceDatabase& db) {
  std::ostringstream messages;
  return bibtex_text(db, messages);
}

TEST(Importers, FileThatCannotBeOpenedIsReportedAndChangesNothing) {
  TempDir dir;
  for (const Format& format : formats()) {
    SCOPED_TRACE(format.name);
    ReferenceDatabase db;
    db.add_reference();
    db.set_title(1, "Before");
    const ReferenceDatabase before = db;
    std::ostringstream messages;
    EXPECT_EQ(format.from_path(db, dir.file("missing.txt"), "article", messages), ReadResult::kCannotOpen);
    EXPECT_EQ(messages.str(), "Cannot open file: " + dir.file("missing.txt") + "\n");
    EXPECT_EQ(format.from_path(db, dir.path(), "article", messages), ReadResult::kCannotOpen);
    EXPECT_EQ(db.ref_count(), 1U);
    EXPECT_TRUE(db.reference(0) == before.reference(0));
  }
}

TEST(Importers, RefloomConvertReportsAFileThatCannotBeOpened) {
  TempDir dir;
  for (const Format& format : formats()) {
    const auto result = run_command(kConvert, {"-f", format.name, dir.file("missing.txt")});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "Cannot open file: " + dir.file("missing.txt") + "\n");
  }
}

TEST(Importers, EmptyOrForeignFileGivesNothingAndSucceeds) {
  TempDir dir;
  write_file(dir.file("empty.txt"), "");
  write_file(dir.file("prose.txt"), "Some prose\nwith no record in it\n");
  for (const Format& format : formats()) {
    SCOPED_TRACE(format.name);
    for (const char* name : {"empty.txt", "prose.txt"}) {
      ReferenceDatabase db;
      std::ostringstream messages;
      EXPECT_EQ(format.from_path(db, dir.file(name), "article", messages), ReadResult::kDone);
      EXPECT_EQ(messages.str(), "");
      EXPECT_EQ(db.ref_count(), 0U);
    }
  }
}

TEST(Importers, NewReferencesAreNumberedByPositionWithTheGivenEntryType) {
  for (const Format& format : formats()) {
    SCOPED_TRACE(format.name);
    for (RecordStorage storage : {RecordStorage::kBuffered, RecordStorage::kThroughSetters}) {
      const ReferenceDatabase db = import_text(format, format.sentinel + format.sentinel, storage, "misc");
      ASSERT_EQ(db.ref_count(), 2U);
      for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(db.reference(i).ref_id(), i + 1);
        EXPECT_EQ(db.reference(i).text(kEntryTypeSlot), "misc");
        EXPECT_EQ(db.reference(i).text(kTitle), "Sentinel");
      }
    }
  }
}

// Lines before the first record have no record of this import to go to:
// they must not reach the references the database held before.
TEST(Importers, LinesBeforeTheFirstRecordLeaveEarlierReferencesAlone) {
  const std::vector<std::string> leading = {
      "TI  - Orphan\n      orphan\nAU  - Smith J\nAB  - Orphan\n      more\nSO  - J 1990;1:2\n",
      "TI:    Orphan\nAU:    Smith-J\nCM:    c\nAD:    a\nMESH:  k\nSO:    J. 1990; 1: 2\n",
      "TI  - Orphan\n      orphan\nAD  - a\n      more\nMH  - k\n",
      "TI   Orphan\n    orphan\nAU   Smith, J. (X)\nCM   xxc\nMESH k\nSO   J (May 1990) vol.1\n",
  };
  TempDir dir;
  for (std::size_t f = 0; f < formats().size(); ++f) {
    const Format& format = formats()[f];
    SCOPED_TRACE(format.name);
    const std::string path = dir.file(format.name + ".txt");
    write_file(path, leading[f] + format.sentinel);
    ReferenceDatabase db;
    db.add_reference();
    db.set_ref_id(1, 40);
    db.set_entry_type(1, "book");
    db.set_title(1, "Held before");
    db.add_reference();
    db.set_ref_id(2, 41);
    const ReferenceDatabase before = db;

    std::ostringstream messages;
    EXPECT_EQ(format.from_path(db, path, "article", messages), ReadResult::kDone);
    ASSERT_EQ(db.ref_count(), 3U);
    EXPECT_TRUE(db.reference(0) == before.reference(0));
    EXPECT_TRUE(db.reference(1) == before.reference(1));
    // The importer numbers by position; Load renumbers afterwards.
    EXPECT_EQ(db.reference(2).ref_id(), 3U);
    // Inspec keeps the accession number as a keyword.
    const std::string keyword = format.name == "inspec" ? "keyword    = \"S\",\n" : "";
    EXPECT_EQ(written(db).substr(written(before).size()),
              "@article{3,\n" + keyword + "title      = \"Sentinel\",\n}\n\n");
  }
}

TEST(Load, ImportFormatsAreWiredAndRenumberIntoAHeldDatabase) {
  TempDir dir;
  const std::string path = dir.file("pubmed.txt");
  write_file(path, "UI  - 1\nTI  - One\nUI  - 2\nTI  - Two\n");
  ReferenceDatabase db;
  std::ostringstream messages;
  EXPECT_EQ(load_file(db, path, FileType::kMedlinePubmed, messages), ReadResult::kDone);
  EXPECT_EQ(written(db), "@article{1,\ntitle      = \"One\",\n}\n\n@article{2,\ntitle      = \"Two\",\n}\n\n");
  // Into a database that holds references, the new ones get free RefIds.
  EXPECT_EQ(load_file(db, path, FileType::kMedlinePubmed, messages), ReadResult::kDone);
  ASSERT_EQ(db.ref_count(), 4U);
  EXPECT_EQ(db.reference(2).ref_id(), 3U);
  EXPECT_EQ(db.reference(3).ref_id(), 4U);
  EXPECT_EQ(messages.str(), "");
  EXPECT_EQ(load_file(db, dir.file("missing"), FileType::kInspec, messages), ReadResult::kCannotOpen);
  EXPECT_EQ(messages.str(), "Cannot open file: " + dir.file("missing") + "\n");
}

TEST(Load, SaysWhatItNoticedAboutTheFormat) {
  TempDir dir;
  const std::string todays = dir.file("todays.bib");
  write_file(todays, "@article{smith2020,\n  title = {Today}\n}\n");
  const std::string own = dir.file("own.bib");
  write_file(own, "@article{1,\ntitle      = \"Own\",\n}\n\n");
  const std::string ris = dir.file("export.ris");
  write_file(ris, "TY  - JOUR\nTI  - RIS\nER  - \n");
  const std::string empty = dir.file("empty.bib");
  write_file(empty, "");
  struct Case {
    std::string path;
    FileType type;
    bool todays_bibtex;
    bool no_reference;
  };
  for (const Case& c : std::vector<Case>{
           {todays, FileType::kBibtex, true, false},
           {todays, FileType::kBibtexAny, false, false},
           {own, FileType::kBibtex, false, false},
           {own, FileType::kBibtexAny, false, false},
           // A .bib read as .nbib or RIS finds nothing and says nothing on
           // the stream.
           {own, FileType::kNbib, false, true},
           {own, FileType::kRis, false, true},
           {own, FileType::kMedlineOvid, false, true},
           {ris, FileType::kBibtex, false, true},
           {ris, FileType::kRis, false, false},
           // An empty file holds nothing to find.
           {empty, FileType::kNbib, false, false},
           {empty, FileType::kBibtex, false, false},
           // Nor does a file that cannot be opened.
           {dir.file("missing.bib"), FileType::kRis, false, false},
       }) {
    SCOPED_TRACE(c.path + " as " + std::string(file_type_label(c.type)));
    ReferenceDatabase db;
    std::ostringstream messages;
    FormatHints hints{!c.todays_bibtex, !c.no_reference};
    load_file(db, c.path, c.type, messages, hints);
    EXPECT_EQ(hints.todays_bibtex, c.todays_bibtex);
    EXPECT_EQ(hints.no_reference, c.no_reference);
    if (c.no_reference) {
      EXPECT_EQ(messages.str(), "");
    }
  }
  // Nothing new read into a database that holds references is nothing found too.
  ReferenceDatabase db;
  std::ostringstream messages;
  FormatHints hints;
  load_file(db, own, FileType::kBibtex, messages, hints);
  load_file(db, own, FileType::kNbib, messages, hints);
  EXPECT_TRUE(hints.no_reference);
  EXPECT_EQ(db.ref_count(), 1U);
}

// Every importer reads every other format's files to their end: a record
// of its own format put after one must come out last, whole.
TEST(Importers, ReadOtherFormatsFilesToTheEnd) {
  for (const Format& format : formats()) {
    for (const Format& other : formats()) {
      if (other.name == format.name) continue;
      for (const auto& file : fs::directory_iterator(kDataDir / other.name)) {
        if (file.path().extension() != ".txt") continue;
        SCOPED_TRACE(format.name + " reading " + file.path().string());
        const std::string text = read_file(file.path().string()) + "\n" + format.sentinel;
        const ReferenceDatabase buffered = import_text(format, text, RecordStorage::kBuffered);
        ASSERT_GE(buffered.ref_count(), 1U);
        const Reference& last = buffered.reference(buffered.ref_count() - 1);
        EXPECT_EQ(last.text(kTitle), "Sentinel");
        for (std::size_t i = 0; i < buffered.ref_count(); ++i) {
          EXPECT_EQ(buffered.reference(i).ref_id(), i + 1);
          EXPECT_EQ(buffered.reference(i).text(kEntryTypeSlot), "article");
        }
        const ReferenceDatabase through_setters = import_text(format, text, RecordStorage::kThroughSetters);
        EXPECT_EQ(written(buffered), written(through_setters));
      }
    }
  }
}

// Today's exports (.nbib, RIS): their records carry their own entry types,
// so they are checked here rather than with the seed formats above.
const std::vector<Format>& todays_formats() {
  static const std::vector<Format> all = {
      {"nbib", import_nbib, import_nbib, "\nPMID- 1\nTI  - Sentinel\n"},
      {"ris", import_ris, import_ris, "\nTY  - JOUR\nTI  - Sentinel\nER  - \n"},
  };
  return all;
}

TEST(TodaysFormats, OpenFailuresEmptyAndForeignFiles) {
  TempDir dir;
  write_file(dir.file("empty.txt"), "");
  write_file(dir.file("prose.txt"), "Some prose\nwith no record in it\n");
  for (const Format& format : todays_formats()) {
    SCOPED_TRACE(format.name);
    ReferenceDatabase db;
    std::ostringstream messages;
    EXPECT_EQ(format.from_path(db, dir.file("missing.txt"), "article", messages), ReadResult::kCannotOpen);
    EXPECT_EQ(messages.str(), "Cannot open file: " + dir.file("missing.txt") + "\n");
    const auto result = run_command(kConvert, {"-f", format.name, dir.file("missing.txt")});
    EXPECT_EQ(result.exit_status, 1);
    EXPECT_EQ(result.err, "Cannot open file: " + dir.file("missing.txt") + "\n");
    messages.str("");
    EXPECT_EQ(format.from_path(db, dir.file("empty.txt"), "article", messages), ReadResult::kDone);
    EXPECT_EQ(format.from_path(db, dir.file("prose.txt"), "article", messages), ReadResult::kDone);
    EXPECT_EQ(messages.str(), "");
    EXPECT_EQ(db.ref_count(), 0U);
  }
}

// A blank line inside a record adds nothing to the field before it: in RIS
// the field goes on after it, in .nbib it ends there.
TEST(TodaysFormats, ABlankLineAddsNothingToTheFieldBeforeIt) {
  const Format& nbib = todays_formats()[0];
  const Format& ris = todays_formats()[1];
  const ReferenceDatabase from_ris =
      import_text(ris, "TY  - JOUR\nTI  - Wrapped\n\n   \ntitle\nAB  - Last\n\nER  - \n", RecordStorage::kBuffered);
  ASSERT_EQ(from_ris.ref_count(), 1U);
  EXPECT_EQ(from_ris.reference(0).text(kTitle), "Wrapped title");
  EXPECT_EQ(from_ris.reference(0).text(kAbstract), "Last");
  const ReferenceDatabase from_nbib =
      import_text(nbib, "PMID- 1\nTI  - Wrapped\n\n      title\n", RecordStorage::kBuffered);
  ASSERT_EQ(from_nbib.ref_count(), 1U);
  EXPECT_EQ(from_nbib.reference(0).text(kTitle), "Wrapped");
}

// Every importer, old and new, reads the files of every other format to
// their end without harm: a record of its own put after one comes out last.
TEST(TodaysFormats, ReadEveryOtherFormatsFilesToTheEnd) {
  std::vector<Format> all = formats();
  all.insert(all.end(), todays_formats().begin(), todays_formats().end());
  for (const Format& format : all) {
    for (const Format& other : all) {
      if (other.name == format.name) continue;
      const bool involves_new =
          format.name == "nbib" || format.name == "ris" || other.name == "nbib" || other.name == "ris";
      if (!involves_new) continue;  // the test above covers those
      for (const auto& file : fs::directory_iterator(kDataDir / other.name)) {
        if (file.path().extension() != ".txt") continue;
        SCOPED_TRACE(format.name + " reading " + file.path().string());
        const std::string text = read_file(file.path().string()) + "\n" + format.sentinel;
        const ReferenceDatabase db = import_text(format, text, RecordStorage::kBuffered);
        ASSERT_GE(db.ref_count(), 1U);
        EXPECT_EQ(db.reference(db.ref_count() - 1).text(kTitle), "Sentinel");
        for (std::size_t i = 0; i < db.ref_count(); ++i) EXPECT_EQ(db.reference(i).ref_id(), i + 1);
      }
    }
  }
}

}  // namespace
}  // namespace refloom
