#include "core/bibtex_any_reader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "core/bibtex_value.h"
#include "core/display_text.h"
#include "core/fields.h"
#include "core/file_io.h"
#include "core/large_memory.h"
#include "core/line_reader.h"
#include "core/numbering.h"
#include "core/other_fields.h"
#include "core/reference.h"

namespace refloom {

namespace {

bool is_blank(char c) { return is_bibtex_blank(c); }
bool is_name_char(char c) { return is_bibtex_name_char(c); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// UTF-16 text after its byte order mark, as UTF-8. A surrogate without its
// partner becomes U+FFFD; an odd last byte is dropped, and so is U+0000, as
// NUL bytes are from 8-bit files.
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
    if (code != 0) append_utf8(code, out);
  }
  return out;
}

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
      : database_(database),
        lines_(std::move(lines)),
        messages_(messages),
        macros_(database.macros()),
        blocks_before_(database.blocks().size()) {}

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
    bytes_read_ += line_.size() + 1;
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

  // Reports a broken block by the line it starts in and, for an entry, its
  // key.
  void report(std::string_view what);
  // Whether a macro's text of `size` bytes may join a value of `value_size`
  // bytes; reports the value as broken when not.
  bool may_expand(std::string_view name, std::size_t value_size, std::size_t size) {
    if (value_size + size > kMaxExpandedValue) {
      std::string message = "macro ";
      message.append(name).append(" in line ").append(std::to_string(line_number_));
      message.append(" makes the value longer than ").append(std::to_string(kMaxExpandedValue)).append(" bytes");
      report(message);
      return false;
    }
    // A macro's own text is held twice (its definition and its block).
    const std::size_t weight = in_string_definition_ ? 2 : 1;
    if (expanded_ + weight * size > kMaxExpandedValue + bytes_read_ / 2) {
      std::string message = "macro ";
      message.append(name).append(" in line ").append(std::to_string(line_number_));
      message.append(" makes the file's macros expand to more than ")
          .append(std::to_string(kMaxExpandedValue + bytes_read_ / 2))
          .append(" bytes");
      report(message);
      return false;
    }
    expanded_ += weight * size;
    return true;
  }

  void read_at_sign();
  void skip_block(char open, char close, std::string& kept);
  void read_string_definition(char close);
  void read_preamble(char close);
  bool read_block_end(char close, std::string_view block);
  void read_entry(char close);
  bool read_field(const std::string& name, char close);
  bool read_value(std::string_view field, std::string& value);
  bool read_delimited(std::string& value);
  void give_up_value(std::size_t start_line, std::string_view part, std::string_view field);
  void store_field(std::string_view name, std::string& value);
  void finish_entry(std::string_view key);
  void keep_block(BibtexBlock block);

  void number_new_references();
  void report_summaries();

  ReferenceDatabase& database_;
  HugePageHeap heap_;
  std::unique_ptr<Lines> lines_;
  std::ostream& messages_;
  std::string_view line_;
  std::size_t pos_ = 0;
  std::size_t line_number_ = 0;
  bool eof_ = false;

  // The block being read: where it starts and, for an entry, its key.
  std::size_t block_line_ = 0;
  std::string_view block_kind_;

  // The macros as BibTeX would know them at this point: those of the files
  // loaded before, then this file's own.
  MacroTable macros_;
  std::size_t blocks_before_;  // the blocks of the files loaded before
  std::unordered_set<std::string> unknown_macros_reported_;
  // What macros may add to the texts of one load: a value at most
  // kMaxExpandedValue bytes, and all of them together no more than that
  // and half the bytes read so far, so that no file, however small, makes
  // the reader take more memory than the file could honestly hold.
  std::size_t bytes_read_ = 0;
  std::size_t expanded_ = 0;
  bool in_string_definition_ = false;
  std::vector<std::string> macros_redefined_;    // names defined before with another text
  std::map<std::string, std::size_t> repeated_;  // field name -> how often a repeat was passed over

  ReferenceBuilder entry_;
  SourceFormBuilder source_;
  std::string value_;
  std::string name_;
  std::string key_;
  std::string lowered_;
  // The entry's extras as they come: the fields outside the 28 packed as
  // they are read (no string of their own each), the source forms.
  ReferenceExtras::Builder extras_;
  std::vector<std::size_t> without_number_;  // database indices needing a RefId
};

void AnyReader::report(std::string_view what) {
  messages_ << "BibTeX file corrupted in line " << block_line_;
  if (!key_.empty() && block_kind_.empty()) {
    messages_ << " (entry " << key_ << ")";
  } else if (!block_kind_.empty()) {
    messages_ << " (" << block_kind_ << ")";
  }
  messages_ << ": " << what << ", going on with the next entry \n";
}

