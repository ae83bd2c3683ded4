#include "session/session.h"

#include <algorithm>
#include <limits>

#include "core/bibtex_writer.h"
#include "core/latex.h"
#include "core/numbering.h"
#include "core/other_fields.h"

namespace refloom {

namespace {

// Runs a command's work. An allocation that fails inside it (no memory
// left, or a text too large to hold) ends it: the caller puts back what it
// changed, and the user learns what could not be done.
template <class Work>
bool within_memory(Work&& work, std::ostream& messages, std::string_view what, std::string_view path = {}) {
  try {
    work();
    return true;
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  messages << "Not enough memory to " << what << path << " \n";
  return false;
}

// What a reader or a writer returned, as the outcome of a command.
Outcome outcome_of(ReadResult result) {
  switch (result) {
    case ReadResult::kDone:
      return Outcome::kDone;
    case ReadResult::kCutShort:
      return Outcome::kCutShort;
    case ReadResult::kCannotOpen:
      return Outcome::kCannotOpen;
  }
  return Outcome::kCannotOpen;
}
Outcome outcome_of(WriteResult result) { return result == WriteResult::kDone ? Outcome::kDone : Outcome::kCannotWrite; }

}  // namespace

RefId ref_id_from_text(std::string_view text) {
  constexpr RefId kLargest = std::numeric_limits<RefId>::max();
  const auto is_space = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  std::size_t at = 0;
  while (at < text.size() && is_space(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  RefId value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    const auto digit = static_cast<RefId>(text[at] - '0');
    if (value > (kLargest - digit) / 10) return kLargest;
    value = value * 10 + digit;
  }
  return negative ? RefId{0} - value : value;
}

void Session::reset() {
  // A new database, not an emptied one: nothing of the last session's
  // edit buffer or its memory stays.
  database_ = ReferenceDatabase();
  listed_references_ = ListedReferences();
  edit_target_.finish();
  CurrentFileName_.clear();
  case_sensitive_ = false;
  modified_ = false;
  changes_ = 0;
}

void Session::set_edit_text(int slot, std::string_view text) {
  if (slot < 1 || slot >= kEditTextCount) return;
  database_.edit_buffer().text(slot).assign(text);
}

void Session::set_edit_ref_id(std::string_view typed) { database_.edit_buffer().ref_id = ref_id_from_text(typed); }

Shown Session::new_database() {
  if (!database_.empty() || !database_.blocks().empty()) changed();
  listed_references_ = ListedReferences();
  // The edit buffer stays: a form that is open keeps what was typed in it.
  database_.remove_all_references();
  database_.remove_all_blocks();
  edit_target_.cleared();
  Shown shown;
  shown.list = ListChange::kRefill;
  shown.count = 0;
  shown.data_commands = DataCommandsSwitch::kOff;
  shown.title = TitleChange::kProgramTitle;
  return shown;
}

Shown Session::load(const std::string& path, FileType file_type, std::ostream& messages) {
  Shown shown;
  // Loading only appends (and renumbers what it appends), so an edit
  // target keeps its index.
  const std::size_t held = database_.ref_count();
  const std::size_t blocks_held = database_.blocks().size();
  ListedReferences all;
  const bool loaded = within_memory(
      [&] {
        shown.result = outcome_of(load_file(database_, path, file_type, messages, shown.format_hints));
        if (shown.result != Outcome::kCannotOpen) all.list_all(database_.ref_count());
      },
      messages, "load ", path);
  if (!loaded) {
    // The database as it was: a load only appends.
    database_.truncate(held, blocks_held);
    shown.result = Outcome::kOutOfMemory;
    return shown;
  }
  if (shown.result == Outcome::kCannotOpen) return shown;
  changed();
  shown.references_read = database_.ref_count() - held;
  CurrentFileName_ = path;
  shown.title = TitleChange::kCurrentFile;
  listed_references_ = std::move(all);
  shown.list = ListChange::kRefill;
  shown.count = listed_references_.count();
  if (!database_.empty()) shown.data_commands = DataCommandsSwitch::kOn;
  return shown;
}

Shown Session::save(const std::string& path, std::ostream& messages) {
  Shown shown;
  // An unfinished file never replaces the old one (see SafeOutputFile).
  if (!within_memory([&] { shown.result = outcome_of(write_bibtex(database_, path, messages)); }, messages, "save ",
                     path)) {
    shown.result = Outcome::kOutOfMemory;
    return shown;
  }
  if (shown.result != Outcome::kDone) return shown;
  modified_ = false;
  CurrentFileName_ = path;
  shown.title = TitleChange::kCurrentFile;
  return shown;
}

std::vector<RefId> Session::listed_ref_ids() const {
  std::vector<RefId> ids;
  ids.reserve(listed_references_.count());
  for (std::size_t index : listed_references_.indices()) ids.push_back(database_.reference(index).ref_id());
  return ids;
}

Citations Session::listed_citations() const { return citations(database_, listed_references_.indices()); }

Shown Session::print(const std::string& path, std::ostream& messages) const {
  Shown shown;
  if (!within_memory(
          [&] {
            shown.result =
                outcome_of(write_latex(path, listed_citations(), bibliography_name(CurrentFileName_), messages));
          },
          messages, "write ", path)) {
    shown.result = Outcome::kOutOfMemory;
  }
  return shown;
}

bool Session::accept_form(std::ostream& messages) const {
  const EditBuffer& buffer = database_.edit_buffer();
  const std::string& key = buffer.text(kCitationKeyText);
  if (!key.empty()) {
    if (const auto fault = citation_key_fault(key)) {
      messages << *fault << " \n";
      return false;
    }
    // The reference being edited may keep its own key; an added one has
    // none yet.
    const auto own = edit_target_.index();
    const auto& references = database_.references();
    for (std::size_t i = 0; i < references.size(); ++i) {
      if (own && *own == i) continue;
      if (same_key(references[i].citation_key(), key)) {
        messages << "key \"" << key << "\" refused: reference " << references[i].ref_id() << " has the key "
                 << references[i].citation_key() << " (BibTeX does not tell keys apart by case) \n";
        return false;
      }
    }
  }
  const std::string& other_fields = buffer.text(kOtherFieldsText);
  if (other_fields != buffer.other_fields_shown) {
    std::string error;
    if (!parse_other_fields(other_fields, database_.macros(), error)) {
      messages << "Other fields refused, " << error << " \n";
      return false;
    }
  }
  return true;
}

void Session::start_add() {
  // An added reference is no edit of another: its key is checked against
  // every reference.
  edit_target_.finish();
  database_.clear_edit_buffer();
  database_.edit_buffer().text(kEntryTypeSlot) = "article";
  database_.edit_buffer().ref_id = next_refid(database_, database_.ref_count());
}

Shown Session::add_from_edit_buffer(std::ostream& messages) {
  // Indices and the RefId are settled only now: other commands may have
  // run while the form was open.
  EditBuffer& buffer = database_.edit_buffer();
  const auto& held = database_.references();
  const bool taken = std::any_of(held.begin(), held.end(),
                                 [&](const Reference& reference) { return reference.ref_id() == buffer.ref_id; });
  if (taken) {
    const RefId free_id = next_refid(database_, database_.ref_count());
    messages << "Ref. ID " << buffer.ref_id << " was taken meanwhile, reference stored as " << free_id << " \n";
    buffer.ref_id = free_id;
  }
  const std::size_t index = database_.ref_count();
  const bool added = within_memory(
      [&] {
        database_.add_reference();
        database_.store_edit_buffer(index);
        listed_references_.append(index);
      },
      messages, "add the reference");
  if (!added) {
    database_.truncate(index, database_.blocks().size());
    return {};
  }
  changed();
  Shown shown;
  shown.list = ListChange::kAppendLast;
  shown.position = listed_references_.count();
  shown.count = database_.ref_count();
  shown.data_commands = DataCommandsSwitch::kOn;
  return shown;
}

std::optional<EntryType> Session::start_edit(std::size_t position) {
  if (position < 1 || position > listed_references_.count()) return std::nullopt;
  const std::size_t index = listed_references_.at_position(position);
  database_.load_edit_buffer(index);
  edit_target_.start(index);
  return database_.entry_type_index(index);
}

Shown Session::store_edit(std::ostream& messages) {
  const auto target = edit_target_.index();
  edit_target_.finish();
  Shown shown;
  if (!target) {
    messages << "Reference deleted while being edited, changes not stored! \n";
    return shown;
  }
  // The reference may have moved, and the list may show another set now.
  // Storing replaces the reference whole or not at all.
  if (!within_memory([&] { database_.store_edit_buffer(*target); }, messages, "store the reference")) return shown;
  changed();
  if (const auto shown_at = listed_references_.position_of(*target)) {
    shown.list = ListChange::kReplaceLine;
    shown.position = *shown_at;
  }
  return shown;
}

Shown Session::delete_at(std::size_t position) {
  Shown shown;
  if (position < 1 || position > listed_references_.count()) return shown;
  const std::size_t index = listed_references_.at_position(position);
  database_.delete_reference(index);
  changed();
  edit_target_.deleted(index);
  listed_references_.remove_position(position);
  shown.list = ListChange::kDeleteLine;
  shown.position = position;
  shown.count = listed_references_.count();
  if (database_.empty()) shown.data_commands = DataCommandsSwitch::kOff;
  return shown;
}

Shown Session::reduce() {
  if (database_.empty()) return {};
  // What may fail (the new listing) comes before what changes the database.
  ListedReferences all;
  all.list_all(listed_references_.count());
  edit_target_.retained(listed_references_.indices());
  const std::size_t held = database_.ref_count();
  database_.retain(listed_references_.indices());
  listed_references_ = std::move(all);
  if (database_.ref_count() != held) changed();
  // The list shows the same lines; only an emptied database changes the menus.
  Shown shown;
  if (database_.empty()) shown.data_commands = DataCommandsSwitch::kOff;
  return shown;
}

Shown Session::search_all_fields(SearchMode mode, std::string_view text, bool fold) {
  return list(refloom::search_all_fields(mode, database_, listed_references_.indices(), text, fold));
}

void Session::start_form_search() {
  database_.clear_edit_buffer();
  database_.edit_buffer().ref_id = 0;
}

Shown Session::search_by_form(SearchMode mode) {
  return list(refloom::search_by_form(mode, database_, listed_references_.indices(), database_.edit_buffer(),
                                      !case_sensitive_));
}

Shown Session::view_all() {
  listed_references_.list_all(database_.ref_count());
  Shown shown;
  shown.list = ListChange::kRefill;
  shown.count = listed_references_.count();
  return shown;
}

Shown Session::list(std::vector<std::size_t> ascending_indices) {
  listed_references_.assign(std::move(ascending_indices));
  Shown shown;
  shown.list = ListChange::kRefill;
  shown.count = listed_references_.count();
  return shown;
}

}  // namespace refloom
