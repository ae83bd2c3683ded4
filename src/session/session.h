#pragma once

// What the window's commands share, and the commands themselves without
// their widgets: each command changes the database, the listed references
// and the edit target together and says what the window must show.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/edit_target.h"
#include "core/fields.h"
#include "core/format_hints.h"
#include "core/latex.h"
#include "core/listed_references.h"
#include "core/reference_database.h"
#include "core/search.h"
#include "import/load.h"

namespace refloom {

// How the reference list must change after a command.
enum class ListChange {
  kNone,
  kRefill,       // show every listed reference anew
  kAppendLast,   // one line at the end: the last listed reference
  kReplaceLine,  // the line at `position` shows its reference anew
  kDeleteLine,   // the line at `position` goes
};

// Whether the commands usable only with references held switch.
enum class DataCommandsSwitch { kUnchanged, kOn, kOff };

// What the window title must show afterwards.
enum class TitleChange { kUnchanged, kProgramTitle, kCurrentFile };

// How a file command ended.
enum class Outcome {
  kDone,         // the whole file read, or written
  kCutShort,     // a read error cut a load short; what was read is kept and shown
  kCannotOpen,   // a load could not open its file and changed nothing
  kCannotWrite,  // a save or a print could not open or write its file; an old file stays
  kOutOfMemory,  // memory ran out; the command changed nothing, and said so
};

// What the window must show after a command.
struct Shown {
  ListChange list = ListChange::kNone;
  std::size_t position = 0;          // list position (from 1) of a line change
  std::optional<std::size_t> count;  // the count line's new number
  DataCommandsSwitch data_commands = DataCommandsSwitch::kUnchanged;
  TitleChange title = TitleChange::kUnchanged;
  // How a file command ended; the other commands are always done.
  Outcome result = Outcome::kDone;
  // A load that opened its file: how many references it added, and what it
  // noticed about the format.
  std::optional<std::size_t> references_read;
  FormatHints format_hints;
};

// The "Ref. ID:" of the search form as a number, read as strtoull reads
// decimal: white space skipped, an optional sign, then the digits up to the
// first other character. No digits give 0 (no RefId to look for), a minus
// counts back from 2^64, and a number beyond the largest RefId gives the
// largest, which is as near to it as a RefId comes.
RefId ref_id_from_text(std::string_view text);

class Session {
 public:
  // The database and its edit buffer; the form types in through the
  // setters below, the commands change the rest.
  const ReferenceDatabase& database() const { return database_; }
  const ListedReferences& listed_references() const { return listed_references_; }
  const EditTarget& edit_target() const { return edit_target_; }
  // The path of the file last loaded or saved; names the LaTeX bibliography.
  const std::string& CurrentFileName() const { return CurrentFileName_; }
  bool case_sensitive() const { return case_sensitive_; }
  // Whether the database holds changes no save has written: any load that
  // opened its file, Ok in the form for an add or an edit, a delete, a
  // reduce that dropped references, New of a database that held something,
  // since the last save or the start. Searches, Print and Cancel change
  // nothing.
  bool modified() const { return modified_; }
  // Counts the changes since the start, so that a copy of the database can
  // tell whether it still holds the last one.
  std::uint64_t changes() const { return changes_; }

  // Back to the state of a fresh start.
  void reset();

  // The form took a text into a text slot of the edit buffer (the entry
  // type to the other fields); any other slot number changes nothing.
  void set_edit_text(int slot, std::string_view text);
  // The form took the "Ref. ID:" typed in a search (see ref_id_from_text).
  void set_edit_ref_id(std::string_view typed);

  // File > New: no references, nothing listed, no edit target. The edit
  // buffer and the current file stay.
  Shown new_database();
  // File > Load: adds the file's references (renumbered when some were
  // held) and lists them all. A file that cannot be opened changes nothing.
  Shown load(const std::string& path, FileType file_type, std::ostream& messages);
  // File > Save: writes the whole database; the current file changes only
  // when the file was written completely.
  Shown save(const std::string& path, std::ostream& messages);
  // The RefIds of the listed references in list order.
  std::vector<RefId> listed_ref_ids() const;
  // What the LaTeX document cites: the keys a save writes for the listed
  // references, in list order.
  Citations listed_citations() const;
  // File > Print: the LaTeX document for the listed references, naming the
  // current file as its bibliography.
  Shown print(const std::string& path, std::ostream& messages) const;

  // Edit > Add reference, before the form: a cleared edit buffer of type
  // article with the next free RefId.
  void start_add();
  // The form's Ok in add and edit mode: whether the citation key and the
  // other fields typed in can be taken. What is wrong is said on
  // `messages`, and the form stays open for the user to mend it.
  bool accept_form(std::ostream& messages) const;
  // The form answered Ok: a new reference from the edit buffer, listed last.
  // A proposed RefId that a load took meanwhile gives way to the next free
  // one, said on `messages`.
  Shown add_from_edit_buffer(std::ostream& messages);

  // Edit > Edit reference, before the form: the reference at a list
  // position in the edit buffer, and its entry type for the form; nothing
  // when no reference is listed there.
  std::optional<EntryType> start_edit(std::size_t position);
  // The form answered Ok: the edit buffer goes into the reference the edit
  // started on, wherever it is now, or nowhere (said on `messages`) when it
  // was deleted meanwhile.
  Shown store_edit(std::ostream& messages);
  // The form answered Cancel.
  void cancel_edit() { edit_target_.finish(); }

  // Edit > Delete reference, for the reference at a list position.
  Shown delete_at(std::size_t position);
  // Edit > Reduce to listed references; the list shows the same lines.
  Shown reduce();

  // Search in all fields; `fold` is the case setting of the dialog.
  Shown search_all_fields(SearchMode mode, std::string_view text, bool fold);
  // AND, OR and NOT through the form, before the form: a cleared edit
  // buffer with RefId 0.
  void start_form_search();
  // The form answered Ok: the edit buffer holds the criteria.
  Shown search_by_form(SearchMode mode);
  // View all references.
  Shown view_all();
  // Makes the given ascending indices the listed references.
  Shown list(std::vector<std::size_t> ascending_indices);
  // Case sensitive.
  void toggle_case_sensitive() { case_sensitive_ = !case_sensitive_; }

 private:
  ReferenceDatabase database_;
  ListedReferences listed_references_;
  EditTarget edit_target_;
  void changed() {
    modified_ = true;
    ++changes_;
  }

  std::string CurrentFileName_;
  bool case_sensitive_ = false;
  bool modified_ = false;
  std::uint64_t changes_ = 0;
};

}  // namespace refloom
