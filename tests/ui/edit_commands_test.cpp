#include "gui_test.h"

#include <Xm/FileSB.h>
#include <Xm/List.h>
#include <Xm/MessageB.h>

#include "core/fields.h"
#include "ui/app.h"
#include "ui/file_dialogs.h"
#include "ui/form.h"
#include "ui/reference_list.h"

namespace refloom::testing {
namespace {

using Lines = std::vector<std::string>;

const char* const kThree =
    "@article{12,\n author = {Doe, J.},\n title = {First},\n journal = {Nature},\n year = {1995},\n}\n"
    "@book{7,\n title = {Second},\n year = {2001},\n}\n"
    "@misc{9,\n title = {Third},\n}\n";

class EditCommands : public GuiTest {
 protected:
  Widget reflist() { return find("main_w.reflist"); }
  bool edit(const std::function<void(Widget)>& steps) {
    return while_form_open([this] { choose("Edit", "Edit reference"); }, steps);
  }
};

TEST_F(EditCommands, EditChangesTheSelectedReferenceAndItsLine) {
  load_directly(kThree);
  select_line(2);
  const bool ran = edit([&](Widget shell) {
    EXPECT_EQ(title_of(shell), "Edit reference");
    EXPECT_EQ(text_of(form_field(shell, "Ref. ID:")), "7");
    EXPECT_EQ(text_of(form_field(shell, "Title:")), "Second");
    EXPECT_EQ(text_of(form_field(shell, "Year:")), "2001");
    type_into(form_field(shell, "Ref. ID:"), "99");  // not taken over when editing
    type_into(form_field(shell, "Title:"), "Changed");
    click(find_in(shell, "form.rowcol.ok"));
  });
  ASSERT_TRUE(ran);
  EXPECT_EQ(list_items(reflist()), (Lines{"12 Doe, J. First Nature 1995", "7  Changed  2001", "9  Third  "}));
  EXPECT_EQ(ui::database().reference(1).text(kTitle), "Changed");
  EXPECT_EQ(ui::database().reference(1).ref_id(), 7U);
  EXPECT_EQ(ui::database().reference(1).text(kEntryTypeSlot), "book");
  EXPECT_EQ(count_line(), "number of references: 3");
  // The edited line stays selected, as Motif keeps a replaced line.
  EXPECT_TRUE(XmListPosSelected(reflist(), 2));
  EXPECT_FALSE(XmListPosSelected(reflist(), 1));
}

TEST_F(EditCommands, CancelledEditLeavesTheReference) {
  load_directly(kThree);
  select_line(1);
  edit([&](Widget shell) {
    type_into(form_field(shell, "Title:"), "Not this");
    click(find_in(shell, "form.rowcol.cancel"));
  });
  EXPECT_EQ(ui::database().reference(0).text(kTitle), "First");
  EXPECT_EQ(list_items(reflist())[0], "12 Doe, J. First Nature 1995");
}

TEST_F(EditCommands, EditAndDeleteWithoutASelectionDoNothing) {
  load_directly(kThree);
  choose("Edit", "Edit reference");
  pump(200);
  EXPECT_FALSE(ui::form_is_open());
  choose("Edit", "Delete reference");
  EXPECT_EQ(ui::database().ref_count(), 3U);
  EXPECT_EQ(list_items(reflist()).size(), 3U);
  EXPECT_EQ(messages(), "");
}

TEST_F(EditCommands, DeleteShowsTheListedCountAndEmptyingSwitchesTheMenusOff) {
  load_directly(kThree);
  select_line(2);
  choose("Edit", "Delete reference");
  EXPECT_EQ(list_items(reflist()), (Lines{"12 Doe, J. First Nature 1995", "9  Third  "}));
  EXPECT_EQ(count_line(), "number of references: 2");
  EXPECT_EQ(ui::session().listed_references().indices(), (std::vector<std::size_t>{0, 1}));
  select_line(1);
  choose("Edit", "Delete reference");
  select_line(1);
  choose("Edit", "Delete reference");
  EXPECT_EQ(ui::database().ref_count(), 0U);
  EXPECT_EQ(count_line(), "number of references: 0");
  for (Widget widget : ui::DataCommands) EXPECT_FALSE(XtIsSensitive(widget)) << XtName(widget);
}

TEST_F(EditCommands, DeleteAfterASearchCountsTheListedReferences) {
  std::string ten;
  for (int i = 1; i <= 10; ++i) ten += "@misc{" + std::to_string(i) + ",\n}\n";
  load_directly(ten);
  ui::show(ui::session().list({2, 5, 9}));
  pump();
  select_line(2);
  choose("Edit", "Delete reference");
  EXPECT_EQ(ui::database().ref_count(), 9U);
  EXPECT_EQ(count_line(), "number of references: 2");
  EXPECT_EQ(ui::session().listed_references().indices(), (std::vector<std::size_t>{2, 8}));
  EXPECT_EQ(list_items(reflist()), (Lines{"3    ", "10    "}));
}

TEST_F(EditCommands, ReduceKeepsTheListedReferencesAndTheList) {
  std::string ten;
  for (int i = 1; i <= 10; ++i) ten += "@misc{" + std::to_string(i) + ",\n}\n";
  load_directly(ten);
  ui::show(ui::session().list({2, 5, 9}));
  pump();
  choose("Edit", "Reduce to listed references");
  ASSERT_EQ(ui::database().ref_count(), 3U);
  EXPECT_EQ(ui::database().reference(0).ref_id(), 3U);
  EXPECT_EQ(ui::database().reference(2).ref_id(), 10U);
  EXPECT_EQ(list_items(reflist()), (Lines{"3    ", "6    ", "10    "}));
  EXPECT_EQ(count_line(), "number of references: 3");
  EXPECT_EQ(ui::session().listed_references().indices(), (std::vector<std::size_t>{0, 1, 2}));
}

TEST_F(EditCommands, ReduceToAnEmptyListSwitchesTheDataCommandsOff) {
  load_directly(kThree);
  ui::show(ui::session().list({}));
  pump();
  for (Widget widget : ui::DataCommands) ASSERT_TRUE(XtIsSensitive(widget)) << XtName(widget);
  choose("Edit", "Reduce to listed references");
  EXPECT_TRUE(ui::database().empty());
  EXPECT_EQ(list_items(reflist()), Lines{});
  for (Widget widget : ui::DataCommands) EXPECT_FALSE(XtIsSensitive(widget)) << XtName(widget);
}

TEST_F(EditCommands, AddAfterASearchListsTheNewReferenceToo) {
  load_directly(kThree);
  ui::show(ui::session().list({0}));
  pump();
  while_form_open([this] { choose("Edit", "Add reference"); },
                  [&](Widget shell) {
                    EXPECT_EQ(text_of(form_field(shell, "Ref. ID:")), "8");  // 7, 9, 12: the gap above 7
                    click(find_in(shell, "form.rowcol.ok"));
                  });
  EXPECT_EQ(list_items(reflist()), (Lines{"12 Doe, J. First Nature 1995", "8    "}));
  EXPECT_EQ(count_line(), "number of references: 4");
}

TEST_F(EditCommands, AddTakesTheNextFreeRefIdWhenALoadTookTheProposedOne) {
  load_directly(kThree);
  const bool ran = while_form_open([this] { choose("Edit", "Add reference"); },
                                   [&](Widget shell) {
                                     EXPECT_EQ(text_of(form_field(shell, "Ref. ID:")), "8");
                                     type_into(form_field(shell, "Title:"), "Added");
                                     // Renumbered 8 and 10 into the held 7, 9 and 12.
                                     load_directly("@misc{1,\n}\n@misc{2,\n}\n");
                                     bring_to_front(shell);
                                     click(find_in(shell, "form.rowcol.ok"));
                                   });
  ASSERT_TRUE(ran);
  EXPECT_EQ(messages(), "Ref. ID 8 was taken meanwhile, reference stored as 11 \n");
  std::vector<RefId> ids;
  for (const Reference& reference : ui::database().references()) ids.push_back(reference.ref_id());
  EXPECT_EQ(ids, (std::vector<RefId>{12, 7, 9, 8, 10, 11}));
  EXPECT_EQ(list_items(reflist()).back(), "11  Added  ");
  EXPECT_EQ(count_line(), "number of references: 6");
}

TEST_F(EditCommands, AnEditWhoseReferenceWasDeletedMeanwhileIsNotStored) {
  load_directly(kThree);
  select_line(2);
  edit([&](Widget shell) {
    type_into(form_field(shell, "Title:"), "Lost");
    bring_to_front(shell_);
    select_line(2);
    choose("Edit", "Delete reference");
    bring_to_front(shell);
    click(find_in(shell, "form.rowcol.ok"));
  });
  EXPECT_EQ(messages(), "Reference deleted while being edited, changes not stored! \n");
  ASSERT_EQ(ui::database().ref_count(), 2U);
  EXPECT_EQ(ui::database().reference(0).text(kTitle), "First");
  EXPECT_EQ(ui::database().reference(1).text(kTitle), "Third");
}

TEST_F(EditCommands, AnEditFollowsItsReferenceWhenTheListingChanges) {
  load_directly(kThree);
  select_line(3);
  edit([&](Widget shell) {
    type_into(form_field(shell, "Title:"), "Third, edited");
    bring_to_front(shell_);
    // Delete the first line: the edited reference moves to index 1.
    select_line(1);
    choose("Edit", "Delete reference");
    bring_to_front(shell);
    click(find_in(shell, "form.rowcol.ok"));
  });
  ASSERT_EQ(ui::database().ref_count(), 2U);
  EXPECT_EQ(ui::database().reference(0).text(kTitle), "Second");
  EXPECT_EQ(ui::database().reference(1).text(kTitle), "Third, edited");
  EXPECT_EQ(list_items(reflist()), (Lines{"7  Second  2001", "9  Third, edited  "}));
  EXPECT_EQ(messages(), "");
}

// The citation key and the fields outside the 28 of a file in today's
// style: shown in the form, refused with a message while the form stays
// open when BibTeX could not take them, stored and saved when it can.
TEST_F(EditCommands, TheKeyAndTheOtherFieldsAreShownCheckedAndSaved) {
  const std::string path = dir_.file("today.bib");
  write_file(path, "@article{smith2020, title = {Keys}, DOI = {10.1/x}}\n@misc{doe99, title = {Other}}\n");
  ui::show(ui::session().load(path, FileType::kBibtexAny, ui::messages()));
  pump();
  select_line(1);
  const bool ran = edit([&](Widget shell) {
    EXPECT_EQ(text_of(find_in(shell, "form.keyText")), "smith2020");
    EXPECT_EQ(text_of(find_in(shell, "form.otherFieldsText")), "DOI = {10.1/x}");
    type_into(find_in(shell, "form.keyText"), "Doe99");
    click(find_in(shell, "form.rowcol.ok"));
    pump();
    ASSERT_TRUE(ui::form_is_open()) << "a key another reference has was taken";
    const std::string refused = "key \"Doe99\" refused: reference " +
                                std::to_string(ui::database().reference(1).ref_id()) +
                                " has the key doe99 (BibTeX does not tell keys apart by case) \n";
    EXPECT_EQ(messages(), refused);
    Widget dialog = XtNameToWidget(shell_, "*messageDialog");
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(is_shown(dialog));
    EXPECT_EQ(text_of(XtNameToWidget(dialog, "*messageText")), refused.substr(0, refused.size() - 1));
    bring_to_front(shell);
    type_into(find_in(shell, "form.keyText"), "smith2021");
    type_into(find_in(shell, "form.otherFieldsText"), "DOI = {10.1/x}\nurl {http://x.org}");
    click(find_in(shell, "form.rowcol.ok"));
    pump();
    ASSERT_TRUE(ui::form_is_open()) << "a malformed field was taken";
    bring_to_front(shell);
    type_into(find_in(shell, "form.otherFieldsText"), "DOI = {10.1/x}\nurl = {http://x.org}");
    click(find_in(shell, "form.rowcol.ok"));
  });
  ASSERT_TRUE(ran);
  EXPECT_FALSE(ui::form_is_open());
  EXPECT_EQ(ui::database().reference(0).citation_key(), "smith2021");
  choose("File", "Save");
  ASSERT_TRUE(pump_until([this] { return ui::save_dialog != nullptr && is_shown(ui::save_dialog); }));
  Widget save = ui::save_dialog;
  const std::string out = dir_.file("out.bib");
  type_into(XmFileSelectionBoxGetChild(save, XmDIALOG_TEXT), out);
  click(XmFileSelectionBoxGetChild(save, XmDIALOG_OK_BUTTON));
  pump();
  EXPECT_EQ(
      read_file(out),
      "@article{smith2021,\ntitle      = \"Keys\",\nDOI        = \"10.1/x\",\nurl        = \"http://x.org\",\n}\n\n"
      "@misc{doe99,\ntitle      = \"Other\",\n}\n\n");
}

}  // namespace
}  // namespace refloom::testing
