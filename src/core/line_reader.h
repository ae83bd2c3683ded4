#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

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
class LineReader {
 public:
  explicit LineReader(std::FILE* file);

  // The next line, valid until the next call; false at the end of the file.
  bool next(std::string_view& line);

 private:
  bool fill();

  std::FILE* file_;
  std::vector<char> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool at_eof_ = false;
};

}  // namespace refloom
