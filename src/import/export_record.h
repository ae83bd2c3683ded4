#pragma once

// What the importers of today's exports (.nbib, RIS) share: the record kept
// aside while it is read and stored whole once it ends, and the reading of
// tag lines whose fields may go on over the lines after them. Unlike the
// older formats, these have no setter path to compare with.

#include <cstdio>
#include <string>
#include <string_view>

#include "core/fields.h"
#include "core/line_reader.h"
#include "core/reference.h"
#include "core/reference_database.h"
#include "import/plain_text.h"

namespace refloom {

// The fields of one record: texts escaped for TeX as they come, names
// joined by " and " apart from the other fields.
class ExportRecord {
 public:
  // Forgets the record before; its storage is reused.
  void clear() {
    record_.clear();
    authors_.clear();
    editors_.clear();
  }

  bool has(FieldSlot slot) const { return record_.has(slot); }
  // The text escaped for TeX, in place of what the field held (set) or
  // after it on a line of its own (append).
  void set(FieldSlot slot, std::string_view text) { record_.set_text(slot, escaped(text)); }
  void append(FieldSlot slot, std::string_view text) { record_.append_text(slot, escaped(text)); }
  // A text that is safe for TeX already (escaped, or digits and letters).
  void set_tex(FieldSlot slot, std::string_view text) { record_.set_text(slot, text); }

  void add_author(std::string_view name) { add_name(authors_, name); }
  void add_editor(std::string_view name) { add_name(editors_, name); }

  // Puts the record into the database as its next reference, numbered by
  // its position.
  void store(ReferenceDatabase& database, std::string_view entry_type) {
    record_.ref_id = database.ref_count() + 1;
    record_.set_text(kEntryTypeSlot, entry_type);
    // Moved, not copied: a record of a million names holds them once.
    if (!authors_.empty()) {
      record_.remove(kAuthor);
      record_.append_text(kAuthor, std::move(authors_));
    }
    if (!editors_.empty()) {
      record_.remove(kEditor);
      record_.append_text(kEditor, std::move(editors_));
    }
    database.add_reference();
    record_.move_into(database.reference(database.ref_count() - 1));
  }

 private:
  const std::string& escaped(std::string_view text) {
    escaped_.clear();
    append_tex_escaped(text, escaped_);
    return escaped_;
  }

  static void add_name(std::string& names, std::string_view name) {
    if (!names.empty()) names.append(" and ");
    names.append(name);
  }

  ReferenceBuilder record_;
  std::string authors_;
  std::string editors_;
  std::string escaped_;
};

// The record being read and the field being read into it: a field runs
// from its tag line over the continuation lines after it and is handed to
// the record, `record.apply(tag, text)`, when it ends. `record.start(...)`
// readies the record for the next one, `record.store(database)` stores it.
template <class Record>
class ExportFields {
 public:
  ExportFields(ReferenceDatabase& database, Record record) : database_(database), record_(std::move(record)) {}

  bool in_record() const { return in_record_; }

  // Stores the record before, if any, and starts the next.
  template <class... Start>
  void start_record(const Start&... start) {
    end_record();
    record_.start(start...);
    in_record_ = true;
  }
  // Stores the record, if any; fields up to the next record start go
  // nowhere.
  void end_record() {
    end_field();
    if (in_record_) record_.store(database_);
    in_record_ = false;
  }

  void start_field(std::string_view tag, std::string_view text) {
    end_field();
    // Cleared and appended, not assigned: GCC 12 at -O3 takes assigning a
    // RIS tag for a possibly overlapping copy (-Wrestrict).
    tag_.clear();
    tag_.append(tag);
    text_.assign(text);
    in_field_ = true;
  }
  // Exports wrap long texts at blanks: the pieces join with one blank. A
  // continuation with no field before it, or with no text, adds nothing.
  void continue_field(std::string_view more) {
    if (!in_field_ || more.empty()) return;
    if (!text_.empty()) text_.push_back(' ');
    text_.append(more);
  }
  void end_field() {
    if (in_field_ && in_record_) record_.apply(tag_, text_);
    in_field_ = false;
  }

 private:
  ReferenceDatabase& database_;
  Record record_;
  bool in_record_ = false;
  bool in_field_ = false;
  std::string tag_;
  std::string text_;
};

// Reads the stream to its end, handing `import.line` each line as
// ExportLines cuts them, then calls `import.finish()`.
template <class Import>
void read_export(std::FILE* stream, Import& import) {
  ExportLines export_lines;
  LineReader lines(stream);
  std::string_view line;
  while (lines.next(line)) export_lines.feed(line, [&import](std::string_view one) { import.line(one); });
  import.finish();
}

}  // namespace refloom
