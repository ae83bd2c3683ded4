// The menus' callbacks: each finds the row of the entry chosen and runs it.

#include "ui/commands.h"

#include "ui/app.h"
#include "ui/form.h"
#include "ui/xm_util.h"

namespace refloom::ui {

namespace {

// Runs a command that waits for the reference form once the menu that
// chose it has closed: a menu keeps its pointer grab until its callback
// returns, and a window manager cannot map the form meanwhile. One form at
// a time, as the edit buffer is shared: a command that would open a second
// one shows the open form instead.
void run_after_menu(const MenuCommand& command) {
  XtAppAddTimeOut(
      app_context, 0,
      [](XtPointer row, XtIntervalId*) {
        if (form_is_open()) {
          raise_form();
        } else {
          static_cast<const MenuCommand*>(row)->handler();
        }
      },
      const_cast<MenuCommand*>(&command));
}

void run(Menu menu, XtPointer client_data) {
  const MenuCommand* command = menu_command(menu, from_client_data<int>(client_data));
  if (command == nullptr) return;
  if (command->opens_form) {
    run_after_menu(*command);
  } else {
    command->handler();
  }
}

}  // namespace

void file_cb(Widget, XtPointer client_data, XtPointer) { run(Menu::kFile, client_data); }
void edit_cb(Widget, XtPointer client_data, XtPointer) { run(Menu::kEdit, client_data); }
void search_cb(Widget, XtPointer client_data, XtPointer) { run(Menu::kSearch, client_data); }

}  // namespace refloom::ui
