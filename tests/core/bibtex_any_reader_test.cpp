// The data cases under tests/import/data/bibtex-any cover the styles of real
// files; these tests pin what they cannot: the stream and path entry points,
// loads into a database that holds references, and the exact messages.

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "core/bibtex_any_reader.h"
#include "core/bibtex_writer.h"
#include "core/message_stream.h"
#include "support/temp_dir.h"

namespace refloom {
namespace {

using testing::TempDir;

struct Read {
  ReferenceDatabase db;
  std::string messages;
};

Read read_text(std::string_view text) {
  Read read;
  std::ostringstream messages;
  read_bibtex_any_text(read.db, text, messages);
  read.messages = messages.str();
  return read;
}

TEST(BibtexAnyReader, MissingFileIsReportedAndChangesNothing) {
  ReferenceDatabase db;
  std::ostringstream messages;
  EXPECT_EQ(read_bibtex_any(db, "/nonexistent/x.bib", messages), ReadResult::kCannotOpen);
  EXPECT_EQ(messages.str(), "Cannot open file: /nonexistent/x.bib\n");
  EXPECT_TRUE(db.empty());
}

TEST(BibtexAnyReader, PathStreamAndTextGiveTheSameReferences) {
  const std::string text = "@Article{k1,\n\tTitle = {T},\n\tyear = 2001 }\n@misc(3, note = \"n\")\n";
  TempDir dir;
  const std::string path = dir.file("in.bib");
  testing::write_file(path, text);
  ReferenceDatabase from_path;
  std::ostringstream messages;
  EXPECT_EQ(read_bibtex_any(from_path, path, messages), ReadResult::kDone);
  const Read from_text = read_text(text);
  EXPECT_EQ(from_path.references(), from_text.db.references());
  ASSERT_EQ(from_text.db.ref_count(), 2U);
  EXPECT_EQ(from_text.db.reference(0).ref_id(), 4U);  // the first free number above those of the file
  EXPECT_EQ(from_text.db.reference(0).text(kEntryTypeSlot), "article");
  EXPECT_EQ(from_text.db.reference(0).text(kYear), "2001");
  EXPECT_EQ(from_text.db.reference(1).ref_id(), 3U);
  EXPECT_EQ(messages.str(), "");
}

TEST(BibtexAnyReader, ValuesKeepTheirTextAsWritten) {
  const Read read = read_text(
      "@article{1, title = {  spaced {Nested {deep}} %not a comment\n  second line  },\n"
      "author = \"M{\\\"u}ller and {\"}Q{\"}\", note = {}, abstract = \"\"}\n");
  const Reference& r = read.db.reference(0);
  EXPECT_EQ(r.text(kTitle), "  spaced {Nested {deep}} %not a comment\n  second line  ");
  EXPECT_EQ(r.text(kAuthor), "M{\\\"u}ller and {\"}Q{\"}");
  EXPECT_EQ(r.text(kNote), "");  // an empty value is an empty text, as in the BibTeX format
  EXPECT_EQ(r.text(kAbstract), "");
  EXPECT_EQ(read.messages, "");
}

TEST(BibtexAnyReader, CarriageReturnsBeforeLineFeedsLeaveValues) {
  const Read read = read_text("@article{1, title = {a\r\nb\r\r\nc\rd}}\r\n");
  EXPECT_EQ(read.db.reference(0).text(kTitle), "a\nb\nc\rd");
}

TEST(BibtexAnyReader, MonthMacrosAndStringsInAnyCase) {
  const Read read = read_text(
      "@string{MyJ = {J}}\n@misc{1, month = JAN, journal = myj # \" \" # Feb,"
      " note = mar # apr # may # jun # jul # aug # sep # oct # nov # dec}\n");
  const Reference& r = read.db.reference(0);
  EXPECT_EQ(r.text(kMonth), "January");
  EXPECT_EQ(r.text(kJournal), "J February");
  EXPECT_EQ(r.text(kNote), "MarchAprilMayJuneJulyAugustSeptemberOctoberNovemberDecember");
}

TEST(BibtexAnyReader, StringsCanBeRedefinedAndDefineMonthsAnew) {
  const Read read = read_text(
      "@string{x = \"one\"}\n@misc{1, note = x}\n@string{x = \"two\"}\n@string{jan = {Jan.}}\n"
      "@misc{2, note = x, month = jan}\n");
  EXPECT_EQ(read.db.reference(0).text(kNote), "one");
  EXPECT_EQ(read.db.reference(1).text(kNote), "two");
  EXPECT_EQ(read.db.reference(1).text(kMonth), "Jan.");
}

TEST(BibtexAnyReader, UnknownMacroIsReportedOnceAndReadAsItsName) {
  const Read read = read_text("@misc{1, note = Foo}\n\n@misc{2, note = foo # FOO, series = bar}\n");
  EXPECT_EQ(read.db.reference(0).text(kNote), "Foo");
  EXPECT_EQ(read.db.reference(1).text(kNote), "fooFOO");
  EXPECT_EQ(read.messages,
            "unknown macro in line 1: Foo, read as its name \n"
            "unknown macro in line 3: bar, read as its name \n");
}

TEST(BibtexAnyReader, BrokenStringAndPreambleAreReportedAndReadingGoesOn) {
  const Read read =
      read_text("@string{= \"x\"}\n@string{a \"x\"}\n@string{b = \"x\" c}\n@preamble{\"p\" q}\n@misc{1, note = b}\n");
  ASSERT_EQ(read.db.ref_count(), 1U);
  EXPECT_EQ(read.db.reference(0).text(kNote), "b");  // never defined
  EXPECT_EQ(read.messages,
            "BibTeX file corrupted in line 1 (@string): @string must define a macro as >> name = value <<, "
            "going on with the next entry \n"
            "BibTeX file corrupted in line 2 (@string): \"a\" must be followed by >> = <<, going on with the next "
            "entry \n"
            "BibTeX file corrupted in line 3 (@string): @string must end with >> } <<, going on with the next entry \n"
            "BibTeX file corrupted in line 4 (@preamble): @preamble must end with >> } <<, going on with the next "
            "entry \n"
            "unknown macro in line 5: b, read as its name \n");
}

TEST(BibtexAnyReader, FieldErrorsNameTheField) {
  const Read read =
      read_text("@misc{1, Title {x}}\n@misc(2, note = , year = 1)\n@misc(3, note = {n} year = 1)\n@misc{4, = {v}}\n");
  ASSERT_EQ(read.db.ref_count(), 4U);
  EXPECT_EQ(read.db.reference(2).text(kNote), "n");
  EXPECT_EQ(read.messages,
            "BibTeX file corrupted in line 1 (entry 1): \"title\" must be followed by >> = <<, going on with the next "
            "entry \n"
            "BibTeX file corrupted in line 2 (entry 2): note must start with >> { <<, >> \" <<, a number or a macro "
            "name, going on with the next entry \n"
            "BibTeX file corrupted in line 3 (entry 3): note field must be terminated with >> , << or >> ) <<, "
            "going on with the next entry \n"
            "BibTeX file corrupted in line 4 (entry 4): field name expected, going on with the next entry \n");
}

// The message names the line where the broken entry starts and its key,
// not the line where the damage shows.
TEST(BibtexAnyReader, AnEntryLeftOpenEndsAtTheNextAtSign) {
  const Read read = read_text("@misc{doe99, note = {a},\n\n  title = {T},\n@misc{2, note = {b}}\n");
  ASSERT_EQ(read.db.ref_count(), 2U);
  EXPECT_EQ(read.db.reference(0).text(kNote), "a");
  EXPECT_EQ(read.db.reference(0).text(kTitle), "T");
  EXPECT_EQ(read.db.reference(1).text(kNote), "b");
  EXPECT_EQ(read.messages,
            "BibTeX file corrupted in line 1 (entry doe99): field name expected, going on with the next entry \n");
}

TEST(BibtexAnyReader, AValueLeftOpenNamesItsEntryAndWhereTheValueStarts) {
  const Read read = read_text("\n@article{smith2020,\n  title = {T},\n  note = {open\n\n@misc{2, note = {b}}\n");
  ASSERT_EQ(read.db.ref_count(), 2U);
  EXPECT_EQ(read.db.reference(0).citation_key(), "smith2020");
  EXPECT_EQ(read.db.reference(0).text(kTitle), "T");
  EXPECT_EQ(read.db.reference(1).text(kNote), "b");
  EXPECT_EQ(read.messages,
            "BibTeX file corrupted in line 2 (entry smith2020): note value from line 4 not terminated before the "
            "end of the file, going on with the next entry \n");
}

TEST(BibtexAnyReader, EntryTypeMustBeFollowedByABraceOrParenthesis) {
  const Read read = read_text("mail me at me@example.org\n@misc{1, note = {x}}\n");
  ASSERT_EQ(read.db.ref_count(), 1U);
  EXPECT_EQ(read.messages,
            "BibTeX file corrupted in line 1: entry type must be followed by >> { << or >> ( <<, "
            "going on with the next entry \n");
}

// BibTeX takes the first value of a field given twice and warns; so does
// the reader, once per load.
TEST(BibtexAnyReader, RepeatedFieldsKeepTheirFirstValueAndAreCountedInNameOrder) {
  const Read read = read_text(
      "@misc{1, url = {u}, title = {first}, doi = {d}, Title = \"second\", URL = {v}, note = undefined}\n"
      "@misc{2, url = {w}, Title = {only}}\n@misc{3, year = 1, year = 2, year = 3}\n");
  EXPECT_EQ(read.db.reference(0).text(kTitle), "first");
  EXPECT_EQ(read.db.reference(1).text(kTitle), "only");
  EXPECT_EQ(read.db.reference(2).text(kYear), "1");
  const auto fields = read.db.reference(0).extras().unpack().other_fields;
  ASSERT_EQ(fields.size(), 2U);
  EXPECT_EQ(fields[0], (OtherField{"url", "u", ""}));
  EXPECT_EQ(fields[1], (OtherField{"doi", "d", ""}));
  EXPECT_EQ(read.messages,
            "unknown macro in line 1: undefined, read as its name \n"
            "fields given twice in an entry, the first value kept as BibTeX does: title (1), url (1), year (2) \n");
}

TEST(BibtexAnyReader, LoadIntoAHeldDatabaseNeverReusesItsNumbers) {
  ReferenceDatabase db;
  db.add_reference();
  db.reference(0).set_ref_id(1);
  std::ostringstream messages;
  read_bibtex_any_text(db, "@misc{a,}\n@misc{b,}\n", messages);
  ASSERT_EQ(db.ref_count(), 3U);
  EXPECT_EQ(db.reference(1).ref_id(), 2U);
  EXPECT_EQ(db.reference(2).ref_id(), 3U);
}

TEST(BibtexAnyReader, EveryKeylessReferenceGetsItsOwnNumber) {
  const Read read = read_text("@misc{x,}\n@misc{x,}\n@misc{,}\n@misc{2,}\n@misc{x,}\n");
  ASSERT_EQ(read.db.ref_count(), 5U);
  EXPECT_EQ(read.db.reference(0).ref_id(), 3U);
  EXPECT_EQ(read.db.reference(1).ref_id(), 4U);
  EXPECT_EQ(read.db.reference(2).ref_id(), 5U);
  EXPECT_EQ(read.db.reference(3).ref_id(), 2U);
  EXPECT_EQ(read.db.reference(4).ref_id(), 6U);
  EXPECT_EQ(read.db.reference(2).citation_key(), "");
  EXPECT_EQ(read.db.reference(3).citation_key(), "");
  EXPECT_EQ(read.db.reference(4).citation_key(), "x");
  EXPECT_EQ(read.db.reference(4).text(kComment), std::nullopt);
}

TEST(BibtexAnyReader, LargestNumberIsAKeyAndOneAboveIsNot) {
  const Read read = read_text("@misc{18446744073709551615,}\n@misc{18446744073709551616,}\n@misc{+5,}\n");
  EXPECT_EQ(read.db.reference(0).ref_id(), 18446744073709551615ULL);
  EXPECT_EQ(read.db.reference(0).citation_key(), "");
  EXPECT_EQ(read.db.reference(1).citation_key(), "18446744073709551616");
  EXPECT_EQ(read.db.reference(2).citation_key(), "+5");
  EXPECT_NE(read.db.reference(1).ref_id(), read.db.reference(0).ref_id());
  EXPECT_NE(read.db.reference(2).ref_id(), read.db.reference(1).ref_id());
}

TEST(BibtexAnyReader, Utf16WithoutItsLastByteAndWithBrokenSurrogates) {
  // "@misc{1, note = {" then a lone high surrogate, "x}}", then an odd byte.
  std::string text = "\xFF\xFE";
  for (char c : std::string("@misc{1, note = {")) text.append({c, '\0'});
  text.append("\x00\xD8", 2);
  for (char c : std::string("x}}")) text.append({c, '\0'});
  text.push_back('\n');
  const Read read = read_text(text);
  ASSERT_EQ(read.db.ref_count(), 1U);
  EXPECT_EQ(read.db.reference(0).text(kNote), "\xEF\xBF\xBDx");
}

TEST(MessageStream, WritesEveryByteInWholeLinesWhenFlushed) {
  TempDir dir;
  const std::string path = dir.file("messages.txt");
  std::FILE* target = std::fopen(path.c_str(), "wb");
  ASSERT_NE(target, nullptr);
  std::string expected;
  {
    MessageStream messages(target);
    messages << "unknown field: "
             << "x"
             << " skip this line! \n";
    messages.flush();
    expected = "unknown field: x skip this line! \n";
    EXPECT_EQ(testing::read_file(path), expected);
    messages << "half a line";
    EXPECT_EQ(testing::read_file(path), expected);  // nothing before the flush
    for (int i = 0; i < 20000; ++i) messages << "line " << i << "\n";
    // A large amount goes out before the flush, but only in whole lines.
    const std::string so_far = testing::read_file(path);
    EXPECT_GT(so_far.size(), expected.size());
    EXPECT_EQ(so_far.back(), '\n');
    expected += "half a line";
    for (int i = 0; i < 20000; ++i) expected += "line " + std::to_string(i) + "\n";
    messages << "no line end";
  }
  std::fclose(target);
  EXPECT_EQ(testing::read_file(path), expected + "no line end");
}

}  // namespace
}  // namespace refloom
