#include "core/line_reader.h"

#include <cstring>
#include <new>

#include "core/large_memory.h"

namespace refloom {

namespace {
constexpr std::size_t kInitialBuffer = 1 << 16;
// Below this, giving memory back is not worth a system call.
constexpr std::size_t kReleaseMinimum = 1 << 20;
}  // namespace

LineReader::LineReader(std::FILE* file, std::size_t limit)
    : file_(file), limit_(limit), buffer_(static_cast<char*>(std::malloc(kInitialBuffer))), capacity_(kInitialBuffer) {
  if (!buffer_) throw std::bad_alloc();
}

// Grows by doubling with realloc, which neither clears the new space nor,
// for large blocks, copies the old one (the kernel moves the pages; asking
// for huge pages here would make it copy them instead).
bool LineReader::grow() {
  char* grown = static_cast<char*>(std::realloc(buffer_.get(), capacity_ * 2));
  if (grown == nullptr) throw std::bad_alloc();
  buffer_.release();
  buffer_.reset(grown);
  capacity_ *= 2;
  return true;
}

bool LineReader::fill() {
  if (at_eof_) return false;
  // Keep the unfinished line, moved to the front; grow when it fills the
  // whole buffer, so that no line is ever cut.
  const std::size_t pending = end_ - begin_;
  if (begin_ > 0) {
    if (pending > 0) std::memmove(buffer_.get(), buffer_.get() + begin_, pending);
    begin_ = 0;
    end_ = pending;
  }
  if (end_ == capacity_) grow();
  const std::size_t got = std::fread(buffer_.get() + end_, 1, capacity_ - end_, file_);
  end_ += got;
  if (got == 0 || std::ferror(file_)) at_eof_ = true;
  return got > 0;
}

// Passes over what is left of an over-long line, up to and including its
// line feed, keeping nothing of it.
bool LineReader::skip_rest_of_line() {
  for (;;) {
    const void* newline = std::memchr(buffer_.get() + begin_, '\n', end_ - begin_);
    if (newline != nullptr) {
      begin_ = static_cast<std::size_t>(static_cast<const char*>(newline) - buffer_.get()) + 1;
      return true;
    }
    begin_ = end_;
    if (!fill()) return false;
  }
}

bool LineReader::next(std::string_view& line) {
  std::size_t searched = begin_;
  for (;;) {
    const char* start = buffer_.get() + searched;
    const void* newline = std::memchr(start, '\n', end_ - searched);
    if (newline != nullptr) {
      const auto at = static_cast<std::size_t>(static_cast<const char*>(newline) - buffer_.get());
      line = std::string_view(buffer_.get() + begin_, at - begin_);
      begin_ = at + 1;
      if (line.size() > limit_) line = line.substr(0, limit_);
      return true;
    }
    if (end_ - begin_ > limit_) {
      // Cut: the first `limit_` bytes are kept aside and the rest of the
      // line is passed over as it is read.
      cut_.assign(buffer_.get() + begin_, limit_);
      begin_ += limit_;
      skip_rest_of_line();
      line = cut_;
      return true;
    }
    const std::size_t already = end_ - begin_;
    if (!fill()) {
      if (begin_ == end_) return false;
      line = std::string_view(buffer_.get() + begin_, end_ - begin_);
      begin_ = end_;
      return true;
    }
    searched = begin_ + already;
  }
}

void LineReader::release(std::string_view consumed) {
  if (consumed.size() < kReleaseMinimum) return;
  const char* buffer = buffer_.get();
  if (consumed.data() < buffer || consumed.data() + consumed.size() > buffer + end_) return;  // not ours
  release_pages(consumed.data(), consumed.size());
}

}  // namespace refloom
