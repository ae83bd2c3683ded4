#include "core/bibtex_any_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <map>
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

class AnyReader {
 public:
  AnyReader(ReferenceDatabase& database, std::string_view text, std::ostream& messages)
      : database_(database), text_(text), messages_(messages) {
    for (std::size_t i = 0; i < kMonthMacros.size(); ++i) {
      macros_.emplace(std::string(kMonthMacros[i]), std::string(kMonthNames[i]));
    }
  }

  void run();

 private:
  bool at_end() const { return pos_ >= text_.size(); }
  char peek() const { return pos_ < text_.size() ? text_[pos_] : '\0'; }
  void skip_blanks() {
    while (pos_ < text_.size() && is_blank(text_[pos_])) ++pos_;
  }
  std::string_view read_name() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && is_name_char(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
  }

  std::size_t line_at(std::size_t position);
  void report(std::size_t position, std::string_view what);

  void read_at_sign();
  void skip_block(char open, char close);
  void read_string_definition(char close);
  void read_preamble(char close);
  void read_entry(char close, std::size_t at);
  bool read_value(std::string_view field, std::string& value);
  bool read_delimited(std::string& value);
  void give_up_value(std::size_t start, std::string_view field, std::string_view what);
  void store_field(std::string_view name, const std::string& value);
  void finish_entry(std::string_view key);
  void number_new_references();
  void report_fields_not_kept();

  ReferenceDatabase& database_;
  std::string_view text_;
  std::ostream& messages_;
  std::size_t pos_ = 0;

  std::size_t counted_pos_ = 0;  // line_at counts on from here
  std::size_t counted_line_ = 1;

  std::unordered_map<std::string, std::string> macros_;
  std::vector<std::string> unknown_macros_reported_;
  std::map<std::string, std::size_t> not_kept_;  // field name -> how often

  ReferenceBuilder entry_;
  std::array<std::optional<std::string>, kAliasCount> aliases_;
  std::string value_;
  std::string lowered_;
  std::vector<std::size_t> without_number_;  // database indices needing a RefId
};

std::size_t AnyReader::line_at(std::size_t position) {
  position = std::min(position, text_.size());
  if (position < counted_pos_) {
    counted_pos_ = 0;
    counted_line_ = 1;
  }
  counted_line_ += static_cast<std::size_t>(
      std::count(text_.begin() + static_cast<std::ptrdiff_t>(counted_pos_),
                 text_.begin() + static_cast<std::ptrdiff_t>(position), '\n'));
  counted_pos_ = position;
  return counted_line_;
}

void AnyReader::report(std::size_t position, std::string_view what) {
  messages_ << "BibTeX file corrupted in line " << line_at(position) << ": " << what
            << ", going on with the next entry \n";
}

void AnyReader::run() {
  for (;;) {
    const std::size_t at = text_.find('@', pos_);
    if (at == std::string_view::npos) break;
    pos_ = at + 1;
    read_at_sign();
  }
  number_new_references();
  report_fields_not_kept();
}

void AnyReader::read_at_sign() {
  const std::size_t at = pos_ - 1;
  skip_blanks();
  const std::string type = lower_case(read_name());
  if (type.empty()) {
    report(pos_, "entry type expected after >> @ <<");
    return;
  }
  const std::size_t type_end = pos_;
  skip_blanks();
  const char open = peek();
  if (open != '{' && open != '(') {
    report(type_end, "entry type must be followed by >> { << or >> ( <<");
    return;
  }
  ++pos_;
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
    read_entry(close, at);
  }
}

// A comment block is passed over to its balanced closing delimiter, so that
// an entry commented out inside it stays out.
void AnyReader::skip_block(char open, char close) {
  int depth = 1;
  for (; pos_ < text_.size(); ++pos_) {
    if (text_[pos_] == open) {
      ++depth;
    } else if (text_[pos_] == close && --depth == 0) {
      ++pos_;
      return;
    }
  }
}

