#include "import/load.h"

#include <sys/stat.h>

#include "core/numbering.h"

namespace refloom {

namespace {

bool has_content(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0;
}

}  // namespace

ReadResult load_file(ReferenceDatabase& database, const std::string& path, FileType file_type, std::ostream& messages) {
  FormatHints hints;
  return load_file(database, path, file_type, messages, hints);
}

ReadResult load_file(ReferenceDatabase& database, const std::string& path, FileType file_type, std::ostream& messages,
                     FormatHints& hints) {
  hints = FormatHints();
  const Format* format = format_of(file_type);
  if (!format) return ReadResult::kDone;
  const std::size_t before = database.ref_count();
  const ReadResult result = format->read(database, path, messages, hints);
  if (before > 0 && database.ref_count() > before) renumber_loaded(database, before);
  make_loaded_keys_unique(database, before, messages);
  // A read error is said already; the format is not to blame then.
  hints.no_reference = result == ReadResult::kDone && database.ref_count() == before && has_content(path);
  return result;
}

}  // namespace refloom
