#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "core/fields.h"

namespace refloom {

// The form's modes: they give its title, and whether "Ref. ID:" is taken
// over at Ok.
enum FormMode : std::int16_t { kAddMode = 0, kEditMode = 1, kSearchMode = 2 };

// The title of the form's window in a mode (any other value: Add's).
std::string_view form_title(FormMode mode);

// One text field of the reference form: its label and the slot it shows.
struct FormField {
  std::string_view label;
  FieldSlot slot;
  short columns = 0;       // single-line and bottom fields
  short rows = 0;          // multi-line fields
  bool word_wrap = false;  // multi-line fields
};

// The band of short fields below the top row, left to right, for an entry
// type (any index outside 0..12 gets the fields common to all types).
std::vector<FormField> band_fields(EntryType type);

// The rows of long fields, top to bottom, ending with the abstract.
std::vector<FormField> row_fields(EntryType type);

// The bottom block, in creation order: keyword, note, annote, comment.
const std::vector<FormField>& bottom_fields();

// Below the bottom block: the citation key (one line, 45 columns) and the
// fields outside the 28 as "name = {value}" lines, reaching the right edge.
const std::vector<FormField>& key_and_other_fields();

// The top row's text fields: Ref. ID (slot 0), Key, Crossref.
const std::vector<FormField>& top_fields();

// The entry type a button of the form's entry type menu stands for:
// buttons 1..12 give their names, button 0 and anything else "article".
std::string_view entry_type_for_button(int button);

// The reprint value a button of the form's reprint menu stands for:
// button 0 "IN FILE", any other "NOT IN FILE".
std::string_view reprint_for_button(int button);
// The reprint menu's button for a reprint text: 0 only for "IN FILE" exactly.
int reprint_button(std::string_view reprint);

}  // namespace refloom
