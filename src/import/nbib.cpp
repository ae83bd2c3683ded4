// The MEDLINE display format that PubMed exports today (.nbib): tags of
// one to four letters padded with blanks to four, "- ", the text; lines
// that begin with six blanks continue the field of the tag before them.

#include <string>

#include "core/line_reader.h"
#include "import/import_common.h"
#include "import/plain_text.h"

namespace refloom {

namespace {

constexpr std::size_t kTagWidth = 4;
constexpr std::string_view kContinuation = "      ";

bool equals_ignoring_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// "TI  - text", "PMID- 123", "AB  -" (an empty field): the tag, and the text
// after "- ". Anything else is no tag line.
bool split_tag_line(std::string_view line, std::string_view& tag, std::string_view& text) {
  if (line.size() <= kTagWidth || line[kTagWidth] != '-') return false;
  std::size_t letters = 0;
  while (letters < kTagWidth && line[letters] >= 'A' && line[letters] <= 'Z') ++letters;
  if (letters == 0) return false;
  for (std::size_t i = letters; i < kTagWidth; ++i) {
    if (line[i] != ' ') return false;
  }
  tag = line.substr(0, letters);
  text = trim_blanks(line.substr(kTagWidth + 1));
  return true;
}

bool is_blank_line(std::string_view line) { return trim_blanks(line).empty(); }

// One record while it is read; stored when the next one starts.
class NbibRecord {
 public:
  explicit NbibRecord(std::string_view default_type) : default_type_(default_type) {}

  // Starts the next record; the storage of the one before is reused.
  void start() {
    record_.clear();
    authors_.clear();
    editors_.clear();
    author_pending_ = editor_pending_ = false;
    abbreviated_journal_.clear();
    journal_title_.clear();
    is_book_ = is_chapter_ = false;
  }

  void apply(std::string_view tag, std::string_view text) {
    // An empty field ("VI  -") says nothing.
    if (text.empty()) return;
    if (tag == "FAU") {
      append_name(authors_, full_name_to_bibtex(text));
      author_pending_ = true;
    } else if (tag == "AU") {
      // The short form of the full name just before it, or a name that
      // has no full form.
      if (!author_pending_) append_name(authors_, initials_name_to_bibtex(text));
      author_pending_ = false;
    } else if (tag == "CN") {
      // Appended, not "{" + std::string: GCC 12 at -O3 flags that (-Wrestrict).
      std::string collective(1, '{');
      collective += tex_escaped(text);
      collective += '}';
      append_name(authors_, collective);
      author_pending_ = false;
    } else if (tag == "FED") {
      append_name(editors_, full_name_to_bibtex(text));
      editor_pending_ = true;
    } else if (tag == "ED") {
      if (!editor_pending_) append_name(editors_, initials_name_to_bibtex(text));
      editor_pending_ = false;
    } else if (tag == "TI") {
      set(kTitle, text);
    } else if (tag == "AB") {
      set(kAbstract, text);
    } else if (tag == "BTI") {
      set(kBooktitle, text);
    } else if (tag == "TA") {
      if (abbreviated_journal_.empty()) append_tex_escaped(text, abbreviated_journal_);
    } else if (tag == "JT") {
      if (journal_title_.empty()) append_tex_escaped(text, journal_title_);
    } else if (tag == "DP") {
      date(text);
    } else if (tag == "VI") {
      set(kVolume, text);
    } else if (tag == "IP") {
      set(kNumber, text);
    } else if (tag == "PG") {
      set(kPages, text);
    } else if (tag == "MH" || tag == "OT") {
      append(kKeyword, text);
    } else if (tag == "AD") {
      append(kComment, text);
    } else if (tag == "PB") {
      set(kPublisher, text);
    } else if (tag == "PL") {
      set(kAddress, text);
    } else if (tag == "PT") {
      if (equals_ignoring_case(text, "Book")) is_book_ = true;
      if (equals_ignoring_case(text, "Book Chapter")) is_chapter_ = true;
    }
    // Everything else (PMID, LID, AID, DEP, ...) has no field to go to.
  }

