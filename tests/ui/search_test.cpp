#include "gui_test.h"

#include <X11/IntrinsicP.h>
#include <Xm/MessageB.h>
#include <Xm/Text.h>
#include <Xm/ToggleBG.h>

#include "core/fields.h"
#include "ui/app.h"
#include "ui/form.h"
#include "ui/reference_list.h"

namespace refloom::testing {
namespace {

using Lines = std::vector<std::string>;

const char* const kPeople =
    "@article{1,\n author = {Smith, A.},\n title = {One},\n}\n"
    "@book{2,\n author = {Jones, B.},\n title = {Two},\n reprint = {NOT IN FILE},\n}\n"
    "@inbook{3,\n author = {SMITH, C.},\n title = {Three},\n reprint = {IN FILE},\n}\n"
    "@misc{4,\n author = {smithson, D.},\n title = {Four},\n}\n";

class Search : public GuiTest {
 protected:
  Widget reflist() { return find("main_w.reflist"); }

  // Opens a new "Search all fields" dialog; returns its message box.
  Widget open_dialog() {
    const std::size_t before = dialogs().size();
    choose("Search", "Search in all fields");
    Widget mbox = nullptr;
    pump_until([&] {
      auto now = dialogs();
      if (now.size() <= before) return false;
      mbox = now.back();
      return is_shown(mbox);
    });
    EXPECT_NE(mbox, nullptr);
    return mbox;
  }
  // The dialogs that exist, oldest first.
  std::vector<Widget> dialogs() {
    std::vector<Widget> found;
    WidgetList popups = reflist()->core.popup_list;
    for (Cardinal i = 0; i < reflist()->core.num_popups; ++i) {
      Widget mbox = XtNameToWidget(popups[i], "mbox");
      if (mbox != nullptr && !reflist()->core.being_destroyed && !popups[i]->core.being_destroyed)
        found.push_back(mbox);
    }
    return found;
  }
  void search_all(Widget mbox, const std::string& toggle, std::string_view text) {
    bring_to_front(XtParent(mbox));
    if (toggle != "and") click(find_in(mbox, "rowcol." + toggle));
    Widget field = find_in(mbox, "rowcol.text");
    click(field);
    if (!text.empty()) type(text);
    click(XmMessageBoxGetChild(mbox, XmDIALOG_OK_BUTTON));
  }
  bool form_search(const std::string& entry, const std::function<void(Widget)>& steps) {
    return while_form_open([&] { choose("Search", entry); }, steps);
  }
};

TEST_F(Search, DialogLooksAsDescribed) {
  load_directly(kPeople);
  Widget mbox = open_dialog();
  ASSERT_NE(mbox, nullptr);
  EXPECT_EQ(XtParent(XtParent(mbox)), reflist());
  EXPECT_EQ(title_of(XtParent(mbox)), "Search all fields");
  EXPECT_EQ(label_of(XmMessageBoxGetChild(mbox, XmDIALOG_MESSAGE_LABEL)), "Search in all fields for:");
  EXPECT_FALSE(XtIsManaged(XmMessageBoxGetChild(mbox, XmDIALOG_HELP_BUTTON)));
  Widget rowcol = find_in(mbox, "rowcol");
  WidgetList children = nullptr;
  Cardinal count = 0;
  XtVaGetValues(rowcol, XmNchildren, &children, XmNnumChildren, &count, nullptr);
  Lines names;
  for (Cardinal i = 0; i < count; ++i) names.emplace_back(XtName(children[i]));
  EXPECT_EQ(names, (Lines{"text", "and", "or ", "not"}));
  EXPECT_TRUE(XmToggleButtonGadgetGetState(children[1]));
  EXPECT_FALSE(XmToggleButtonGadgetGetState(children[2]));
  EXPECT_EQ(label_of(children[2]), "or ");
  EXPECT_EQ(text_of(children[0]), "");
  click(XmMessageBoxGetChild(mbox, XmDIALOG_CANCEL_BUTTON));
  EXPECT_EQ(list_items(reflist()).size(), 4U);
  EXPECT_EQ(count_line(), "number of references: 4");
}

// A citation key and a field outside the 28 of today's files are found
// like any field.
TEST_F(Search, AllFieldsFindsKeysAndOtherFields) {
  const std::string path = dir_.file("today.bib");
  write_file(path,
             "@article{Smith2020deep, title = {One}}\n@misc{jones, title = {Two}, doi = {10.1/abc}}\n"
             "@misc{7, title = {Three}}\n");
  ui::show(ui::session().load(path, FileType::kBibtexAny, ui::messages()));
  pump();
  search_all(open_dialog(), "and", "2020DEEP");
  EXPECT_EQ(list_items(reflist()), (Lines{"8  One  "}));
  search_all(open_dialog(), "or ", "1/ABC");
  EXPECT_EQ(list_items(reflist()), (Lines{"8  One  ", "9  Two  "}));
  EXPECT_EQ(count_line(), "number of references: 2");
}

// In the C locale a paste keeps the bytes that were copied: a Latin-1
// "\xE4" copied from the form arrives in the search dialog as that byte,
// not as the two bytes of its UTF-8, and the search finds it.
TEST_F(Search, APastedLatin1LetterIsSearchedForAsCopied) {
  load_directly("@article{1,\n author = {B\xE4r, A.},\n title = {One},\n}\n@misc{2,\n title = {Two},\n}\n");
  select_line(1);
  const bool ran = while_form_open([this] { choose("Edit", "Edit reference"); },
                                   [&](Widget shell) {
                                     Widget author = form_field(shell, "Author:");
                                     XmTextSetSelection(author, 1, 2, XtLastTimestampProcessed(display()));
                                     ASSERT_TRUE(XmTextCopy(author, XtLastTimestampProcessed(display())));
                                     click(find_in(shell, "form.rowcol.cancel"));
                                   });
  ASSERT_TRUE(ran);
  Widget mbox = open_dialog();
  bring_to_front(XtParent(mbox));
  Widget field = find_in(mbox, "rowcol.text");
  click(field);
  ASSERT_TRUE(XmTextPaste(field));
  ASSERT_TRUE(pump_until([&] { return !text_of(field).empty(); }));
  EXPECT_EQ(text_of(field), "\xE4");
  click(XmMessageBoxGetChild(mbox, XmDIALOG_OK_BUTTON));
  EXPECT_EQ(list_items(reflist()), (Lines{"1 B\xE4r, A. One  "}));
}

// A list line never cuts a UTF-8 character in two: the cut goes before it,
// and the rest of the line shows.
TEST_F(Search, AListLineCutBeforeAUtf8CharacterKeepsTheRest) {
  load_directly(
      "@article{3,\n author = {\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98},\n"
      " title = {After the name},\n year = {2001},\n}\n");
  EXPECT_EQ(list_items(reflist()),
            (Lines{"3 \xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98\xC3\x98 After the name  2001"}));
}

TEST_F(Search, AllFieldsAndOrNot) {
  load_directly(kPeople);
  search_all(open_dialog(), "and", "smith");
  EXPECT_EQ(list_items(reflist()), (Lines{"1 Smith, A. One  ", "3 SMITH, C. Three  ", "4 smithson, D. Four  "}));
  EXPECT_EQ(count_line(), "number of references: 3");

  search_all(open_dialog(), "not", "son");
  EXPECT_EQ(list_items(reflist()), (Lines{"1 Smith, A. One  ", "3 SMITH, C. Three  "}));
  EXPECT_EQ(count_line(), "number of references: 2");

  search_all(open_dialog(), "or ", "book");  // entry types book and inbook
  EXPECT_EQ(list_items(reflist()), (Lines{"1 Smith, A. One  ", "2 Jones, B. Two  ", "3 SMITH, C. Three  "}));

  search_all(open_dialog(), "and", "IN FILE");  // reprint is searched too
  EXPECT_EQ(list_items(reflist()), (Lines{"2 Jones, B. Two  ", "3 SMITH, C. Three  "}));

  choose("Search", "View all references");
  EXPECT_EQ(list_items(reflist()).size(), 4U);
  EXPECT_EQ(count_line(), "number of references: 4");
}

TEST_F(Search, OkWithoutTextSearchesForTheEmptyText) {
  load_directly(kPeople);
  ui::show(ui::session().list({1, 2}));
  pump();
  search_all(open_dialog(), "not", "");
  EXPECT_EQ(list_items(reflist()).size(), 0U);
  EXPECT_EQ(count_line(), "number of references: 0");
  search_all(open_dialog(), "or ", "");
  EXPECT_EQ(list_items(reflist()).size(), 4U);
}

TEST_F(Search, ADialogKeepsTheCaseSettingItWasOpenedWith) {
  load_directly(kPeople);
  Widget folding = open_dialog();
  choose("Search", "Case sensitive");
  EXPECT_TRUE(ui::session().case_sensitive());
  Widget exact = open_dialog();
  ASSERT_NE(folding, exact);
  search_all(exact, "and", "SMITH");
  EXPECT_EQ(list_items(reflist()), (Lines{"3 SMITH, C. Three  "}));
  choose("Search", "View all references");
  search_all(folding, "and", "SMITH");
  EXPECT_EQ(list_items(reflist()).size(), 3U);
  choose("Search", "Case sensitive");
  EXPECT_FALSE(ui::session().case_sensitive());
}

TEST_F(Search, FormSearchWithAndOrNot) {
  load_directly(kPeople);
  const bool ran = form_search("AND", [&](Widget shell) {
    EXPECT_EQ(title_of(shell), "Search references");
    EXPECT_EQ(ui::database().edit_buffer().text(kEntryTypeSlot), "");
    click(form_field(shell, "Author:"));
    type("smith");
    click(find_in(shell, "form.rowcol.ok"));
  });
  ASSERT_TRUE(ran);
  EXPECT_EQ(list_items(reflist()), (Lines{"1 Smith, A. One  ", "3 SMITH, C. Three  ", "4 smithson, D. Four  "}));

  form_search("NOT", [&](Widget shell) {
    type_into(form_field(shell, "Ref. ID:"), "4");
    click(find_in(shell, "form.rowcol.ok"));
  });
  EXPECT_EQ(list_items(reflist()), (Lines{"1 Smith, A. One  ", "3 SMITH, C. Three  "}));

  form_search("OR", [&](Widget shell) {
    choose_option(shell, 1, 1);  // reprint NOT IN FILE, compared exactly
    click(find_in(ui::open_form_shell(), "form.rowcol.ok"));
  });
  EXPECT_EQ(list_items(reflist()), (Lines{"1 Smith, A. One  ", "2 Jones, B. Two  ", "3 SMITH, C. Three  "}));
  EXPECT_EQ(count_line(), "number of references: 3");
}

// NOT drops every listed reference that meets any one of the criteria, a
// criterion on a field the reference lacks being one it does not meet.
TEST_F(Search, FormNotWithSeveralCriteriaDropsWhatMeetsAnyOfThem) {
  load_directly(
      "@article{1,\n journal = {Nature},\n title = {A review},\n}\n"
      "@article{2,\n journal = {Nature Physics},\n}\n"
      "@misc{3,\n title = {Review of reviews},\n}\n"
      "@article{4,\n journal = {Science},\n title = {Letters},\n}\n"
      "@misc{5,\n title = {Untouched},\n}\n");
  const bool ran = form_search("NOT", [&](Widget shell) {
    click(form_field(shell, "Journal:"));
    type("nature");
    click(form_field(shell, "Title:"));
    type("REVIEW");
    click(find_in(shell, "form.rowcol.ok"));
  });
  ASSERT_TRUE(ran);
  EXPECT_EQ(list_items(reflist()), (Lines{"4  Letters Science ", "5  Untouched  "}));
  EXPECT_EQ(count_line(), "number of references: 2");

  choose("Search", "View all references");
  form_search("NOT", [&](Widget shell) {
    type_into(form_field(shell, "Ref. ID:"), "4");
    click(form_field(shell, "Journal:"));
    type("Physics");
    click(find_in(shell, "form.rowcol.ok"));
  });
  EXPECT_EQ(list_items(reflist()), (Lines{"1  A review Nature ", "3  Review of reviews  ", "5  Untouched  "}));
  EXPECT_EQ(count_line(), "number of references: 3");
}

TEST_F(Search, FormSearchForAnEntryTypeAndCancel) {
  load_directly(kPeople);
  form_search("AND", [&](Widget shell) {
    choose_option(shell, 0, 1);  // book: finds inbook too
    click(find_in(ui::open_form_shell(), "form.rowcol.ok"));
  });
  EXPECT_EQ(list_items(reflist()), (Lines{"2 Jones, B. Two  ", "3 SMITH, C. Three  "}));
  form_search("OR", [&](Widget shell) { click(find_in(shell, "form.rowcol.cancel")); });
  EXPECT_EQ(list_items(reflist()).size(), 2U);
  EXPECT_EQ(count_line(), "number of references: 2");
  // Ok with nothing entered: OR lists the whole database.
  form_search("OR", [&](Widget shell) { click(find_in(shell, "form.rowcol.ok")); });
  EXPECT_EQ(list_items(reflist()).size(), 4U);
}

}  // namespace
}  // namespace refloom::testing
