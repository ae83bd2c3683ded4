// Feeds arbitrary bytes to the reader of BibTeX in any style; whatever it
// reads must write and read back with the same keys, fields, preambles and
// macros, and what a save writes again must be the same file. A file of
// nothing but what the "BibTeX" format knows must read back through that
// format too.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "core/bibtex_any_reader.h"
#include "core/bibtex_reader.h"
#include "core/bibtex_value.h"
#include "core/bibtex_writer.h"
#include "core/other_fields.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

// What a text reads back as: values whose braces do not balance are
// written balanced.
std::string after_save(std::string_view text) {
  return refloom::braces_balance(text) ? std::string(text) : refloom::balance_braces(text);
}

std::string key_of(const refloom::Reference& reference) {
  return reference.citation_key().empty() ? std::to_string(reference.ref_id()) : std::string(reference.citation_key());
}

void expect_same(const refloom::ReferenceDatabase& first, const refloom::ReferenceDatabase& second) {
  check(second.ref_count() == first.ref_count());
  const refloom::WrittenKeys keys(first);
  for (std::size_t i = 0; i < first.ref_count(); ++i) {
    const refloom::Reference& a = first.reference(i);
    const refloom::Reference& b = second.reference(i);
    check(key_of(b) == keys.key(i));
    const refloom::ExtrasData x = a.extras().unpack();
    const refloom::ExtrasData y = b.extras().unpack();
    // A field filled in from a biblatex name is filled in again from that
    // field as saved (braces balanced).
    std::vector<refloom::OtherField> saved_fields = x.other_fields;
    for (auto& field : saved_fields) field.text = after_save(field.text);
    const auto aliases = refloom::alias_texts(saved_fields);
    std::uint32_t derived = 0;
    for (int slot = 1; slot < refloom::kSlotCount; ++slot) {
      const auto text = a.text(slot);
      if ((x.derived >> slot) & 1U) {
        const auto& alias = aliases[static_cast<std::size_t>(slot)];
        check(b.text(slot) == alias);
        if (alias) derived |= 1U << slot;
      } else if (!text || (slot != refloom::kEntryTypeSlot && text->empty())) {
        // An empty value is not written; a biblatex name may fill the field
        // in its place when the file is read again.
        if ((y.derived >> slot) & 1U) {
          check(b.text(slot) == aliases[static_cast<std::size_t>(slot)]);
          derived |= 1U << slot;
        } else {
          check(!b.text(slot).has_value());
        }
      } else {
        check(b.text(slot) == after_save(*text));
      }
    }
    check(y.derived == derived);
    check(x.other_fields.size() == y.other_fields.size());
    for (std::size_t f = 0; f < x.other_fields.size(); ++f) {
      check(y.other_fields[f].name == x.other_fields[f].name);
      check(y.other_fields[f].text == after_save(x.other_fields[f].text));
    }
  }
  // Preambles and macros in their order, comments in theirs.
  for (const bool comments : {false, true}) {
    std::vector<const refloom::BibtexBlock*> a;
    std::vector<const refloom::BibtexBlock*> b;
    for (const auto& block : first.blocks()) {
      if ((block.kind == refloom::BibtexBlock::Kind::kComment) == comments) a.push_back(&block);
    }
    for (const auto& block : second.blocks()) {
      if ((block.kind == refloom::BibtexBlock::Kind::kComment) == comments) b.push_back(&block);
    }
    check(a.size() == b.size());
    for (std::size_t k = 0; k < a.size(); ++k) {
      check(a[k]->kind == b[k]->kind && a[k]->name == b[k]->name);
      check(b[k]->text == (comments ? a[k]->text : after_save(a[k]->text)));
    }
  }
}

// Only macros the styles define may be named when the saved file is read.
void expect_no_fault(const std::string& messages) {
  std::size_t start = 0;
  while (start < messages.size()) {
    const std::size_t end = messages.find('\n', start);
    check(messages.compare(start, 22, "unknown macro in line ") == 0);
    if (end == std::string::npos) break;
    start = end + 1;
  }
}

// Whether the database holds only what the "BibTeX" format reads: no keys
// but numbers it reads back (at most the largest signed 64-bit one), no
// fields outside the 28, no macros, no blocks.
bool plain(const refloom::ReferenceDatabase& db) {
  if (!db.blocks().empty()) return false;
  for (const refloom::Reference& reference : db.references()) {
    if (!reference.extras().empty() || reference.ref_id() > 0x7FFFFFFFFFFFFFFFULL) return false;
  }
  return true;
}

void expect_plain_read_back(const refloom::ReferenceDatabase& first, const std::string& written) {
  refloom::ReferenceDatabase old_format;
  if (!written.empty()) {
    std::FILE* stream = fmemopen(const_cast<char*>(written.data()), written.size(), "rb");
    check(stream != nullptr);
    std::ostringstream messages;
    refloom::read_bibtex(old_format, stream, messages);
    std::fclose(stream);
    check(messages.str().empty());
  }
  check(old_format.ref_count() == first.ref_count());
  for (std::size_t i = 0; i < first.ref_count(); ++i) {
    const refloom::Reference& a = first.reference(i);
    const refloom::Reference& b = old_format.reference(i);
    check(a.ref_id() == b.ref_id());
    for (int slot = 1; slot < refloom::kSlotCount; ++slot) {
      const auto text = a.text(slot);
      if (!text || (slot != refloom::kEntryTypeSlot && text->empty())) {
        check(!b.text(slot).has_value());
      } else {
        check(b.text(slot) == after_save(*text));
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::ostringstream messages;
  refloom::ReferenceDatabase first;
  refloom::read_bibtex_any_text(first, std::string_view(reinterpret_cast<const char*>(data), size), messages);
  for (const refloom::Reference& reference : first.references()) {
    const auto type = reference.text(refloom::kEntryTypeSlot);
    check(type && !type->empty());  // every entry read has its type
  }

  std::ostringstream save_messages;
  const std::string written = refloom::bibtex_text(first, save_messages);
  std::ostringstream second_messages;
  refloom::ReferenceDatabase second;
  refloom::read_bibtex_any_text(second, written, second_messages);
  expect_no_fault(second_messages.str());
  expect_same(first, second);
  std::ostringstream again_messages;
  check(refloom::bibtex_text(second, again_messages) == written);
  if (plain(first)) expect_plain_read_back(first, written);
  return 0;
}
