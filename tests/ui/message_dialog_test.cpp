// Messages on screen: after a command that wrote messages the message
// dialog shows them, summarised, while the message stream keeps every byte.

#include "gui_test.h"

#include <X11/IntrinsicP.h>
#include <Xm/FileSB.h>
#include <Xm/List.h>
#include <Xm/MessageB.h>
#include <Xm/Text.h>
#include <sys/stat.h>

#include <algorithm>

#include "ui/app.h"
#include "ui/file_dialogs.h"
#include "ui/form.h"
#include "ui/message_dialog.h"
#include "ui/xm_util.h"

namespace refloom::testing {
namespace {

const char* const kGoodAndBroken =
    "@article{12,\n  title = {A first title},\n  year = {1995}\n}\n"
    "@article{3,\nyear = 1999,\n}\n";
const char* const kBrokenMessages =
    "BibTeX file corrupted in reference 2 ! \nyear must start with either >> { << or >> \" << \n";

class MessageDialog : public GuiTest {
 protected:
  std::string sample(std::string_view name, std::string_view content) {
    const std::string path = dir_.file(name);
    write_file(path, content);
    return path;
  }

  // The message dialog once it shows, or null.
  Widget shown_dialog() {
    pump_until([this] { return ui::message_dialog != nullptr && is_shown(XtParent(ui::message_dialog)); }, 3000);
    return ui::message_dialog != nullptr && is_shown(XtParent(ui::message_dialog)) ? ui::message_dialog : nullptr;
  }

  std::string heading(Widget dialog) const {
    XmString text = nullptr;
    XtVaGetValues(dialog, XmNmessageString, &text, nullptr);
    ui::XmStringOwner owner(text);
    return ui::xmstring_text(text).value_or("<no text>");
  }

  int root_x(Widget shell) const {
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(display(), XtWindow(shell), DefaultRootWindow(display()), 0, 0, &x, &y, &child);
    return x;
  }

  std::string shown_messages(Widget dialog) const { return text_of(XtNameToWidget(dialog, "*messageText")); }

  // How many message dialogs the application shell has made.
  int dialog_shells() const {
    int count = 0;
    for (Cardinal i = 0; i < shell_->core.num_popups; ++i) {
      if (std::string_view(XtName(shell_->core.popup_list[i])) == "messageDialog_popup") ++count;
    }
    return count;
  }

