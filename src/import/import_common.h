#pragma once

// What the importers share besides the conversions: taking the field text
// from a line, the choice of record target, and opening the file.

#include <cstddef>
#include <cstdio>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "core/reference_database.h"
#include "import/convert.h"
#include "import/importers.h"
#include "import/record_target.h"

namespace refloom {

// The field text of a line: the converted line from `offset` on, held in
// `converted`. A line whose conversion is shorter than the offset has no
// field text, and its tag's action is then not taken.
inline std::optional<std::string_view> field_text(std::string_view line, std::size_t offset,
                                                  std::string& converted) {
  convert_text(line, converted);
  if (converted.size() < offset) return std::nullopt;
  return std::string_view(converted).substr(offset);
}

inline bool is_ascii_digit(char c) { return c >= '0' && c <= '9'; }

// Runs `import(target)` with the target that `storage` asks for and stores
// the last record.
template <class Import>
void with_target(ReferenceDatabase& database, std::string_view entry_type, RecordStorage storage,
                 Import&& import) {
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

using StreamImporter = void (*)(ReferenceDatabase&, std::FILE*, std::string_view, RecordStorage);

// Opens the file (reporting when it cannot be opened) and imports it.
int import_path(ReferenceDatabase& database, const std::string& path, std::string_view entry_type,
                std::ostream& messages, StreamImporter import);

}  // namespace refloom
