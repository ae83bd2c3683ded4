// The commands' bookkeeping without a display: after every command the
// listed references, the count line, the data commands and the edit target
// agree with the database.

#include "session/session.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <limits>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace refloom {
namespace {

using testing::TempDir;
using Indices = std::vector<std::size_t>;

// "@misc{1, title = "T1"}" and so on, for the keys given.
std::string misc_entries(const std::vector<int>& keys) {
  std::string text;
  for (int key : keys) {
    text += "@misc{" + std::to_string(key) + ",\n  title = \"T" + std::to_string(key) + "\"\n}\n\n";
  }
  return text;
}

class SessionTest : public ::testing::Test {
 protected:
  // Loads BibTeX text through a file, as File > Load does.
  Shown load_text(const std::string& text, const std::string& name = "refs.bib") {
    const std::string path = dir_.file(name);
    testing::write_file(path, text);
    return session_.load(path, FileType::kBibtex, messages_);
  }
  void load_keys(const std::vector<int>& keys) { ASSERT_EQ(load_text(misc_entries(keys)).result, Outcome::kDone); }

  std::vector<RefId> ids() const {
    std::vector<RefId> result;
    for (const Reference& r : session_.database().references()) result.push_back(r.ref_id());
    return result;
  }
  const Indices& listed() const { return session_.listed_references().indices(); }
  std::string title(std::size_t index) const {
    return std::string(session_.database().reference(index).text_or_empty(kTitle));
  }
  // Edits the reference at a list position and answers Ok with a new title.
  Shown edit_title(std::size_t position, const std::string& text) {
    EXPECT_TRUE(session_.start_edit(position));
    session_.set_edit_text(kTitle, text);
    return session_.store_edit(messages_);
  }

