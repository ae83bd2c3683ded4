#include "gui_test.h"

#include <X11/IntrinsicP.h>
#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/XKBlib.h>
#include <X11/Xmu/WinUtil.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <Xm/FileSB.h>
#include <Xm/Form.h>
#include <Xm/List.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/ScrolledW.h>
#include <Xm/Text.h>
#include <Xm/Xm.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "import/load.h"
#include "ui/app.h"
#include "ui/file_dialogs.h"
#include "ui/form.h"
#include "ui/message_dialog.h"
#include "ui/recovery.h"
#include "ui/reference_list.h"
#include "ui/xm_util.h"

namespace refloom::testing {

namespace {

Display* test_display = nullptr;
std::vector<std::string>* recorded_problems = nullptr;

void record(const std::string& text) {
  if (recorded_problems) recorded_problems->push_back(text);
}

void warning_msg_handler(String name, String type, String, String default_message, String* params,
                         Cardinal* param_count) {
  char text[1024];
  std::string format = default_message ? default_message : "";
  // Up to four parameters are enough for Xt and Motif warnings.
  String p[4] = {const_cast<char*>(""), const_cast<char*>(""), const_cast<char*>(""), const_cast<char*>("")};
  for (Cardinal i = 0; param_count && i < *param_count && i < 4; ++i) p[i] = params[i];
  std::snprintf(text, sizeof text, format.c_str(), p[0], p[1], p[2], p[3]);
  record(std::string("Xt warning ") + (name ? name : "") + "/" + (type ? type : "") + ": " + text);
}

void warning_handler(String text) { record(std::string("Xt warning: ") + (text ? text : "")); }

int x_error_handler(Display* display, XErrorEvent* error) {
  char text[256];
  XGetErrorText(display, error->error_code, text, sizeof text);
  record(std::string("X error: ") + text + " (request " + std::to_string(error->request_code) + ")");
  return 0;
}

std::vector<std::string> problems;

// The toolkit is started once per process; each test gets a new shell.
void start_toolkit_once() {
  if (test_display != nullptr) return;
  ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "GUI tests need a display: run them with make test";
  static int argc = 1;
  static char name[] = "refloom";
  static char* argv[] = {name, nullptr};
  // The resources of the source tree's application defaults file, as
  // make run uses them, and the locale the test program is built for.
  setenv("XAPPLRESDIR", APP_DEFAULTS_DIR, 1);
  // Whatever the environment running the tests asks for.
#ifdef TEST_LOCALE
  setenv("LC_ALL", TEST_LOCALE, 1);
#else
  setenv("LC_ALL", "C", 1);
#endif
  // As the program does: the locale from the environment, before Xlib
  // opens the display.
  XtSetLanguageProc(nullptr, nullptr, nullptr);
  XtToolkitInitialize();
  ui::app_context = XtCreateApplicationContext();
  test_display = XtOpenDisplay(ui::app_context, nullptr, "refloom", "Refloom", nullptr, 0, &argc, argv);
  ASSERT_NE(test_display, nullptr) << "cannot open display " << std::getenv("DISPLAY");
  XtAppSetWarningMsgHandler(ui::app_context, warning_msg_handler);
  XtAppSetWarningHandler(ui::app_context, warning_handler);
  XSetErrorHandler(x_error_handler);
}

void widget_center(Widget widget, int x, int y, int& root_x, int& root_y, Display* display) {
  Widget host = XtIsWidget(widget) ? widget : XtParent(widget);
  int local_x = x;
  int local_y = y;
  if (!XtIsWidget(widget)) {
    // A gadget has no window: its place is relative to its parent's.
    Position gadget_x = 0;
    Position gadget_y = 0;
    XtVaGetValues(widget, XtNx, &gadget_x, XtNy, &gadget_y, nullptr);
    local_x += gadget_x;
    local_y += gadget_y;
  }
  Window child;
  XTranslateCoordinates(display, XtWindow(host), DefaultRootWindow(display), local_x, local_y, &root_x, &root_y,
                        &child);
}

}  // namespace

void GuiTest::widget_created_hook(Widget, XtPointer test, XtPointer call_data) {
  static_cast<GuiTest*>(test)->widget_created(static_cast<XtCreateHookDataRec*>(call_data)->widget);
}

void GuiTest::SetUp() {
  start_toolkit_once();
  if (HasFatalFailure()) return;
  problems.clear();
  recorded_problems = &problems;
  shell_ = XtAppCreateShell("refloom", "Refloom", applicationShellWidgetClass, test_display, nullptr, 0);
  Widget hooks = XtHooksOfDisplay(test_display);
  XtAddCallback(hooks, XtNcreateHook, widget_created_hook, this);
  ui::build_main_window(shell_);
  XtRemoveCallback(hooks, XtNcreateHook, widget_created_hook, this);
  ui::set_messages(messages_);
  XtRealizeWidget(shell_);
  ASSERT_TRUE(pump_until([this] { return is_shown(shell_); })) << "the main window was not mapped";
  // As on a user's desktop: framed, and given the keyboard focus (mwm's
  // startupKeyFocus).
  ASSERT_TRUE(pump_until([this] { return settled(shell_) && has_focus(shell_); }))
      << "the window manager did not take the main window over";
}

void GuiTest::TearDown() {
  // A test that kept a recovery copy lets go of it before its directory goes.
  ui::stop_recovery();
  if (shell_ != nullptr) {
    // Let go of any grab a failed test may have left (a posted menu).
    XUngrabPointer(test_display, CurrentTime);
    XUngrabKeyboard(test_display, CurrentTime);
    XtDestroyWidget(shell_);
    pump(50);
    shell_ = nullptr;
  }
  recorded_problems = nullptr;
  for (const std::string& problem : problems) ADD_FAILURE() << problem;
  ui::set_messages(std::cout);
}

Display* GuiTest::display() const { return test_display; }

const std::vector<std::string>& GuiTest::toolkit_problems() const { return problems; }

Widget GuiTest::find(const std::string& path) const { return find_in(shell_, path); }

Widget GuiTest::find_in(Widget parent, const std::string& path) const {
  Widget widget = nullptr;
  if (path == "form" || path.starts_with("form.")) {
    Widget form = form_of(parent);
    widget = path == "form" || form == nullptr ? form : XtNameToWidget(form, path.substr(5).c_str());
  } else {
    widget = XtNameToWidget(parent, path.c_str());
  }
  EXPECT_NE(widget, nullptr) << "no widget " << path;
  return widget;
}

Widget GuiTest::form_of(Widget form_shell) const {
  // Breadth first: the form is the nearest widget of its name.
  std::vector<Widget> level = {form_shell};
  while (!level.empty()) {
    std::vector<Widget> below;
    for (Widget widget : level) {
      if (widget == nullptr || widget->core.being_destroyed || !XtIsComposite(widget)) continue;
      WidgetList children = nullptr;
      Cardinal count = 0;
      XtVaGetValues(widget, XmNchildren, &children, XmNnumChildren, &count, nullptr);
      for (Cardinal i = 0; i < count; ++i) {
        Widget child = children[i];
        if (child->core.being_destroyed || !XtIsManaged(child)) continue;
        if (XmIsForm(child) && std::string_view(XtName(child)) == "form") return child;
        below.push_back(child);
      }
    }
    level = std::move(below);
  }
  return nullptr;
}

void GuiTest::click_at(Widget widget, int x, int y, int button) {
  ASSERT_NE(widget, nullptr);
  scroll_into_view(widget);
  int root_x = 0;
  int root_y = 0;
  widget_center(widget, x, y, root_x, root_y, test_display);
  XTestFakeMotionEvent(test_display, -1, root_x, root_y, CurrentTime);
  XFlush(test_display);
  pump(20);
  XTestFakeButtonEvent(test_display, static_cast<unsigned>(button), True, CurrentTime);
  XFlush(test_display);
  pump(20);
  XTestFakeButtonEvent(test_display, static_cast<unsigned>(button), False, CurrentTime);
  XFlush(test_display);
  pump();
}

void GuiTest::click(Widget widget, int button) {
  ASSERT_NE(widget, nullptr);
  Dimension width = 0;
  Dimension height = 0;
  XtVaGetValues(widget, XtNwidth, &width, XtNheight, &height, nullptr);
  click_at(widget, width / 2, height / 2, button);
}

void GuiTest::key(KeySym keysym, unsigned modifiers) {
  const KeyCode code = XKeysymToKeycode(test_display, keysym);
  ASSERT_NE(code, 0) << "no key for keysym " << keysym;
  // A keysym on the shifted level needs Shift.
  const bool shifted = XkbKeycodeToKeysym(test_display, code, 0, 0) != keysym;
  std::vector<KeyCode> held;
  if (shifted || (modifiers & ShiftMask)) held.push_back(XKeysymToKeycode(test_display, XK_Shift_L));
  if (modifiers & ControlMask) held.push_back(XKeysymToKeycode(test_display, XK_Control_L));
  if (modifiers & Mod1Mask) held.push_back(XKeysymToKeycode(test_display, XK_Alt_L));
  for (KeyCode modifier : held) XTestFakeKeyEvent(test_display, modifier, True, CurrentTime);
  XTestFakeKeyEvent(test_display, code, True, CurrentTime);
  XTestFakeKeyEvent(test_display, code, False, CurrentTime);
  for (auto it = held.rbegin(); it != held.rend(); ++it) XTestFakeKeyEvent(test_display, *it, False, CurrentTime);
  XFlush(test_display);
  pump(10);
}

void GuiTest::type(std::string_view text) {
  for (char c : text) {
    if (c == '\n') {
      key(XK_Return);
    } else {
      key(static_cast<KeySym>(static_cast<unsigned char>(c)));
    }
  }
  pump();
}

void GuiTest::type_into(Widget text_field, std::string_view text) {
  click(text_field);
  key(XK_slash, ControlMask);  // select all: typing then replaces it
  if (!text.empty()) {
    type(text);
  } else {
    key(XK_BackSpace);
  }
  pump();
}

void GuiTest::choose(const std::string& cascade, const std::string& entry) {
  const std::string pulldown = cascade + "PullDown";
  click(find("main_w.menubar." + cascade));
  Widget menu = find("*" + pulldown);
  ASSERT_NE(menu, nullptr);
  ASSERT_TRUE(pump_until([&] { return is_shown(XtParent(menu)); })) << cascade << " menu not posted";
  click(find_in(menu, entry));
}

namespace {

struct FormSteps {
  GuiTest* test;
  const std::function<void(Widget)>* steps;
  std::function<bool(Widget)> shown;
  bool ran = false;
  int tries = 0;
  XtIntervalId timer = 0;
};

void form_steps_timer(XtPointer data, XtIntervalId*) {
  auto* pending = static_cast<FormSteps*>(data);
  pending->timer = 0;
  Widget shell = ui::open_form_shell();
  if (shell == nullptr || !pending->shown(shell)) {
    if (++pending->tries < 500) pending->timer = XtAppAddTimeOut(ui::app_context, 20, form_steps_timer, pending);
    return;
  }
  pending->ran = true;
  (*pending->steps)(shell);
  if (Widget still_open = ui::open_form_shell()) {
    ADD_FAILURE() << "the steps left the form open; cancelling it";
    XtCallCallbacks(XtNameToWidget(still_open, "*cancel"), XmNactivateCallback, nullptr);
  }
}

}  // namespace

bool GuiTest::while_form_open(const std::function<void()>& trigger, const std::function<void(Widget)>& steps) {
  FormSteps pending{this, &steps, [this](Widget shell) { return is_shown(shell); }};
  pending.timer = XtAppAddTimeOut(ui::app_context, 20, form_steps_timer, &pending);
  trigger();
  pump();
  if (pending.timer != 0) XtRemoveTimeOut(pending.timer);
  return pending.ran;
}

Widget GuiTest::form_field(Widget form_shell, const std::string& label) const {
  Widget form = form_of(form_shell);
  for (Widget parent : {form ? XtNameToWidget(form, "rowcol") : nullptr, form}) {
    if (parent == nullptr) continue;
    WidgetList children = nullptr;
    Cardinal count = 0;
    XtVaGetValues(parent, XmNchildren, &children, XmNnumChildren, &count, nullptr);
    for (Cardinal i = 0; i + 1 < count; ++i) {
      if (std::string_view(XtName(children[i])) == "label" && label_of(children[i]) == label) return children[i + 1];
    }
  }
  ADD_FAILURE() << "no field " << label;
  return nullptr;
}

std::vector<std::string> GuiTest::form_labels(Widget form_shell) const {
  std::vector<std::string> labels;
  Widget form = form_of(form_shell);
  WidgetList children = nullptr;
  Cardinal count = 0;
  XtVaGetValues(form, XmNchildren, &children, XmNnumChildren, &count, nullptr);
  for (Cardinal i = 0; i < count; ++i) {
    if (std::string_view(XtName(children[i])) == "label" && XtIsManaged(children[i])) {
      labels.push_back(label_of(children[i]));
    }
  }
  return labels;
}

Widget GuiTest::option_menu(Widget form_shell, int menu) const {
  Widget rowcol = find_in(form_shell, "form.rowcol");
  WidgetList children = nullptr;
  Cardinal count = 0;
  XtVaGetValues(rowcol, XmNchildren, &children, XmNnumChildren, &count, nullptr);
  std::vector<Widget> options;
  for (Cardinal i = 0; i < count; ++i) {
    if (std::string_view(XtName(children[i])) == "option") options.push_back(children[i]);
  }
  EXPECT_EQ(options.size(), 2U);
  return options.size() == 2 ? options[static_cast<std::size_t>(menu)] : nullptr;
}

void GuiTest::choose_option(Widget form_shell, int menu, int button) {
  Widget option = option_menu(form_shell, menu);
  ASSERT_NE(option, nullptr);
  Widget pulldown = nullptr;
  XtVaGetValues(option, XmNsubMenuId, &pulldown, nullptr);
  // As a user does: press on the option button, drag to the choice, release.
  Widget option_button = XmOptionButtonGadget(option);
  scroll_into_view(option_button);
  Dimension width = 0;
  Dimension height = 0;
  XtVaGetValues(option_button, XtNwidth, &width, XtNheight, &height, nullptr);
  int x = 0;
  int y = 0;
  widget_center(option_button, width / 2, height / 2, x, y, test_display);
  XTestFakeMotionEvent(test_display, -1, x, y, CurrentTime);
  XTestFakeButtonEvent(test_display, 1, True, CurrentTime);
  XFlush(test_display);
  const bool posted = pump_until([&] { return is_shown(XtParent(pulldown)); });
  if (posted) {
    // Motif takes a release within the multi-click time of posting the
    // menu for a click, which leaves the menu posted: the pointer moves
    // over the choice until the menu has seen that time pass (by the
    // server's clock), as a user's drag takes it.
    const Time posted_at = XtLastTimestampProcessed(test_display);
    const Time click_time = static_cast<Time>(XtGetMultiClickTime(test_display));
    Widget choice = find_in(pulldown, "button_" + std::to_string(button));
    XtVaGetValues(choice, XtNwidth, &width, XtNheight, &height, nullptr);
    widget_center(choice, width / 2, height / 2, x, y, test_display);
    const auto dragged_long_enough = [&] {
      for (int offset : {-1, 0}) {
        XTestFakeMotionEvent(test_display, -1, x, y + offset, CurrentTime);
        XFlush(test_display);
        pump(30);
      }
      return XtLastTimestampProcessed(test_display) - posted_at > click_time;
    };
    EXPECT_TRUE(pump_until(dragged_long_enough)) << "the menu saw no time pass";
  }
  XTestFakeButtonEvent(test_display, 1, False, CurrentTime);
  XFlush(test_display);
  pump();
  ASSERT_TRUE(posted) << "option menu not posted";
}

void GuiTest::activate_in_place(Widget button) {
  ASSERT_NE(button, nullptr);
  // The key event Motif hands on when Return activates a default button.
  XEvent event{};
  event.xkey.type = KeyPress;
  event.xkey.display = test_display;
  event.xkey.window = XtWindow(button);
  event.xkey.time = CurrentTime;
  event.xkey.keycode = XKeysymToKeycode(test_display, XK_Return);
  XtCallActionProc(button, "ArmAndActivate", &event, nullptr, 0);
  pump();
}

void GuiTest::choose_option_in_place(Widget form_shell, int menu, int button) {
  Widget option = option_menu(form_shell, menu);
  ASSERT_NE(option, nullptr);
  Widget pulldown = nullptr;
  XtVaGetValues(option, XmNsubMenuId, &pulldown, nullptr);
  Widget choice = find_in(pulldown, "button_" + std::to_string(button));
  ASSERT_NE(choice, nullptr);
  XmPushButtonCallbackStruct call{};
  call.reason = XmCR_ACTIVATE;
  call.click_count = 1;
  XtCallCallbacks(choice, XmNactivateCallback, &call);
  pump();
}

void GuiTest::scroll_into_view(Widget widget) {
  ASSERT_NE(widget, nullptr);
  for (Widget parent = XtParent(widget); parent != nullptr && !XtIsShell(parent); parent = XtParent(parent)) {
    if (!XmIsScrolledWindow(parent)) continue;
    unsigned char policy = XmAPPLICATION_DEFINED;
    XtVaGetValues(parent, XmNscrollingPolicy, &policy, nullptr);
    // A list or text scrolls itself: only a scrolled work area moves.
    if (policy != XmAUTOMATIC) return;
    XmScrollVisible(parent, widget, 0, 0);
    pump();
    return;
  }
}

void GuiTest::bring_to_front(Widget shell) {
  // Through the window manager, as a click on the window's frame would;
  // asked again, as a user would click again, when a window the window
  // manager was still giving the focus to (and raising) came up over it.
  bool raised = false;
  for (int tries = 0; tries < 5 && !raised; ++tries) {
    XWindowChanges changes{};
    changes.stack_mode = Above;
    XReconfigureWMWindow(test_display, XtWindow(shell), DefaultScreen(test_display), CWStackMode, &changes);
    XFlush(test_display);
    raised = pump_until([&] { return on_top(shell); }, 1000);
  }
  EXPECT_TRUE(raised) << title_of(shell) << " was not raised";
}

Window GuiTest::frame_window(Widget shell) const {
  const auto frame = ui::window_frame(shell);
  return frame ? frame->window : 0;
}

bool GuiTest::on_top(Widget shell) const {
  const Window frame = frame_window(shell);
  Window root = 0;
  Window parent = 0;
  Window* children = nullptr;
  unsigned count = 0;
  if (frame == 0 || !XQueryTree(test_display, DefaultRootWindow(test_display), &root, &parent, &children, &count)) {
    return false;
  }
  bool found = false;
  bool covered = false;
  for (unsigned i = 0; i < count && !covered; ++i) {  // bottom to top
    if (children[i] == frame) {
      found = true;
      continue;
    }
    XWindowAttributes attributes;
    if (!found || !XGetWindowAttributes(test_display, children[i], &attributes) || attributes.map_state != IsViewable ||
        attributes.override_redirect) {
      continue;
    }
    Window owner = 0;
    covered = !XGetTransientForHint(test_display, XmuClientWindow(test_display, children[i]), &owner) ||
              owner != XtWindow(shell);
  }
  if (children != nullptr) XFree(children);
  return found && !covered;
}

bool GuiTest::has_focus(Widget shell) const {
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(test_display, &focus, &revert);
  const Window frame = frame_window(shell);
  for (Window window = focus; window != None && window != PointerRoot && frame != 0;) {
    if (window == XtWindow(shell)) return true;
    if (window == frame) return false;
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(test_display, window, &root, &parent, &children, &count)) return false;
    if (children != nullptr) XFree(children);
    window = parent == root ? None : parent;
  }
  return false;
}

