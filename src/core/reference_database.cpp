#include "core/reference_database.h"

#include <algorithm>

#include "core/other_fields.h"

namespace refloom {

void ReferenceDatabase::add_reference() { refs_.emplace_back(); }

void ReferenceDatabase::append_reference(Reference reference) { refs_.push_back(std::move(reference)); }

void ReferenceDatabase::delete_reference(std::size_t index) {
  if (index >= refs_.size()) return;
  refs_.erase(refs_.begin() + static_cast<std::ptrdiff_t>(index));
  if (refs_.empty()) refs_.shrink_to_fit();
}

void ReferenceDatabase::retain(const std::vector<std::size_t>& ascending_indices) {
  std::size_t kept = 0;
  for (std::size_t index : ascending_indices) {
    if (index >= refs_.size()) break;
    if (index != kept) refs_[kept] = std::move(refs_[index]);
    ++kept;
  }
  refs_.erase(refs_.begin() + static_cast<std::ptrdiff_t>(kept), refs_.end());
  refs_.shrink_to_fit();
}

void ReferenceDatabase::remove_all_references() {
  refs_.clear();
  refs_.shrink_to_fit();
}

void ReferenceDatabase::truncate(std::size_t references, std::size_t blocks) {
  if (references < refs_.size()) refs_.erase(refs_.begin() + static_cast<std::ptrdiff_t>(references), refs_.end());
  if (blocks < blocks_.size()) blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(blocks), blocks_.end());
}

void ReferenceDatabase::remove_all_blocks() {
  blocks_.clear();
  blocks_.shrink_to_fit();
}

MacroTable ReferenceDatabase::macros() const {
  MacroTable table;
  for (const BibtexBlock& block : blocks_) {
    if (block.kind == BibtexBlock::Kind::kString) table.define(block.name, block.text);
  }
  return table;
}

Reference* ReferenceDatabase::by_number(std::size_t number) {
  if (number == 0 || number > refs_.size()) return nullptr;
  return &refs_[number - 1];
}

void ReferenceDatabase::set_slot(std::size_t number, int slot, std::string_view text) {
  if (Reference* reference = by_number(number)) reference->set_text(slot, text);
}

void ReferenceDatabase::set_ref_id(std::size_t number, RefId value) {
  if (Reference* reference = by_number(number)) reference->set_ref_id(value);
}

void ReferenceDatabase::set_entry_type(std::size_t number, std::string_view text) {
  set_slot(number, kEntryTypeSlot, text);
}
void ReferenceDatabase::set_title(std::size_t number, std::string_view text) { set_slot(number, kTitle, text); }
void ReferenceDatabase::set_booktitle(std::size_t number, std::string_view text) { set_slot(number, kBooktitle, text); }
void ReferenceDatabase::set_institution(std::size_t number, std::string_view text) {
  set_slot(number, kInstitution, text);
}
void ReferenceDatabase::set_abstract(std::size_t number, std::string_view text) { set_slot(number, kAbstract, text); }
void ReferenceDatabase::set_pages(std::size_t number, std::string_view text) { set_slot(number, kPages, text); }
void ReferenceDatabase::set_comment(std::size_t number, std::string_view text) { set_slot(number, kComment, text); }
void ReferenceDatabase::set_month(std::size_t number, std::string_view text) { set_slot(number, kMonth, text); }

void ReferenceDatabase::set_journal_n(std::size_t number, std::string_view text, std::size_t length) {
  set_slot(number, kJournal, text.substr(0, length));
}

void ReferenceDatabase::set_volume_before_colon(std::size_t number, std::string_view text) {
  set_slot(number, kVolume, text.substr(0, text.find(':')));
}

void ReferenceDatabase::append_keyword(std::size_t number, std::string_view text) {
  if (Reference* reference = by_number(number)) reference->append_text(kKeyword, text);
}

void ReferenceDatabase::append_field(std::string_view name, std::size_t number, std::string_view text) {
  const auto slot = field_slot(name);
  if (!slot) return;
  if (Reference* reference = by_number(number)) reference->append_text(*slot, text);
}

void ReferenceDatabase::clear_edit_buffer() {
  for (int slot = 1; slot < kEditTextCount; ++slot) edit_buffer_.text(slot).clear();
  edit_buffer_.other_fields_shown.clear();
}

void ReferenceDatabase::load_edit_buffer(std::size_t index) {
  if (index >= refs_.size()) return;
  const Reference& reference = refs_[index];
  edit_buffer_.ref_id = reference.ref_id();
  for (int slot = 1; slot < kSlotCount; ++slot) edit_buffer_.text(slot).assign(reference.text_or_empty(slot));
  edit_buffer_.text(kCitationKeyText).assign(reference.citation_key());
  edit_buffer_.other_fields_shown = format_other_fields(reference.extras(), macros());
  edit_buffer_.text(kOtherFieldsText) = edit_buffer_.other_fields_shown;
}

void ReferenceDatabase::store_edit_buffer(std::size_t index) {
  if (index >= refs_.size()) return;
  Reference& reference = refs_[index];
  ExtrasData extras = reference.extras().unpack();
  extras.citation_key = edit_buffer_.text(kCitationKeyText);
  if (edit_buffer_.text(kOtherFieldsText) != edit_buffer_.other_fields_shown) {
    std::string error;
    if (auto fields = parse_other_fields(edit_buffer_.text(kOtherFieldsText), macros(), error)) {
      extras.other_fields = std::move(*fields);
    }
  }

  std::array<std::optional<std::string_view>, kSlotCount> texts;
  for (int slot = 1; slot < kSlotCount; ++slot) {
    const std::string& text = edit_buffer_.text(slot);
    if (!text.empty()) texts[static_cast<std::size_t>(slot)] = text;
  }
  // A field filled in from another name follows that field for as long as
  // the user leaves it alone; one the user changed is the user's own.
  std::array<std::optional<std::string>, kSlotCount> aliases;
  if (extras.derived != 0) aliases = alias_texts(extras.other_fields);
  for (int slot = 1; slot < kSlotCount; ++slot) {
    if (!((extras.derived >> slot) & 1U)) continue;
    const auto index_of = static_cast<std::size_t>(slot);
    if (edit_buffer_.text(slot) != reference.text_or_empty(slot)) {
      extras.derived &= ~(1U << slot);
    } else if (aliases[index_of]) {
      texts[index_of] = *aliases[index_of];
    } else {
      texts[index_of].reset();
      extras.derived &= ~(1U << slot);
    }
  }
  // Everything that may fail before the reference changes: it is replaced
  // whole or not at all.
  ReferenceExtras packed(extras);
  reference.assign_texts(texts);
  reference.set_ref_id(edit_buffer_.ref_id);
  reference.set_extras(std::move(packed));
}

EntryType ReferenceDatabase::entry_type_index(std::size_t index) const {
  if (index >= refs_.size()) return -1;
  const auto name = refs_[index].text(kEntryTypeSlot);
  return name ? entry_type_of(*name) : EntryType{-1};
}

}  // namespace refloom
