// The Edit menu: Add, Edit and Delete reference, Reduce to listed references.

#include <Xm/List.h>

#include <cstdint>
#include <optional>

#include "core/edit_target.h"
#include "core/numbering.h"
#include "ui/app.h"
#include "ui/form.h"
#include "ui/reference_list.h"

namespace refloom::ui {

EditTarget edit_target;

namespace {

// The first selected list position (1-based); the list selects at most one.
std::optional<std::size_t> selected_position() {
  int* positions = nullptr;
  int count = 0;
  if (!XmListGetSelectedPos(reflist, &positions, &count) || count == 0) return std::nullopt;
  const int first = positions[0];
  XtFree(reinterpret_cast<char*>(positions));
  if (first < 1 || static_cast<std::size_t>(first) > listed_references.count()) return std::nullopt;
  return static_cast<std::size_t>(first);
}

void add_reference() {
  ReferenceDatabase& db = database();
  db.clear_edit_buffer();
  db.edit_buffer().text(kEntryTypeSlot) = "article";
  db.edit_buffer().ref_id = next_refid(db, db.ref_count());
  if (run_form(0, kAddMode) == 0) return;
  // Indices are taken only now: other commands may have run meanwhile.
  db.add_reference();
  const std::size_t index = db.ref_count() - 1;
  listed_references.append(index);
  db.store_edit_buffer(index);
  append_list_line(index);
  update_count(db.ref_count());
  set_data_commands(true);
}

void edit_reference() {
  const auto position = selected_position();
  if (!position) return;
  ReferenceDatabase& db = database();
  const std::size_t index = listed_references.at_position(*position);
  db.load_edit_buffer(index);
  const EntryType type = db.entry_type_index(index);
  edit_target.start(index);
  const int answer = run_form(type, kEditMode);
  const auto target = edit_target.index();
  edit_target.finish();
  if (answer == 0) return;
  if (!target) {
    messages() << "Reference deleted while being edited, changes not stored! \n";
    return;
  }
  // The reference may have moved, and the list may show another set now.
  db.store_edit_buffer(*target);
  if (const auto shown_at = listed_references.position_of(*target)) replace_list_line(*shown_at, *target);
}

void delete_reference() {
  const auto position = selected_position();
  if (!position) return;
  ReferenceDatabase& db = database();
  const std::size_t index = listed_references.at_position(*position);
  db.delete_reference(index);
  edit_target.deleted(index);
  listed_references.remove_position(*position);
  delete_list_line(*position);
  update_count(listed_references.count());
  if (db.empty()) set_data_commands(false);
}

void reduce() {
  if (database().empty()) return;
  edit_target.retained(listed_references.indices());
  reduce_to_listed(database(), listed_references);
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
  switch (static_cast<int>(reinterpret_cast<std::intptr_t>(client_data))) {
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
      reduce();
      break;
    default:
      break;
  }
}

}  // namespace refloom::ui
