#include "core/bibtex_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/file_io.h"
#include "core/large_memory.h"
#include "core/line_reader.h"

namespace refloom {

RefId parse_key(std::string_view key) {
  std::size_t pos = 0;
  while (pos < key.size() && (key[pos] == ' ' || (key[pos] >= '\t' && key[pos] <= '\r'))) ++pos;
  bool negative = false;
  if (pos < key.size() && (key[pos] == '+' || key[pos] == '-')) {
    negative = key[pos] == '-';
    ++pos;
  }
  RefId value = 0;
  bool overflow = false;
  for (; pos < key.size() && key[pos] >= '0' && key[pos] <= '9'; ++pos) {
    const auto digit = static_cast<RefId>(key[pos] - '0');
    if (value > (std::numeric_limits<RefId>::max() - digit) / 10) overflow = true;
    value = value * 10 + digit;
  }
  if (overflow) return std::numeric_limits<RefId>::max();
  return negative ? RefId{0} - value : value;
}

namespace {

// Field names in the order they are tried: field order, except that
// "keyword" comes before "key", so that keyword lines are not taken for key.
const std::array<const FieldInfo*, kFieldCount>& match_order() {
  static const std::array<const FieldInfo*, kFieldCount> order = [] {
    std::array<const FieldInfo*, kFieldCount> result{};
    for (std::size_t i = 0; i < kFieldOrder.size(); ++i) result[i] = &kFieldOrder[i];
    for (std::size_t i = 0; i + 1 < result.size(); ++i) {
      if (result[i]->slot == kKey && result[i + 1]->slot == kKeyword) std::swap(result[i], result[i + 1]);
    }
    return result;
  }();
  return order;
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Field names are all lower case; `rest` may be written in any case.
bool starts_with_name(std::string_view rest, std::string_view name) {
  if (rest.size() < name.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (lower(rest[i]) != name[i]) return false;
  }
  return true;
}

// A word that begins with a field name, in any case, counts as that field.
const FieldInfo* match_field(std::string_view rest) {
  if (rest.empty()) return nullptr;
  const char first = lower(rest[0]);
  for (const FieldInfo* field : match_order()) {
    if (field->name[0] == first && starts_with_name(rest, field->name)) return field;
  }
  return nullptr;
}

bool is_blank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  return text;
}

bool same_word(std::string_view text, std::string_view lower_case_word) {
  return text.size() == lower_case_word.size() && starts_with_name(text, lower_case_word);
}

// A key as Refloom writes it: a number, with letters after it when two
// references held it (12a); a save in this format's own style has no other.
bool written_as_refid(std::string_view key) {
  key = trimmed(key);
  std::size_t digits = 0;
  while (digits < key.size() && key[digits] >= '0' && key[digits] <= '9') ++digits;
  if (digits == 0) return false;
  return std::all_of(key.begin() + static_cast<std::ptrdiff_t>(digits), key.end(),
                     [](char c) { return c >= 'a' && c <= 'z'; });
}

// The line-oriented scanner: seek an entry, take its header apart, then read
// fields until the entry ends, a format error stops everything, or the file
// ends. The entry being read is built in `entry_` and stored into its
// reference when the entry ends in any way, so nothing read is lost.
class BibtexReader {
 public:
  BibtexReader(ReferenceDatabase& database, std::FILE* file, std::ostream& messages)
      : database_(database), lines_(file), messages_(messages) {}

  void run();
  // Whether the file showed signs of BibTeX in today's style.
  bool todays_style() const { return todays_style_; }

 private:
  enum class Outcome { kNextEntry, kEndOfFile, kStop };

  bool next_line() {
    if (!lines_.next(line_)) return false;
    // Carriage returns before the line feed are part of the line end, so
    // that a file saved on Windows (once or twice over) reads like its copy
    // with plain line feeds.
    while (!line_.empty() && line_.back() == '\r') line_.remove_suffix(1);
    pos_ = 0;
    return true;
  }
  // Blanks are spaces and tabs.
  void skip_spaces() {
    while (pos_ < line_.size() && (line_[pos_] == ' ' || line_[pos_] == '\t')) ++pos_;
  }
  std::string_view rest() const { return line_.substr(pos_); }

