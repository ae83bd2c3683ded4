#pragma once

#include <X11/Intrinsic.h>

#include <string>

#include "core/search.h"

namespace refloom::ui {

// What one "Search all fields" dialog searches for: its mode (AND, OR,
// NOT), its text, and whether it folds case, fixed when the dialog is made
// by the case setting of then.
struct SearchAllInput {
  SearchMode mode = SearchMode::kAnd;
  std::string text;
  bool fold = true;
};

// The dialog's OK: searches for its input.
void searchall_cb(Widget mbox, XtPointer client_data, XtPointer call_data);
// The dialog's text field and its three toggles.
void searchtext_cb(Widget text, XtPointer client_data, XtPointer call_data);
void searchmode_cb(Widget toggle, XtPointer client_data, XtPointer call_data);

}  // namespace refloom::ui
