// Feeds arbitrary bytes to the reader of BibTeX in any style; whatever it
// reads must write and read back into equal references, without a message,
// through both BibTeX formats.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "core/bibtex_any_reader.h"
#include "core/bibtex_reader.h"
#include "core/bibtex_writer.h"

namespace {

refloom::ReferenceDatabase read_old_format(const std::string& text) {
  refloom::ReferenceDatabase db;
  if (text.empty()) return db;
  std::FILE* stream = fmemopen(const_cast<char*>(text.data()), text.size(), "rb");
  if (!stream) std::abort();
  std::ostringstream messages;
  refloom::read_bibtex(db, stream, messages);
  std::fclose(stream);
  if (!messages.str().empty()) std::abort();
  return db;
}

// What a reference reads back as: empty texts are not written, and values
// no form carries unchanged are written protected.
refloom::Reference expected_after_round_trip(const refloom::Reference& reference) {
  refloom::Reference expected = reference;
  for (int slot = 2; slot < refloom::kSlotCount; ++slot) {
    const auto text = reference.text(slot);
    if (text && text->empty()) {
      expected.set_text(slot, std::nullopt);
    } else if (text && refloom::value_form(*text) == refloom::ValueForm::kProtectedQuotes) {
      expected.set_text(slot, refloom::protect_value(*text));
    }
  }
  return expected;
}

void expect_equal(const refloom::ReferenceDatabase& first, const refloom::ReferenceDatabase& second) {
  if (second.ref_count() != first.ref_count()) std::abort();
  for (std::size_t i = 0; i < first.ref_count(); ++i) {
    if (!(second.reference(i) == expected_after_round_trip(first.reference(i)))) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::ostringstream messages;
  refloom::ReferenceDatabase first;
  refloom::read_bibtex_any_text(first, std::string_view(reinterpret_cast<const char*>(data), size), messages);

  std::string written;
  for (const refloom::Reference& reference : first.references()) {
    const auto type = reference.text(refloom::kEntryTypeSlot);
    if (!type || type->empty()) std::abort();  // every entry read has its type
    refloom::append_bibtex_entry(reference, written);
  }

  std::ostringstream second_messages;
  refloom::ReferenceDatabase second;
  refloom::read_bibtex_any_text(second, written, second_messages);
  if (!second_messages.str().empty()) std::abort();
  expect_equal(first, second);
  expect_equal(first, read_old_format(written));
  return 0;
}