void AnyReader::read_string_definition(char close) {
  skip_blanks();
  const std::size_t name_at = pos_;
  const std::string name = lower_case(read_name());
  if (name.empty()) {
    report(name_at, "@string must define a macro as >> name = value <<");
    return;
  }
  skip_blanks();
  if (peek() != '=') {
    report(pos_, "\"" + name + "\" must be followed by >> = <<");
    return;
  }
  ++pos_;
  std::string value;
  if (!read_value(name, value)) return;
  skip_blanks();
  if (peek() != close) {
    report(pos_, std::string("@string must end with >> ") + close + " <<");
    return;
  }
  ++pos_;
  macros_[name] = std::move(value);
}

void AnyReader::read_preamble(char close) {
  std::string ignored;
  if (!read_value("preamble", ignored)) return;
  skip_blanks();
  if (peek() != close) {
    report(pos_, std::string("@preamble must end with >> ") + close + " <<");
    return;
  }
  ++pos_;
}

void AnyReader::read_entry(char close, std::size_t at) {
  for (auto& alias : aliases_) alias.reset();
  skip_blanks();
  const std::size_t key_start = pos_;
  // A key holds no braces or quotes, so that it can be kept as a value.
  while (pos_ < text_.size() && text_[pos_] != ',' && text_[pos_] != close && text_[pos_] != '{' &&
         text_[pos_] != '}' && text_[pos_] != '"' && !is_blank(text_[pos_]) && text_[pos_] != '=') {
    ++pos_;
  }
  std::string_view key = text_.substr(key_start, pos_ - key_start);
  skip_blanks();
  if (peek() == '=' && !key.empty()) {
    // No key at all: what looked like one is the first field's name.
    key = {};
    pos_ = key_start;
  } else if (peek() == ',') {
    ++pos_;
  } else if (peek() != close) {
    report(at_end() ? at : pos_, "entry key must be followed by >> , <<");
    finish_entry(key);
    return;
  }

  for (;;) {
    skip_blanks();
    if (at_end()) {
      report(at, "entry not closed before the end of the file");
      break;
    }
    const char c = peek();
    if (c == close) {
      ++pos_;
      break;
    }
    if (c == ',') {  // comma-first style, and doubled commas
      ++pos_;
      continue;
    }
    const std::size_t name_at = pos_;
    const std::string_view name = read_name();
    if (name.empty()) {
      report(name_at, "field name expected");
      break;
    }
    skip_blanks();
    if (peek() != '=') {
      report(pos_, "\"" + lower_case(name) + "\" must be followed by >> = <<");
      break;
    }
    ++pos_;
    if (!read_value(name, value_)) break;
    store_field(name, value_);
    skip_blanks();
    if (peek() == ',') {
      ++pos_;
    } else if (peek() != close) {
      report(at_end() ? at : pos_,
             lower_case(name) + " field must be terminated with >> , << or >> " + std::string(1, close) + " <<");
      break;
    }
  }
  finish_entry(key);
}

// A value: parts in braces, in quotes, numbers or macro names, joined by #.
bool AnyReader::read_value(std::string_view field, std::string& value) {
  value.clear();
  for (;;) {
    skip_blanks();
    const std::size_t start = pos_;
    const char c = peek();
    if (c == '{' || c == '"') {
      if (!read_delimited(value)) {
        give_up_value(start, field, "value not terminated before the end of the file");
        return false;
      }
    } else if (is_digit(c)) {
      while (pos_ < text_.size() && is_digit(text_[pos_])) ++pos_;
      value.append(text_.substr(start, pos_ - start));
    } else if (is_name_char(c)) {
      const std::string_view name = read_name();
      const auto found = macros_.find(lower_case(name));
      if (found != macros_.end()) {
        value.append(found->second);
      } else {
        const std::string lowered = lower_case(name);
        if (std::find(unknown_macros_reported_.begin(), unknown_macros_reported_.end(), lowered) ==
            unknown_macros_reported_.end()) {
          unknown_macros_reported_.push_back(lowered);
          messages_ << "unknown macro in line " << line_at(start) << ": " << name << ", read as its name \n";
        }
        value.append(name);
      }
    } else {
      report(start, lower_case(field) + " must start with >> { <<, >> \" <<, a number or a macro name");
      return false;
    }
    skip_blanks();
    if (peek() != '#') return true;
    ++pos_;
  }
}

