#include "core/bibtex_writer.h"

#include <charconv>

#include "core/file_io.h"

namespace refloom {

namespace {

// The reader ends a quoted value at a double quote that is not directly
// after a backslash and not enclosed as {"}; a quote at the start of a line
// counts as not preceded by anything.
bool quote_ends_value(std::string_view value, std::size_t i) {
  if (i == 0) return true;
  if (value[i - 1] == '\\') return false;
  return !(value[i - 1] == '{' && i + 1 < value.size() && value[i + 1] == '}');
}

bool reads_back_from_quotes(std::string_view value) {
  if (!value.empty() && value.back() == '\\') return false;  // would escape the closing quote
  for (std::size_t i = value.find('"'); i != std::string_view::npos; i = value.find('"', i + 1)) {
    if (quote_ends_value(value, i)) return false;
  }
  return true;
}

bool braces_balance(std::string_view value) {
  long depth = 0;
  for (char c : value) {
    if (c == '{') {
      ++depth;
    } else if (c == '}' && --depth < 0) {
      return false;
    }
  }
  return depth == 0;
}

// The least harmful quoted form of a value that no form carries unchanged:
// each quote that would end the value is enclosed as {"}, and a final
// backslash is kept apart from the closing quote by a blank. The file stays
// readable, and every other field and entry with it.
template <class Out>
void append_protected(std::string_view value, Out& out) {
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '"' && quote_ends_value(value, i)) {
      out.append("{\"}");
    } else {
      out.push_back(value[i]);
    }
  }
  if (!value.empty() && value.back() == '\\') out.push_back(' ');
}

}  // namespace

std::string protect_value(std::string_view value) {
  std::string out;
  append_protected(value, out);
  return out;
}

namespace {

template <class Out>
void append_number(RefId value, Out& out) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  out.append(std::string_view(digits, static_cast<std::size_t>(result.ptr - digits)));
}

// Writes to a stream through a buffer; a text of a megabyte or more goes to
// the stream directly rather than being copied into the buffer.
class StreamSink {
 public:
  static constexpr std::size_t kChunk = 1 << 20;

  explicit StreamSink(std::FILE* stream) : stream_(stream) { buffer_.reserve(kChunk + 4096); }

  StreamSink& append(std::string_view text) {
    if (text.size() >= kChunk) {
      flush();
      write(text);
    } else {
      buffer_.append(text);
      if (buffer_.size() >= kChunk) flush();
    }
    return *this;
  }
  void push_back(char c) {
    buffer_.push_back(c);
    if (buffer_.size() >= kChunk) flush();
  }
  bool finish() {
    flush();
    return ok_;
  }

 private:
  void write(std::string_view text) { ok_ = ok_ && std::fwrite(text.data(), 1, text.size(), stream_) == text.size(); }
  void flush() {
    write(buffer_);
    buffer_.clear();
  }

  std::FILE* stream_;
  std::string buffer_;
  bool ok_ = true;
};

template <class Out>
void emit_entry(const Reference& reference, Out& out) {
  // A reference left without an entry type by a broken header gets "misc",
  // so that the file still reads back.
  const auto type = reference.text(kEntryTypeSlot);
  out.push_back('@');
  out.append(type && !type->empty() ? *type : std::string_view("misc"));
  out.push_back('{');
  append_number(reference.ref_id(), out);
  out.append(",\n");
  for (const FieldInfo& field : kFieldOrder) {
    const auto value = reference.text(field.slot);
    if (!value || value->empty()) continue;
    switch (value_form(*value)) {
      case ValueForm::kQuotes:
        out.append(field.prefix).append(*value).append("\",\n");
        break;
      case ValueForm::kBraces:
        // The prefix ends in the opening quote; swap it for a brace.
        out.append(field.prefix.substr(0, field.prefix.size() - 1)).push_back('{');
        out.append(*value).append("},\n");
        break;
      case ValueForm::kProtectedQuotes:
        out.append(field.prefix);
        append_protected(*value, out);
        out.append("\",\n");
        break;
    }
  }
  out.append("}\n\n");
}

}  // namespace

ValueForm value_form(std::string_view value) {
  if (reads_back_from_quotes(value)) return ValueForm::kQuotes;
  if (braces_balance(value)) return ValueForm::kBraces;
  return ValueForm::kProtectedQuotes;
}

void append_bibtex_entry(const Reference& reference, std::string& out) { emit_entry(reference, out); }

bool write_bibtex(const ReferenceDatabase& database, std::FILE* stream) {
  StreamSink sink(stream);
  for (const Reference& reference : database.references()) emit_entry(reference, sink);
  return sink.finish();
}

int write_bibtex(const ReferenceDatabase& database, const std::string& path, std::ostream& messages) {
  auto file = SafeOutputFile::open(path);
  if (!file) {
    messages << "Cannot open file: " << path << "\n";
    return -1;
  }
  const bool written = write_bibtex(database, file->stream());
  if (!(written && file->commit())) {
    messages << "Cannot write file: " << path << "\n";
    return -1;
  }
  return 0;
}

}  // namespace refloom