  // Whether `upper`'s window is stacked above `lower`'s.
  bool stacked_above(Widget upper, Widget lower) const {
    const Window upper_frame = frame_window(upper);
    const Window lower_frame = frame_window(lower);
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    XQueryTree(display(), DefaultRootWindow(display()), &root, &parent, &children, &count);
    int upper_at = -1;
    int lower_at = -1;
    for (unsigned i = 0; i < count; ++i) {  // bottom to top
      if (children[i] == upper_frame) upper_at = static_cast<int>(i);
      if (children[i] == lower_frame) lower_at = static_cast<int>(i);
    }
    if (children) XFree(children);
    return upper_at > lower_at && lower_at >= 0;
  }
};

TEST_F(MessageDialog, ALoadWithMessagesShowsHowManyReferencesItReadAndTheMessages) {
  const std::string path = sample("broken.bib", kGoodAndBroken);
  load(path);
  EXPECT_EQ(messages(), kBrokenMessages);  // the stream keeps them as before
  Widget dialog = shown_dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(XtName(dialog), std::string("messageDialog"));
  EXPECT_EQ(XtParent(XtParent(dialog)), shell_);
  EXPECT_EQ(title_of(XtParent(dialog)), "Refloom Messages");
  // Beside the main window (pulled back onto the screen where its right
  // edge is near the screen's), not centred over it like the other dialogs.
  Dimension dialog_width = 0;
  XtVaGetValues(XtParent(dialog), XmNwidth, &dialog_width, nullptr);
  EXPECT_GT(root_x(XtParent(dialog)), root_x(shell_));
  EXPECT_LE(root_x(XtParent(dialog)) + dialog_width, WidthOfScreen(XtScreen(shell_)));
  EXPECT_EQ(heading(dialog), "2 references read from " + path + "; 2 messages:");
  EXPECT_EQ(shown_messages(dialog),
            "BibTeX file corrupted in reference 2 ! \nyear must start with either >> { << or >> \" << ");

  Widget text = XtNameToWidget(dialog, "*messageText");
  ASSERT_NE(text, nullptr);
  EXPECT_TRUE(XmIsText(text));
  Boolean editable = True;
  Boolean cursor_visible = True;
  int edit_mode = XmSINGLE_LINE_EDIT;
  XtVaGetValues(text, XmNeditable, &editable, XmNeditMode, &edit_mode, XmNcursorPositionVisible, &cursor_visible,
                nullptr);
  EXPECT_FALSE(editable);
  EXPECT_EQ(edit_mode, XmMULTI_LINE_EDIT);
  EXPECT_FALSE(cursor_visible);
  unsigned char style = XmDIALOG_PRIMARY_APPLICATION_MODAL;
  XtVaGetValues(dialog, XmNdialogStyle, &style, nullptr);
  EXPECT_EQ(style, XmDIALOG_MODELESS);
  EXPECT_TRUE(XtIsManaged(XmMessageBoxGetChild(dialog, XmDIALOG_OK_BUTTON)));
  EXPECT_FALSE(XtIsManaged(XmMessageBoxGetChild(dialog, XmDIALOG_CANCEL_BUTTON)));
  EXPECT_FALSE(XtIsManaged(XmMessageBoxGetChild(dialog, XmDIALOG_HELP_BUTTON)));

  // Typing into it changes nothing.
  click(text);
  type("zz");
  EXPECT_EQ(shown_messages(dialog),
            "BibTeX file corrupted in reference 2 ! \nyear must start with either >> { << or >> \" << ");
  // OK closes it; the main window goes on as before.
  click(XmMessageBoxGetChild(dialog, XmDIALOG_OK_BUTTON));
  EXPECT_TRUE(pump_until([&] { return !is_shown(XtParent(dialog)); }));
  EXPECT_EQ(count_line(), "number of references: 2");
}

TEST_F(MessageDialog, ALoadWithoutMessagesShowsNone) {
  load(sample("good.bib", "@misc{4,\n  title = {Fine}\n}\n"));
  EXPECT_EQ(count_line(), "number of references: 1");
  pump(300);
  EXPECT_EQ(ui::message_dialog, nullptr);
  EXPECT_EQ(dialog_shells(), 0);
  EXPECT_EQ(messages(), "");
}

// The format picked in the Load dialog found nothing: the screen says so and
// names it, although the reader wrote no message; standard output stays
// silent as before.
TEST_F(MessageDialog, ALoadThatFindsNothingNamesTheFormatItUsed) {
  const std::string path = sample("refs.bib", "@article{smith2020,\n  title = {Today}\n}\n");
  Widget load_dialog = open_load_dialog();
  Widget filetype = XtNameToWidget(load_dialog, "*filetype");
  ASSERT_NE(filetype, nullptr);
  XmListSetBottomPos(filetype, 7);
  pump();
  Position x = 0;
  Position y = 0;
  Dimension width = 0;
  Dimension height = 0;
  ASSERT_TRUE(XmListPosToBounds(filetype, 7, &x, &y, &width, &height));
  click_at(filetype, x + width / 2, y + height / 2);
  ASSERT_EQ(title_of(XtParent(load_dialog)), "Load PubMed / MEDLINE (.nbib)");
  load(path);
  EXPECT_EQ(messages(), "");
  Widget dialog = shown_dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(heading(dialog), "0 references read from " + path + ".");
  EXPECT_EQ(shown_messages(dialog),
            "No reference found in this file with the format \"PubMed / MEDLINE (.nbib)\": it may be in another "
            "format.");
  click(XmMessageBoxGetChild(dialog, XmDIALOG_OK_BUTTON));
  ASSERT_TRUE(pump_until([&] { return !is_shown(XtParent(dialog)); }));

  // The same file in the "BibTeX" format: read, with the hint to the sixth.
  load_dialog = open_load_dialog();
  XmListSetBottomPos(filetype, 1);
  pump();
  ASSERT_TRUE(XmListPosToBounds(filetype, 1, &x, &y, &width, &height));
  click_at(filetype, x + width / 2, y + height / 2);
  load(path);
  EXPECT_EQ(messages(), "");
  dialog = shown_dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(heading(dialog), "1 reference read from " + path + ".");
  EXPECT_EQ(shown_messages(dialog),
            "This file looks like BibTeX in today's style: load it with the format \"BibTeX (any style)\".");
}

TEST_F(MessageDialog, SavingToADirectorySaysItCannotBeOpened) {
  load_directly("@misc{4,\n  title = {Fine}\n}\n");
  const std::string directory = dir_.file("sub");
  ASSERT_EQ(mkdir(directory.c_str(), 0755), 0);
  choose("File", "Save");
  ASSERT_TRUE(pump_until([this] { return ui::save_dialog != nullptr && is_shown(ui::save_dialog); }));
  type_into(XmFileSelectionBoxGetChild(ui::save_dialog, XmDIALOG_TEXT), directory);
  click(XmFileSelectionBoxGetChild(ui::save_dialog, XmDIALOG_OK_BUTTON));
  Widget dialog = shown_dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(heading(dialog), "1 message:");
  EXPECT_EQ(shown_messages(dialog), "Cannot open file: " + directory);
  EXPECT_EQ(messages(), "Cannot open file: " + directory + "\n");
}

TEST_F(MessageDialog, AddTellsOnScreenThatTheProposedRefIdWasTaken) {
  load_directly("@misc{7,\n}\n@misc{9,\n}\n@misc{12,\n}\n");
  const bool ran = while_form_open([this] { choose("Edit", "Add reference"); },
                                   [&](Widget shell) {
                                     EXPECT_EQ(text_of(form_field(shell, "Ref. ID:")), "8");
                                     load_directly("@misc{1,\n}\n@misc{2,\n}\n");  // takes 8 and 10
                                     bring_to_front(shell);
                                     click(find_in(shell, "form.rowcol.ok"));
                                   });
  ASSERT_TRUE(ran);
  Widget dialog = shown_dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(heading(dialog), "1 message:");
  EXPECT_EQ(shown_messages(dialog), "Ref. ID 8 was taken meanwhile, reference stored as 11 ");
}

TEST_F(MessageDialog, ManyMessagesShowInOneDialogSummarised) {
  std::string content;
  std::string expected_kept;
  for (int i = 1; i <= 1000; ++i) {
    content += "@misc{" + std::to_string(i) + ",\n";
    for (int field = 0; field < 5; ++field) {
      const std::string line = "  colour" + std::to_string(field) + " = {" + std::to_string(i) + "},";
      content += line + "\n";
      if (i <= 40) expected_kept += "unknown field: " + line.substr(2) + " skip this line! \n";
    }
    content += "  title = {T" + std::to_string(i) + "}\n}\n\n";
  }
  const std::string path = sample("noisy.bib", content);
  load(path);
  Widget dialog = shown_dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog_shells(), 1);
  EXPECT_EQ(heading(dialog), "1000 references read from " + path + "; 5000 messages:");
  // Fields the "BibTeX" format does not know: the screen says which format
  // reads them, before the messages and outside their count.
  EXPECT_EQ(shown_messages(dialog),
            "This file looks like BibTeX in today's style: load it with the format \"BibTeX (any style)\".\n" +
                expected_kept + "... and 4800 more (every message is on standard output)");
  // Every message on the stream, and nothing else.
  const std::string all = messages();
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 5000);
  EXPECT_TRUE(all.starts_with(expected_kept));
  EXPECT_TRUE(all.ends_with("unknown field: colour4 = {1000}, skip this line! \n"));
}

