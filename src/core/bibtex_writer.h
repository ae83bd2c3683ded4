#pragma once

#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

#include "core/reference_database.h"

namespace refloom {

// Writes every reference in database order in the fixed layout: a header
// line, one line per non-empty field in field order, "}" and a blank line.
// Returns 0 when everything was written; -1 with "Cannot open file: <path>"
// when the file cannot be opened, or "Cannot write file: <path>" when
// writing or closing failed. An existing file is replaced only after the new
// one was written completely.
int write_bibtex(const ReferenceDatabase& database, const std::string& path, std::ostream& messages);

// The same layout to an open stream; false when a write failed.
bool write_bibtex(const ReferenceDatabase& database, std::FILE* stream);

// How a field value is delimited in a written file.
enum class ValueForm {
  kQuotes,            // "value" (the usual form)
  kBraces,            // {value}: the value would not read back from quotes
  kProtectedQuotes,   // "value" with its stray quotes written as {"}: neither
                      // form can carry the value unchanged
};
ValueForm value_form(std::string_view value);

// The text that a value of the kProtectedQuotes form reads back as.
std::string protect_value(std::string_view value);

// Appends one reference, as written to a file, to `out`.
void append_bibtex_entry(const Reference& reference, std::string& out);

}  // namespace refloom
