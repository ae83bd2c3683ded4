// The Edit menu: Add, Edit and Delete reference, Reduce to listed references.

#include <Xm/List.h>

#include <optional>

#include "ui/app.h"
#include "ui/form.h"
#include "ui/xm_util.h"

namespace refloom::ui {

namespace {

// The first selected list position (1-based); the list selects at most one.
std::optional<std::size_t> selected_position() {
  int* positions = nullptr;
  int count = 0;
  if (!XmListGetSelectedPos(reflist, &positions, &count) || count == 0) return std::nullopt;
  const int first = positions[0];
  XtFree(reinterpret_cast<char*>(positions));
  if (first < 1) return std::nullopt;
  return static_cast<std::size_t>(first);
}

// The citation key and the other fields must be fit for a save before Ok
// takes them.
bool accept_form() { return session().accept_form(messages()); }

void add_reference() {
  session().start_add();
  if (run_form(0, kAddMode, accept_form) == FormAnswer::kCancel) return;
  guarded("add the reference", [] { show(session().add_from_edit_buffer(messages())); });
}

void edit_reference() {
  const auto position = selected_position();
  if (!position) return;
  const auto type = session().start_edit(*position);
  if (!type) return;
  if (run_form(*type, kEditMode, accept_form) == FormAnswer::kCancel) {
    session().cancel_edit();
    return;
  }
  guarded("store the reference", [] { show(session().store_edit(messages())); });
}

void delete_reference() {
  if (const auto position = selected_position()) {
    guarded("delete the reference", [&] { show(session().delete_at(*position)); });
  }
}

// One form at a time, as the edit buffer is shared: a command that would
// open a second one shows the open form instead.
template <void (*command)()>
void with_form() {
  if (form_is_open()) {
    raise_form();
  } else {
    command();
  }
}

}  // namespace

void edit_cb(Widget, XtPointer client_data, XtPointer) {
  switch (from_client_data<int>(client_data)) {
    case kAddReference:
      run_after_menu(with_form<add_reference>);
      break;
    case kEditReference:
      run_after_menu(with_form<edit_reference>);
      break;
    case kDeleteReference:
      delete_reference();
      break;
    case kReduce:
      guarded("reduce the database", [] { show(session().reduce()); });
      break;
    default:
      break;
  }
}

}  // namespace refloom::ui
