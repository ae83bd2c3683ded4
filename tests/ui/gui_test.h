#pragma once

// GoogleTest comes before any X header: Xlib's None, Bool and Status
// macros break it otherwise.
#include <gtest/gtest.h>

#include <X11/Intrinsic.h>

#include <functional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/fields.h"
#include "support/temp_dir.h"

namespace refloom::testing {

// The form's text fields below its top row, by their labels as users see
// them, with the slot each shows (not the citation key and the other
// fields, which have widget names of their own).
struct FormTextField {
  std::string_view label;
  int slot;
};
inline constexpr FormTextField kFormTextFields[] = {
    {"Key:", kKey},
    {"Crossref:", kCrossref},
    {"Howpublished:", kHowpublished},
    {"Journal:", kJournal},
    {"Volume:", kVolume},
    {"Number:", kNumber},
    {"Edition:", kEdition},
    {"Month:", kMonth},
    {"Chapter:", kChapter},
    {"Pages:", kPages},
    {"Year:", kYear},
    {"Title:", kTitle},
    {"Booktitle:", kBooktitle},
    {"Series:", kSeries},
    {"Type:", kType},
    {"Author:", kAuthor},
    {"Institution:", kInstitution},
    {"Organization:", kOrganization},
    {"School:", kSchool},
    {"Editor:", kEditor},
    {"Publisher:", kPublisher},
    {"Address:", kAddress},
    {"Abstract:", kAbstract},
    {"Keyword:", kKeyword},
    {"Note:", kNote},
    {"Annote:", kAnnote},
    {"Comment:", kComment},
};

// A fixture that builds the real main window on the test display (under a
// window manager) and drives it with real input through XTest. Any Xt or
// Motif warning, or X error, fails the test.
class GuiTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  Display* display() const;
  // A widget by its name path below the application shell.
  Widget find(const std::string& path) const;
  // A path that starts with "form" starts at the reference form's XmForm
  // wherever it sits below `parent` (see form_of).
  Widget find_in(Widget parent, const std::string& path) const;
  // The reference form's XmForm "form" below its shell: the shell's child,
  // or the work area of a scrolled window when the form does not fit the
  // screen.
  Widget form_of(Widget form_shell) const;

  // Real input: pointer clicks at a widget's (or gadget's) middle, keys.
  // A widget in a scrolled window is scrolled into view first, as a user
  // would with the scroll bars.
  void click(Widget widget, int button = 1);
  void click_at(Widget widget, int x, int y, int button = 1);
  void key(KeySym keysym, unsigned modifiers = 0);
  void type(std::string_view text);
  // Chooses a menu entry with the pointer: the cascade, then the entry.
  void choose(const std::string& cascade, const std::string& entry);
  // Replaces the whole text of a text field by typing, as a user would.
  void type_into(Widget text_field, std::string_view text);

  // Runs `steps` while a command waits for the reference form: `trigger`
  // starts the command (a menu choice, say), and the steps run inside the
  // form's wait once the form is shown. A form the steps leave open is
  // cancelled. Returns whether the steps ran.
  bool while_form_open(const std::function<void()>& trigger, const std::function<void(Widget)>& steps);
  // Activates a push button as Motif's keyboard activation does (a default
  // button on Return, a mnemonic): armed and activated where it is, without
  // taking the keyboard focus from the field being typed in.
  void activate_in_place(Widget button);
  // Picks a button of one of the form's option menus (0 entry type,
  // 1 reprint) without posting the menu: a posted menu grabs the keyboard,
  // and the field being typed in loses the focus first.
  void choose_option_in_place(Widget form_shell, int menu, int button);
  // A text field of the open form, by the label before it.
  Widget form_field(Widget form_shell, const std::string& label) const;
  // The labels of the form below the top row, in the order they were made.
  std::vector<std::string> form_labels(Widget form_shell) const;
  // Chooses a button of one of the form's option menus (0 entry type,
  // 1 reprint) with the pointer.
  void choose_option(Widget form_shell, int menu, int button);
  std::string text_of(Widget text_field) const;
  // Scrolls the scrolled window a widget lies in (if any) so that the
  // widget, or as much of it as the view has room for, shows.
  void scroll_into_view(Widget widget);
  // Raises a top-level window above the others, through the window
  // manager, and waits until it is.
  void bring_to_front(Widget shell);

  // The window manager's frame around a top-level window: its window's
  // ancestor right below the root (the window itself when it has none).
  Window frame_window(Widget shell) const;
  // Whether a top-level window's frame is above every other window shown,
  // but for windows transient for it, which the window manager keeps above.
  bool on_top(Widget shell) const;
  // Whether the keyboard focus is in a top-level window.
  bool has_focus(Widget shell) const;
  // Whether the window manager has shown a top-level window in its frame,
  // at the size the shell asked for.
  bool settled(Widget shell) const;

  // Processes events until nothing has happened for a short while.
  void pump(int quiet_ms = 80);
  bool pump_until(const std::function<bool()>& done, int timeout_ms = 5000);

  bool is_shown(Widget widget) const;
  std::string title_of(Widget shell) const;
  std::string label_of(Widget widget) const;
  std::vector<std::string> list_items(Widget list) const;
  // File > Load: the dialog, once it is shown.
  Widget open_load_dialog();
  // File > Load, the path typed into the selection field, OK clicked.
  void load(const std::string& path);
  // Loads references as File > Load does, without the dialog.
  void load_directly(std::string_view bibtex);
  // Selects a line of the reference list with a click (positions from 1).
  void select_line(int position);
  std::string count_line() const;

  // Called for every widget of the main window as it is created in SetUp,
  // before its parent sizes it: what the program asked for at creation
  // (a list's visible item count, say, follows its height from then on).
  virtual void widget_created(Widget /*widget*/) {}

  // Toolkit warnings and X errors recorded so far in this test; each one
  // fails the test when it ends.
  const std::vector<std::string>& toolkit_problems() const;

  std::string messages() const { return messages_.str(); }
  void clear_messages() { messages_.str(""); }

  Widget shell_ = nullptr;
  TempDir dir_;

 private:
  Widget option_menu(Widget form_shell, int menu) const;
  static void widget_created_hook(Widget hooks, XtPointer test, XtPointer call_data);

  std::ostringstream messages_;
};

}  // namespace refloom::testing
