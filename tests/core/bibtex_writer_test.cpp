#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <sstream>

#include "core/bibtex_reader.h"
#include "core/bibtex_value.h"
#include "core/bibtex_writer.h"
#include "support/temp_dir.h"

namespace refloom {
namespace {

using testing::read_file;
using testing::TempDir;
using testing::write_file;

std::string written(const ReferenceDatabase& db) {
  std::ostringstream messages;
  std::string out = bibtex_text(db, messages);
  EXPECT_EQ(messages.str(), "");
  return out;
}

ReferenceDatabase one(std::string_view type, RefId id) {
  ReferenceDatabase db;
  db.add_reference();
  db.set_entry_type(1, type);
  db.set_ref_id(1, id);
  return db;
}

TEST(BibtexWriter, HeaderAndClosingOnly) {
  EXPECT_EQ(written(one("article", 12)), "@article{12,\n}\n\n");
  EXPECT_EQ(written(one("Book ", 18446744073709551615ULL)), "@Book {18446744073709551615,\n}\n\n");
}

TEST(BibtexWriter, FieldsInFieldOrderSkippingEmptyAndAbsent) {
  ReferenceDatabase db = one("article", 12);
  db.append_field("year", 1, "1995");
  db.append_field("author", 1, "Doe, J.");
  db.append_field("note", 1, "");
  EXPECT_EQ(written(db), "@article{12,\nauthor     = \"Doe, J.\",\nyear       = \"1995\",\n}\n\n");
}

TEST(BibtexWriter, EveryPrefixIsExact) {
  ReferenceDatabase db = one("misc", 1);
  for (const FieldInfo& field : kFieldOrder) db.append_field(field.name, 1, "v");
  EXPECT_EQ(written(db),
            "@misc{1,\n"
            "abstract   = \"v\",\n"
            "address    = \"v\",\n"
            "annote     = \"v\",\n"
            "author     = \"v\",\n"
            "booktitle  = \"v\",\n"
            "chapter    = \"v\",\n"
            "comment    = \"v\",\n"
            "crossref   = \"v\",\n"
            "edition    = \"v\",\n"
            "editor     = \"v\",\n"
            "howpublished  = \"v\",\n"
            "institution= \"v\",\n"
            "journal    = \"v\",\n"
            "key        = \"v\",\n"
            "keyword    = \"v\",\n"
            "month      = \"v\",\n"
            "note       = \"v\",\n"
            "number     = \"v\",\n"
            "organization = \"v\",\n"
            "pages      = \"v\",\n"
            "publisher  = \"v\",\n"
            "reprint    = \"v\",\n"
            "school     = \"v\",\n"
            "series     = \"v\",\n"
            "title      = \"v\",\n"
            "type       = \"v\",\n"
            "volume     = \"v\",\n"
            "year       = \"v\",\n"
            "}\n\n");
}

TEST(BibtexWriter, MultiLineValueStaysInOneQuotePair) {
  ReferenceDatabase db = one("article", 1);
  db.append_field("abstract", 1, "line one\n  line two");
  EXPECT_EQ(written(db), "@article{1,\nabstract   = \"line one\n  line two\",\n}\n\n");
}

// Quotes only where BibTeX and both BibTeX formats read the value back
// unchanged from them: BibTeX ends a quoted value at a quote outside braces
// (a backslash escapes nothing there), the "BibTeX" format at any quote
// but \" and {"}.
TEST(BibtexWriter, QuotesOnlyWhereEveryReaderReadsTheValueBack) {
  EXPECT_TRUE(fits_quotes("plain"));
  EXPECT_TRUE(fits_quotes("M{\\\"u}ller"));
  EXPECT_TRUE(fits_quotes("a {\"} b"));
  EXPECT_TRUE(fits_quotes(""));
  EXPECT_FALSE(fits_quotes("M\\\"uller"));  // BibTeX would stop at the quote
  EXPECT_FALSE(fits_quotes("say \"hi\""));
  EXPECT_FALSE(fits_quotes("{say \"hi\"}"));  // BibTeX would take it, the "BibTeX" format not
  EXPECT_FALSE(fits_quotes("ends in \\"));
  EXPECT_FALSE(fits_quotes("a\n\"b"));  // quote opening a line
  EXPECT_FALSE(fits_quotes("{\n\"}"));  // {"} split over lines
  EXPECT_FALSE(fits_quotes("unbalanced {"));
  EXPECT_FALSE(fits_quotes("closes } nothing {"));
}

TEST(BibtexWriter, BracesBalancedAsLittleAsPossible) {
  EXPECT_TRUE(braces_balance("a {b} c"));
  EXPECT_FALSE(braces_balance("}{"));
  EXPECT_EQ(balance_braces("a { b"), "a { b}");
  EXPECT_EQ(balance_braces("a } b"), "{a } b");
  EXPECT_EQ(balance_braces("}a{{"), "{}a{{}}");
  EXPECT_EQ(balance_braces("fine {x}"), "fine {x}");
}

TEST(BibtexWriter, BracedAndBalancedValuesAreWrittenExactly) {
  ReferenceDatabase db = one("misc", 1);
  db.append_field("title", 1, "say \"hi\"");
  db.append_field("author", 1, "M\\\"uller, Hans");
  db.append_field("note", 1, "a\"b{");
  db.append_field("year", 1, "{\\");
  db.append_field("volume", 1, "x}");
  std::ostringstream messages;
  EXPECT_EQ(bibtex_text(db, messages),
            "@misc{1,\n"
            "author     = {M\\\"uller, Hans},\n"
            "note       = {a\"b{}},\n"
            "title      = {say \"hi\"},\n"
            "volume     = \"{x}\",\n"
            "year       = \"{\\}\",\n"
            "}\n\n");
  EXPECT_EQ(messages.str(),
            "braces balanced in note of 1, so that BibTeX reads the file \n"
            "braces balanced in volume of 1, so that BibTeX reads the file \n"
            "braces balanced in year of 1, so that BibTeX reads the file \n");
}

TEST(BibtexWriter, ReferenceWithoutEntryTypeIsWrittenAsMisc) {
  ReferenceDatabase db;
  db.add_reference();
  db.append_field("title", 1, "T");
  EXPECT_EQ(written(db), "@misc{0,\ntitle      = \"T\",\n}\n\n");
}

TEST(BibtexWriter, EmptyDatabaseGivesAnEmptyFile) {
  TempDir dir;
  const std::string path = dir.file("out.bib");
  std::ostringstream messages;
  EXPECT_EQ(write_bibtex(ReferenceDatabase(), path, messages), WriteResult::kDone);
  EXPECT_EQ(read_file(path), "");
  EXPECT_EQ(messages.str(), "");
}

TEST(BibtexWriter, UnopenablePathIsReported) {
  std::ostringstream messages;
  EXPECT_EQ(write_bibtex(one("a", 1), "/nonexistent/dir/out.bib", messages), WriteResult::kFailed);
  EXPECT_EQ(messages.str(), "Cannot open file: /nonexistent/dir/out.bib\n");
  TempDir dir;
  messages.str("");
  EXPECT_EQ(write_bibtex(one("a", 1), dir.path(), messages), WriteResult::kFailed);
  EXPECT_EQ(messages.str(), "Cannot open file: " + dir.path() + "\n");
}

TEST(BibtexWriter, ReplacesAnExistingFileKeepingItsPermissions) {
  TempDir dir;
  const std::string path = dir.file("refs.bib");
  write_file(path, "old content that is longer than the new one\n");
  ASSERT_EQ(chmod(path.c_str(), 0640), 0);
  std::ostringstream messages;
  ASSERT_EQ(write_bibtex(one("article", 3), path, messages), WriteResult::kDone);
  EXPECT_EQ(read_file(path), "@article{3,\n}\n\n");
  struct stat status;
  ASSERT_EQ(stat(path.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0640U);
  // No temporary file is left beside it.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

TEST(BibtexWriter, WritesThroughASymbolicLink) {
  TempDir dir;
  const std::string target = dir.file("real.bib");
  const std::string link = dir.file("link.bib");
  write_file(target, "old");
  ASSERT_EQ(symlink("real.bib", link.c_str()), 0);
  std::ostringstream messages;
  ASSERT_EQ(write_bibtex(one("misc", 1), link, messages), WriteResult::kDone);
  struct stat status;
  ASSERT_EQ(lstat(link.c_str(), &status), 0);
  EXPECT_TRUE(S_ISLNK(status.st_mode));
  EXPECT_EQ(read_file(target), "@misc{1,\n}\n\n");
}

TEST(BibtexWriter, FailedWriteLeavesTheOldFileAndReportsIt) {
  TempDir dir;
  const std::string path = dir.file("refs.bib");
  write_file(path, "precious\n");
  ReferenceDatabase db;
  for (int i = 0; i < 2000; ++i) {
    db.add_reference();
    db.set_ref_id(db.ref_count(), db.ref_count());
    db.set_entry_type(db.ref_count(), "article");
    db.set_title(db.ref_count(), std::string(100, 't'));
  }
  // A file size limit makes the writes fail part way, as a full disk would.
  struct rlimit old_limit;
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old_limit), 0);
  const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old_limit;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  std::ostringstream messages;
  const WriteResult result = write_bibtex(db, path, messages);
  setrlimit(RLIMIT_FSIZE, &old_limit);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_EQ(result, WriteResult::kFailed);
  EXPECT_EQ(messages.str(), "Cannot write file: " + path + "\n");
  EXPECT_EQ(read_file(path), "precious\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 1);
}

// Round trip: whatever is written reads back into equal references, except
// that empty texts come back absent (they are not written).
std::string random_text(std::mt19937& rng, bool allow_empty) {
  static const std::string alphabet = "ab {}\"\\\n@,=%xyz\r\t";
  const int length = std::uniform_int_distribution<int>(allow_empty ? 0 : 1, 12)(rng);
  std::string text;
  for (int i = 0; i < length; ++i) {
    text += alphabet[std::uniform_int_distribution<std::size_t>(0, alphabet.size() - 1)(rng)];
  }
  return text;
}

TEST(BibtexWriter, RandomReferencesReadBackEqual) {
  std::mt19937 rng(2024);
  TempDir dir;
  const std::string path = dir.file("round.bib");
  for (int round = 0; round < 200; ++round) {
    ReferenceDatabase db;
    ReferenceDatabase expected;
    const int count = std::uniform_int_distribution<int>(0, 5)(rng);
    for (int i = 0; i < count; ++i) {
      db.add_reference();
      expected.add_reference();
      const auto n = db.ref_count();
      const RefId id = (static_cast<RefId>(rng()) << 32) | rng();
      db.set_ref_id(n, id);
      expected.set_ref_id(n, id);
      // Appended rather than "t" + to_string(...): GCC 12 at -O3 sees a
      // possible overlap in the prepending operator+ (-Wrestrict).
      std::string type = "t";
      type += std::to_string(rng() % 100);
      db.set_entry_type(n, type);
      expected.set_entry_type(n, type);
      for (const FieldInfo& field : kFieldOrder) {
        if (rng() % 3 != 0) continue;
        std::string value = random_text(rng, true);
        // A carriage return before a line feed reads back as part of the
        // line end; braces that do not balance are written balanced.
        if (value.find("\r\n") != std::string::npos) continue;
        db.reference(n - 1).set_text(field.slot, value);
        if (!value.empty()) expected.reference(n - 1).set_text(field.slot, balance_braces(value));
      }
    }
    std::ostringstream messages;
    ASSERT_EQ(write_bibtex(db, path, messages), WriteResult::kDone);
    ReferenceDatabase back;
    std::ostringstream read_messages;
    ASSERT_EQ(read_bibtex(back, path, read_messages), ReadResult::kDone);
    EXPECT_EQ(read_messages.str(), "") << read_file(path);
    ASSERT_EQ(back.ref_count(), expected.ref_count()) << read_file(path);
    for (std::size_t i = 0; i < back.ref_count(); ++i) {
      EXPECT_EQ(back.reference(i), expected.reference(i)) << read_file(path);
    }
  }
}

TEST(BibtexWriter, UnbalancedValuesKeepTheRestOfTheFileReadable) {
  TempDir dir;
  const std::string path = dir.file("p.bib");
  ReferenceDatabase db = one("misc", 1);
  db.append_field("note", 1, "\"{ and \\");
  db.append_field("title", 1, "after");
  db.add_reference();
  db.set_entry_type(2, "article");
  db.set_ref_id(2, 2);
  std::ostringstream messages;
  ASSERT_EQ(write_bibtex(db, path, messages), WriteResult::kDone);
  ReferenceDatabase back;
  std::ostringstream read_messages;
  read_bibtex(back, path, read_messages);
  EXPECT_EQ(read_messages.str(), "");
  ASSERT_EQ(back.ref_count(), 2U);
  EXPECT_EQ(back.reference(0).text(kNote), "\"{ and \\}");
  EXPECT_EQ(back.reference(0).text(kTitle), "after");
  EXPECT_EQ(back.reference(1).ref_id(), 2U);
}

}  // namespace
}  // namespace refloom
