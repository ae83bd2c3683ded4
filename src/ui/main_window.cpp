// Start-up: the toolkit, the main window with its list, message line and
// menus, and the state the commands share.

#include <X11/Intrinsic.h>
// Editres.h needs the Xt types first.
#include <X11/Xmu/Editres.h>
#include <Xm/CascadeB.h>
#include <Xm/Label.h>
#include <Xm/List.h>
#include <Xm/MainW.h>
#include <Xm/PushBG.h>
#include <Xm/RowColumn.h>
#include <Xm/SeparatoG.h>
#include <Xm/ToggleBG.h>

#include <cinttypes>
#include <cstdio>
#include <iostream>

#include "ui/app.h"
#include "ui/file_dialogs.h"
#include "ui/message_dialog.h"
#include "ui/reference_list.h"
#include "ui/xm_util.h"

namespace refloom::ui {

XtAppContext app_context = nullptr;
Widget toplevel = nullptr;
Widget main_w = nullptr;
Widget reflist = nullptr;
Widget message = nullptr;
std::array<Widget, kDataCommandCount> DataCommands{};

namespace {

// A static object: empty before main runs, destroyed at normal exit.
Session the_session;
MessageCollector message_collector(std::cout);

struct MenuEntry {
  const char* name;  // also the label
  char mnemonic;
  XtCallbackProc callback;
  int client_data;  // a FileCommand, EditCommand or SearchCommand
  bool data_command;
  bool toggle = false;
};

constexpr const char* kSeparator = nullptr;

Widget add_entry(Widget menu, const MenuEntry& entry) {
  const WidgetClass widget_class = entry.toggle ? xmToggleButtonGadgetClass : xmPushButtonGadgetClass;
  Widget widget = XtVaCreateManagedWidget(entry.name, widget_class, menu, XmNmnemonic,
                                          static_cast<KeySym>(entry.mnemonic), nullptr);
  XtAddCallback(widget, entry.toggle ? XmNvalueChangedCallback : XmNactivateCallback, entry.callback,
                to_client_data(entry.client_data));
  return widget;
}

void add_separator(Widget menu) { XtVaCreateManagedWidget("separator", xmSeparatorGadgetClass, menu, nullptr); }

Widget add_menu(Widget menubar, const char* pulldown_name, const char* cascade_name, char mnemonic) {
  Widget pulldown = XmCreatePulldownMenu(menubar, const_cast<char*>(pulldown_name), nullptr, 0);
  XmStringOwner label{std::string(cascade_name)};
  XtVaCreateManagedWidget(cascade_name, xmCascadeButtonWidgetClass, menubar, XmNlabelString, label.get(),
                          XmNmnemonic, static_cast<KeySym>(mnemonic), XmNsubMenuId, pulldown, nullptr);
  return pulldown;
}

void build_menus(Widget menubar) {
  std::size_t next_data_command = 0;
  auto add = [&next_data_command](Widget menu, const MenuEntry& entry) {
    if (entry.name == kSeparator) {
      add_separator(menu);
      return;
    }
    Widget widget = add_entry(menu, entry);
    if (entry.data_command) DataCommands[next_data_command++] = widget;
  };

  Widget file = add_menu(menubar, "FilePullDown", "File", 'F');
  for (const MenuEntry& entry : {
           MenuEntry{"New", 'N', file_cb, kNew, true},
           MenuEntry{"Load", 'L', file_cb, kLoad, false},
           MenuEntry{"Save", 'S', file_cb, kSave, true},
           MenuEntry{kSeparator, 0, nullptr, 0, false},
           MenuEntry{"Print", 'P', file_cb, kPrint, true},
           MenuEntry{kSeparator, 0, nullptr, 0, false},
           MenuEntry{"Quit", 'Q', file_cb, kQuit, false},
       }) {
    add(file, entry);
  }

  Widget edit = add_menu(menubar, "EditPullDown", "Edit", 'E');
  for (const MenuEntry& entry : {
           MenuEntry{"Add reference", 'A', edit_cb, kAddReference, false},
           MenuEntry{"Edit reference", 'E', edit_cb, kEditReference, true},
           MenuEntry{"Delete reference", 'D', edit_cb, kDeleteReference, true},
           MenuEntry{kSeparator, 0, nullptr, 0, false},
           MenuEntry{"Reduce to listed references", 'R', edit_cb, kReduce, true},
       }) {
    add(edit, entry);
  }

  Widget search = add_menu(menubar, "SearchPullDown", "Search", 'S');
  for (const MenuEntry& entry : {
           MenuEntry{"Search in all fields", 'S', search_cb, kSearchAllFields, true},
           MenuEntry{kSeparator, 0, nullptr, 0, false},
           MenuEntry{"AND", 'A', search_cb, kSearchFormAnd, true},
           MenuEntry{"OR", 'O', search_cb, kSearchFormOr, true},
           MenuEntry{"NOT", 'N', search_cb, kSearchFormNot, true},
           MenuEntry{kSeparator, 0, nullptr, 0, false},
           MenuEntry{"View all references", 'V', search_cb, kViewAll, true},
           MenuEntry{kSeparator, 0, nullptr, 0, false},
           MenuEntry{"Case sensitive", 'C', search_cb, kCaseSensitive, true, true},
       }) {
    add(search, entry);
  }
}

}  // namespace

Session& session() { return the_session; }
const ReferenceDatabase& database() { return the_session.database(); }

void run_after_menu(void (*command)()) {
  XtAppAddTimeOut(
      app_context, 0, [](XtPointer data, XtIntervalId*) { reinterpret_cast<void (*)()>(data)(); },
      reinterpret_cast<XtPointer>(command));
}

std::ostream& messages() { return message_collector; }
void set_messages(std::ostream& stream) { message_collector.set_target(stream); }
MessageSummary& message_summary() { return message_collector.summary(); }

void update_count(std::size_t count) {
  char text[64];
  std::snprintf(text, sizeof text, "number of references: %zu", count);
  XmStringOwner label{std::string(text)};
  XtVaSetValues(message, XmNlabelString, label.get(), nullptr);
}

void set_data_commands(bool sensitive) {
  for (Widget widget : DataCommands) XtSetSensitive(widget, sensitive ? True : False);
}

void set_window_title(const std::string& title) {
  XtVaSetValues(toplevel, XtNtitle, shown_text(title).c_str(), nullptr);
}

void show(const Shown& shown) {
  switch (shown.list) {
    case ListChange::kNone:
      break;
    case ListChange::kRefill:
      refill_list();
      break;
    case ListChange::kAppendLast:
      append_list_line(the_session.listed_references().at_position(shown.position));
      break;
    case ListChange::kReplaceLine:
      replace_list_line(shown.position, the_session.listed_references().at_position(shown.position));
      break;
    case ListChange::kDeleteLine:
      delete_list_line(shown.position);
      break;
  }
  if (shown.count) update_count(*shown.count);
  if (shown.data_commands != DataCommandsSwitch::kUnchanged) {
    set_data_commands(shown.data_commands == DataCommandsSwitch::kOn);
  }
  switch (shown.title) {
    case TitleChange::kUnchanged:
      break;
    case TitleChange::kProgramTitle:
      set_window_title(kWindowTitle);
      break;
    case TitleChange::kCurrentFile:
      set_window_title(the_session.CurrentFileName());
      break;
  }
}

Widget initialize_toolkit(int& argc, char** argv) {
  // The locale comes from the environment (LANG, LC_ALL), set through Xt
  // so that Xlib and Motif agree with the C library on the encoding.
  XtSetLanguageProc(nullptr, nullptr, nullptr);
  Widget shell = XtVaAppInitialize(&app_context, "Refloom", nullptr, 0, &argc, argv, nullptr, nullptr);
  return shell;
}

void build_main_window(Widget shell) {
  toplevel = shell;
  XtVaSetValues(toplevel, XtNtitle, kWindowTitle, nullptr);
  // Lets widget inspectors (editres) query the running program.
  XtAddEventHandler(toplevel, 0, True, _XEditResCheckMessages, nullptr);

  main_w = XtVaCreateManagedWidget("main_w", xmMainWindowWidgetClass, toplevel, XtNheight, 400, XtNwidth, 600,
                                   nullptr);
  reflist = XtVaCreateManagedWidget("reflist", xmListWidgetClass, main_w, XmNvisibleItemCount, 10, nullptr);
  XmStringOwner blank{std::string(" ")};
  message = XtVaCreateManagedWidget("message", xmLabelWidgetClass, main_w, XmNalignment, XmALIGNMENT_BEGINNING,
                                    XmNlabelString, blank.get(), nullptr);
  XtVaSetValues(main_w, XmNmessageWindow, message, nullptr);
  update_count(0);

  Widget menubar = XmCreateMenuBar(main_w, const_cast<char*>("menubar"), nullptr, 0);
  build_menus(menubar);
  set_data_commands(false);
  XtManageChild(menubar);
  XmMainWindowSetAreas(main_w, menubar, nullptr, nullptr, nullptr, reflist);

  load_dialog = save_dialog = latex_dialog = message_dialog = nullptr;
  message_summary().clear();
  the_session.reset();
}

}  // namespace refloom::ui
