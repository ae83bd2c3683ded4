#pragma once

// What the window shows of one command's messages. Every message still goes
// to its stream byte for byte; the window gets a bounded summary, so that a
// load that reports on every line neither fills memory nor opens a flood
// of dialogs.

#include <cstddef>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace refloom {

// The messages of one command, one per line: the first lines kept, the rest
// only counted.
class MessageSummary {
 public:
  // How many lines are kept for the window, and how many bytes of each.
  static constexpr std::size_t kKeptLines = 200;
  static constexpr std::size_t kKeptLineBytes = 500;

  // Bytes as the command wrote them; a line feed ends a message.
  void add(std::string_view bytes);
  // A load ran: the heading says how many references it read, from where.
  void set_load(std::size_t references_read, std::string path);
  // Forgets the command: no messages, no load.
  void clear();

  bool empty() const { return count_ == 0 && !line_started_; }
  // Messages written, a last one without its line feed included.
  std::size_t message_count() const { return count_ + (line_started_ ? 1 : 0); }
  // "2 messages:", or after a load
  // "3000 references read from /data/refs.bib; 2 messages:".
  std::string heading() const;
  // The kept messages one per line (a line cut at kKeptLineBytes ends in
  // "..."), then, if there were more,
  // "... and 4800 more (every message is on standard output)".
  std::string text() const;

 private:
  void end_line();

  std::vector<std::string> kept_;
  std::string line_;           // the message being written, while kept
  bool line_started_ = false;  // some bytes of a message without its line feed
  bool line_cut_ = false;      // the message being written was too long
  std::size_t count_ = 0;      // messages ended by a line feed
  std::optional<std::size_t> references_read_;
  std::string load_path_;
};

// A stream that hands every byte on to a target stream unchanged and lets a
// summary see it as well.
class MessageCollector : public std::ostream {
 public:
  explicit MessageCollector(std::ostream& target);
  MessageCollector(const MessageCollector&) = delete;
  MessageCollector& operator=(const MessageCollector&) = delete;

  void set_target(std::ostream& target) { buffer_.target = &target; }
  std::ostream& target() const { return *buffer_.target; }
  MessageSummary& summary() { return buffer_.summary; }
  const MessageSummary& summary() const { return buffer_.summary; }

 private:
  // No buffer of its own: each write goes straight on to the target's.
  class Tee : public std::streambuf {
   public:
    std::ostream* target = nullptr;
    MessageSummary summary;

   protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;
  };

  Tee buffer_;
};

}  // namespace refloom
