#include "import/import_common.h"

#include "core/file_io.h"

namespace refloom {

ReadResult import_path(ReferenceDatabase& database, const std::string& path, std::string_view entry_type,
                       std::ostream& messages, StreamImporter import) {
  FilePtr file = open_for_reading(path, messages);
  if (!file) {
    messages << "Cannot open file: " << path << "\n";
    return ReadResult::kCannotOpen;
  }
  import(database, file.get(), entry_type, RecordStorage::kBuffered);
  return reading_result(file.get());
}

}  // namespace refloom
