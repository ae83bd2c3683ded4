#pragma once

// Owners for toolkit resources, so no path leaks or frees twice.

#include <X11/Intrinsic.h>
#include <X11/cursorfont.h>
#include <Xm/Xm.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/screen_fit.h"

namespace refloom::ui {

// Small numbers (menu commands, slots, modes, button indices) travel as
// client data and user data in the pointer itself.
template <typename Number>
XtPointer to_client_data(Number value) {
  return reinterpret_cast<XtPointer>(static_cast<std::intptr_t>(value));
}
template <typename Number>
Number from_client_data(XtPointer data) {
  return static_cast<Number>(reinterpret_cast<std::intptr_t>(data));
}

class XmStringOwner {
 public:
  explicit XmStringOwner(XmString string) : string_(string) {}
  // A compound string of a text, made as the program makes all its texts.
  explicit XmStringOwner(const std::string& text) : string_(XmStringCreateLocalized(const_cast<char*>(text.c_str()))) {}
  ~XmStringOwner() {
    if (string_) XmStringFree(string_);
  }
  XmStringOwner(const XmStringOwner&) = delete;
  XmStringOwner& operator=(const XmStringOwner&) = delete;
  XmString get() const { return string_; }

 private:
  XmString string_;
};

// A text the toolkit allocated (XmTextGetString, XmStringGetLtoR), released
// with XtFree.
class XtText {
 public:
  explicit XtText(char* text) : text_(text) {}
  ~XtText() {
    if (text_) XtFree(text_);
  }
  XtText(const XtText&) = delete;
  XtText& operator=(const XtText&) = delete;
  char* get() const { return text_; }
  explicit operator bool() const { return text_ != nullptr; }

 private:
  char* text_;
};

// A stored text as the widgets get it: in a UTF-8 locale, converted so that
// bytes that are not UTF-8 show as Latin-1 characters; elsewhere as it is.
std::string shown_text(std::string_view stored);

// The text of a compound string, if the toolkit can give it.
std::optional<std::string> xmstring_text(XmString string);

// Puts a realized shell above the other windows; the restacking of a
// managed window goes through the window manager.
void raise_shell(Widget shell);

// A realized shell's window as the server has it: where the window
// manager's frame around it is (the window itself when it has none), and
// how much wider and higher the frame is than the window.
struct WindowFrame {
  Window window;  // the frame's
  Place place;
  Extent decorations;
};
std::optional<WindowFrame> window_frame(Widget shell);

// The size of a widget's screen.
Extent screen_extent(Widget widget);

// Marks the place a realized shell that is not mapped yet was created at
// (its XtNx and XtNy) as one the user chose: window managers take that
// for the place of the frame as it is, where a program's place at 0,0
// some take for none.
void mark_place_as_chosen(Widget shell);

// Shows the watch cursor on a widget's window (flushed, so that it appears
// before the work starts) and the arrow cursor again when it goes.
class BusyCursor {
 public:
  explicit BusyCursor(Widget widget);
  ~BusyCursor();
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

 private:
  Display* display_;
  Window window_;
  Cursor watch_;
  Cursor arrow_;
};

}  // namespace refloom::ui
