#include "ui/xm_util.h"

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

}  // namespace refloom::ui
