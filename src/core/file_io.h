#pragma once

#include <cstdio>
#include <optional>
#include <ostream>
#include <string>

#include "core/line_reader.h"
#include "core/outcome.h"

namespace refloom {

// Opens a file for reading; a directory counts as a file that cannot be
// opened (reading one would silently give nothing). NUL bytes are dropped
// as the file is read, so that every reader, the list, the form, searching
// and saving see the same text. When the stream is closed, what reading met
// is reported on `messages`, once each, naming the path:
// "NUL bytes dropped from file: PATH\n" and "Cannot read file: PATH\n" (a
// read error other than the end of the file, after which the stream reads
// as ended). `messages` must outlive the stream.
//
// A reader that decodes UTF-16 asks for kEightBitOrUtf16: a file that begins
// as UTF-16 does (a byte order mark, or a NUL beside the first character) is
// then passed through whole, its NUL bytes being part of the encoding.
enum class TextEncodings { kEightBit, kEightBitOrUtf16 };
FilePtr open_for_reading(const std::string& path, std::ostream& messages,
                         TextEncodings encodings = TextEncodings::kEightBit);

// The same over a descriptor that is already open (taken over, closed with
// the stream); `path` names it in the reports.
FilePtr reading_stream(int fd, const std::string& path, std::ostream& messages,
                       TextEncodings encodings = TextEncodings::kEightBit);

// Whether reading the stream failed (it then read as ended early). Only
// meaningful before the stream is closed.
bool read_failed(std::FILE* stream);

// The result a reader gives for a file it opened: done, or cut short by a
// read error (the references read before it stay).
inline ReadResult reading_result(std::FILE* stream) {
  return read_failed(stream) ? ReadResult::kCutShort : ReadResult::kDone;
}

// What stands at a path the user wants to save to. A file that exists but
// cannot be read counts as absent (it is written without a question).
enum class SaveTarget { kAbsent, kExistingFile, kDirectory };
SaveTarget save_target(const std::string& path);

// Writes a file the way opening it for writing would, without ever losing
// the old content:
// - a new file, or a regular file that a rename can replace with everything
//   kept (one link, an owner and group the new file can take, no ACLs or
//   extended attributes, a directory that allows it), is written to a
//   temporary file beside it (".rfXXXXXX", so that any valid name works),
//   which is renamed over it once written, flushed and closed;
// - any other regular file is rewritten in place, on the same inode, after
//   a complete copy of its old content was taken; if writing fails, the old
//   content is put back;
//   (the same when a rename is refused at the end, as for a file that is a
//   mount point of its own);
// - pipes, terminals and other devices are written directly.
// A symbolic link is written through, not replaced.
class SafeOutputFile {
 public:
  // Fails (nullopt) where opening the target for writing would fail: a
  // missing directory, no permission, a directory as target; also for an
  // unreadable non-empty file that would have to be rewritten in place,
  // since its old content could not be kept.
  static std::optional<SafeOutputFile> open(const std::string& path);

  SafeOutputFile(SafeOutputFile&& other) noexcept;
  SafeOutputFile& operator=(SafeOutputFile&&) = delete;
  SafeOutputFile(const SafeOutputFile&) = delete;
  ~SafeOutputFile();

  std::FILE* stream() const { return stream_; }

  // Flushes, closes and puts the file in place; false if any step failed
  // (the old content is then as it was).
  bool commit();

 private:
  enum class Mode { kDirect, kRename, kInPlace };

  SafeOutputFile() = default;
  void discard();
  bool restore();
  bool keep_old_content();
  bool write_over_target();

  Mode mode_ = Mode::kDirect;
  std::FILE* stream_ = nullptr;
  int directory_fd_ = -1;      // kRename: the target's directory
  std::string temporary_;      // kRename: the temporary's name in it
  std::string target_name_;    // kRename: the target's name in it
  int restore_fd_ = -1;        // kInPlace: the target, for putting the old content back
  FilePtr backup_;             // kInPlace: the old content, in a temporary file ...
  std::string backup_memory_;  // ... or in memory when no temporary file could be made
};

}  // namespace refloom
