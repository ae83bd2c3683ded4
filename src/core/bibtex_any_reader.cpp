#include "core/bibtex_any_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

#include "core/fields.h"
#include "core/file_io.h"
#include "core/line_reader.h"
#include "core/numbering.h"
#include "core/reference.h"

namespace refloom {

namespace {

constexpr std::array<std::string_view, 12> kMonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};

// The month macros as the standard styles (plain.bst and its kin) define them.
constexpr std::array<std::string_view, 12> kMonthMacros = {"jan", "feb", "mar", "apr", "may", "jun",
                                                          "jul", "aug", "sep", "oct", "nov", "dec"};

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; }

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// BibTeX's identifiers (entry types, keys of @string, field names, macro
// names) may hold any printable character but these.
bool is_name_char(char c) {
  if (is_blank(c)) return false;
  switch (c) {
    case '"': case '#': case '%': case '\'': case '(': case ')': case ',': case '=': case '{': case '}': case '@':
      return false;
    default:
      return c != '\0';
  }
}

std::string lower_case(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

// A key as Refloom writes it: decimal digits without a leading zero (or "0"
// itself), within 64 bits. Anything else is kept as text.
std::optional<RefId> numeric_key(std::string_view key) {
  if (key.empty() || key.size() > 20 || (key.size() > 1 && key[0] == '0')) return std::nullopt;
  RefId value = 0;
  for (char c : key) {
    if (!is_digit(c)) return std::nullopt;
    const auto digit = static_cast<RefId>(c - '0');
    if (value > (std::numeric_limits<RefId>::max() - digit) / 10) return std::nullopt;
    value = value * 10 + digit;
  }
  return value;
}

void append_utf8(char32_t code, std::string& out) {
  if (code < 0x80) {
    out.push_back(static_cast<char>(code));
  } else if (code < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (code >> 6)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else if (code < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (code >> 12)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (code >> 18)));
    out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
  }
}

// UTF-16 text after its byte order mark, as UTF-8. A surrogate without its
// partner becomes U+FFFD; an odd last byte is dropped.
std::string utf16_to_utf8(std::string_view bytes, bool big_endian) {
  std::string out;
  out.reserve(bytes.size());
  const auto unit = [&](std::size_t i) -> char32_t {
    const auto a = static_cast<unsigned char>(bytes[i]);
    const auto b = static_cast<unsigned char>(bytes[i + 1]);
    return big_endian ? static_cast<char32_t>((a << 8) | b) : static_cast<char32_t>((b << 8) | a);
  };
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char32_t code = unit(i);
    if (code >= 0xD800 && code <= 0xDBFF && i + 3 < bytes.size()) {
      const char32_t low = unit(i + 2);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
        i += 2;
      } else {
        code = 0xFFFD;
      }
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = 0xFFFD;
    }
    append_utf8(code, out);
  }
  return out;
}

// Fields that newer styles (biblatex) name differently; each fills its field
// only when the entry does not give that field under its own name.
enum Alias { kJournaltitle, kLocation, kDate, kAliasCount };
constexpr std::array<std::string_view, kAliasCount> kAliasNames = {"journaltitle", "location", "date"};

// Whether the quote at `i` is followed by a comma that ends the line, as
// Refloom writes the end of every quoted value.
bool ends_written_line(std::string_view line, std::size_t i) {
  if (i + 1 >= line.size() || line[i + 1] != ',') return false;
  for (std::size_t k = i + 2; k < line.size(); ++k) {
    if (line[k] != '\r') return false;
  }
  return true;
}

// The text as a sequence of lines, from a file through the shared line
// reader or from text in memory. Each line is followed by a line feed.
class Lines {
 public:
  explicit Lines(std::FILE* file) : reader_(std::in_place, file) {}
  explicit Lines(std::string text) : text_(std::move(text)) {}

  // The next line, valid until the next call; false at the end.
  bool next(std::string_view& line) {
    if (reader_) return reader_->next(line);
    if (offset_ >= text_.size()) return false;
    const std::size_t end = std::min(text_.find('\n', offset_), text_.size());
    line = std::string_view(text_).substr(offset_, end - offset_);
    offset_ = end + 1;
    return true;
  }

 private:
  std::optional<LineReader> reader_;
  std::string text_;
  std::size_t offset_ = 0;
};

// The tokenizer runs over the lines as they come, so that a large file is
// never held twice in memory; a token other than a value never spans lines.
class AnyReader {
 public:
  AnyReader(ReferenceDatabase& database, std::unique_ptr<Lines> lines, std::ostream& messages)
      : database_(database), lines_(std::move(lines)), messages_(messages) {
    for (std::size_t i = 0; i < kMonthMacros.size(); ++i) {
      macros_.emplace(std::string(kMonthMacros[i]), std::string(kMonthNames[i]));
    }
  }