TEST_F(MessageDialog, TheNextCommandWithMessagesReplacesTheTextAndRaisesTheDialog) {
  const std::string path = sample("broken.bib", kGoodAndBroken);
  load(path);
  Widget dialog = shown_dialog();
  ASSERT_NE(dialog, nullptr);
  // The Load dialog comes up over it (the window manager keeps both
  // above the main window).
  Widget load_dialog = open_load_dialog();
  bring_to_front(XtParent(load_dialog));
  ASSERT_TRUE(stacked_above(XtParent(load_dialog), XtParent(dialog)));

  const std::string missing = dir_.file("missing.bib");
  type_into(XmFileSelectionBoxGetChild(load_dialog, XmDIALOG_TEXT), missing);
  click(XmFileSelectionBoxGetChild(load_dialog, XmDIALOG_OK_BUTTON));
  pump();
  EXPECT_EQ(ui::message_dialog, dialog);
  EXPECT_EQ(dialog_shells(), 1);
  EXPECT_TRUE(is_shown(XtParent(dialog)));
  EXPECT_EQ(heading(dialog), "1 message:");  // no load ran: nothing was read
  EXPECT_EQ(shown_messages(dialog), "Cannot open file: " + missing);
  EXPECT_TRUE(is_shown(load_dialog));  // a file that cannot be opened leaves it open
  EXPECT_TRUE(pump_until([&] { return stacked_above(XtParent(dialog), XtParent(load_dialog)); }));

  // Closed, it comes back for the next command with messages.
  click(XmMessageBoxGetChild(dialog, XmDIALOG_OK_BUTTON));
  ASSERT_TRUE(pump_until([&] { return !is_shown(XtParent(dialog)); }));
  load(path);
  EXPECT_EQ(shown_dialog(), dialog);
  EXPECT_EQ(heading(dialog), "2 references read from " + path + "; 2 messages:");
  EXPECT_EQ(dialog_shells(), 1);
}

