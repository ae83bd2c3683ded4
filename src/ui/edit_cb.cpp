// The Edit menu: Add, Edit and Delete reference, Reduce to listed references.

#include <Xm/List.h>

#include <optional>

#include "ui/app.h"
#include "ui/commands.h"
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

}  // namespace

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

void reduce_to_listed() {
  guarded("reduce the database", [] { show(session().reduce()); });
}

}  // namespace refloom::ui
