#pragma once

// What the importers share besides the conversions: taking the field text
// from a line, the choice of record target, reading the lines and opening
// the file.

#include <cstddef>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "core/line_reader.h"
#include "core/reference_database.h"
#include "import/convert.h"
#include "import/importers.h"
#include "import/record_target.h"

namespace refloom {

// The field text of a line: the converted line from `offset` on, held in
// `converted`. A line whose conversion is shorter than the offset has no
// field text, and its tag's action is then not taken.
inline std::optional<std::string_view> field_text(std::string_view line, std::size_t offset, std::string& converted) {
  convert_text(line, converted);
  if (converted.size() < offset) return std::nullopt;
  return std::string_view(converted).substr(offset);
}

inline bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }

// Where the last run of digits before `end` starts, looking down to
// position 1 (position 0 is never taken: a journal before the year keeps at
// least one character); 1 when there is none. The Medline sources put
// their year there.
inline std::size_t last_digit_run_start(std::string_view text, std::size_t end) {
  for (std::size_t i = end; i-- > 1;) {
    if (i < text.size() && is_ascii_digit(text[i])) {
      while (i > 1 && is_ascii_digit(text[i - 1])) --i;
      return i;
    }
  }
  return 1;
}

// Runs `import(target)` with the target that `storage` asks for and stores
// the last record.
template <class Import>
void with_target(ReferenceDatabase& database, std::string_view entry_type, RecordStorage storage, Import&& import) {
  if (storage == RecordStorage::kThroughSetters) {
    SetterTarget target(database, entry_type);
    import(target);
    target.finish();
  } else {
    BufferedTarget target(database, entry_type);
    import(target);
    target.finish();
  }
}

// Hands `import.line` each line of the stream, a longer one cut to its
// first kConvertedLineMax bytes.
template <class Import>
void read_converted_lines(std::FILE* stream, Import& import) {
  LineReader lines(stream, kConvertedLineMax);
  std::string_view line;
  while (lines.next(line)) import.line(line);
}

using StreamImporter = void (*)(ReferenceDatabase&, std::FILE*, std::string_view, RecordStorage);

// Opens the file (reporting when it cannot be opened) and imports it.
ReadResult import_path(ReferenceDatabase& database, const std::string& path, std::string_view entry_type,
                       std::ostream& messages, StreamImporter import);

}  // namespace refloom