TEST_F(MessageDialog, CommandsWithoutMessagesLeaveItAsItIs) {
  load(sample("broken.bib", kGoodAndBroken));
  Widget dialog = shown_dialog();
  ASSERT_NE(dialog, nullptr);
  // A load without messages: no heading of its own stays behind for later.
  load(sample("good.bib", "@misc{4,\n  title = {Fine}\n}\n"));
  EXPECT_EQ(heading(dialog), "2 references read from " + dir_.file("broken.bib") + "; 2 messages:");
  choose("Search", "View all references");
  pump();
  EXPECT_EQ(shown_messages(dialog),
            "BibTeX file corrupted in reference 2 ! \nyear must start with either >> { << or >> \" << ");
  // The next message of another command has a heading without the load.
  Widget load_dialog = open_load_dialog();
  type_into(XmFileSelectionBoxGetChild(load_dialog, XmDIALOG_TEXT), "");
  click(XmFileSelectionBoxGetChild(load_dialog, XmDIALOG_OK_BUTTON));
  pump();
  EXPECT_EQ(heading(dialog), "1 message:");
}

TEST_F(MessageDialog, ClosedByTheWindowManagerItComesBackForTheNextMessages) {
  load(sample("broken.bib", kGoodAndBroken));
  Widget dialog = shown_dialog();
  ASSERT_NE(dialog, nullptr);
  // What the window manager sends when its close button is used.
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = XtWindow(XtParent(dialog));
  event.xclient.message_type = XInternAtom(display(), "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display(), "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display(), XtWindow(XtParent(dialog)), False, NoEventMask, &event);
  ASSERT_TRUE(pump_until([&] { return !is_shown(XtParent(dialog)); }));

  Widget load_dialog = open_load_dialog();
  type_into(XmFileSelectionBoxGetChild(load_dialog, XmDIALOG_TEXT), "");
  click(XmFileSelectionBoxGetChild(load_dialog, XmDIALOG_OK_BUTTON));
  EXPECT_EQ(shown_dialog(), dialog);
  EXPECT_EQ(shown_messages(dialog), "No file selected! ");
}

// What a test does while the form waits: the form's own event loop runs,
// not the fixture's.
struct InsideForm {
  std::function<void()> step;
  XtIntervalId timer = 0;
  int tries = 0;
};

void inside_form_timer(XtPointer data, XtIntervalId*) {
  auto* pending = static_cast<InsideForm*>(data);
  pending->timer = 0;
  Widget shell = ui::open_form_shell();
  if (shell == nullptr || !XtIsRealized(shell)) {
    if (++pending->tries < 500) pending->timer = XtAppAddTimeOut(ui::app_context, 20, inside_form_timer, pending);
    return;
  }
  pending->step();
}

TEST_F(MessageDialog, ALoadWhileTheFormWaitsIsShownAtOnce) {
  Widget load_dialog = open_load_dialog();
  const std::string missing = dir_.file("missing.bib");
  bool shown_while_open = false;
  InsideForm cancel{[&] {
    shown_while_open = ui::message_dialog != nullptr && XtIsManaged(ui::message_dialog);
    XtCallCallbacks(XtNameToWidget(ui::open_form_shell(), "*cancel"), XmNactivateCallback, nullptr);
  }};
  // The load's OK, called from a timer of the form's loop; then the loop
  // runs on until the second timer answers the form.
  InsideForm load{[&] {
    ui::XmStringOwner value{missing};
    XmFileSelectionBoxCallbackStruct ok{};
    ok.reason = XmCR_OK;
    ok.value = value.get();
    XtCallCallbacks(load_dialog, XmNokCallback, &ok);
    cancel.timer = XtAppAddTimeOut(ui::app_context, 200, inside_form_timer, &cancel);
  }};
  load.timer = XtAppAddTimeOut(ui::app_context, 20, inside_form_timer, &load);
  choose("Edit", "Add reference");
  pump();
  EXPECT_FALSE(ui::form_is_open());
  EXPECT_TRUE(shown_while_open);
  Widget dialog = shown_dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(shown_messages(dialog), "Cannot open file: " + missing);
}

}  // namespace
}  // namespace refloom::testing
