// Prints the PRIMARY selection of the display as text, for the black-box
// scripts: what a program shows in a text widget, selected there with the
// keyboard, read from outside as a user's paste would read it. Exit status
// 1 when no selection came within five seconds.
//   print_selection

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <unistd.h>

#include <cstdio>

int main() {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    std::fprintf(stderr, "print_selection: cannot open the display\n");
    return 1;
  }
  const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
  const Atom property = XInternAtom(display, "PRINT_SELECTION", False);
  XConvertSelection(display, XA_PRIMARY, XA_STRING, property, window, CurrentTime);
  XFlush(display);
  for (int tries = 0; tries < 500; ++tries) {
    XEvent event;
    if (!XCheckTypedWindowEvent(display, window, SelectionNotify, &event)) {
      usleep(10000);
      continue;
    }
    if (event.xselection.property == None) break;
    Atom type = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long left = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1 << 24, True, AnyPropertyType, &type, &format, &count, &left,
                           &data) != Success ||
        data == nullptr || format != 8) {
      break;
    }
    std::fwrite(data, 1, count, stdout);
    XFree(data);
    XCloseDisplay(display);
    return 0;
  }
  std::fprintf(stderr, "print_selection: no selection came\n");
  XCloseDisplay(display);
  return 1;
}
