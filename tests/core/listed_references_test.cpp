#include <gtest/gtest.h>

#include "core/display_text.h"
#include "core/listed_references.h"

namespace refloom {
namespace {

ReferenceDatabase numbered(std::size_t count) {
  ReferenceDatabase db;
  for (std::size_t i = 0; i < count; ++i) {
    db.add_reference();
    db.set_ref_id(db.ref_count(), 100 + i);
  }
  return db;
}

TEST(ListLine, FieldsAreCutToTheirWidths) {
  Reference r;
  r.set_ref_id(18446744073709551615ULL);
  r.set_text(kAuthor, "Abcdefghijklmnopqrstuvwxyz");
  r.set_text(kTitle, "A title that is longer than thirty bytes");
  r.set_text(kJournal, "Journal of Everything");
  r.set_text(kYear, "19955");
  EXPECT_EQ(list_line(r), "18446744073709551615 Abcdefghijklmno A title that is longer than th Journal of Ever 1995");
}

// On a UTF-8 display the widths count characters, so that a name is never
// cut inside a character, and Latin-1 bytes show as their characters.
TEST(ListLine, ShownLineCountsCharactersAndConvertsOtherBytes) {
  Reference r;
  r.set_ref_id(3);
  r.set_text(kAuthor,
             "\xC3\x98"
             "deg\xC3\xA5rd, \xC3\x85se Marie");     // 18 characters, 20 bytes
  r.set_text(kTitle, "M\xFCller's title");           // Latin-1
  r.set_text(kJournal, "\xE5\x8C\x97\xE4\xBA\xAC");  // two CJK characters
  r.set_text(kYear, "2019");
  EXPECT_EQ(shown_list_line(r),
            "3 \xC3\x98"
            "deg\xC3\xA5rd, \xC3\x85se Ma M\xC3\xBCller's title \xE5\x8C\x97\xE4\xBA\xAC 2019");
  // Eight two-byte letters: the byte line stops before the eighth rather
  // than cut it in half (which would take the rest of the line with it on
  // screen); the shown line keeps all of them.
  Reference split;
  split.set_ref_id(4);
  split.set_text(kAuthor, "\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98");
  EXPECT_EQ(list_line(split), "4 \xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98   ");
  EXPECT_EQ(shown_list_line(split), "4 \xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98   ");
  Reference ascii;
  ascii.set_ref_id(12);
  ascii.set_text(kAuthor, "Abcdefghijklmnopqrstuvwxyz");
  EXPECT_EQ(shown_list_line(ascii), list_line(ascii));
}

TEST(ListLine, ShortFieldsAreNotPaddedAndAbsentOnesAreEmpty) {
  Reference r;
  r.set_ref_id(12);
  r.set_text(kAuthor, "Doe");
  r.set_text(kYear, "99");
  EXPECT_EQ(list_line(r), "12 Doe   99");
  EXPECT_EQ(list_line(Reference()), "0    ");
}

TEST(ListLine, EscapesAreKeptAndMayBeCut) {
  Reference r;
  r.set_ref_id(1);
  r.set_text(kAuthor, "M{\\\"u}ller and Schr{\\\"o}dinger");
  EXPECT_EQ(list_line(r), "1 M{\\\"u}ller and    ");
  // A UTF-8 display shows the letters, and counts them.
  EXPECT_EQ(shown_list_line(r), "1 M\xC3\xBCller and Schr   ");
}

// A cut moves back before a UTF-8 character it would split; other bytes
// (Latin-1, a sequence that is not well formed) are cut where they fall.
TEST(ListLine, ACutNeverSplitsAUtf8Character) {
  EXPECT_EQ(cut_before_split_character("ab\xC3\xBC", 3), 2U);
  EXPECT_EQ(cut_before_split_character("ab\xC3\xBC", 4), 4U);
  EXPECT_EQ(cut_before_split_character("a\xE5\x8C\x97", 2), 1U);
  EXPECT_EQ(cut_before_split_character("a\xE5\x8C\x97", 3), 1U);
  EXPECT_EQ(cut_before_split_character("a\xF0\x9F\x98\x80"
                                       "b",
                                       4),
            1U);
  EXPECT_EQ(cut_before_split_character("M\xFC\xFCller", 2), 2U);      // Latin-1
  EXPECT_EQ(cut_before_split_character("a\x80\x80\x80\x80", 3), 3U);  // no lead byte
  EXPECT_EQ(cut_before_split_character("short", 15), 5U);
}

// The common TeX accents and letters as a UTF-8 list line shows them.
TEST(ListLine, TexAccentsAndLettersShowAsCharacters) {
  EXPECT_EQ(tex_for_display("M{\\\"u}ller, M\\\"{u}ller, M\\\"uller"), "M\xC3\xBCller, M\xC3\xBCller, M\xC3\xBCller");
  EXPECT_EQ(tex_for_display("Caf\\'e, \\`a, \\^o, \\~n, \\c{c}, \\c c, \\v{S}koda, \\H{o}, \\'{\\i}"),
            "Caf\xC3\xA9, \xC3\xA0, \xC3\xB4, \xC3\xB1, \xC3\xA7, \xC3\xA7, \xC5\xA0koda, \xC5\x91, \xC3\xAD");
  EXPECT_EQ(tex_for_display("Stra\\ss{}e, \\o, \\O, \\ae, \\AA, \\l"),
            "Stra\xC3\x9F"
            "e, \xC3\xB8, \xC3\x98, \xC3\xA6, \xC3\x85, \xC5\x82");
  EXPECT_EQ(tex_for_display("1--9, a---b, A~B, 5\\% \\& \\$ \\# \\_, {DNA}"),
            "1\xE2\x80\x93"
            "9, a\xE2\x80\x94"
            "b, A\xC2\xA0"
            "B, 5% & $ # _, DNA");
  // What it does not know stays as written; bytes that are no UTF-8 show as
  // Latin-1.
  EXPECT_EQ(tex_for_display("$\\alpha$ \\emph{x} \\\"{\\ss} \\'1"), "$\\alpha$ \\emphx \\\"\xC3\x9F \\'1");
  EXPECT_EQ(tex_for_display("M\xFCller"), "M\xC3\xBCller");
  EXPECT_EQ(tex_for_display("trailing \\"), "trailing \\");
}

TEST(ListedReferences, DeleteMovesLaterIndicesDown) {
  ListedReferences listed;
  listed.assign({1, 4, 7, 9});
  listed.remove_position(2);  // the reference at index 4 was deleted
  EXPECT_EQ(listed.indices(), (std::vector<std::size_t>{1, 6, 8}));
  listed.remove_position(3);
  EXPECT_EQ(listed.indices(), (std::vector<std::size_t>{1, 6}));
  listed.remove_position(0);
  listed.remove_position(3);
  EXPECT_EQ(listed.count(), 2U);
}

TEST(ListedReferences, AddAfterASearchAppendsTheNewIndex) {
  ListedReferences listed;
  listed.assign({2, 5, 9});
  listed.append(10);
  EXPECT_EQ(listed.count(), 4U);
  EXPECT_EQ(listed.at_position(4), 10U);
  EXPECT_TRUE(listed.contains(5));
  EXPECT_FALSE(listed.contains(6));
}

TEST(Reduce, KeepsExactlyTheListedReferences) {
  ReferenceDatabase db = numbered(10);
  ListedReferences listed;
  listed.assign({2, 5, 9});
  reduce_to_listed(db, listed);
  ASSERT_EQ(db.ref_count(), 3U);
  EXPECT_EQ(db.reference(0).ref_id(), 102U);
  EXPECT_EQ(db.reference(1).ref_id(), 105U);
  EXPECT_EQ(db.reference(2).ref_id(), 109U);
  EXPECT_EQ(listed.indices(), (std::vector<std::size_t>{0, 1, 2}));
}

TEST(Reduce, EmptyListingDeletesEverything) {
  ReferenceDatabase db = numbered(4);
  ListedReferences listed;
  reduce_to_listed(db, listed);
  EXPECT_TRUE(db.empty());
  EXPECT_EQ(listed.count(), 0U);
  reduce_to_listed(db, listed);  // an empty database stays as it is
  EXPECT_TRUE(db.empty());
}

}  // namespace
}  // namespace refloom
