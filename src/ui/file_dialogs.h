#pragma once

#include <X11/Intrinsic.h>

namespace refloom::ui {

// The three file dialogs, made on first use and kept.
extern Widget load_dialog;
extern Widget save_dialog;
extern Widget latex_dialog;

void filetype_cb(Widget list, XtPointer client_data, XtPointer call_data);
void load_cb(Widget dialog, XtPointer client_data, XtPointer call_data);
void save_cb(Widget dialog, XtPointer client_data, XtPointer call_data);
void overwrite_cb(Widget question, XtPointer client_data, XtPointer call_data);
void latex_cb(Widget dialog, XtPointer client_data, XtPointer call_data);
// Hides the dialog it belongs to (the file dialogs, "Search all fields").
void cancel_cb(Widget dialog, XtPointer client_data, XtPointer call_data);

}  // namespace refloom::ui
