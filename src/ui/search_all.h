#pragma once

#include <X11/Intrinsic.h>

#include <string>

#include "core/search.h"

namespace refloom::ui {

// What one "Search all fields" dialog searches for: its mode (AND, OR,
// NOT) and its text.
struct SearchAllInput {
  SearchMode mode = SearchMode::kAnd;
  std::string text;
};

// The dialog's OK: client data is the fold flag fixed at its creation.
void searchall_cb(Widget mbox, XtPointer client_data, XtPointer call_data);
// The dialog's text field and its three toggles.
void searchtext_cb(Widget text, XtPointer client_data, XtPointer call_data);
void searchmode_cb(Widget toggle, XtPointer client_data, XtPointer call_data);

}  // namespace refloom::ui
