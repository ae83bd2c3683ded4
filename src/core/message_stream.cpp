#include "core/message_stream.h"

namespace refloom {

namespace {
// Lines are handed on once this much has gathered, so that memory stays
// small however many messages a command writes.
constexpr std::size_t kBlock = 1 << 16;
}  // namespace

MessageStream::MessageStream(std::FILE* target) : std::ostream(&buffer_), buffer_(target) {}

MessageStream::~MessageStream() { flush(); }

void MessageStream::Buffer::write_out(std::size_t count) {
  if (count == 0) return;
  (void)std::fwrite(pending_.data(), 1, count, target_);
  pending_.erase(0, count);
}

void MessageStream::Buffer::write_whole_lines_if_large() {
  if (pending_.size() < kBlock) return;
  const std::size_t last_line_end = pending_.rfind('\n');
  if (last_line_end == std::string::npos) return;
  write_out(last_line_end + 1);
  (void)std::fflush(target_);
}

MessageStream::Buffer::int_type MessageStream::Buffer::overflow(int_type c) {
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  pending_.push_back(traits_type::to_char_type(c));
  if (c == '\n') write_whole_lines_if_large();
  return c;
}

std::streamsize MessageStream::Buffer::xsputn(const char* text, std::streamsize count) {
  pending_.append(text, static_cast<std::size_t>(count));
  write_whole_lines_if_large();
  return count;
}

int MessageStream::Buffer::sync() {
  write_out(pending_.size());
  return std::fflush(target_) == 0 ? 0 : -1;
}

}  // namespace refloom
