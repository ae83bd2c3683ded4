#include "core/other_fields.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace refloom {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

enum Alias { kJournaltitle, kLocation, kKeywords, kDate };

// The year and, for an ISO month (2020-03, 2020-03-15), the month of a date.
void date_texts(std::string_view date, std::array<std::optional<std::string>, kSlotCount>& texts) {
  std::size_t digits = 0;
  while (digits < date.size() && is_digit(date[digits])) ++digits;
  if (digits == 0) {
    texts[kYear] = std::string(date);
    return;
  }
  texts[kYear] = std::string(date.substr(0, digits));
  if (date.size() >= digits + 3 && date[digits] == '-' && is_digit(date[digits + 1]) && is_digit(date[digits + 2]) &&
      (digits + 3 == date.size() || !is_digit(date[digits + 3]))) {
    const int month = (date[digits + 1] - '0') * 10 + (date[digits + 2] - '0');
    if (month >= 1 && month <= 12) texts[kMonth] = std::string(month_name(month));
  }
}

template <class ForEach>
std::array<std::optional<std::string>, kSlotCount> alias_texts_of(ForEach&& for_each) {
  std::array<std::optional<std::string_view>, kAliasNames.size()> values;
  for_each([&](std::string_view name, std::string_view text) {
    for (std::size_t i = 0; i < kAliasNames.size(); ++i) {
      if (!values[i] && same_key(name, kAliasNames[i])) values[i] = text;
    }
  });
  std::array<std::optional<std::string>, kSlotCount> texts;
  if (values[kJournaltitle]) texts[kJournal] = std::string(*values[kJournaltitle]);
  if (values[kLocation]) texts[kAddress] = std::string(*values[kLocation]);
  if (values[kKeywords]) texts[kKeyword] = std::string(*values[kKeywords]);
  if (values[kDate]) date_texts(*values[kDate], texts);
  return texts;
}

// Text, a name in double quotes, text: built by appending, as GCC 12 at -O3
// takes "..." + std::string for a possibly overlapping copy (-Wrestrict).
std::string about(std::string_view before, std::string_view name, std::string_view after) {
  std::string message(before);
  message.append(1, '"').append(name).append(1, '"').append(after);
  return message;
}

std::size_t line_of(std::string_view text, std::size_t pos) {
  return 1 + static_cast<std::size_t>(std::count(
                 text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min(pos, text.size())), '\n'));
}

void append_shown_value(std::string& out, const OtherField& field, const MacroTable& macros) {
  if (!field.source.empty()) {
    const auto expanded = expand_source(field.source, macros);
    if (expanded && *expanded == field.text) {
      out.append(field.source);
      return;
    }
  }
  if (braces_balance(field.text) || field.text.find('"') != std::string::npos) {
    out.append(1, '{').append(field.text).append(1, '}');
  } else {
    out.append(1, '"').append(field.text).append(1, '"');
  }
}

}  // namespace

std::array<std::optional<std::string>, kSlotCount> alias_texts(const std::vector<OtherField>& fields) {
  return alias_texts_of([&](auto&& visit) {
    for (const OtherField& field : fields) visit(field.name, field.text);
  });
}

std::array<std::optional<std::string>, kSlotCount> alias_texts(const ReferenceExtras& extras) {
  return alias_texts_of([&](auto&& visit) {
    extras.for_each_other_field(
        [&](std::string_view name, std::string_view text, std::string_view) { visit(name, text); });
  });
}

std::array<std::optional<std::string>, kSlotCount> alias_texts(const ReferenceExtras::Builder& extras) {
  return alias_texts_of([&](auto&& visit) {
    extras.for_each_other_field(
        [&](std::string_view name, std::string_view text, std::string_view) { visit(name, text); });
  });
}

std::string format_other_fields(const std::vector<OtherField>& fields, const MacroTable& macros) {
  std::string text;
  for (const OtherField& field : fields) {
    if (!text.empty()) text.push_back('\n');
    text.append(field.name).append(" = ");
    append_shown_value(text, field, macros);
  }
  return text;
}

std::string format_other_fields(const ReferenceExtras& extras, const MacroTable& macros) {
  if (!extras.has_other_fields()) return {};
  return format_other_fields(extras.unpack().other_fields, macros);
}

std::optional<std::vector<OtherField>> parse_other_fields(std::string_view text, const MacroTable& macros,
                                                          std::string& error) {
  std::vector<OtherField> fields;
  std::size_t pos = 0;
  const auto fail = [&](std::size_t where, const std::string& what) {
    error = "line " + std::to_string(line_of(text, where)) + ": " + what;
    return std::nullopt;
  };
  for (;;) {
    while (pos < text.size() && (is_bibtex_blank(text[pos]) || text[pos] == ',')) ++pos;
    if (pos >= text.size()) break;
    const std::size_t start = pos;
    while (pos < text.size() && is_bibtex_name_char(text[pos])) ++pos;
    const std::string_view name = text.substr(start, pos - start);
    if (name.empty()) return fail(start, "a field name is expected, as in doi = {10.1000/182}");
    while (pos < text.size() && is_bibtex_blank(text[pos])) ++pos;
    if (pos >= text.size() || text[pos] != '=') {
      return fail(start, about("", name, " must be followed by >> = << and a value"));
    }
    ++pos;
    std::string value_error;
    auto value = parse_value(text, pos, macros, value_error);
    if (!value) return fail(pos, about("the value of ", name, ": ") + value_error);
    if (field_slot(lower_case(name))) {
      return fail(start, about("", name, " has a field of its own in the form"));
    }
    for (const OtherField& field : fields) {
      if (same_key(field.name, name)) return fail(start, about("", name, " is given twice"));
    }
    fields.push_back({std::string(name), std::move(value->text), std::move(value->source)});
  }
  return fields;
}

std::optional<std::string> citation_key_fault(std::string_view key) {
  for (char c : key) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte <= ' ' || byte == 0x7F || c == ',' || c == '{' || c == '}' || c == '"' || c == '#' || c == '%' ||
        c == '=') {
      return about("key ", key, " refused: BibTeX takes no blanks, commas, braces, quotes, #, % or = in a key");
    }
  }
  if (numeric_key(key)) {
    return about("key ", key, " refused: a number is written as the Ref. ID (leave the key empty for that)");
  }
  return std::nullopt;
}

bool same_key(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    char y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::size_t KeyHash::operator()(std::string_view key) const {
  std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a
  for (char c : key) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
  }
  return static_cast<std::size_t>(hash);
}

std::string key_suffix(std::size_t n) {
  std::string suffix;
  for (++n; n > 0; n = (n - 1) / 26) suffix.insert(suffix.begin(), static_cast<char>('a' + (n - 1) % 26));
  return suffix;
}

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

}  // namespace refloom
