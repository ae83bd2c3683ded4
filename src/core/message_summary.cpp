#include "core/message_summary.h"

#include <algorithm>
#include <cstring>

namespace refloom {

namespace {

std::string counted(std::size_t count, const char* singular, const char* plural) {
  return std::to_string(count) + " " + (count == 1 ? singular : plural);
}

}  // namespace

void MessageSummary::add(std::string_view bytes) {
  while (!bytes.empty()) {
    if (kept_.size() >= kKeptLines) {
      // Past the kept lines only the line feeds matter.
      const auto feeds = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
      count_ += feeds;
      line_started_ = bytes.back() != '\n';
      return;
    }
    const void* found = std::memchr(bytes.data(), '\n', bytes.size());
    const std::size_t piece =
        found == nullptr ? bytes.size() : static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data());
    if (piece > 0) line_started_ = true;
    // One byte beyond the limit tells a cut line from one of exactly the limit.
    const std::size_t room = kKeptLineBytes + 1 - std::min(line_.size(), kKeptLineBytes + 1);
    line_.append(bytes.data(), std::min(piece, room));
    if (found == nullptr) return;
    end_line();
    bytes.remove_prefix(piece + 1);
  }
}

void MessageSummary::end_line() {
  ++count_;
  if (line_.size() > kKeptLineBytes) {
    std::size_t cut = kKeptLineBytes;
    // Not inside a UTF-8 sequence: back to its first byte.
    for (int back = 0; back < 3 && cut > 0 && (static_cast<unsigned char>(line_[cut]) & 0xC0) == 0x80; ++back) {
      --cut;
    }
    line_.resize(cut);
    line_ += "...";
  }
  kept_.push_back(std::move(line_));
  line_.clear();
  line_started_ = false;
}

void MessageSummary::set_load(std::size_t references_read, std::string path) {
  references_read_ = references_read;
  load_path_ = std::move(path);
}

void MessageSummary::set_format_hints(FormatHints hints, std::string format_label) {
  hints_ = hints;
  format_label_ = std::move(format_label);
}

void MessageSummary::clear() {
  kept_.clear();
  line_.clear();
  line_started_ = false;
  count_ = 0;
  references_read_.reset();
  load_path_.clear();
  hints_ = FormatHints();
  format_label_.clear();
}

std::string MessageSummary::heading() const {
  std::string heading;
  if (references_read_) {
    heading = counted(*references_read_, "reference", "references") + " read from " + load_path_;
    // The hints need no count of messages that are not there.
    if (message_count() == 0 && hints_.any()) return heading + ".";
    heading += "; ";
  }
  return heading + counted(message_count(), "message", "messages") + ":";
}

std::string MessageSummary::text() const {
  std::string text;
  if (hints_.todays_bibtex) {
    text += "This file looks like BibTeX in today's style: load it with the format \"BibTeX (any style)\".\n";
  }
  if (hints_.no_reference) {
    text += "No reference found in this file with the format \"" + format_label_ + "\": it may be in another format.\n";
  }
  for (const std::string& line : kept_) {
    text += line;
    text += '\n';
  }
  // A last message without its line feed, while there was room for it.
  if (line_started_ && kept_.size() < kKeptLines) {
    text += line_;
    text += '\n';
  }
  const std::size_t shown = kept_.size() + (line_started_ && kept_.size() < kKeptLines ? 1 : 0);
  if (message_count() > shown) {
    text += "... and " + std::to_string(message_count() - shown) + " more (every message is on standard output)";
  } else if (!text.empty()) {
    text.pop_back();
  }
  return text;
}

MessageCollector::MessageCollector(std::ostream& target) : std::ostream(&buffer_) { buffer_.target = &target; }

void MessageCollector::Tee::pass_on() {
  const auto size = static_cast<std::size_t>(pptr() - pbase());
  if (size == 0) return;
  target->rdbuf()->sputn(pbase(), static_cast<std::streamsize>(size));
  summary.add(std::string_view(pbase(), size));
  setp(block_, block_ + sizeof block_);
}

MessageCollector::Tee::int_type MessageCollector::Tee::overflow(int_type c) {
  pass_on();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

int MessageCollector::Tee::sync() {
  pass_on();
  target->flush();
  return target->bad() ? -1 : 0;
}

}  // namespace refloom
