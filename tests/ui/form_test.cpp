#include "gui_test.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <Xm/List.h>
#include <Xm/RowColumn.h>
#include <Xm/Text.h>

#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/fields.h"
#include "core/reference.h"
#include "ui/app.h"
#include "ui/form.h"

namespace refloom::testing {
namespace {

using Labels = std::vector<std::string>;

class ReferenceForm : public GuiTest {
 protected:
  bool add(const std::function<void(Widget)>& steps) {
    return while_form_open([this] { choose("Edit", "Add reference"); }, steps);
  }
  const EditBuffer& buffer() const { return ui::database().edit_buffer(); }
};

const Labels kBottom = {"Abstract:", "Keyword:", "Note:", "Annote:", "Comment:"};

Labels with_bottom(Labels labels) {
  labels.insert(labels.end(), kBottom.begin(), kBottom.end());
  return labels;
}

TEST_F(ReferenceForm, EveryEntryTypeShowsExactlyItsFieldsInOrder) {
  const std::vector<Labels> expected = {
      {"Journal:", "Volume:", "Number:", "Month:", "Pages:", "Year:", "Title:", "Author:"},
      {"Volume:", "Number:", "Edition:", "Month:", "Year:", "Title:", "Series:", "Author:", "Editor:", "Publisher:",
       "Address:"},
      {"Howpublished:", "Month:", "Year:", "Title:", "Author:", "Address:"},
      {"Volume:", "Number:", "Edition:", "Month:", "Chapter:", "Pages:", "Year:", "Title:", "Series:", "Type:",
       "Author:", "Editor:", "Publisher:", "Address:"},
      {"Volume:", "Number:", "Edition:", "Month:", "Chapter:", "Pages:", "Year:", "Title:", "Booktitle:", "Series:",
       "Type:", "Author:", "Editor:", "Publisher:", "Address:"},
      {"Volume:", "Number:", "Month:", "Pages:", "Year:", "Title:", "Booktitle:", "Series:", "Author:", "Organization:",
       "Editor:", "Publisher:", "Address:"},
      {"Edition:", "Month:", "Year:", "Title:", "Author:", "Organization:", "Address:"},
      {"Month:", "Year:", "Title:", "Type:", "Author:", "School:", "Address:"},
      {"Howpublished:", "Month:", "Year:", "Title:", "Author:"},
      {"Month:", "Year:", "Title:", "Type:", "Author:", "School:", "Address:"},
      {"Volume:", "Number:", "Month:", "Year:", "Title:", "Series:", "Author:", "Editor:", "Publisher:", "Address:"},
      {"Number:", "Month:", "Year:", "Title:", "Type:", "Author:", "Institution:", "Address:"},
      {"Month:", "Year:", "Title:", "Author:"},
  };
  const bool ran = add([&](Widget shell) {
    EXPECT_EQ(form_labels(shell), with_bottom(expected[0])) << "article";
    for (int type = 1; type < 13; ++type) {
      choose_option(ui::open_form_shell(), 0, type);
      Widget rebuilt = ui::open_form_shell();
      ASSERT_TRUE(pump_until([&] { return is_shown(rebuilt); }));
      EXPECT_EQ(form_labels(rebuilt), with_bottom(expected[static_cast<std::size_t>(type)]))
          << kEntryTypeNames[static_cast<std::size_t>(type)];
      EXPECT_EQ(title_of(rebuilt), "Add new reference");
      EXPECT_EQ(buffer().text(kEntryTypeSlot), kEntryTypeNames[static_cast<std::size_t>(type)]);
    }
    // Twelve rebuilds later, Ok still answers the waiting command.
    click(find_in(ui::open_form_shell(), "form.rowcol.ok"));
  });
  EXPECT_TRUE(ran);
  ASSERT_EQ(ui::database().ref_count(), 1U);
  EXPECT_EQ(ui::database().reference(0).text(kEntryTypeSlot), "unpublished");
}

TEST_F(ReferenceForm, TopRowAndLayoutFollowTheirTables) {
  add([&](Widget shell) {
    EXPECT_EQ(title_of(shell), "Add new reference");
    Widget rowcol = find_in(shell, "form.rowcol");
    WidgetList children = nullptr;
    Cardinal count = 0;
    XtVaGetValues(rowcol, XmNchildren, &children, XmNnumChildren, &count, nullptr);
    Labels names;
    for (Cardinal i = 0; i < count; ++i) names.emplace_back(XtName(children[i]));
    EXPECT_EQ(names, (Labels{"label", "text", "label", "text", "label", "text", "option", "option", "ok", "cancel"}));
    EXPECT_EQ(label_of(children[0]), "Ref. ID:");
    Dimension width = 0;
    XtVaGetValues(children[0], XmNwidth, &width, nullptr);
    EXPECT_EQ(width, 100);
    EXPECT_EQ(text_of(children[1]), "1");
    EXPECT_EQ(label_of(children[2]), "Key:");
    EXPECT_EQ(label_of(children[4]), "Crossref:");
    EXPECT_EQ(label_of(children[8]), "Ok");
    EXPECT_EQ(label_of(children[9]), "Cancel");
    short columns = 0;
    XtVaGetValues(children[1], XmNcolumns, &columns, nullptr);
    EXPECT_EQ(columns, 8);
    // The entry type menu starts on article, the reprint menu on NOT IN FILE.
    Widget shown = nullptr;
    XtVaGetValues(children[6], XmNmenuHistory, &shown, nullptr);
    EXPECT_EQ(XtName(shown), std::string("button_0"));
    XtVaGetValues(children[7], XmNmenuHistory, &shown, nullptr);
    EXPECT_EQ(XtName(shown), std::string("button_1"));
    EXPECT_EQ(label_of(shown), "NOT IN FILE");

    // Band columns left to right under the top row; rows one below another.
    Widget journal = form_field(shell, "Journal:");
    Widget volume = form_field(shell, "Volume:");
    Widget year = form_field(shell, "Year:");
    Widget title = form_field(shell, "Title:");
    Widget author = form_field(shell, "Author:");
    Widget abstract = form_field(shell, "Abstract:");
    Widget keyword = form_field(shell, "Keyword:");
    Widget note = form_field(shell, "Note:");
    Widget annote = form_field(shell, "Annote:");
    Widget comment = form_field(shell, "Comment:");
    Widget left = nullptr;
    Widget top = nullptr;
    XtVaGetValues(volume, XmNleftWidget, &left, XmNtopWidget, &top, nullptr);
    EXPECT_EQ(left, journal);
    EXPECT_EQ(label_of(top), "Volume:");
    XtVaGetValues(title, XmNtopWidget, &top, nullptr);
    EXPECT_EQ(top, year);
    XtVaGetValues(author, XmNtopWidget, &top, nullptr);
    EXPECT_EQ(top, title);
    XtVaGetValues(abstract, XmNtopWidget, &top, nullptr);
    EXPECT_EQ(top, author);
    XtVaGetValues(keyword, XmNtopWidget, &top, nullptr);
    EXPECT_EQ(top, abstract);
    XtVaGetValues(note, XmNtopWidget, &top, nullptr);
    EXPECT_EQ(top, abstract);
    XtVaGetValues(annote, XmNtopWidget, &top, nullptr);
    EXPECT_EQ(top, note);
    XtVaGetValues(comment, XmNtopWidget, &top, nullptr);
    EXPECT_EQ(top, note);
    short rows = 0;
    Boolean wrap = False;
    int mode = 0;
    XtVaGetValues(title, XmNrows, &rows, XmNwordWrap, &wrap, XmNeditMode, &mode, nullptr);
    EXPECT_EQ(rows, 3);
    EXPECT_TRUE(wrap);
    EXPECT_EQ(mode, XmMULTI_LINE_EDIT);
    XtVaGetValues(abstract, XmNrows, &rows, nullptr);
    EXPECT_EQ(rows, 8);
    XtVaGetValues(keyword, XmNcolumns, &columns, XmNrows, &rows, nullptr);
    EXPECT_EQ(columns, 45);
    EXPECT_EQ(rows, 4);
    XtVaGetValues(journal, XmNcolumns, &columns, XmNeditMode, &mode, nullptr);
    EXPECT_EQ(columns, 35);
    EXPECT_EQ(mode, XmSINGLE_LINE_EDIT);
    click(find_in(shell, "form.rowcol.cancel"));
  });
}

TEST_F(ReferenceForm, TypedTextIsStoredWhenOkIsClicked) {
  const bool ran = add([&](Widget shell) {
    click(form_field(shell, "Journal:"));
    type("J. Tests");
    click(form_field(shell, "Title:"));
    type("A title");
    // No other field is clicked: Ok itself takes the title over.
    click(find_in(shell, "form.rowcol.ok"));
  });
  ASSERT_TRUE(ran);
  ASSERT_EQ(ui::database().ref_count(), 1U);
  const Reference& r = ui::database().reference(0);
  EXPECT_EQ(r.ref_id(), 1U);
  EXPECT_EQ(r.text(kEntryTypeSlot), "article");
  EXPECT_EQ(r.text(kJournal), "J. Tests");
  EXPECT_EQ(r.text(kTitle), "A title");
  EXPECT_FALSE(r.has(kYear));
  EXPECT_EQ(list_items(find("main_w.reflist")), (Labels{"1  A title J. Tests "}));
  EXPECT_EQ(count_line(), "number of references: 1");
  for (Widget widget : ui::DataCommands) EXPECT_TRUE(XtIsSensitive(widget)) << XtName(widget);
}

// A click on Ok, or moving to another field, takes the field being typed in
// over through its losing-focus callback before Ok runs. Motif's keyboard
// activation (a default button on Return, a mnemonic) arms and activates a
// button without moving the focus: Ok itself must take that field over.
TEST_F(ReferenceForm, OkActivatedWithoutMovingTheFocusStoresTheFieldBeingTyped) {
  const bool ran = add([&](Widget shell) {
    Widget title = form_field(shell, "Title:");
    click(title);
    type("Typed last");
    ASSERT_EQ(XmGetFocusWidget(shell), title);
    ASSERT_EQ(buffer().text(kTitle), "") << "the title lost the focus before Ok";
    activate_in_place(find_in(shell, "form.rowcol.ok"));
    EXPECT_FALSE(ui::form_is_open());
  });
  ASSERT_TRUE(ran);
  ASSERT_EQ(ui::database().ref_count(), 1U);
  EXPECT_EQ(ui::database().reference(0).text(kTitle), "Typed last");
  EXPECT_EQ(list_items(find("main_w.reflist")), (Labels{"1  Typed last  "}));
}

TEST_F(ReferenceForm, SwitchingTheTypeWithoutMovingTheFocusKeepsTheFieldBeingTyped) {
  const bool ran = add([&](Widget shell) {
    Widget title = form_field(shell, "Title:");
    click(title);
    type("Still here");
    ASSERT_EQ(buffer().text(kTitle), "") << "the title lost the focus before the switch";
    choose_option_in_place(shell, 0, 1);  // book
    Widget book = ui::open_form_shell();
    ASSERT_NE(book, shell);
    ASSERT_TRUE(pump_until([&] { return is_shown(book); }));
    EXPECT_EQ(buffer().text(kEntryTypeSlot), "book");
    EXPECT_EQ(text_of(form_field(book, "Title:")), "Still here");
    click(find_in(book, "form.rowcol.ok"));
  });
  ASSERT_TRUE(ran);
  ASSERT_EQ(ui::database().ref_count(), 1U);
  EXPECT_EQ(ui::database().reference(0).text(kEntryTypeSlot), "book");
  EXPECT_EQ(ui::database().reference(0).text(kTitle), "Still here");
}

// Long rows wrap their words where the layout says so; every other field,
// the single-line ones included, does not.
TEST_F(ReferenceForm, OnlyTheFieldsMeantToWrapWrapTheirWords) {
  const std::vector<std::string> wrapping = {"Title:",    "Booktitle:", "Author:", "Institution:", "Editor:",
                                             "Abstract:", "Keyword:",   "Note:",   "Annote:",      "Comment:"};
  std::set<std::string> seen;
  const bool ran = add([&](Widget first) {
    for (int type = 0; type < 13; ++type) {
      Widget shell = first;
      if (type > 0) {
        choose_option_in_place(ui::open_form_shell(), 0, type);
        shell = ui::open_form_shell();
      }
      Labels labels = {"Ref. ID:", "Key:", "Crossref:"};
      for (const std::string& label : form_labels(shell)) labels.push_back(label);
      for (const std::string& label : labels) {
        Boolean wrap = False;
        XtVaGetValues(form_field(shell, label), XmNwordWrap, &wrap, nullptr);
        const bool expected = std::find(wrapping.begin(), wrapping.end(), label) != wrapping.end();
        EXPECT_EQ(wrap == True, expected) << label << " in " << kEntryTypeNames[static_cast<std::size_t>(type)];
        seen.insert(label);
      }
    }
    click(find_in(ui::open_form_shell(), "form.rowcol.cancel"));
  });
  ASSERT_TRUE(ran);
  EXPECT_EQ(seen.size(), 28U);  // every text field of the form, once at least
}

TEST_F(ReferenceForm, JournalSurvivesSwitchingTheTypeAway_AndBack) {
  add([&](Widget shell) {
    click(form_field(shell, "Journal:"));
    type("Nature");
    choose_option(shell, 0, 1);  // book: no journal field
    Widget book = ui::open_form_shell();
    ASSERT_TRUE(pump_until([&] { return is_shown(book); }));
    EXPECT_EQ(buffer().text(kJournal), "Nature");
    choose_option(book, 0, 0);
    Widget article = ui::open_form_shell();
    ASSERT_TRUE(pump_until([&] { return is_shown(article); }));
    EXPECT_EQ(text_of(form_field(article, "Journal:")), "Nature");
    choose_option(article, 0, 1);
    click(find_in(ui::open_form_shell(), "form.rowcol.ok"));
  });
  ASSERT_EQ(ui::database().ref_count(), 1U);
  EXPECT_EQ(ui::database().reference(0).text(kEntryTypeSlot), "book");
  EXPECT_EQ(ui::database().reference(0).text(kJournal), "Nature");
}

TEST_F(ReferenceForm, CancelChangesNothing) {
  add([&](Widget shell) {
    click(form_field(shell, "Title:"));
    type("Never stored");
    click(find_in(shell, "form.rowcol.cancel"));
  });
  EXPECT_EQ(ui::database().ref_count(), 0U);
  EXPECT_EQ(list_items(find("main_w.reflist")).size(), 0U);
  EXPECT_EQ(count_line(), "number of references: 0");
  for (Widget widget : ui::DataCommands) EXPECT_FALSE(XtIsSensitive(widget));
}

TEST_F(ReferenceForm, ClosingTheWindowAnswersLikeCancel) {
  const bool ran = add([&](Widget shell) {
    // What the window manager sends when the user closes the window.
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = XtWindow(shell);
    event.xclient.message_type = XInternAtom(display(), "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display(), "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display(), XtWindow(shell), False, NoEventMask, &event);
    pump();
    EXPECT_FALSE(ui::form_is_open());
  });
  EXPECT_TRUE(ran);
  EXPECT_EQ(ui::database().ref_count(), 0U);
}

TEST_F(ReferenceForm, AShellDestroyedFromOutsideAnswersLikeCancel) {
  const bool ran = add([&](Widget shell) {
    XtDestroyWidget(shell);
    pump();
    EXPECT_FALSE(ui::form_is_open());
  });
  EXPECT_TRUE(ran);
  EXPECT_EQ(ui::database().ref_count(), 0U);
  // The waiting command has ended: the next one opens a form of its own.
  const bool ran_again = add([&](Widget shell) { click(find_in(shell, "form.rowcol.ok")); });
  EXPECT_TRUE(ran_again);
  EXPECT_EQ(ui::database().ref_count(), 1U);
}

TEST_F(ReferenceForm, RefIdTypedIsIgnoredWhenAdding) {
  load_directly("@misc{1,\n}\n@misc{2,\n}\n@misc{4,\n}\n");
  add([&](Widget shell) {
    Widget ref_id = form_field(shell, "Ref. ID:");
    EXPECT_EQ(text_of(ref_id), "3");
    type_into(ref_id, "42");
    click(find_in(shell, "form.rowcol.ok"));
  });
  ASSERT_EQ(ui::database().ref_count(), 4U);
  EXPECT_EQ(ui::database().reference(3).ref_id(), 3U);
}

TEST_F(ReferenceForm, ReprintStaysEmptyUntilChosen) {
  add([&](Widget shell) {
    EXPECT_EQ(buffer().text(kReprint), "");
    choose_option(shell, 1, 1);
    EXPECT_EQ(buffer().text(kReprint), "NOT IN FILE");
    choose_option(shell, 1, 0);
    EXPECT_EQ(buffer().text(kReprint), "IN FILE");
    click(find_in(shell, "form.rowcol.ok"));
  });
  EXPECT_EQ(ui::database().reference(0).text(kReprint), "IN FILE");
}

TEST_F(ReferenceForm, ASecondFormIsNotOpenedWhileOneIsOpen) {
  const bool ran = add([&](Widget shell) {
    bring_to_front(shell_);
    choose("Edit", "Add reference");
    bring_to_front(shell_);
    choose("Search", "AND");
    EXPECT_EQ(ui::open_form_shell(), shell);
    EXPECT_EQ(title_of(shell), "Add new reference");
    bring_to_front(shell);
    click(form_field(shell, "Title:"));
    type("Only one");
    click(find_in(shell, "form.rowcol.ok"));
  });
  EXPECT_TRUE(ran);
  ASSERT_EQ(ui::database().ref_count(), 1U);
  EXPECT_EQ(ui::database().reference(0).text(kTitle), "Only one");
}

TEST_F(ReferenceForm, ACommandThatNeedsTheFormDeiconifiesRaisesAndFocusesIt) {
  const auto map_state = [&](Widget shell) {
    XWindowAttributes attributes;
    XGetWindowAttributes(display(), XtWindow(shell), &attributes);
    return attributes.map_state;
  };
  const auto focused = [&](Widget shell) { return has_focus(shell); };
  load_directly("@misc{1,\n}\n");  // the searches need a reference
  const bool ran = add([&](Widget shell) {
    for (const auto& [cascade, entry] : {std::pair{"Edit", "Add reference"}, std::pair{"Search", "AND"}}) {
      XIconifyWindow(display(), XtWindow(shell), DefaultScreen(display()));
      ASSERT_TRUE(pump_until([&] { return map_state(shell) == IsUnmapped; })) << entry;
      choose(cascade, entry);
      EXPECT_TRUE(pump_until([&] { return map_state(shell) == IsViewable; })) << entry;
      EXPECT_TRUE(pump_until([&] { return focused(shell); })) << entry;
      EXPECT_EQ(ui::open_form_shell(), shell);
    }
    // Shown but behind the main window, which has the focus.
    bring_to_front(shell_);
    click(find("main_w.reflist"));
    pump();
    ASSERT_FALSE(focused(shell));
    choose("Edit", "Add reference");
    EXPECT_TRUE(pump_until([&] { return focused(shell); }));
    click(form_field(shell, "Title:"));
    type("Back");
    click(find_in(shell, "form.rowcol.ok"));
  });
  EXPECT_TRUE(ran);
  ASSERT_EQ(ui::database().ref_count(), 2U);
  EXPECT_EQ(ui::database().reference(1).text(kTitle), "Back");
}

TEST_F(ReferenceForm, EditShowsLargeIdentifiersWholeAndOtherTypesWithTheCommonFields) {
  load_directly("@Article{18446744073709551615,\n title = {T},\n journal = {J},\n}\n");
  select_line(1);
  const bool ran =
      while_form_open([this] { choose("Edit", "Edit reference"); },
                      [&](Widget shell) {
                        EXPECT_EQ(text_of(form_field(shell, "Ref. ID:")), "18446744073709551615");
                        EXPECT_EQ(form_labels(shell), with_bottom({"Month:", "Year:", "Title:", "Author:"}));
                        click(form_field(shell, "Year:"));
                        type("1999");
                        click(find_in(shell, "form.rowcol.ok"));
                      });
  ASSERT_TRUE(ran);
  const Reference& r = ui::database().reference(0);
  EXPECT_EQ(r.ref_id(), 18446744073709551615ULL);
  EXPECT_EQ(r.text(kEntryTypeSlot), "Article");  // unchanged: no type was picked
  EXPECT_EQ(r.text(kJournal), "J");              // kept, though not shown
  EXPECT_EQ(r.text(kYear), "1999");
}

// A text of `length` bytes in one paragraph of words, different for each
// seed: the worst case for word wrap, which breaks all of it.
std::string long_text(std::size_t length, unsigned seed) {
  static const char* const kWords[] = {"measured", "in",   "a",       "controlled", "population", "over",    "twelve",
                                       "months",   "with", "results", "that",       "suggest",    "further", "work"};
  std::string text(1, 'S');
  text += std::to_string(seed);
  unsigned state = seed;
  while (text.size() < length) {
    state = state * 1103515245U + 12345U;
    text += ' ';
    text += kWords[(state >> 16) % std::size(kWords)];
  }
  text.resize(length);
  if (text.back() == ' ') text.back() = 'x';
  return text;
}

// Compares long texts without printing them.
::testing::AssertionResult same_text(const std::string& actual, const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  std::size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return ::testing::AssertionFailure() << "lengths " << actual.size() << " and " << expected.size()
                                       << ", first difference at " << at;
}

class LongTexts : public ReferenceForm {
 protected:
  // Every text field of a form with its label, place, size and layout
  // resources, in the order they were made.
  std::vector<std::string> text_layouts(Widget shell) const {
    std::vector<std::string> layouts;
    for (const char* container : {"form.rowcol", "form"}) {
      Widget parent = find_in(shell, container);
      WidgetList children = nullptr;
      Cardinal count = 0;
      XtVaGetValues(parent, XmNchildren, &children, XmNnumChildren, &count, nullptr);
      for (Cardinal i = 0; i + 1 < count; ++i) {
        if (std::string_view(XtName(children[i])) != "label" || std::string_view(XtName(children[i + 1])) != "text") {
          continue;
        }
        Widget text = children[i + 1];
        int mode = 0;
        short rows = 0;
        short columns = 0;
        Boolean wrap = False;
        Position x = 0;
        Position y = 0;
        Dimension width = 0;
        Dimension height = 0;
        XtVaGetValues(text, XmNeditMode, &mode, XmNrows, &rows, XmNcolumns, &columns, XmNwordWrap, &wrap, XtNx, &x,
                      XtNy, &y, XtNwidth, &width, XtNheight, &height, nullptr);
        layouts.push_back(label_of(children[i]) + " mode " + std::to_string(mode) + " rows " + std::to_string(rows) +
                          " columns " + std::to_string(columns) + " wrap " + std::to_string(wrap) + " " +
                          std::to_string(width) + "x" + std::to_string(height) + "+" + std::to_string(x) + "+" +
                          std::to_string(y));
      }
    }
    return layouts;
  }