  // Reads everything; `first_line` is the file's first line, already taken
  // (without a byte order mark).
  void run(std::optional<std::string_view> first_line);

 private:
  // The current line; pos_ == line_.size() stands on its line feed.
  bool next_line() {
    if (!lines_->next(line_)) {
      line_ = {};
      pos_ = 0;
      eof_ = true;
      return false;
    }
    pos_ = 0;
    ++line_number_;
    return true;
  }
  bool at_end() const { return eof_; }
  char peek() const {
    if (eof_) return '\0';
    return pos_ < line_.size() ? line_[pos_] : '\n';
  }
  void advance() {
    if (pos_ < line_.size()) {
      ++pos_;
    } else {
      next_line();
    }
  }
  void skip_blanks() {
    while (!eof_) {
      while (pos_ < line_.size() && is_blank(line_[pos_])) ++pos_;
      if (pos_ < line_.size()) return;
      next_line();
    }
  }
  std::string_view read_name() {
    const std::size_t start = pos_;
    while (pos_ < line_.size() && is_name_char(line_[pos_])) ++pos_;
    return line_.substr(start, pos_ - start);
  }

  void report(std::size_t line, std::string_view what);

  void read_at_sign();
  void skip_block(char open, char close);
  void read_string_definition(char close);
  void read_preamble(char close);
  void read_entry(char close, std::size_t at_line);
  bool read_field(const std::string& name, char close, std::size_t at_line);
  bool read_value(std::string_view field, std::string& value);
  bool read_delimited(std::string& value);
  void give_up_value(std::size_t start_line, std::string_view part, std::string_view field);
  void store_field(std::string_view name, const std::string& value);
  void finish_entry(std::string_view key);
  void number_new_references();
  void report_fields_not_kept();

  ReferenceDatabase& database_;
  std::unique_ptr<Lines> lines_;
  std::ostream& messages_;
  std::string_view line_;
  std::size_t pos_ = 0;
  std::size_t line_number_ = 0;
  bool eof_ = false;

  std::unordered_map<std::string, std::string> macros_;
  std::vector<std::string> unknown_macros_reported_;
  std::map<std::string, std::size_t> not_kept_;  // field name -> how often

  ReferenceBuilder entry_;
  std::array<std::optional<std::string>, kAliasCount> aliases_;
  std::string value_;
  std::string name_;
  std::string key_;
  std::string lowered_;
  std::vector<std::size_t> without_number_;  // database indices needing a RefId
};

void AnyReader::report(std::size_t line, std::string_view what) {
  messages_ << "BibTeX file corrupted in line " << line << ": " << what << ", going on with the next entry \n";
}

void AnyReader::run(std::optional<std::string_view> first_line) {
  if (first_line) {
    line_ = *first_line;
    line_number_ = 1;
  } else {
    next_line();
  }
  while (!eof_) {
    const std::size_t at = line_.find('@', pos_);
    if (at == std::string_view::npos) {
      next_line();
      continue;
    }
    pos_ = at + 1;
    read_at_sign();
  }
  number_new_references();
  report_fields_not_kept();
}

void AnyReader::read_at_sign() {
  const std::size_t at_line = line_number_;
  skip_blanks();
  const std::string type = lower_case(read_name());
  if (type.empty()) {
    report(line_number_, "entry type expected after >> @ <<");
    return;
  }
  const std::size_t type_line = line_number_;
  skip_blanks();
  const char open = peek();
  // As in BibTeX, "@comment" without a block is passed over like any text.
  if (type == "comment" && open != '{' && open != '(') return;
  if (open != '{' && open != '(') {
    report(type_line, "entry type must be followed by >> { << or >> ( <<");
    return;
  }
  advance();
  const char close = open == '{' ? '}' : ')';
  if (type == "comment") {
    skip_block(open, close);
  } else if (type == "string") {
    read_string_definition(close);
  } else if (type == "preamble") {
    read_preamble(close);
  } else {
    entry_.clear();
    entry_.set_text(kEntryTypeSlot, type);
    read_entry(close, at_line);
  }
}

// A comment block is passed over to its balanced closing delimiter, so that
// an entry commented out inside it stays out.
void AnyReader::skip_block(char open, char close) {
  int depth = 1;
  while (!eof_) {
    for (; pos_ < line_.size(); ++pos_) {
      if (line_[pos_] == open) {
        ++depth;
      } else if (line_[pos_] == close && --depth == 0) {
        ++pos_;
        return;
      }
    }
    next_line();
  }
}

