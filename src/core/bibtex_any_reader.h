#pragma once

#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

#include "core/reference_database.h"

namespace refloom {

// Reads BibTeX as BibTeX itself does, in any style people write it:
// @type{...} and @type(...), any white space between tokens, names in any
// case, @string macros (jan..dec predefined), # concatenation, values in
// braces, quotes, bare numbers and macro names; @preamble, @comment and
// text between entries are passed over.
//
// Entry types are stored in lower case. A key that is a decimal number (as
// Refloom writes it) becomes the RefId; every other key, and a missing one,
// gets a fresh RefId once the whole file is read, so that no number the
// file uses is given twice. Such a key is kept in the comment field as
// "BibTeX key: <key>", which the standard bibliography styles do not print.
//
// The 28 fields are read by their names, keywords as keyword, and
// journaltitle, location and date (year, and month) when the entry has no
// journal, address or year of its own. Other fields are not kept; the load
// ends with one line naming each of them and how often it was met.
//
// A broken entry is reported with its line and reading goes on at the next
// "@"; an unknown macro is reported once and read as its name. A UTF-8
// byte order mark is skipped; UTF-16 (by its byte order mark, or by a NUL
// beside the first character) is read as UTF-8; other bytes are kept as
// they are.
//
// Returns 0 when the file was read, 1 when a read error cut it short
// (reported, as file_io.h says), -1 when it cannot be opened (the database
// is then unchanged).
int read_bibtex_any(ReferenceDatabase& database, const std::string& path, std::ostream& messages);

// The same from an open stream, read to its end.
void read_bibtex_any(ReferenceDatabase& database, std::FILE* stream, std::ostream& messages);

// The same from text in memory.
void read_bibtex_any_text(ReferenceDatabase& database, std::string_view text, std::ostream& messages);

}  // namespace refloom
