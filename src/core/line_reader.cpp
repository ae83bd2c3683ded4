#include "core/line_reader.h"

#include <cstring>

namespace refloom {

namespace {
constexpr std::size_t kInitialBuffer = 1 << 16;
}

LineReader::LineReader(std::FILE* file) : file_(file), buffer_(kInitialBuffer) {}

bool LineReader::fill() {
  if (at_eof_) return false;
  // Keep the unfinished line, moved to the front; grow when it fills the
  // whole buffer, so that no line is ever cut.
  const std::size_t pending = end_ - begin_;
  if (begin_ > 0) {
    if (pending > 0) std::memmove(buffer_.data(), buffer_.data() + begin_, pending);
    begin_ = 0;
    end_ = pending;
  }
  if (end_ == buffer_.size()) buffer_.resize(buffer_.size() * 2);
  const std::size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
  end_ += got;
  if (got == 0 || std::ferror(file_)) at_eof_ = true;
  return got > 0;
}

bool LineReader::next(std::string_view& line) {
  std::size_t searched = begin_;
  for (;;) {
    const char* start = buffer_.data() + searched;
    const void* newline = std::memchr(start, '\n', end_ - searched);
    if (newline != nullptr) {
      const auto at = static_cast<std::size_t>(static_cast<const char*>(newline) - buffer_.data());
      line = std::string_view(buffer_.data() + begin_, at - begin_);
      begin_ = at + 1;
      return true;
    }
    const std::size_t already = end_ - begin_;
    if (!fill()) {
      if (begin_ == end_) return false;
      line = std::string_view(buffer_.data() + begin_, end_ - begin_);
      begin_ = end_;
      return true;
    }
    searched = begin_ + already;
  }
}

}  // namespace refloom
