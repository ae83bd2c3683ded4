#include "ui/xm_util.h"

#include <X11/Xutil.h>

#include "core/display_text.h"

namespace refloom::ui {

std::string shown_text(std::string_view stored) {
  if (!locale_is_utf8()) return std::string(stored);
  return utf8_for_display(stored);
}

std::optional<std::string> xmstring_text(XmString string) {
  if (string == nullptr) return std::nullopt;
  char* raw = nullptr;
  if (!XmStringGetLtoR(string, const_cast<char*>(XmFONTLIST_DEFAULT_TAG), &raw) || raw == nullptr) {
    // An empty compound string has no segment at all: that is an empty text.
    if (XmStringEmpty(string)) return std::string();
    return std::nullopt;
  }
  XtText text(raw);
  return std::string(text.get());
}

BusyCursor::BusyCursor(Widget widget)
    : display_(XtDisplay(widget)),
      window_(XtWindow(widget)),
      watch_(XCreateFontCursor(display_, XC_watch)),
      arrow_(XCreateFontCursor(display_, XC_arrow)) {
  if (window_ != 0) XDefineCursor(display_, window_, watch_);
  XFlush(display_);
}

BusyCursor::~BusyCursor() {
  if (window_ != 0) XDefineCursor(display_, window_, arrow_);
  XFreeCursor(display_, watch_);
  XFreeCursor(display_, arrow_);
}

void raise_shell(Widget shell) {
  if (!XtIsRealized(shell)) return;
  XWindowChanges changes{};
  changes.stack_mode = Above;
  XReconfigureWMWindow(XtDisplay(shell), XtWindow(shell), XScreenNumberOfScreen(XtScreen(shell)), CWStackMode,
                       &changes);
}

std::optional<WindowFrame> window_frame(Widget shell) {
  if (shell == nullptr || !XtIsRealized(shell)) return std::nullopt;
  Display* display = XtDisplay(shell);
  // The frame is the window's ancestor just below the root.
  Window top = XtWindow(shell);
  for (;;) {
    Window root = 0;
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, top, &root, &parent, &children, &count)) return std::nullopt;
    if (children != nullptr) XFree(children);
    if (parent == root || parent == 0) break;
    top = parent;
  }
  XWindowAttributes frame;
  XWindowAttributes window;
  if (!XGetWindowAttributes(display, top, &frame) || !XGetWindowAttributes(display, XtWindow(shell), &window)) {
    return std::nullopt;
  }
  return WindowFrame{top,
                     {frame.x, frame.y},
                     {frame.width + 2 * frame.border_width - window.width - 2 * window.border_width,
                      frame.height + 2 * frame.border_width - window.height - 2 * window.border_width}};
}

Extent screen_extent(Widget widget) {
  Screen* screen = XtScreen(widget);
  return {WidthOfScreen(screen), HeightOfScreen(screen)};
}

void mark_place_as_chosen(Widget shell) {
  XSizeHints* hints = XAllocSizeHints();
  if (hints == nullptr) return;
  long supplied = 0;
  if (XGetWMNormalHints(XtDisplay(shell), XtWindow(shell), hints, &supplied)) {
    hints->flags = (hints->flags & ~PPosition) | USPosition;
    XSetWMNormalHints(XtDisplay(shell), XtWindow(shell), hints);
  }
  XFree(hints);
}

}  // namespace refloom::ui