  // Appends part of the current line to the value. A part of many
  // megabytes is copied piece by piece, its memory in the line buffer given
  // back behind the copy, so that a huge value on one line is not held
  // twice.
  void append_part(std::string_view part) {
    constexpr std::size_t kPiece = 1 << 21;
    if (part.size() <= kPiece) {
      value_.append(part);
      return;
    }
    const std::size_t had = value_.capacity();
    value_.reserve(std::max(value_.size() + part.size(), had + had / 2));
    if (value_.capacity() != had) prefer_huge_pages(value_.data() + value_.size(), value_.capacity() - value_.size());
    for (std::size_t done = 0; done < part.size(); done += kPiece) {
      const std::string_view piece = part.substr(done, kPiece);
      value_.append(piece);
      lines_.release(part.substr(0, done + piece.size()));
    }
  }

  Outcome read_entry();
  Outcome read_fields();
  Outcome read_value(const FieldInfo& field, char opening);
  std::size_t find_value_end(std::size_t from, char opening, int& depth) const;

  void report_header(std::string_view message) {
    messages_ << "BibTeX file corrupted in reference: " << number_ << "\n" << message;
  }
  void report_field(std::string_view message) {
    messages_ << "BibTeX file corrupted in reference " << number_ << " ! \n" << message;
  }

