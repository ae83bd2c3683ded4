#include "gui_test.h"

#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <Xm/Label.h>
#include <Xm/List.h>
#include <Xm/MainW.h>
#include <Xm/PushBG.h>
#include <Xm/ToggleBG.h>
// Editres.h needs the Xt types first.
#include <X11/Xmu/Editres.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "editres_client.h"
#include "ui/app.h"

namespace refloom::testing {
namespace {

using MainWindow = GuiTest;

struct Entry {
  const char* menu;
  const char* name;
  char mnemonic;
  bool sensitive_at_start;
};

const Entry kEntries[] = {
    {"FilePullDown", "New", 'N', false},
    {"FilePullDown", "Load", 'L', true},
    {"FilePullDown", "Save", 'S', false},
    {"FilePullDown", "Print", 'P', false},
    {"FilePullDown", "Quit", 'Q', true},
    {"EditPullDown", "Add reference", 'A', true},
    {"EditPullDown", "Edit reference", 'E', false},
    {"EditPullDown", "Delete reference", 'D', false},
    {"EditPullDown", "Reduce to listed references", 'R', false},
    {"SearchPullDown", "Search in all fields", 'S', false},
    {"SearchPullDown", "AND", 'A', false},
    {"SearchPullDown", "OR", 'O', false},
    {"SearchPullDown", "NOT", 'N', false},
    {"SearchPullDown", "View all references", 'V', false},
    {"SearchPullDown", "Case sensitive", 'C', false},
};

TEST_F(MainWindow, StartsWithTitleCountLineAndOnlyLoadQuitAndAddUsable) {
  EXPECT_EQ(title_of(shell_), "Refloom Manager, Ver. 1.7");
  EXPECT_EQ(label_of(find("main_w.message")), "number of references: 0");
  for (const Entry& entry : kEntries) {
    Widget widget = find(std::string("*") + entry.menu + "." + entry.name);
    ASSERT_NE(widget, nullptr) << entry.name;
    EXPECT_EQ(XtIsSensitive(widget) == True, entry.sensitive_at_start) << entry.name;
    KeySym mnemonic = 0;
    XtVaGetValues(widget, XmNmnemonic, &mnemonic, nullptr);
    EXPECT_EQ(mnemonic, static_cast<KeySym>(entry.mnemonic)) << entry.name;
    EXPECT_EQ(label_of(widget), entry.name);
  }
  for (const auto& [name, mnemonic] : {std::pair{"File", 'F'}, std::pair{"Edit", 'E'}, std::pair{"Search", 'S'}}) {
    Widget cascade = find(std::string("main_w.menubar.") + name);
    KeySym keysym = 0;
    XtVaGetValues(cascade, XmNmnemonic, &keysym, nullptr);
    EXPECT_EQ(keysym, static_cast<KeySym>(mnemonic));
    EXPECT_EQ(label_of(cascade), name);
  }
}

TEST_F(MainWindow, WidgetTreeHasItsNamesClassesAndResources) {
  Widget main_window = find("main_w");
  EXPECT_EQ(XtClass(main_window), xmMainWindowWidgetClass);
  Widget list = find("main_w.reflist");
  EXPECT_EQ(XtClass(list), xmListWidgetClass);
  Widget message_line = find("main_w.message");
  EXPECT_EQ(XtClass(message_line), xmLabelWidgetClass);
  unsigned char alignment = 0;
  XtVaGetValues(message_line, XmNalignment, &alignment, nullptr);
  EXPECT_EQ(alignment, XmALIGNMENT_BEGINNING);
  Widget message_window = nullptr;
  Widget work_window = nullptr;
  Widget menu_bar = nullptr;
  XtVaGetValues(main_window, XmNmessageWindow, &message_window, XmNworkWindow, &work_window, XmNmenuBar, &menu_bar,
                nullptr);
  EXPECT_EQ(message_window, message_line);
  EXPECT_EQ(work_window, list);
  EXPECT_EQ(menu_bar, find("main_w.menubar"));
  EXPECT_EQ(XtClass(find("*SearchPullDown.Case sensitive")), xmToggleButtonGadgetClass);
  EXPECT_EQ(XtClass(find("*FilePullDown.Load")), xmPushButtonGadgetClass);
  // Entries and separators in menu order.
  WidgetList children = nullptr;
  Cardinal count = 0;
  XtVaGetValues(find("*FilePullDown"), XmNchildren, &children, XmNnumChildren, &count, nullptr);
  std::vector<std::string> names;
  for (Cardinal i = 0; i < count; ++i) names.push_back(XtName(children[i]));
  EXPECT_EQ(names, (std::vector<std::string>{"New", "Load", "Save", "separator", "Print", "separator", "Quit"}));
  XtVaGetValues(find("*SearchPullDown"), XmNchildren, &children, XmNnumChildren, &count, nullptr);
  names.clear();
  for (Cardinal i = 0; i < count; ++i) names.push_back(XtName(children[i]));
  EXPECT_EQ(names, (std::vector<std::string>{"Search in all fields", "separator", "AND", "OR", "NOT", "separator",
                                             "View all references", "separator", "Case sensitive"}));
}

TEST_F(MainWindow, DataCommandsAreTheTwelveEntriesInMenuOrder) {
  std::vector<std::string> names;
  for (Widget widget : ui::DataCommands) names.push_back(XtName(widget));
  EXPECT_EQ(names, (std::vector<std::string>{"New", "Save", "Print", "Edit reference", "Delete reference",
                                             "Reduce to listed references", "Search in all fields", "AND", "OR", "NOT",
                                             "View all references", "Case sensitive"}));
}

// Each entry calls its menu's callback, with client data that tells the
// callback which entry it is.
TEST_F(MainWindow, EachEntryCallsItsMenusCallbackWithItsNumber) {
  struct Wiring {
    const char* menu;
    const char* name;
    XtCallbackProc callback;
    int client_data;
  };
  const Wiring wirings[] = {
      {"FilePullDown", "New", ui::file_cb, 0},
      {"FilePullDown", "Load", ui::file_cb, 1},
      {"FilePullDown", "Save", ui::file_cb, 2},
      {"FilePullDown", "Print", ui::file_cb, 3},
      {"FilePullDown", "Quit", ui::file_cb, 4},
      {"EditPullDown", "Add reference", ui::edit_cb, 0},
      {"EditPullDown", "Edit reference", ui::edit_cb, 1},
      {"EditPullDown", "Delete reference", ui::edit_cb, 2},
      {"EditPullDown", "Reduce to listed references", ui::edit_cb, 3},
      {"SearchPullDown", "Search in all fields", ui::search_cb, 0},
      {"SearchPullDown", "AND", ui::search_cb, 1},
      {"SearchPullDown", "OR", ui::search_cb, 2},
      {"SearchPullDown", "NOT", ui::search_cb, 3},
      {"SearchPullDown", "View all references", ui::search_cb, 4},
      {"SearchPullDown", "Case sensitive", ui::search_cb, 5},
  };
  using Calls = std::vector<std::pair<XtCallbackProc, XtPointer>>;
  for (const Wiring& wiring : wirings) {
    Widget widget = find(std::string("*") + wiring.menu + "." + wiring.name);
    ASSERT_NE(widget, nullptr) << wiring.name;
    const bool toggle = XtClass(widget) == xmToggleButtonGadgetClass;
    XtCallbackList list = nullptr;
    XtVaGetValues(widget, toggle ? XmNvalueChangedCallback : XmNactivateCallback, &list, nullptr);
    Calls calls;
    for (; list != nullptr && list->callback != nullptr; ++list) calls.emplace_back(list->callback, list->closure);
    const Calls expected = {{wiring.callback, reinterpret_cast<XtPointer>(std::intptr_t{wiring.client_data})}};
    EXPECT_EQ(calls, expected) << wiring.name;
  }
}

// Widget inspectors (editres) reach the program through a handler on its
// shell. Motif's shells may carry a copy of their own, so the program's is
// told apart by taking it away: one fetch of the request fewer.
TEST_F(MainWindow, TheShellAnswersEditresThroughTheProgramsOwnHandler) {
  Display* inspector = XOpenDisplay(nullptr);
  ASSERT_NE(inspector, nullptr);
  const auto answer = [this] { pump(5); };
  const EditresTree tree = editres_widget_tree(inspector, XtWindow(shell_), answer);
  EXPECT_EQ(tree.error, "");
  const EditresWidget* reflist = tree.find("reflist");
  ASSERT_NE(reflist, nullptr);
  EXPECT_EQ(reflist->widget_class, "XmList");
  ASSERT_EQ(reflist->path.size(), 3U);
  EXPECT_EQ(tree.widgets.front().widget_class, "Refloom");
  EXPECT_EQ(tree.find("main_w")->path.back(), reflist->path[1]);

  XtRemoveEventHandler(shell_, 0, True, _XEditResCheckMessages, nullptr);
  const EditresTree without = editres_widget_tree(inspector, XtWindow(shell_), answer, 2000);
  EXPECT_EQ(tree.fetches, without.fetches + 1) << "fetches without the handler: " << without.fetches;
  XCloseDisplay(inspector);
}

class ReferenceList : public GuiTest {
 protected:
  void widget_created(Widget widget) override {
    if (std::string_view(XtName(widget)) == "reflist") {
      XtVaGetValues(widget, XmNvisibleItemCount, &visible_at_creation_, nullptr);
    }
  }
  std::vector<int> selected() {
    int* positions = nullptr;
    int count = 0;
    std::vector<int> result;
    if (XmListGetSelectedPos(find("main_w.reflist"), &positions, &count)) {
      result.assign(positions, positions + count);
      XtFree(reinterpret_cast<char*>(positions));
    }
    return result;
  }
  // A click on a line with modifier keys held.
  void click_line(int position, unsigned modifiers) {
    Widget list = find("main_w.reflist");
    Position x = 0;
    Position y = 0;
    Dimension width = 0;
    Dimension height = 0;
    ASSERT_TRUE(XmListPosToBounds(list, position, &x, &y, &width, &height)) << "line " << position;
    std::vector<KeyCode> held;
    if (modifiers & ShiftMask) held.push_back(XKeysymToKeycode(display(), XK_Shift_L));
    if (modifiers & ControlMask) held.push_back(XKeysymToKeycode(display(), XK_Control_L));
    for (KeyCode code : held) XTestFakeKeyEvent(display(), code, True, CurrentTime);
    click_at(list, x + width / 2, y + height / 2);
    for (KeyCode code : held) XTestFakeKeyEvent(display(), code, False, CurrentTime);
    pump();
  }