bool GuiTest::settled(Widget shell) const {
  if (!is_shown(shell) || frame_window(shell) == XtWindow(shell)) return false;
  XWindowAttributes attributes;
  Dimension width = 0;
  Dimension height = 0;
  XtVaGetValues(shell, XtNwidth, &width, XtNheight, &height, nullptr);
  return XGetWindowAttributes(test_display, XtWindow(shell), &attributes) && attributes.width == width &&
         attributes.height == height;
}

Widget GuiTest::open_load_dialog() {
  choose("File", "Load");
  EXPECT_TRUE(pump_until([] { return ui::load_dialog != nullptr; }));
  EXPECT_TRUE(pump_until([this] { return is_shown(ui::load_dialog); }));
  return ui::load_dialog;
}

void GuiTest::load(const std::string& path) {
  Widget dialog = open_load_dialog();
  type_into(XmFileSelectionBoxGetChild(dialog, XmDIALOG_TEXT), path);
  click(XmFileSelectionBoxGetChild(dialog, XmDIALOG_OK_BUTTON));
  pump();
}

void GuiTest::load_directly(std::string_view bibtex) {
  const std::string path = dir_.file("direct.bib");
  write_file(path, bibtex);
  ui::show(ui::session().load(path, FileType::kBibtex, messages_));
  pump();
}