  // Puts the record into the database as its next reference.
  void store(ReferenceDatabase& database) {
    record_.ref_id = database.ref_count() + 1;
    record_.set_text(kEntryTypeSlot, is_chapter_ ? "incollection" : is_book_ ? "book" : default_type_);
    // Moved, not copied: a record of a million names holds them once.
    if (!authors_.empty()) {
      record_.remove(kAuthor);
      record_.append_text(kAuthor, std::move(authors_));
    }
    if (!editors_.empty()) {
      record_.remove(kEditor);
      record_.append_text(kEditor, std::move(editors_));
    }
    if (!abbreviated_journal_.empty()) {
      record_.set_text(kJournal, abbreviated_journal_);
    } else if (!journal_title_.empty()) {
      record_.set_text(kJournal, journal_title_);
    }
    database.add_reference();
    record_.move_into(database.reference(database.ref_count() - 1));
  }

 private:
  void set(FieldSlot slot, std::string_view text) {
    escaped_.clear();
    append_tex_escaped(text, escaped_);
    record_.set_text(slot, escaped_);
  }
  void append(FieldSlot slot, std::string_view text) {
    escaped_.clear();
    append_tex_escaped(text, escaped_);
    record_.append_text(slot, escaped_);
  }

  static void append_name(std::string& names, const std::string& name) {
    if (!names.empty()) names.append(" and ");
    names.append(name);
  }

  // "2021 Mar 15", "2020 Nov-Dec", "2019 Spring", "2018": the year, and
  // the word after it when that names a month.
  void date(std::string_view text) {
    const std::string_view year = year_of(text);
    if (!year.empty()) record_.set_text(kYear, year);
    const std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos) return;
    std::string_view rest = trim_blanks(text.substr(blank + 1));
    rest = rest.substr(0, rest.find(' '));
    for (int month = 1; month <= 12; ++month) {
      if (rest.size() >= 3 && equals_ignoring_case(rest.substr(0, 3), month_abbreviation(month))) {
        set(kMonth, rest);
        return;
      }
    }
  }

  std::string default_type_;
  ReferenceBuilder record_;
  std::string authors_;
  std::string editors_;
  std::string escaped_;
  bool author_pending_ = false;
  bool editor_pending_ = false;
  std::string abbreviated_journal_;
  std::string journal_title_;
  bool is_book_ = false;
  bool is_chapter_ = false;
};

class NbibImport {
 public:
  NbibImport(ReferenceDatabase& database, std::string_view entry_type)
      : database_(database), record_(entry_type) {}

  void line(std::string_view line) {
    lines_.feed(line, [this](std::string_view one) { one_line(one); });
  }

  void finish() {
    finish_field();
    if (in_record_) record_.store(database_);
    in_record_ = false;
  }

 private:
  void one_line(std::string_view line) {
    std::string_view tag;
    std::string_view text;
    if (split_tag_line(line, tag, text)) {
      finish_field();
      if (tag == "PMID" || after_blank_ || !in_record_) start_record();
      after_blank_ = false;
      tag_ = tag;
      text_.assign(text);
      in_field_ = true;
    } else if (is_blank_line(line)) {
      finish_field();
      after_blank_ = true;
    } else if (line.substr(0, kContinuation.size()) == kContinuation && in_field_) {
      // PubMed wraps long texts at blanks: the pieces join with one blank.
      const std::string_view more = trim_blanks(line);
      if (!text_.empty()) text_.push_back(' ');
      text_.append(more);
    }
    // Other lines (and continuations with no field before them) are
    // passed over.
  }

  void start_record() {
    if (in_record_) record_.store(database_);
    record_.start();
    in_record_ = true;
  }

  void finish_field() {
    if (in_field_ && in_record_) record_.apply(tag_, text_);
    in_field_ = false;
  }

  ReferenceDatabase& database_;
  NbibRecord record_;
  bool in_record_ = false;
  ExportLines lines_;
  bool after_blank_ = true;
  bool in_field_ = false;
  std::string tag_;
  std::string text_;
};

}  // namespace

void import_nbib(ReferenceDatabase& database, std::FILE* stream, std::string_view entry_type, RecordStorage) {
  NbibImport import(database, entry_type);
  LineReader lines(stream);
  std::string_view line;
  while (lines.next(line)) import.line(line);
  import.finish();
}

ReadResult import_nbib(ReferenceDatabase& database, const std::string& path, std::string_view entry_type,
                std::ostream& messages) {
  return import_path(database, path, entry_type, messages, static_cast<StreamImporter>(&import_nbib));
}

}  // namespace refloom