void AnyReader::read_string_definition(char close) {
  skip_blanks();
  const std::string name = lower_case(read_name());
  if (name.empty()) {
    report(line_number_, "@string must define a macro as >> name = value <<");
    return;
  }
  skip_blanks();
  if (peek() != '=') {
    report(line_number_, "\"" + name + "\" must be followed by >> = <<");
    return;
  }
  advance();
  std::string value;
  if (!read_value(name, value)) return;
  skip_blanks();
  if (peek() != close) {
    report(line_number_, std::string("@string must end with >> ") + close + " <<");
    return;
  }
  advance();
  macros_[name] = std::move(value);
}

void AnyReader::read_preamble(char close) {
  std::string ignored;
  if (!read_value("preamble", ignored)) return;
  skip_blanks();
  if (peek() != close) {
    report(line_number_, std::string("@preamble must end with >> ") + close + " <<");
    return;
  }
  advance();
}

void AnyReader::read_entry(char close, std::size_t at_line) {
  for (auto& alias : aliases_) alias.reset();
  skip_blanks();
  // A key holds no braces or quotes, so that it can be kept as a value.
  const std::size_t key_start = pos_;
  while (pos_ < line_.size() && line_[pos_] != ',' && line_[pos_] != close && line_[pos_] != '{' &&
         line_[pos_] != '}' && line_[pos_] != '"' && !is_blank(line_[pos_]) && line_[pos_] != '=') {
    ++pos_;
  }
  key_.assign(line_.substr(key_start, pos_ - key_start));
  skip_blanks();
  bool go_on = true;
  if (peek() == '=' && !key_.empty()) {
    // No key at all: what looked like one is the first field's name.
    name_ = key_;
    key_.clear();
    go_on = read_field(name_, close, at_line);
  } else if (peek() == ',') {
    advance();
  } else if (peek() == close) {
    advance();
    go_on = false;
  } else {
    report(at_end() ? at_line : line_number_, "entry key must be followed by >> , <<");
    go_on = false;
  }

  while (go_on) {
    skip_blanks();
    if (at_end()) {
      report(at_line, "entry not closed before the end of the file");
      break;
    }
    const char c = peek();
    if (c == close) {
      advance();
      break;
    }
    if (c == ',') {  // comma-first style, and doubled commas
      advance();
      continue;
    }
    name_.assign(read_name());
    if (name_.empty()) {
      report(line_number_, "field name expected");
      break;
    }
    skip_blanks();
    go_on = read_field(name_, close, at_line);
  }
  finish_entry(key_);
}

// From the "=" on: the value, then a comma or the entry's end. False when
// the entry ends here, in order or not.
bool AnyReader::read_field(const std::string& name, char close, std::size_t at_line) {
  if (peek() != '=') {
    // Appended piece by piece: GCC 12 at -O3 takes "\"" + std::string for a
    // possibly overlapping copy (-Wrestrict), a false positive.
    std::string message(1, '"');
    message += lower_case(name);
    message += "\" must be followed by >> = <<";
    report(line_number_, message);
    return false;
  }
  advance();
  if (!read_value(name, value_)) return false;
  store_field(name, value_);
  skip_blanks();
  if (peek() == ',') {
    advance();
    return true;
  }
  if (peek() == close) {
    advance();
    return false;
  }
  report(at_end() ? at_line : line_number_,
         lower_case(name) + " field must be terminated with >> , << or >> " + std::string(1, close) + " <<");
  return false;
}

// A value: parts in braces, in quotes, numbers or macro names, joined by #.
bool AnyReader::read_value(std::string_view field, std::string& value) {
  value.clear();
  for (;;) {
    skip_blanks();
    const char c = peek();
    if (c == '{' || c == '"') {
      const std::size_t start_line = line_number_;
      const std::size_t part_start = value.size();
      if (!read_delimited(value)) {
        give_up_value(start_line, std::string_view(value).substr(part_start), field);
        return false;
      }
    } else if (is_digit(c)) {
      const std::size_t start = pos_;
      while (pos_ < line_.size() && is_digit(line_[pos_])) ++pos_;
      value.append(line_.substr(start, pos_ - start));
    } else if (!at_end() && is_name_char(c)) {
      const std::string_view name = read_name();
      lowered_ = lower_case(name);
      const auto found = macros_.find(lowered_);
      if (found != macros_.end()) {
        value.append(found->second);
      } else {
        if (std::find(unknown_macros_reported_.begin(), unknown_macros_reported_.end(), lowered_) ==
            unknown_macros_reported_.end()) {
          unknown_macros_reported_.push_back(lowered_);
          messages_ << "unknown macro in line " << line_number_ << ": " << name << ", read as its name \n";
        }
        value.append(name);
      }
    } else {
      report(line_number_, lower_case(field) + " must start with >> { <<, >> \" <<, a number or a macro name");
      return false;
    }
    skip_blanks();
    if (peek() != '#') return true;
    advance();
  }
}

