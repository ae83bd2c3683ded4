// Feeds arbitrary bytes to the BibTeX reader; whatever it reads must write
// and read back into equal references, without a message.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "core/bibtex_reader.h"
#include "core/bibtex_value.h"
#include "core/bibtex_writer.h"

namespace {

refloom::ReferenceDatabase read_from(const char* data, std::size_t size, std::ostream& messages) {
  refloom::ReferenceDatabase db;
  if (size == 0) return db;
  std::FILE* stream = fmemopen(const_cast<char*>(data), size, "rb");
  if (!stream) std::abort();
  refloom::read_bibtex(db, stream, messages);
  std::fclose(stream);
  return db;
}

// Carriage returns before a line feed belong to the line end when read, so
// they are lost from each line of a written value.
std::string without_returns_at_line_ends(std::string_view text) {
  std::string result;
  for (char c : text) {
    if (c == '\n') {
      while (!result.empty() && result.back() == '\r') result.pop_back();
    }
    result.push_back(c);
  }
  return result;
}

// What a reference reads back as: empty texts are not written, a missing
// entry type is written as misc, and values whose braces do not balance are
// written balanced.
refloom::Reference expected_after_round_trip(const refloom::Reference& reference) {
  refloom::Reference expected = reference;
  for (int slot = 1; slot < refloom::kSlotCount; ++slot) {
    const auto text = reference.text(slot);
    if (slot == refloom::kEntryTypeSlot) {
      if (!text || text->empty()) expected.set_text(slot, "misc");
    } else if (text && text->empty()) {
      expected.set_text(slot, std::nullopt);
    } else if (text && !refloom::braces_balance(*text)) {
      expected.set_text(slot, without_returns_at_line_ends(refloom::balance_braces(*text)));
    } else if (text) {
      expected.set_text(slot, without_returns_at_line_ends(*text));
    }
  }
  return expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::ostringstream messages;
  const refloom::ReferenceDatabase first = read_from(reinterpret_cast<const char*>(data), size, messages);

  std::ostringstream save_messages;
  const std::string written = refloom::bibtex_text(first, save_messages);
  std::ostringstream second_messages;
  const refloom::ReferenceDatabase second = read_from(written.data(), written.size(), second_messages);

  if (!second_messages.str().empty()) std::abort();
  if (second.ref_count() != first.ref_count()) std::abort();
  for (std::size_t i = 0; i < first.ref_count(); ++i) {
    if (!(second.reference(i) == expected_after_round_trip(first.reference(i)))) std::abort();
  }
  return 0;
}
