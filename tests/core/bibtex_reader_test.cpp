#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "core/bibtex_reader.h"
#include "core/bibtex_writer.h"
#include "support/temp_dir.h"

namespace refloom {
namespace {

using testing::TempDir;

struct Read {
  ReferenceDatabase db;
  std::string messages;
  ReadResult result = ReadResult::kDone;
};

Read read_text(std::string_view text) {
  TempDir dir;
  const std::string path = dir.file("in.bib");
  testing::write_file(path, text);
  Read read;
  std::ostringstream messages;
  read.result = read_bibtex(read.db, path, messages);
  read.messages = messages.str();
  return read;
}

TEST(BibtexReader, MissingFileIsReportedAndChangesNothing) {
  ReferenceDatabase db;
  std::ostringstream messages;
  EXPECT_EQ(read_bibtex(db, "/nonexistent/x.bib", messages), ReadResult::kCannotOpen);
  EXPECT_EQ(messages.str(), "Cannot open file: /nonexistent/x.bib\n");
  EXPECT_TRUE(db.empty());
  TempDir dir;
  EXPECT_EQ(read_bibtex(db, dir.path(), messages), ReadResult::kCannotOpen);  // a directory is no file
}

TEST(BibtexReader, NestedBracesAndClosingLine) {
  const Read read = read_text("@article{12,\ntitle = {A {nested} title}\n}\n");
  ASSERT_EQ(read.db.ref_count(), 1U);
  const Reference& r = read.db.reference(0);
  EXPECT_EQ(r.ref_id(), 12U);
  EXPECT_EQ(r.text(kEntryTypeSlot), "article");
  EXPECT_EQ(r.text(kTitle), "A {nested} title");
  EXPECT_EQ(read.messages, "");
  EXPECT_EQ(read.result, ReadResult::kDone);
}

TEST(BibtexReader, QuotedValuesKeepEscapedAndEnclosedQuotes) {
  const Read read = read_text("@article{1,\nauthor = \"M{\\\"u}ller\",\ntitle = \"a {\"} b\",\n}\n");
  ASSERT_EQ(read.db.ref_count(), 1U);
  EXPECT_EQ(read.db.reference(0).text(kAuthor), "M{\\\"u}ller");
  EXPECT_EQ(read.db.reference(0).text(kTitle), "a {\"} b");
}

TEST(BibtexReader, EntryTypeIsVerbatimAndFieldNamesInAnyCase) {
  const Read read =
      read_text("@ Article {3,\nTitle = {x},\nAUTHOR = {A},\nKeyWords = {k},\nKEY = {K},\nyear = {1990}\n}\n");
  ASSERT_EQ(read.db.ref_count(), 1U);
  const Reference& r = read.db.reference(0);
  EXPECT_EQ(r.text(kEntryTypeSlot), " Article ");
  EXPECT_EQ(r.text(kTitle), "x");
  EXPECT_EQ(r.text(kAuthor), "A");
  EXPECT_EQ(r.text(kKeyword), "k");  // the prefix rule holds in any case
  EXPECT_EQ(r.text(kKey), "K");
  EXPECT_EQ(r.text(kYear), "1990");
  EXPECT_EQ(read.messages, "");
}

TEST(BibtexReader, MessagesNameFieldsInLowerCase) {
  const Read read = read_text("@article{1,\nYEAR = 1990,\n}\n");
  EXPECT_EQ(read.messages,
            "BibTeX file corrupted in reference 1 ! \nyear must start with either >> { << or >> \" << \n");
}

TEST(BibtexReader, KeysReadAsNumbers) {
  const Read read = read_text(
      "@misc{smith99,\n}\n@misc{12a,\n}\n@misc{ 7,\n}\n@misc{7,\n}\n"
      "@misc{18446744073709551615,\n}\n@misc{-1,\n}\n@misc{+5,\n}\n");
  ASSERT_EQ(read.db.ref_count(), 7U);
  EXPECT_EQ(read.db.reference(0).ref_id(), 0U);
  EXPECT_EQ(read.db.reference(1).ref_id(), 12U);
  EXPECT_EQ(read.db.reference(2).ref_id(), 7U);
  EXPECT_EQ(read.db.reference(3).ref_id(), 7U);  // duplicates stay
  EXPECT_EQ(read.db.reference(4).ref_id(), 18446744073709551615ULL);
  EXPECT_EQ(read.db.reference(5).ref_id(), 18446744073709551615ULL);
  EXPECT_EQ(read.db.reference(6).ref_id(), 5U);
  EXPECT_EQ(parse_key("99999999999999999999999"), 18446744073709551615ULL);
  EXPECT_EQ(parse_key("-2"), 18446744073709551614ULL);
  EXPECT_EQ(parse_key(""), 0U);
}

TEST(BibtexReader, FieldNamesMatchAsPrefixes) {
  const Read read = read_text("@book{1,\nkeywords = {x, y},\neditors = {E},\ntitlex = {T},\nkey = {K},\n}\n");
  const Reference& r = read.db.reference(0);
  EXPECT_EQ(r.text(kKeyword), "x, y");
  EXPECT_EQ(r.text(kEditor), "E");
  EXPECT_EQ(r.text(kTitle), "T");
  EXPECT_EQ(r.text(kKey), "K");
}

TEST(BibtexReader, TabsAreBlanks) {
  const Read read = read_text(
      "@article{\t5,\n\ttitle\t=\t{x}\t,\tnote = {n},\n\t \tyear = {2000}\t\n\t}\n@misc{6,\n\tnote = {b},\n\t}\n");
  ASSERT_EQ(read.db.ref_count(), 2U);
  EXPECT_EQ(read.messages, "");
  const Reference& r = read.db.reference(0);
  EXPECT_EQ(r.ref_id(), 5U);
  EXPECT_EQ(r.text(kTitle), "x");
  EXPECT_EQ(r.text(kNote), "n");
  EXPECT_EQ(r.text(kYear), "2000");
  EXPECT_EQ(read.db.reference(1).text(kNote), "b");
}

TEST(BibtexReader, TabIndentedClosingBraceEndsItsEntry) {
  // Before, the brace was an unknown field and the next header was taken
  // for one too, merging the entries.
  const Read read = read_text("@article{1,\n\ttitle = {T},\n\t}\n@article{2,\n\tyear = {1999},\n\t}\n");
  ASSERT_EQ(read.db.ref_count(), 2U);
  EXPECT_FALSE(read.db.reference(0).has(kYear));
  EXPECT_EQ(read.db.reference(1).text(kYear), "1999");
  EXPECT_EQ(read.messages, "");
}

TEST(BibtexReader, CarriageReturnLineEndsReadLikeLineFeeds) {
  const std::string lf = "@article{1,\ntitle = {T},\nabstract = {a\n\nb},\nyear = {2000}\n}\n@misc{2,\n}\n";
  std::string crlf;
  for (char c : lf) {
    if (c == '\n') crlf.push_back('\r');
    crlf.push_back(c);
  }
  const Read read = read_text(crlf);
  const Read plain = read_text(lf);
  ASSERT_EQ(read.db.ref_count(), 2U);
  EXPECT_EQ(read.db.reference(0).text(kTitle), "T");
  EXPECT_EQ(read.db.reference(0).text(kAbstract), "a\n\nb");
  EXPECT_EQ(read.db.reference(0).text(kYear), "2000");
  EXPECT_EQ(read.messages, "");
  EXPECT_EQ(read.db.references(), plain.db.references());
}

TEST(BibtexReader, CarriageReturnInsideALineIsAnOrdinaryCharacter) {
  const Read read = read_text("@article{1,\ntitle = {a\rb},\n\rnote = {n},\n}\n");
  EXPECT_EQ(read.db.reference(0).text(kTitle), "a\rb");
  EXPECT_EQ(read.messages, "unknown field: \rnote = {n}, skip this line! \n");
}

TEST(BibtexReader, BareNumberStopsWithTheOpeningMessage) {
  const Read read = read_text("@article{1,\ntitle = {T}\n}\n@article{2,\nyear = 1995,\ntitle = {U}\n}\n@misc{3,\n}\n");
  ASSERT_EQ(read.db.ref_count(), 2U);
  EXPECT_EQ(read.db.reference(0).text(kTitle), "T");
  EXPECT_FALSE(read.db.reference(1).has(kTitle));
  EXPECT_EQ(read.messages,
            "BibTeX file corrupted in reference 2 ! \n"
            "year must start with either >> { << or >> \" << \n");
  EXPECT_EQ(read.result, ReadResult::kDone);
}

TEST(BibtexReader, ClosingBraceOnTheValueLineStops) {
  const Read read = read_text("@article{1,\ntitle = {T}}\n");
  EXPECT_EQ(read.messages,
            "BibTeX file corrupted in reference 1 ! \n"
            "title field must be terminated with >> , << \n");
  EXPECT_EQ(read.db.reference(0).text(kTitle), "T");
}

TEST(BibtexReader, MissingEqualsSignStops) {
  const Read read = read_text("@article{4,\nauthor {X},\n}\n");
  EXPECT_EQ(read.messages, "BibTeX file corrupted in reference 1 ! \n\"author\" must be followed by >> = << \n");
}

TEST(BibtexReader, HeaderErrors) {
  Read read = read_text("@article{1,\n}\n@{2,\n}\n");
  ASSERT_EQ(read.db.ref_count(), 2U);
  EXPECT_FALSE(read.db.reference(1).has(kEntryTypeSlot));
  EXPECT_EQ(read.messages, "BibTeX file corrupted in reference: 2\nEntrytype must be followed by >> { << \n");

  read = read_text("@article 1,\n");
  EXPECT_EQ(read.messages, "BibTeX file corrupted in reference: 1\nEntrytype must be followed by >> { << \n");

  read = read_text("@preamble{\"x\"}\n");
  ASSERT_EQ(read.db.ref_count(), 1U);
  EXPECT_EQ(read.db.reference(0).text(kEntryTypeSlot), "preamble");
  EXPECT_EQ(read.messages, "BibTeX file corrupted in reference: 1\nEntrykey must be followed by >> , << \n");

  read = read_text("@article{,\n");
  EXPECT_EQ(read.messages, "BibTeX file corrupted in reference: 1\nEntrykey must be followed by >> , << \n");
}

TEST(BibtexReader, StringAndCommentEntriesWithACommaAreReferences) {
  // "y" is no field: its line is skipped, closing brace and all.
  const Read read = read_text("@string{x, y = {z}}\n}\n@comment{1, note = {n},\n}\n");
  ASSERT_EQ(read.db.ref_count(), 2U);
  EXPECT_EQ(read.db.reference(0).text(kEntryTypeSlot), "string");
  EXPECT_EQ(read.db.reference(1).text(kEntryTypeSlot), "comment");
  EXPECT_EQ(read.db.reference(1).text(kNote), "n");
}

TEST(BibtexReader, MultiLineValues) {
  const Read read = read_text("@article{1,\ntitle = {one\n  two\nthree},\nabstract = \"a\n\nb\",\nnote = {\nx},\n}\n");
  const Reference& r = read.db.reference(0);
  EXPECT_EQ(r.text(kTitle), "one\n  two\nthree");
  EXPECT_EQ(r.text(kAbstract), "a\n\nb");
  EXPECT_EQ(r.text(kNote), "\nx");
}

TEST(BibtexReader, QuoteAtTheStartOfAContinuationLineEndsTheValue) {
  const Read read = read_text("@article{1,\ntitle = \"a\n\", year = {1}\n}\n");
  EXPECT_EQ(read.db.reference(0).text(kTitle), "a\n");
  EXPECT_EQ(read.db.reference(0).text(kYear), "1");
}

TEST(BibtexReader, FieldNamedTwiceKeepsBothValues) {
  const Read read = read_text("@article{1,\nnote = {a},\nnote = {},\nnote = {b},\n}\n");
  EXPECT_EQ(read.db.reference(0).text(kNote), "a\n\nb");
}

TEST(BibtexReader, MissingCommaEndsTheEntry) {
  const Read read = read_text("@article{1,\ntitle = {T}\nyear = {1999},\n}\n@misc{2,\n}\n");
  ASSERT_EQ(read.db.ref_count(), 2U);
  EXPECT_FALSE(read.db.reference(0).has(kYear));
  EXPECT_EQ(read.messages, "");
}

TEST(BibtexReader, MissingClosingBraceMergesTheNextHeaderAsUnknownField) {
  const Read read = read_text("@article{1,\ntitle = {T},\n@article{2,\nyear = {1999},\n}\n");
  ASSERT_EQ(read.db.ref_count(), 1U);
  EXPECT_EQ(read.db.reference(0).text(kYear), "1999");
  EXPECT_EQ(read.messages, "unknown field: @article{2, skip this line! \n");
}

TEST(BibtexReader, SeveralEntriesOnOneLine) {
  const Read read = read_text("@misc{1, note = {a}, }@misc{2, note = {b},}\n");
  ASSERT_EQ(read.db.ref_count(), 2U);
  EXPECT_EQ(read.db.reference(0).text(kNote), "a");
  EXPECT_EQ(read.db.reference(1).text(kNote), "b");
  EXPECT_EQ(read.db.reference(1).ref_id(), 2U);
}

TEST(BibtexReader, BlankLineBetweenFields) {
  const Read read = read_text("@article{1,\ntitle = {T},\n\nyear = {1},\n}\n");
  EXPECT_EQ(read.messages, "unknown field:  skip this line! \n");
  EXPECT_EQ(read.db.reference(0).text(kYear), "1");
}

TEST(BibtexReader, TextBetweenEntriesIsPassedOver) {
  const Read read = read_text("This file has no entries.\nNone at all\n");
  EXPECT_EQ(read.db.ref_count(), 0U);
  EXPECT_EQ(read.result, ReadResult::kDone);
  EXPECT_EQ(read.messages, "");
}

TEST(BibtexReader, EndOfFileInsideAnEntryOrValueKeepsWhatWasRead) {
  Read read = read_text("@article{1,\ntitle = {T},");
  ASSERT_EQ(read.db.ref_count(), 1U);
  EXPECT_EQ(read.db.reference(0).text(kTitle), "T");

  read = read_text("@article{1,\ntitle = {T},\nabstract = {first\nsecond");
  EXPECT_EQ(read.db.reference(0).text(kAbstract), "first\nsecond");
  EXPECT_EQ(read.messages, "");
}

TEST(BibtexReader, LongLinesAreReadWhole) {
  const std::string long_value(100000, 'x');
  const Read read = read_text("@article{1,\ntitle = {" + long_value + "},\nyear = {1}\n}\n");
  EXPECT_EQ(read.db.reference(0).text(kTitle), long_value);
  EXPECT_EQ(read.db.reference(0).text(kYear), "1");
}

// Values of many megabytes are copied out of the line in pieces that give
// the line's memory back; every byte must still arrive, whatever follows
// the value on its line and whichever way it is delimited.
TEST(BibtexReader, ValuesOfManyMegabytesArriveWhole) {
  std::string big;
  big.reserve(9 << 20);
  // Appended piece by piece: GCC 12 at -O3 flags "w" + std::to_string(...)
  // as a possibly overlapping copy (-Wrestrict).
  for (std::size_t i = 0; big.size() < (9U << 20); ++i) {
    big += 'w';
    big += std::to_string(i % 977);
    big += " {x} \\\"q ";
  }
  const std::string quoted = big + "tail";
  const Read read = read_text("@article{1, abstract = {" + big + "}, note = \"" + quoted +
                              "\", year = {2}\n}\n@misc{2,\n title = {" + big + "\n" + big + "},\n}\n@misc{3,\n}\n");
  EXPECT_EQ(read.messages, "");
  ASSERT_EQ(read.db.ref_count(), 3U);
  EXPECT_TRUE(read.db.reference(0).text(kAbstract) == big);
  EXPECT_TRUE(read.db.reference(0).text(kNote) == quoted);
  EXPECT_EQ(read.db.reference(0).text(kYear), "2");
  EXPECT_TRUE(read.db.reference(1).text(kTitle) == big + "\n" + big);
  EXPECT_EQ(read.db.reference(2).ref_id(), 3U);
  // And back out through the writer.
  TempDir dir;
  std::ostringstream messages;
  ASSERT_EQ(write_bibtex(read.db, dir.file("out.bib"), messages), WriteResult::kDone);
  const Read again = read_text(testing::read_file(dir.file("out.bib")));
  ASSERT_EQ(again.db.ref_count(), 3U);
  EXPECT_TRUE(again.db.reference(0) == read.db.reference(0));
  EXPECT_TRUE(again.db.reference(1) == read.db.reference(1));
}

TEST(BibtexReader, NumbersInMessagesCountEarlierReferences) {
  TempDir dir;
  const std::string path = dir.file("in.bib");
  testing::write_file(path, "@article{1,\nyear = 1\n}\n");
  ReferenceDatabase db;
  db.add_reference();
  db.add_reference();
  std::ostringstream messages;
  read_bibtex(db, path, messages);
  EXPECT_EQ(messages.str(),
            "BibTeX file corrupted in reference 3 ! \nyear must start with either >> { << or >> \" << \n");
}

TEST(BibtexReader, EveryFieldHasItsOwnMessages) {
  for (const FieldInfo& field : kFieldOrder) {
    const std::string name(field.name);
    Read read = read_text("@article{1,\n" + name + " x\n");
    EXPECT_EQ(read.messages,
              "BibTeX file corrupted in reference 1 ! \n\"" + name + "\" must be followed by >> = << \n");
    read = read_text("@article{1,\n" + name + " = x\n");
    EXPECT_EQ(read.messages,
              "BibTeX file corrupted in reference 1 ! \n" + name + " must start with either >> { << or >> \" << \n");
    read = read_text("@article{1,\n" + name + " = {v} x\n");
    EXPECT_EQ(read.messages,
              "BibTeX file corrupted in reference 1 ! \n" + name + " field must be terminated with >> , << \n");
    EXPECT_EQ(read.db.reference(0).text(field.slot), "v");
  }
}

// The "BibTeX" format tells which files want "BibTeX (any style)" instead:
// the window says so, standard output gets the messages as before.
TEST(BibtexReader, TellsBibtexInTodaysStyleFromItsOwn) {
  struct Case {
    const char* text;
    bool todays_style;
  };
  const Case cases[] = {
      // What Refloom writes, and hand-written files in its style.
      {"@article{3,\ntitle      = \"T\",\nyear       = \"1999\",\n}\n\n", false},
      {"@misc{12a,\ntitle = {A key written twice}\n}\n", false},
      {"@Book{ 5 , Title = {Any case}, YEAR = {2001}\n}\n", false},
      {"Text before the first entry.\n@misc{1,\n  keyword = {a\nb}\n}\n", false},
      {"", false},
      // Today's style.
      {"@article{smith2020,\n  title = {Text key}\n}\n", true},
      {"@misc{12A,\n  title = {Capital letters are no Refloom key}\n}\n", true},
      {"@misc{x12,\n  title = {T}\n}\n", true},
      {"@String{jacm = \"Journal of the ACM\"}\n@misc{1,\n  title = {T}\n}\n", true},
      {"@preamble{\"\\newcommand{\\x}{y}\"}\n", true},
      {"@misc{1,\n  title = {T}\n}\n@comment{jabref-meta: databaseType:bibtex;}\n", true},
      {"@article(1,\n  title = {Parentheses}\n)\n", true},
      {"@misc{1,\n  doi = {10.1000/1},\n  title = {T}\n}\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TempDir dir;
    const std::string path = dir.file("in.bib");
    testing::write_file(path, c.text);
    ReferenceDatabase db;
    std::ostringstream messages;
    FormatHints hints;
    hints.todays_bibtex = !c.todays_style;
    read_bibtex(db, path, messages, hints);
    EXPECT_EQ(hints.todays_bibtex, c.todays_style);
    // The same reading as without the question.
    ReferenceDatabase plain;
    std::ostringstream plain_messages;
    read_bibtex(plain, path, plain_messages);
    EXPECT_EQ(messages.str(), plain_messages.str());
    EXPECT_EQ(bibtex_text(db, messages), bibtex_text(plain, plain_messages));
  }
}

}  // namespace
}  // namespace refloom
