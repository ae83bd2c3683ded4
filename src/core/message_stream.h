#pragma once

#include <cstdio>
#include <ostream>
#include <streambuf>
#include <string>

namespace refloom {

// The stream that messages for the user go through: it collects them in
// memory and hands them to the target file in whole lines, all at once
// when flushed (at the end of each command) or a large block of lines at a
// time, so that a load that reports on every line does not pay a write for
// every few bytes. The bytes are exactly those written to it.
class MessageStream : public std::ostream {
 public:
  explicit MessageStream(std::FILE* target);
  ~MessageStream() override;
  MessageStream(const MessageStream&) = delete;
  MessageStream& operator=(const MessageStream&) = delete;

 private:
  class Buffer : public std::streambuf {
   public:
    explicit Buffer(std::FILE* target) : target_(target) {}
    void write_out(std::size_t count);

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

   private:
    void write_whole_lines_if_large();

    std::FILE* target_;
    std::string pending_;
  };

  Buffer buffer_;
};

}  // namespace refloom
