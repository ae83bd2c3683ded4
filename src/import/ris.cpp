// RIS, as literature databases, publishers and reference managers export
// it: "TY  - JOUR" starts a record, "ER  - " ends it, and each line between
// is a two-letter tag, blanks, "- " and the text.

#include <array>
#include <string>

#include "import/export_record.h"
#include "import/import_common.h"
#include "import/plain_text.h"

namespace refloom {

namespace {

bool is_tag_character(char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

// "AU  - Smith, John", "ER  -", "TY - BOOK": a tag of a capital and a capital
// or digit, at least one blank, "-", then a blank or the end of the line.
bool split_tag_line(std::string_view line, std::string_view& tag, std::string_view& text) {
  if (line.size() < 4 || !(line[0] >= 'A' && line[0] <= 'Z') || !is_tag_character(line[1])) return false;
  std::size_t at = 2;
  while (at < line.size() && line[at] == ' ') ++at;
  if (at == 2 || at >= line.size() || line[at] != '-') return false;
  if (at + 1 < line.size() && line[at + 1] != ' ' && line[at + 1] != '\t') return false;
  tag = line.substr(0, 2);
  text = trim_blanks(line.substr(at + 1));
  return true;
}

std::string_view entry_type_of_ris(std::string_view type) {
  if (type == "JOUR") return "article";
  if (type == "BOOK") return "book";
  if (type == "CHAP") return "incollection";
  if (type == "CONF" || type == "CPAPER") return "inproceedings";
  if (type == "THES") return "phdthesis";
  if (type == "RPRT") return "techreport";
  return "misc";
}

// Where the title of the container (journal, book, proceedings) is found,
// the full names before the abbreviations.
constexpr std::array<std::string_view, 5> kContainerTags = {"T2", "JF", "JO", "JA", "BT"};
constexpr std::array<std::string_view, 3> kDateTags = {"PY", "Y1", "DA"};

class RisRecord {
 public:
  // Starts a record of a type; the storage of the one before is reused.
  void start(std::string_view type) {
    type_.assign(type);
    fields_.clear();
    for (std::string& container : containers_) container.clear();
    for (std::string& date : dates_) date.clear();
    start_page_.clear();
    end_page_.clear();
  }

  void apply(std::string_view tag, std::string_view text) {
    if (text.empty()) return;
    if (tag == "AU" || tag == "A1") {
      fields_.add_author(ris_name_to_bibtex(text));
    } else if (tag == "ED" || (tag == "A2" && type_ != "JOUR")) {
      // The A2 of a journal article names the journal's editor, who has
      // no part in the article's reference.
      fields_.add_editor(ris_name_to_bibtex(text));
    } else if (tag == "TI" || tag == "T1") {
      if (!fields_.has(kTitle)) fields_.set(kTitle, text);
    } else if (tag == "AB" || tag == "N2") {
      if (tag == "AB" || !fields_.has(kAbstract)) fields_.set(kAbstract, text);
    } else if (tag == "KW") {
      fields_.append(kKeyword, text);
    } else if (tag == "VL") {
      fields_.set(kVolume, text);
    } else if (tag == "IS") {
      fields_.set(kNumber, text);
    } else if (tag == "SP") {
      start_page_ = text;
    } else if (tag == "EP") {
      end_page_ = text;
    } else if (tag == "PB") {
      fields_.set(kPublisher, text);
    } else if (tag == "CY") {
      fields_.set(kAddress, text);
    } else if (tag == "ET") {
      fields_.set(kEdition, text);
    } else {
      for (std::size_t i = 0; i < kContainerTags.size(); ++i) {
        if (tag == kContainerTags[i] && containers_[i].empty()) containers_[i].assign(text);
      }
      for (std::size_t i = 0; i < kDateTags.size(); ++i) {
        if (tag == kDateTags[i] && dates_[i].empty()) dates_[i].assign(text);
      }
    }
    // The rest (UR, DO, SN, N1, ...) has no field to go to.
  }

  void store(ReferenceDatabase& database) {
    const std::string_view entry_type = entry_type_of_ris(type_);
    // Older RIS writers give a book's own title as BT.
    std::string& book_title = containers_[kContainerTags.size() - 1];
    if (entry_type == "book" && !fields_.has(kTitle) && !book_title.empty()) {
      fields_.set(kTitle, book_title);
      book_title.clear();
    }
    for (const std::string& container : containers_) {
      if (container.empty()) continue;
      const bool in_book = entry_type == "incollection" || entry_type == "inproceedings";
      fields_.set(in_book ? kBooktitle : kJournal, container);
      break;
    }
    store_date();
    if (!start_page_.empty() || !end_page_.empty()) {
      std::string pages = start_page_;
      if (!start_page_.empty() && !end_page_.empty() && end_page_ != start_page_) pages.append("--");
      if (end_page_ != start_page_) pages.append(end_page_);
      fields_.set(kPages, pages);
    }
    fields_.store(database, entry_type);
  }

 private:
  // "2019", "2019///", "2019/03/15/", "2019/03//Spring": the year, and the
  // month when the second part gives one.
  void store_date() {
    bool year_set = false;
    for (const std::string& date : dates_) {
      const std::string_view year = year_of(date);
      if (year.empty()) continue;
      if (!year_set) fields_.set_tex(kYear, year);
      year_set = true;
      const std::size_t slash = date.find('/');
      if (slash == std::string::npos) continue;
      int month = 0;
      std::size_t at = slash + 1;
      for (; at < date.size() && at < slash + 3 && date[at] >= '0' && date[at] <= '9'; ++at) {
        month = month * 10 + (date[at] - '0');
      }
      if (at < date.size() && date[at] != '/') continue;
      if (const std::string_view name = month_abbreviation(month); !name.empty()) {
        fields_.set_tex(kMonth, name);
        return;
      }
    }
  }

  std::string type_;
  ExportRecord fields_;
  std::array<std::string, kContainerTags.size()> containers_;
  std::array<std::string, kDateTags.size()> dates_;
  std::string start_page_;
  std::string end_page_;
};

class RisImport {
 public:
  explicit RisImport(ReferenceDatabase& database) : fields_(database, RisRecord()) {}

  void line(std::string_view line) {
    std::string_view tag;
    std::string_view text;
    if (!split_tag_line(trim_line_end(line), tag, text)) {
      // Some exports wrap long texts: a line that is no tag line goes on
      // with the field before it.
      fields_.continue_field(trim_blanks(line));
      return;
    }
    fields_.end_field();
    if (tag == "TY") {
      fields_.start_record(text);
    } else if (tag == "ER") {
      fields_.end_record();
    } else if (fields_.in_record()) {
      fields_.start_field(tag, text);
    }
  }

  void finish() { fields_.end_record(); }

 private:
  ExportFields<RisRecord> fields_;
};

}  // namespace

void import_ris(ReferenceDatabase& database, std::FILE* stream, std::string_view, RecordStorage) {
  RisImport import(database);
  read_export(stream, import);
}

ReadResult import_ris(ReferenceDatabase& database, const std::string& path, std::string_view entry_type,
                      std::ostream& messages) {
  return import_path(database, path, entry_type, messages, static_cast<StreamImporter>(&import_ris));
}

}  // namespace refloom
