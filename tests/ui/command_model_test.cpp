// The random GUI test is only as good as its model: its rules, checked
// here against the documented cases and, for numbering, against the
// program's own allocator over many random sets of identifiers.

#include "command_model.h"

#include <gtest/gtest.h>

#include <random>

#include "core/numbering.h"

namespace refloom::testing {
namespace {

std::vector<ModelReference> with_ids(const std::vector<RefId>& ids) {
  std::vector<ModelReference> references;
  for (RefId id : ids) {
    ModelReference reference;
    reference.id = id;
    reference.slots[kEntryTypeSlot] = "misc";
    references.push_back(reference);
  }
  return references;
}

ModelReference titled(RefId id, std::string title) {
  ModelReference reference;
  reference.id = id;
  reference.slots[kEntryTypeSlot] = "article";
  reference.slots[kTitle] = std::move(title);
  return reference;
}

TEST(CommandModel, NextRefIdTakesTheFirstGapAboveTheSmallest) {
  EXPECT_EQ(CommandModel::next_refid({}, 0), 1U);
  EXPECT_EQ(CommandModel::next_refid(with_ids({1, 2, 4}), 3), 3U);
  EXPECT_EQ(CommandModel::next_refid(with_ids({3, 4, 5}), 3), 6U);
  EXPECT_EQ(CommandModel::next_refid(with_ids({1, 2, 3}), 3), 4U);
  EXPECT_EQ(CommandModel::next_refid(with_ids({2, 2, 5}), 3), 4U);  // a duplicate shifts the candidates
  EXPECT_EQ(CommandModel::next_refid(with_ids({5, 1, 2}), 2), 2U);  // only 5 and 1 count: the gap 2
}

TEST(CommandModel, NextRefIdAgreesWithTheProgramsNumbering) {
  std::mt19937_64 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::vector<RefId> ids(random() % 8 + 1);
    for (RefId& id : ids) id = random() % 12 + 1;
    ReferenceDatabase database;
    for (RefId id : ids) {
      database.add_reference();
      database.reference(database.ref_count() - 1).set_ref_id(id);
    }
    const std::size_t prefix = random() % ids.size() + 1;
    EXPECT_EQ(CommandModel::next_refid(with_ids(ids), prefix), next_refid(database, prefix));
  }
}

TEST(CommandModel, LoadIntoAHeldDatabaseNumbersEachAgainstAllBefore) {
  CommandModel model;
  model.loaded(with_ids({1, 5}), "a.bib");
  model.loaded(with_ids({1, 2}), "b.bib");
  std::vector<RefId> ids;
  for (const ModelReference& reference : model.references) ids.push_back(reference.id);
  EXPECT_EQ(ids, (std::vector<RefId>{1, 5, 2, 3}));
  EXPECT_EQ(model.count_shown, 4U);
  EXPECT_TRUE(model.data_commands);
  EXPECT_EQ(model.title, "b.bib");
}

TEST(CommandModel, LoadOfNothingLeavesTheDataCommands) {
  CommandModel model;
  model.loaded({}, "empty.bib");
  EXPECT_FALSE(model.data_commands);
  EXPECT_EQ(model.title, "empty.bib");
}

TEST(CommandModel, AddAfterASearchListsTheNewReferenceAndCountsTheDatabase) {
  CommandModel model;
  model.loaded(with_ids({7, 9, 12}), "a.bib");
  model.searched_all_fields(SearchMode::kAnd, "nothing like it", true);
  FormEdits edits;
  edits.slots[kTitle] = "New";
  edits.slots[kYear] = "";  // typed empty: absent
  EXPECT_EQ(model.added(edits, model.proposed_id()), "");
  EXPECT_EQ(model.references.back().id, 8U);
  EXPECT_EQ(model.references.back().slots[kEntryTypeSlot], "article");
  EXPECT_EQ(model.references.back().slots[kTitle], "New");
  EXPECT_FALSE(model.references.back().slots[kYear]);
  EXPECT_EQ(model.listed, (std::vector<std::size_t>{3}));
  EXPECT_EQ(model.count_shown, 4U);
  model.deleted(1);
  EXPECT_EQ(model.count_shown, 0U);
  EXPECT_TRUE(model.data_commands);
}

TEST(CommandModel, EditMakesEmptyFieldsAbsent) {
  CommandModel model;
  ModelReference reference = titled(4, "Old");
  reference.slots[kNote] = "";
  model.loaded({reference}, "a.bib");
  FormEdits edits;
  edits.slots[kTitle] = "Changed";
  model.started_edit(1);
  EXPECT_EQ(model.edited(edits), "");
  EXPECT_EQ(model.references[0].slots[kTitle], "Changed");
  EXPECT_FALSE(model.references[0].slots[kNote]);
  EXPECT_EQ(model.references[0].id, 4U);
}

TEST(CommandModel, AddWhoseProposedRefIdWasTakenMeanwhileTakesTheNextFree) {
  CommandModel model;
  model.loaded(with_ids({7, 9, 12}), "a.bib");
  const RefId proposed = model.proposed_id();
  model.loaded(with_ids({1, 2}), "b.bib");  // numbered 8 and 10
  EXPECT_EQ(model.added(FormEdits{}, proposed), "Ref. ID 8 was taken meanwhile, reference stored as 11 \n");
  EXPECT_EQ(model.references.back().id, 11U);
  // A proposal still free is kept, even below the next free one.
  model.emptied();
  model.loaded(with_ids({3, 4}), "c.bib");
  EXPECT_EQ(model.added(FormEdits{}, 2), "");
  EXPECT_EQ(model.references.back().id, 2U);
}

TEST(CommandModel, AnEditFollowsItsReferenceOrIsNotStored) {
  CommandModel model;
  model.loaded({titled(1, "A"), titled(2, "B"), titled(3, "C")}, "a.bib");
  FormEdits edits;
  edits.slots[kTitle] = "Changed";
  model.started_edit(3);
  model.deleted(1);
  EXPECT_EQ(model.edited(edits), "");
  EXPECT_EQ(model.references[1].slots[kTitle], "Changed");

  model.started_edit(1);
  model.deleted(1);
  EXPECT_EQ(model.edited(edits), "Reference deleted while being edited, changes not stored! \n");

  model.loaded({titled(4, "D"), titled(5, "E")}, "b.bib");  // C, D, E
  model.started_edit(2);
  model.listed = {1};
  model.reduced();
  edits.slots[kTitle] = "Kept";
  EXPECT_EQ(model.edited(edits), "");
  EXPECT_EQ(model.references[0].slots[kTitle], "Kept");

  model.started_edit(1);
  model.emptied();
  EXPECT_EQ(model.edited(edits), "Reference deleted while being edited, changes not stored! \n");
}

TEST(CommandModel, DeleteAndReduceFollowTheListedSet) {
  std::vector<RefId> ten;
  for (RefId id = 1; id <= 10; ++id) ten.push_back(id);
  CommandModel model;
  model.loaded(with_ids(ten), "a.bib");
  model.listed = {2, 5, 9};
  model.deleted(2);
  EXPECT_EQ(model.references.size(), 9U);
  EXPECT_EQ(model.listed, (std::vector<std::size_t>{2, 8}));
  EXPECT_EQ(model.count_shown, 2U);
  model.reduced();
  EXPECT_EQ(model.references.size(), 2U);
  EXPECT_EQ(model.references[1].id, 10U);
  EXPECT_EQ(model.listed, (std::vector<std::size_t>{0, 1}));
  EXPECT_EQ(model.count_shown, 2U);  // Reduce leaves the count line
  model.listed.clear();
  model.reduced();
  EXPECT_TRUE(model.references.empty());
  EXPECT_FALSE(model.data_commands);
}

TEST(CommandModel, FoldingMakesOnlyAsciiLettersEqual) {
  EXPECT_TRUE(CommandModel::contains("Smith", "SMITH", true));
  EXPECT_FALSE(CommandModel::contains("Smith", "SMITH", false));
  EXPECT_FALSE(CommandModel::contains("\xC3\xA9", "\xC3\x89", true));
  EXPECT_TRUE(CommandModel::contains("", "", true));
  EXPECT_FALSE(CommandModel::contains("ab", "abc", true));
}

TEST(CommandModel, AllFieldsSearchesTheEntryTypeAndCombines) {
  CommandModel model;
  ModelReference inbook = titled(1, "One");
  inbook.slots[kEntryTypeSlot] = "inbook";
  ModelReference other = titled(2, "Two");
  ModelReference reprint = titled(3, "Three");
  reprint.slots[kReprint] = "NOT IN FILE";
  model.loaded({inbook, other, reprint}, "a.bib");
  model.searched_all_fields(SearchMode::kAnd, "book", true);
  EXPECT_EQ(model.listed, (std::vector<std::size_t>{0}));
  model.searched_all_fields(SearchMode::kOr, "in file", true);
  EXPECT_EQ(model.listed, (std::vector<std::size_t>{0, 2}));
  model.searched_all_fields(SearchMode::kNot, "", true);
  EXPECT_TRUE(model.listed.empty());
  EXPECT_EQ(model.count_shown, 0U);
}

TEST(CommandModel, FormSearchComparesTheReprintExactlyAndNeedsTheField) {
  CommandModel model;
  ModelReference in_file = titled(1, "A");
  in_file.slots[kReprint] = "IN FILE";
  ModelReference not_in_file = titled(2, "B");
  not_in_file.slots[kReprint] = "NOT IN FILE";
  ModelReference none = titled(3, "C");
  model.loaded({in_file, not_in_file, none}, "a.bib");
  SearchCriteria criteria;
  criteria.slots[kReprint] = "IN FILE";
  model.searched_by_form(SearchMode::kAnd, criteria);
  EXPECT_EQ(model.listed, (std::vector<std::size_t>{0}));

  model.viewed_all();
  SearchCriteria journal;
  journal.slots[kJournal] = "x";
  journal.slots[kTitle] = "b";
  model.searched_by_form(SearchMode::kNot, journal);  // hit by the title; no journal is no hit
  EXPECT_EQ(model.listed, (std::vector<std::size_t>{0, 2}));
  model.searched_by_form(SearchMode::kOr, SearchCriteria{});  // no criteria: every reference
  EXPECT_EQ(model.listed, (std::vector<std::size_t>{0, 1, 2}));
  SearchCriteria id;
  id.id = 2;
  model.searched_by_form(SearchMode::kNot, id);
  EXPECT_EQ(model.listed, (std::vector<std::size_t>{0, 2}));
  model.searched_by_form(SearchMode::kNot, SearchCriteria{});  // no criteria: nothing is hit
  EXPECT_EQ(model.listed, (std::vector<std::size_t>{0, 2}));
}

TEST(CommandModel, NewEmptiesAndKeepsTheCurrentFile) {
  CommandModel model;
  model.loaded(with_ids({1}), "a.bib");
  model.toggled_case();
  model.emptied();
  EXPECT_TRUE(model.references.empty());
  EXPECT_FALSE(model.data_commands);
  EXPECT_EQ(model.title, CommandModel::kProgramTitle);
  EXPECT_EQ(model.current_file, "a.bib");
  EXPECT_TRUE(model.case_sensitive);
}

// BibTeX reads no value whose braces do not balance: a save adds the
// braces that are missing, at the start and at the end.
TEST(CommandModel, ValuesWhoseBracesDoNotBalanceComeBackBalanced) {
  EXPECT_EQ(value_after_save("plain"), "plain");
  EXPECT_EQ(value_after_save("a \"quote\" {balanced}"), "a \"quote\" {balanced}");
  EXPECT_EQ(value_after_save("open { only"), "open { only}");
  EXPECT_EQ(value_after_save("\"x{"), "\"x{}");
  EXPECT_EQ(value_after_save("a}b{{"), "{a}b{{}}");
  EXPECT_EQ(value_after_save("end\\"), "end\\");
  EXPECT_EQ(value_after_save("}end\\"), "{}end\\");
}

}  // namespace
}  // namespace refloom::testing
