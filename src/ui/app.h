#pragma once

// Program-wide objects of the user interface: the toolkit context, the main
// window's widgets, and the one session the commands work on.

#include <X11/Intrinsic.h>

#include <array>
#include <cstddef>
#include <new>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/message_summary.h"
#include "session/session.h"
#include "ui/commands.h"

namespace refloom::ui {

inline constexpr const char* kWindowTitle = "Refloom Manager, Ver. 1.7";

extern XtAppContext app_context;
extern Widget toplevel;  // the application shell
extern Widget main_w;
extern Widget reflist;
extern Widget message;
// The menu entries usable only while the database holds references, in
// menu order.
extern std::array<Widget, kDataCommandCount> DataCommands;

// The one session: the database, the listed references, the edit target,
// the current file and the case setting.
Session& session();
// Its database, to read; the commands and the form change it through the
// session.
const ReferenceDatabase& database();

// Where messages for the user go: every byte to the stream set (standard
// output in the program), and a summary for the message dialog.
std::ostream& messages();
void set_messages(std::ostream& stream);
MessageSummary& message_summary();

// "number of references: %u" in the message line.
void update_count(std::size_t count);
void set_data_commands(bool sensitive);
void set_window_title(const std::string& title);
// Shows what a command of the session changed: list lines, the count
// line, the data commands and the window title.
void show(const Shown& shown);

// Runs the work of a callback. A session command that runs out of memory
// puts back what it changed and says so itself; memory that runs out
// elsewhere in the callback (showing a result, say) ends the callback with
// "Not enough memory to <what>", never the program.
template <class Work>
void guarded(std::string_view what, Work&& work) noexcept {
  try {
    try {
      work();
      return;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    messages() << "Not enough memory to " << what << " \n";
  } catch (...) {
    // Not even the message could be written; the program goes on.
  }
}

// Starts the toolkit (application class Refloom) and returns the shell.
Widget initialize_toolkit(int& argc, char** argv);
// Builds the main window in `shell` and resets the shared state; the shell
// is realized by the caller.
void build_main_window(Widget shell);

// Callbacks of the menus; client data is the entry's place among its
// menu's commands (see commands.h).
void file_cb(Widget widget, XtPointer client_data, XtPointer call_data);
void edit_cb(Widget widget, XtPointer client_data, XtPointer call_data);
void search_cb(Widget widget, XtPointer client_data, XtPointer call_data);

}  // namespace refloom::ui
