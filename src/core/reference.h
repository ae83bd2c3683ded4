#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/fields.h"
#include "core/reference_extras.h"

namespace refloom {

// One bibliographic entry: the RefId (slot 0) and 29 texts (slot 1 the entry
// type name, slots 2..29 the fields), each either absent or a text, which may
// be empty. An absent field and an empty one are different things.
//
// The texts are packed into one allocation (an offset table followed by the
// NUL-terminated texts of the present slots in slot order), so a database of
// a hundred thousand references costs little more than its text.
class Reference {
 public:
  Reference() = default;
  Reference(const Reference& other);
  Reference& operator=(const Reference& other);
  Reference(Reference&&) noexcept = default;
  Reference& operator=(Reference&&) noexcept = default;

  RefId ref_id() const { return ref_id_; }
  void set_ref_id(RefId id) { ref_id_ = id; }

  // Slots 1..29; any other slot number counts as absent.
  bool has(int slot) const;
  std::optional<std::string_view> text(int slot) const;
  // The text, or an empty view when absent.
  std::string_view text_or_empty(int slot) const;
  // A present text with something in it (what the writer writes).
  bool has_nonempty(int slot) const;

  // Replaces a slot's text (a copy is stored) or makes it absent.
  void set_text(int slot, std::optional<std::string_view> text);
  // Appending as fields grow: a present text (even an empty one) becomes
  // old text, a line feed, new text; an absent one becomes the new text.
  void append_text(int slot, std::string_view text);

  // Replaces all 29 texts at once (index 0 is ignored).
  // With `release_sources`, the memory of large texts is given back to the
  // system as they are copied: their owner must drop them unread afterwards.
  void assign_texts(const std::array<std::optional<std::string_view>, kSlotCount>& texts, bool release_sources = false);

  // What a reference read from a BibTeX file carries beyond its texts: its
  // citation key, the fields outside the 28, the source forms.
  const ReferenceExtras& extras() const { return extras_; }
  void set_extras(ReferenceExtras extras) { extras_ = std::move(extras); }
  // The key the file gave it (empty when its RefId is its key).
  std::string_view citation_key() const { return extras_.citation_key(); }

  friend bool operator==(const Reference& a, const Reference& b);

 private:
  std::array<std::optional<std::string_view>, kSlotCount> all_texts() const;
  int present_count() const;
  std::uint32_t offset(int index) const;
  const char* text_area() const;

  RefId ref_id_ = 0;
  std::uint32_t present_ = 0;  // bit s set when slot s holds a text
  std::uint32_t size_ = 0;     // bytes in data_
  std::unique_ptr<char[]> data_;
  ReferenceExtras extras_;
};

// A reference under construction: plain strings that grow cheaply while a
// reader or importer appends line after line, packed into a Reference when
// the entry is complete. Same slot semantics as Reference.
class ReferenceBuilder {
 public:
  // Forgets every text but keeps the storage for the next entry.
  void clear();

  RefId ref_id = 0;
  ExtrasData extras;

  bool has(int slot) const { return (present_ >> slot) & 1U; }
  const std::string& text(int slot) const { return texts_[static_cast<std::size_t>(slot)]; }
  void set_text(int slot, std::string_view text);
  void append_text(int slot, std::string_view text);
  // The same, taking the text over when the slot is absent (no copy).
  void append_text(int slot, std::string&& text);
  void remove(int slot);
  bool empty() const { return present_ == 0; }

  // Writes the RefId, every text and the extras into `reference`, replacing
  // what it held.
  void store_into(Reference& reference) const;
  // The same, for a builder that is cleared next: texts of many megabytes
  // give their memory back as they are copied, so that they are not held
  // twice.
  void move_into(Reference& reference);

 private:
  std::uint32_t present_ = 0;
  std::array<std::string, kSlotCount> texts_;
};

}  // namespace refloom
