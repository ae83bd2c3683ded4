#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/message_stream.h"
#include "import/load.h"
#include "session/recovery.h"
#include "ui/app.h"
#include "ui/message_dialog.h"
#include "ui/recovery.h"

namespace {

std::string usage() {
  std::string text =
      "usage: refloom [X-Toolkit-options]\n"
      "       refloom --help | --version\n"
      "\n"
      "Refloom manages a bibliography kept in BibTeX format in one Motif window on\n"
      "an X display. It takes the standard X Toolkit options (see X(7)) and no\n"
      "others; among them:\n"
      "  -display DISPLAY    the X display to use (else $DISPLAY)\n"
      "  -geometry GEOMETRY  size and place of the main window, as 600x400+0+0\n"
      "  -name NAME          the name its resources are looked up under\n"
      "  -xrm RESOURCE       a resource line, as\n"
      "                      -xrm 'Refloom*renderTable.refloom.fontSize: 12'\n"
      "  -iconic             start as an icon\n"
      "  -bg COLOR, -fg COLOR, -synchronous, -xnllanguage LANGUAGE\n"
      "  --help              show this text and end\n"
      "  --version           show the version and end\n"
      "\n"
      "File > Load reads these formats (the refloom-convert -f name in brackets):\n";
  for (const refloom::Format& format : refloom::formats()) {
    text.append("  ").append(std::to_string(static_cast<int>(format.type))).append(". ").append(format.label);
    text.append(" (").append(format.name).append(")\n");
  }
  text +=
      "\n"
      "While the database holds changes no save has written, a recovery copy of it\n"
      "is kept in $XDG_STATE_HOME/refloom (else ~/.local/state/refloom); the next\n"
      "start names the copies that ended runs left. See refloom(1).\n";
  return text;
}

// Errors of the toolkit end the program with one line on standard error;
// the one met most, a display that cannot be opened, says which.
_X_NORETURN void toolkit_error(String name, String, String, String default_text, String* params,
                               Cardinal* param_count) {
  const Cardinal count = param_count != nullptr ? *param_count : 0;
  if (std::string_view(name) == "invalidDisplay") {
    const char* display = count > 0 && params[0] != nullptr ? params[0] : "";
    if (display[0] == '\0') {
      std::fputs("refloom: cannot open the display: DISPLAY is not set and no -display was given\n", stderr);
    } else {
      std::fprintf(stderr, "refloom: cannot open the display %s\n", display);
    }
  } else {
    // The toolkit's own text with its parameters, as its default handler
    // words it.
    const char* arguments[10] = {};
    for (Cardinal i = 0; i < count && i < 10; ++i) arguments[i] = params[i];
    char text[1024];
    std::snprintf(text, sizeof text, default_text != nullptr ? default_text : "%s", arguments[0], arguments[1],
                  arguments[2], arguments[3], arguments[4], arguments[5], arguments[6], arguments[7], arguments[8],
                  arguments[9]);
    std::fprintf(stderr, "refloom: %s\n", text);
  }
  std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
  // Asked for before the toolkit starts: no display is needed for them.
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "--help") {
      std::fputs(usage().c_str(), stdout);
      return 0;
    }
    if (argument == "--version") {
      std::fputs("refloom " REFLOOM_VERSION "\n", stdout);
      return 0;
    }
  }

  // Messages go out in whole lines when each command is done: a load that
  // reports on many lines would otherwise write them a few bytes at a time.
  static refloom::MessageStream standard_output(stdout);
  refloom::ui::set_messages(standard_output);
  // An exit in the middle of a command (a fatal error) still writes what
  // the command reported so far; registered after standard_output was made,
  // this runs before it goes.
  std::atexit([] { refloom::ui::messages().flush(); });
  // Before any application context exists, so process-wide.
  XtSetErrorMsgHandler(toolkit_error);
  Widget shell = refloom::ui::initialize_toolkit(argc, argv);
  // The toolkit has taken its own options; whatever is left is not one.
  if (argc > 1) {
    const std::string_view argument = argv[1];
    std::fprintf(stderr, "refloom: unknown %s: %s (refloom --help lists the options)\n",
                 argument.starts_with("-") || argument.starts_with("+") ? "option" : "argument", argv[1]);
    return 1;
  }
  refloom::ui::build_main_window(shell);
  refloom::ui::start_recovery(refloom::recovery_directory());
  refloom::ui::end_with_a_copy_on_signals();
  XtRealizeWidget(shell);
  // Copies left by earlier runs are named at once.
  refloom::ui::show_messages();
  // The toolkit's main loop, with the messages of each event's callbacks
  // shown as soon as they have run and the recovery copy kept in step.
  while (!XtAppGetExitFlag(refloom::ui::app_context)) {
    XtAppProcessEvent(refloom::ui::app_context, XtIMAll);
    refloom::ui::show_messages();
    refloom::ui::keep_recovery_copy();
  }
}
