#include <cstdio>

#include "core/message_stream.h"
#include "ui/app.h"
#include "ui/message_dialog.h"

int main(int argc, char** argv) {
  // Messages go out in whole lines when each command is done: a load that
  // reports on many lines would otherwise write them a few bytes at a time.
  static refloom::MessageStream standard_output(stdout);
  refloom::ui::set_messages(standard_output);
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