// A part in braces ends at the brace that closes the opening one. A part in
// quotes ends, as in BibTeX, at a double quote outside braces; a quote
// directly after a backslash or enclosed as {"} does not end it, as in the
// BibTeX format, so that every value Refloom writes in quotes reads back (a
// stray closing brace counts as leaving the braces, and a value with a
// brace left open ends where Refloom ends its values: a quote, a comma and
// the line end). Carriage returns before a line feed belong to the line
// end, also inside a value.
bool AnyReader::read_delimited(std::string& value) {
  const bool braced = line_[pos_] == '{';
  long depth = braced ? 1 : 0;
  std::size_t start = pos_ + 1;
  char before = line_[pos_];  // the character before the one looked at
  for (;;) {
    const char* data = line_.data();
    const std::size_t size = line_.size();
    std::size_t end = std::string_view::npos;
    if (braced) {
      for (std::size_t i = start; i < size; ++i) {
        if (data[i] == '{') {
          ++depth;
        } else if (data[i] == '}' && --depth == 0) {
          end = i;
          break;
        }
      }
    } else {
      for (std::size_t i = start; i < size; ++i) {
        const char c = data[i];
        const char previous = i > start ? data[i - 1] : before;
        if (c == '{') {
          ++depth;
        } else if (c == '}') {
          --depth;
        } else if (c == '"' && previous != '\\' && !(previous == '{' && i + 1 < size && data[i + 1] == '}') &&
                   (depth <= 0 || ends_written_line(line_, i))) {
          end = i;
          break;
        }
      }
    }
    if (end != std::string_view::npos) {
      value.append(line_.substr(start, end - start));
      pos_ = end + 1;
      return true;
    }
    value.append(line_.substr(start));
    while (!value.empty() && value.back() == '\r') value.pop_back();
    value.push_back('\n');
    if (!next_line()) return false;
    start = 0;
    before = '\n';
  }
}

// A value that never ends would swallow the rest of the file: the reader
// goes on at the first line after the value's start that begins an entry.
void AnyReader::give_up_value(std::size_t start_line, std::string_view part, std::string_view field) {
  report(start_line, lower_case(field) + " value not terminated before the end of the file");
  std::size_t line_end = part.find('\n');
  std::size_t line_number = start_line;
  while (line_end != std::string_view::npos) {
    const std::size_t next = line_end + 1;
    ++line_number;
    std::size_t first = next;
    while (first < part.size() && (part[first] == ' ' || part[first] == '\t')) ++first;
    if (first < part.size() && part[first] == '@') {
      // The file is read to its end; what follows is taken from the value.
      lines_ = std::make_unique<Lines>(std::string(part.substr(next)));
      eof_ = false;
      line_number_ = line_number - 1;
      next_line();
      pos_ = first - next;
      return;
    }
    line_end = part.find('\n', next);
  }
}

void AnyReader::store_field(std::string_view name, const std::string& value) {
  lowered_ = lower_case(name);
  if (const auto slot = field_slot(lowered_)) {
    entry_.append_text(*slot, value);
    return;
  }
  if (lowered_ == "keywords") {
    entry_.append_text(kKeyword, value);
    return;
  }
  for (std::size_t i = 0; i < kAliasNames.size(); ++i) {
    if (lowered_ == kAliasNames[i]) {
      auto& alias = aliases_[i];
      if (alias) {
        alias->append(1, '\n').append(value);
      } else {
        alias = value;
      }
      return;
    }
  }
  ++not_kept_[lowered_];
}

