// Windows that fit the screen: on every screen of 1024x768 and larger,
// each field, button and menu of the reference form can be seen and
// clicked, in every entry type and mode, and the main window and the
// dialogs lie on the screen. make test runs these tests on a 1280x1024 and
// on a 1024x768 screen.

#include "gui_test.h"

#include <X11/IntrinsicP.h>
#include <X11/keysym.h>
#include <Xm/FileSB.h>
#include <Xm/Form.h>
#include <Xm/MessageB.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/ScrolledW.h>
#include <Xm/Text.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/fields.h"
#include "core/screen_fit.h"
#include "ui/app.h"
#include "ui/file_dialogs.h"
#include "ui/form.h"
#include "ui/message_dialog.h"
#include "ui/xm_util.h"

namespace refloom::testing {
namespace {

struct Rect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int width() const { return std::max(0, right - left); }
  int height() const { return std::max(0, bottom - top); }
  Rect within(const Rect& other) const {
    return {std::max(left, other.left), std::max(top, other.top), std::min(right, other.right),
            std::min(bottom, other.bottom)};
  }
};

std::ostream& operator<<(std::ostream& out, const Rect& rect) {
  return out << rect.width() << "x" << rect.height() << "+" << rect.left << "+" << rect.top;
}

class OnTheScreen : public GuiTest {
 protected:
  Rect screen() const {
    const Extent size = ui::screen_extent(shell_);
    return {0, 0, size.width, size.height};
  }

  // Where a widget (or gadget) is on the root window, as the server has it.
  Rect root_rect(Widget widget) const {
    Widget host = XtIsWidget(widget) ? widget : XtParent(widget);
    Position x = 0;
    Position y = 0;
    Dimension width = 0;
    Dimension height = 0;
    XtVaGetValues(widget, XmNwidth, &width, XmNheight, &height, nullptr);
    if (!XtIsWidget(widget)) XtVaGetValues(widget, XmNx, &x, XmNy, &y, nullptr);
    int root_x = 0;
    int root_y = 0;
    Window child = 0;
    XTranslateCoordinates(display(), XtWindow(host), DefaultRootWindow(display()), x, y, &root_x, &root_y, &child);
    return {root_x, root_y, root_x + width, root_y + height};
  }

  // The part of a widget that shows: within each of its ancestors up to its
  // shell, and within the screen.
  Rect shown_part(Widget widget) const {
    Rect part = root_rect(widget).within(screen());
    for (Widget parent = XtParent(widget); parent != nullptr; parent = XtParent(parent)) {
      part = part.within(root_rect(parent));
      if (XtIsShell(parent)) break;
    }
    return part;
  }

  // The scrolled window whose work area a widget lies in, if any.
  static Widget scroller_of(Widget widget) {
    for (Widget parent = XtParent(widget); parent != nullptr && !XtIsShell(parent); parent = XtParent(parent)) {
      unsigned char policy = XmAPPLICATION_DEFINED;
      if (XmIsScrolledWindow(parent)) XtVaGetValues(parent, XmNscrollingPolicy, &policy, nullptr);
      if (policy == XmAUTOMATIC) return parent;
    }
    return nullptr;
  }

  // Whether a widget shows on the screen whole, or, where it is larger
  // than the view of its scrolled window, across the view but for a margin
  // of a few pixels; and its window (its parent's, for a gadget) is
  // viewable.
  ::testing::AssertionResult shown(Widget widget) const {
    constexpr int kMargin = 8;
    const Rect whole = root_rect(widget);
    const Rect part = shown_part(widget);
    bool enough = part.width() == whole.width() && part.height() == whole.height();
    Rect view = whole;
    if (Widget scroller = scroller_of(widget)) {
      Widget clip = nullptr;
      XtVaGetValues(scroller, XmNclipWindow, &clip, nullptr);
      view = shown_part(clip);
      const auto enough_of = [&](int shown_length, int whole_length, int view_length) {
        return shown_length == whole_length || (whole_length > view_length && shown_length >= view_length - kMargin);
      };
      enough = enough_of(part.width(), whole.width(), view.width()) &&
               enough_of(part.height(), whole.height(), view.height());
    }
    XWindowAttributes attributes;
    XGetWindowAttributes(display(), XtWindow(XtIsWidget(widget) ? widget : XtParent(widget)), &attributes);
    if (attributes.map_state == IsViewable && enough && part.width() > 0 && part.height() > 0) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << name_of(widget) << " at " << whole << " shows " << part << " in a view "
                                         << view << " on a screen " << screen();
  }