  ReferenceDatabase& database_;
  LineReader lines_;
  std::ostream& messages_;
  std::string_view line_;
  std::size_t pos_ = 0;
  std::size_t number_ = 0;  // reference number of the entry being read
  ReferenceBuilder entry_;
  std::string value_;
  bool todays_style_ = false;
};

void BibtexReader::run() {
  if (!next_line()) return;
  for (;;) {
    // Everything up to the next at sign is passed over.
    std::size_t at;
    while ((at = line_.find('@', pos_)) == std::string_view::npos) {
      if (!next_line()) return;
    }
    pos_ = at + 1;

    database_.add_reference();
    number_ = database_.ref_count();
    entry_.clear();
    const Outcome outcome = read_entry();
    entry_.move_into(database_.reference(number_ - 1));
    if (outcome != Outcome::kNextEntry) return;
  }
}

BibtexReader::Outcome BibtexReader::read_entry() {
  const std::size_t brace = line_.find('{', pos_);
  // An entry in parentheses, or a block this format takes for an entry.
  const std::size_t parenthesis = line_.find('(', pos_);
  const std::string_view type = trimmed(line_.substr(pos_, std::min(brace, parenthesis) - pos_));
  if (parenthesis < brace || same_word(type, "string") || same_word(type, "preamble") || same_word(type, "comment")) {
    todays_style_ = true;
  }
  if (brace == std::string_view::npos || brace == pos_) {
    report_header("Entrytype must be followed by >> { << \n");
    return Outcome::kStop;
  }
  entry_.set_text(kEntryTypeSlot, line_.substr(pos_, brace - pos_));

  const std::size_t comma = line_.find(',', brace + 1);
  if (comma == std::string_view::npos || comma == brace + 1) {
    report_header("Entrykey must be followed by >> , << \n");
    return Outcome::kStop;
  }
  const std::string_view key = line_.substr(brace + 1, comma - brace - 1);
  if (!written_as_refid(key)) todays_style_ = true;
  entry_.ref_id = parse_key(key);
  pos_ = comma + 1;
  return read_fields();
}

BibtexReader::Outcome BibtexReader::read_fields() {
  for (;;) {
    skip_spaces();
    if (pos_ == line_.size()) {
      // The next line is tested at once, even when it is empty.
      if (!next_line()) return Outcome::kEndOfFile;
      skip_spaces();
    }

    const FieldInfo* field = match_field(rest());
    if (field == nullptr) {
      if (pos_ < line_.size() && line_[pos_] == '}') {
        ++pos_;  // the entry is complete; seek on after the brace
        return Outcome::kNextEntry;
      }
      messages_ << "unknown field: " << rest() << " skip this line! \n";
      todays_style_ = true;
      if (!next_line()) return Outcome::kEndOfFile;
      continue;
    }

    const std::size_t equals = line_.find('=', pos_);
    if (equals == std::string_view::npos) {
      report_field(std::string("\"").append(field->name).append("\" must be followed by >> = << \n"));
      return Outcome::kStop;
    }
    pos_ = equals + 1;
    skip_spaces();
    if (pos_ == line_.size() || (line_[pos_] != '{' && line_[pos_] != '"')) {
      report_field(std::string(field->name).append(" must start with either >> { << or >> \" << \n"));
      return Outcome::kStop;
    }
    const char opening = line_[pos_++];
    const Outcome outcome = read_value(*field, opening);
    if (outcome != Outcome::kNextEntry) return outcome;

    skip_spaces();
    if (pos_ == line_.size()) {
      // A value that ends its line ends the entry.
      if (!next_line()) return Outcome::kEndOfFile;
      return Outcome::kNextEntry;
    }
    if (line_[pos_] == ',') {
      ++pos_;
      continue;
    }
    report_field(std::string(field->name).append(" field must be terminated with >> , << \n"));
    return Outcome::kStop;
  }
}

// The position of the closing delimiter on the current line from `from`
// on, or npos. A braced value ends at the brace that closes the opening one
// (depth carries over lines); a quoted value at the first double quote not
// directly after a backslash and not enclosed as {"}.
std::size_t BibtexReader::find_value_end(std::size_t from, char opening, int& depth) const {
  const char* data = line_.data();
  const std::size_t size = line_.size();
  if (opening == '{') {
    // Jump from closing brace to closing brace, counting the opening ones
    // in between.
    std::size_t i = from;
    while (i < size) {
      const void* found = std::memchr(data + i, '}', size - i);
      const std::size_t close = found ? static_cast<std::size_t>(static_cast<const char*>(found) - data) : size;
      depth += static_cast<int>(std::count(data + i, data + close, '{'));
      if (close == size) break;
      if (--depth == 0) return close;
      i = close + 1;
    }
    return std::string_view::npos;
  }
  for (std::size_t i = from; i < size; ++i) {
    const void* quote = std::memchr(data + i, '"', size - i);
    if (quote == nullptr) break;
    i = static_cast<std::size_t>(static_cast<const char*>(quote) - data);
    if (i > 0 && data[i - 1] == '\\') continue;
    if (i > 0 && data[i - 1] == '{' && i + 1 < size && data[i + 1] == '}') continue;
    return i;
  }
  return std::string_view::npos;
}

BibtexReader::Outcome BibtexReader::read_value(const FieldInfo& field, char opening) {
  // A value over several lines is the parts of its lines joined by line
  // feeds; it is stored as one append, which gives the same text as
  // appending part after part.
  value_.clear();
  int depth = 1;
  std::size_t start = pos_;
  for (;;) {
    const std::size_t end = find_value_end(start, opening, depth);
    if (end != std::string_view::npos) {
      append_part(line_.substr(start, end - start));
      entry_.append_text(field.slot, std::move(value_));
      value_.clear();
      pos_ = end + 1;
      return Outcome::kNextEntry;
    }
    append_part(line_.substr(start));
    if (!next_line()) {
      // The file ended inside the value: keep what was read of it.
      entry_.append_text(field.slot, std::move(value_));
      value_.clear();
      return Outcome::kEndOfFile;
    }
    value_.push_back('\n');
    start = 0;
  }
}

}  // namespace

ReadResult read_bibtex(ReferenceDatabase& database, const std::string& path, std::ostream& messages) {
  FormatHints hints;
  return read_bibtex(database, path, messages, hints);
}

ReadResult read_bibtex(ReferenceDatabase& database, const std::string& path, std::ostream& messages,
                       FormatHints& hints) {
  FilePtr file = open_for_reading(path, messages);
  if (!file) {
    messages << "Cannot open file: " << path << "\n";
    return ReadResult::kCannotOpen;
  }
  hints.todays_bibtex = read_bibtex(database, file.get(), messages);
  return reading_result(file.get());
}

bool read_bibtex(ReferenceDatabase& database, std::FILE* stream, std::ostream& messages) {
  BibtexReader reader(database, stream, messages);
  reader.run();
  return reader.todays_style();
}

}  // namespace refloom