  int visible_at_creation_ = -1;
};

// The list is made for ten lines (the main window then gives it its own
// height) and keeps the default policy: one line selected at a time.
TEST_F(ReferenceList, IsMadeForTenLinesAndSelectsOneLineAtATime) {
  EXPECT_EQ(visible_at_creation_, 10);
  unsigned char policy = 0;
  XtVaGetValues(find("main_w.reflist"), XmNselectionPolicy, &policy, nullptr);
  EXPECT_EQ(policy, XmBROWSE_SELECT);

  load_directly("@misc{1,\n}\n@misc{2,\n}\n@misc{3,\n}\n@misc{4,\n}\n@misc{5,\n}\n");
  click_line(2, 0);
  EXPECT_EQ(selected(), (std::vector<int>{2}));
  // Shift and Control extend a selection only under another policy; here
  // the one selected line stays the only one.
  click_line(4, ShiftMask);
  EXPECT_EQ(selected(), (std::vector<int>{2}));
  click_line(5, ControlMask);
  EXPECT_EQ(selected(), (std::vector<int>{2}));
  click_line(3, 0);
  EXPECT_EQ(selected(), (std::vector<int>{3}));
}

TEST_F(MainWindow, MenusPostWithTheKeyboard) {
  click(find("main_w.reflist"));
  XTestFakeKeyEvent(display(), XKeysymToKeycode(display(), XK_Alt_L), True, CurrentTime);
  pump(30);
  key(XK_f);
  XTestFakeKeyEvent(display(), XKeysymToKeycode(display(), XK_Alt_L), False, CurrentTime);
  Widget file_menu = find("*FilePullDown");
  EXPECT_TRUE(pump_until([&] { return is_shown(XtParent(file_menu)); }));
  key(XK_Escape);
  pump();
}

}  // namespace
}  // namespace refloom::testing
