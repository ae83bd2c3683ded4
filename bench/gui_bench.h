#pragma once

// Shared by the benchmarks that drive the real main window.

#include <X11/Intrinsic.h>

#include <chrono>

#include "ui/app.h"

namespace refloom::bench {

using Clock = std::chrono::steady_clock;

inline double seconds_since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Handles everything pending, the list's redraw included.
inline void settle() {
  XSync(XtDisplay(ui::toplevel), False);
  while (XtAppPending(ui::app_context) != 0) {
    XtAppProcessEvent(ui::app_context, XtIMAll);
    XSync(XtDisplay(ui::toplevel), False);
  }
}

// Builds and shows the main window.
inline void start_main_window(char** argv) {
  int toolkit_argc = 1;
  Widget shell = ui::initialize_toolkit(toolkit_argc, argv);
  ui::build_main_window(shell);
  XtRealizeWidget(shell);
  for (int i = 0; i < 50; ++i) settle();
}

}  // namespace refloom::bench