void GuiTest::select_line(int position) {
  Widget list = find("main_w.reflist");
  XmListSetPos(list, position);
  pump();
  Position x = 0;
  Position y = 0;
  Dimension width = 0;
  Dimension height = 0;
  ASSERT_TRUE(XmListPosToBounds(list, position, &x, &y, &width, &height)) << "line " << position;
  click_at(list, x + width / 2, y + height / 2);
}

std::string GuiTest::count_line() const { return label_of(XtNameToWidget(shell_, "main_w.message")); }

std::string GuiTest::text_of(Widget text_field) const {
  ui::XtText text(XmTextGetString(text_field));
  return text ? text.get() : "<no text>";
}

void GuiTest::pump(int quiet_ms) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  auto last_event = start;
  while (Clock::now() - last_event < std::chrono::milliseconds(quiet_ms) &&
         Clock::now() - start < std::chrono::seconds(10)) {
    XSync(test_display, False);
    const XtInputMask pending = XtAppPending(ui::app_context);
    if (pending != 0) {
      // Only X events count as activity: timers (a blinking cursor, a
      // polling test) would never let the display look quiet.
      if (pending & XtIMXEvent) last_event = Clock::now();
      XtAppProcessEvent(ui::app_context, XtIMAll);
      // As the program's main loop does after each event.
      ui::show_messages();
      ui::keep_recovery_copy();
    } else {
      usleep(2000);
    }
  }
  if (Clock::now() - start >= std::chrono::seconds(10)) std::fprintf(stderr, "pump: never quiet\n");
}