void AnyReader::run(std::optional<std::string_view> first_line) {
  if (first_line) {
    line_ = *first_line;
    line_number_ = 1;
    bytes_read_ = line_.size() + 1;
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
  report_summaries();
}

void AnyReader::read_at_sign() {
  block_line_ = line_number_;
  block_kind_ = {};
  key_.clear();
  skip_blanks();
  const std::string_view written_type = read_name();
  const std::string type = lower_case(written_type);
  if (type.empty()) {
    report("entry type expected after >> @ <<");
    return;
  }
  // The type's spelling, kept for a comment block (the line it stands in
  // may go before the block begins).
  std::string kept;
  if (type == "comment") kept.append(1, '@').append(written_type);
  skip_blanks();
  const char open = peek();
  // As in BibTeX, "@comment" without a block is passed over like any text.
  if (type == "comment" && open != '{' && open != '(') return;
  if (open != '{' && open != '(') {
    report("entry type must be followed by >> { << or >> ( <<");
    return;
  }
  advance();
  const char close = open == '{' ? '}' : ')';
  if (type == "comment") {
    kept.push_back(open);
    skip_block(open, close, kept);
  } else if (type == "string") {
    block_kind_ = "@string";
    read_string_definition(close);
  } else if (type == "preamble") {
    block_kind_ = "@preamble";
    read_preamble(close);
  } else {
    entry_.clear();
    extras_.clear();
    entry_.set_text(kEntryTypeSlot, type);
    read_entry(close);
  }
}

// A comment block is passed over to its balanced closing delimiter, so that
// an entry commented out inside it stays out; it is kept as written, with
// the line ends of the file's lines as line feeds.
void AnyReader::skip_block(char open, char close, std::string& kept) {
  int depth = 1;
  while (!eof_) {
    const std::size_t start = pos_;
    for (; pos_ < line_.size(); ++pos_) {
      if (line_[pos_] == open) {
        ++depth;
      } else if (line_[pos_] == close && --depth == 0) {
        ++pos_;
        kept.append(line_.substr(start, pos_ - start));
        BibtexBlock block;
        block.kind = BibtexBlock::Kind::kComment;
        block.text = std::move(kept);
        keep_block(std::move(block));
        return;
      }
    }
    kept.append(line_.substr(start));
    while (!kept.empty() && kept.back() == '\r') kept.pop_back();
    kept.push_back('\n');
    next_line();
  }
  // A comment left open to the end of the file is not kept: it held what
  // BibTeX would not take either.
}

void AnyReader::read_string_definition(char close) {
  skip_blanks();
  const std::string name(read_name());
  if (name.empty()) {
    report("@string must define a macro as >> name = value <<");
    return;
  }
  skip_blanks();
  if (peek() != '=') {
    // Appended piece by piece, as below: GCC 12 at -O3 warns of an
    // overlapping copy in "\"" + std::string.
    std::string message = "\"";
    message.append(lower_case(name)).append("\" must be followed by >> = <<");
    report(message);
    return;
  }
  advance();
  std::string value;
  in_string_definition_ = true;
  const bool read = read_value(name, value);
  in_string_definition_ = false;
  if (!read) return;
  std::string source = source_.build(value);
  if (!read_block_end(close, "string")) return;
  macros_.define(name, value);
  keep_block({.kind = BibtexBlock::Kind::kString, .name = name, .text = std::move(value), .source = std::move(source)});
}

void AnyReader::read_preamble(char close) {
  std::string value;
  if (!read_value("preamble", value)) return;
  std::string source = source_.build(value);
  if (!read_block_end(close, "preamble")) return;
  keep_block({.kind = BibtexBlock::Kind::kPreamble, .name = {}, .text = std::move(value), .source = std::move(source)});
}

// The closing delimiter after the value of a @string or @preamble; without
// it the block is reported and not kept.
bool AnyReader::read_block_end(char close, std::string_view block) {
  skip_blanks();
  if (peek() != close) {
    std::string message = "@";
    message.append(block).append(" must end with >> ").append(1, close).append(" <<");
    report(message);
    return false;
  }
  advance();
  return true;
}

// A block that a file loaded before holds already is not kept twice (a file
// loaded again would define every command of its preamble twice). A macro
// that it defined with another text keeps that text; this file's
// references keep their own texts, which a save then writes out in full.
void AnyReader::keep_block(BibtexBlock block) {
  const auto& held = database_.blocks();
  for (std::size_t i = 0; i < blocks_before_; ++i) {
    const BibtexBlock& old = held[i];
    if (old.kind != block.kind) continue;
    if (block.kind == BibtexBlock::Kind::kString) {
      if (!same_key(old.name, block.name)) continue;
      if (old.text != block.text) {
        const std::string name = lower_case(block.name);
        if (std::find(macros_redefined_.begin(), macros_redefined_.end(), name) == macros_redefined_.end()) {
          macros_redefined_.push_back(name);
        }
      }
      return;
    }
    if (old.text == block.text) return;
  }
  database_.add_block(std::move(block));
}

void AnyReader::read_entry(char close) {
  skip_blanks();
  // A key holds no braces or quotes, so that it can be written back.
  const std::size_t key_start = pos_;
  while (pos_ < line_.size() && line_[pos_] != ',' && line_[pos_] != close && line_[pos_] != '{' &&
         line_[pos_] != '}' && line_[pos_] != '"' && !is_blank(line_[pos_]) && line_[pos_] != '=') {
    ++pos_;
  }
  key_.assign(line_.substr(key_start, pos_ - key_start));
  skip_blanks();
  bool go_on = true;
  if (peek() == '=' && !key_.empty() && std::all_of(key_.begin(), key_.end(), is_name_char)) {
    // No key at all: what looked like one is the first field's name.
    name_ = key_;
    key_.clear();
    go_on = read_field(name_, close);
  } else if (peek() == ',') {
    advance();
  } else if (peek() == close) {
    advance();
    go_on = false;
  } else {
    report("entry key must be followed by >> , <<");
    go_on = false;
  }

  while (go_on) {
    skip_blanks();
    if (at_end()) {
      report("entry not closed before the end of the file");
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
      report("field name expected");
      break;
    }
    skip_blanks();
    go_on = read_field(name_, close);
  }
  finish_entry(key_);
}

// From the "=" on: the value, then a comma or the entry's end. False when
// the entry ends here, in order or not.
bool AnyReader::read_field(const std::string& name, char close) {
  if (peek() != '=') {
    // Appended piece by piece: GCC 12 at -O3 takes "\"" + std::string for a
    // possibly overlapping copy (-Wrestrict), a false positive.
    std::string message(1, '"');
    message += lower_case(name);
    message += "\" must be followed by >> = <<";
    report(message);
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
  report(lower_case(name) + " field must be terminated with >> , << or >> " + std::string(1, close) + " <<");
  return false;
}

// A value: parts in braces, in quotes, numbers or macro names, joined by #.
// Its parts are noted for its source form.
bool AnyReader::read_value(std::string_view field, std::string& value) {
  value.clear();
  source_.clear();
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
      source_.literal(part_start, value.size());
    } else if (is_digit(c)) {
      const std::size_t start = pos_;
      while (pos_ < line_.size() && is_digit(line_[pos_])) ++pos_;
      const std::size_t part_start = value.size();
      value.append(line_.substr(start, pos_ - start));
      source_.number(part_start, value.size());
    } else if (!at_end() && is_name_char(c)) {
      const std::string_view name = read_name();
      source_.macro(name);
      if (const std::string* text = macros_.find(name)) {
        if (!may_expand(name, value.size(), text->size())) return false;
        value.append(*text);
      } else {
        lowered_ = lower_case(name);
        if (unknown_macros_reported_.insert(lowered_).second) {
          messages_ << "unknown macro in line " << line_number_ << ": " << name << ", read as its name \n";
        }
        value.append(name);
      }
    } else {
      report(lower_case(field) + " must start with >> { <<, >> \" <<, a number or a macro name");
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
      const std::size_t stop = for_each_brace(
          data, start, size, false, [&](std::size_t i) { return data[i] == '{' ? (++depth, true) : --depth != 0; });
      if (stop < size) end = stop;
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
  report(lower_case(field) + " value from line " + std::to_string(start_line) +
         " not terminated before the end of the file");
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

// The first value of a field counts, as in BibTeX; a repeat is passed over
// and counted for one message at the end.
void AnyReader::store_field(std::string_view name, std::string& value) {
  // Lowered in place: a string per field would cost an allocation each.
  lowered_.assign(name);
  for (char& c : lowered_) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  if (const auto slot = field_slot(lowered_)) {
    if (entry_.has(*slot)) {
      ++repeated_[lowered_];
      return;
    }
    if (source_.needed()) extras_.set_slot_source(*slot, source_.build(value));
    entry_.append_text(*slot, std::move(value));
    value.clear();
    return;
  }
  if (extras_.has_other_field(name)) {
    ++repeated_[lowered_];
    return;
  }
  extras_.add_other_field(name, value, source_.needed() ? std::string_view(source_.build(value)) : std::string_view());
}

void AnyReader::finish_entry(std::string_view key) {
  heap_.follow();
  // biblatex's names fill the standard fields the entry leaves empty; the
  // fields so filled are not the file's own, and a save leaves them out.
  if (extras_.has_other_fields()) {
    auto aliases = alias_texts(extras_);
    // The date gives the month only together with the year.
    if (entry_.has(kYear)) aliases[kMonth].reset();
    for (int slot = 1; slot < kSlotCount; ++slot) {
      auto& text = aliases[static_cast<std::size_t>(slot)];
      if (!text || entry_.has(slot)) continue;
      entry_.set_text(slot, *text);
      extras_.set_derived(slot);
    }
  }

  if (const auto number = numeric_key(key)) {
    entry_.ref_id = *number;
    // Refloom before keys were kept wrote a file's key as the last line of
    // the comment; it is the citation key again.
    if (entry_.has(kComment)) {
      constexpr std::string_view kKeyLine = "BibTeX key: ";
      const std::string& comment = entry_.text(kComment);
      const std::size_t line_start = comment.rfind('\n') == std::string::npos ? 0 : comment.rfind('\n') + 1;
      const std::string_view last = std::string_view(comment).substr(line_start);
      if (last.starts_with(kKeyLine) && last.size() > kKeyLine.size() &&
          !citation_key_fault(last.substr(kKeyLine.size())).has_value()) {
        extras_.set_citation_key(last.substr(kKeyLine.size()));
        if (line_start == 0) {
          entry_.remove(kComment);
          extras_.clear_slot_source(kComment);
        } else {
          const std::string rest = comment.substr(0, line_start - 1);
          entry_.set_text(kComment, rest);
        }
      }
    }
  } else {
    entry_.ref_id = 0;
    without_number_.push_back(database_.ref_count());
    extras_.set_citation_key(key);
  }
  Reference reference;
  entry_.move_into(reference);
  reference.set_extras(extras_.build());
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

void AnyReader::report_summaries() {
  if (!repeated_.empty()) {
    messages_ << "fields given twice in an entry, the first value kept as BibTeX does:";
    const char* separator = " ";
    for (const auto& [name, count] : repeated_) {
      messages_ << separator << name << " (" << count << ")";
      separator = ", ";
    }
    messages_ << " \n";
  }
  if (!macros_redefined_.empty()) {
    messages_ << "macros defined with another text by a file loaded before, this file's references keep their own "
                 "text:";
    const char* separator = " ";
    for (const std::string& name : macros_redefined_) {
      messages_ << separator << name;
      separator = ", ";
    }
    messages_ << " \n";
  }
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
    auto converted = std::make_unique<Lines>(utf16_to_utf8(std::string_view(bytes).substr(marked ? 2 : 0), big_endian));
    AnyReader(database, std::move(converted), messages).run(std::nullopt);
    return;
  }
  if (first.starts_with("\xEF\xBB\xBF")) first.remove_prefix(3);
  AnyReader(database, std::move(lines), messages).run(first);
}

}  // namespace

void read_bibtex_any_text(ReferenceDatabase& database, std::string_view text, std::ostream& messages) {
  std::string copy(text);
  // NUL bytes go, as they do from a file, unless they are UTF-16's.
  const std::string_view first = std::string_view(copy).substr(0, copy.find('\n'));
  const bool utf16 = first.starts_with("\xFF\xFE") || first.starts_with("\xFE\xFF") ||
                     (first.size() >= 2 && (first[0] == '\0') != (first[1] == '\0'));
  if (!utf16) std::erase(copy, '\0');
  read_lines(database, std::make_unique<Lines>(std::move(copy)), messages);
}

void read_bibtex_any(ReferenceDatabase& database, std::FILE* stream, std::ostream& messages) {
  read_lines(database, std::make_unique<Lines>(stream), messages);
}

ReadResult read_bibtex_any(ReferenceDatabase& database, const std::string& path, std::ostream& messages) {
  FilePtr file = open_for_reading(path, messages, TextEncodings::kEightBitOrUtf16);
  if (!file) {
    messages << "Cannot open file: " << path << "\n";
    return ReadResult::kCannotOpen;
  }
  read_bibtex_any(database, file.get(), messages);
  return reading_result(file.get());
}

}  // namespace refloom
