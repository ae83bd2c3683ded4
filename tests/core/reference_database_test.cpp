#include <gtest/gtest.h>

#include "core/fields.h"
#include "core/reference_database.h"

namespace refloom {
namespace {

TEST(Fields, OrderIsAlphabeticalWithKeywordBetweenKeyAndMonth) {
  ASSERT_EQ(kFieldOrder.size(), 28U);
  for (std::size_t i = 1; i < kFieldOrder.size(); ++i) {
    EXPECT_LT(kFieldOrder[i - 1].name, kFieldOrder[i].name);
  }
  EXPECT_EQ(kFieldOrder[13].slot, kKey);
  EXPECT_EQ(kFieldOrder[14].slot, kKeyword);
  EXPECT_EQ(kFieldOrder[15].slot, kMonth);
}

TEST(Fields, SlotNumbersFollowTheTable) {
  EXPECT_EQ(field_slot("keyword"), 2);
  EXPECT_EQ(field_slot("abstract"), 3);
  EXPECT_EQ(field_slot("key"), 16);
  EXPECT_EQ(field_slot("reprint"), 23);
  EXPECT_EQ(field_slot("year"), 29);
  EXPECT_EQ(field_slot("Title"), std::nullopt);
  EXPECT_EQ(field_slot("keywords"), std::nullopt);
  EXPECT_EQ(field_name(kBooktitle), "booktitle");
}

TEST(Reference, AbsentAndEmptyAreDifferent) {
  Reference reference;
  EXPECT_FALSE(reference.has(kTitle));
  reference.set_text(kTitle, "");
  EXPECT_TRUE(reference.has(kTitle));
  EXPECT_EQ(reference.text(kTitle), "");
  EXPECT_FALSE(reference.has_nonempty(kTitle));
  reference.set_text(kTitle, std::nullopt);
  EXPECT_FALSE(reference.has(kTitle));
}

TEST(Reference, SlotsKeepTheirOwnTextsThroughChanges) {
  Reference reference;
  reference.set_text(kYear, "1995");
  reference.set_text(kEntryTypeSlot, "article");
  reference.set_text(kKeyword, "a\nb");
  reference.set_text(kAuthor, std::string_view("with\0nul", 8));
  reference.set_text(kYear, "1996");
  EXPECT_EQ(reference.text(kEntryTypeSlot), "article");
  EXPECT_EQ(reference.text(kKeyword), "a\nb");
  EXPECT_EQ(reference.text(kAuthor), std::string_view("with\0nul", 8));
  EXPECT_EQ(reference.text(kYear), "1996");
  for (int slot : {int{kAbstract}, int{kTitle}, int{kVolume}, 0, 30, -1}) EXPECT_FALSE(reference.has(slot));
  // A text taken from the reference itself can be stored back.
  reference.set_text(kTitle, *reference.text(kKeyword));
  EXPECT_EQ(reference.text(kTitle), "a\nb");
}

TEST(Reference, CopiesAreEqualAndIndependent) {
  Reference a;
  a.set_ref_id(7);
  a.set_text(kTitle, "T");
  Reference b = a;
  EXPECT_EQ(a, b);
  b.set_text(kTitle, "U");
  EXPECT_NE(a, b);
  EXPECT_EQ(a.text(kTitle), "T");
  Reference c = b;
  c.set_ref_id(8);
  EXPECT_NE(b, c);
  Reference empty_title = a;
  empty_title.set_text(kTitle, "");
  Reference no_title = a;
  no_title.set_text(kTitle, std::nullopt);
  EXPECT_NE(empty_title, no_title);
}

TEST(Database, AddReferenceAppendsAnEmptyReference) {
  ReferenceDatabase db;
  db.add_reference();
  ASSERT_EQ(db.ref_count(), 1U);
  for (int slot = 1; slot < kSlotCount; ++slot) EXPECT_FALSE(db.reference(0).has(slot)) << slot;
  db.set_title(1, "first");
  db.add_reference();
  EXPECT_EQ(db.ref_count(), 2U);
  EXPECT_EQ(db.reference(0).text(kTitle), "first");
  EXPECT_FALSE(db.reference(1).has(kTitle));
}

TEST(Database, DeleteOutsideTheDatabaseChangesNothing) {
  ReferenceDatabase db;
  db.delete_reference(0);
  EXPECT_EQ(db.ref_count(), 0U);
  db.add_reference();
  db.delete_reference(1);
  EXPECT_EQ(db.ref_count(), 1U);
}

TEST(Database, DeleteMovesLaterReferencesForward) {
  ReferenceDatabase db;
  for (int i = 1; i <= 3; ++i) {
    db.add_reference();
    db.set_ref_id(db.ref_count(), static_cast<RefId>(i));
  }
  db.delete_reference(0);
  ASSERT_EQ(db.ref_count(), 2U);
  EXPECT_EQ(db.reference(0).ref_id(), 2U);
  EXPECT_EQ(db.reference(1).ref_id(), 3U);
  db.delete_reference(1);
  db.delete_reference(0);
  EXPECT_TRUE(db.empty());
}

TEST(Database, RetainKeepsTheGivenIndicesInOrder) {
  ReferenceDatabase db;
  for (int i = 0; i < 10; ++i) {
    db.add_reference();
    db.set_ref_id(db.ref_count(), static_cast<RefId>(100 + i));
  }
  db.retain({2, 5, 9});
  ASSERT_EQ(db.ref_count(), 3U);
  EXPECT_EQ(db.reference(0).ref_id(), 102U);
  EXPECT_EQ(db.reference(1).ref_id(), 105U);
  EXPECT_EQ(db.reference(2).ref_id(), 109U);
  db.retain({});
  EXPECT_TRUE(db.empty());
}

TEST(Database, AppendFieldJoinsWithOneLineFeed) {
  ReferenceDatabase db;
  db.add_reference();
  db.append_field("title", 1, "B");
  EXPECT_EQ(db.reference(0).text(kTitle), "B");
  db.set_title(1, "A");
  db.append_field("title", 1, "B");
  EXPECT_EQ(db.reference(0).text(kTitle), "A\nB");
  db.set_title(1, "");
  db.append_field("title", 1, "B");
  EXPECT_EQ(db.reference(0).text(kTitle), "\nB");
}

TEST(Database, AppendFieldSelectsTheSlotByName) {
  ReferenceDatabase db;
  db.add_reference();
  db.append_field("keyword", 1, "k");
  db.append_field("booktitle", 1, "b");
  db.append_field("entrytype", 1, "x");
  db.append_field("Title", 1, "x");
  EXPECT_EQ(db.reference(0).text(kKeyword), "k");
  EXPECT_EQ(db.reference(0).text(kBooktitle), "b");
  EXPECT_FALSE(db.reference(0).has(kTitle));
  EXPECT_FALSE(db.reference(0).has(kEntryTypeSlot));
}

TEST(Database, SettersCutAndReplace) {
  ReferenceDatabase db;
  db.add_reference();
  db.set_volume_before_colon(1, "12:345");
  EXPECT_EQ(db.reference(0).text(kVolume), "12");
  db.set_volume_before_colon(1, "12");
  EXPECT_EQ(db.reference(0).text(kVolume), "12");
  db.set_volume_before_colon(1, ":5");
  EXPECT_EQ(db.reference(0).text(kVolume), "");
  db.set_journal_n(1, "Journal of Things", 7);
  EXPECT_EQ(db.reference(0).text(kJournal), "Journal");
  db.set_journal_n(1, "Journal of Things", 50);
  EXPECT_EQ(db.reference(0).text(kJournal), "Journal of Things");
  db.append_keyword(1, "one");
  db.append_keyword(1, "two");
  EXPECT_EQ(db.reference(0).text(kKeyword), "one\ntwo");
  db.set_entry_type(1, "article");
  db.set_booktitle(1, "B");
  db.set_institution(1, "I");
  db.set_abstract(1, "Ab");
  db.set_pages(1, "1-2");
  db.set_comment(1, "C");
  db.set_month(1, "Mar");
  const Reference& r = db.reference(0);
  EXPECT_EQ(r.text(kEntryTypeSlot), "article");
  EXPECT_EQ(r.text(kBooktitle), "B");
  EXPECT_EQ(r.text(kInstitution), "I");
  EXPECT_EQ(r.text(kAbstract), "Ab");
  EXPECT_EQ(r.text(kPages), "1-2");
  EXPECT_EQ(r.text(kComment), "C");
  EXPECT_EQ(r.text(kMonth), "Mar");
  // Numbers that name no reference change nothing.
  db.set_title(0, "x");
  db.set_title(2, "x");
  db.append_field("title", 2, "x");
  EXPECT_FALSE(db.reference(0).has(kTitle));
}

TEST(EditBuffer, LoadLeavesNothingOfAnEarlierReference) {
  ReferenceDatabase db;
  db.add_reference();
  db.set_ref_id(1, 5);
  db.set_entry_type(1, "book");
  db.set_title(1, "Old");
  db.set_pages(1, "1-9");
  db.add_reference();
  db.set_ref_id(2, 6);
  db.set_entry_type(2, "article");
  db.append_field("author", 2, "A");
  db.set_title(2, "T");
  db.load_edit_buffer(0);
  db.load_edit_buffer(1);
  const EditBuffer& buffer = db.edit_buffer();
  EXPECT_EQ(buffer.ref_id, 6U);
  for (int slot = 1; slot < kSlotCount; ++slot) {
    if (slot == kEntryTypeSlot || slot == kAuthor || slot == kTitle) continue;
    EXPECT_EQ(buffer.text(slot), "") << slot;
  }
  EXPECT_EQ(buffer.text(kEntryTypeSlot), "article");
  EXPECT_EQ(buffer.text(kAuthor), "A");
  EXPECT_EQ(buffer.text(kTitle), "T");
}

TEST(EditBuffer, StoreMakesEmptyFieldsAbsent) {
  ReferenceDatabase db;
  db.add_reference();
  db.set_entry_type(1, "misc");
  db.append_field("note", 1, "a note");
  db.load_edit_buffer(0);
  db.edit_buffer().text(kNote).clear();
  db.edit_buffer().text(kTitle) = "New";
  db.edit_buffer().ref_id = 44;
  db.store_edit_buffer(0);
  const Reference& r = db.reference(0);
  EXPECT_FALSE(r.has(kNote));
  EXPECT_EQ(r.text(kTitle), "New");
  EXPECT_EQ(r.text(kEntryTypeSlot), "misc");
  EXPECT_EQ(r.ref_id(), 44U);
}

TEST(EditBuffer, ClearKeepsTheRefId) {
  ReferenceDatabase db;
  db.edit_buffer().ref_id = 9;
  db.edit_buffer().text(kYear) = "2000";
  db.clear_edit_buffer();
  EXPECT_EQ(db.edit_buffer().ref_id, 9U);
  for (int slot = 1; slot < kSlotCount; ++slot) EXPECT_EQ(db.edit_buffer().text(slot), "");
}

TEST(EditBuffer, EntryTypeIndexIsExactAndCaseSensitive) {
  ReferenceDatabase db;
  for (const char* name : {"article", "Article", "unpublished", "string", "book"}) {
    db.add_reference();
    db.set_entry_type(db.ref_count(), name);
  }
  db.add_reference();  // no entry type at all
  EXPECT_EQ(db.entry_type_index(0), 0);
  EXPECT_EQ(db.entry_type_index(1), -1);
  EXPECT_EQ(db.entry_type_index(2), 12);
  EXPECT_EQ(db.entry_type_index(3), -1);
  EXPECT_EQ(db.entry_type_index(4), 1);
  EXPECT_EQ(db.entry_type_index(5), -1);
  EXPECT_EQ(db.entry_type_index(99), -1);
}

}  // namespace
}  // namespace refloom
