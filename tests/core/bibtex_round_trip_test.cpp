// What a load of "BibTeX (any style)" keeps and a save gives back: keys,
// fields outside the 28, source forms of macro values, @preamble, @string
// and @comment; and the form's view of the key and the other fields.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/bibtex_any_reader.h"
#include "core/bibtex_reader.h"
#include "core/bibtex_writer.h"
#include "core/numbering.h"
#include "core/other_fields.h"
#include "core/search.h"

namespace refloom {
namespace {

struct Loaded {
  ReferenceDatabase db;
  std::string messages;
};

Loaded load(std::string_view text) {
  Loaded loaded;
  std::ostringstream messages;
  read_bibtex_any_text(loaded.db, text, messages);
  loaded.messages = messages.str();
  return loaded;
}

std::string save(const ReferenceDatabase& db, std::string* messages = nullptr) {
  std::ostringstream out;
  std::string text = bibtex_text(db, out);
  if (messages != nullptr) *messages = out.str();
  return text;
}

// What a reference holds, source forms aside: a value whose macro the file
// defined only after using it comes back as the text it was read as.
void expect_same_content(const Reference& a, const Reference& b, const std::string& context) {
  EXPECT_EQ(a.ref_id(), b.ref_id()) << context;
  for (int slot = 1; slot < kSlotCount; ++slot) EXPECT_EQ(a.text(slot), b.text(slot)) << slot << context;
  const ExtrasData x = a.extras().unpack();
  const ExtrasData y = b.extras().unpack();
  EXPECT_EQ(x.citation_key, y.citation_key) << context;
  EXPECT_EQ(x.derived, y.derived) << context;
  ASSERT_EQ(x.other_fields.size(), y.other_fields.size()) << context;
  for (std::size_t i = 0; i < x.other_fields.size(); ++i) {
    EXPECT_EQ(x.other_fields[i].name, y.other_fields[i].name) << context;
    EXPECT_EQ(x.other_fields[i].text, y.other_fields[i].text) << context;
  }
}

std::vector<std::string> blocks_of(const ReferenceDatabase& db, bool comments) {
  std::vector<std::string> texts;
  for (const BibtexBlock& block : db.blocks()) {
    if ((block.kind == BibtexBlock::Kind::kComment) == comments) texts.push_back(block.name + "=" + block.text);
  }
  return texts;
}

// Reading what a save wrote gives the same references and blocks (the
// comments behind the entries), and saving that gives the same file.
void expect_stable(const ReferenceDatabase& db) {
  const std::string written = save(db);
  const Loaded again = load(written);
  ASSERT_EQ(again.db.ref_count(), db.ref_count()) << written;
  for (std::size_t i = 0; i < db.ref_count(); ++i) expect_same_content(db.reference(i), again.db.reference(i), written);
  EXPECT_EQ(blocks_of(again.db, false), blocks_of(db, false)) << written;
  EXPECT_EQ(blocks_of(again.db, true), blocks_of(db, true)) << written;
  EXPECT_EQ(save(again.db), written);
}

TEST(RoundTrip, KeysOtherFieldsAndMacroValuesComeBackAsWritten) {
  const Loaded loaded = load(
      "@string{jn = {J. Ex.}}\n"
      "@Article{smith2020,\n"
      "  author = {M\\\"uller, Hans},\n"
      "  journal = jn,\n"
      "  month = nov,\n"
      "  pages = \"1--\" # {9},\n"
      "  DOI = {10.1/x},\n"
      "  publisher2 = jacm # { Press},\n"
      "  year = 2020,\n"
      "}\n");
  const Reference& r = loaded.db.reference(0);
  EXPECT_EQ(r.citation_key(), "smith2020");
  EXPECT_EQ(r.text(kJournal), "J. Ex.");
  EXPECT_EQ(r.text(kMonth), "November");
  EXPECT_EQ(r.text(kPages), "1--9");
  EXPECT_EQ(r.text(kComment), std::nullopt);  // the key no longer goes there
  EXPECT_EQ(loaded.messages, "unknown macro in line 8: jacm, read as its name \n");
  EXPECT_EQ(save(loaded.db),
            "@string{jn = \"J. Ex.\"}\n\n"
            "@article{smith2020,\n"
            "author     = {M\\\"uller, Hans},\n"
            "journal    = jn,\n"
            "month      = nov,\n"
            "pages      = \"1--\" # \"9\",\n"
            "year       = \"2020\",\n"
            "DOI        = \"10.1/x\",\n"
            "publisher2 = jacm # \" Press\",\n"
            "}\n\n");
}

TEST(RoundTrip, AChangedTextIsWrittenAsTextAndItsMacroFormOnlyWhileItStandsForIt) {
  Loaded loaded = load("@misc{k, month = nov, note = {x}}\n");
  ReferenceDatabase& db = loaded.db;
  db.load_edit_buffer(0);
  db.edit_buffer().text(kMonth) = "Nov.";
  db.store_edit_buffer(0);
  EXPECT_EQ(save(db), "@misc{k,\nmonth      = \"Nov.\",\nnote       = \"x\",\n}\n\n");
  db.load_edit_buffer(0);
  db.edit_buffer().text(kMonth) = "November";
  db.store_edit_buffer(0);
  EXPECT_EQ(save(db), "@misc{k,\nmonth      = nov,\nnote       = \"x\",\n}\n\n");
}

// The source forms are written with the macros as BibTeX will know them at
// that point of the saved file, where every @string stands before the
// entries: a value whose macro meant something else when it was read is
// written as its text.
TEST(RoundTrip, AMacroRedefinedLaterInTheFileKeepsEachEntrysText) {
  const Loaded loaded =
      load("@string{x = \"one\"}\n@misc{1, note = x}\n@string{x = \"two\"}\n@misc{2, note = x # \"!\"}\n");
  EXPECT_EQ(save(loaded.db),
            "@string{x = \"one\"}\n\n@string{x = \"two\"}\n\n"
            "@misc{1,\nnote       = \"one\",\n}\n\n"
            "@misc{2,\nnote       = x # \"!\",\n}\n\n");
}

TEST(RoundTrip, PreamblesStringsAndCommentsKeepTheirOrderAroundTheEntries) {
  const Loaded loaded = load(
      "@comment{first}\n@preamble{\"\\\\def\\\\a{A}\"}\n@misc{1, note = s}\n@string{s = \"S\"}\n"
      "@Comment(jabref-meta: x;)\n@preamble{ s # \"2\" }\n");
  EXPECT_EQ(save(loaded.db),
            "@preamble{\"\\\\def\\\\a{A}\"}\n\n@string{s = \"S\"}\n\n@preamble{s # \"2\"}\n\n"
            "@misc{1,\nnote       = \"s\",\n}\n\n"
            "@comment{first}\n\n@Comment(jabref-meta: x;)\n\n");
  expect_stable(loaded.db);
}

TEST(RoundTrip, AFileLoadedAgainAddsNoBlockTwiceAndAMacroOfAnotherTextIsNamed) {
  ReferenceDatabase db;
  std::ostringstream messages;
  const std::string first = "@preamble{\"P\"}\n@string{j = \"Journal\"}\n@comment{c}\n@misc{a, journal = j}\n";
  read_bibtex_any_text(db, first, messages);
  read_bibtex_any_text(db, first, messages);
  EXPECT_EQ(db.blocks().size(), 3U);
  EXPECT_EQ(messages.str(), "");
  read_bibtex_any_text(db, "@string{J = \"Other\"}\n@misc{b, journal = j # \"s\"}\n", messages);
  EXPECT_EQ(db.blocks().size(), 3U);
  EXPECT_EQ(db.reference(2).text(kJournal), "Others");
  EXPECT_EQ(messages.str(),
            "macros defined with another text by a file loaded before, this file's references keep their own "
            "text: j \n");
  const std::string saved = save(db);
  EXPECT_NE(saved.find("journal    = j,\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("journal    = \"Others\",\n"), std::string::npos) << saved;
}

// A macro of a file loaded before is known to the next one, as to BibTeX
// reading both files.
TEST(RoundTrip, MacrosOfAFileLoadedBeforeAreKnown) {
  ReferenceDatabase db;
  std::ostringstream messages;
  read_bibtex_any_text(db, "@string{j = \"Journal\"}\n", messages);
  read_bibtex_any_text(db, "@misc{b, journal = j}\n", messages);
  EXPECT_EQ(db.reference(0).text(kJournal), "Journal");
  EXPECT_EQ(messages.str(), "");
}

// biblatex's names fill the standard fields for the list, the form and the
// search; the save leaves what was filled in out, so that the file stays
// what it was, until the user makes the field their own.
TEST(RoundTrip, FieldsFilledFromBiblatexNamesAreNotWrittenUntilChanged) {
  Loaded loaded =
      load("@article{a, journaltitle = {JT}, date = {2021-05-03}, location = {Berlin}, keywords = {k1, k2}}\n");
  ReferenceDatabase& db = loaded.db;
  const Reference& r = db.reference(0);
  EXPECT_EQ(r.text(kJournal), "JT");
  EXPECT_EQ(r.text(kYear), "2021");
  EXPECT_EQ(r.text(kMonth), "May");
  EXPECT_EQ(r.text(kAddress), "Berlin");
  EXPECT_EQ(r.text(kKeyword), "k1, k2");
  const std::string kept =
      "@article{a,\njournaltitle = \"JT\",\ndate       = \"2021-05-03\",\nlocation   = \"Berlin\",\n"
      "keywords   = \"k1, k2\",\n}\n\n";
  EXPECT_EQ(save(db), kept);

  // A change of the biblatex field carries over to the field filled from it.
  db.load_edit_buffer(0);
  EXPECT_EQ(db.edit_buffer().text(kOtherFieldsText),
            "journaltitle = {JT}\ndate = {2021-05-03}\nlocation = {Berlin}\nkeywords = {k1, k2}");
  db.edit_buffer().text(kOtherFieldsText) = "journaltitle = {New}\ndate = {2021-05-03}\nkeywords = {k1, k2}";
  db.store_edit_buffer(0);
  EXPECT_EQ(db.reference(0).text(kJournal), "New");
  EXPECT_EQ(db.reference(0).text(kAddress), std::nullopt);
  EXPECT_EQ(save(db),
            "@article{a,\njournaltitle = \"New\",\ndate       = \"2021-05-03\",\nkeywords   = \"k1, k2\",\n}\n\n");

  // The user's own journal is written.
  db.load_edit_buffer(0);
  db.edit_buffer().text(kJournal) = "Mine";
  db.store_edit_buffer(0);
  EXPECT_EQ(save(db).find("journal    = \"Mine\",\n") != std::string::npos, true);
}

// Files saved before keys were kept hold the key as the comment's last
// line; it becomes the key again, and the line goes.
TEST(RoundTrip, TheKeyLineOfEarlierSavesBecomesTheKeyAgain) {
  const Loaded loaded = load(
      "@article{12,\ncomment    = \"mine\nBibTeX key: smith2020\",\ntitle      = \"T\",\n}\n\n"
      "@article{13,\ncomment    = \"BibTeX key: doe99\",\n}\n\n"
      "@article{14,\ncomment    = \"BibTeX key: two words\",\n}\n\n");
  EXPECT_EQ(loaded.db.reference(0).ref_id(), 12U);
  EXPECT_EQ(loaded.db.reference(0).citation_key(), "smith2020");
  EXPECT_EQ(loaded.db.reference(0).text(kComment), "mine");
  EXPECT_EQ(loaded.db.reference(1).citation_key(), "doe99");
  EXPECT_EQ(loaded.db.reference(1).text(kComment), std::nullopt);
  // Not a key a save could write: left as it is.
  EXPECT_EQ(loaded.db.reference(2).citation_key(), "");
  EXPECT_EQ(loaded.db.reference(2).text(kComment), "BibTeX key: two words");
  EXPECT_EQ(save(loaded.db),
            "@article{smith2020,\ncomment    = \"mine\",\ntitle      = \"T\",\n}\n\n"
            "@article{doe99,\n}\n\n"
            "@article{14,\ncomment    = \"BibTeX key: two words\",\n}\n\n");
}

// Found by the fuzzer: a carriage return at the end of a value, once lost
// when the key was appended to the comment after it.
TEST(RoundTrip, ACarriageReturnEndingAValueStays) {
  const Loaded loaded = load("@s{a,comment={\r}");
  ASSERT_EQ(loaded.db.ref_count(), 1U);
  EXPECT_EQ(loaded.db.reference(0).text(kComment), "\r");
  EXPECT_EQ(loaded.db.reference(0).citation_key(), "a");
  expect_stable(loaded.db);
}

TEST(RoundTrip, ValuesOfEveryShapeReadBackEqual) {
  const Loaded loaded = load(
      "@misc{x, title = {M\\\"uller {\"} and \"quotes\"}, note = \"{\\\"o}\", howpublished = {ends in \\\\},"
      " abstract = {two\nlines}, other = {\"}, more = \"a\" # \"b\", n = 12}\n");
  EXPECT_EQ(loaded.messages, "");
  expect_stable(loaded.db);
}

TEST(RoundTrip, KeysOfALoadStayUniqueAndCrossrefsFollow) {
  ReferenceDatabase db;
  std::ostringstream messages;
  read_bibtex_any_text(db, "@misc{smith2020,}\n@misc{doe,}\n", messages);
  const std::size_t before = db.ref_count();
  read_bibtex_any_text(db,
                       "@inproceedings{Smith2020, crossref = {DOE}}\n@proceedings{doe,}\n@misc{doe,}\n"
                       "@misc{new,}\n@misc{smith2020a,}\n",
                       messages);
  make_loaded_keys_unique(db, before, messages);
  EXPECT_EQ(db.reference(2).citation_key(), "Smith2020a");
  EXPECT_EQ(db.reference(3).citation_key(), "doea");
  EXPECT_EQ(db.reference(4).citation_key(), "doeb");
  EXPECT_EQ(db.reference(5).citation_key(), "new");
  EXPECT_EQ(db.reference(6).citation_key(), "smith2020aa");
  EXPECT_EQ(db.reference(2).text(kCrossref), "doea");
  EXPECT_EQ(messages.str(),
            "keys held already, renamed: Smith2020 -> Smith2020a, doe -> doea, doe -> doeb, "
            "smith2020a -> smith2020aa \n");
  // No two references are written under one key.
  const WrittenKeys keys(db);
  for (std::size_t i = 0; i < db.ref_count(); ++i) {
    for (std::size_t j = i + 1; j < db.ref_count(); ++j) EXPECT_FALSE(same_key(keys.key(i), keys.key(j)));
  }
}

TEST(RoundTrip, ANumberWrittenForAReferenceWithoutKeyNeverMeetsACitationKey) {
  ReferenceDatabase db;
  std::ostringstream messages;
  read_bibtex_any_text(db, "@misc{5a,}\n@misc{5,}\n@misc{5,}\n", messages);
  const WrittenKeys keys(db);
  EXPECT_EQ(keys.key(0), "5a");
  EXPECT_EQ(keys.key(1), "5");
  EXPECT_EQ(keys.key(2), "5b");
}

TEST(OtherFields, ShownAsNameValueLinesAndReadBack) {
  ExtrasData extras;
  extras.other_fields = {{"doi", "10.1/x", ""},
                         {"URL", "http://a.b/{c}", ""},
                         {"odd", "a {b", ""},
                         {"m", "November", "nov"},
                         {"abstract2", "two\nlines \"q\"", ""}};
  const MacroTable macros;
  const std::string shown = format_other_fields(extras.other_fields, macros);
  EXPECT_EQ(shown, "doi = {10.1/x}\nURL = {http://a.b/{c}}\nodd = \"a {b\"\nm = nov\nabstract2 = {two\nlines \"q\"}");
  std::string error;
  // A value whose braces do not balance cannot be typed back; every other can.
  extras.other_fields.erase(extras.other_fields.begin() + 2);
  const auto parsed = parse_other_fields(format_other_fields(extras.other_fields, macros), macros, error);
  ASSERT_TRUE(parsed) << error;
  EXPECT_EQ(*parsed, extras.other_fields);
}

TEST(OtherFields, WhatCannotBeTakenIsSaidWithItsLine) {
  const MacroTable macros;
  const auto refused = [&](std::string_view text) {
    std::string error;
    EXPECT_FALSE(parse_other_fields(text, macros, error)) << text;
    return error;
  };
  EXPECT_EQ(refused("doi = {x}\n= {y}"), "line 2: a field name is expected, as in doi = {10.1000/182}");
  EXPECT_EQ(refused("doi {x}"), "line 1: \"doi\" must be followed by >> = << and a value");
  EXPECT_EQ(refused("doi = {x}\nurl = {open\n\n"), "line 2: the value of \"url\": a brace is left open");
  EXPECT_EQ(refused("doi = \"a } b\""), "line 1: the value of \"doi\": a closing brace closes nothing");
  EXPECT_EQ(refused("doi = ,"),
            "line 1: the value of \"doi\": a value must start with { or \" or be a number "
            "or a macro name");
  EXPECT_EQ(refused("a = 1\nTitle = {x}"), "line 2: \"Title\" has a field of its own in the form");
  EXPECT_EQ(refused("doi = 1, DOI = 2"), "line 1: \"DOI\" is given twice");
  std::string error;
  const auto fine = parse_other_fields("  doi = {x},\n\n, isbn = 978 # \"-3\" ,", macros, error);
  ASSERT_TRUE(fine) << error;
  ASSERT_EQ(fine->size(), 2U);
  EXPECT_EQ((*fine)[1], (OtherField{"isbn", "978-3", "978 # \"-3\""}));
  EXPECT_TRUE(parse_other_fields("", macros, error).has_value());
}

TEST(CitationKeys, WhatBibtexCannotTakeIsRefused) {
  for (const char* bad : {"a b", "a,b", "a{b", "a}b", "a\"b", "a#b", "a%b", "a=b", "a\tb", "a\nb"}) {
    EXPECT_EQ(citation_key_fault(bad), "key \"" + std::string(bad) +
                                           "\" refused: BibTeX takes no blanks, commas, braces, quotes, #, % or = "
                                           "in a key")
        << bad;
  }
  EXPECT_EQ(citation_key_fault("12"),
            "key \"12\" refused: a number is written as the Ref. ID (leave the key empty for that)");
  for (const char* good : {"smith2020", "DBLP:conf/x/Y20", "10.1145/3290605", "012", "Müller:2020", "a-b_c.d"}) {
    EXPECT_EQ(citation_key_fault(good), std::nullopt) << good;
  }
}

TEST(CitationKeys, AreSearchedInAllFieldsAndByTheForm) {
  Loaded loaded = load("@misc{Smith2020, doi = {10.1/xyz}}\n@misc{doe, note = {n}}\n@misc{3, note = {n}}\n");
  const ReferenceDatabase& db = loaded.db;
  const std::vector<std::size_t> all = {0, 1, 2};
  EXPECT_EQ(search_all_fields(SearchMode::kAnd, db, all, "smith2020", true), (std::vector<std::size_t>{0}));
  EXPECT_EQ(search_all_fields(SearchMode::kAnd, db, all, "smith2020", false), (std::vector<std::size_t>{}));
  EXPECT_EQ(search_all_fields(SearchMode::kAnd, db, all, "1/XYZ", true), (std::vector<std::size_t>{0}));
  EXPECT_EQ(search_all_fields(SearchMode::kAnd, db, all, "doi", true), (std::vector<std::size_t>{}));  // values only
  EditBuffer criteria;
  criteria.text(kCitationKeyText) = "oe";
  EXPECT_EQ(search_by_form(SearchMode::kAnd, db, all, criteria, true), (std::vector<std::size_t>{1}));
  EXPECT_EQ(search_by_form(SearchMode::kNot, db, all, criteria, true), (std::vector<std::size_t>{0, 2}));
  criteria.text(kCitationKeyText).clear();
  criteria.text(kOtherFieldsText) = "doi";  // a name or a value of a field outside the 28
  EXPECT_EQ(search_by_form(SearchMode::kAnd, db, all, criteria, true), (std::vector<std::size_t>{0}));
}

}  // namespace
}  // namespace refloom
