#include "core/bibtex_writer.h"

#include <algorithm>
#include <charconv>
#include <unordered_set>

#include "core/bibtex_value.h"
#include "core/file_io.h"
#include "core/other_fields.h"

namespace refloom {

namespace {

std::string decimal(RefId value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return std::string(digits, result.ptr);
}

}  // namespace

WrittenKeys::WrittenKeys(const ReferenceDatabase& database) : database_(database) {
  const auto& references = database.references();
  // Nearly always every key is held once: then nothing changes, and that is
  // found without a string for each number. A citation key is never a number
  // as Refloom writes it (those are RefIds), so the two kinds cannot meet.
  {
    std::unordered_set<std::string_view, KeyHash, KeyEqual> citation_keys;
    citation_keys.reserve(references.size());
    std::vector<RefId> numbers;
    bool repeated = false;
    for (const Reference& reference : references) {
      const std::string_view own = reference.citation_key();
      if (own.empty()) {
        numbers.push_back(reference.ref_id());
      } else if (!citation_keys.insert(own).second || numeric_key(own)) {
        repeated = true;
        break;
      }
    }
    if (!repeated) {
      std::sort(numbers.begin(), numbers.end());
      if (std::adjacent_find(numbers.begin(), numbers.end()) == numbers.end()) return;
    }
  }
  // A reference's own key is never the one to give way to a number.
  std::unordered_set<std::string> citation_keys;
  for (const Reference& reference : references) {
    if (!reference.citation_key().empty()) citation_keys.insert(lower_case(reference.citation_key()));
  }
  std::unordered_set<std::string> written;
  written.reserve(references.size());
  // For each key held more than once, the suffix to try next, so that many
  // references of one key cost no more than one each.
  std::unordered_map<std::string, std::size_t> next_suffix;
  for (std::size_t i = 0; i < references.size(); ++i) {
    const std::string_view own = references[i].citation_key();
    const std::string key = own.empty() ? decimal(references[i].ref_id()) : std::string(own);
    std::string lowered = lower_case(key);
    const bool taken = written.contains(lowered) || (own.empty() && citation_keys.contains(lowered));
    if (!taken) {
      written.insert(std::move(lowered));
      continue;
    }
    std::size_t& n = next_suffix[lowered];
    while (written.contains(lowered + key_suffix(n)) || citation_keys.contains(lowered + key_suffix(n))) ++n;
    const std::string suffix = key_suffix(n++);
    written.insert(lowered + suffix);
    renamed_[i] = key + suffix;
    const auto [found, added] = repeat_of_.emplace(lowered, repeats_.size());
    if (added) repeats_.push_back({key, 1, key + suffix, key + suffix});
    Repeat& repeat = repeats_[found->second];
    ++repeat.holders;
    repeat.last_written = key + suffix;
  }
}

std::string WrittenKeys::key(std::size_t index) const {
  if (const auto found = renamed_.find(index); found != renamed_.end()) return found->second;
  const Reference& reference = database_.reference(index);
  return reference.citation_key().empty() ? decimal(reference.ref_id()) : std::string(reference.citation_key());
}

std::string other_field_prefix(std::string_view name) {
  std::string prefix(name);
  prefix.append(name.size() < 11 ? 11 - name.size() : 1, ' ');
  prefix.append("= ");
  return prefix;
}

namespace {

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

// Appends to a string, as StreamSink to a stream.
class StringSink {
 public:
  explicit StringSink(std::string& out) : out_(out) {}
  StringSink& append(std::string_view text) {
    out_.append(text);
    return *this;
  }
  void push_back(char c) { out_.push_back(c); }

 private:
  std::string& out_;
};

template <class Out>
class Writer {
 public:
  Writer(const ReferenceDatabase& database, Out& out, std::ostream& messages)
      : database_(database), out_(out), messages_(messages), keys_(database) {}

  void write() {
    for (const BibtexBlock& block : database_.blocks()) {
      if (block.kind == BibtexBlock::Kind::kPreamble) {
        out_.append("@preamble{");
        value(block.text, block.source, "@preamble");
        out_.append("}\n\n");
      } else if (block.kind == BibtexBlock::Kind::kString) {
        out_.append("@string{").append(block.name).append(" = ");
        value(block.text, block.source, "@string " + block.name);
        out_.append("}\n\n");
        // What the macro stands for from here on, as BibTeX reads it: its
        // text as written, braces balanced.
        macros_.define(block.name, braces_balance(block.text) ? block.text : balance_braces(block.text));
      }
    }
    for (const WrittenKeys::Repeat& repeat : keys_.repeats()) {
      messages_ << "key " << repeat.key << " held by " << repeat.holders << " references, the later ones written as "
                << repeat.first_written;
      if (repeat.holders > 2) messages_ << " to " << repeat.last_written;
      messages_ << " \n";
    }
    const auto& references = database_.references();
    for (std::size_t i = 0; i < references.size(); ++i) entry(references[i], keys_.key(i));
    for (const BibtexBlock& block : database_.blocks()) {
      if (block.kind == BibtexBlock::Kind::kComment) out_.append(block.text).append("\n\n");
    }
  }

