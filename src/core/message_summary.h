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

#include "core/format_hints.h"

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
  // What the load noticed about the format it read the file in (named by
  // its label in the Load dialog): a line each on screen, before the
  // messages, not counted among them.
  void set_format_hints(FormatHints hints, std::string format_label);
  // Forgets the command: no messages, no load.
  void clear();

  bool empty() const { return count_ == 0 && !line_started_ && !hints_.any(); }
  // Messages written, a last one without its line feed included.
  std::size_t message_count() const { return count_ + (line_started_ ? 1 : 0); }
  // "2 messages:", or after a load
  // "3000 references read from /data/refs.bib; 2 messages:", or, after a
  // load with format hints and no messages,
  // "0 references read from /data/refs.bib.".
  std::string heading() const;
  // The format hints, then the kept messages one per line (a line cut at
  // kKeptLineBytes ends in "..."), then, if there were more,
  // "... and 4800 more (every message is on standard output)".
  std::string text() const;

 private:
  void end_line();

  std::vector<std::string> kept_;
  std::string line_;           // the message being written, while kept
  bool line_started_ = false;  // some bytes of a message without its line feed
  std::size_t count_ = 0;      // messages ended by a line feed
  std::optional<std::size_t> references_read_;
  std::string load_path_;
  FormatHints hints_;
  std::string format_label_;
};

// A stream that hands every byte on to a target stream unchanged and lets a
// summary see it as well.
class MessageCollector : public std::ostream {
 public:
  explicit MessageCollector(std::ostream& target);
  MessageCollector(const MessageCollector&) = delete;
  MessageCollector& operator=(const MessageCollector&) = delete;

  // What was written so far goes to the old target first.
  void set_target(std::ostream& target) {
    buffer_.pass_on();
    buffer_.target = &target;
  }
  std::ostream& target() const { return *buffer_.target; }
  // The summary of everything written so far.
  MessageSummary& summary() {
    buffer_.pass_on();
    return buffer_.summary;
  }

 private:
  // Writes gather in a small block and go on to the target and the summary
  // together, so that a message of many pieces costs one call of each.
  class Tee : public std::streambuf {
   public:
    Tee() { setp(block_, block_ + sizeof block_); }
    std::ostream* target = nullptr;
    MessageSummary summary;
    // Hands the gathered bytes to the target and the summary.
    void pass_on();

   protected:
    int_type overflow(int_type c) override;
    int sync() override;

   private:
    char block_[4096];
  };

  Tee buffer_;
};

}  // namespace refloom
