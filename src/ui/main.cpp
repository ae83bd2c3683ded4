#include <cstdio>
#include <cstdlib>

#include "core/message_stream.h"
#include "ui/app.h"
#include "ui/message_dialog.h"

int main(int argc, char** argv) {
  // Messages go out in whole lines when each command is done: a load that
  // reports on many lines would otherwise write them a few bytes at a time.
  static refloom::MessageStream standard_output(stdout);
  refloom::ui::set_messages(standard_output);
  // An exit in the middle of a command (a fatal error) still writes what
  // the command reported so far; registered after standard_output was made,
  // this runs before it goes.
  std::atexit([] { refloom::ui::messages().flush(); });
  Widget shell = refloom::ui::initialize_toolkit(argc, argv);
  refloom::ui::build_main_window(shell);
  XtRealizeWidget(shell);
  // The toolkit's main loop, with the messages of each event's callbacks
  // shown as soon as they have run.
  while (!XtAppGetExitFlag(refloom::ui::app_context)) {
    XtAppProcessEvent(refloom::ui::app_context, XtIMAll);
    refloom::ui::show_messages();
  }
}
