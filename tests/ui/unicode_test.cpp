// Run in a UTF-8 locale (the test sets LC_ALL=C.UTF-8): stored UTF-8 text
// shows as its characters in the list and the form, bytes that are not
// UTF-8 show as Latin-1 characters, and showing never changes what is
// stored.

#include "gui_test.h"

#include <X11/XKBlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <Xm/FileSB.h>
#include <Xm/List.h>
#include <Xm/MessageB.h>

#include "core/display_text.h"
#include "import/load.h"
#include "ui/app.h"
#include "ui/file_dialogs.h"
#include "ui/form.h"
#include "ui/message_dialog.h"
#include "ui/reference_list.h"
#include "ui/xm_util.h"

namespace refloom::testing {
namespace {

using Lines = std::vector<std::string>;

class Unicode : public GuiTest {
 protected:
  void SetUp() override {
    GuiTest::SetUp();
    if (!locale_is_utf8()) GTEST_SKIP() << "not in a UTF-8 locale: run with LC_ALL=C.UTF-8";
  }

  void load(std::string_view name, std::string_view content, FileType file_type) {
    const std::string path = dir_.file(name);
    write_file(path, content);
    ui::show(ui::session().load(path, file_type, std::cerr));
    pump();
  }

  bool edit(const std::function<void(Widget)>& steps) {
    return while_form_open([this] { choose("Edit", "Edit reference"); }, steps);
  }

  Widget reflist() { return find("main_w.reflist"); }

