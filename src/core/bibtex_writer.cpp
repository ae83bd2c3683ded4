#include "core/bibtex_writer.h"

#include <charconv>

#include "core/file_io.h"

namespace refloom {

namespace {

// The reader ends a quoted value at a double quote that is not directly
// after a backslash and not enclosed as {"}; a quote at the start of a line
// counts as not preceded by anything.
bool quote_ends_value(std::string_view value, std::size_t i) {
  if (i == 0) return true;
  if (value[i - 1] == '\\') return false;
  return !(value[i - 1] == '{' && i + 1 < value.size() && value[i + 1] == '}');
}

bool reads_back_from_quotes(std::string_view value) {
  if (!value.empty() && value.back() == '\\') return false;  // would escape the closing quote
  for (std::size_t i = value.find('"'); i != std::string_view::npos; i = value.find('"', i + 1)) {
    if (quote_ends_value(value, i)) return false;
  }
  return true;
}

bool braces_balance(std::string_view value) {
  long depth = 0;
  for (char c : value) {
    if (c == '{') {
      ++depth;
    } else if (c == '}' && --depth < 0) {
      return false;
    }
  }
  return depth == 0;
}

// The least harmful quoted form of a value that no form carries unchanged:
// each quote that would end the value is enclosed as {"}, and a final
// backslash is kept apart from the closing quote by a blank. The file stays
// readable, and every other field and entry with it.
void append_protected(std::string_view value, std::string& out) {
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '"' && quote_ends_value(value, i)) {
      out.append("{\"}");
    } else {
      out.push_back(value[i]);
    }
  }
  if (!value.empty() && value.back() == '\\') out.push_back(' ');
}

}  // namespace

std::string protect_value(std::string_view value) {
  std::string out;
  append_protected(value, out);
  return out;
}

namespace {

void append_number(RefId value, std::string& out) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(digits, result.ptr);
}

}  // namespace

ValueForm value_form(std::string_view value) {
  if (reads_back_from_quotes(value)) return ValueForm::kQuotes;
  if (braces_balance(value)) return ValueForm::kBraces;
  return ValueForm::kProtectedQuotes;
}

void append_bibtex_entry(const Reference& reference, std::string& out) {
  // A reference left without an entry type by a broken header gets "misc",
  // so that the file still reads back.
  const auto type = reference.text(kEntryTypeSlot);
  out.push_back('@');
  out.append(type && !type->empty() ? *type : std::string_view("misc"));
  out.push_back('{');
  append_number(reference.ref_id(), out);
  out.append(",\n");
  for (const FieldInfo& field : kFieldOrder) {
    const auto value = reference.text(field.slot);
    if (!value || value->empty()) continue;
    switch (value_form(*value)) {
      case ValueForm::kQuotes:
        out.append(field.prefix).append(*value).append("\",\n");
        break;
      case ValueForm::kBraces:
        // The prefix ends in the opening quote; swap it for a brace.
        out.append(field.prefix.substr(0, field.prefix.size() - 1)).push_back('{');
        out.append(*value).append("},\n");
        break;
      case ValueForm::kProtectedQuotes:
        out.append(field.prefix);
        append_protected(*value, out);
        out.append("\",\n");
        break;
    }
  }
  out.append("}\n\n");
}

bool write_bibtex(const ReferenceDatabase& database, std::FILE* stream) {
  constexpr std::size_t kChunk = 1 << 20;
  std::string out;
  out.reserve(kChunk + 4096);
  bool ok = true;
  for (const Reference& reference : database.references()) {
    append_bibtex_entry(reference, out);
    if (out.size() >= kChunk) {
      ok = ok && std::fwrite(out.data(), 1, out.size(), stream) == out.size();
      out.clear();
    }
  }
  if (!out.empty()) ok = ok && std::fwrite(out.data(), 1, out.size(), stream) == out.size();
  return ok;
}

int write_bibtex(const ReferenceDatabase& database, const std::string& path, std::ostream& messages) {
  auto file = SafeOutputFile::open(path);
  if (!file) {
    messages << "Cannot open file: " << path << "\n";
    return -1;
  }
  const bool written = write_bibtex(database, file->stream());
  if (!(written && file->commit())) {
    messages << "Cannot write file: " << path << "\n";
    return -1;
  }
  return 0;
}

}  // namespace refloom
