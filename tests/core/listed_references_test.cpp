#include <gtest/gtest.h>

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
  r.set_text(kAuthor, "\xC3\x98" "deg\xC3\xA5rd, \xC3\x85se Marie");  // 18 characters, 20 bytes
  r.set_text(kTitle, "M\xFCller's title");                            // Latin-1
  r.set_text(kJournal, "\xE5\x8C\x97\xE4\xBA\xAC");                   // two CJK characters
  r.set_text(kYear, "2019");
  EXPECT_EQ(shown_list_line(r),
            "3 \xC3\x98" "deg\xC3\xA5rd, \xC3\x85se Ma M\xC3\xBCller's title \xE5\x8C\x97\xE4\xBA\xAC 2019");
  // Eight two-byte letters: the byte line cuts the eighth in half, the
  // shown line keeps all of them.
  Reference split;
  split.set_ref_id(4);
  split.set_text(kAuthor, "\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98");
  EXPECT_EQ(list_line(split), "4 \xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3   ");
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
