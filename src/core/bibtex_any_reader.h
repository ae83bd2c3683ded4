#pragma once

#include <cstddef>
#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

#include "core/outcome.h"
#include "core/reference_database.h"

namespace refloom {

// Reads BibTeX as BibTeX itself does, in any style people write it:
// @type{...} and @type(...), any white space between tokens, names in any
// case, @string macros (jan..dec predefined, and those of the files loaded
// before), # concatenation, values in braces, quotes, bare numbers and
// macro names; text between entries is passed over. What BibTeX would see
// is kept for a save to give back: @preamble, @string and @comment blocks
// (database blocks), the citation key, the fields outside the 28 and the
// source form of values that used macros (reference extras).
//
// Entry types are stored in lower case. A key that is a decimal number (as
// Refloom writes it) becomes the RefId; every other key, and a missing one,
// gets a fresh RefId once the whole file is read, so that no number the
// file uses is given twice, and a text key stays the citation key.
//
// The 28 fields are read by their names; journaltitle, location, keywords
// and date also fill journal, address, keyword and year (and month) when
// the entry does not give them, marked as filled in. The first value of a
// field given twice counts, as in BibTeX; the load ends with one line
// naming such fields.
//
// A broken entry is reported with the line it starts in and its key, and
// reading goes on at the next "@"; an unknown macro is reported once and
// read as its name. A UTF-8 byte order mark is skipped; UTF-16 (by its byte
// order mark, or by a NUL beside the first character) is read as UTF-8;
// other bytes are kept as they are.
//
// Macros cannot make a file take more memory than it could honestly hold:
// a value that macros would make longer than kMaxExpandedValue bytes, or a
// macro that would take all the texts macros added in one load past that
// and half the bytes read so far, ends its entry as a broken one.
inline constexpr std::size_t kMaxExpandedValue = std::size_t{16} << 20;

// A file that cannot be opened leaves the database unchanged; a read error
// is reported as file_io.h says.
ReadResult read_bibtex_any(ReferenceDatabase& database, const std::string& path, std::ostream& messages);

// The same from an open stream, read to its end.
void read_bibtex_any(ReferenceDatabase& database, std::FILE* stream, std::ostream& messages);

// The same from text in memory.
void read_bibtex_any_text(ReferenceDatabase& database, std::string_view text, std::ostream& messages);

}  // namespace refloom
