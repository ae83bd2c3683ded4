#pragma once

#include <X11/Intrinsic.h>

#include <cstdint>

#include "core/fields.h"

namespace refloom::ui {

// The form's modes: add, edit, search; a negative mode (the rebuild after
// an entry type change) keeps the mode the form was built with.
using FormMode = std::int16_t;
inline constexpr FormMode kAddMode = 0;
inline constexpr FormMode kEditMode = 1;
inline constexpr FormMode kSearchMode = 2;

// Shows the form for the edit buffer and waits, processing events, until
// the user answers: 1 for Ok, 0 for Cancel (or closing the window).
int run_form(EntryType type, FormMode mode);

// Builds the form from the edit buffer and pops it up without a grab.
// `answer_target` becomes the form's answer target when it holds a
// negative value.
void build_form(EntryType type, FormMode mode, int* answer_target);

// One form at a time: the edit buffer is shared.
bool form_is_open();
// Brings the open form to the front.
void raise_form();
// The open form's shell, or null.
Widget open_form_shell();

void refid_cb(Widget widget, XtPointer client_data, XtPointer call_data);
void field_cb(Widget widget, XtPointer client_data, XtPointer call_data);
void entrytype_cb(Widget widget, XtPointer client_data, XtPointer call_data);
void reprint_cb(Widget widget, XtPointer client_data, XtPointer call_data);
void form_ok_cb(Widget widget, XtPointer client_data, XtPointer call_data);
void form_cancel_cb(Widget widget, XtPointer client_data, XtPointer call_data);

}  // namespace refloom::ui