  // A name for messages: a text by its label, anything else by its name.
  std::string name_of(Widget widget) const {
    WidgetList children = nullptr;
    Cardinal count = 0;
    XtVaGetValues(XtParent(widget), XmNchildren, &children, XmNnumChildren, &count, nullptr);
    for (Cardinal i = 1; i < count; ++i) {
      if (children[i] == widget && XmIsText(widget)) return label_of(children[i - 1]) + " " + XtName(widget);
    }
    return XtName(widget);
  }

  // A top-level window's frame lies wholly on the screen.
  ::testing::AssertionResult frame_on_screen(Widget shell) const {
    const auto frame = ui::window_frame(shell);
    if (!frame) return ::testing::AssertionFailure() << XtName(shell) << " has no window";
    Dimension width = 0;
    Dimension height = 0;
    XtVaGetValues(shell, XmNwidth, &width, XmNheight, &height, nullptr);
    const Rect rect{frame->place.x, frame->place.y, frame->place.x + width + frame->decorations.width,
                    frame->place.y + height + frame->decorations.height};
    const Rect part = rect.within(screen());
    if (part.width() == rect.width() && part.height() == rect.height()) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << title_of(shell) << " has its frame at " << rect << " on a screen "
                                         << screen();
  }

  // The form's texts, buttons and option menus, top row first.
  std::vector<Widget> controls(Widget form) const {
    std::vector<Widget> found;
    for (Widget parent : {XtNameToWidget(form, "rowcol"), form}) {
      WidgetList children = nullptr;
      Cardinal count = 0;
      XtVaGetValues(parent, XmNchildren, &children, XmNnumChildren, &count, nullptr);
      for (Cardinal i = 0; i < count; ++i) {
        if (XmIsText(children[i]) || XmIsPushButton(children[i])) found.push_back(children[i]);
        if (std::string_view(XtName(children[i])) == "option") found.push_back(XmOptionButtonGadget(children[i]));
      }
    }
    return found;
  }

  std::vector<Widget> texts(Widget form) const {
    std::vector<Widget> found = controls(form);
    std::erase_if(found, [](Widget widget) { return !XmIsText(widget); });
    return found;
  }

  // Every control of an open form shows, or does once its scrolled window
  // is scrolled to it; the form is the shell's child exactly when it fits
  // the screen beside the window manager's frame.
  void expect_every_control_can_be_shown(Widget shell, const std::string& what) {
    ASSERT_TRUE(pump_until([&] { return is_shown(shell); })) << what;
    EXPECT_TRUE(frame_on_screen(shell)) << what;
    Widget form = form_of(shell);
    ASSERT_NE(form, nullptr) << what;
    Dimension width = 0;
    Dimension height = 0;
    XtVaGetValues(form, XmNwidth, &width, XmNheight, &height, nullptr);
    const Extent decorations = ui::window_frame(shell_)->decorations;
    const bool fits = width + decorations.width <= screen().right && height + decorations.height <= screen().bottom;
    Widget scroller = scroller_of(form);
    EXPECT_EQ(XtParent(form) == shell, fits) << what << ": a form of " << width << "x" << height;
    if (!fits) {
      EXPECT_EQ(XtParent(scroller), shell) << what;
    }
    for (Widget control : controls(form)) {
      if (!shown(control) && scroller != nullptr) XmScrollVisible(scroller, control, 0, 0);
      EXPECT_TRUE(shown(control)) << what;
    }
  }

  // The form's window and its frame's place.
  Place frame_place(Widget shell) const { return ui::window_frame(shell)->place; }

  // The form's point at the top-left corner of the view.
  Place view_of(Widget shell) const {
    Position x = 0;
    Position y = 0;
    XtVaGetValues(form_of(shell), XmNx, &x, XmNy, &y, nullptr);
    return {-x, -y};
  }

