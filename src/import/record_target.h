#pragma once

// Where an importer puts what it reads: the record it started last. Two
// targets with the same operations: SetterTarget calls the database setters
// for every change, as the import rules are written; BufferedTarget keeps
// the record in plain strings and packs it into the database once, when the
// next record starts or the import ends. Both must leave the database
// exactly alike; the importers are templates over the target, and the
// tests and fuzzers hold the two against each other.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "core/fields.h"
#include "core/reference.h"
#include "core/reference_database.h"
#include "import/convert.h"
#include "import/reference_setters.h"

namespace refloom {

// What the two targets keep alike: the database, the import's entry type
// and the number of the record started last.
class TargetRecord {
 public:
  // False until the import's first record start: lines before it have no
  // record of this import to go to.
  bool has_record() const { return number_ != 0; }

 protected:
  TargetRecord(ReferenceDatabase& database, std::string_view entry_type)
      : database_(database), entry_type_(entry_type) {}

  // Appends the reference of the record that starts; its RefId is to be
  // its number.
  void add_record() {
    database_.add_reference();
    number_ = database_.ref_count();
  }

  ReferenceDatabase& database_;
  const std::string entry_type_;
  std::size_t number_ = 0;
};

class SetterTarget : public TargetRecord {
 public:
  SetterTarget(ReferenceDatabase& database, std::string_view entry_type) : TargetRecord(database, entry_type) {}

  // The record start: a new reference whose RefId is its number.
  void start_record() {
    add_record();
    database_.set_ref_id(number_, number_);
    database_.set_entry_type(number_, entry_type_);
  }
  void finish() {}

  void set_title(std::string_view text) { database_.set_title(number_, text); }
  void set_booktitle(std::string_view text) { database_.set_booktitle(number_, text); }
  void set_institution(std::string_view text) { database_.set_institution(number_, text); }
  void set_abstract(std::string_view text) { database_.set_abstract(number_, text); }
  void set_comment(std::string_view text) { database_.set_comment(number_, text); }
  void set_month(std::string_view text) { database_.set_month(number_, text); }
  void set_pages(std::string_view text) { database_.set_pages(number_, text); }
  void set_journal_n(std::string_view text, std::size_t length) { database_.set_journal_n(number_, text, length); }
  void set_volume_before_colon(std::string_view text) { database_.set_volume_before_colon(number_, text); }
  void append_keyword(std::string_view text) { database_.append_keyword(number_, text); }
  void append_field(FieldSlot slot, std::string_view text) { database_.append_field(field_name(slot), number_, text); }
  void append_author(std::string_view name) { refloom::append_author(database_, number_, name); }
  void append_editor(std::string_view name) { refloom::append_editor(database_, number_, name); }
  void set_year_from_text(std::string_view text) { refloom::set_year_from_text(database_, number_, text); }
  void set_number_from_text(std::string_view text) { refloom::set_number_from_text(database_, number_, text); }

  std::optional<std::size_t> field_size(FieldSlot slot) const {
    const auto text = database_.reference(number_ - 1).text(slot);
    if (!text) return std::nullopt;
    return text->size();
  }
};

class BufferedTarget : public TargetRecord {
 public:
  BufferedTarget(ReferenceDatabase& database, std::string_view entry_type) : TargetRecord(database, entry_type) {}

  void start_record() {
    finish();
    add_record();
    record_.clear();
    record_.ref_id = number_;
    record_.set_text(kEntryTypeSlot, entry_type_);
    authors_.clear();
    editors_.clear();
    pending_ = true;
  }
  // Packs the record into its reference; call once the input has ended.
  void finish() {
    if (!pending_) return;
    for (NameList* names : {&authors_, &editors_}) {
      if (names->present) record_.set_text(names->slot, names->text);
    }
    record_.store_into(database_.reference(number_ - 1));
    pending_ = false;
  }

  void set_title(std::string_view text) { record_.set_text(kTitle, text); }
  void set_booktitle(std::string_view text) { record_.set_text(kBooktitle, text); }
  void set_institution(std::string_view text) { record_.set_text(kInstitution, text); }
  void set_abstract(std::string_view text) { record_.set_text(kAbstract, text); }
  void set_comment(std::string_view text) { record_.set_text(kComment, text); }
  void set_month(std::string_view text) { record_.set_text(kMonth, text); }
  void set_pages(std::string_view text) { record_.set_text(kPages, text); }
  void set_journal_n(std::string_view text, std::size_t length) { record_.set_text(kJournal, text.substr(0, length)); }
  void set_volume_before_colon(std::string_view text) { record_.set_text(kVolume, text.substr(0, text.find(':'))); }
  void append_keyword(std::string_view text) { record_.append_text(kKeyword, text); }
  void append_field(FieldSlot slot, std::string_view text) { record_.append_text(slot, text); }
  void append_author(std::string_view name) { append_name(authors_, name); }
  void append_editor(std::string_view name) { append_name(editors_, name); }
  void set_year_from_text(std::string_view text) { record_.set_text(kYear, leading_integer_text(text)); }
  void set_number_from_text(std::string_view text) { record_.set_text(kNumber, leading_integer_text(text)); }

  std::optional<std::size_t> field_size(FieldSlot slot) const {
    if (!record_.has(slot)) return std::nullopt;
    return record_.text(slot).size();
  }

 private:
  // Names are joined by " and ", which the record's own appending (by line
  // feed) cannot do; they are collected here and put in place when the
  // record is stored, so that many names cost no more than their length.
  struct NameList {
    FieldSlot slot;
    bool present = false;
    std::string text;
    void clear() {
      present = false;
      text.clear();
    }
  };

  void append_name(NameList& names, std::string_view name) {
    convert_name(name, name_);
    if (names.present) names.text.append(" and ");
    names.text.append(name_);
    names.present = true;
  }

  bool pending_ = false;
  ReferenceBuilder record_;
  NameList authors_{kAuthor, false, {}};
  NameList editors_{kEditor, false, {}};
  std::string name_;
};

}  // namespace refloom
