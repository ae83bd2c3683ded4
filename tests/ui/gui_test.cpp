#include "gui_test.h"

#include <X11/Shell.h>
#include <X11/StringDefs.h>
#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <Xm/List.h>
#include <Xm/Text.h>
#include <Xm/Xm.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "ui/app.h"
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

void GuiTest::SetUp() {
  start_toolkit_once();
  if (HasFatalFailure()) return;
  problems.clear();
  recorded_problems = &problems;
  shell_ = XtAppCreateShell("refloom", "Refloom", applicationShellWidgetClass, test_display, nullptr, 0);
  ui::build_main_window(shell_);
  ui::set_messages(messages_);
  ui::database() = ReferenceDatabase();
  XtRealizeWidget(shell_);
  ASSERT_TRUE(pump_until([this] { return is_shown(shell_); })) << "the main window was not mapped";
  pump(200);
}

void GuiTest::TearDown() {
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

Widget GuiTest::find(const std::string& path) const { return find_in(shell_, path); }

Widget GuiTest::find_in(Widget parent, const std::string& path) const {
  Widget widget = XtNameToWidget(parent, path.c_str());
  EXPECT_NE(widget, nullptr) << "no widget " << path;
  return widget;
}

void GuiTest::click_at(Widget widget, int x, int y, int button) {
  ASSERT_NE(widget, nullptr);
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

void GuiTest::pump(int quiet_ms) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  auto last_event = start;
  while (Clock::now() - last_event < std::chrono::milliseconds(quiet_ms) &&
         Clock::now() - start < std::chrono::seconds(10)) {
    XSync(test_display, False);
    if (XtAppPending(ui::app_context) != 0) {
      XtAppProcessEvent(ui::app_context, XtIMAll);
      last_event = Clock::now();
    } else {
      usleep(2000);
    }
  }
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
