#pragma once

#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

#include "core/fields.h"
#include "core/format_hints.h"
#include "core/outcome.h"
#include "core/reference_database.h"

namespace refloom {

// Reads a BibTeX file and appends one reference per entry to the database.
// Reports format errors and unknown fields on `messages` and stops at the
// first format error, keeping everything read up to it.
// A file that cannot be opened leaves the database unchanged.
ReadResult read_bibtex(ReferenceDatabase& database, const std::string& path, std::ostream& messages);
// The same, also telling (hints.todays_bibtex) whether the file looked like
// BibTeX in today's style, which this format reads only in part: keys that
// are no numbers as Refloom writes them (12, or 12a for a key written
// twice), @string, @preamble or @comment, entries in parentheses, fields it
// does not know.
ReadResult read_bibtex(ReferenceDatabase& database, const std::string& path, std::ostream& messages,
                       FormatHints& hints);

// The same from an open stream (read to its end or to a format error).
// Returns whether it looked like BibTeX in today's style.
bool read_bibtex(ReferenceDatabase& database, std::FILE* stream, std::ostream& messages);

// An entry key read as a number: leading white space, an optional sign,
// then digits up to the first non-digit; no digits give 0. Read as an
// unsigned 64-bit value (a minus sign gives the two's complement; a value
// too large for 64 bits gives the largest one).
RefId parse_key(std::string_view key);

}  // namespace refloom
