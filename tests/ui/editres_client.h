#pragma once

// The client side of the editres protocol (libXmu's widget inspection
// protocol, as the editres program speaks it): asks a running toolkit
// program for its widget tree through a client message and a selection.

#include <X11/Xlib.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace refloom::testing {

struct EditresWidget {
  std::vector<std::uint32_t> path;  // widget ids from the root down to this one
  std::string name;
  std::string widget_class;  // the application class for the application shell
  std::uint32_t window = 0;
};

struct EditresTree {
  std::vector<EditresWidget> widgets;  // depth first, the root first
  std::string toolkit;
  std::string error;  // why no tree came back, if none did
  // How often the program fetched the request: once for each editres
  // handler on the shell.
  int fetches = 0;

  const EditresWidget* find(const std::string& name) const;
};

// Sends a SendWidgetTree request to the shell window `target` over the
// caller's own connection `display` and waits up to `timeout_ms` for the
// answer, then a little longer for further fetches of the request.
// `between_polls` runs while waiting, so that a program on the same thread
// can answer (it may be empty for another process).
EditresTree editres_widget_tree(Display* display, Window target, const std::function<void()>& between_polls,
                                int timeout_ms = 5000);

}  // namespace refloom::testing
