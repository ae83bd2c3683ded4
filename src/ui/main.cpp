#include "ui/app.h"

#include <iostream>

int main(int argc, char** argv) {
  // Messages are the user's only report of a failed command: show each at once.
  std::cout << std::unitbuf;
  Widget shell = refloom::ui::initialize_toolkit(argc, argv);
  refloom::ui::build_main_window(shell);
  XtRealizeWidget(shell);
  XtAppMainLoop(refloom::ui::app_context);
}