bool GuiTest::pump_until(const std::function<bool()>& done, int timeout_ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!done()) {
    if (Clock::now() > deadline) return false;
    pump(10);
  }
  return true;
}

bool GuiTest::is_shown(Widget widget) const {
  if (widget == nullptr || !XtIsRealized(widget)) return false;
  if (!XtIsShell(widget) && !XtIsManaged(widget)) return false;
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(test_display, XtWindow(widget), &attributes)) return false;
  return attributes.map_state == IsViewable;
}

std::string GuiTest::title_of(Widget shell) const {
  char* title = nullptr;
  XtVaGetValues(shell, XtNtitle, &title, nullptr);
  return title ? title : "";
}

std::string GuiTest::label_of(Widget widget) const {
  XmString label = nullptr;
  XtVaGetValues(widget, XmNlabelString, &label, nullptr);
  ui::XmStringOwner owner(label);
  return ui::xmstring_text(label).value_or("<no text>");
}

std::vector<std::string> GuiTest::list_items(Widget list) const {
  XmStringTable items = nullptr;
  int count = 0;
  XtVaGetValues(list, XmNitems, &items, XmNitemCount, &count, nullptr);
  std::vector<std::string> texts;
  for (int i = 0; i < count; ++i) texts.push_back(ui::xmstring_text(items[i]).value_or("<no text>"));
  return texts;
}

}  // namespace refloom::testing
