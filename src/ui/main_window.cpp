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

// The callback of a menu's entries; client data tells them apart.
XtCallbackProc callback_of(Menu menu) {
  switch (menu) {
    case Menu::kFile:
      return file_cb;
    case Menu::kEdit:
      return edit_cb;
    case Menu::kSearch:
      return search_cb;
  }
  return nullptr;
}

Widget add_entry(Widget menu, const MenuCommand& command) {
  const WidgetClass widget_class = command.toggle ? xmToggleButtonGadgetClass : xmPushButtonGadgetClass;
  Widget widget = XtVaCreateManagedWidget(command.label, widget_class, menu, XmNmnemonic,
                                          static_cast<KeySym>(command.mnemonic), nullptr);
  if (*command.accelerator != '\0') {
    XmStringOwner shown{std::string(command.accelerator_text)};
    XtVaSetValues(widget, XmNaccelerator, command.accelerator, XmNacceleratorText, shown.get(), nullptr);
  }
  XtAddCallback(widget, command.toggle ? XmNvalueChangedCallback : XmNactivateCallback, callback_of(command.menu),
                to_client_data(position_in_menu(command)));
  return widget;
}

void add_separator(Widget menu) { XtVaCreateManagedWidget("separator", xmSeparatorGadgetClass, menu, nullptr); }

Widget add_menu(Widget menubar, const MenuInfo& menu) {
  Widget pulldown = XmCreatePulldownMenu(menubar, const_cast<char*>(menu.pulldown), nullptr, 0);
  XmStringOwner label{std::string(menu.label)};
  XtVaCreateManagedWidget(menu.label, xmCascadeButtonWidgetClass, menubar, XmNlabelString, label.get(), XmNmnemonic,
                          static_cast<KeySym>(menu.mnemonic), XmNsubMenuId, pulldown, nullptr);
  return pulldown;
}

// Each menu, then its entries, in the order of the command table.
void build_menus(Widget menubar) {
  std::size_t next_data_command = 0;
  Widget pulldown = nullptr;
  Menu menu = Menu::kFile;
  for (const MenuCommand& command : kMenuCommands) {
    if (pulldown == nullptr || command.menu != menu) {
      menu = command.menu;
      pulldown = add_menu(menubar, menu_info(menu));
    }
    if (command.is_separator()) {
      add_separator(pulldown);
      continue;
    }
    Widget widget = add_entry(pulldown, command);
    if (command.needs_references) DataCommands[next_data_command++] = widget;
  }
}

}  // namespace

Session& session() { return the_session; }
const ReferenceDatabase& database() { return the_session.database(); }

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

  main_w = XtVaCreateManagedWidget("main_w", xmMainWindowWidgetClass, toplevel, XtNheight, 400, XtNwidth, 600, nullptr);
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
