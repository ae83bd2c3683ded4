// The File menu: New, Load with its format list, Save with the overwrite
// question, Print (the LaTeX dialog) and Quit.

#include <Xm/FileSB.h>
#include <Xm/List.h>
#include <Xm/MessageB.h>

#include <cstdio>
#include <cstdlib>

#include "core/file_io.h"
#include "import/load.h"
#include "ui/app.h"
#include "ui/commands.h"
#include "ui/file_dialogs.h"
#include "ui/recovery.h"
#include "ui/xm_util.h"

namespace refloom::ui {

Widget load_dialog = nullptr;
Widget save_dialog = nullptr;
Widget latex_dialog = nullptr;

namespace {

// The path a dialog offers, or nothing after telling the user why.
std::optional<std::string> chosen_path(XmString value) {
  const auto path = xmstring_text(value);
  if (!path) {
    messages() << "Internal error pasting filename! \n";
    return std::nullopt;
  }
  if (path->empty()) {
    messages() << "No file selected! \n";
    return std::nullopt;
  }
  return path;
}

Widget create_file_dialog(const char* title, XtCallbackProc ok_callback) {
  Widget dialog = XmCreateFileSelectionDialog(toplevel, const_cast<char*>("filesb"), nullptr, 0);
  XtAddCallback(dialog, XmNokCallback, ok_callback, nullptr);
  XtAddCallback(dialog, XmNcancelCallback, cancel_cb, nullptr);
  if (title != nullptr) XtVaSetValues(XtParent(dialog), XmNtitle, title, nullptr);
  return dialog;
}

void show_dialog(Widget& dialog, const char* title, XtCallbackProc ok_callback) {
  if (dialog == nullptr) dialog = create_file_dialog(title, ok_callback);
  XtManageChild(dialog);
}

// Writes the database; the current file and the title change only when
// the file was written completely.
void save_to(Widget dialog, const std::string& path) {
  Shown shown;
  shown.result = Outcome::kOutOfMemory;
  {
    BusyCursor busy(dialog);
    guarded("save " + path, [&] { shown = session().save(path, messages()); });
  }
  if (shown.result != Outcome::kDone) return;  // the writer told why; the dialog stays open
  guarded("show " + path, [&] { show(shown); });
  XtUnmanageChild(dialog);
}

// What a question asked about: the Save dialog and the path it showed then.
// " Yes " replaces that file, whatever the dialog shows by the time.
struct OverwriteRequest {
  Widget dialog;
  std::string path;
};

void ask_overwrite(Widget dialog, const std::string& path) {
  Widget question = XmCreateQuestionDialog(XtParent(dialog), const_cast<char*>("fexist"), nullptr, 0);
  XmString text = XmStringCreateLtoR(const_cast<char*>("File already exists.\n     Overwrite?"),
                                     const_cast<char*>(XmFONTLIST_DEFAULT_TAG));
  XmStringOwner message_text(text);
  XmStringOwner yes{std::string(" Yes ")};
  XmStringOwner no{std::string(" No ")};
  XtVaSetValues(question, XmNmessageString, message_text.get(), XmNokLabelString, yes.get(), XmNcancelLabelString,
                no.get(), nullptr);
  XtVaSetValues(XtParent(question), XtNtitle, "Save Database", nullptr);
  auto* request = new OverwriteRequest{dialog, path};
  XtAddCallback(question, XmNokCallback, overwrite_cb, request);
  XtAddCallback(
      question, XmNdestroyCallback,
      [](Widget, XtPointer data, XtPointer) { delete static_cast<OverwriteRequest*>(data); }, request);
  // Each question is made anew; it goes once it has been answered.
  XtAddCallback(
      question, XmNunmapCallback, [](Widget widget, XtPointer, XtPointer) { XtDestroyWidget(XtParent(widget)); },
      nullptr);
  XtUnmanageChild(XmMessageBoxGetChild(question, XmDIALOG_HELP_BUTTON));
  XtManageChild(question);
  XtPopup(XtParent(question), XtGrabNone);
}

std::optional<std::string> dir_spec_path(Widget dialog) {
  XmString selection = nullptr;
  XtVaGetValues(dialog, XmNdirSpec, &selection, nullptr);
  XmStringOwner owner(selection);  // XtGetValues hands out a copy of a compound string
  return chosen_path(selection);
}

}  // namespace

// No question, as before: the work it drops stays in its recovery copy.
void new_database() {
  guarded("empty the database", [] {
    recovery_before_new();
    show(session().new_database());
  });
}

void open_load_dialog() {
  if (load_dialog == nullptr) {
    load_dialog = create_file_dialog(nullptr, load_cb);
    // Every format in view at once.
    Arg args[2];
    XtSetArg(args[0], XmNselectionPolicy, XmSINGLE_SELECT);
    XtSetArg(args[1], XmNvisibleItemCount, static_cast<int>(formats().size()));
    Widget filetype = XmCreateScrolledList(load_dialog, const_cast<char*>("filetype"), args, 2);
    // The list's positions are the formats' numbers, 1 to N.
    for (const Format& format : formats()) {
      XmStringOwner item{std::string(format.label)};
      XmListAddItem(filetype, item.get(), 0);
    }
    XtAddCallback(filetype, XmNsingleSelectionCallback, filetype_cb, nullptr);
    XmListSelectPos(filetype, 1, True);
    XtManageChild(filetype);
  }
  XtManageChild(load_dialog);
  XtPopup(XtParent(load_dialog), XtGrabNone);
}

void open_save_dialog() { show_dialog(save_dialog, "Save Database", save_cb); }

void open_print_dialog() { show_dialog(latex_dialog, "Save LaTeX", latex_cb); }

// Ends without saving, as before; unsaved work stays in the recovery copy.
void quit() {
  finish_recovery();
  XtDestroyWidget(toplevel);
  std::exit(0);
}

void filetype_cb(Widget list, XtPointer, XtPointer call_data) {
  auto* selection = static_cast<XmListCallbackStruct*>(call_data);
  // A single-select list deselects its item on a second click (or the space
  // key); the chosen format stays chosen instead, so one is always shown.
  if (!XmListPosSelected(list, selection->item_position)) XmListSelectPos(list, selection->item_position, False);
  const auto text = xmstring_text(selection->item);
  Widget dialog = XtParent(XtParent(list));  // list, scrolled window, dialog
  XtVaSetValues(dialog, XmNuserData, to_client_data(selection->item_position), nullptr);
  const std::string title = "Load " + text.value_or("");
  XtVaSetValues(XtParent(dialog), XmNtitle, title.c_str(), nullptr);
}

void load_cb(Widget dialog, XtPointer, XtPointer call_data) {
  XtPointer user_data = nullptr;
  XtVaGetValues(dialog, XmNuserData, &user_data, nullptr);
  const auto file_type = from_client_data<FileType>(user_data);
  const auto path = chosen_path(static_cast<XmFileSelectionBoxCallbackStruct*>(call_data)->value);
  if (!path) return;

  Shown shown;
  shown.result = Outcome::kOutOfMemory;
  {
    BusyCursor busy(dialog);
    guarded("show " + *path, [&] {
      shown = session().load(*path, file_type, messages());
      if (shown.references_read) {
        message_summary().set_load(*shown.references_read, *path);
        message_summary().set_format_hints(shown.format_hints, std::string(file_type_label(file_type)));
      }
      show(shown);
    });
  }
  // A file that cannot be opened (or read for want of memory) leaves
  // everything as it was: the dialog stays open for another name.
  if (shown.result == Outcome::kDone || shown.result == Outcome::kCutShort) XtUnmanageChild(dialog);
}

void save_cb(Widget dialog, XtPointer, XtPointer) {
  const auto path = dir_spec_path(dialog);
  if (!path) return;
  switch (save_target(*path)) {
    case SaveTarget::kDirectory:
      // Never offered for overwriting: it cannot be opened as a file.
      messages() << "Cannot open file: " << *path << "\n";
      return;
    case SaveTarget::kExistingFile:
      ask_overwrite(dialog, *path);
      return;
    case SaveTarget::kAbsent:
      save_to(dialog, *path);
      return;
  }
}

void overwrite_cb(Widget, XtPointer client_data, XtPointer) {
  const auto* request = static_cast<const OverwriteRequest*>(client_data);
  // The writer never loses the old content, so the old file is not removed
  // first.
  save_to(request->dialog, request->path);
}

void latex_cb(Widget dialog, XtPointer, XtPointer call_data) {
  const auto path = chosen_path(static_cast<XmFileSelectionBoxCallbackStruct*>(call_data)->value);
  if (!path) return;
  Shown shown;
  shown.result = Outcome::kOutOfMemory;
  {
    BusyCursor busy(dialog);
    guarded("write " + *path, [&] { shown = session().print(*path, messages()); });
  }
  if (shown.result == Outcome::kDone) XtUnmanageChild(dialog);
}

void cancel_cb(Widget dialog, XtPointer, XtPointer) { XtUnmanageChild(dialog); }

}  // namespace refloom::ui