 private:
  void entry(const Reference& reference, const std::string& key) {
    // A reference left without an entry type by a broken header gets "misc",
    // so that the file still reads back.
    const auto type = reference.text(kEntryTypeSlot);
    out_.push_back('@');
    out_.append(type && !type->empty() ? *type : std::string_view("misc"));
    out_.push_back('{');
    out_.append(key);
    out_.append(",\n");
    current_key_ = &key;
    const ReferenceExtras& extras = reference.extras();
    std::array<std::string_view, kSlotCount> sources{};
    std::uint32_t derived = 0;
    if (!extras.empty()) derived = extras.slot_sources(sources);
    std::array<std::optional<std::string>, kSlotCount> aliases;
    if (derived != 0) aliases = alias_texts(extras);
    for (const FieldInfo& field : kFieldOrder) {
      const auto text = reference.text(field.slot);
      if (!text || text->empty()) continue;
      const auto index = static_cast<std::size_t>(field.slot);
      if (((derived >> field.slot) & 1U) && aliases[index] && *aliases[index] == *text) continue;
      // The prefix ends in the opening quote, which the value brings itself.
      out_.append(field.prefix.substr(0, field.prefix.size() - 1));
      value(*text, sources[index], field.name);
      out_.append(",\n");
    }
    extras.for_each_other_field([&](std::string_view name, std::string_view text, std::string_view source) {
      out_.append(other_field_prefix(name));
      value(text, source, name);
      out_.append(",\n");
    });
    out_.append("}\n\n");
  }

  // The value in its source form while that stands for the text, else as a
  // literal.
  void value(std::string_view text, std::string_view source, std::string_view what) {
    if (!source.empty() && stands_for(source, text)) {
      out_.append(source);
      return;
    }
    const ValueShape shape = value_shape(text);
    if (shape.balanced) {
      literal(text, shape.fits_quotes);
      return;
    }
    const std::string balanced = balance_braces(text);
    literal(balanced, fits_quotes(balanced));
    messages_ << "braces balanced in " << what;
    if (what.empty() || what[0] != '@') messages_ << " of " << *current_key_;
    messages_ << ", so that BibTeX reads the file \n";
  }

  // Whether a source form gives the text with the macros known here; a
  // single macro name (month = nov, journal = jacm, most of them) is looked
  // up directly.
  bool stands_for(std::string_view source, std::string_view text) const {
    if (std::all_of(source.begin(), source.end(), is_bibtex_name_char) && !(source[0] >= '0' && source[0] <= '9')) {
      const std::string* expansion = macros_.find(source);
      return expansion ? *expansion == text : source == text;
    }
    const auto expanded = expand_source(source, macros_);
    return expanded && *expanded == text;
  }

  void literal(std::string_view text, bool quotes) {
    out_.push_back(quotes ? '"' : '{');
    out_.append(text).push_back(quotes ? '"' : '}');
  }

  const ReferenceDatabase& database_;
  Out& out_;
  std::ostream& messages_;
  WrittenKeys keys_;
  MacroTable macros_;
  const std::string* current_key_ = nullptr;
};

}  // namespace

bool write_bibtex(const ReferenceDatabase& database, std::FILE* stream, std::ostream& messages) {
  StreamSink sink(stream);
  Writer<StreamSink>(database, sink, messages).write();
  return sink.finish();
}

std::string bibtex_text(const ReferenceDatabase& database, std::ostream& messages) {
  std::string text;
  StringSink sink(text);
  Writer<StringSink>(database, sink, messages).write();
  return text;
}

WriteResult write_bibtex(const ReferenceDatabase& database, const std::string& path, std::ostream& messages) {
  auto file = SafeOutputFile::open(path);
  if (!file) {
    messages << "Cannot open file: " << path << "\n";
    return WriteResult::kFailed;
  }
  const bool written = write_bibtex(database, file->stream(), messages);
  if (!(written && file->commit())) {
    messages << "Cannot write file: " << path << "\n";
    return WriteResult::kFailed;
  }
  return WriteResult::kDone;
}

}  // namespace refloom