  // The layouts of an empty form in each of `types`, through the same
  // switches.
  std::vector<std::vector<std::string>> empty_layouts(const std::vector<int>& types) {
    std::vector<std::vector<std::string>> layouts;
    add([&](Widget shell) {
      for (int type : types) {
        choose_option(ui::open_form_shell(), 0, type);
        shell = ui::open_form_shell();
        ASSERT_TRUE(pump_until([&] { return settled(shell); }));
        layouts.push_back(text_layouts(shell));
      }
      click(find_in(shell, "form.rowcol.cancel"));
    });
    return layouts;
  }

  // Every text field of the form shows its slot of the reference whole.
  void expect_texts_of(Widget shell, const Reference& reference, const std::string& type) {
    std::vector<std::string> labels = form_labels(shell);
    labels.insert(labels.begin(), {"Key:", "Crossref:"});
    for (const auto& [label, slot] : kFormTextFields) {
      if (std::find(labels.begin(), labels.end(), label) == labels.end()) continue;
      EXPECT_TRUE(
          same_text(text_of(form_field(shell, std::string(label))), std::string(reference.text(slot).value_or(""))))
          << label << " in " << type;
    }
  }

  // Switches the open form to `type` and returns the new form once shown.
  Widget switch_type(Widget shell, int type) {
    choose_option(shell, 0, type);
    Widget rebuilt = ui::open_form_shell();
    EXPECT_TRUE(pump_until([&] { return settled(rebuilt); })) << type;
    return rebuilt;
  }

