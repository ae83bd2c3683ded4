#include "core/bibtex_value.h"

#include <array>

namespace refloom {

namespace {

// The months as the standard styles (plain.bst and its kin) define them.
constexpr std::array<std::string_view, 12> kMonthMacros = {"jan", "feb", "mar", "apr", "may", "jun",
                                                           "jul", "aug", "sep", "oct", "nov", "dec"};
constexpr std::array<std::string_view, 12> kMonthNames = {"January",   "February", "March",    "April",
                                                          "May",       "June",     "July",     "August",
                                                          "September", "October",  "November", "December"};

bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::string_view month_name(int month) {
  return month >= 1 && month <= 12 ? kMonthNames[static_cast<std::size_t>(month - 1)] : std::string_view();
}

std::string lower_case(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return result;
}

ValueShape value_shape(std::string_view value) {
  ValueShape shape;
  // Final backslash: the "BibTeX" format would read on past a closing quote.
  if (!value.empty() && value.back() == '\\') shape.fits_quotes = false;
  long depth = 0;
  const char* data = value.data();
  const std::size_t size = value.size();
  for_each_brace(data, 0, size, true, [&](std::size_t i) {
    const char c = data[i];
    if (c == '{') {
      ++depth;
    } else if (c == '}') {
      if (--depth < 0) {
        shape.balanced = false;
        shape.fits_quotes = false;
        depth = 0;
      }
    } else if (depth == 0) {
      shape.fits_quotes = false;  // BibTeX ends the value here
    } else {
      // The "BibTeX" format ends it at any quote but \" and {"}.
      const bool escaped = i > 0 && data[i - 1] == '\\';
      const bool enclosed = i > 0 && data[i - 1] == '{' && i + 1 < size && data[i + 1] == '}';
      if (!escaped && !enclosed) shape.fits_quotes = false;
    }
    return true;
  });
  if (depth != 0) {
    shape.balanced = false;
    shape.fits_quotes = false;
  }
  return shape;
}

bool braces_balance(std::string_view value) { return value_shape(value).balanced; }

bool fits_quotes(std::string_view value) { return value_shape(value).fits_quotes; }

std::string balance_braces(std::string_view value) {
  std::size_t stray_closing = 0;
  std::size_t open = 0;
  for (char c : value) {
    if (c == '{') {
      ++open;
    } else if (c == '}') {
      if (open == 0) {
        ++stray_closing;
      } else {
        --open;
      }
    }
  }
  std::string result;
  result.reserve(stray_closing + value.size() + open);
  result.append(stray_closing, '{').append(value).append(open, '}');
  return result;
}

void append_literal(std::string& out, std::string_view value) {
  const char open = fits_quotes(value) ? '"' : '{';
  out.push_back(open);
  out.append(value);
  out.push_back(open == '"' ? '"' : '}');
}

MacroTable::MacroTable() {
  for (std::size_t i = 0; i < kMonthMacros.size(); ++i) {
    texts_.emplace(std::string(kMonthMacros[i]), std::string(kMonthNames[i]));
  }
}

const std::string* MacroTable::find(std::string_view name) const {
  lowered_.assign(name);
  for (char& c : lowered_) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  const auto found = texts_.find(lowered_);
  return found == texts_.end() ? nullptr : &found->second;
}

void MacroTable::define(std::string_view name, std::string text) { texts_[lower_case(name)] = std::move(text); }

namespace {

void skip_blanks(std::string_view text, std::size_t& pos) {
  while (pos < text.size() && is_bibtex_blank(text[pos])) ++pos;
}

// A part in braces or quotes as BibTeX reads it, appended to `out`.
bool parse_delimited(std::string_view text, std::size_t& pos, std::string& out, std::string& error) {
  const bool braced = text[pos] == '{';
  const std::size_t start = pos + 1;
  long depth = braced ? 1 : 0;
  for (std::size_t i = start; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '{') {
      ++depth;
    } else if (c == '}') {
      if (--depth == 0 && braced) {
        out.append(text.substr(start, i - start));
        pos = i + 1;
        return true;
      }
      if (depth < 0) {
        error = "a closing brace closes nothing";
        pos = i;
        return false;
      }
    } else if (c == '"' && !braced && depth == 0) {
      out.append(text.substr(start, i - start));
      pos = i + 1;
      return true;
    }
  }
  error = braced ? "a brace is left open" : "a quote is left open";
  return false;
}

}  // namespace

std::optional<ParsedValue> parse_value(std::string_view text, std::size_t& pos, const MacroTable& macros,
                                       std::string& error) {
  ParsedValue value;
  std::string source;
  int parts = 0;
  bool macro = false;
  for (;;) {
    skip_blanks(text, pos);
    if (pos >= text.size()) {
      error = "a value is missing";
      return std::nullopt;
    }
    if (parts > 0) source.append(" # ");
    const char c = text[pos];
    if (c == '{' || c == '"') {
      const std::size_t begin = value.text.size();
      if (!parse_delimited(text, pos, value.text, error)) return std::nullopt;
      append_literal(source, std::string_view(value.text).substr(begin));
    } else if (is_digit(c)) {
      const std::size_t start = pos;
      while (pos < text.size() && is_digit(text[pos])) ++pos;
      value.text.append(text.substr(start, pos - start));
      source.append(text.substr(start, pos - start));
    } else if (is_bibtex_name_char(c)) {
      const std::size_t start = pos;
      while (pos < text.size() && is_bibtex_name_char(text[pos])) ++pos;
      const std::string_view name = text.substr(start, pos - start);
      const std::string* expansion = macros.find(name);
      value.text.append(expansion ? std::string_view(*expansion) : name);
      source.append(name);
      macro = true;
    } else {
      error = "a value must start with { or \" or be a number or a macro name";
      return std::nullopt;
    }
    ++parts;
    std::size_t after = pos;
    skip_blanks(text, after);
    if (after >= text.size() || text[after] != '#') break;
    pos = after + 1;
  }
  if (macro || parts > 1) value.source = std::move(source);
  return value;
}

std::optional<std::string> expand_source(std::string_view source, const MacroTable& macros) {
  std::size_t pos = 0;
  std::string error;
  auto parsed = parse_value(source, pos, macros, error);
  if (!parsed) return std::nullopt;
  skip_blanks(source, pos);
  if (pos != source.size()) return std::nullopt;
  return std::move(parsed->text);
}

void SourceFormBuilder::clear() {
  parts_.clear();
  names_.clear();
  macro_ = false;
}

void SourceFormBuilder::literal(std::size_t begin, std::size_t end) { parts_.push_back({Kind::kLiteral, begin, end}); }

void SourceFormBuilder::number(std::size_t begin, std::size_t end) { parts_.push_back({Kind::kNumber, begin, end}); }

void SourceFormBuilder::macro(std::string_view name) {
  parts_.push_back({Kind::kMacro, names_.size(), names_.size() + name.size()});
  names_.append(name);
  macro_ = true;
}

std::string SourceFormBuilder::build(std::string_view value) const {
  std::string source;
  if (!needed()) return source;
  for (std::size_t i = 0; i < parts_.size(); ++i) {
    const Part& part = parts_[i];
    if (i > 0) source.append(" # ");
    switch (part.kind) {
      case Kind::kLiteral: {
        const std::string_view text = value.substr(part.begin, part.end - part.begin);
        if (!braces_balance(text)) return {};
        append_literal(source, text);
        break;
      }
      case Kind::kNumber:
        source.append(value.substr(part.begin, part.end - part.begin));
        break;
      case Kind::kMacro:
        source.append(std::string_view(names_).substr(part.begin, part.end - part.begin));
        break;
    }
  }
  return source;
}

}  // namespace refloom