  TempDir dir_;
  Session session_;
  std::ostringstream messages_;
};

TEST_F(SessionTest, AFreshSessionHoldsNothing) {
  EXPECT_TRUE(session_.database().empty());
  EXPECT_EQ(session_.listed_references().count(), 0U);
  EXPECT_FALSE(session_.edit_target().index());
  EXPECT_EQ(session_.CurrentFileName(), "");
  EXPECT_FALSE(session_.case_sensitive());
}

TEST_F(SessionTest, LoadListsEverythingSwitchesOnAndNamesTheFile) {
  const Shown shown = load_text(misc_entries({5, 3}));
  EXPECT_EQ(shown.result, Outcome::kDone);
  EXPECT_EQ(shown.list, ListChange::kRefill);
  EXPECT_EQ(shown.count, 2U);
  EXPECT_EQ(shown.data_commands, DataCommandsSwitch::kOn);
  EXPECT_EQ(shown.title, TitleChange::kCurrentFile);
  EXPECT_EQ(session_.CurrentFileName(), dir_.file("refs.bib"));
  EXPECT_EQ(listed(), (Indices{0, 1}));
  EXPECT_EQ(ids(), (std::vector<RefId>{5, 3}));
  EXPECT_EQ(shown.references_read, 2U);
}

TEST_F(SessionTest, LoadIntoAHeldDatabaseRenumbersAndListsAllAgain) {
  load_keys({1, 5});
  session_.search_all_fields(SearchMode::kAnd, "T5", true);
  ASSERT_EQ(listed(), (Indices{1}));
  const Shown shown = load_text(misc_entries({1, 2}), "more.bib");
  EXPECT_EQ(ids(), (std::vector<RefId>{1, 5, 2, 3}));
  EXPECT_EQ(listed(), (Indices{0, 1, 2, 3}));
  EXPECT_EQ(shown.count, 4U);
  EXPECT_EQ(shown.references_read, 2U);  // those of the file, not all held
  EXPECT_EQ(session_.CurrentFileName(), dir_.file("more.bib"));
}

TEST_F(SessionTest, LoadWithoutReferencesLeavesTheDataCommandsAlone) {
  const Shown shown = load_text("no entries here\n", "empty.bib");
  EXPECT_EQ(shown.result, Outcome::kDone);
  EXPECT_EQ(shown.count, 0U);
  EXPECT_EQ(shown.references_read, 0U);
  EXPECT_EQ(shown.data_commands, DataCommandsSwitch::kUnchanged);
  EXPECT_EQ(shown.title, TitleChange::kCurrentFile);
  EXPECT_EQ(session_.CurrentFileName(), dir_.file("empty.bib"));
}

TEST_F(SessionTest, AFileThatCannotBeOpenedChangesNothing) {
  load_keys({1, 2});
  session_.search_all_fields(SearchMode::kAnd, "T2", true);
  messages_.str("");
  const std::string missing = dir_.file("missing.bib");
  const Shown shown = session_.load(missing, FileType::kBibtex, messages_);
  EXPECT_EQ(shown.result, Outcome::kCannotOpen);
  EXPECT_EQ(messages_.str(), "Cannot open file: " + missing + "\n");
  EXPECT_EQ(shown.list, ListChange::kNone);
  EXPECT_FALSE(shown.count);
  EXPECT_FALSE(shown.references_read);
  EXPECT_EQ(shown.data_commands, DataCommandsSwitch::kUnchanged);
  EXPECT_EQ(shown.title, TitleChange::kUnchanged);
  EXPECT_EQ(session_.CurrentFileName(), dir_.file("refs.bib"));
  EXPECT_EQ(listed(), (Indices{1}));
}

TEST_F(SessionTest, ALoadCutShortByAReadErrorStillShowsWhatWasRead) {
  load_keys({1});
  messages_.str("");
  // Reading this process's memory from address 0 fails at once.
  const Shown shown = session_.load("/proc/self/mem", FileType::kBibtex, messages_);
  EXPECT_EQ(shown.result, Outcome::kCutShort);
  EXPECT_EQ(messages_.str(), "Cannot read file: /proc/self/mem\n");
  EXPECT_EQ(shown.list, ListChange::kRefill);
  EXPECT_EQ(shown.count, 1U);
  EXPECT_EQ(shown.references_read, 0U);
  EXPECT_EQ(shown.title, TitleChange::kCurrentFile);
  EXPECT_EQ(session_.CurrentFileName(), "/proc/self/mem");
}

TEST_F(SessionTest, NewEmptiesEverythingButTheFileNameAndTheEditBuffer) {
  load_keys({1, 2});
  session_.set_edit_text(kTitle, "typed");
  const Shown shown = session_.new_database();
  EXPECT_EQ(shown.list, ListChange::kRefill);
  EXPECT_EQ(shown.count, 0U);
  EXPECT_EQ(shown.data_commands, DataCommandsSwitch::kOff);
  EXPECT_EQ(shown.title, TitleChange::kProgramTitle);
  EXPECT_TRUE(session_.database().empty());
  EXPECT_EQ(session_.listed_references().count(), 0U);
  EXPECT_EQ(session_.CurrentFileName(), dir_.file("refs.bib"));
  EXPECT_EQ(session_.database().edit_buffer().text(kTitle), "typed");
}

TEST_F(SessionTest, AnEditOpenDuringNewIsNotStoredIntoALaterReference) {
  load_keys({1, 2, 3});
  ASSERT_TRUE(session_.start_edit(2));
  session_.new_database();
  EXPECT_FALSE(session_.edit_target().index());
  // The same indices exist again, holding other references.
  load_keys({7, 8, 9});
  session_.set_edit_text(kTitle, "Changed");
  messages_.str("");
  const Shown shown = session_.store_edit(messages_);
  EXPECT_EQ(messages_.str(), "Reference deleted while being edited, changes not stored! \n");
  EXPECT_EQ(shown.list, ListChange::kNone);
  EXPECT_EQ(title(1), "T8");
}

TEST_F(SessionTest, AnEditOpenDuringALoadIsStoredIntoItsReference) {
  load_keys({1, 2, 3});
  session_.search_all_fields(SearchMode::kAnd, "T2", true);
  ASSERT_TRUE(session_.start_edit(1));  // T2, index 1
  EXPECT_EQ(session_.edit_target().index(), 1U);
  load_text(misc_entries({4}), "more.bib");
  EXPECT_EQ(session_.edit_target().index(), 1U);
  session_.set_edit_text(kTitle, "Changed");
  const Shown shown = session_.store_edit(messages_);
  EXPECT_EQ(title(1), "Changed");
  EXPECT_EQ(shown.list, ListChange::kReplaceLine);
  EXPECT_EQ(shown.position, 2U);  // everything is listed after the load
  EXPECT_FALSE(shown.count);
  EXPECT_FALSE(session_.edit_target().index());
}

TEST_F(SessionTest, AddListsTheNewReferenceLastAndCountsTheDatabase) {
  std::vector<int> ten;
  for (int key = 1; key <= 10; ++key) ten.push_back(key);
  load_keys(ten);
  session_.list({2, 5, 9});
  session_.start_add();
  const EditBuffer& buffer = session_.database().edit_buffer();
  EXPECT_EQ(buffer.text(kEntryTypeSlot), "article");
  EXPECT_EQ(buffer.text(kTitle), "");
  EXPECT_EQ(buffer.ref_id, 11U);
  session_.set_edit_text(kTitle, "New");
  const Shown shown = session_.add_from_edit_buffer(messages_);
  EXPECT_EQ(shown.list, ListChange::kAppendLast);
  EXPECT_EQ(shown.position, 4U);
  EXPECT_EQ(shown.count, 11U);  // the database, not the four listed
  EXPECT_EQ(shown.data_commands, DataCommandsSwitch::kOn);
  EXPECT_EQ(listed(), (Indices{2, 5, 9, 10}));
  EXPECT_EQ(title(10), "New");
  EXPECT_EQ(session_.database().reference(10).ref_id(), 11U);
  // A following delete counts the listed references again.
  EXPECT_EQ(session_.delete_at(4).count, 3U);
}

TEST_F(SessionTest, AddTakesTheNextFreeRefIdWhenALoadTookTheProposedOne) {
  load_keys({1, 2});
  session_.start_add();
  ASSERT_EQ(session_.database().edit_buffer().ref_id, 3U);
  session_.set_edit_text(kTitle, "Added");
  // The form is open; a load renumbers its references 3 and 4.
  ASSERT_EQ(load_text(misc_entries({1, 2}), "more.bib").result, Outcome::kDone);
  const Shown shown = session_.add_from_edit_buffer(messages_);
  EXPECT_EQ(messages_.str(), "Ref. ID 3 was taken meanwhile, reference stored as 5 \n");
  EXPECT_EQ(ids(), (std::vector<RefId>{1, 2, 3, 4, 5}));
  EXPECT_EQ(title(4), "Added");
  EXPECT_EQ(shown.list, ListChange::kAppendLast);
  EXPECT_EQ(shown.count, 5U);

  // A RefId still free is kept, and nothing is said.
  messages_.str("");
  session_.start_add();
  session_.set_edit_ref_id("9");
  session_.add_from_edit_buffer(messages_);
  EXPECT_EQ(messages_.str(), "");
  EXPECT_EQ(ids(), (std::vector<RefId>{1, 2, 3, 4, 5, 9}));
}

TEST_F(SessionTest, AddIntoAnEmptyDatabaseStartsAtOne) {
  session_.start_add();
  EXPECT_EQ(session_.database().edit_buffer().ref_id, 1U);
  const Shown shown = session_.add_from_edit_buffer(messages_);
  EXPECT_EQ(shown.count, 1U);
  EXPECT_EQ(shown.data_commands, DataCommandsSwitch::kOn);
  EXPECT_EQ(ids(), (std::vector<RefId>{1}));
}

TEST_F(SessionTest, EditStoresIntoTheReferenceAndReplacesItsLine) {
  load_keys({1, 2, 3});
  session_.list({0, 2});
  const auto type = session_.start_edit(2);
  ASSERT_TRUE(type);
  EXPECT_EQ(*type, 8);  // misc
  EXPECT_EQ(session_.database().edit_buffer().text(kTitle), "T3");
  session_.set_edit_text(kTitle, "Changed");
  const Shown shown = session_.store_edit(messages_);
  EXPECT_EQ(title(2), "Changed");
  EXPECT_EQ(shown.list, ListChange::kReplaceLine);
  EXPECT_EQ(shown.position, 2U);
  EXPECT_FALSE(shown.count);
  EXPECT_EQ(shown.data_commands, DataCommandsSwitch::kUnchanged);
  EXPECT_EQ(messages_.str(), "");
}

TEST_F(SessionTest, EditOfAPositionNotListedStartsNothing) {
  load_keys({1, 2});
  EXPECT_FALSE(session_.start_edit(0));
  EXPECT_FALSE(session_.start_edit(3));
  EXPECT_FALSE(session_.edit_target().index());
}

TEST_F(SessionTest, CancelledEditChangesNothingAndEndsTheTarget) {
  load_keys({1, 2});
  ASSERT_TRUE(session_.start_edit(1));
  session_.set_edit_text(kTitle, "Changed");
  session_.cancel_edit();
  EXPECT_FALSE(session_.edit_target().index());
  EXPECT_EQ(title(0), "T1");
}

TEST_F(SessionTest, AnEditFollowsItsReferenceThroughDeletionsAndSearches) {
  load_keys({1, 2, 3, 4});
  ASSERT_TRUE(session_.start_edit(3));  // T3, index 2
  session_.delete_at(1);                // T1 goes: T3 moves to index 1
  EXPECT_EQ(session_.edit_target().index(), 1U);
  session_.search_all_fields(SearchMode::kAnd, "T4", true);  // T3 no longer listed
  session_.set_edit_text(kTitle, "Changed");
  const Shown shown = session_.store_edit(messages_);
  EXPECT_EQ(title(1), "Changed");
  EXPECT_EQ(shown.list, ListChange::kNone);  // its line is not shown
}

TEST_F(SessionTest, AnEditWhoseReferenceWasDeletedStoresNothing) {
  load_keys({1, 2, 3});
  ASSERT_TRUE(session_.start_edit(2));
  session_.delete_at(2);
  EXPECT_FALSE(session_.edit_target().index());
  session_.set_edit_text(kTitle, "Changed");
  session_.store_edit(messages_);
  EXPECT_EQ(messages_.str(), "Reference deleted while being edited, changes not stored! \n");
  EXPECT_EQ(title(0), "T1");
  EXPECT_EQ(title(1), "T3");
}

TEST_F(SessionTest, DeleteCountsTheListedAndSwitchesOffWhenEmpty) {
  std::vector<int> ten;
  for (int key = 1; key <= 10; ++key) ten.push_back(key);
  load_keys(ten);
  session_.list({2, 5, 9});
  Shown shown = session_.delete_at(2);
  EXPECT_EQ(shown.list, ListChange::kDeleteLine);
  EXPECT_EQ(shown.position, 2U);
  EXPECT_EQ(shown.count, 2U);
  EXPECT_EQ(shown.data_commands, DataCommandsSwitch::kUnchanged);
  EXPECT_EQ(session_.database().ref_count(), 9U);
  EXPECT_EQ(listed(), (Indices{2, 8}));

  session_.new_database();
  load_keys({1});
  shown = session_.delete_at(1);
  EXPECT_EQ(shown.count, 0U);
  EXPECT_EQ(shown.data_commands, DataCommandsSwitch::kOff);
  EXPECT_TRUE(session_.database().empty());
}

TEST_F(SessionTest, DeleteOfAPositionNotListedDoesNothing) {
  load_keys({1, 2});
  session_.list({1});
  const Shown shown = session_.delete_at(2);
  EXPECT_EQ(shown.list, ListChange::kNone);
  EXPECT_FALSE(shown.count);
  EXPECT_EQ(session_.database().ref_count(), 2U);
}

TEST_F(SessionTest, ReduceKeepsTheListedAndShowsTheSameLines) {
  std::vector<int> ten;
  for (int key = 1; key <= 10; ++key) ten.push_back(key);
  load_keys(ten);
  session_.list({2, 5, 9});
  const Shown shown = session_.reduce();
  EXPECT_EQ(shown.list, ListChange::kNone);
  EXPECT_FALSE(shown.count);
  EXPECT_EQ(shown.data_commands, DataCommandsSwitch::kUnchanged);
  EXPECT_EQ(ids(), (std::vector<RefId>{3, 6, 10}));
  EXPECT_EQ(listed(), (Indices{0, 1, 2}));
}

TEST_F(SessionTest, ReduceOfAnEmptyListingDeletesAllAndSwitchesOff) {
  load_keys({1, 2});
  session_.search_all_fields(SearchMode::kAnd, "nowhere", true);
  const Shown shown = session_.reduce();
  EXPECT_TRUE(session_.database().empty());
  EXPECT_EQ(shown.data_commands, DataCommandsSwitch::kOff);
  EXPECT_EQ(shown.list, ListChange::kNone);
  // Reduce of an emptied database changes nothing more.
  const Shown again = session_.reduce();
  EXPECT_EQ(again.data_commands, DataCommandsSwitch::kUnchanged);
}

TEST_F(SessionTest, AnEditOpenDuringReduceFollowsItsReference) {
  std::vector<int> ten;
  for (int key = 1; key <= 10; ++key) ten.push_back(key);
  load_keys(ten);
  session_.list({2, 5, 9});
  ASSERT_TRUE(session_.start_edit(2));  // T6, index 5
  session_.reduce();
  EXPECT_EQ(session_.edit_target().index(), 1U);
  session_.set_edit_text(kTitle, "Changed");
  const Shown shown = session_.store_edit(messages_);
  EXPECT_EQ(messages_.str(), "");
  EXPECT_EQ(title(0), "T3");
  EXPECT_EQ(title(1), "Changed");
  EXPECT_EQ(title(2), "T10");
  EXPECT_EQ(shown.list, ListChange::kReplaceLine);
  EXPECT_EQ(shown.position, 2U);
}

TEST_F(SessionTest, AnEditOfAReferenceReducedAwayStoresNothing) {
  load_keys({1, 2, 3});
  ASSERT_TRUE(session_.start_edit(1));  // T1
  session_.list({1, 2});
  session_.reduce();
  EXPECT_FALSE(session_.edit_target().index());
  session_.set_edit_text(kTitle, "Changed");
  session_.store_edit(messages_);
  EXPECT_EQ(messages_.str(), "Reference deleted while being edited, changes not stored! \n");
  EXPECT_EQ(title(0), "T2");
  EXPECT_EQ(title(1), "T3");
}

TEST_F(SessionTest, SearchAllFieldsCombinesWithTheListedAndUsesTheDialogsFold) {
  load_text(
      "@article{1,\n  author = \"Smith\"\n}\n\n@book{2,\n  author = \"Jones\"\n}\n\n"
      "@article{3,\n  author = \"SMITH\"\n}\n\n");
  Shown shown = session_.search_all_fields(SearchMode::kAnd, "smith", true);
  EXPECT_EQ(listed(), (Indices{0, 2}));
  EXPECT_EQ(shown.list, ListChange::kRefill);
  EXPECT_EQ(shown.count, 2U);
  EXPECT_EQ(shown.data_commands, DataCommandsSwitch::kUnchanged);
  shown = session_.search_all_fields(SearchMode::kNot, "SMITH", false);
  EXPECT_EQ(listed(), (Indices{0}));
  // The session's own case setting does not reach the dialog's search.
  session_.toggle_case_sensitive();
  shown = session_.search_all_fields(SearchMode::kOr, "jones", true);
  EXPECT_EQ(listed(), (Indices{0, 1}));
  EXPECT_EQ(shown.count, 2U);
}

TEST_F(SessionTest, FormSearchStartsFromClearedCriteria) {
  load_keys({1});
  session_.set_edit_text(kTitle, "left over");
  session_.set_edit_ref_id("9");
  session_.start_form_search();
  EXPECT_EQ(session_.database().edit_buffer().text(kTitle), "");
  EXPECT_EQ(session_.database().edit_buffer().text(kEntryTypeSlot), "");
  EXPECT_EQ(session_.database().edit_buffer().ref_id, 0U);
}

TEST_F(SessionTest, TheSearchFormsRefIdIsTheNumberTyped) {
  load_keys({5, 12, 120});
  session_.start_form_search();
  session_.set_edit_ref_id(" 12 or so");
  EXPECT_EQ(session_.database().edit_buffer().ref_id, 12U);
  session_.search_by_form(SearchMode::kAnd);
  EXPECT_EQ(listed(), (Indices{1}));
  // No number: no RefId to look for, every reference meets the criteria.
  session_.set_edit_ref_id("twelve");
  EXPECT_EQ(session_.database().edit_buffer().ref_id, 0U);
  session_.search_by_form(SearchMode::kOr);
  EXPECT_EQ(listed(), (Indices{0, 1, 2}));
}

TEST_F(SessionTest, TheFormTypesOnlyIntoTextSlots) {
  session_.start_add();
  const EditBuffer before = session_.database().edit_buffer();
  session_.set_edit_text(kRefIdSlot, "9");
  session_.set_edit_text(-1, "x");
  session_.set_edit_text(kEditTextCount, "x");
  EXPECT_EQ(session_.database().edit_buffer().ref_id, before.ref_id);
  EXPECT_EQ(session_.database().edit_buffer().slots, before.slots);
  session_.set_edit_text(kEntryTypeSlot, "book");
  session_.set_edit_text(kOtherFieldsText, "doi = {10.1/x}");
  EXPECT_EQ(session_.database().edit_buffer().text(kEntryTypeSlot), "book");
  EXPECT_EQ(session_.database().edit_buffer().text(kOtherFieldsText), "doi = {10.1/x}");
}

TEST_F(SessionTest, FormSearchNotDropsWhatMeetsAnyCriterion) {
  load_text(
      "@article{1,\n  journal = \"Nature\",\n  year = \"1999\"\n}\n\n"
      "@article{2,\n  journal = \"Science\",\n  year = \"2001\"\n}\n\n"
      "@article{3,\n  journal = \"Nature\",\n  year = \"2001\"\n}\n\n"
      "@article{4,\n  year = \"1999\"\n}\n\n");
  session_.start_form_search();
  session_.set_edit_text(kJournal, "nature");
  session_.set_edit_text(kYear, "2001");
  // NOT: one met criterion is enough; only 4 (no journal, another year) stays.
  Shown shown = session_.search_by_form(SearchMode::kNot);
  EXPECT_EQ(listed(), (Indices{3}));
  EXPECT_EQ(shown.count, 1U);
  EXPECT_EQ(shown.list, ListChange::kRefill);
  // AND and OR need every criterion.
  session_.view_all();
  shown = session_.search_by_form(SearchMode::kAnd);
  EXPECT_EQ(listed(), (Indices{2}));
  session_.list({});
  shown = session_.search_by_form(SearchMode::kOr);
  EXPECT_EQ(listed(), (Indices{2}));
  EXPECT_EQ(shown.count, 1U);
}

TEST_F(SessionTest, FormSearchFoldsUnlessCaseSensitive) {
  load_text("@article{1,\n  journal = \"Nature\"\n}\n\n");
  session_.start_form_search();
  session_.set_edit_text(kJournal, "nature");
  session_.search_by_form(SearchMode::kAnd);
  EXPECT_EQ(listed(), (Indices{0}));
  session_.toggle_case_sensitive();
  EXPECT_TRUE(session_.case_sensitive());
  session_.search_by_form(SearchMode::kAnd);
  EXPECT_EQ(listed(), Indices{});
}

TEST_F(SessionTest, ViewAllListsTheDatabase) {
  load_keys({1, 2, 3});
  session_.list({1});
  const Shown shown = session_.view_all();
  EXPECT_EQ(listed(), (Indices{0, 1, 2}));
  EXPECT_EQ(shown.list, ListChange::kRefill);
  EXPECT_EQ(shown.count, 3U);
  EXPECT_EQ(shown.data_commands, DataCommandsSwitch::kUnchanged);
}

TEST_F(SessionTest, PrintCitesTheListedInListOrderAndNamesTheCurrentFile) {
  load_keys({12, 5, 7});
  session_.list({0, 2});
  EXPECT_EQ(session_.listed_ref_ids(), (std::vector<RefId>{12, 7}));
  const std::string tex = dir_.file("out.tex");
  EXPECT_EQ(session_.print(tex, messages_).result, Outcome::kDone);
  EXPECT_EQ(testing::read_file(tex),
            "\\documentclass[12pt]{article} \n\\begin{document} \n\\nocite{12} \n\\nocite{7} \n\\bibliography{" +
                dir_.file("refs") + "} \n\\bibliographystyle{plain} \n\\end{document} \n");
  // New keeps the file name that the document names.
  session_.new_database();
  EXPECT_EQ(session_.print(tex, messages_).result, Outcome::kDone);
  EXPECT_EQ(testing::read_file(tex), "\\documentclass[12pt]{article} \n\\begin{document} \n\\bibliography{" +
                                         dir_.file("refs") + "} \n\\bibliographystyle{plain} \n\\end{document} \n");
}

TEST_F(SessionTest, APrintThatCannotOpenItsFileCannotWrite) {
  load_keys({1});
  messages_.str("");
  EXPECT_EQ(session_.print(dir_.file("no/such/dir.tex"), messages_).result, Outcome::kCannotWrite);
  EXPECT_EQ(messages_.str(), "Cannot open LaTeX file for output! \n");
}

TEST_F(SessionTest, SaveNamesTheFileOnlyWhenWritten) {
  load_keys({1});
  const std::string out = dir_.file("out.bib");
  Shown shown = session_.save(out, messages_);
  EXPECT_EQ(shown.result, Outcome::kDone);
  EXPECT_EQ(shown.title, TitleChange::kCurrentFile);
  EXPECT_EQ(session_.CurrentFileName(), out);
  EXPECT_EQ(testing::read_file(out), "@misc{1,\ntitle      = \"T1\",\n}\n\n");
  shown = session_.save(dir_.file("no/such/dir.bib"), messages_);
  EXPECT_NE(shown.result, Outcome::kDone);
  EXPECT_EQ(shown.title, TitleChange::kUnchanged);
  EXPECT_EQ(session_.CurrentFileName(), out);
}

TEST_F(SessionTest, ResetGoesBackToAFreshStart) {
  load_keys({1});
  session_.toggle_case_sensitive();
  ASSERT_TRUE(session_.start_edit(1));
  session_.reset();
  EXPECT_TRUE(session_.database().empty());
  EXPECT_EQ(session_.listed_references().count(), 0U);
  EXPECT_FALSE(session_.edit_target().index());
  EXPECT_EQ(session_.CurrentFileName(), "");
  EXPECT_FALSE(session_.case_sensitive());
}

// Today's files through "BibTeX (any style)": keys, other fields and
// blocks travel from the load to the save and the LaTeX document.
class TodaysFiles : public SessionTest {
 protected:
  Shown load_any(const std::string& text, const std::string& name = "today.bib") {
    const std::string path = dir_.file(name);
    testing::write_file(path, text);
    return session_.load(path, FileType::kBibtexAny, messages_);
  }
  // Ok in the form with this key and these other fields typed in, for the
  // reference at list position 1 (or a new one with `add`).
  bool accepted(const std::string& key, std::optional<std::string> other_fields = std::nullopt, bool add = false) {
    if (add) {
      session_.start_add();
    } else {
      EXPECT_TRUE(session_.start_edit(1));
    }
    session_.set_edit_text(kCitationKeyText, key);
    if (other_fields) session_.set_edit_text(kOtherFieldsText, *other_fields);
    messages_.str("");
    return session_.accept_form(messages_);
  }
};

TEST_F(TodaysFiles, ASaveWritesTheKeysAndPrintCitesThem) {
  ASSERT_EQ(load_any("@article{smith2020, title = {A}, doi = {10.1/a}}\n@misc{7, note = {n}}\n").result,
            Outcome::kDone);
  session_.list({1, 0});
  const std::string tex = dir_.file("doc.tex");
  ASSERT_EQ(session_.print(tex, messages_).result, Outcome::kDone);
  EXPECT_NE(testing::read_file(tex).find("\\nocite{7} \n\\nocite{smith2020} \n"), std::string::npos);
  const std::string out = dir_.file("out.bib");
  ASSERT_EQ(session_.save(out, messages_).result, Outcome::kDone);
  EXPECT_EQ(
      testing::read_file(out),
      "@article{smith2020,\ntitle      = \"A\",\ndoi        = \"10.1/a\",\n}\n\n@misc{7,\nnote       = \"n\",\n}\n\n");
  EXPECT_EQ(messages_.str(), "");
}

TEST_F(TodaysFiles, ALoadRenamesKeysHeldAlreadyAndSaysSo) {
  ASSERT_EQ(load_any("@misc{doe, title = {A}}\n").result, Outcome::kDone);
  ASSERT_EQ(load_any("@misc{DOE, title = {B}}\n@misc{x, crossref = {doe}}\n", "second.bib").result, Outcome::kDone);
  EXPECT_EQ(messages_.str(), "keys held already, renamed: DOE -> DOEa \n");
  EXPECT_EQ(session_.database().reference(1).citation_key(), "DOEa");
  EXPECT_EQ(session_.database().reference(2).text(kCrossref), "DOEa");
}

TEST_F(TodaysFiles, TheFormTakesAKeyBibtexCanUseAndNoOtherReferenceHas) {
  ASSERT_EQ(load_any("@misc{Smith2020,}\n@misc{doe,}\n").result, Outcome::kDone);
  EXPECT_TRUE(accepted("Smith2020"));  // its own key, unchanged
  EXPECT_TRUE(accepted("smith:2020/a"));
  EXPECT_TRUE(accepted(""));  // no key: the Ref. ID is written
  EXPECT_EQ(messages_.str(), "");
  EXPECT_FALSE(accepted("DOE"));
  EXPECT_EQ(messages_.str(), "key \"DOE\" refused: reference " +
                                 std::to_string(session_.database().reference(1).ref_id()) +
                                 " has the key doe (BibTeX does not tell keys apart by case) \n");
  EXPECT_FALSE(accepted("doe", std::nullopt, true));
  EXPECT_FALSE(accepted("two words"));
  EXPECT_EQ(messages_.str(),
            "key \"two words\" refused: BibTeX takes no blanks, commas, braces, quotes, #, % or = in a key \n");
  EXPECT_FALSE(accepted("42"));
  EXPECT_EQ(messages_.str(),
            "key \"42\" refused: a number is written as the Ref. ID (leave the key empty for that) \n");
}

TEST_F(TodaysFiles, TheFormTakesOtherFieldsOnlyAsFields) {
  ASSERT_EQ(load_any("@misc{a, doi = {10.1/a}}\n").result, Outcome::kDone);
  EXPECT_TRUE(accepted("a", "doi = {10.1/a}\nurl = {http://x.org}"));
  EXPECT_FALSE(accepted("a", "doi = {10.1/a}\nurl {http://x.org}"));
  EXPECT_EQ(messages_.str(), "Other fields refused, line 2: \"url\" must be followed by >> = << and a value \n");
  // Ok refused leaves the reference as it was; Ok accepted stores.
  EXPECT_TRUE(accepted("b", "doi = {10.1/b}, note2 = jan"));
  session_.store_edit(messages_);
  const Reference& r = session_.database().reference(0);
  EXPECT_EQ(r.citation_key(), "b");
  const auto fields = r.extras().unpack().other_fields;
  ASSERT_EQ(fields.size(), 2U);
  EXPECT_EQ(fields[1], (OtherField{"note2", "January", "jan"}));
}

TEST_F(TodaysFiles, AnAddedReferenceMayBringKeyAndOtherFields) {
  EXPECT_TRUE(accepted("new2024", "url = {http://x.org}", true));
  session_.add_from_edit_buffer(messages_);
  const std::string out = dir_.file("out.bib");
  ASSERT_EQ(session_.save(out, messages_).result, Outcome::kDone);
  EXPECT_EQ(testing::read_file(out), "@article{new2024,\nurl        = \"http://x.org\",\n}\n\n");
}

TEST_F(TodaysFiles, NewForgetsPreamblesMacrosAndComments) {
  ASSERT_EQ(load_any("@preamble{\"p\"}\n@string{j = \"J\"}\n@comment{c}\n@misc{a, journal = j}\n").result,
            Outcome::kDone);
  EXPECT_EQ(session_.database().blocks().size(), 3U);
  session_.new_database();
  EXPECT_TRUE(session_.database().blocks().empty());
}

// --- Changes no save has written ------------------------------------------

// Runs a command and tells whether it left the session modified and
// counted a change.
class ModifiedState : public SessionTest {
 protected:
  // Starts from a saved database of three references, the first two listed.
  void SetUp() override {
    load_keys({1, 2, 3});
    ASSERT_EQ(session_.save(dir_.file("saved.bib"), messages_).result, Outcome::kDone);
    session_.list({0, 1});
    ASSERT_FALSE(session_.modified());
  }
  // Whether `command` marked the session modified and counted a change;
  // saves afterwards, so each command is judged on its own.
  bool changes(const std::function<void()>& command) {
    const std::uint64_t before = session_.changes();
    command();
    const bool modified = session_.modified();
    EXPECT_EQ(modified, session_.changes() != before) << "the count and the state disagree";
    session_.save(dir_.file("saved.bib"), messages_);
    EXPECT_FALSE(session_.modified());
    return modified;
  }
};

TEST_F(ModifiedState, EveryCommandThatChangesTheDatabaseMarksItUntilTheNextSave) {
  EXPECT_TRUE(changes([&] { load_text(misc_entries({8})); }));
  // A load that opened its file, even one that read nothing.
  EXPECT_TRUE(changes([&] { load_text("nothing here\n", "empty.bib"); }));
  EXPECT_TRUE(changes([&] {
    session_.start_add();
    session_.add_from_edit_buffer(messages_);
  }));
  EXPECT_TRUE(changes([&] { edit_title(1, "Edited"); }));
  EXPECT_TRUE(changes([&] { session_.delete_at(2); }));
  session_.list({0});
  EXPECT_TRUE(changes([&] { session_.reduce(); }));
  EXPECT_TRUE(changes([&] { session_.new_database(); }));
  EXPECT_TRUE(session_.database().empty());
}

TEST_F(ModifiedState, CommandsThatOnlyLookOrChangeNothingLeaveIt) {
  EXPECT_FALSE(changes([&] { session_.load(dir_.file("missing.bib"), FileType::kBibtex, messages_); }));
  EXPECT_FALSE(changes([&] { session_.print(dir_.file("out.tex"), messages_); }));
  EXPECT_FALSE(changes([&] { session_.search_all_fields(SearchMode::kOr, "T", true); }));
  EXPECT_FALSE(changes([&] {
    session_.start_form_search();
    session_.search_by_form(SearchMode::kAnd);
  }));
  EXPECT_FALSE(changes([&] { session_.view_all(); }));
  EXPECT_FALSE(changes([&] { session_.toggle_case_sensitive(); }));
  EXPECT_FALSE(changes([&] {
    session_.start_add();
    session_.cancel_edit();
  }));
  EXPECT_FALSE(changes([&] {
    session_.start_edit(1);
    session_.set_edit_text(kTitle, "Typed, then Cancel");
    session_.cancel_edit();
  }));
  // Nothing at a position that is not listed.
  EXPECT_FALSE(changes([&] { session_.delete_at(9); }));
  // Everything is listed: reduce drops nothing.
  EXPECT_FALSE(changes([&] {
    session_.view_all();
    session_.reduce();
  }));
  // An edit whose reference was deleted meanwhile stores nothing; the
  // delete was the change.
  ASSERT_TRUE(session_.start_edit(1));
  EXPECT_TRUE(changes([&] { session_.delete_at(1); }));
  EXPECT_FALSE(changes([&] { session_.store_edit(messages_); }));
  // New on an empty database.
  EXPECT_TRUE(changes([&] { session_.new_database(); }));
  EXPECT_FALSE(changes([&] { session_.new_database(); }));
}

TEST_F(ModifiedState, OnlyASaveThatWroteEverythingClearsIt) {
  load_text(misc_entries({9}));
  ASSERT_TRUE(session_.modified());
  const std::uint64_t changed = session_.changes();
  session_.save(dir_.file("no/such/dir/out.bib"), messages_);
  EXPECT_TRUE(session_.modified());
  session_.print(dir_.file("out.tex"), messages_);
  EXPECT_TRUE(session_.modified());
  session_.save(dir_.file("out.bib"), messages_);
  EXPECT_FALSE(session_.modified());
  EXPECT_EQ(session_.changes(), changed);  // a save is no change
  session_.reset();
  EXPECT_FALSE(session_.modified());
  EXPECT_EQ(session_.changes(), 0U);
}

constexpr RefId kLargest = std::numeric_limits<RefId>::max();

TEST(RefIdFromText, ReadsTheDecimalNumberAtTheStart) {
  EXPECT_EQ(ref_id_from_text(""), 0U);
  EXPECT_EQ(ref_id_from_text(" \t\n"), 0U);
  EXPECT_EQ(ref_id_from_text("abc"), 0U);
  EXPECT_EQ(ref_id_from_text("0x1F"), 0U);
  EXPECT_EQ(ref_id_from_text("42"), 42U);
  EXPECT_EQ(ref_id_from_text(" \t\v\f\r\n42"), 42U);
  EXPECT_EQ(ref_id_from_text("42abc"), 42U);
  EXPECT_EQ(ref_id_from_text("4 2"), 4U);
  EXPECT_EQ(ref_id_from_text("1.5"), 1U);
  EXPECT_EQ(ref_id_from_text("007"), 7U);
  EXPECT_EQ(ref_id_from_text("+5"), 5U);
  EXPECT_EQ(ref_id_from_text("+ 5"), 0U);
  EXPECT_EQ(ref_id_from_text("\xA0"
                             "5"),
            0U);  // no-break space is no white space
  EXPECT_EQ(ref_id_from_text(std::string_view("5\0"
                                              "1",
                                              3)),
            5U);
  // A minus counts back from 2^64, as strtoull has it.
  EXPECT_EQ(ref_id_from_text("-1"), kLargest);
  EXPECT_EQ(ref_id_from_text("-0"), 0U);
}

TEST(RefIdFromText, ANumberBeyondTheLargestRefIdGivesTheLargest) {
  EXPECT_EQ(ref_id_from_text("18446744073709551614"), kLargest - 1);
  EXPECT_EQ(ref_id_from_text("18446744073709551615"), kLargest);
  EXPECT_EQ(ref_id_from_text("18446744073709551616"), kLargest);
  EXPECT_EQ(ref_id_from_text("18446744073709551620"), kLargest);
  EXPECT_EQ(ref_id_from_text("184467440737095516150"), kLargest);
  EXPECT_EQ(ref_id_from_text(std::string(1000, '9') + "x"), kLargest);
  EXPECT_EQ(ref_id_from_text("-18446744073709551616"), kLargest);
  EXPECT_EQ(ref_id_from_text("00000000000000000000018446744073709551615"), kLargest);
}

// The form read the field with strtoull before: every text still gives
// what strtoull gives.
TEST(RefIdFromText, AgreesWithStrtoull) {
  std::mt19937 random(20240611);
  static constexpr std::string_view kAlphabet = " \t\n\v\f\r+-x.0123456789";
  const auto below = [&random](std::size_t bound) { return static_cast<std::size_t>(random() % bound); };
  for (int n = 0; n < 20000; ++n) {
    std::string text;
    const std::size_t length = below(24);
    for (std::size_t i = 0; i < length; ++i) text += kAlphabet[below(kAlphabet.size())];
    // Numbers around the largest RefId: 19 to 21 digits after a start.
    if (n % 2 == 0) {
      text += "1844674407370955161";
      for (std::size_t i = below(3); i > 0; --i) text += static_cast<char>('0' + below(10));
    }
    EXPECT_EQ(ref_id_from_text(text), std::strtoull(text.c_str(), nullptr, 10)) << '"' << text << '"';
  }
}

}  // namespace
}  // namespace refloom