  // A key that types `keysym`, made on a keycode the keyboard leaves free.
  void map_free_key(KeySym keysym) {
    int min_code = 0;
    int max_code = 0;
    XDisplayKeycodes(display(), &min_code, &max_code);
    for (int code = max_code; code >= min_code; --code) {
      if (XkbKeycodeToKeysym(display(), static_cast<KeyCode>(code), 0, 0) == NoSymbol) {
        KeySym syms[1] = {keysym};
        XChangeKeyboardMapping(display(), code, 1, syms, 1);
        XSync(display(), False);
        pump(200);
        return;
      }
    }
    FAIL() << "no free keycode";
  }
};

TEST_F(Unicode, Utf8NamesShowAsCharactersInListAndForm) {
  load("names.nbib",
       "PMID- 1\n"
       "TI  - \xCE\xB1-helix \xE5\x8C\x97\xE4\xBA\xAC\n"
       "FAU - M\xC3\xBCller, Hans\n"
       "FAU - Nowak, \xC5\x81ukasz\n"
       "TA  - \xC3\x98kologi\n"
       "DP  - 2020\n",
       FileType::kNbib);
  EXPECT_EQ(list_items(reflist()),
            (Lines{"1 M\xC3\xBCller, Hans an \xCE\xB1-helix \xE5\x8C\x97\xE4\xBA\xAC \xC3\x98kologi 2020"}));
  select_line(1);
  const bool ran = edit([&](Widget shell) {
    EXPECT_EQ(text_of(form_field(shell, "Author:")), "M\xC3\xBCller, Hans and Nowak, \xC5\x81ukasz");
    EXPECT_EQ(text_of(form_field(shell, "Title:")), "\xCE\xB1-helix \xE5\x8C\x97\xE4\xBA\xAC");
    click(find_in(shell, "form.rowcol.cancel"));
  });
  EXPECT_TRUE(ran);
}

// The application defaults give every widget one scalable Xft font.
TEST_F(Unicode, WidgetsUseTheXftFontOfTheApplicationDefaults) {
  for (Widget widget : {reflist(), find("main_w.message")}) {
    XmRenderTable table = nullptr;
    XtVaGetValues(widget, XmNrenderTable, &table, nullptr);
    ASSERT_NE(table, nullptr);
    XmStringTag* tags = nullptr;
    const int count = XmRenderTableGetTags(table, &tags);
    ASSERT_GT(count, 0);
    XmRendition rendition = XmRenderTableGetRendition(table, tags[0]);
    unsigned char font_type = 0;
    char* font_name = nullptr;
    Arg args[2];
    XtSetArg(args[0], XmNfontType, &font_type);
    XtSetArg(args[1], XmNfontName, &font_name);
    XmRenditionRetrieve(rendition, args, 2);
    EXPECT_EQ(font_type, XmFONT_IS_XFT);
    EXPECT_STREQ(font_name, "WenQuanYi Micro Hei");
    XmRenditionFree(rendition);
    for (int i = 0; i < count; ++i) XtFree(tags[i]);
    XtFree(reinterpret_cast<char*>(tags));
  }
}

// TeX accents show as letters in the list, and stay TeX where they are
// stored; "Case sensitive" off finds a name whatever the case of its
// letters beyond ASCII.
TEST_F(Unicode, TexAccentsShowAsLettersAndSearchesFoldEveryLetter) {
  load_directly(
      "@article{6,\n  author = {M{\\\"u}ller, \\v{S}t\\v{e}p\\'an},\n  title = {\\v{S}koda 1--9},\n}\n"
      "@misc{7,\n  title = {Other},\n}\n");
  EXPECT_EQ(list_items(reflist()), (Lines{"6 M\xC3\xBCller, \xC5\xA0t\xC4\x9Bp\xC3\xA1n \xC5\xA0koda 1\xE2\x80\x93"
                                          "9  ",
                                          "7  Other  "}));
  EXPECT_EQ(ui::database().reference(0).text(kAuthor), "M{\\\"u}ller, \\v{S}t\\v{e}p\\'an");
  // Found by a letter of another case beyond ASCII (the stored text is
  // UTF-8 here; TeX is searched as it is written).
  load_directly("@misc{8,\n  title = {\xC5\xA0koda Auto},\n}\n");
  ui::show(ui::session().search_all_fields(SearchMode::kAnd, "\xC5\xA1KODA", true));
  pump();
  EXPECT_EQ(list_items(reflist()), (Lines{"8  \xC5\xA0koda Auto  "}));
}

TEST_F(Unicode, Latin1BytesShowAsTheirCharactersAndStayAsStored) {
  load_directly("@article{5,\n  author = {M\xFCller, J\xFCrgen},\n  title = {Caf\xE9},\n  year = {1999}\n}\n");
  EXPECT_EQ(list_items(reflist()), (Lines{"5 M\xC3\xBCller, J\xC3\xBCrgen Caf\xC3\xA9  1999"}));
  select_line(1);
  const bool ran = edit([&](Widget shell) {
    Widget author = form_field(shell, "Author:");
    EXPECT_EQ(text_of(author), "M\xC3\xBCller, J\xC3\xBCrgen");
    // Through the field and out again without a change, then Ok.
    click(author);
    click(form_field(shell, "Title:"));
    click(find_in(shell, "form.rowcol.ok"));
  });
  ASSERT_TRUE(ran);
  EXPECT_EQ(ui::database().reference(0).text(kAuthor), "M\xFCller, J\xFCrgen");
  EXPECT_EQ(ui::database().reference(0).text(kTitle), "Caf\xE9");
  EXPECT_EQ(list_items(reflist()), (Lines{"5 M\xC3\xBCller, J\xC3\xBCrgen Caf\xC3\xA9  1999"}));
}

// The title shows the path of the file: UTF-8 as it is, a Latin-1 byte as
// its character, and no toolkit warning either way (the fixture fails on
// one).
TEST_F(Unicode, WindowTitleShowsThePathAsCharacters) {
  ui::set_window_title("/home/\xC3\x85se/refs.bib");
  pump();
  EXPECT_EQ(title_of(shell_), "/home/\xC3\x85se/refs.bib");
  ui::set_window_title("/home/M\xFCller/refs.bib");
  pump();
  EXPECT_EQ(title_of(shell_), "/home/M\xC3\xBCller/refs.bib");
  // What the window manager gets, read back in the locale's encoding.
  XTextProperty property{};
  ASSERT_TRUE(XGetWMName(display(), XtWindow(shell_), &property));
  char** list = nullptr;
  int count = 0;
  ASSERT_EQ(XmbTextPropertyToTextList(display(), &property, &list, &count), Success);
  ASSERT_GE(count, 1);
  EXPECT_STREQ(list[0], "/home/M\xC3\xBCller/refs.bib");
  XFreeStringList(list);
  XFree(property.value);
}

TEST_F(Unicode, TypedAccentsAreStoredAsUtf8) {
  map_free_key(XK_eacute);
  load_directly("@article{5,\n  title = {Old},\n  year = {1999}\n}\n");
  select_line(1);
  const bool ran = edit([&](Widget shell) {
    Widget title = form_field(shell, "Title:");
    click(title);
    key(XK_slash, ControlMask);
    type("Caf");
    key(XK_eacute);
    click(form_field(shell, "Year:"));
    click(find_in(shell, "form.rowcol.ok"));
  });
  ASSERT_TRUE(ran);
  EXPECT_EQ(ui::database().reference(0).text(kTitle), "Caf\xC3\xA9");
}

TEST_F(Unicode, MessagesShowAsCharactersInTheMessageDialog) {
  // A Latin-1 byte in the message, a UTF-8 name in the path.
  const std::string path = dir_.file("caf\xC3\xA9.bib");
  write_file(path, "@misc{1,\n  colour = {rouge \xE9},\n  title = {T}\n}\n");
  ui::file_cb(nullptr, ui::to_client_data(ui::position_of(ui::Menu::kFile, "Load")), nullptr);
  pump();
  ui::XmStringOwner value{path};
  XmFileSelectionBoxCallbackStruct ok{};
  ok.reason = XmCR_OK;
  ok.value = value.get();
  XtCallCallbacks(ui::load_dialog, XmNokCallback, &ok);
  pump();
  EXPECT_EQ(messages(), "unknown field: colour = {rouge \xE9}, skip this line! \n");  // stored bytes
  ASSERT_NE(ui::message_dialog, nullptr);
  ASSERT_TRUE(pump_until([this] { return is_shown(XtParent(ui::message_dialog)); }));
  // A field the "BibTeX" format does not know: the format hint comes first.
  EXPECT_EQ(text_of(XtNameToWidget(ui::message_dialog, "*messageText")),
            "This file looks like BibTeX in today's style: load it with the format \"BibTeX (any style)\".\n"
            "unknown field: colour = {rouge \xC3\xA9}, skip this line! ");
  XmString heading = nullptr;
  XtVaGetValues(ui::message_dialog, XmNmessageString, &heading, nullptr);
  ui::XmStringOwner owner(heading);
  EXPECT_EQ(ui::xmstring_text(heading).value_or("<none>"), "1 reference read from " + path + "; 1 message:");
}

}  // namespace
}  // namespace refloom::testing
