#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "core/format_hints.h"
#include "core/outcome.h"
#include "core/reference_database.h"
#include "import/formats.h"

namespace refloom {

// Adds the references of one file to the database, as File > Load does:
// the reader of the format appends them (reporting on `messages`), and when
// the database held references before, every reference read in gets a new
// RefId, numbered against all those before it. Returns the reader's
// result; a FileType of no format reads nothing.
ReadResult load_file(ReferenceDatabase& database, const std::string& path, FileType file_type, std::ostream& messages);
// The same, also telling what the load noticed about the format: BibTeX in
// today's style read with the "BibTeX" format, or a file with content that
// gave no reference (only when it was read to its end).
ReadResult load_file(ReferenceDatabase& database, const std::string& path, FileType file_type, std::ostream& messages,
                     FormatHints& hints);

}  // namespace refloom