// A part in braces ends at the brace that closes the opening one. A part in
// quotes ends, as in BibTeX, at a double quote outside braces; a quote
// directly after a backslash or enclosed as {"} does not end it, as in the
// BibTeX format, so that every value Refloom writes in quotes reads back
// (a stray closing brace counts as leaving the braces). Carriage returns
// before a line feed belong to the line end, also inside a value.
bool AnyReader::read_delimited(std::string& value) {
  const char* data = text_.data();
  const std::size_t size = text_.size();
  const std::size_t begin = pos_ + 1;
  std::size_t end = std::string_view::npos;
  if (data[pos_] == '{') {
    long depth = 1;
    for (std::size_t i = begin; i < size; ++i) {
      if (data[i] == '{') {
        ++depth;
      } else if (data[i] == '}' && --depth == 0) {
        end = i;
        break;
      }
    }
  } else {
    long depth = 0;
    for (std::size_t i = begin; i < size; ++i) {
      const char c = data[i];
      if (c == '{') {
        ++depth;
      } else if (c == '}') {
        --depth;
      } else if (c == '"' && depth <= 0 && data[i - 1] != '\\' &&
                 !(data[i - 1] == '{' && i + 1 < size && data[i + 1] == '}')) {
        end = i;
        break;
      }
    }
  }
  if (end == std::string_view::npos) return false;
  const std::string_view part = text_.substr(begin, end - begin);
  if (std::memchr(part.data(), '\r', part.size()) == nullptr) {
    value.append(part);
  } else {
    for (char c : part) {
      if (c == '\n') {
        while (!value.empty() && value.back() == '\r') value.pop_back();
      }
      value.push_back(c);
    }
  }
  pos_ = end + 1;
  return true;
}

// A value that never ends would swallow the rest of the file: the reader
// goes on at the first line after the value's start that begins an entry.
void AnyReader::give_up_value(std::size_t start, std::string_view field, std::string_view what) {
  report(start, lower_case(field) + " " + std::string(what));
  std::size_t next = start;
  for (;;) {
    next = text_.find('\n', next);
    if (next == std::string_view::npos) {
      pos_ = text_.size();
      return;
    }
    ++next;
    std::size_t first = next;
    while (first < text_.size() && (text_[first] == ' ' || text_[first] == '\t')) ++first;
    if (first < text_.size() && text_[first] == '@') {
      pos_ = first;
      return;
    }
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

void read_decoded(ReferenceDatabase& database, std::string_view text, std::ostream& messages) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
    const std::string converted = utf16_to_utf8(text.substr(2), text[0] == '\xFE');
    AnyReader(database, converted, messages).run();
    return;
  }
  AnyReader(database, text, messages).run();
}

}  // namespace

void read_bibtex_any_text(ReferenceDatabase& database, std::string_view text, std::ostream& messages) {
  read_decoded(database, text, messages);
}

void read_bibtex_any(ReferenceDatabase& database, std::FILE* stream, std::ostream& messages) {
  // Tokens run over line ends, so the whole text is taken first.
  std::string text;
  LineReader lines(stream);
  std::string_view line;
  bool first = true;
  while (lines.next(line)) {
    if (!first) text.push_back('\n');
    text.append(line);
    first = false;
  }
  // A UTF-16 file that ends in a line feed byte lost it to the line reader.
  if (text.size() % 2 == 1 && (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF"))) text.push_back('\n');
  read_decoded(database, text, messages);
}

int read_bibtex_any(ReferenceDatabase& database, const std::string& path, std::ostream& messages) {
  FilePtr file = open_for_reading(path);
  if (!file) {
    messages << "Cannot open file: " << path << "\n";
    return -1;
  }
  read_bibtex_any(database, file.get(), messages);
  return 0;
}

}  // namespace refloom