  Widget switch_type(Widget shell, int type) {
    choose_option_in_place(shell, 0, type);
    Widget rebuilt = ui::open_form_shell();
    EXPECT_NE(rebuilt, shell);
    EXPECT_TRUE(pump_until([&] { return is_shown(rebuilt); })) << type;
    return rebuilt;
  }
};

const char* const kReferences =
    "@Article{1,\n title = {An entry type the form does not know},\n}\n"
    "@misc{2,\n title = {Known},\n}\n";

TEST_F(OnTheScreen, EveryFieldButtonAndMenuOfEveryTypeAndModeCanBeShown) {
  load_directly(kReferences);
  select_line(1);
  const auto every_type = [&](Widget shell, const std::string& mode) {
    for (int type = 0; type < 13; ++type) {
      shell = switch_type(shell, type);
      expect_every_control_can_be_shown(shell,
                                        mode + " " + std::string(kEntryTypeNames[static_cast<std::size_t>(type)]));
    }
    click(find_in(shell, "form.rowcol.cancel"));
  };
  const bool edited = while_form_open([this] { choose("Edit", "Edit reference"); },
                                      [&](Widget shell) {
                                        expect_every_control_can_be_shown(shell, "edit Article");
                                        every_type(shell, "edit");
                                      });
  EXPECT_TRUE(edited);
  const bool added =
      while_form_open([this] { choose("Edit", "Add reference"); }, [&](Widget shell) { every_type(shell, "add"); });
  EXPECT_TRUE(added);
  const bool searched =
      while_form_open([this] { choose("Search", "AND"); }, [&](Widget shell) { every_type(shell, "search"); });
  EXPECT_TRUE(searched);
}

TEST_F(OnTheScreen, TypingIntoTheYearOfTheArticleFormLandsInTheYear) {
  const bool ran = while_form_open([this] { choose("Edit", "Add reference"); },
                                   [&](Widget shell) {
                                     Widget year = form_field(shell, "Year:");
                                     click(year);
                                     EXPECT_TRUE(shown(year));
                                     EXPECT_EQ(XmGetFocusWidget(shell), year);
                                     type("1999");
                                     click(form_field(shell, "Title:"));
                                     EXPECT_EQ(ui::database().edit_buffer().text(kYear), "1999");
                                     EXPECT_EQ(text_of(year), "1999");
                                     type("Typed on a small screen");
                                     click(find_in(shell, "form.rowcol.ok"));
                                   });
  ASSERT_TRUE(ran);
  ASSERT_EQ(ui::database().ref_count(), 1U);
  EXPECT_EQ(ui::database().reference(0).text(kYear), "1999");
  EXPECT_EQ(ui::database().reference(0).text(kTitle), "Typed on a small screen");
}

// Tab (Ctrl+Tab in a text of several lines) goes from field to field in
// the order they were made, then to the entry type menu and back to the
// first field, as in a form that is not scrolled: the scroll bars are
// never on the way, and each field that gets the focus shows.
TEST_F(OnTheScreen, TheFocusGoesFromFieldToFieldAndEachFieldItGoesToShows) {
  const bool ran = while_form_open([this] { choose("Edit", "Add reference"); },
                                   [&](Widget first) {
                                     Widget shell = first;
                                     // The widest type, one of the common width, and the highest.
                                     for (int type : {0, 1, 4}) {
                                       if (type != 0) shell = switch_type(shell, type);
                                       const std::string name(kEntryTypeNames[static_cast<std::size_t>(type)]);
                                       const std::vector<Widget> fields = texts(form_of(shell));
                                       ASSERT_GE(fields.size(), 3U);
                                       std::vector<Widget> expected(fields.begin() + 1, fields.end());
                                       Widget option = nullptr;
                                       for (Widget control : controls(form_of(shell))) {
                                         if (!XmIsText(control) && !XmIsPushButton(control)) {
                                           option = control;
                                           break;
                                         }
                                       }
                                       expected.push_back(option);
                                       expected.push_back(fields.front());
                                       click(fields.front());
                                       ASSERT_EQ(XmGetFocusWidget(shell), fields.front()) << name;
                                       std::vector<Widget> visited;
                                       for (std::size_t step = 0; step < expected.size(); ++step) {
                                         Widget focus = XmGetFocusWidget(shell);
                                         int mode = XmSINGLE_LINE_EDIT;
                                         if (XmIsText(focus)) XtVaGetValues(focus, XmNeditMode, &mode, nullptr);
                                         key(XK_Tab, mode == XmMULTI_LINE_EDIT ? ControlMask : 0);
                                         pump();
                                         focus = XmGetFocusWidget(shell);
                                         visited.push_back(focus);
                                         EXPECT_TRUE(shown(focus)) << name << ", step " << step + 1;
                                       }
                                       EXPECT_EQ(visited, expected) << name;
                                     }
                                     click(find_in(shell, "form.rowcol.cancel"));
                                   });
  EXPECT_TRUE(ran);
}

// A rebuilt form takes the old one's place on the screen, and shows the
// same part of a scrolled form.
TEST_F(OnTheScreen, ATypeChangeKeepsThePlaceOfTheWindowAndOfTheView) {
  const bool ran = while_form_open(
      [this] { choose("Edit", "Add reference"); },
      [&](Widget shell) {
        shell = switch_type(shell, 8);  // misc
        // Moved by the user, as far as the screen leaves room.
        const Extent screen_size = ui::screen_extent(shell_);
        const Extent decorations = ui::window_frame(shell_)->decorations;
        Dimension width = 0;
        Dimension height = 0;
        XtVaGetValues(shell, XmNwidth, &width, XmNheight, &height, nullptr);
        const Place wanted =
            keep_on_screen({30, 40}, {width + decorations.width, height + decorations.height}, screen_size);
        XtVaSetValues(shell, XmNx, static_cast<Position>(wanted.x), XmNy, static_cast<Position>(wanted.y), nullptr);
        ASSERT_TRUE(pump_until([&] { return frame_place(shell) == wanted; }))
            << "the frame is at " << frame_place(shell).x << "," << frame_place(shell).y;
        Widget scroller = scroller_of(form_of(shell));
        if (scroller != nullptr) XmScrollVisible(scroller, form_field(shell, "Comment:"), 0, 0);
        pump();
        const Place view = view_of(shell);
        Widget unpublished = switch_type(shell, 12);  // the same fields as misc but one
        EXPECT_EQ(frame_place(unpublished), wanted);
        EXPECT_EQ(view_of(unpublished), view);
        EXPECT_EQ(scroller_of(form_of(unpublished)) != nullptr, scroller != nullptr);
        click(find_in(unpublished, "form.rowcol.cancel"));
      });
  EXPECT_TRUE(ran);
}

TEST_F(OnTheScreen, TheMainWindowAndTheDialogsLieOnTheScreen) {
  EXPECT_TRUE(frame_on_screen(shell_));
  Widget load_dialog = open_load_dialog();
  ASSERT_NE(load_dialog, nullptr);
  EXPECT_TRUE(frame_on_screen(XtParent(load_dialog)));
  for (Widget child : {XmFileSelectionBoxGetChild(load_dialog, XmDIALOG_OK_BUTTON),
                       XmFileSelectionBoxGetChild(load_dialog, XmDIALOG_CANCEL_BUTTON),
                       XmFileSelectionBoxGetChild(load_dialog, XmDIALOG_TEXT), find_in(load_dialog, "*filetype")}) {
    EXPECT_TRUE(shown(child));
  }
  // A file with a broken entry: the message dialog comes up beside the
  // main window.
  const std::string path = dir_.file("broken.bib");
  write_file(path, "@article{12,\n  title = {Fine},\n}\n@article{3,\nyear = 1999,\n}\n");
  type_into(XmFileSelectionBoxGetChild(load_dialog, XmDIALOG_TEXT), path);
  click(XmFileSelectionBoxGetChild(load_dialog, XmDIALOG_OK_BUTTON));
  ASSERT_TRUE(pump_until([] { return ui::message_dialog != nullptr; }));
  ASSERT_TRUE(pump_until([&] { return is_shown(XtParent(ui::message_dialog)); }));
  EXPECT_TRUE(frame_on_screen(XtParent(ui::message_dialog)));
  EXPECT_TRUE(shown(XmMessageBoxGetChild(ui::message_dialog, XmDIALOG_OK_BUTTON)));
  click(XmMessageBoxGetChild(ui::message_dialog, XmDIALOG_OK_BUTTON));

  bring_to_front(shell_);
  choose("File", "Save");
  ASSERT_TRUE(pump_until([&] { return ui::save_dialog != nullptr && is_shown(XtParent(ui::save_dialog)); }));
  EXPECT_TRUE(frame_on_screen(XtParent(ui::save_dialog)));
  click(XmFileSelectionBoxGetChild(ui::save_dialog, XmDIALOG_CANCEL_BUTTON));

  bring_to_front(shell_);
  choose("File", "Print");
  ASSERT_TRUE(pump_until([&] { return ui::latex_dialog != nullptr && is_shown(XtParent(ui::latex_dialog)); }));
  EXPECT_TRUE(frame_on_screen(XtParent(ui::latex_dialog)));
  click(XmFileSelectionBoxGetChild(ui::latex_dialog, XmDIALOG_CANCEL_BUTTON));

  bring_to_front(shell_);
  choose("Search", "Search in all fields");
  Widget mbox = nullptr;
  ASSERT_TRUE(pump_until([&] {
    mbox = XtNameToWidget(shell_, "*mbox");
    return mbox != nullptr && is_shown(XtParent(mbox));
  }));
  EXPECT_TRUE(frame_on_screen(XtParent(mbox)));
  EXPECT_TRUE(shown(XmMessageBoxGetChild(mbox, XmDIALOG_OK_BUTTON)));
}

}  // namespace
}  // namespace refloom::testing
