// The MEDLINE display format that PubMed exports today (.nbib): tags of
// one to four letters padded with blanks to four, "- ", the text; lines
// that begin with six blanks continue the field of the tag before them.

#include <string>

#include "import/export_record.h"
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
    fields_.clear();
    author_pending_ = editor_pending_ = false;
    abbreviated_journal_.clear();
    journal_title_.clear();
    is_book_ = is_chapter_ = false;
  }

  void apply(std::string_view tag, std::string_view text) {
    // An empty field ("VI  -") says nothing.
    if (text.empty()) return;
    if (tag == "FAU") {
      fields_.add_author(full_name_to_bibtex(text));
      author_pending_ = true;
    } else if (tag == "AU") {
      // The short form of the full name just before it, or a name that
      // has no full form.
      if (!author_pending_) fields_.add_author(initials_name_to_bibtex(text));
      author_pending_ = false;
    } else if (tag == "CN") {
      // Appended, not "{" + std::string: GCC 12 at -O3 flags that (-Wrestrict).
      std::string collective(1, '{');
      collective += tex_escaped(text);
      collective += '}';
      fields_.add_author(collective);
      author_pending_ = false;
    } else if (tag == "FED") {
      fields_.add_editor(full_name_to_bibtex(text));
      editor_pending_ = true;
    } else if (tag == "ED") {
      if (!editor_pending_) fields_.add_editor(initials_name_to_bibtex(text));
      editor_pending_ = false;
    } else if (tag == "TI") {
      fields_.set(kTitle, text);
    } else if (tag == "AB") {
      fields_.set(kAbstract, text);
    } else if (tag == "BTI") {
      fields_.set(kBooktitle, text);
    } else if (tag == "TA") {
      if (abbreviated_journal_.empty()) append_tex_escaped(text, abbreviated_journal_);
    } else if (tag == "JT") {
      if (journal_title_.empty()) append_tex_escaped(text, journal_title_);
    } else if (tag == "DP") {
      date(text);
    } else if (tag == "VI") {
      fields_.set(kVolume, text);
    } else if (tag == "IP") {
      fields_.set(kNumber, text);
    } else if (tag == "PG") {
      fields_.set(kPages, text);
    } else if (tag == "MH" || tag == "OT") {
      fields_.append(kKeyword, text);
    } else if (tag == "AD") {
      fields_.append(kComment, text);
    } else if (tag == "PB") {
      fields_.set(kPublisher, text);
    } else if (tag == "PL") {
      fields_.set(kAddress, text);
    } else if (tag == "PT") {
      if (equals_ignoring_case(text, "Book")) is_book_ = true;
      if (equals_ignoring_case(text, "Book Chapter")) is_chapter_ = true;
    }
    // Everything else (PMID, LID, AID, DEP, ...) has no field to go to.
  }

  // Puts the record into the database as its next reference.
  void store(ReferenceDatabase& database) {
    if (!abbreviated_journal_.empty()) {
      fields_.set_tex(kJournal, abbreviated_journal_);
    } else if (!journal_title_.empty()) {
      fields_.set_tex(kJournal, journal_title_);
    }
    fields_.store(database, is_chapter_ ? "incollection" : is_book_ ? "book" : default_type_);
  }

 private:
  // "2021 Mar 15", "2020 Nov-Dec", "2019 Spring", "2018": the year, and
  // the word after it when that names a month.
  void date(std::string_view text) {
    const std::string_view year = year_of(text);
    if (!year.empty()) fields_.set_tex(kYear, year);
    const std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos) return;
    std::string_view rest = trim_blanks(text.substr(blank + 1));
    rest = rest.substr(0, rest.find(' '));
    for (int month = 1; month <= 12; ++month) {
      if (rest.size() >= 3 && equals_ignoring_case(rest.substr(0, 3), month_abbreviation(month))) {
        fields_.set(kMonth, rest);
        return;
      }
    }
  }

  std::string default_type_;
  ExportRecord fields_;
  bool author_pending_ = false;
  bool editor_pending_ = false;
  std::string abbreviated_journal_;
  std::string journal_title_;
  bool is_book_ = false;
  bool is_chapter_ = false;
};

class NbibImport {
 public:
  NbibImport(ReferenceDatabase& database, std::string_view entry_type) : fields_(database, NbibRecord(entry_type)) {}

  void line(std::string_view line) {
    std::string_view tag;
    std::string_view text;
    if (split_tag_line(line, tag, text)) {
      fields_.end_field();
      if (tag == "PMID" || after_blank_ || !fields_.in_record()) fields_.start_record();
      after_blank_ = false;
      fields_.start_field(tag, text);
    } else if (is_blank_line(line)) {
      fields_.end_field();
      after_blank_ = true;
    } else if (line.substr(0, kContinuation.size()) == kContinuation) {
      fields_.continue_field(trim_blanks(line));
    }
    // Other lines (and continuations with no field before them) are
    // passed over.
  }

  void finish() { fields_.end_record(); }

 private:
  ExportFields<NbibRecord> fields_;
  bool after_blank_ = true;
};

}  // namespace

void import_nbib(ReferenceDatabase& database, std::FILE* stream, std::string_view entry_type, RecordStorage) {
  NbibImport import(database, entry_type);
  read_export(stream, import);
}

ReadResult import_nbib(ReferenceDatabase& database, const std::string& path, std::string_view entry_type,
                       std::ostream& messages) {
  return import_path(database, path, entry_type, messages, static_cast<StreamImporter>(&import_nbib));
}

}  // namespace refloom
