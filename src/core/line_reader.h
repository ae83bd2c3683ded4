#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

namespace refloom {

struct FileCloser {
  void operator()(std::FILE* file) const {
    if (file) std::fclose(file);
  }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Reads a text file line by line. A line feed ends a line and is not part of
// it; the last line counts even without one. Lines may be of any length and
// may hold any byte, carriage return included (streams from
// open_for_reading have their NUL bytes dropped already). A read error ends
// the lines as the end of the file would; the stream's error flag tells.
//
// Every reader of the program reads through this class over a stream from
// open_for_reading, which is what gives them all the same handling of NUL
// bytes and read errors.
class LineReader {
 public:
  // With a `limit`, a line longer than that comes cut to its first `limit`
  // bytes and the rest of it is passed over without being kept in memory.
  explicit LineReader(std::FILE* file, std::size_t limit = std::string::npos);

  // The next line, valid until the next call; false at the end of the file.
  bool next(std::string_view& line);

  // The caller will not look at these bytes of the current line again:
  // their memory may go back to the system (for lines of many megabytes,
  // so that copying one out does not double the memory it takes).
  void release(std::string_view consumed);

 private:
  struct Free {
    void operator()(char* p) const { std::free(p); }
  };

  bool fill();
  bool grow();
  bool skip_rest_of_line();

  std::FILE* file_;
  std::size_t limit_;
  std::unique_ptr<char, Free> buffer_;
  std::size_t capacity_ = 0;
  std::string cut_;  // the kept part of the last line that was cut
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool at_eof_ = false;
};

}  // namespace refloom