void AnyReader::finish_entry(std::string_view key) {
  const auto take_alias = [this](Alias alias, int slot) {
    if (!aliases_[alias]) return;
    if (entry_.has(slot)) {
      ++not_kept_[std::string(kAliasNames[alias])];
    } else {
      entry_.set_text(slot, *aliases_[alias]);
    }
  };
  take_alias(kJournaltitle, kJournal);
  take_alias(kLocation, kAddress);
  if (aliases_[kDate]) {
    // An ISO date (2020, 2020-03, 2020-03-15, or a range of them): its year,
    // and its month when the entry gives none.
    const std::string& date = *aliases_[kDate];
    if (entry_.has(kYear)) {
      ++not_kept_["date"];
    } else {
      std::size_t digits = 0;
      while (digits < date.size() && is_digit(date[digits])) ++digits;
      if (digits == 0) {
        entry_.set_text(kYear, date);
      } else {
        entry_.set_text(kYear, std::string_view(date).substr(0, digits));
        if (!entry_.has(kMonth) && date.size() >= digits + 3 && date[digits] == '-' && is_digit(date[digits + 1]) &&
            is_digit(date[digits + 2]) && (digits + 3 == date.size() || !is_digit(date[digits + 3]))) {
          const int month = (date[digits + 1] - '0') * 10 + (date[digits + 2] - '0');
          if (month >= 1 && month <= 12) entry_.set_text(kMonth, kMonthNames[static_cast<std::size_t>(month - 1)]);
        }
      }
    }
  }

  if (const auto number = numeric_key(key)) {
    entry_.ref_id = *number;
  } else {
    entry_.ref_id = 0;
    without_number_.push_back(database_.ref_count());
    if (!key.empty()) {
      std::string kept = "BibTeX key: ";
      kept.append(key);
      entry_.append_text(kComment, kept);
    }
  }
  Reference reference;
  entry_.store_into(reference);
  database_.append_reference(std::move(reference));
}

// Fresh identifiers only once every number of the file is known, so that
// none of them is given to a second reference.
void AnyReader::number_new_references() {
  if (without_number_.empty()) return;
  std::vector<RefId> in_use;
  in_use.reserve(database_.ref_count());
  std::size_t next_without = 0;
  for (std::size_t i = 0; i < database_.ref_count(); ++i) {
    if (next_without < without_number_.size() && without_number_[next_without] == i) {
      ++next_without;
      continue;
    }
    in_use.push_back(database_.reference(i).ref_id());
  }
  RefIdAllocator allocator(std::move(in_use));
  for (std::size_t index : without_number_) {
    const RefId id = allocator.peek();
    allocator.take(id);
    database_.reference(index).set_ref_id(id);
  }
}

void AnyReader::report_fields_not_kept() {
  if (not_kept_.empty()) return;
  messages_ << "fields not kept:";
  const char* separator = " ";
  for (const auto& [name, count] : not_kept_) {
    messages_ << separator << name << " (" << count << ")";
    separator = ", ";
  }
  messages_ << " \n";
}

void read_lines(ReferenceDatabase& database, std::unique_ptr<Lines> lines, std::ostream& messages) {
  std::string_view first;
  if (!lines->next(first)) return;
  // UTF-16 has its byte order mark, or shows itself by a NUL next to the
  // first character, which no 8-bit text has.
  const bool marked = first.starts_with("\xFF\xFE") || first.starts_with("\xFE\xFF");
  const bool unmarked = !marked && first.size() >= 2 && (first[0] == '\0') != (first[1] == '\0');
  if (marked || unmarked) {
    // The whole text is converted first. The line reader took the line feed
    // bytes apart; they are put back.
    std::string bytes(first);
    std::string_view line;
    while (lines->next(line)) bytes.append(1, '\n').append(line);
    if (bytes.size() % 2 == 1) bytes.push_back('\n');
    const bool big_endian = marked ? bytes[0] == '\xFE' : bytes[0] == '\0';
    auto converted =
        std::make_unique<Lines>(utf16_to_utf8(std::string_view(bytes).substr(marked ? 2 : 0), big_endian));
    AnyReader(database, std::move(converted), messages).run(std::nullopt);
    return;
  }
  if (first.starts_with("\xEF\xBB\xBF")) first.remove_prefix(3);
  AnyReader(database, std::move(lines), messages).run(first);
}

}  // namespace

void read_bibtex_any_text(ReferenceDatabase& database, std::string_view text, std::ostream& messages) {
  read_lines(database, std::make_unique<Lines>(std::string(text)), messages);
}

void read_bibtex_any(ReferenceDatabase& database, std::FILE* stream, std::ostream& messages) {
  read_lines(database, std::make_unique<Lines>(stream), messages);
}

int read_bibtex_any(ReferenceDatabase& database, const std::string& path, std::ostream& messages) {
  FilePtr file = open_for_reading(path, messages, TextEncodings::kEightBitOrUtf16);
  if (!file) {
    messages << "Cannot open file: " << path << "\n";
    return -1;
  }
  read_bibtex_any(database, file.get(), messages);
  return reading_result(file.get());
}

}  // namespace refloom