  void expect_unchanged(const Reference& before) {
    ASSERT_EQ(ui::database().ref_count(), 1U);
    const Reference& after = ui::database().reference(0);
    EXPECT_EQ(after.ref_id(), before.ref_id());
    for (int slot = kEntryTypeSlot; slot < kSlotCount; ++slot) {
      EXPECT_TRUE(same_text(std::string(after.text(slot).value_or("<absent>")),
                            std::string(before.text(slot).value_or("<absent>"))))
          << "slot " << slot;
    }
  }
};

TEST_F(LongTexts, AOneMegabyteAbstractIsShownWholeAndTheLayoutStays) {
  const std::vector<std::vector<std::string>> empty = empty_layouts({4, 0});
  ASSERT_EQ(empty.size(), 2U);
  const std::string abstract = long_text(1 << 20, 3);
  load_directly("@article{1,\n  title = {A title},\n  abstract = {" + abstract + "},\n}\n");
  ASSERT_EQ(ui::database().ref_count(), 1U);
  ASSERT_TRUE(same_text(std::string(ui::database().reference(0).text(kAbstract).value_or("")), abstract));
  const Reference before = ui::database().reference(0);

  select_line(1);
  const bool ran =
      while_form_open([this] { choose("Edit", "Edit reference"); },
                      [&](Widget shell) {
                        expect_texts_of(shell, before, "article");
                        Widget text = form_field(shell, "Abstract:");
                        short rows = 0;
                        Boolean wrap = False;
                        int mode = 0;
                        XtVaGetValues(text, XmNrows, &rows, XmNwordWrap, &wrap, XmNeditMode, &mode, nullptr);
                        EXPECT_EQ(rows, 8);
                        EXPECT_TRUE(wrap);
                        EXPECT_EQ(mode, XmMULTI_LINE_EDIT);
                        // The abstract has the focus when the type changes: it is taken over
                        // unchanged.
                        click(text);
                        shell = switch_type(shell, 4);
                        expect_texts_of(shell, before, "incollection");
                        EXPECT_EQ(text_layouts(shell), empty[0]);
                        click(form_field(shell, "Abstract:"));
                        shell = switch_type(shell, 0);
                        expect_texts_of(shell, before, "article");
                        EXPECT_EQ(text_layouts(shell), empty[1]);
                        click(form_field(shell, "Abstract:"));
                        click(find_in(shell, "form.rowcol.ok"));
                      });
  EXPECT_TRUE(ran);
  expect_unchanged(before);
}

TEST_F(LongTexts, EveryFieldAt100KBIsShownWholeInEveryLayout) {
  // Between them these types show every text field of the form.
  const std::vector<int> types = {0, 2, 5, 11, 9, 4};
  const std::vector<std::vector<std::string>> empty = empty_layouts(types);
  ASSERT_EQ(empty.size(), types.size());
  std::string bibtex = "@incollection{1,\n";
  for (const auto& [label, slot] : kFormTextFields) {
    bibtex +=
        "  " + std::string(field_name(slot)) + " = {" + long_text(100 * 1024, static_cast<unsigned>(slot)) + "},\n";
  }
  load_directly(bibtex + "}\n");
  ASSERT_EQ(ui::database().ref_count(), 1U);
  const Reference before = ui::database().reference(0);
  for (const auto& [label, slot] : kFormTextFields) {
    ASSERT_TRUE(
        same_text(std::string(before.text(slot).value_or("")), long_text(100 * 1024, static_cast<unsigned>(slot))))
        << label;
  }

  select_line(1);
  const bool ran = while_form_open(
      [this] { choose("Edit", "Edit reference"); },
      [&](Widget shell) {
        expect_texts_of(shell, before, "incollection");
        for (std::size_t i = 0; i < types.size(); ++i) {
          click(form_field(shell, "Key:"));
          shell = switch_type(shell, types[i]);
          expect_texts_of(shell, before, std::string(kEntryTypeNames[static_cast<std::size_t>(types[i])]));
          EXPECT_EQ(text_layouts(shell), empty[i]) << kEntryTypeNames[static_cast<std::size_t>(types[i])];
        }
        click(form_field(shell, "Comment:"));
        click(find_in(shell, "form.rowcol.ok"));
      });
  EXPECT_TRUE(ran);
  expect_unchanged(before);
}

TEST_F(LongTexts, TypingAtTheStartOfAOneMegabyteAbstractIsStored) {
  const std::string abstract = long_text(1 << 20, 5);
  load_directly("@article{1,\n  abstract = {" + abstract + "},\n}\n");
  select_line(1);
  const bool ran = while_form_open([this] { choose("Edit", "Edit reference"); },
                                   [&](Widget shell) {
                                     click(form_field(shell, "Abstract:"));
                                     key(XK_Home, ControlMask);
                                     type("New start. ");
                                     click(find_in(shell, "form.rowcol.ok"));
                                   });
  EXPECT_TRUE(ran);
  ASSERT_EQ(ui::database().ref_count(), 1U);
  EXPECT_TRUE(
      same_text(std::string(ui::database().reference(0).text(kAbstract).value_or("")), "New start. " + abstract));
}

}  // namespace
}  // namespace refloom::testing
