#pragma once

#include <X11/Intrinsic.h>

#include <cstdint>
#include <functional>

#include "core/fields.h"
#include "core/form_layout.h"

namespace refloom::ui {

using refloom::FormMode;
using refloom::kAddMode;
using refloom::kEditMode;
using refloom::kSearchMode;

// What the waiting caller learns: Ok or Cancel (closing the window, or the
// form's shell going away, counts as Cancel).
enum class FormAnswer { kWaiting, kCancel, kOk };

// One open form: passed to its callbacks as client data, and kept through
// the rebuilds after an entry type change.
struct FormState {
  FormMode mode = kAddMode;
  FormAnswer answer = FormAnswer::kWaiting;
  Widget shell = nullptr;
  // Asked at Ok: false keeps the form open (it has said why).
  std::function<bool()> accept;
};

// Shows the form for the edit buffer and waits, processing events, until
// the user answers. Ok answers only once `accept` (when given) agrees.
FormAnswer run_form(EntryType type, FormMode mode, std::function<bool()> accept = {});

// Builds the form for `state` from the edit buffer and pops it up without
// a grab.
void open_form(EntryType type, FormState& state);
// Replaces the form of `state` by one laid out for another entry type;
// its mode and its waiting caller stay.
void rebuild_form(EntryType type, FormState& state);

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
