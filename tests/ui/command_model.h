#pragma once

// What the main window should show after each command, worked out on a
// small model of its own: the references, the listed set, the count line,
// the data commands, the title and the case setting. The random GUI test
// drives the real window and compares it with this model after every
// command; the model shares no state with the window, and its rules
// (numbering, searching, deleting, reducing) are written here anew.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/fields.h"
#include "core/reference_database.h"
#include "core/search.h"

namespace refloom::testing {

// One reference: its RefId and the texts of slots 1 to 29 (index 0 unused),
// each absent or a text; and what a file in today's style gave it besides
// (key, other fields), which the random commands show but do not type.
struct ModelReference {
  RefId id = 0;
  std::array<std::optional<std::string>, kSlotCount> slots;
  ExtrasData extras;

  friend bool operator==(const ModelReference&, const ModelReference&) = default;
};

ModelReference model_reference(const Reference& reference);
Reference real_reference(const ModelReference& reference);
std::vector<ModelReference> model_references(const ReferenceDatabase& database);

// The criteria of a search through the form: the RefId typed (0 = none) and
// the text of every slot 1 to 29 as the form left it (empty = none).
struct SearchCriteria {
  RefId id = 0;
  std::array<std::string, kSlotCount> slots;
};

// The texts a form answered Ok with: the slots typed into or chosen, the
// rest untouched.
struct FormEdits {
  std::array<std::optional<std::string>, kSlotCount> slots;
};

class CommandModel {
 public:
  static constexpr std::string_view kProgramTitle = "Refloom Manager, Ver. 1.7";

  std::vector<ModelReference> references;
  std::vector<std::size_t> listed;  // database indices, ascending
  std::size_t count_shown = 0;
  bool data_commands = false;
  bool case_sensitive = false;
  std::string title{kProgramTitle};
  std::string current_file;
  // The @preamble, @string and @comment blocks of the files loaded.
  std::vector<BibtexBlock> blocks;
  // The database index of the reference an open Edit form belongs to.
  std::optional<std::size_t> edit_target;

  // The first free RefId above the smallest of the first `prefix`
  // references; a duplicate shifts the candidates by one. 1 when the
  // database is empty.
  static RefId next_refid(const std::vector<ModelReference>& references, std::size_t prefix);
  RefId proposed_id() const { return next_refid(references, references.size()); }

  // A file whose references, read into an empty database, are `read`; a
  // file that could not be opened changes nothing and is not reported here.
  void loaded(const std::vector<ModelReference>& read, const std::string& path);
  // Ok in the form of Add reference, which proposed `proposed`: when a
  // command run meanwhile took it, the next free one instead. Returns the
  // message that says so, or nothing.
  std::string added(const FormEdits& edits, RefId proposed);
  // Edit reference: the form opens for the reference on a list line, and
  // Ok stores into that reference wherever other commands moved it; if
  // they deleted it, nothing is stored. Returns the message that says so.
  void started_edit(std::size_t position) { edit_target = listed[position - 1]; }
  std::string edited(const FormEdits& edits);
  void deleted(std::size_t position);
  void reduced();
  void searched_all_fields(SearchMode mode, std::string_view text, bool fold);
  void searched_by_form(SearchMode mode, const SearchCriteria& criteria);
  void viewed_all();
  void toggled_case() { case_sensitive = !case_sensitive; }
  void emptied();
  void saved(const std::string& path);

  // Whether `pattern` occurs in `text`; folding makes only a-z equal to A-Z.
  static bool contains(std::string_view text, std::string_view pattern, bool fold);
  static bool all_fields_match(const ModelReference& reference, std::string_view text, bool fold);

 private:
  void list(std::vector<std::size_t> indices);
};

// How a value reads back from a saved BibTeX file: unchanged, unless its
// braces do not balance; then with an opening brace before it for each
// closing one that closes nothing, and a closing one after it for each
// opening one left open.
std::string value_after_save(std::string_view value);

}  // namespace refloom::testing
