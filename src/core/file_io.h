#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "core/line_reader.h"

namespace refloom {

// Opens a file for reading; a directory counts as a file that cannot be
// opened (reading one would silently give nothing).
FilePtr open_for_reading(const std::string& path);

// Replaces a file only once its new content is completely on disk: the
// content goes to a temporary file beside the target, which is renamed over
// the target after everything was written, flushed and closed. A failed
// write leaves an existing file as it was. The old file's permission bits
// are kept; a symbolic link is written through, not replaced. Targets that
// are not regular files (a terminal, /dev/null) are written directly.
class SafeOutputFile {
 public:
  // Fails (nullopt) where opening the target for writing would fail: a
  // missing directory, no permission, a directory as target.
  static std::optional<SafeOutputFile> open(const std::string& path);

  SafeOutputFile(SafeOutputFile&& other) noexcept;
  SafeOutputFile& operator=(SafeOutputFile&&) = delete;
  SafeOutputFile(const SafeOutputFile&) = delete;
  ~SafeOutputFile();

  std::FILE* stream() const { return stream_; }

  // Flushes, syncs, closes and puts the file in place; false if any step
  // failed (the target is then untouched).
  bool commit();

 private:
  SafeOutputFile() = default;
  void discard();

  std::FILE* stream_ = nullptr;
  std::string target_;     // the path written in the end (links resolved)
  std::string temporary_;  // empty when writing the target directly
};

}  // namespace refloom
